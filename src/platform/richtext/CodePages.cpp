#include "platform/richtext/CodePages.h"

namespace mrv::richtext {

namespace {

constexpr int kWestern = 1252;

QByteArray encodingName(int codePage)
{
    switch (codePage) {
    case 437:
    case 850:
    case 852:
    case 866:
        return "IBM" + QByteArray::number(codePage);
    case 10000:
        return "macintosh";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

} // namespace

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

QString CodePageDecoder::decode(QByteArrayView bytes, int codePage)
{
    QStringDecoder &decoder = decoderFor(codePage);
    decoder.resetState();
    return decoder.decode(bytes);
}

QStringDecoder &CodePageDecoder::decoderFor(int codePage)
{
    auto found = m_decoders.find(codePage);
    if (found != m_decoders.end())
        return found->second;
    QStringDecoder decoder(encodingName(codePage).constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(encodingName(kWestern).constData());
    return m_decoders.emplace(codePage, std::move(decoder)).first->second;
}

} // namespace mrv::richtext
