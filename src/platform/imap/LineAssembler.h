#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace mrv::imap {

// Cuts the bytes a server sends into complete responses. A response is one
// line, unless a line ends in a literal announcement ("{12}", "{12+}",
// "~{12}"): then the literal's bytes and the rest of the response belong to
// it too. Bytes may arrive in any chunks (a CR and its LF apart included).
//
// Nothing the server claims is taken on trust: a literal length must be
// digits only and, like the whole response, stay under the limit. Past a
// failure the stream cannot be followed any more and nothing more comes out.
class LineAssembler
{
public:
    static constexpr qint64 kDefaultLimit = 64 * 1024 * 1024;

    explicit LineAssembler(qint64 limit = kDefaultLimit) : m_limit(limit) {}

    void feed(QByteArrayView bytes);
    // The next complete response without its final line break, literals
    // embedded as sent ("{3}\r\nabc"); nullopt until one is complete.
    std::optional<QByteArray> takeResponse();

    bool failed() const { return !m_error.isEmpty(); }
    const QString &errorText() const { return m_error; }
    // Forgets every byte received and not yet taken (after STARTTLS).
    void discardBuffered();

private:
    enum class Literal { None, Announced, Invalid };
    Literal literalAnnounced(QByteArrayView line, qint64 &length) const;
    bool fail(const QString &text);
    void compact();

    qint64 m_limit;
    QByteArray m_pending;
    qsizetype m_read = 0;    // of m_pending, already moved into m_response
    qsizetype m_scanned = 0; // of m_pending, known to hold no line end
    QByteArray m_response;
    qint64 m_literalLeft = 0;
    QString m_error;
};

} // namespace mrv::imap
