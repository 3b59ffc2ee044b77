#include "platform/richtext/RtfTokenizer.h"

#include <limits>

namespace mrv::richtext {

namespace {

bool isLetter(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(uchar c)
{
    return c >= '0' && c <= '9';
}

bool isLineBreak(uchar c)
{
    return c == '\r' || c == '\n';
}

RtfToken token(RtfToken::Kind kind)
{
    RtfToken result;
    result.kind = kind;
    return result;
}

} // namespace

int hexDigitValue(uchar c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

RtfTokenizer::RtfTokenizer(QByteArrayView input) : m_input(input) {}

RtfToken RtfTokenizer::next()
{
    while (!atEnd() && isLineBreak(peek()))
        ++m_position;
    if (atEnd())
        return token(RtfToken::Kind::End);
    switch (peek()) {
    case '{':
        ++m_position;
        return token(RtfToken::Kind::GroupStart);
    case '}':
        ++m_position;
        return token(RtfToken::Kind::GroupEnd);
    case '\\':
        ++m_position;
        return readControl();
    default:
        return readText();
    }
}

RtfToken RtfTokenizer::readControl()
{
    if (atEnd())
        return token(RtfToken::Kind::End);
    const uchar c = peek();
    if (isLetter(c))
        return readControlWord();
    ++m_position;
    if (c == '\'')
        return readHexByte();
    if (isLineBreak(c)) {
        RtfToken par = token(RtfToken::Kind::ControlWord);
        par.bytes = "par";
        return par;
    }
    RtfToken symbol = token(RtfToken::Kind::ControlSymbol);
    symbol.symbol = c;
    return symbol;
}

RtfToken RtfTokenizer::readControlWord()
{
    const qsizetype start = m_position;
    while (!atEnd() && isLetter(peek()))
        ++m_position;
    RtfToken word = token(RtfToken::Kind::ControlWord);
    word.bytes = m_input.sliced(start, m_position - start);
    word.parameter = readParameter(&word.hasParameter);
    if (!atEnd() && peek() == ' ')
        ++m_position;
    if (word.bytes == "bin" && word.hasParameter && word.parameter > 0)
        return readBinary(word.parameter);
    return word;
}

// Digits beyond what an int holds saturate instead of overflowing: the value
// is nonsense either way, but it must not be undefined behaviour.
int RtfTokenizer::readParameter(bool *present)
{
    const bool negative =
        !atEnd() && peek() == '-' && m_position + 1 < m_input.size() && isDigit(uchar(m_input[m_position + 1]));
    if (negative)
        ++m_position;
    *present = !atEnd() && isDigit(peek());
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    while (!atEnd() && isDigit(peek())) {
        value = std::min(value * 10 + (peek() - '0'), limit);
        ++m_position;
    }
    if (negative)
        return int(-value);
    return int(std::min<qint64>(value, std::numeric_limits<int>::max()));
}

RtfToken RtfTokenizer::readHexByte()
{
    const int high = atEnd() ? -1 : hexDigitValue(peek());
    const int low = m_position + 1 < m_input.size() ? hexDigitValue(uchar(m_input[m_position + 1])) : -1;
    if (high < 0 || low < 0) {
        RtfToken broken = token(RtfToken::Kind::ControlSymbol);
        broken.symbol = '\'';
        return broken;
    }
    m_position += 2;
    RtfToken hex = token(RtfToken::Kind::HexByte);
    hex.symbol = uchar(high * 16 + low);
    return hex;
}

RtfToken RtfTokenizer::readText()
{
    const qsizetype start = m_position;
    while (!atEnd() && peek() != '{' && peek() != '}' && peek() != '\\' && !isLineBreak(peek()))
        ++m_position;
    RtfToken text = token(RtfToken::Kind::Text);
    text.bytes = m_input.sliced(start, m_position - start);
    return text;
}

RtfToken RtfTokenizer::readBinary(int length)
{
    const qsizetype available = std::min<qsizetype>(length, m_input.size() - m_position);
    RtfToken binary = token(RtfToken::Kind::Binary);
    binary.bytes = m_input.sliced(m_position, available);
    m_position += available;
    return binary;
}

} // namespace mrv::richtext
