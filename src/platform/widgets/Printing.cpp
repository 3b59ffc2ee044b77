#include "Printing.h"

#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

namespace mrv::widgets {

bool printDocument(const QTextDocument &document, QWidget *parent, const QString &pdfPath)
{
    QPrinter printer(QPrinter::HighResolution);
    if (pdfPath.isEmpty()) {
        QPrintDialog dialog(&printer, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
    }
    document.print(&printer);
    return printer.printerState() != QPrinter::Error && (pdfPath.isEmpty() || QFileInfo(pdfPath).size() > 0);
}

} // namespace mrv::widgets
