#pragma once

#include "host/Errors.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace mrv::host {
class UserManager;
}

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

struct ErrorReport
{
    QDateTime time;
    QString description;
    qint32 number = 0;
    QString object;
    QString procedure;
    qint32 flag = 0;
};

// The suite's error log: every report goes to stderr and to table SYS_ERR.
// Reporting never throws, since it runs inside the callers' error traps.
class SuiteErrors : public host::Errors
{
public:
    // Decides what the failing operation does next (an ErrorAction code).
    using Policy = std::function<qint32(const ErrorReport &)>;

    // How many reports recentReports() keeps.
    static constexpr qsizetype kRecentReports = 50;

    SuiteErrors(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users);

    qint32 report(const QString &description, qint32 number, const QString &object, const QString &procedure,
                  qint32 flag = 0) override;

    // Without a policy every failure abandons its operation (eaAbandon).
    void setPolicy(Policy policy);

    // The latest reports, oldest first.
    QList<ErrorReport> recentReports() const;
    void clearRecentReports();

private:
    void print(const ErrorReport &report) const;
    void writeLog(const ErrorReport &report) const;
    qint32 answer(const ErrorReport &report) const;
    void remember(const ErrorReport &report);

    std::shared_ptr<db::SuiteConnection> m_connection;
    std::shared_ptr<host::UserManager> m_users;
    Policy m_policy;
    QList<ErrorReport> m_recent;
};

} // namespace mrv::suite
