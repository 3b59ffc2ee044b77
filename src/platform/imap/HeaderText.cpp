#include "HeaderText.h"

#include "platform/mime/GMimeSetup.h"
#include "platform/mime/GObjectRef.h"

#include <gmime/gmime.h>

namespace mrv::imap {

namespace {

bool isToken(const QByteArray &value)
{
    for (const char byte : value) {
        if (uchar(byte) <= 0x20 || uchar(byte) >= 0x7f || QByteArrayView("()<>@,;:\\\"/[]?=").contains(byte))
            return false;
    }
    return !value.isEmpty();
}

QByteArray quoted(const QByteArray &value)
{
    QByteArray out = "\"";
    for (const char byte : value) {
        if (byte == '"' || byte == '\\')
            out += '\\';
        out += byte;
    }
    return out + '"';
}

// A header NUL or line break would cut the text short or forge a header.
QByteArray singleLine(QByteArray text)
{
    text.replace('\0', ' ').replace('\r', ' ').replace('\n', ' ');
    return text;
}

} // namespace

QString decodeHeaderText(const QByteArray &text)
{
    mime::ensureGMime();
    return mime::takeText(g_mime_utils_header_decode_text(nullptr, singleLine(text).constData()));
}

QString decodeHeaderPhrase(const QByteArray &phrase)
{
    mime::ensureGMime();
    return mime::takeText(g_mime_utils_header_decode_phrase(nullptr, singleLine(phrase).constData()));
}

QDateTime decodeHeaderDate(const QByteArray &date)
{
    mime::ensureGMime();
    GDateTime *parsed = g_mime_utils_header_decode_date(singleLine(date).constData());
    if (!parsed)
        return {};
    const QDateTime utc = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(parsed), Qt::UTC);
    const int offset = int(g_date_time_get_utc_offset(parsed) / G_TIME_SPAN_SECOND);
    g_date_time_unref(parsed);
    return utc.toOffsetFromUtc(offset);
}

QString decodeMimeParameter(const QList<QPair<QByteArray, QByteArray>> &parameters, const QByteArray &name)
{
    // GMime joins RFC 2231 pieces ("filename*0*", "filename*1") and decodes
    // charsets: the pairs go to it as the parameter text of a header.
    QByteArray header;
    for (const auto &[key, value] : parameters) {
        if (!key.toLower().startsWith(name.toLower()) || !isToken(key))
            continue;
        header += "; " + key + '=' + (isToken(value) ? value : quoted(singleLine(value)));
    }
    if (header.isEmpty())
        return {};
    mime::ensureGMime();
    GMimeParamList *list = g_mime_param_list_parse(nullptr, header.constData() + 2);
    if (!list)
        return {};
    GMimeParam *parameter = g_mime_param_list_get_parameter(list, name.constData());
    const QString value = parameter ? QString::fromUtf8(g_mime_param_get_value(parameter)) : QString();
    g_object_unref(list);
    return value;
}

} // namespace mrv::imap
