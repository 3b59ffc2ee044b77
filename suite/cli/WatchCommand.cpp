#include "Cli.h"

#include "db/SuiteConnection.h"
#include "services/SuiteRecords.h"

#include <QDeadlineTimer>

namespace mrv::cli {

namespace {

// The longest a single wait lasts, so that a deadline is kept to the second.
constexpr int kWaitSliceMs = 1000;

int positiveOption(QStringList &args, const QString &name)
{
    const QString text = takeOption(args, name);
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value <= 0)
        throw UsageError{QStringLiteral("%1 needs a whole number above 0, not \"%2\"").arg(name, text)};
    return value;
}

int runWatch(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const int count = positiveOption(args, QStringLiteral("--count"));
    const int timeout = positiveOption(args, QStringLiteral("--timeout"));
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};

    const auto connection = context.connection();
    connection->listen();
    const QDeadlineTimer deadline(timeout > 0 ? qint64(timeout) * 1000 : -1);
    int seen = 0;
    while ((count == 0 || seen < count) && !deadline.hasExpired()) {
        const int slice =
            int(qMin<qint64>(kWaitSliceMs, deadline.isForever() ? kWaitSliceMs : deadline.remainingTime()));
        for (const QString &payload : connection->waitForNotifications(slice)) {
            const suite::RaisedSignal raised = suite::RaisedSignal::fromPayload(payload);
            context.out() << raised.name << '\t' << raised.user << '\t'
                          << (raised.messageKey.isEmpty() ? QStringLiteral("-") : raised.messageKey) << Qt::endl;
            if (++seen == count)
                break;
        }
    }
    if (count > 0 && seen < count) {
        context.err() << "mrv watch: " << seen << " of " << count << " signals arrived in " << timeout << " s\n";
        return exitFailed;
    }
    return exitOk;
}

} // namespace

Command watchCommand()
{
    return {QStringLiteral("watch"), QStringLiteral("watch [--count N] [--timeout SECONDS]"),
            QStringLiteral("print the signals other clients raise, as they arrive"),
            QStringLiteral("Prints one line per signal raised by any client of the database, from now on:\n"
                           "the signal, the user and the message key (\"-\" when the signal has none),\n"
                           "separated by tabs: \"#NewMessage#\" when a user sends a message (the sender),\n"
                           "\"#TaskNotification#\" when a task's progress goes to its assigner (that user\n"
                           "and the task). Stops after --count signals or --timeout seconds, else runs\n"
                           "until interrupted. Exits with 1 when the time ran out before --count signals.\n"
                           "On PostgreSQL signals travel by LISTEN/NOTIFY; on SQLite the database is read\n"
                           "again every 100 ms."),
            runWatch};
}

} // namespace mrv::cli
