#include "DemoSuite.h"

#include "db/DemoData.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

namespace mrv::testing {

DemoSuite::DemoSuite(const QString &user, const QString &company)
{
    if (!m_dir.isValid())
        throw Failure(QStringLiteral("No temporary folder for the demo suite"));
    {
        auto connection = suite::db::SuiteConnection::openSqlite(databasePath());
        suite::db::SchemaManager::create(*connection, {});
        suite::db::DemoData::seed(*connection);
    }
    m_session = openAs(user, company);
}

DemoSuite::~DemoSuite() = default;

std::unique_ptr<suite::SuiteSession> DemoSuite::openAs(const QString &user, const QString &company) const
{
    return suite::SuiteSession::open(databasePath(), user, company, m_dir.filePath(QStringLiteral("product")));
}

QVariant DemoSuite::scalar(const QString &sql) const
{
    const auto result = m_session->connection()->query(sql);
    return result.rows.isEmpty() ? QVariant() : result.rows.first().value(0);
}

} // namespace mrv::testing
