#pragma once

#include <QByteArray>
#include <QDir>
#include <QHash>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace mrv::host {
class ConfigClass;
}

namespace mrv::testing {

// Display name and address of each mailbox of an address header.
using Mailboxes = QList<QPair<QString, QString>>;

// One part of a received message as Python's email package parsed it.
struct ReceivedPart
{
    QString contentType;
    QString charset;
    QString disposition;
    QString fileName;
    QString contentId;
    QStringList defects;
    QByteArray content; // decoded from the transfer encoding (leaf parts)
    QString text;       // decoded from the charset (text parts), line ends as sent
};

// A message as the test server received it: the envelope and the parsed
// message (see tests/servers/mime_summary.py).
struct ReceivedMessage
{
    static ReceivedMessage fromJson(const QByteArray &json);

    QString mailFrom;
    QStringList envelopeRecipients;
    int connection = 0;
    bool tls = false;
    QString authenticatedUser;
    QList<QPair<QString, QString>> headers; // decoded values, in order
    QHash<QString, Mailboxes> addresses;    // by lower-case header name
    QList<ReceivedPart> parts;              // depth-first, the message itself first
    QString structure;                      // the tree of content types, "multipart/mixed(text/plain,image/png)"
    bool asciiOnly = false;

    // The decoded value of a header, case-insensitively by name.
    QString header(const QString &name) const;
    // The mailboxes of an address header ("From", "Reply-To"...).
    Mailboxes mailboxes(const QString &header) const { return addresses.value(header.toLower()); }
    // The first part of that type, or with that file name.
    const ReceivedPart *partOfType(const QString &contentType) const;
    const ReceivedPart *partNamed(const QString &fileName) const;
};

struct SmtpServerOptions
{
    enum class Tls { None, StartTls, Implicit };

    Tls tls = Tls::None;
    // With a user the server requires a login (LOGIN, PLAIN or CRAM-MD5).
    QString user;
    QString password;
    // With a user and a token the server offers XOAUTH2 too, for that user with this access token.
    QString token;
    // "greeting-421", "reject-rcpt", "drop-data", "close-after-data", "silent", "reject-auth" or empty.
    QString fault;
    QString faultRecipient;
};

// tests/servers/smtp_server.py run on loopback. A test that needs it fails
// when it cannot start: QVERIFY2(server.start(), qPrintable(server.errorText())).
class SmtpTestServer
{
public:
    explicit SmtpTestServer(const SmtpServerOptions &options = {}) : m_options(options) {}
    ~SmtpTestServer() { stop(); }

    bool start();
    void stop();
    QString errorText() const { return m_error; }

    // Once stopped, a connection to its port is refused.
    quint16 port() const { return m_port; }
    // Where the messages arrive: NNNN.eml as received, NNNN.json parsed.
    QString folder() const { return m_folder.filePath(QStringLiteral("messages")); }
    // The server's throwaway certificate (TLS modes), to be trusted as a CA file.
    QString certificatePath() const
    {
        return m_options.tls == SmtpServerOptions::Tls::None ? QString() : QDir(folder()).filePath("cert.pem");
    }

    // Points the outgoing account of `config` at this server: Mario Rossi
    // <m.rossi@brambilla.example.it>, no login, its certificate trusted.
    void configureAccount(host::ConfigClass &config) const;

    // What arrived so far, in order.
    QList<ReceivedMessage> receivedMessages() const;

    // Parses a message file with the same parser as the server.
    static ReceivedMessage parseFile(const QString &path);

private:
    QStringList arguments() const;

    SmtpServerOptions m_options;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace mrv::testing
