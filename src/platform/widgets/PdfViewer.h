#pragma once

#include <QWidget>

class QLabel;
class QPdfDocument;
class QPdfView;
class QSpinBox;
class QToolBar;

namespace mrv::widgets {

// The pages of a PDF file, with page navigation and zoom.
class PdfViewer : public QWidget
{
    Q_OBJECT

public:
    explicit PdfViewer(QWidget *parent = nullptr);

    // False when the file cannot be read as a PDF; the viewer is then empty.
    bool open(const QString &path);
    void close();

    int pageCount() const;
    int currentPage() const;
    void goToPage(int page);
    qreal zoom() const;
    void setZoom(qreal factor);
    void fitWidth();

private:
    void buildBar();
    void showPageNumber();

    QPdfDocument *m_document;
    QPdfView *m_view;
    QToolBar *m_bar;
    QSpinBox *m_page = nullptr;
    QLabel *m_pages = nullptr;
};

// Shows a PDF in a viewer window of our own, on top of `parent`, and any
// other file with the program the desktop gives its type; false when
// neither can show it.
bool openFile(const QString &path, QWidget *parent);

} // namespace mrv::widgets
