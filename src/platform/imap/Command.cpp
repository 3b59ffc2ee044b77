#include "Command.h"

namespace mrv::imap {

namespace {

constexpr qsizetype kLiteralMinusLimit = 4096;

bool needsLiteral(QByteArrayView text)
{
    for (const char byte : text) {
        const uchar value = uchar(byte);
        if (value >= 0x80 || value == '\r' || value == '\n' || value == '\0' || value == '"')
            return true;
    }
    return false;
}

// ASTRING-CHAR of the grammar: an atom character or ']'.
bool isAtomText(QByteArrayView text)
{
    if (text.isEmpty() || text.compare("NIL", Qt::CaseInsensitive) == 0)
        return false;
    for (const char byte : text) {
        const uchar value = uchar(byte);
        if (value <= 0x20 || value >= 0x7f || QByteArrayView("(){%*\"\\").contains(byte))
            return false;
    }
    return true;
}

QByteArray quoted(QByteArrayView text)
{
    QByteArray out = "\"";
    for (const char byte : text) {
        if (byte == '\\')
            out += '\\';
        out += byte;
    }
    return out + '"';
}

bool waitsForServer(LiteralPolicy policy, qsizetype size)
{
    return policy == LiteralPolicy::Synchronizing || (policy == LiteralPolicy::Minus && size > kLiteralMinusLimit);
}

} // namespace

Command &Command::raw(QByteArrayView text)
{
    m_arguments.append({text.toByteArray(), false});
    return *this;
}

Command &Command::string(QByteArrayView text)
{
    if (needsLiteral(text))
        return literal(text.toByteArray());
    m_arguments.append({isAtomText(text) ? text.toByteArray() : quoted(text), false});
    return *this;
}

Command &Command::literal(QByteArray bytes)
{
    m_arguments.append({std::move(bytes), true});
    return *this;
}

Command &Command::hidden()
{
    if (!m_arguments.isEmpty())
        m_arguments.last().hidden = true;
    return *this;
}

QList<QByteArray> Command::pieces(const QByteArray &tag, LiteralPolicy policy) const
{
    QList<QByteArray> pieces;
    QByteArray piece = tag + ' ' + m_verb;
    for (const Argument &argument : m_arguments) {
        piece += ' ';
        if (!argument.literal) {
            piece += argument.bytes;
            continue;
        }
        const bool wait = waitsForServer(policy, argument.bytes.size());
        piece += '{' + QByteArray::number(argument.bytes.size()) + (wait ? "}\r\n" : "+}\r\n");
        if (wait)
            pieces.append(std::exchange(piece, QByteArray()));
        piece += argument.bytes;
    }
    pieces.append(piece + "\r\n");
    return pieces;
}

QString Command::logText(const QByteArray &tag) const
{
    QString text = QString::fromLatin1(tag + ' ' + m_verb);
    for (const Argument &argument : m_arguments) {
        text += QLatin1Char(' ');
        if (argument.hidden)
            text += QStringLiteral("[hidden]");
        else if (argument.literal)
            text += QStringLiteral("{%1 bytes}").arg(argument.bytes.size());
        else
            text += QString::fromUtf8(argument.bytes);
    }
    return text;
}

} // namespace mrv::imap
