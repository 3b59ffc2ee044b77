#include "HtmlBodyExport.h"

#include "host/HostServices.h"
#include "host/PathServices.h"
#include "platform/richtext/HtmlWriter.h"

#include <QFile>

namespace mrv {

HtmlBodyExport exportHtmlBody(const QTextDocument &document)
{
    auto &paths = host::pathServices();
    const QString exported = paths.newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    const QString converted = paths.newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    HtmlBodyExport result;
    QFile file(exported);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(richtext::toHtml(document).toUtf8()) >= 0;
    file.close();
    QFile read(converted);
    if (!written) {
        result.failure = QStringLiteral("Non è stato possibile generare il file \"@1\" di tipo HTML in codifica ANSI.");
        result.failedFile = exported;
    } else if (!QFile::copy(exported, converted) || !paths.convertToUtf8(converted) ||
               !read.open(QIODevice::ReadOnly)) {
        result.failure = QStringLiteral("Non è stato possibile generare il file \"@1\" di tipo HTML in codifica UTF8.");
        result.failedFile = converted;
    } else {
        result.html = QString::fromUtf8(read.readAll());
    }
    read.close();
    QFile::remove(exported);
    QFile::remove(converted);
    return result;
}

} // namespace mrv
