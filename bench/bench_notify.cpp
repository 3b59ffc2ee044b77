// The notification server on the demo suite, with 20 active notifications on
// new customers (one condition each, on the city):
// - inserting N customers (default 10,000; one in 20 of Milan) in one
//   transaction, best of three, against the same inserts with no
//   notification watching: the change capture may add at most 50%;
// - the server's round consuming the changes of the three watched runs: at
//   least 1,000 messages/s;
// - from an insert's commit to the inbox copy, with a `mrv notify-server
//   --interval 0.2` running beside: median and 99th percentile of 100.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "db/SuiteConnection.h"
#include "services/NotificationServer.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

#include <algorithm>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kDefaultCustomers = 10000;
const int kNotifications = 20;
const int kLatencySamples = 100;
const int kRuns = 3;
const double kMostAdded = 0.5;
const double kLeastRate = 1000;

void insertCustomers(db::SuiteConnection &connection, const QString &prefix, int count)
{
    db::SuiteConnection::Transaction transaction(connection);
    auto insert = connection.prepare(
        QStringLiteral("INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC, CDAGE) VALUES (?, ?, ?, 'AG01')"));
    for (int i = 0; i < count; ++i)
        insert.run({prefix + QString::number(i), QStringLiteral("Cliente %1").arg(i),
                    i % 20 == 0 ? QStringLiteral("Milano") : QStringLiteral("Torino")});
    transaction.commit();
}

void addNotifications(db::SuiteConnection &connection)
{
    connection.nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = 0"));
    for (int i = 0; i < kNotifications; ++i) {
        connection.nativeQuery(
            QStringLiteral("INSERT INTO SYS_NTF (CDAZI, NTDES, NTTIP, NTTBL, NTEXE, NTREC, NTSUB, NTNOT, NTUPD) "
                           "VALUES ('A01', ?, 1, 'CON_TRO', 1, 'Mario Rossi <ROSSI>', ?, 'Un nuovo cliente.', 11)"),
            {QStringLiteral("Cliente %1").arg(i), QStringLiteral("Nuovo cliente %1").arg(i)});
        const qint64 id =
            connection.nativeQuery(QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_NTF")).rows[0][0].toLongLong();
        connection.nativeQuery(QStringLiteral("INSERT INTO SYS_NTC (IDNTF, NCDES, NCSEL, NCIMP, NCNOT, NCV1C, NCV1T, "
                                              "NCOPE, NCV2C, NCV2T, NCVAL, NCLEV) VALUES (?, 'Milano', 1, 1, 0, "
                                              "'COLOC', 1, '=', 'Milano', 0, 0, 1)"),
                               {id});
    }
}

qint64 count(db::SuiteConnection &connection, const QString &sql)
{
    return connection.nativeQuery(sql).rows.value(0).value(0).toLongLong();
}

double percentile(QList<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, qsizetype(share * values.size())));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int customers = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultCustomers;
    QTextStream out(stdout);
    const testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    db::SuiteConnection &connection = *session.connection();

    addNotifications(connection);
    NotificationServer server(session);
    server.runRound(); // the requests: every notification active
    // Watched and unwatched runs alternate, so that the database's growth
    // (and the checkpoints it brings) weighs on both alike.
    const auto watch = [&](bool on) {
        connection.nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = ? WHERE RECORD_ID > 3"), {on ? 1 : 0});
    };
    Timing unwatched;
    Timing watched;
    for (int run = 0; run < kRuns; ++run) {
        for (const bool on : {false, true}) {
            watch(on);
            const Timing timing = bestOf(1, [&] {
                insertCustomers(connection, QStringLiteral("R%1%2_").arg(run).arg(on ? u'W' : u'U'), customers);
            });
            Timing &best = on ? watched : unwatched;
            if (run == 0 || timing.wall < best.wall)
                best = timing;
        }
    }
    const qint64 changes = count(connection, QStringLiteral("SELECT COUNT(*) FROM SYS_NTL"));

    int sent = 0;
    const Timing delivery = bestOf(1, [&] { sent = server.runRound().sent; });
    const int expected = kRuns * kNotifications * ((customers + 19) / 20);

    QProcess process;
    process.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/mrv"),
        {db::SuiteConnection::isServerLocation(suite.databasePath()) ? QStringLiteral("--url") : QStringLiteral("--db"),
         suite.databasePath(), QStringLiteral("notify-server"), QStringLiteral("--interval"), QStringLiteral("0.2")});
    process.waitForStarted();
    QThread::msleep(500);
    connection.nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = 10 WHERE RECORD_ID > 3 AND RECORD_ID <> "
                                          "(SELECT MAX(RECORD_ID) FROM SYS_NTF)"));
    QThread::msleep(500);
    QList<double> latencies;
    for (int i = 0; i < kLatencySamples; ++i) {
        // At any moment of the server's interval, as users commit.
        QThread::msleep(QRandomGenerator::global()->bounded(200));
        const qint64 before = count(connection, QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1"));
        connection.nativeQuery(
            QStringLiteral("INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC) VALUES (?, 'x', 'Milano')"),
            {QStringLiteral("L%1").arg(i)});
        QElapsedTimer timer;
        timer.start();
        while (count(connection, QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1")) == before &&
               timer.elapsed() < 5000)
            QThread::msleep(2);
        latencies << timer.nsecsElapsed() / 1e6;
    }
    process.kill();
    process.waitForFinished();

    const double added = watched.wall / unwatched.wall - 1;
    const double rate = sent / delivery.wall;
    const bool complete = changes == kRuns * customers && sent == expected;
    out << "customers: " << customers << ", notifications: " << kNotifications << ", changes captured: " << changes
        << ", messages sent: " << sent << " of " << expected << '\n'
        << "inserts with no notification watching: " << shown(unwatched) << '\n'
        << "inserts with " << kNotifications << " notifications watching: " << shown(watched) << '\n'
        << "target: the capture adds at most " << kMostAdded * 100 << "% (" << QString::number(added * 100, 'f', 0)
        << "%) -> " << (added <= kMostAdded ? "met" : "MISSED") << '\n'
        << "delivery: " << shown(delivery) << ", " << QString::number(rate, 'f', 0) << " messages/s; target "
        << kLeastRate << " -> " << (rate >= kLeastRate ? "met" : "MISSED") << '\n'
        << "commit to inbox copy with --interval 0.2, " << kLatencySamples << " inserts: median "
        << QString::number(percentile(latencies, 0.5), 'f', 0) << " ms, 99th percentile "
        << QString::number(percentile(latencies, 0.99), 'f', 0) << " ms\n";
    if (!complete)
        out << "INCOMPLETE: not every change was captured or not every message sent\n";
    return complete ? 0 : 1;
}
