#include "HtmlView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

namespace mrv::widgets {

namespace {

// The bytes of a data: URL ("data:image/png;base64,...."); empty when it is not one.
QByteArray dataUrlContents(const QUrl &url)
{
    const QByteArray encoded = url.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (comma < 0)
        return {};
    const QByteArray header = encoded.left(comma);
    const QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    return header.endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
}

} // namespace

HtmlView::HtmlView(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HtmlView::linkClicked);
}

void HtmlView::showHtml(const QString &html, const QString &folder)
{
    m_folder = folder.isEmpty() ? QString() : QDir(folder).canonicalPath();
    setHtml(html);
}

bool HtmlView::showFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showHtml(QString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    const QStringConverter::Encoding encoding =
        QStringConverter::encodingForHtml(bytes).value_or(QStringConverter::Utf8);
    QStringDecoder decode(encoding);
    showHtml(decode(bytes), QFileInfo(path).absolutePath());
    return true;
}

// Relative names and file: URLs that resolve inside the folder; empty for
// anything else, a way out of the folder through ".." or a link included.
QString HtmlView::localPath(const QUrl &name) const
{
    if (m_folder.isEmpty())
        return {};
    QString path;
    if (name.isRelative() && name.host().isEmpty())
        path = QDir(m_folder).filePath(name.path());
    else if (name.isLocalFile())
        path = name.toLocalFile();
    else
        return {};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.startsWith(m_folder + QLatin1Char('/')) ? canonical : QString();
}

QVariant HtmlView::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return dataUrlContents(name);
    const QString path = localPath(name);
    if (path.isEmpty())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QVariant(file.readAll()) : QVariant();
}

} // namespace mrv::widgets
