// Opens the main window of the desktop shell on the inbox of a user who has
// N messages (default 100,000) and prints the time to its first screen (the
// window built, the inbox's first page read and painted offscreen) beside
// the time of reading that page alone, and the half-second target.
// Usage: bench_inbox [N]
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "app/DesktopInteraction.h"
#include "app/MainWindow.h"
#include "app/PagedViewModel.h"
#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"

#include <QApplication>
#include <QTextStream>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kRuns = 3;
const double kTargetSeconds = 0.5;

void addInboxMessages(db::SuiteConnection &connection, int count)
{
    db::SuiteConnection::Transaction work(connection);
    auto insert = connection.prepare(
        QStringLiteral("INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSMIT, MSOBJ, MSPRY, MSATT, MSDTS) "
                       "VALUES (?, 1, ?, 'ROSSI', 'Laura Bianchi (BIANCHI)', ?, ?, ?, CURRENT_TIMESTAMP)"));
    for (int i = 0; i < count; ++i)
        insert.run({i % 7 == 0 ? 1 : 0, i % 3 == 0 ? 0 : 1, QStringLiteral("Messaggio generato %1").arg(i), i % 3,
                    i % 5 == 0 ? 1 : 0});
    work.commit();
}

Timing firstScreen(SuiteSession &session, app::DesktopInteraction &interaction)
{
    return bestOf(kRuns, [&] {
        app::MainWindow window(session, interaction);
        window.resize(1100, 700);
        window.show();
        QApplication::processEvents();
        if (window.model(0)->rowCount() == 0)
            qFatal("The inbox showed nothing");
    });
}

// The floor: the first page of the inbox read straight from the connection.
Timing firstPage(db::SuiteConnection &connection)
{
    const QString sql = QStringLiteral("SELECT TOP %1 * FROM SYS_MSG WHERE MSUSR = 'ROSSI' AND MSFLD = 1 "
                                       "ORDER BY RECORD_ID DESC")
                            .arg(app::PagedViewModel::kPageSize);
    return bestOf(kRuns, [&] { connection.query(sql); });
}

QString milliseconds(const Timing &timing)
{
    return QStringLiteral("%1 ms (processor %2 ms)")
        .arg(timing.wall * 1000, 0, 'f', 1)
        .arg(timing.processor * 1000, 0, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    const auto interaction = app::DesktopInteraction::install(session, app::DesktopInteraction::Mode::Unattended);
    addInboxMessages(*session.connection(), count);

    const Timing screen = firstScreen(session, *interaction);
    const Timing page = firstPage(*session.connection());
    const QString inbox = QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSUSR = 'ROSSI' AND MSFLD = 1");
    out << "inbox of " << session.connection()->query(inbox).rows.first().first().toInt() << " messages, best of "
        << kRuns << " runs\n";
    out << "main window, first screen of the inbox: " << milliseconds(screen) << '\n';
    out << "reference, the first page read alone: " << milliseconds(page) << '\n';
    out << "target under " << kTargetSeconds << " s -> " << (screen.wall < kTargetSeconds ? "met" : "missed") << '\n';
    return 0;
}
