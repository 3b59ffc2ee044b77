#include "ImapTestServer.h"

#include "ServerProcess.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mrv::testing {

namespace {

const QString kDovecot = QStringLiteral("/usr/sbin/dovecot");
constexpr int kStartTimeoutMs = 20000;
// Dovecot takes 1 to 2.5 s to stop after SIGTERM.
constexpr int kStopTimeoutMs = 10000;

// Who Dovecot runs as: nobody when the tests run as root, else the user.
struct RunAs
{
    QString user;
    QString group;
    uid_t uid;
    gid_t gid;
};

RunAs runAs()
{
    const bool root = geteuid() == 0;
    const passwd *account = root ? getpwnam("nobody") : getpwuid(geteuid());
    const gid_t gid = root ? (getgrnam("nogroup") ? getgrnam("nogroup")->gr_gid : account->pw_gid) : getegid();
    const group *primary = getgrgid(gid);
    return {QString::fromLocal8Bit(account->pw_name), QString::fromLocal8Bit(primary ? primary->gr_name : "nogroup"),
            account->pw_uid, gid};
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

void chownTree(const QString &path, const RunAs &owner)
{
    if (::chown(QFile::encodeName(path).constData(), owner.uid, owner.gid) != 0)
        return;
    for (const QFileInfo &entry : QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (entry.isDir())
            chownTree(entry.filePath(), owner);
        else
            ::chown(QFile::encodeName(entry.filePath()).constData(), owner.uid, owner.gid);
    }
}

bool accepts(const QString &host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    return socket.waitForConnected(500);
}

} // namespace

QString ImapTestServer::configuration(const QString &loginUser, const QString &loginGroup) const
{
    QFile file(QString::fromUtf8(MRV_TEST_SERVERS_DIR "/dovecot.conf"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll())
        .replace(QLatin1String("@FOLDER@"), m_folder.path())
        .replace(QLatin1String("@USER@"), loginUser)
        .replace(QLatin1String("@GROUP@"), loginGroup)
        .replace(QLatin1String("@PORT@"), QString::number(m_port))
        .replace(QLatin1String("@TLS_PORT@"), QString::number(m_tlsPort));
}

bool ImapTestServer::prepare()
{
    if (!QFile::exists(kDovecot)) {
        m_error = QStringLiteral("Dovecot is missing (package dovecot-imapd): scripts/setup.sh installs it");
        return false;
    }
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("No temporary folder for Dovecot: ") + m_folder.errorString();
        return false;
    }
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                   "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
                   m_folder.filePath("key.pem"), "-out", certificatePath()});
    if (!openssl.waitForFinished(kStartTimeoutMs) || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl could not make a certificate: ") +
                  QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    const RunAs owner = runAs();
    const QString home = m_folder.filePath(QStringLiteral("home/") + kUser);
    const QString users =
        QStringLiteral("%1:{PLAIN}%2:%3:%4::%5\n").arg(kUser, kPassword).arg(owner.uid).arg(owner.gid).arg(home);
    m_port = freePort();
    m_tlsPort = freePort();
    const QString settings = configuration(owner.user, owner.group);
    if (settings.isEmpty() || !QDir(m_folder.path()).mkpath(QStringLiteral("home")) ||
        !writeFile(m_folder.filePath("passwd"), users.toUtf8()) ||
        !writeFile(m_folder.filePath("tokens"), QStringLiteral("%1:{PLAIN}%2\n").arg(kUser, kAccessToken).toUtf8()) ||
        !writeFile(m_folder.filePath("dovecot.conf"), settings.toUtf8())) {
        m_error = QStringLiteral("Cannot write Dovecot's files in ") + m_folder.path();
        return false;
    }
    ::chmod(QFile::encodeName(m_folder.path()).constData(), 0755);
    chownTree(m_folder.path(), owner);
    if (geteuid() == 0) {
        m_process.setChildProcessModifier([uid = owner.uid, gid = owner.gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
        });
    }
    return true;
}

bool ImapTestServer::start()
{
    if (!prepare())
        return false;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(kDovecot, {"-F", "-c", m_folder.filePath("dovecot.conf")});
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (accepts(QStringLiteral("127.0.0.1"), m_port) && accepts(QStringLiteral("127.0.0.1"), m_tlsPort))
            return true;
        QThread::msleep(50);
    }
    QFile log(m_folder.filePath("dovecot.log"));
    const QByteArray logText = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    m_error = QStringLiteral("Dovecot did not start: ") + QString::fromLocal8Bit(m_process.readAll() + logText);
    stop();
    return false;
}

void ImapTestServer::stop()
{
    stopServerProcess(m_process, kStopTimeoutMs);
}

bool ImapTestServer::fillFolder(const QString &name, int count, const std::function<QByteArray(int)> &message)
{
    const QString folder = m_folder.filePath(QStringLiteral("home/%1/Maildir/.%2").arg(kUser, name));
    QDir maildir;
    if (!maildir.mkpath(folder + QStringLiteral("/cur")) || !maildir.mkpath(folder + QStringLiteral("/new")) ||
        !maildir.mkpath(folder + QStringLiteral("/tmp")))
        return false;
    const qint64 stamp = QDateTime::currentSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        const QByteArray content = message(i);
        const QString file =
            QStringLiteral("%1/cur/%2.M%3P1.bench,S=%4:2,S").arg(folder).arg(stamp).arg(i).arg(content.size());
        if (!writeFile(file, content))
            return false;
    }
    chownTree(m_folder.filePath(QStringLiteral("home")), runAs());
    return true;
}

imap::ImapAccount ImapTestServer::account(imap::TlsMode tls) const
{
    imap::ImapAccount account;
    account.server = QStringLiteral("localhost");
    account.port = tls == imap::TlsMode::Implicit ? m_tlsPort : m_port;
    account.tls = tls;
    account.user = QString::fromLatin1(kUser);
    account.password = QString::fromLatin1(kPassword);
    account.caFile = certificatePath();
    account.timeoutSeconds = 10;
    return account;
}

void ImapTestServer::signalSessions(int signal) const
{
    // The sessions are the master's "imap" children.
    const QString master = QString::number(m_process.processId());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ..."
        const QString text = QString::fromLocal8Bit(stat.readAll());
        const QStringList after = text.section(QLatin1Char(')'), -1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (text.contains(QLatin1String("(imap)")) && after.size() > 1 && after.at(1) == master)
            ::kill(pid.toInt(), signal);
    }
}

} // namespace mrv::testing
