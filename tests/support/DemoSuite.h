#pragma once

#include "TestDatabase.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace mrv::suite {
class SuiteSession;
}

namespace mrv::testing {

// The demo suite ("mrv init --demo") in a database of its own, opened as a
// session of one user in one company, with the product folders inside the
// temporary folder. Throws Failure when it cannot be made.
class DemoSuite
{
public:
    explicit DemoSuite(const QString &user = QStringLiteral("ROSSI"), const QString &company = QStringLiteral("A01"));
    ~DemoSuite();

    QString folder() const { return m_database.folder(); }
    // The database's location (a file, or a server's URL).
    QString databasePath() const { return m_database.location(); }
    suite::SuiteSession &session() const { return *m_session; }

    // A second session on the same database, as another user.
    std::unique_ptr<suite::SuiteSession> openAs(const QString &user,
                                                const QString &company = QStringLiteral("A01")) const;

    // The first column of the first row of a query in the suite's dialect;
    // invalid when no row.
    QVariant scalar(const QString &sql) const;

private:
    TestDatabase m_database{QStringLiteral("demo")};
    std::unique_ptr<suite::SuiteSession> m_session;
};

} // namespace mrv::testing
