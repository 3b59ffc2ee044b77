#include "MimeReader.h"

#include "platform/mime/GMimeSetup.h"
#include "platform/mime/GObjectRef.h"

#include <gmime/gmime.h>

namespace mrv::exchange {

namespace {

using mime::GRef;

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

QList<MailboxAddress> addressesOf(InternetAddressList *list)
{
    QList<MailboxAddress> addresses;
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            addresses += addressesOf(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)));
            continue;
        }
        addresses.append({text(internet_address_get_name(address)),
                          text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))});
    }
    return addresses;
}

// "Importance: high", or "X-Priority: 1 (Highest)": 0 low, 1 normal, 2 high.
qint32 importanceOf(GMimeObject *message)
{
    const QString importance = text(g_mime_object_get_header(message, "Importance")).trimmed().toLower();
    if (importance == QLatin1String("high"))
        return 2;
    if (importance == QLatin1String("low"))
        return 0;
    const int priority = text(g_mime_object_get_header(message, "X-Priority")).trimmed().left(1).toInt();
    return priority == 1 || priority == 2 ? 2 : priority == 4 || priority == 5 ? 0 : 1;
}

QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *wrapper = g_mime_part_get_content(part);
    if (!wrapper)
        return {};
    GRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, stream.get());
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

QByteArray serialized(GMimeObject *object)
{
    GRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

void readPart(GMimeObject *parent, GMimeObject *part, gpointer data)
{
    Q_UNUSED(parent);
    auto &message = *static_cast<MailboxMessage *>(data);
    if (GMIME_IS_MESSAGE_PART(part)) {
        GMimeMessage *attached = g_mime_message_part_get_message(GMIME_MESSAGE_PART(part));
        const QString subject = attached ? text(g_mime_message_get_subject(attached)) : QString();
        MailboxAttachment attachment;
        attachment.name = (subject.isEmpty() ? QStringLiteral("messaggio") : subject) + QStringLiteral(".eml");
        attachment.content = attached ? serialized(GMIME_OBJECT(attached)) : QByteArray();
        attachment.size = attachment.content.size();
        message.attachments.append(attachment);
        return;
    }
    if (!GMIME_IS_PART(part))
        return;
    GMimePart *leaf = GMIME_PART(part);
    GMimeContentType *type = g_mime_object_get_content_type(part);
    const bool declaredAttachment = g_mime_part_is_attachment(leaf);
    if (!declaredAttachment && GMIME_IS_TEXT_PART(part) && g_mime_content_type_is_type(type, "text", "plain") &&
        message.textBody.isNull()) {
        message.textBody = mime::takeText(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        return;
    }
    if (!declaredAttachment && GMIME_IS_TEXT_PART(part) && g_mime_content_type_is_type(type, "text", "html") &&
        message.htmlBody.isNull()) {
        message.htmlBody = mime::takeText(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        return;
    }
    MailboxAttachment attachment;
    attachment.name = text(g_mime_part_get_filename(leaf));
    attachment.contentId = text(g_mime_object_get_content_id(part));
    attachment.content = decodedContent(leaf);
    attachment.size = attachment.content.size();
    message.attachments.append(attachment);
}

} // namespace

std::unique_ptr<MailboxMessage> readMimeMessage(const QByteArray &raw)
{
    mime::ensureGMime();
    auto message = std::make_unique<MailboxMessage>();
    GRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size())));
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GRef<GMimeMessage> parsed(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!parsed)
        return message;
    message->subject = text(g_mime_message_get_subject(parsed.get()));
    const QList<MailboxAddress> from = addressesOf(g_mime_message_get_from(parsed.get()));
    message->from = from.value(0);
    message->to = addressesOf(g_mime_message_get_to(parsed.get()));
    message->cc = addressesOf(g_mime_message_get_cc(parsed.get()));
    if (GDateTime *date = g_mime_message_get_date(parsed.get()))
        message->sent = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date));
    message->importance = importanceOf(GMIME_OBJECT(parsed.get()));
    g_mime_message_foreach(parsed.get(), readPart, message.get());
    return message;
}

} // namespace mrv::exchange
