#include "PdfViewer.h"

#include "host/HostServices.h"
#include "host/TextService.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QSpinBox>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace mrv::widgets {

namespace {

constexpr qreal kZoomStep = 1.25;
constexpr qreal kLeastZoom = 0.1;
constexpr qreal kMostZoom = 10.0;

QString translated(const QString &text)
{
    return host::textService().translate(text, QStringLiteral("PdfViewer > Toolbar"));
}

} // namespace

PdfViewer::PdfViewer(QWidget *parent)
    : QWidget(parent), m_document(new QPdfDocument(this)), m_view(new QPdfView(this)), m_bar(new QToolBar(this))
{
    m_view->setDocument(m_document);
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(m_view);
    buildBar();
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, &PdfViewer::showPageNumber);
}

void PdfViewer::buildBar()
{
    m_bar->addAction(translated(QStringLiteral("Pagina precedente")), this, [this] { goToPage(currentPage() - 1); });
    m_page = new QSpinBox(m_bar);
    m_page->setRange(1, 1);
    connect(m_page, &QSpinBox::editingFinished, this, [this] { goToPage(m_page->value() - 1); });
    m_bar->addWidget(m_page);
    m_pages = new QLabel(m_bar);
    m_bar->addWidget(m_pages);
    m_bar->addAction(translated(QStringLiteral("Pagina successiva")), this, [this] { goToPage(currentPage() + 1); });
    m_bar->addSeparator();
    m_bar->addAction(translated(QStringLiteral("Riduci")), this, [this] { setZoom(zoom() / kZoomStep); });
    m_bar->addAction(translated(QStringLiteral("Ingrandisci")), this, [this] { setZoom(zoom() * kZoomStep); });
    m_bar->addAction(translated(QStringLiteral("Adatta alla larghezza")), this, &PdfViewer::fitWidth);
}

bool PdfViewer::open(const QString &path)
{
    const bool loaded = m_document->load(path) == QPdfDocument::Error::None;
    if (!loaded)
        m_document->close();
    m_page->setRange(1, qMax(1, pageCount()));
    showPageNumber();
    return loaded;
}

void PdfViewer::close()
{
    m_document->close();
    showPageNumber();
}

int PdfViewer::pageCount() const
{
    return m_document->pageCount();
}

int PdfViewer::currentPage() const
{
    return m_view->pageNavigator()->currentPage();
}

void PdfViewer::goToPage(int page)
{
    if (page < 0 || page >= pageCount())
        return;
    m_view->pageNavigator()->jump(page, QPointF(), m_view->pageNavigator()->currentZoom());
}

qreal PdfViewer::zoom() const
{
    return m_view->zoomFactor();
}

void PdfViewer::setZoom(qreal factor)
{
    m_view->setZoomMode(QPdfView::ZoomMode::Custom);
    m_view->setZoomFactor(qBound(kLeastZoom, factor, kMostZoom));
}

void PdfViewer::fitWidth()
{
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
}

void PdfViewer::showPageNumber()
{
    const QSignalBlocker quiet(m_page);
    m_page->setValue(currentPage() + 1);
    m_pages->setText(QStringLiteral("/ %1").arg(pageCount()));
}

bool openFile(const QString &path, QWidget *parent)
{
    if (QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("application/pdf"))) {
        auto *viewer = new PdfViewer(parent);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QFileInfo(path).fileName());
        if (viewer->open(path)) {
            viewer->resize(800, 900);
            viewer->show();
            return true;
        }
        delete viewer;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace mrv::widgets
