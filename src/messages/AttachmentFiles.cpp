#include "AttachmentFiles.h"

#include "host/HostServices.h"
#include "host/ValueTools.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QRegularExpression>

namespace mrv {

namespace {

// Names the platforms reserve for devices, with or without an extension.
bool isDeviceName(const QString &name)
{
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return device.match(name).hasMatch();
}

} // namespace

QString safeAttachmentName(const QString &storedName)
{
    QString name = storedName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = host::valueTools().cleanFileName(name.section(QLatin1Char('/'), -1)).trimmed();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.isEmpty())
        return QStringLiteral("allegato");
    return isDeviceName(name) ? QLatin1Char('_') + name : name;
}

QString attachmentPathIn(const QString &folder, const QString &storedName)
{
    const QString name = safeAttachmentName(storedName);
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString base = suffix.isEmpty() ? name : name.chopped(suffix.size());
    QString path = QDir(folder).filePath(name);
    for (int copy = 2; QFileInfo::exists(path); ++copy)
        path = QDir(folder).filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(copy).arg(suffix));
    return path;
}

QString fileTypeIconKey(const QString &fileName)
{
    return QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).iconName();
}

QString kilobytesText(qint64 bytes)
{
    return QLocale().toString(double(bytes) / 1024.0, 'f', 2) + QStringLiteral(" Kb");
}

} // namespace mrv
