#include "SuiteSession.h"

#include "SuiteResources.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/HostServices.h"

namespace mrv::suite {

std::unique_ptr<SuiteSession> SuiteSession::open(const QString &sqlitePath, const QString &user, const QString &company)
{
    return std::unique_ptr<SuiteSession>(new SuiteSession(db::SuiteConnection::openSqlite(sqlitePath), user, company));
}

SuiteSession::SuiteSession(std::shared_ptr<db::SuiteConnection> connection, const QString &user, const QString &company)
    : m_connection(std::move(connection)), m_users(std::make_shared<SuiteUserManager>(m_connection, user, company)),
      m_config(std::make_shared<SuiteConfig>(m_connection, m_users, QLatin1String(kApplicationName))),
      m_errors(std::make_shared<SuiteErrors>(m_connection, m_users)),
      m_records(std::make_shared<SuiteRecords>(m_connection, m_users, m_config)),
      m_textService(std::make_shared<SuiteTextService>()), m_paths(std::make_shared<SuitePaths>())
{
    m_connection->setCompanyPrefix(m_users->companyCode() + QLatin1Char('_'));
    installGlobalServices();
}

SuiteSession::~SuiteSession() = default;

void SuiteSession::installGlobalServices()
{
    // No screen pointer: a session has no windows of its own.
    host::HostServices services;
    services.valueTools = std::make_shared<db::SqlValueTools>();
    services.textService = m_textService;
    services.pathServices = m_paths;
    services.resources = std::make_shared<SuiteResources>();
    host::installHostServices(services);
}

std::shared_ptr<db::SuiteConnection> SuiteSession::connection() const
{
    return m_connection;
}

std::shared_ptr<SuiteUserManager> SuiteSession::users() const
{
    return m_users;
}

std::shared_ptr<SuiteConfig> SuiteSession::config() const
{
    return m_config;
}

std::shared_ptr<SuiteErrors> SuiteSession::errors() const
{
    return m_errors;
}

std::shared_ptr<SuiteRecords> SuiteSession::records() const
{
    return m_records;
}

std::shared_ptr<SuiteTextService> SuiteSession::textService() const
{
    return m_textService;
}

std::shared_ptr<SuitePaths> SuiteSession::paths() const
{
    return m_paths;
}

} // namespace mrv::suite
