#include "DemoSuite.h"

#include "db/DemoData.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"

namespace mrv::testing {

DemoSuite::DemoSuite(const QString &user, const QString &company)
{
    {
        auto connection = suite::db::SuiteConnection::connect(databasePath());
        suite::db::SchemaManager::create(*connection, {});
        suite::db::DemoData::seed(*connection);
    }
    m_session = openAs(user, company);
}

DemoSuite::~DemoSuite() = default;

std::unique_ptr<suite::SuiteSession> DemoSuite::openAs(const QString &user, const QString &company) const
{
    return suite::SuiteSession::open(databasePath(), user, company, folder() + QStringLiteral("/product"));
}

QVariant DemoSuite::scalar(const QString &sql) const
{
    const auto result = m_session->connection()->query(sql);
    return result.rows.isEmpty() ? QVariant() : result.rows.first().value(0);
}

} // namespace mrv::testing
