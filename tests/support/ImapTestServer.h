#pragma once

#include "platform/imap/ImapAccount.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace mrv::testing {

// A Dovecot IMAP server on loopback, with its own configuration, users and
// mail in a temporary folder; as root it runs as nobody (Dovecot refuses a
// root login process). A test that needs it fails when it cannot start:
// QVERIFY2(server.start(), qPrintable(server.errorText())).
//
// One port offers plain IMAP and STARTTLS on 127.0.0.1, plain IMAP only on
// 127.0.0.2; the other is TLS from the first byte. The certificate is a
// throwaway one for "localhost" and 127.0.0.1.
class ImapTestServer
{
public:
    static constexpr const char *kUser = "mario";
    static constexpr const char *kPassword = "segreto";
    // What XOAUTH2 takes for the user, in place of an OAuth 2 provider's token.
    static constexpr const char *kAccessToken = "ya29.mario-access-token";

    ImapTestServer() = default;
    ~ImapTestServer() { stop(); }

    bool start();
    // Stops Dovecot and waits for it to exit.
    void stop();
    QString errorText() const { return m_error; }

    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; }
    QString certificatePath() const { return m_folder.filePath(QStringLiteral("cert.pem")); }

    // The test user's account on "localhost" in that TLS mode, the
    // certificate trusted.
    imap::ImapAccount account(imap::TlsMode tls = imap::TlsMode::None) const;
    // Writes `count` messages straight into a new folder of the test user's
    // maildir (seen, as a mail program leaves read mail): a large folder in
    // seconds, as APPEND would take minutes. False when a file cannot be written.
    bool fillFolder(const QString &name, int count, const std::function<QByteArray(int)> &message);

    // Sends a signal to every IMAP session process: SIGKILL drops the
    // clients' connections, SIGSTOP leaves them without answer.
    void signalSessions(int signal) const;

private:
    bool prepare();
    QString configuration(const QString &loginUser, const QString &loginGroup) const;

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_error;
};

} // namespace mrv::testing
