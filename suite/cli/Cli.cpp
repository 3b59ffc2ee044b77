#include "Cli.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace mrv::cli {

namespace {

// The prefix of the chosen company, or of the first one; empty when the
// database holds no company (yet).
QString companyPrefixOf(suite::db::SuiteConnection &connection, const QString &company)
{
    if (!company.isEmpty())
        return company + QLatin1Char('_');
    try {
        const auto result = connection.query(QStringLiteral("SELECT TOP 1 CDAZI FROM SYS_AZI ORDER BY CDAZI"));
        return result.rows.isEmpty() ? QString() : result.rows.first().first().toString() + QLatin1Char('_');
    } catch (const Failure &) {
        return {};
    }
}

} // namespace

Context::Context(GlobalOptions options) : m_options(std::move(options)), m_out(stdout), m_err(stderr) {}

Context::~Context() = default;

void Context::requireDatabase() const
{
    if (!m_options.url.isEmpty())
        throw Failure(QStringLiteral("--url: PostgreSQL is not supported yet; use --db FILE"));
    if (!QFileInfo::exists(m_options.databasePath))
        throw Failure(
            QStringLiteral("The database %1 does not exist; create it with \"mrv init\"").arg(m_options.databasePath));
}

suite::SuiteSession &Context::session()
{
    if (!m_session) {
        requireDatabase();
        m_session = suite::SuiteSession::open(m_options.databasePath, m_options.user, m_options.company);
    }
    return *m_session;
}

std::shared_ptr<suite::db::SuiteConnection> Context::connection()
{
    if (m_session)
        return m_session->connection();
    if (!m_connection) {
        requireDatabase();
        m_connection = suite::db::SuiteConnection::openSqlite(m_options.databasePath);
        m_connection->setCompanyPrefix(companyPrefixOf(*m_connection, m_options.company));
    }
    return m_connection;
}

QList<Command> commands()
{
    return {initCommand(),        infoCommand(),     sqlCommand(),       configCommand(),
            resolveCommand(),     statusCommand(),   linkEmailCommand(), sendCommand(),
            emailConfigCommand(), registerCommand(), unregisterCommand(), mailClientCommand()};
}

QString defaultDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Merovan/mrv-demo.db");
}

QString takeOption(QStringList &args, const QString &name)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return {};
    if (at + 1 >= args.size())
        throw UsageError{name + QStringLiteral(" needs a value")};
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

bool takeFlag(QStringList &args, const QString &name)
{
    return args.removeAll(name) > 0;
}

void requireNoMoreOptions(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("unknown option ") + arg};
    }
}

} // namespace mrv::cli
