#pragma once

#include <QString>

class QTextDocument;

namespace mrv {

// A body exported as HTML the way the host converts text files: written to a
// temporary file, converted to UTF-8 by the host's path services and read
// back; both files are removed afterwards.
struct HtmlBodyExport
{
    QString html;
    // When a step failed: the product's message for it ("@1" stands for
    // the file) and the file; both empty on success.
    QString failure;
    QString failedFile;

    bool ok() const { return failure.isEmpty(); }
};

HtmlBodyExport exportHtmlBody(const QTextDocument &document);

} // namespace mrv
