#pragma once

#include <QString>

class QTextDocument;
class QWidget;

namespace mrv::widgets {

// Prints the document page by page: into the PDF file when a path is
// given, otherwise on the printer the user picks in the print dialog.
// False when the user cancelled or the output could not be written.
bool printDocument(const QTextDocument &document, QWidget *parent, const QString &pdfPath = QString());

} // namespace mrv::widgets
