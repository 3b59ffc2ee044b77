#include "Cli.h"

#include "db/SchemaCatalog.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

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

// Writing to a database of a newer program could break what it relies on;
// reading one that is no mrv database only gives puzzling errors later.
void requireKnownSchema(suite::db::SuiteConnection &connection, const QString &path)
{
    const int version = suite::db::SchemaManager::installedVersion(connection);
    if (version == 0)
        throw Failure(QStringLiteral("%1 holds no mrv database; run \"mrv init\"").arg(path));
    if (version > suite::db::SchemaCatalog::version())
        throw Failure(QStringLiteral("%1 has schema version %2, newer than this program's %3; use a newer mrv")
                          .arg(path)
                          .arg(version)
                          .arg(suite::db::SchemaCatalog::version()));
}

} // namespace

Context::Context(GlobalOptions options) : m_options(std::move(options)), m_out(stdout), m_err(stderr) {}

Context::~Context() = default;

QString GlobalOptions::shownLocation() const
{
    if (url.isEmpty())
        return databasePath;
    QUrl shown(url);
    shown.setPassword(QString());
    return shown.toString();
}

void Context::requireDatabase() const
{
    if (!m_options.url.isEmpty())
        return; // the server tells when it has no such database
    if (!QFileInfo::exists(m_options.databasePath))
        throw Failure(
            QStringLiteral("The database %1 does not exist; create it with \"mrv init\"").arg(m_options.databasePath));
}

suite::SuiteSession &Context::session()
{
    if (!m_session)
        m_session = suite::SuiteSession::open(connection(), m_options.user, m_options.company);
    return *m_session;
}

std::shared_ptr<suite::db::SuiteConnection> Context::connection()
{
    return m_connection ? m_connection : openConnection(false);
}

std::shared_ptr<suite::db::SuiteConnection> Context::readOnlyConnection()
{
    return m_connection ? m_connection : openConnection(true);
}

std::shared_ptr<suite::db::SuiteConnection> Context::openConnection(bool readOnly)
{
    requireDatabase();
    using Access = suite::db::SuiteConnection::Access;
    auto connection =
        suite::db::SuiteConnection::connect(m_options.location(), readOnly ? Access::ReadOnly : Access::ReadWrite);
    requireKnownSchema(*connection, m_options.shownLocation());
    connection->setCompanyPrefix(companyPrefixOf(*connection, m_options.company));
    m_connection = connection;
    return connection;
}

QList<Command> commands()
{
    return {initCommand(),       infoCommand(),       sqlCommand(),  configCommand(),      resolveCommand(),
            statusCommand(),     linkEmailCommand(),  sendCommand(), emailConfigCommand(), registerCommand(),
            unregisterCommand(), mailClientCommand(), watchCommand()};
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

bool reportsNothing(Context &context, const std::function<void()> &operation)
{
    suite::SuiteErrors &errors = *context.session().errors();
    errors.clearRecentReports();
    operation();
    return errors.recentReports().isEmpty();
}

void requireNoMoreOptions(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("unknown option ") + arg};
    }
}

} // namespace mrv::cli
