#include "Cli.h"

#include "host/Failure.h"
#include "services/NotificationServer.h"
#include "services/SuiteSession.h"

#include <QThread>

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

int runNotifyServer(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const bool once = takeFlag(args, QStringLiteral("--once"));
    const double interval = intervalOption(args);
    exactArguments(args, 0, QString());
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
                           "point: a change is consumed with the messages it gives, in one transaction."),
            runNotifyServer};
}

} // namespace mrv::cli
