#include "MimeMessage.h"

#include "host/Failure.h"
#include "platform/mime/GMimeSetup.h"
#include "platform/mime/GObjectRef.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gmime/gmime.h>

#include <algorithm>
#include <memory>

namespace mrv::smtp {

namespace {

using mime::GRef;

// Line breaks become blanks and other control characters go: a header value
// must stay one header.
QString singleLine(const QString &text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n]+"));
    static const QRegularExpression controls(QStringLiteral("[\\x00-\\x08\\x0B\\x0C\\x0E-\\x1F\\x7F]"));
    QString line = text;
    line.replace(lineBreaks, QStringLiteral(" "));
    line.remove(controls);
    return line;
}

// Characters that would end an address inside a header or an SMTP command.
void requireAddress(const QString &address)
{
    static const QRegularExpression breaking(QStringLiteral("[\\x00-\\x20\\x7F<>,;]"));
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1 || address.contains(breaking))
        throw Failure(QStringLiteral("\"%1\" is not an e-mail address").arg(singleLine(address)));
}

MailAddress cleanMailbox(const MailAddress &mailbox)
{
    requireAddress(mailbox.address);
    return {singleLine(mailbox.name).trimmed(), mailbox.address};
}

// Text parts are handed over with LF line ends; the writer turns them into CRLF.
QByteArray unixLines(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines.toUtf8();
}

} // namespace

MimeFile MimeFile::fromPath(const QString &path)
{
    MimeFile mimeFile = onDisk(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    mimeFile.content = file.readAll();
    mimeFile.path.clear();
    return mimeFile;
}

MimeFile MimeFile::onDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    MimeFile mimeFile;
    mimeFile.fileName = QFileInfo(path).fileName();
    mimeFile.path = path;
    mimeFile.contentType = QMimeDatabase().mimeTypeForFileNameAndData(mimeFile.fileName, &file).name();
    return mimeFile;
}

// Builds the GMime tree of one message and writes it.
class MimeWriter
{
public:
    explicit MimeWriter(const MimeMessage &message) : m_message(message) { mime::ensureGMime(); }

    EncodedMessage write() const
    {
        GRef<GMimeMessage> message(g_mime_message_new(TRUE));
        writeHeaders(message.get());
        GRef<GMimeObject> root(rootPart());
        g_mime_message_set_mime_part(message.get(), root.get());
        return onDiskContent() ? serialiseToFile(GMIME_OBJECT(message.get())) : serialise(GMIME_OBJECT(message.get()));
    }

private:
    void writeHeaders(GMimeMessage *message) const
    {
        addMailbox(message, GMIME_ADDRESS_TYPE_FROM, m_message.m_from);
        for (const MailAddress &to : m_message.m_to)
            addMailbox(message, GMIME_ADDRESS_TYPE_TO, to);
        for (const MailAddress &cc : m_message.m_cc)
            addMailbox(message, GMIME_ADDRESS_TYPE_CC, cc);
        addMailbox(message, GMIME_ADDRESS_TYPE_REPLY_TO, m_message.m_replyTo);
        g_mime_message_set_subject(message, m_message.m_subject.toUtf8().constData(), nullptr);
        setDate(message);
        setMessageId(message);
        if (!m_message.m_receiptTo.isEmpty())
            setHeader(message, "Disposition-Notification-To",
                      QLatin1Char('<') + m_message.m_receiptTo + QLatin1Char('>'));
        writePriority(message);
        setHeader(message, "X-Mailer", mailerName());
    }

    static void addMailbox(GMimeMessage *message, GMimeAddressType type, const MailAddress &mailbox)
    {
        if (!mailbox.address.isEmpty())
            g_mime_message_add_mailbox(message, type, mailbox.name.toUtf8().constData(),
                                       mailbox.address.toUtf8().constData());
    }

    static void setHeader(GMimeMessage *message, const char *name, const QString &value)
    {
        g_mime_object_set_header(GMIME_OBJECT(message), name, value.toUtf8().constData(), nullptr);
    }

    static void setDate(GMimeMessage *message)
    {
        GDateTime *now = g_date_time_new_now_local();
        g_mime_message_set_date(message, now);
        g_date_time_unref(now);
    }

    void setMessageId(GMimeMessage *message) const
    {
        const QString address = m_message.m_from.address;
        const QString domain =
            address.contains(QLatin1Char('@')) ? address.section(QLatin1Char('@'), -1) : QStringLiteral("localhost");
        char *id = g_mime_utils_generate_message_id(domain.toUtf8().constData());
        g_mime_message_set_message_id(message, id);
        g_free(id);
    }

    void writePriority(GMimeMessage *message) const
    {
        switch (m_message.m_priority) {
        case MailPriority::High:
            setHeader(message, "X-Priority", QStringLiteral("1 (Highest)"));
            setHeader(message, "Importance", QStringLiteral("high"));
            break;
        case MailPriority::Low:
            setHeader(message, "X-Priority", QStringLiteral("5 (Lowest)"));
            setHeader(message, "Importance", QStringLiteral("low"));
            break;
        case MailPriority::Normal:
            break;
        }
    }

    GMimeObject *rootPart() const
    {
        GMimeObject *body = bodyPart();
        if (m_message.m_attachments.isEmpty())
            return body;
        GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
        addPart(mixed, body);
        for (const MimeFile &file : m_message.m_attachments)
            addPart(mixed, filePart(file, GMIME_DISPOSITION_ATTACHMENT));
        return GMIME_OBJECT(mixed);
    }

    GMimeObject *bodyPart() const
    {
        const MimeBody &body = m_message.m_body;
        if (body.subtype != QLatin1String("html"))
            return textPart(body.subtype, body.text);
        GMimeObject *html = htmlWithImages(body);
        if (body.alternativeText.isEmpty())
            return html;
        GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
        addPart(alternative, textPart(QStringLiteral("plain"), body.alternativeText));
        addPart(alternative, html);
        return GMIME_OBJECT(alternative);
    }

    static GMimeObject *htmlWithImages(const MimeBody &body)
    {
        GMimeObject *html = htmlPart(body.text);
        if (body.inlineImages.isEmpty())
            return html;
        GMimeMultipart *related = g_mime_multipart_new_with_subtype("related");
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
        addPart(related, html);
        for (const MimeFile &image : body.inlineImages)
            addPart(related, filePart(image, GMIME_DISPOSITION_INLINE));
        return GMIME_OBJECT(related);
    }

    // The multipart takes its own reference; ours goes.
    static void addPart(GMimeMultipart *multipart, GMimeObject *part)
    {
        g_mime_multipart_add(multipart, part);
        g_object_unref(part);
    }

    static GMimeObject *textPart(const QString &subtype, const QString &text)
    {
        GMimeTextPart *part = g_mime_text_part_new_with_subtype(subtype.toUtf8().constData());
        const QByteArray lines = unixLines(text);
        g_mime_text_part_set_text(part, lines.constData());
        if (useSevenBitEncoding(GMIME_PART(part)) == GMIME_CONTENT_ENCODING_BASE64)
            g_mime_text_part_set_text(part, crlfLines(lines).constData());
        return GMIME_OBJECT(part);
    }

    // HTML travels as UTF-8 and its <meta> says so too: a client that reads the
    // document's own declaration must not find another charset than the part's.
    static GMimeObject *htmlPart(const QString &html)
    {
        static const QRegularExpression declaredCharset(
            QStringLiteral("(<meta\\b[^>]*?\\bcharset\\s*=\\s*[\"']?)[A-Za-z0-9_:.-]+"),
            QRegularExpression::CaseInsensitiveOption);
        QString document = html;
        document.replace(declaredCharset, QStringLiteral("\\1utf-8"));
        GMimeTextPart *part = g_mime_text_part_new_with_subtype("html");
        const QByteArray lines = unixLines(document);
        setContent(GMIME_PART(part), lines);
        g_mime_text_part_set_charset(part, "utf-8");
        if (useSevenBitEncoding(GMIME_PART(part)) == GMIME_CONTENT_ENCODING_BASE64)
            setContent(GMIME_PART(part), crlfLines(lines));
        return GMIME_OBJECT(part);
    }

    static GMimeObject *filePart(const MimeFile &file, const char *disposition)
    {
        const QByteArray type = file.contentType.section(QLatin1Char('/'), 0, 0).toUtf8();
        const QByteArray subtype = file.contentType.section(QLatin1Char('/'), 1).toUtf8();
        GMimePart *part = g_mime_part_new_with_type(type.constData(), subtype.constData());
        if (file.path.isEmpty())
            setContent(part, file.content);
        else
            setContentFromFile(part, file.path);
        g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
        g_mime_object_set_disposition(GMIME_OBJECT(part), disposition);
        g_mime_part_set_filename(part, singleLine(file.fileName).toUtf8().constData());
        if (!file.contentId.isEmpty())
            g_mime_part_set_content_id(part, file.contentId.toUtf8().constData());
        return GMIME_OBJECT(part);
    }

    static void setContent(GMimePart *part, const QByteArray &bytes)
    {
        GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
        setContentStream(part, stream.get());
    }

    static void setContentFromFile(GMimePart *part, const QString &path)
    {
        GError *error = nullptr;
        GRef<GMimeStream> stream(g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY, 0, &error));
        if (!stream) {
            const QString why = error ? QString::fromUtf8(error->message) : QString();
            g_clear_error(&error);
            throw Failure(QStringLiteral("The file %1 cannot be read: %2").arg(path, why));
        }
        setContentStream(part, stream.get());
    }

    static void setContentStream(GMimePart *part, GMimeStream *stream)
    {
        GRef<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(part, content.get());
    }

    // Quoted-printable or base64, whichever is shorter: SMTP servers need not take 8-bit data.
    static GMimeContentEncoding useSevenBitEncoding(GMimePart *part)
    {
        const GMimeContentEncoding encoding =
            g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT);
        g_mime_part_set_content_encoding(part, encoding);
        return encoding;
    }

    // Text travels with CRLF line ends. The writer gives quoted-printable
    // lines theirs; base64 carries the bytes as they are, so they must
    // already hold them.
    static QByteArray crlfLines(const QByteArray &unixText) { return QByteArray(unixText).replace("\n", "\r\n"); }

    bool onDiskContent() const
    {
        return std::any_of(m_message.m_attachments.cbegin(), m_message.m_attachments.cend(),
                           [](const MimeFile &file) { return !file.path.isEmpty(); });
    }

    static void writeTo(GMimeObject *object, GMimeStream *stream)
    {
        std::unique_ptr<GMimeFormatOptions, decltype(&g_mime_format_options_free)> options(g_mime_format_options_new(),
                                                                                           &g_mime_format_options_free);
        g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
        g_mime_format_options_set_param_encoding_method(options.get(), GMIME_PARAM_ENCODING_METHOD_RFC2231);
        if (g_mime_object_write_to_stream(object, options.get(), stream) < 0 || g_mime_stream_flush(stream) < 0)
            throw Failure(QStringLiteral("The message could not be composed"));
    }

    static EncodedMessage serialise(GMimeObject *object)
    {
        std::shared_ptr<GMimeStream> stream(g_mime_stream_mem_new(), [](GMimeStream *s) { g_object_unref(s); });
        writeTo(object, stream.get());
        const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
        return {reinterpret_cast<const char *>(bytes->data), qint64(bytes->len), stream};
    }

    // Files of any size: the message goes to a file nobody else can open
    // (made 0600 and unlinked at once) and is read back through a mapping,
    // so that it never needs the memory of its own size, let alone twice.
    static EncodedMessage serialiseToFile(GMimeObject *object)
    {
        QByteArray name = QFile::encodeName(QDir::tempPath()) + "/mrv-message-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0)
            throw Failure(QStringLiteral("The message could not be composed: no temporary file"));
        ::unlink(name.constData());
        const auto closeFile = qScopeGuard([fd] { ::close(fd); });
        GRef<GMimeStream> stream(g_mime_stream_fs_new(fd));
        g_mime_stream_fs_set_owner(GMIME_STREAM_FS(stream.get()), FALSE);
        writeTo(object, stream.get());
        const off_t size = ::lseek(fd, 0, SEEK_END);
        void *mapped = size > 0 ? ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
        if (mapped == MAP_FAILED)
            throw Failure(QStringLiteral("The message could not be composed: the temporary file cannot be read"));
        std::shared_ptr<const void> owner(
            mapped, [size](const void *data) { ::munmap(const_cast<void *>(data), size_t(size)); });
        return {static_cast<const char *>(mapped), qint64(size), owner};
    }

    const MimeMessage &m_message;
};

void MimeMessage::setFrom(const MailAddress &from)
{
    m_from = from.address.isEmpty() ? MailAddress{singleLine(from.name).trimmed(), QString()} : cleanMailbox(from);
}

void MimeMessage::addRecipient(RecipientKind kind, const MailAddress &recipient)
{
    const MailAddress mailbox = cleanMailbox(recipient);
    switch (kind) {
    case RecipientKind::To:
        m_to.append(mailbox);
        break;
    case RecipientKind::Cc:
        m_cc.append(mailbox);
        break;
    case RecipientKind::Bcc:
        m_bcc.append(mailbox);
        break;
    }
}

void MimeMessage::setReplyTo(const MailAddress &replyTo)
{
    m_replyTo = cleanMailbox(replyTo);
}

void MimeMessage::setReceiptTo(const QString &address)
{
    if (!address.isEmpty())
        requireAddress(address);
    m_receiptTo = address;
}

void MimeMessage::setSubject(const QString &subject)
{
    m_subject = singleLine(subject);
}

QStringList MimeMessage::envelopeRecipients() const
{
    QStringList recipients;
    for (const QList<MailAddress> *list : {&m_to, &m_cc, &m_bcc}) {
        for (const MailAddress &recipient : *list) {
            if (!recipients.contains(recipient.address, Qt::CaseInsensitive))
                recipients.append(recipient.address);
        }
    }
    return recipients;
}

QByteArray MimeMessage::toBytes() const
{
    const EncodedMessage encoded = encode();
    return QByteArray(encoded.data, qsizetype(encoded.size));
}

EncodedMessage MimeMessage::encode() const
{
    return MimeWriter(*this).write();
}

void MimeMessage::saveTo(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toBytes()) < 0 || !file.commit())
        throw Failure(QStringLiteral("The message cannot be saved to %1: %2").arg(path, file.errorString()));
}

QString mailerName()
{
    return QStringLiteral("Merovan mrv messaging component");
}

} // namespace mrv::smtp
