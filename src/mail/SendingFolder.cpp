#include "SendingFolder.h"

#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/PathServices.h"

#include <QDir>
#include <QFileInfo>

namespace mrv {

namespace {

const QString kPrefix = QStringLiteral("send-");

bool makePrivateFolder(const QString &path)
{
    // mkdir fails on anything already there, a planted link included.
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

// Made on the first file: most e-mails carry none, and a send should not
// make and remove a folder for nothing.
const QString &SendingFolder::path()
{
    if (!m_path.isEmpty())
        return m_path;
    host::PathServices &paths = host::pathServices();
    for (int attempt = 0; attempt < 10 && m_path.isEmpty(); ++attempt) {
        const QString candidate = paths.newTempFileName(kPrefix, QString(), QString());
        if (makePrivateFolder(candidate))
            m_path = candidate;
    }
    if (m_path.isEmpty())
        throw Failure(QStringLiteral("No folder for the attachments can be made in %1")
                          .arg(QDir::toNativeSeparators(paths.productFolder(QStringLiteral("Temp")))));
    return m_path;
}

SendingFolder::~SendingFolder()
{
    if (!m_handedOver && !m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

QString SendingFolder::placeFor(const QString &fileName)
{
    const int earlier = m_uses[fileName]++;
    if (earlier == 0)
        return QDir(path()).filePath(fileName);
    const QString folder = QDir(path()).filePath(QString::number(earlier));
    if (!QFileInfo(folder).isDir() && !makePrivateFolder(folder))
        throw Failure(QStringLiteral("The folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
    return QDir(folder).filePath(fileName);
}

void SendingFolder::removeQueuedFile(const QString &path)
{
    const QString temp = QFileInfo(host::pathServices().productFolder(QStringLiteral("Temp"))).canonicalFilePath();
    const auto isSendingFolder = [&](const QFileInfo &folder) {
        return folder.fileName().startsWith(kPrefix) && QFileInfo(folder.absolutePath()).canonicalFilePath() == temp;
    };
    const QFileInfo file(path);
    const QFileInfo parent(file.absolutePath());
    // A second file of the same name sits one level further down.
    const QFileInfo sending = isSendingFolder(parent) ? parent : QFileInfo(parent.absolutePath());
    if (!isSendingFolder(sending))
        return;
    QFile::remove(file.absoluteFilePath());
    // Each goes only once empty: the last file of the sending takes the folder with it.
    QDir().rmdir(parent.absoluteFilePath());
    QDir().rmdir(sending.absoluteFilePath());
}

} // namespace mrv
