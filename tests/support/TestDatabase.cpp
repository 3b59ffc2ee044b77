#include "TestDatabase.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QUrl>

namespace mrv::testing {

namespace {

QString serverUrl()
{
    const QString url = qEnvironmentVariable("MRV_TEST_POSTGRES_URL");
    if (url.isEmpty())
        throw Failure(QStringLiteral("MRV_TEST_DATABASE is postgresql but MRV_TEST_POSTGRES_URL is not set: run the "
                                     "tests through scripts/test.sh, which starts a server"));
    return url;
}

QString withDatabase(const QString &url, const QString &database)
{
    QUrl located(url);
    located.setPath(u'/' + database);
    return located.toString();
}

void onServerDo(const QString &sql)
{
    suite::db::SuiteConnection::connect(serverUrl())->nativeQuery(sql);
}

} // namespace

bool TestDatabase::onServer()
{
    return qEnvironmentVariable("MRV_TEST_DATABASE") == QLatin1String("postgresql");
}

QString TestDatabase::engine()
{
    return onServer() ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
}

namespace {

QStringList serverInsertTrigger(const QString &table, const QString &action)
{
    return {QStringLiteral("CREATE FUNCTION FAULT_%1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN %2; END $$")
                .arg(table, action),
            QStringLiteral("CREATE TRIGGER FAULT_%1 BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION FAULT_%1()")
                .arg(table)};
}

} // namespace

QStringList TestDatabase::refusingInserts(const QString &table, const QString &message)
{
    if (!onServer())
        return {QStringLiteral("CREATE TRIGGER REFUSE_%1 BEFORE INSERT ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END")
                    .arg(table, message)};
    return serverInsertTrigger(table, QStringLiteral("RAISE EXCEPTION '%1'").arg(message));
}

QStringList TestDatabase::endingTheSessionOnInsert(const QString &table)
{
    return serverInsertTrigger(table, QStringLiteral("PERFORM pg_terminate_backend(pg_backend_pid())"));
}

TestDatabase::TestDatabase(const QString &name)
{
    if (!m_dir.isValid())
        throw Failure(QStringLiteral("No temporary folder for the test database"));
    if (!onServer()) {
        m_location = m_dir.filePath(name + QStringLiteral(".db"));
        return;
    }
    static QAtomicInteger<int> counter;
    m_serverDatabase = QStringLiteral("mrv_%1_%2_%3")
                           .arg(name.toLower().replace(u'-', u'_'))
                           .arg(QCoreApplication::applicationPid())
                           .arg(counter.fetchAndAddRelaxed(1));
    onServerDo(QStringLiteral("CREATE DATABASE ") + m_serverDatabase);
    m_location = withDatabase(serverUrl(), m_serverDatabase);
}

TestDatabase::~TestDatabase()
{
    if (m_serverDatabase.isEmpty())
        return;
    try {
        onServerDo(QStringLiteral("DROP DATABASE IF EXISTS ") + m_serverDatabase + QStringLiteral(" WITH (FORCE)"));
    } catch (const Failure &failure) {
        qWarning("The test database %s stays: %s", qPrintable(m_serverDatabase), failure.what());
    }
}

} // namespace mrv::testing
