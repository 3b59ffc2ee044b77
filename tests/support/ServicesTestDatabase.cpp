#include "ServicesTestDatabase.h"

#include "db/SchemaManager.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/HostServices.h"
#include "services/SuitePaths.h"
#include "services/SuiteResources.h"
#include "services/SuiteTextService.h"
#include "services/SuiteUserManager.h"

namespace mrv::testing {

ServicesTestDatabase::ServicesTestDatabase()
{
    host::HostServices services;
    services.valueTools = std::make_shared<suite::db::SqlValueTools>();
    services.textService = std::make_shared<suite::SuiteTextService>();
    services.pathServices = std::make_shared<suite::SuitePaths>(folder() + QStringLiteral("/paths"));
    services.resources = std::make_shared<suite::SuiteResources>();
    host::installHostServices(services);
    m_connection = suite::db::SuiteConnection::connect(databasePath());
    suite::db::SchemaManager::create(*m_connection, {{QStringLiteral("A01"), QStringLiteral("Azienda uno")},
                                                     {QStringLiteral("B02"), QStringLiteral("Azienda due")}});
    for (const char *statement : {"INSERT INTO SYS_USR (CDUSR, USNAM) VALUES ('BIANCHI', 'Luca Bianchi'), "
                                  "('ROSSI', 'Mario Rossi'), ('VERDI', 'Anna Verdi')",
                                  "INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('VEN', 'Vendite')",
                                  "INSERT INTO SYS_USG (CDGRU, CDUSR) VALUES ('VEN', 'VERDI'), ('VEN', 'ROSSI')"})
        m_connection->nativeQuery(QString::fromLatin1(statement));
}

ServicesTestDatabase::~ServicesTestDatabase()
{
    m_connection.reset();
    host::installHostServices({});
}

std::shared_ptr<suite::SuiteUserManager> ServicesTestDatabase::users(const QString &user, const QString &company) const
{
    return std::make_shared<suite::SuiteUserManager>(m_connection, user, company);
}

QVariant ServicesTestDatabase::scalar(const QString &sql, const QVariantList &values) const
{
    return m_connection->nativeQuery(sql, values).rows.value(0).value(0);
}

} // namespace mrv::testing
