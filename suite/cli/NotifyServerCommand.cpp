#include "Cli.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/NotificationServer.h"
#include "services/SuiteSession.h"

#include <QLockFile>
#include <QThread>

#include <memory>

namespace mrv::cli {

namespace {

constexpr double kDefaultInterval = 1.0;

double intervalOption(QStringList &args)
{
    const QString text = takeOption(args, QStringLiteral("--interval"));
    if (text.isNull())
        return kDefaultInterval;
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || seconds <= 0)
        throw UsageError{QStringLiteral("--interval needs a number of seconds above 0, not \"%1\"").arg(text)};
    return seconds;
}

// Two servers on one database would each send the messages of a change. On
// PostgreSQL the server's session holds an advisory lock; on SQLite a lock
// file beside the database names the server's process. Both go with the
// process however it ends, so a killed server never blocks the next.
class OneServerPerDatabase
{
public:
    explicit OneServerPerDatabase(Context &context)
    {
        suite::db::SuiteConnection &connection = *context.session().connection();
        if (connection.engine() == QLatin1String("postgresql")) {
            const auto locked = connection.nativeQuery(QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(kLockKey));
            if (!locked.rows.value(0).value(0).toBool())
                throw Failure(QStringLiteral("another notification server runs on this database"));
            return;
        }
        const QString database =
            context.options().databasePath.isEmpty() ? suite::defaultDatabasePath() : context.options().databasePath;
        m_file = std::make_unique<QLockFile>(database + QStringLiteral(".notify-server.lock"));
        m_file->setStaleLockTime(0);
        if (m_file->tryLock(0))
            return;
        qint64 process = 0;
        QString host, application;
        m_file->getLockInfo(&process, &host, &application);
        throw Failure(QStringLiteral("another notification server runs on this database (process %1 on %2)")
                          .arg(process)
                          .arg(host));
    }

private:
    // "mrv-ntf" in ASCII: the key other programs of the suite may test too.
    static constexpr qint64 kLockKey = 0x6d72762d6e7466;
    std::unique_ptr<QLockFile> m_file;
};

int runNotifyServer(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const bool once = takeFlag(args, QStringLiteral("--once"));
    const double interval = intervalOption(args);
    exactArguments(args, 0, QString());
    const OneServerPerDatabase alone(context);
    suite::NotificationServer server(context.session());
    for (;;) {
        suite::NotificationServer::Round round;
        // A round that could not finish (the database busy or gone for a
        // while) is taken up again by the next.
        try {
            round = server.runRound();
        } catch (const Failure &failure) {
            if (once)
                throw;
            context.err() << "mrv notify-server: " << failure.message() << Qt::endl;
        }
        if (once || round.sent > 0 || round.failed > 0)
            context.out() << "sent " << round.sent << ", failed " << round.failed << Qt::endl;
        if (once)
            return round.failed > 0 ? exitFailed : exitOk;
        QThread::usleep(quint64(interval * 1e6));
    }
}

} // namespace

Command notifyServerCommand()
{
    return {QStringLiteral("notify-server"), QStringLiteral("notify-server [--once] [--interval SECONDS]"),
            QStringLiteral("run the notifications: answer requests, run queries, watch tables"),
            QStringLiteral("Runs the notifications of every company, in rounds --interval seconds apart\n"
                           "(default 1; fractions allowed), until stopped; --once runs one round and exits.\n"
                           "A round activates the notifications in state 11 and deactivates those in 10,\n"
                           "runs each active generic notification that is due (configuration key\n"
                           "NOTIFY_GENERIC_INTERVAL, in seconds, default 3600; at once when activated) and\n"
                           "takes every change the watched tables recorded, sending the messages as --user.\n"
                           "A notification that cannot run is put in state 3, the reason in the error log.\n"
                           "Prints \"sent N, failed M\" after each round that did either (always with --once);\n"
                           "with --once exits with 1 when a notification failed. It can be stopped at any\n"
                           "point: a change is consumed with the messages it gives, in one transaction.\n"
                           "A second server on the same database is refused (exit 1) while the first runs."),
            runNotifyServer};
}

} // namespace mrv::cli
