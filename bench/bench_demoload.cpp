// Loads N generated customers (default 100,000) into a fresh demo database,
// the way "mrv init --demo --scale N" does, and prints the time beside the
// time of plain prepared inserts of the same number of customer rows on the
// same engine (the floor no loader can beat) and the one-minute budget.
#include "db/DemoData.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace mrv::suite::db;

namespace {

double rawInsertSeconds(int count, const QString &path)
{
    auto connection = SuiteConnection::openSqlite(path);
    connection->nativeQuery(QStringLiteral("CREATE TABLE RAW (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, CDCON TEXT, "
                                           "CORAS TEXT, COLOC TEXT)"));
    QElapsedTimer timer;
    timer.start();
    SuiteConnection::Transaction transaction(*connection);
    auto insert = connection->prepare(QStringLiteral("INSERT INTO RAW (CDCON, CORAS, COLOC) VALUES (?, ?, ?)"));
    for (int i = 0; i < count; ++i)
        insert.run(
            {QStringLiteral("C%1").arg(i), QStringLiteral("Cliente %1 S.r.l.").arg(i), QStringLiteral("Milano")});
    transaction.commit();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    QTextStream out(stdout);

    auto connection = SuiteConnection::openSqlite(dir.filePath(QStringLiteral("demo.db")));
    SchemaManager::create(*connection, {});
    DemoData::seed(*connection);
    QElapsedTimer timer;
    timer.start();
    DemoData::addCustomers(*connection, DemoData::firstCompany(), count);
    const double load = timer.nsecsElapsed() / 1e9;

    const double raw = rawInsertSeconds(count, dir.filePath(QStringLiteral("raw.db")));
    out << "customers: " << count << '\n'
        << "demo load (customers, contacts, branches, addresses, numbers, address book): " << load << " s\n"
        << "reference, plain inserts of " << count << " customer rows: " << raw << " s\n"
        << "budget: 60 s for 100000 customers -> " << (count == 100000 ? (load < 60 ? "met" : "MISSED") : "n/a")
        << '\n';
    return 0;
}
