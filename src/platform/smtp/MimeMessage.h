#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace mrv::smtp {

struct MailAddress
{
    QString name;
    QString address;
};

enum class RecipientKind { To, Cc, Bcc };

enum class MailPriority { Normal, High, Low };

// A file carried by the message: an attachment, or an image of an HTML body
// when it has a content id.
struct MimeFile
{
    QString fileName;
    QString contentType;
    QByteArray content;
    QString contentId;
    // When set, the content is read from this file while the message is
    // written, never held in memory.
    QString path;

    // Reads the file; the content type is guessed from its name and content.
    // Throws Failure when it cannot be read.
    static MimeFile fromPath(const QString &path);
    // The same for a file of any size, left on disk: only `path` is kept,
    // and the type is guessed from the name and the first bytes.
    static MimeFile onDisk(const QString &path);
};

// A written message in GMime's own buffer, shared rather than copied: a
// message with a large attachment is held in memory once.
struct EncodedMessage
{
    const char *data = nullptr;
    qint64 size = 0;
    std::shared_ptr<const void> owner;
};

// The body: plain text, HTML or another text format (`subtype` of text/...).
// An HTML body carries its plain-text alternative and the images it refers to
// with "cid:".
struct MimeBody
{
    QString subtype = QStringLiteral("plain");
    QString text;
    QString alternativeText;
    QList<MimeFile> inlineImages;
};

// One e-mail as it will be written on the wire. Names and the subject are
// kept on a single line whatever they contain, and an address that could
// break out of its header or SMTP command is refused (Failure), so nothing
// set here can add a header or a command. Blind copies go to the envelope
// only, never into a header.
class MimeMessage
{
public:
    void setFrom(const MailAddress &from);
    MailAddress from() const { return m_from; }

    void addRecipient(RecipientKind kind, const MailAddress &recipient);
    void setReplyTo(const MailAddress &replyTo);
    // Asks for a read receipt (Disposition-Notification-To) to `address`; none when empty.
    void setReceiptTo(const QString &address);

    void setSubject(const QString &subject);
    QString subject() const { return m_subject; }

    void setPriority(MailPriority priority) { m_priority = priority; }
    MailPriority priority() const { return m_priority; }

    void setBody(const MimeBody &body) { m_body = body; }
    const MimeBody &body() const { return m_body; }
    void setAlternativeText(const QString &text) { m_body.alternativeText = text; }

    void addAttachment(const MimeFile &file) { m_attachments.append(file); }

    // Everybody the message is delivered to, blind copies included, each once.
    QStringList envelopeRecipients() const;

    // The message with CRLF line ends and only 7-bit text (RFC 2047 headers,
    // quoted-printable or base64 bodies), ready for SMTP DATA.
    QByteArray toBytes() const;
    EncodedMessage encode() const;
    // Throws Failure when the file cannot be written.
    void saveTo(const QString &path) const;

    void clear() { *this = MimeMessage(); }

private:
    friend class MimeWriter;

    MailAddress m_from;
    QList<MailAddress> m_to;
    QList<MailAddress> m_cc;
    QList<MailAddress> m_bcc;
    MailAddress m_replyTo;
    QString m_receiptTo;
    QString m_subject;
    MailPriority m_priority = MailPriority::Normal;
    MimeBody m_body;
    QList<MimeFile> m_attachments;
};

// The mailer identification written into every message (X-Mailer).
QString mailerName();

} // namespace mrv::smtp
