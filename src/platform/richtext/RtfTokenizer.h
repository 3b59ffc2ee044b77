#pragma once

#include <QByteArrayView>

namespace mrv::richtext {

struct RtfToken
{
    enum class Kind { GroupStart, GroupEnd, ControlWord, ControlSymbol, HexByte, Text, Binary, End };

    Kind kind = Kind::End;
    // The name of a control word, or the bytes of a text run or of \bin data.
    QByteArrayView bytes;
    bool hasParameter = false;
    int parameter = 0;
    // The character of a control symbol, or the value of a \'hh byte.
    uchar symbol = 0;
};

// The value of a hexadecimal digit, or -1 for any other character.
int hexDigitValue(uchar c);

// Splits RTF into tokens in one pass over the input. Line breaks in the source
// are dropped as RTF wants; a backslash before a line break is \par. Any input
// yields a finite token sequence ending in End, however it is damaged.
class RtfTokenizer
{
public:
    explicit RtfTokenizer(QByteArrayView input);

    RtfToken next();

private:
    RtfToken readControl();
    RtfToken readControlWord();
    RtfToken readHexByte();
    RtfToken readText();
    RtfToken readBinary(int length);
    int readParameter(bool *present);
    bool atEnd() const { return m_position >= m_input.size(); }
    uchar peek() const { return uchar(m_input[m_position]); }

    QByteArrayView m_input;
    qsizetype m_position = 0;
};

} // namespace mrv::richtext
