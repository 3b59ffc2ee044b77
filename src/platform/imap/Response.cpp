#include "Response.h"

namespace mrv::imap {

namespace {

// Lists nest deeper than any real BODYSTRUCTURE; the bound keeps hostile
// input from exhausting the stack.
constexpr int kMaxDepth = 64;

bool isAtomChar(char byte, bool inCode)
{
    const uchar value = uchar(byte);
    if (value <= 0x20 || value == 0x7f)
        return false;
    switch (byte) {
    case '(':
    case ')':
    case '{':
    case '"':
        return false;
    case ']':
        return !inCode;
    default:
        return true;
    }
}

// Reads values from one response, left to right.
class ValueReader
{
public:
    explicit ValueReader(QByteArrayView line) : m_line(line) {}

    bool atEnd() const { return m_at >= m_line.size(); }
    char peek() const { return atEnd() ? '\0' : m_line.at(m_at); }
    qsizetype position() const { return m_at; }
    QByteArrayView rest() const { return m_line.sliced(m_at); }
    const QString &error() const { return m_error; }

    // Servers put one space between items; more are tolerated (trailing
    // spaces after STATUS are a known quirk).
    void skipSpaces()
    {
        while (!atEnd() && m_line.at(m_at) == ' ')
            ++m_at;
    }

    bool consume(char expected)
    {
        if (peek() != expected)
            return false;
        ++m_at;
        return true;
    }

    std::optional<ResponseValue> readValue(bool inCode = false, int depth = 0)
    {
        switch (peek()) {
        case '(':
            return readList(inCode, depth);
        case '"':
            return readQuoted();
        case '{':
            return readLiteral();
        case '~':
            if (m_at + 1 < m_line.size() && m_line.at(m_at + 1) == '{') {
                ++m_at;
                return readLiteral();
            }
            break;
        }
        return readAtom(inCode);
    }

    // Items up to the end of the response (or a ']' in a response code).
    std::optional<QList<ResponseValue>> readItems(bool inCode)
    {
        QList<ResponseValue> items;
        skipSpaces();
        while (!atEnd() && !(inCode && peek() == ']')) {
            auto value = readValue(inCode);
            if (!value)
                return std::nullopt;
            items.append(std::move(*value));
            skipSpaces();
        }
        return items;
    }

    std::optional<ResponseValue> failure(const QString &text)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 at byte %2").arg(text).arg(m_at);
        return std::nullopt;
    }

private:
    std::optional<ResponseValue> readList(bool inCode, int depth)
    {
        if (depth >= kMaxDepth)
            return failure(QStringLiteral("Lists nested too deep"));
        ++m_at;
        ResponseValue list{ResponseValue::Kind::List, {}, {}};
        skipSpaces();
        while (!consume(')')) {
            if (atEnd())
                return failure(QStringLiteral("Unclosed list"));
            auto item = readValue(inCode, depth + 1);
            if (!item)
                return std::nullopt;
            list.items.append(std::move(*item));
            skipSpaces();
        }
        return list;
    }

    std::optional<ResponseValue> readQuoted()
    {
        ++m_at;
        QByteArray text;
        while (!atEnd()) {
            char byte = m_line.at(m_at++);
            if (byte == '"')
                return ResponseValue{ResponseValue::Kind::String, text, {}};
            if (byte == '\\') {
                if (atEnd())
                    break;
                byte = m_line.at(m_at++);
            }
            text += byte;
        }
        return failure(QStringLiteral("Unterminated quoted string"));
    }

    std::optional<ResponseValue> readLiteral()
    {
        ++m_at;
        qint64 length = 0;
        qsizetype digits = 0;
        while (peek() >= '0' && peek() <= '9') {
            length = length * 10 + (m_line.at(m_at++) - '0');
            if (++digits > 18)
                return failure(QStringLiteral("Literal length out of range"));
        }
        consume('+');
        if (digits == 0 || !consume('}') || !consume('\r') || !consume('\n'))
            return failure(QStringLiteral("Malformed literal"));
        if (length > m_line.size() - m_at)
            return failure(QStringLiteral("Literal longer than the response"));
        ResponseValue value{ResponseValue::Kind::String, m_line.sliced(m_at, length).toByteArray(), {}};
        m_at += length;
        return value;
    }

    // An atom may carry a bracketed part with spaces and parentheses of
    // its own: BODY[HEADER.FIELDS (DATE FROM)]<0>.
    std::optional<ResponseValue> readAtom(bool inCode)
    {
        const qsizetype start = m_at;
        while (!atEnd()) {
            const char byte = peek();
            if (byte == '[' && !inCode) {
                const qsizetype close = m_line.indexOf(']', m_at);
                if (close < 0)
                    return failure(QStringLiteral("Unclosed bracket"));
                m_at = close + 1;
            } else if (isAtomChar(byte, inCode)) {
                ++m_at;
            } else {
                break;
            }
        }
        if (m_at == start)
            return failure(QStringLiteral("Unexpected character"));
        const QByteArray text = m_line.sliced(start, m_at - start).toByteArray();
        if (text.compare("NIL", Qt::CaseInsensitive) == 0)
            return ResponseValue{};
        return ResponseValue{ResponseValue::Kind::Atom, text, {}};
    }

    QByteArrayView m_line;
    qsizetype m_at = 0;
    QString m_error;
};

bool isStatusKeyword(QByteArrayView keyword)
{
    return keyword == "OK" || keyword == "NO" || keyword == "BAD" || keyword == "BYE" || keyword == "PREAUTH";
}

// "[CODE arguments] human text", the code optional. A code that cannot be
// read stays part of the text: it is advice, never worth the session.
void readStatusText(QByteArrayView text, Response &response)
{
    ValueReader reader(text);
    reader.skipSpaces();
    const QByteArrayView whole = reader.rest();
    if (reader.consume('[')) {
        auto name = reader.readValue(true);
        auto arguments = name && name->kind == ResponseValue::Kind::Atom ? reader.readItems(true) : std::nullopt;
        if (arguments && reader.consume(']')) {
            response.code = {name->text.toUpper(), std::move(*arguments)};
            reader.skipSpaces();
            response.text = QString::fromUtf8(reader.rest());
            return;
        }
    }
    response.text = QString::fromUtf8(whole);
}

} // namespace

bool ResponseValue::isAtom(QByteArrayView name) const
{
    return kind == Kind::Atom && QByteArrayView(text).compare(name, Qt::CaseInsensitive) == 0;
}

std::optional<quint64> ResponseValue::number(quint64 max) const
{
    if (kind != Kind::Atom || text.isEmpty() || text.size() > 20)
        return std::nullopt;
    quint64 value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        const quint64 next = value * 10 + quint64(digit - '0');
        if (next / 10 != value)
            return std::nullopt;
        value = next;
    }
    if (value > max)
        return std::nullopt;
    return value;
}

bool Response::isStatus() const
{
    return kind != Kind::Continuation && isStatusKeyword(keyword);
}

Result<Response> parseResponse(QByteArrayView line)
{
    Response response;
    ValueReader reader(line);
    if (reader.consume('+')) {
        response.kind = Response::Kind::Continuation;
        readStatusText(reader.rest(), response);
        return response;
    }
    auto tag = reader.readValue();
    if (!tag || tag->kind != ResponseValue::Kind::Atom || !reader.consume(' '))
        return protocolError(QStringLiteral("A response without tag: ") + reader.error());
    response.kind = tag->text == "*" ? Response::Kind::Untagged : Response::Kind::Tagged;
    response.tag = tag->text;
    auto keyword = reader.readValue();
    if (keyword && response.kind == Response::Kind::Untagged) {
        if (const auto number = keyword->number()) {
            response.number = quint32(*number);
            reader.skipSpaces();
            keyword = reader.readValue();
        }
    }
    if (!keyword || keyword->kind != ResponseValue::Kind::Atom)
        return protocolError(QStringLiteral("A response without keyword: ") + reader.error());
    response.keyword = keyword->text.toUpper();
    if (response.isStatus()) {
        readStatusText(reader.rest(), response);
        return response;
    }
    if (response.kind == Response::Kind::Tagged)
        return protocolError(QStringLiteral("A tagged response must be OK, NO or BAD"));
    auto values = reader.readItems(false);
    if (!values)
        return protocolError(reader.error());
    response.values = std::move(*values);
    return response;
}

} // namespace mrv::imap
