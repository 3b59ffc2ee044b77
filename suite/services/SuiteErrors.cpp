#include "SuiteErrors.h"

#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/UserManager.h"

#include <cstdio>
#include <exception>

namespace mrv::suite {

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().append('\n').constData(), stderr);
    std::fflush(stderr);
}

} // namespace

SuiteErrors::SuiteErrors(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users)
    : m_connection(std::move(connection)), m_users(std::move(users))
{}

qint32 SuiteErrors::report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                           qint32 flag)
{
    const ErrorReport report{QDateTime::currentDateTime(), description, number, object, procedure, flag};
    print(report);
    writeLog(report);
    remember(report);
    return answer(report);
}

void SuiteErrors::print(const ErrorReport &report) const
{
    // Concatenated, not formatted: a description may hold "%1" itself.
    printLine(report.object + QLatin1Char('.') + report.procedure + QStringLiteral(": ") + report.description +
              QStringLiteral(" (") + QString::number(report.number) + QLatin1Char(')'));
}

void SuiteErrors::writeLog(const ErrorReport &report) const
{
    if (!m_connection)
        return;
    try {
        const QString user = m_users ? m_users->userCode() : QString();
        db::SuiteConnection::SeparateScope scope(*m_connection);
        m_connection->nativeQuery(
            QStringLiteral("INSERT INTO SYS_ERR (ERDAT, ERUSR, EROBJ, ERPRC, ERNUM, ERDES) VALUES (?, ?, ?, ?, ?, ?)"),
            {db::SqlValueTools::dateTimeText(report.time), user.isNull() ? QStringLiteral("") : user, report.object,
             report.procedure, report.number, report.description});
    } catch (const std::exception &error) {
        printLine(QStringLiteral("The error could not be written to SYS_ERR: ") + QString::fromUtf8(error.what()));
    } catch (...) {
        printLine(QStringLiteral("The error could not be written to SYS_ERR"));
    }
}

qint32 SuiteErrors::answer(const ErrorReport &report) const
{
    if (!m_policy)
        return host::eaAbandon;
    try {
        return m_policy(report);
    } catch (...) {
        return host::eaAbandon;
    }
}

void SuiteErrors::remember(const ErrorReport &report)
{
    m_recent.append(report);
    if (m_recent.size() > kRecentReports)
        m_recent.removeFirst();
}

void SuiteErrors::setPolicy(Policy policy)
{
    m_policy = std::move(policy);
}

QList<ErrorReport> SuiteErrors::recentReports() const
{
    return m_recent;
}

void SuiteErrors::clearRecentReports()
{
    m_recent.clear();
}

} // namespace mrv::suite
