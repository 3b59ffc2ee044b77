#include "MailboxName.h"

namespace mrv::imap {

namespace {

// Base64 with ',' in place of '/' and no padding.
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

bool isDirect(char16_t unit)
{
    return unit >= 0x20 && unit <= 0x7e;
}

int sextet(char digit)
{
    for (int index = 0; index < 64; ++index) {
        if (kAlphabet[index] == digit)
            return index;
    }
    return -1;
}

QByteArray encodeShifted(QStringView run)
{
    QByteArray out = "&";
    quint32 bits = 0;
    int count = 0;
    for (const QChar unit : run) {
        bits = (bits << 16) | unit.unicode();
        count += 16;
        while (count >= 6) {
            count -= 6;
            out += kAlphabet[(bits >> count) & 0x3f];
        }
    }
    if (count > 0)
        out += kAlphabet[(bits << (6 - count)) & 0x3f];
    return out + '-';
}

// The UTF-16 units of one "&...-" run; false when the run is malformed.
bool decodeShifted(QByteArrayView run, QString &text)
{
    quint32 bits = 0;
    int count = 0;
    QString units;
    for (const char digit : run) {
        const int value = sextet(digit);
        if (value < 0)
            return false;
        bits = (bits << 6) | quint32(value);
        count += 6;
        if (count >= 16) {
            count -= 16;
            units += QChar(char16_t((bits >> count) & 0xffff));
        }
    }
    // Left-over bits must be padding zeros, less than one unit long.
    if (units.isEmpty() || count >= 6 || (bits & ((1u << count) - 1)) != 0)
        return false;
    for (qsizetype at = 0; at < units.size(); ++at) {
        const QChar unit = units.at(at);
        if (isDirect(unit.unicode()))
            return false;
        if (unit.isHighSurrogate() && (at + 1 == units.size() || !units.at(at + 1).isLowSurrogate()))
            return false;
        if (unit.isLowSurrogate() && (at == 0 || !units.at(at - 1).isHighSurrogate()))
            return false;
    }
    text += units;
    return true;
}

} // namespace

QByteArray encodeMailboxUtf7(QStringView text)
{
    QByteArray out;
    qsizetype at = 0;
    while (at < text.size()) {
        const char16_t unit = text.at(at).unicode();
        if (unit == u'&') {
            out += "&-";
            ++at;
        } else if (isDirect(unit)) {
            out += char(unit);
            ++at;
        } else {
            qsizetype end = at;
            while (end < text.size() && !isDirect(text.at(end).unicode()))
                ++end;
            out += encodeShifted(text.sliced(at, end - at));
            at = end;
        }
    }
    return out;
}

bool decodeMailboxUtf7(QByteArrayView wire, QString &text)
{
    text.clear();
    qsizetype at = 0;
    while (at < wire.size()) {
        const char byte = wire.at(at);
        if (!isDirect(char16_t(uchar(byte))))
            return false;
        if (byte != '&') {
            text += QLatin1Char(byte);
            ++at;
            continue;
        }
        const qsizetype end = wire.indexOf('-', at + 1);
        if (end < 0)
            return false;
        if (end == at + 1)
            text += QLatin1Char('&');
        else if (!decodeShifted(wire.sliced(at + 1, end - at - 1), text))
            return false;
        at = end + 1;
    }
    return true;
}

MailboxName MailboxName::fromWire(const QByteArray &wire)
{
    MailboxName name;
    name.m_wire = wire;
    // A server that ignores the encoding usually sends UTF-8: shown as such.
    if (!decodeMailboxUtf7(wire, name.m_display))
        name.m_display = QString::fromUtf8(wire);
    if (name.isInbox())
        name.m_display = QStringLiteral("INBOX");
    return name;
}

MailboxName MailboxName::fromDisplay(const QString &text)
{
    MailboxName name;
    name.m_wire = encodeMailboxUtf7(text);
    name.m_display = text;
    return name;
}

bool MailboxName::isInbox() const
{
    return m_wire.compare("INBOX", Qt::CaseInsensitive) == 0;
}

QString MailboxName::leaf(char delimiter) const
{
    if (delimiter == '\0')
        return m_display;
    return m_display.section(QLatin1Char(delimiter), -1);
}

bool MailboxName::operator==(const MailboxName &other) const
{
    return isInbox() ? other.isInbox() : m_wire == other.m_wire;
}

} // namespace mrv::imap
