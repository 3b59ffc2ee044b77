#include "ImapTranscript.h"

namespace mrv::imap {

namespace {

constexpr qsizetype kShownLiteral = 200;

// The length announced just before a line break inside a response, which
// (LineAssembler guarantees) only ever precedes a literal.
qsizetype announcedLength(QByteArrayView text)
{
    const qsizetype open = text.lastIndexOf('{');
    if (open < 0 || !text.endsWith('}'))
        return -1;
    bool valid = false;
    const qsizetype length = text.sliced(open + 1).chopped(1).toByteArray().replace('+', "").toLongLong(&valid);
    return valid ? length : -1;
}

} // namespace

void ImapTranscript::serverResponse(const QByteArray &response)
{
    QString line;
    qsizetype at = 0;
    while (at < response.size()) {
        const qsizetype lineBreak = response.indexOf("\r\n", at);
        const qsizetype length =
            lineBreak < 0 ? -1 : announcedLength(QByteArrayView(response).sliced(at, lineBreak - at));
        if (length < 0 || lineBreak + 2 + length > response.size()) {
            line += QString::fromUtf8(response.sliced(at));
            break;
        }
        line += QString::fromUtf8(response.sliced(at, lineBreak - at));
        const QByteArray literal = response.sliced(lineBreak + 2, length);
        const bool shown = length <= kShownLiteral && !literal.contains('\n') && !literal.contains('\r');
        line += shown ? QLatin1Char(' ') + QString::fromUtf8(literal) : QStringLiteral(" [%1 bytes]").arg(length);
        at = lineBreak + 2 + length;
    }
    emitLine(line, Direction::Server);
}

} // namespace mrv::imap
