#include "MailClient.h"

#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "host/Errors.h"
#include "host/Failure.h"
#include "mail/EmailParts.h"
#include "mail/SendingFolder.h"
#include "mail/mrvSMTP.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSysInfo>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace mrv::suite {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString stamp(const QDateTime &when)
{
    return when.toString(kDateFormat);
}

// Runs a native statement and tells how many rows it changed: the claim is
// won only by the runner whose UPDATE changed the row.
int changedRows(db::SuiteConnection &connection, const QString &sql, const QVariantList &values)
{
    return int(connection.nativeQuery(sql, values).changedRows);
}

// Whether the runner named by an MCOWN text may still be at work. Only a
// runner of this machine can be asked; one of another machine is taken to be
// alive, since declaring it dead could send its e-mail twice.
bool ownerAlive(const QString &owner)
{
    const QStringList parts = owner.split(QLatin1Char('|'));
    if (parts.size() != 3)
        return false;
    if (parts.at(0) != QSysInfo::machineHostName())
        return true;
    bool ok = false;
    const qint64 pid = parts.at(1).toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Passes the reports of the e-mail's composition and sending on to the
// session's log and keeps them: a report means the e-mail is not what was
// queued (an address refused, a file missing), and its text is the row's error.
class ReportCollector : public host::Errors
{
public:
    explicit ReportCollector(std::shared_ptr<host::Errors> log) : m_log(std::move(log)) {}

    qint32 report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                  qint32 flag) override
    {
        if (m_log)
            m_log->report(description, number, object, procedure, flag);
        m_reports << description;
        return host::eaAbandon;
    }

    QString text() const { return m_reports.join(QStringLiteral("; ")); }

private:
    std::shared_ptr<host::Errors> m_log;
    QStringList m_reports;
};

struct QueuedFile
{
    QString path;
    QString contentId;
};

struct QueuedMail
{
    QString subject;
    QString body;
    bool bodyIsRtf = false;
    QString to, cc, ccn;
    qint32 importance = mspNormal;
    QString replyToAddress, replyToName, sendAs;
    int attempts = 0;
    QList<QueuedFile> files;
};

QueuedMail readQueuedMail(db::SuiteConnection &connection, qint32 id)
{
    const db::QueryResult row = connection.nativeQuery(
        QStringLiteral("SELECT MCSUB, MCBOD, MCRTF, MCDTO, MCDCC, MCDCN, MCIMP, MCRTE, MCRTN, MCSAS, MCTRY "
                       "FROM SYS_MCL WHERE RECORD_ID = ?"),
        {id});
    if (row.rows.isEmpty())
        throw Failure(QStringLiteral("The queued e-mail %1 no longer exists").arg(id));
    const QVariantList &v = row.rows.first();
    QueuedMail mail;
    mail.subject = v.at(0).toString();
    mail.body = v.at(1).toString();
    mail.bodyIsRtf = v.at(2).toInt() != 0;
    mail.to = v.at(3).toString();
    mail.cc = v.at(4).toString();
    mail.ccn = v.at(5).toString();
    mail.importance = v.at(6).isNull() ? mspNormal : v.at(6).toInt();
    mail.replyToAddress = v.at(7).toString();
    mail.replyToName = v.at(8).toString();
    mail.sendAs = v.at(9).toString();
    mail.attempts = v.at(10).toInt();
    const db::QueryResult files = connection.nativeQuery(
        QStringLiteral("SELECT MCFIL, MCCID FROM SYS_MCA WHERE IDMCL = ? ORDER BY RECORD_ID"), {id});
    for (const QVariantList &file : files.rows)
        mail.files.append({file.at(0).toString(), file.at(1).toString()});
    return mail;
}

// The HTML of a queued HTML body, with the "cid:" sources the transport
// wrote pointed back at their files, which the SMTP sender embeds.
QString htmlBodyOf(const QueuedMail &mail)
{
    QString html = mail.body;
    for (const QueuedFile &file : mail.files) {
        if (!file.contentId.isEmpty())
            html.replace(QStringLiteral("cid:") + file.contentId, QUrl::fromLocalFile(file.path).toString());
    }
    return html;
}

void requireFiles(const QueuedMail &mail)
{
    for (const QueuedFile &file : mail.files) {
        if (!QFileInfo(file.path).isFile())
            throw Failure(QStringLiteral("The file %1 does not exist").arg(file.path));
    }
}

void compose(mrvSMTP &smtp, const QueuedMail &mail)
{
    requireFiles(mail);
    addRecipients(smtp, mail.to, mail.cc, mail.ccn);
    smtp.setSubject(mail.subject);
    if (mail.bodyIsRtf)
        smtp.setRichTextBody(mail.body);
    else
        smtp.SetBodyText(htmlBodyOf(mail), eMessageBodyFormat_HTML);
    smtp.setPriority(emailPriority(mail.importance));
    for (const QueuedFile &file : mail.files) {
        if (file.contentId.isEmpty())
            smtp.AddAttachment(file.path);
    }
    if (!mail.replyToAddress.isEmpty())
        smtp.ReplyTo(mail.replyToAddress, mail.replyToName);
}

// The reason a send failed: the last line of the conversation says why.
QString failureOf(const mrvSMTP &smtp, qint32 result)
{
    const QStringList lines = smtp.ConnectLog().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QStringLiteral("The message could not be sent (result %1)").arg(result) : lines.last();
}

QString newOwner()
{
    return QSysInfo::machineHostName() + QLatin1Char('|') + QString::number(QCoreApplication::applicationPid()) +
           QLatin1Char('|') + QString::number(QRandomGenerator::global()->generate64(), 36);
}

} // namespace

QString MailClientOutcome::line() const
{
    switch (state) {
    case mcsSent:
        return QStringLiteral("sent %1").arg(id);
    case mcsRetry:
        return QStringLiteral("retry %1: %2").arg(id).arg(error);
    case mcsUncertain:
        return QStringLiteral("uncertain %1: %2").arg(id).arg(error);
    default:
        return QStringLiteral("failed %1: %2").arg(id).arg(error);
    }
}

MailClient::MailClient(SuiteSession &session)
    : m_session(session), m_user(session.users()->userCode()), m_owner(newOwner())
{}

QList<MailClientOutcome> MailClient::runOnce()
{
    QList<MailClientOutcome> outcomes = markAbandonedClaims();
    for (const qint32 id : dueRows()) {
        if (claim(id))
            outcomes << deliver(id);
    }
    return outcomes;
}

QList<MailClientOutcome> MailClient::markAbandonedClaims()
{
    static const QString reason =
        QStringLiteral("interrupted while being sent: it may have reached the server; not sent again");
    db::SuiteConnection &connection = *m_session.connection();
    const db::QueryResult claimed = connection.nativeQuery(
        QStringLiteral("SELECT RECORD_ID, MCOWN FROM SYS_MCL WHERE MCSTA = ? AND USINS = ? ORDER BY RECORD_ID"),
        {mcsSending, m_user});
    QList<MailClientOutcome> outcomes;
    for (const QVariantList &row : claimed.rows) {
        const QString owner = row.at(1).toString();
        if (ownerAlive(owner))
            continue;
        // The owner is part of the condition: a row that changed hands since
        // it was read is left to its new owner.
        const int changed =
            changedRows(connection,
                        QStringLiteral("UPDATE SYS_MCL SET MCSTA = ?, MCERR = ? WHERE RECORD_ID = ? AND MCSTA = ? AND "
                                       "COALESCE(MCOWN, '') = COALESCE(?, '')"),
                        {mcsUncertain, reason, row.at(0), mcsSending, owner});
        if (changed == 1)
            outcomes << MailClientOutcome{row.at(0).toInt(), mcsUncertain, reason};
    }
    return outcomes;
}

QList<qint32> MailClient::dueRows()
{
    const db::QueryResult due = m_session.connection()->nativeQuery(
        QStringLiteral("SELECT RECORD_ID FROM SYS_MCL WHERE USINS = ? AND (MCSTA = ? OR (MCSTA = ? AND "
                       "(MCNXT IS NULL OR MCNXT <= ?))) ORDER BY RECORD_ID"),
        {m_user, mcsQueued, mcsRetry, stamp(QDateTime::currentDateTime())});
    QList<qint32> ids;
    for (const QVariantList &row : due.rows)
        ids << row.first().toInt();
    return ids;
}

// The attempt is counted with the claim: a runner that dies afterwards has
// still used it up.
bool MailClient::claim(qint32 id)
{
    const QString now = stamp(QDateTime::currentDateTime());
    return changedRows(*m_session.connection(),
                       QStringLiteral("UPDATE SYS_MCL SET MCSTA = ?, MCOWN = ?, MCCLT = ?, MCTRY = "
                                      "COALESCE(MCTRY, 0) + 1 WHERE RECORD_ID = ? AND (MCSTA = ? OR (MCSTA = ? AND "
                                      "(MCNXT IS NULL OR MCNXT <= ?)))"),
                       {mcsSending, m_owner, now, id, mcsQueued, mcsRetry, now}) == 1;
}

MailClientOutcome MailClient::deliver(qint32 id)
{
    const MailClientOutcome outcome = attempt(id);
    if (outcome.state != mcsRetry)
        removeFiles(id);
    return outcome;
}

void MailClient::removeFiles(qint32 id)
{
    const db::QueryResult files =
        m_session.connection()->nativeQuery(QStringLiteral("SELECT MCFIL FROM SYS_MCA WHERE IDMCL = ?"), {id});
    for (const QVariantList &file : files.rows)
        SendingFolder::removeQueuedFile(file.first().toString());
}

MailClientOutcome MailClient::attempt(qint32 id)
{
    auto reports = std::make_shared<ReportCollector>(m_session.errors());
    mrvSMTP smtp;
    smtp.setErrors(reports);
    smtp.setRecords(m_session.records());
    QueuedMail mail;
    try {
        mail = readQueuedMail(*m_session.connection(), id);
        compose(smtp, mail);
    } catch (const Failure &failure) {
        return recordFailure(id, failure.message(), true);
    }
    // An e-mail that did not compose as queued is not sent at all: trying
    // again would not change it.
    if (!reports->text().isEmpty())
        return recordFailure(id, reports->text(), true);
    qint32 result = -1;
    smtp.Send(&result, mail.sendAs);
    if (result == 0)
        return recordSent(id);
    const int maxAttempts = setting(QStringLiteral("MAILCLIENT_MAX_ATTEMPTS"), 5);
    return recordFailure(id, failureOf(smtp, result), mail.attempts >= maxAttempts);
}

MailClientOutcome MailClient::recordSent(qint32 id)
{
    changedRows(*m_session.connection(),
                QStringLiteral("UPDATE SYS_MCL SET MCSTA = ?, MCDTS = ?, MCERR = NULL, MCNXT = NULL WHERE "
                               "RECORD_ID = ? AND MCOWN = ?"),
                {mcsSent, stamp(QDateTime::currentDateTime()), id, m_owner});
    return {id, mcsSent, QString()};
}

MailClientOutcome MailClient::recordFailure(qint32 id, const QString &error, bool final)
{
    db::SuiteConnection &connection = *m_session.connection();
    const QList<QVariantList> attempts =
        connection.nativeQuery(QStringLiteral("SELECT MCTRY FROM SYS_MCL WHERE RECORD_ID = ?"), {id}).rows;
    const int made = attempts.isEmpty() ? 1 : qMax(1, attempts.first().first().toInt());
    const qint64 delay = qint64(setting(QStringLiteral("MAILCLIENT_RETRY_SECONDS"), 60)) << qMin(made - 1, 20);
    const MailClientState state = final ? mcsFailed : mcsRetry;
    const QVariant next = final ? QVariant() : QVariant(stamp(QDateTime::currentDateTime().addSecs(delay)));
    changedRows(connection,
                QStringLiteral("UPDATE SYS_MCL SET MCSTA = ?, MCERR = ?, MCNXT = ? WHERE RECORD_ID = ? AND "
                               "MCOWN = ?"),
                {state, error, next, id, m_owner});
    return {id, state, error};
}

int MailClient::setting(const QString &key, int defaultValue) const
{
    bool ok = false;
    const int value = m_session.config()->value(key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok && value >= 0 ? value : defaultValue;
}

QStringList installMailClient(const QString &program, const QString &folder)
{
    if (!QFileInfo(program).isExecutable())
        throw Failure(QStringLiteral("The mail-client program %1 does not exist").arg(program));
    if (!QDir().mkpath(folder))
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(folder));
    QStringList installed;
    for (const char *name : {"MailClient_x86", "MailClient_x64"}) {
        const QString link = QDir(folder).filePath(QString::fromLatin1(name));
        QFile::remove(link);
        if (!QFile::link(QFileInfo(program).absoluteFilePath(), link))
            throw Failure(QStringLiteral("The mail client cannot be installed as %1").arg(link));
        installed << link;
    }
    return installed;
}

QString mailClientProgramBeside()
{
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mrv-mailclient"));
    return QFileInfo(program).isExecutable() ? program : QString();
}

} // namespace mrv::suite
