#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <unordered_map>

namespace mrv::richtext {

// The Windows code page that a font's \fcharset stands for, or 0 when the
// charset means "whatever the document's \ansicpg says".
int codePageOfCharset(int charset);

// Decodes text bytes in any code page an RTF file may name. Decoders come from
// Qt's ICU backend and are made once per code page; an unknown code page falls
// back to Windows-1252, the one almost every RTF file uses anyway.
class CodePageDecoder
{
public:
    QString decode(QByteArrayView bytes, int codePage);

private:
    QStringDecoder &decoderFor(int codePage);

    std::unordered_map<int, QStringDecoder> m_decoders;
};

} // namespace mrv::richtext
