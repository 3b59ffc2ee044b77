#include "SuitePaths.h"

#include "host/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace mrv::suite {

namespace {

const QString kProduct = QStringLiteral("Merovan");
const QString kTempFolder = QStringLiteral("Temp");

// A product folder name is one path segment: it must not climb out of the
// product's folder.
bool isFolderName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString randomPart()
{
    return QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFFull, 36).toUpper();
}

// The text of a file in any of the encodings the suite's tools write: UTF-16
// with its byte-order mark, UTF-8 (with or without one), else Latin-1.
QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return decoder(bytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

// The system's temporary folder is shared by every user of the machine: ours
// is a folder of this user alone, readable by nobody else, and never a link
// that someone else planted under its name.
QString privateTempBase()
{
    const QString path =
        QDir::tempPath() + QStringLiteral("/") + kProduct + QLatin1Char('-') + QString::number(geteuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(path));
    struct stat info;
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        throw Failure(QStringLiteral("The temporary folder %1 is not this user's own folder").arg(path));
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        throw Failure(QStringLiteral("The temporary folder %1 cannot be made private").arg(path));
    return path;
}

} // namespace

SuitePaths::SuitePaths(const QString &root) : m_root(root) {}

QString SuitePaths::productBase(const QString &name) const
{
    if (!m_root.isEmpty())
        return m_root + QLatin1Char('/') + kProduct;
    if (name.compare(kTempFolder, Qt::CaseInsensitive) == 0)
        return privateTempBase();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + kProduct;
}

QString SuitePaths::productFolder(const QString &name)
{
    if (!isFolderName(name))
        throw Failure(QStringLiteral("\"%1\" is not a product folder name").arg(name));
    const QString path = QDir::cleanPath(productBase(name) + QLatin1Char('/') + name);
    if (!QDir().mkpath(path))
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(QDir::toNativeSeparators(path)));
    return path;
}

QString SuitePaths::newTempFileName(const QString &prefix, const QString &folder, const QString &extension)
{
    const QString directory = folder.isEmpty() ? productFolder(kTempFolder) : folder;
    QString suffix = extension;
    while (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    if (!suffix.isEmpty())
        suffix.prepend(QLatin1Char('.'));
    QString path;
    do {
        path = QDir(directory).filePath(prefix + randomPart() + suffix);
    } while (QFileInfo::exists(path));
    return path;
}

bool SuitePaths::convertToUtf8(const QString &path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QString text = decodeText(source.readAll());
    source.close();
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        return false;
    target.write(text.toUtf8());
    return target.commit();
}

bool SuitePaths::createFolder(const QString &path)
{
    return !path.isEmpty() && QDir().mkpath(path);
}

} // namespace mrv::suite
