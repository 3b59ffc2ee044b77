#include "LineAssembler.h"

namespace mrv::imap {

void LineAssembler::feed(QByteArrayView bytes)
{
    if (!failed())
        m_pending.append(bytes);
}

void LineAssembler::discardBuffered()
{
    m_pending.clear();
    m_read = 0;
    m_scanned = 0;
    m_response.clear();
    m_literalLeft = 0;
}

bool LineAssembler::fail(const QString &text)
{
    m_error = text;
    discardBuffered();
    return false;
}

void LineAssembler::compact()
{
    // Dropping consumed bytes only when they are the larger part keeps the
    // cost linear however many responses one read brings.
    if (m_read > 4096 && m_read * 2 > m_pending.size()) {
        m_pending.remove(0, m_read);
        m_scanned -= m_read;
        m_read = 0;
    }
}

LineAssembler::Literal LineAssembler::literalAnnounced(QByteArrayView line, qint64 &length) const
{
    if (!line.endsWith('}'))
        return Literal::None;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return Literal::None;
    QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty())
        return Literal::None;
    length = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9')
            return Literal::Invalid;
        length = length * 10 + (digit - '0');
        if (length > m_limit)
            return Literal::Invalid;
    }
    return Literal::Announced;
}

std::optional<QByteArray> LineAssembler::takeResponse()
{
    while (!failed()) {
        if (m_literalLeft > 0) {
            const qsizetype available = std::min<qint64>(m_literalLeft, m_pending.size() - m_read);
            m_response.append(QByteArrayView(m_pending).sliced(m_read, available));
            m_read += available;
            m_literalLeft -= available;
            compact();
            if (m_literalLeft > 0)
                return std::nullopt;
        }
        // A long line arriving in many reads is searched once, not from its start on every read.
        const qsizetype end = m_pending.indexOf('\n', std::max(m_read, m_scanned));
        if (end < 0) {
            m_scanned = m_pending.size();
            if (m_response.size() + m_pending.size() - m_read > m_limit)
                fail(QStringLiteral("A response from the server is longer than %1 bytes").arg(m_limit));
            return std::nullopt;
        }
        QByteArrayView line = QByteArrayView(m_pending).sliced(m_read, end - m_read);
        if (line.endsWith('\r'))
            line.chop(1);
        m_read = end + 1;
        if (m_response.size() + line.size() > m_limit) {
            fail(QStringLiteral("A response from the server is longer than %1 bytes").arg(m_limit));
            return std::nullopt;
        }
        qint64 length = 0;
        switch (literalAnnounced(line, length)) {
        case Literal::Invalid: {
            const QByteArrayView announcement = line.sliced(line.lastIndexOf('{'));
            fail(QStringLiteral("The server announced a literal of unusable length: %1")
                     .arg(QString::fromLatin1(announcement.first(std::min<qsizetype>(32, announcement.size())))));
            return std::nullopt;
        }
        case Literal::Announced:
            if (m_response.size() + line.size() + length > m_limit) {
                fail(QStringLiteral("A response from the server is longer than %1 bytes").arg(m_limit));
                return std::nullopt;
            }
            m_response.append(line).append("\r\n");
            m_literalLeft = length;
            break;
        case Literal::None:
            m_response.append(line);
            compact();
            return std::exchange(m_response, QByteArray());
        }
    }
    return std::nullopt;
}

} // namespace mrv::imap
