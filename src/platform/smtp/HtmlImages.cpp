#include "HtmlImages.h"

#include "HtmlToText.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace mrv::smtp {

namespace {

// "data:[type][;base64],payload"
std::optional<MimeFile> imageFromDataUrl(const QString &source)
{
    const qsizetype comma = source.indexOf(QLatin1Char(','));
    if (comma < 0)
        return std::nullopt;
    const QString header = source.mid(5, comma - 5);
    const QByteArray payload = source.mid(comma + 1).toLatin1();
    const bool base64 = header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive);
    MimeFile image;
    image.contentType = header.section(QLatin1Char(';'), 0, 0).trimmed();
    if (image.contentType.isEmpty())
        image.contentType = QStringLiteral("application/octet-stream");
    image.content = base64 ? QByteArray::fromBase64(payload) : QByteArray::fromPercentEncoding(payload);
    const QString suffix = QMimeDatabase().mimeTypeForName(image.contentType).preferredSuffix();
    image.fileName = suffix.isEmpty() ? QStringLiteral("image") : QStringLiteral("image.") + suffix;
    return image;
}

std::optional<QString> localPath(const QString &source, const QString &baseFolder)
{
    const QUrl url(source);
    if (url.isLocalFile())
        return url.toLocalFile();
    if (!url.scheme().isEmpty())
        return std::nullopt;
    if (QDir::isAbsolutePath(source))
        return source;
    if (baseFolder.isEmpty())
        return std::nullopt;
    return QDir(baseFolder).filePath(source);
}

std::optional<MimeFile> imageFromSource(const QString &source, const QString &baseFolder)
{
    if (source.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
        return imageFromDataUrl(source);
    const std::optional<QString> path = localPath(source, baseFolder);
    if (!path || !QFileInfo(*path).isFile())
        return std::nullopt;
    return MimeFile::fromPath(*path);
}

QString newContentId(qsizetype number)
{
    return QStringLiteral("image%1.%2@mrv").arg(number).arg(QUuid::createUuid().toString(QUuid::Id128).left(16));
}

const QRegularExpression &imageSource()
{
    static const QRegularExpression expression(
        QStringLiteral("(<img\\b[^>]*?\\bsrc\\s*=\\s*)(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
        QRegularExpression::CaseInsensitiveOption);
    return expression;
}

QString sourceOf(const QRegularExpressionMatch &match)
{
    for (int group = 2; group <= 4; ++group) {
        if (match.capturedStart(group) >= 0)
            return decodeHtmlEntities(match.captured(group));
    }
    return {};
}

} // namespace

MimeBody htmlBodyWithImages(const QString &html, const QString &baseFolder)
{
    MimeBody body;
    body.subtype = QStringLiteral("html");
    QHash<QString, QString> idsBySource;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : imageSource().globalMatch(html)) {
        const QString source = sourceOf(match);
        QString id = idsBySource.value(source);
        if (id.isEmpty()) {
            std::optional<MimeFile> image = imageFromSource(source, baseFolder);
            if (!image)
                continue;
            id = newContentId(body.inlineImages.size() + 1);
            image->contentId = id;
            body.inlineImages.append(*image);
            idsBySource.insert(source, id);
        }
        body.text += QStringView(html).mid(copied, match.capturedStart() - copied);
        body.text += match.captured(1) + QStringLiteral("\"cid:") + id + QLatin1Char('"');
        copied = match.capturedEnd();
    }
    body.text += QStringView(html).mid(copied);
    return body;
}

} // namespace mrv::smtp
