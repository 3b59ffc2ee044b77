// libFuzzer target for the RTF reader and the HTML and RTF writers. Not part of the
// default build; build and run it by hand from the repository root, for
// example:
//
//   clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DQT_NO_KEYWORDS \
//       -Isrc $(pkg-config --cflags Qt6Gui) fuzz/fuzz_rtfreader.cpp src/platform/richtext/*.cpp \
//       $(pkg-config --libs Qt6Gui) -o /tmp/fuzz_rtfreader
//   /tmp/fuzz_rtfreader -max_len=8192 -timeout=10
//
// Every input is read as the body of an RTF document, so that the fuzzer
// spends its time in the reader rather than in the plain-text fallback. The
// reader must never crash or hang, and the HTML written from whatever it
// read must close every element it opens, in order; the RTF written from it
// must read back to the same text, and written again give the same RTF.

#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextDocument>

#include <cstdlib>

using namespace mrv::richtext;

namespace {

bool isVoidElement(const QString &name)
{
    return name == u"br" || name == u"img" || name == u"meta";
}

bool elementsNestProperly(const QString &html)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)([a-z]+)"));
    QStringList open;
    for (const QRegularExpressionMatch &match : tag.globalMatch(html)) {
        const QString name = match.captured(2);
        if (isVoidElement(name))
            continue;
        if (match.captured(1).isEmpty())
            open.append(name);
        else if (open.isEmpty() || open.takeLast() != name)
            return false;
    }
    return open.isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray rtf = "{\\rtf1 " + QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<QTextDocument> document = readRtf(rtf);
    QList<InlineImage> images;
    const QString html = toHtml(*document, &images);
    if (!elementsNestProperly(html))
        std::abort();
    toPlainText(*document);
    const int length = document->characterCount();
    for (const FieldSpan &field : findFields(*document)) {
        if (field.position < 0 || field.length <= 0 || field.position + field.length > length)
            std::abort();
    }
    const QByteArray written = writeRtf(*document);
    const std::unique_ptr<QTextDocument> again = readRtf(written);
    if (again->toPlainText() != document->toPlainText() || writeRtf(*again) != written)
        std::abort();
    return 0;
}
