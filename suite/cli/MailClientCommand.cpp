#include "Cli.h"

#include "mailclient/MailClient.h"
#include "services/SuiteSession.h"

#include <QThread>

namespace mrv::cli {

namespace {

// Between two looks at the queue when polling.
constexpr unsigned long kPollSeconds = 5;

// The outcomes of one pass, one line each; true when every row taken was sent.
bool runPass(suite::MailClient &client, QTextStream &out)
{
    bool allSent = true;
    for (const suite::MailClientOutcome &outcome : client.runOnce()) {
        out << outcome.line() << Qt::endl;
        allSent = allSent && (outcome.state == suite::mcsSent || outcome.state == suite::mcsUncertain);
    }
    return allSent;
}

int runMailClient(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const bool once = takeFlag(args, QStringLiteral("--once"));
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    suite::MailClient client(context.session());
    if (once)
        return runPass(client, context.out()) ? exitOk : exitFailed;
    for (;;) {
        runPass(client, context.out());
        QThread::sleep(kPollSeconds);
    }
}

} // namespace

Command mailClientCommand()
{
    return {QStringLiteral("mailclient"), QStringLiteral("mailclient [--once]"),
            QStringLiteral("send the e-mails queued for the mail client"),
            QStringLiteral("Sends the e-mails that the \"OUTLOOK_EXT\" transport queued for the user (--user,\n"
                           "or the first one) through the user's account, printing one line per e-mail:\n"
                           "\"sent N\", \"retry N: reason\", \"failed N: reason\", or \"uncertain N: reason\"\n"
                           "for one found interrupted while being sent (never sent again by itself).\n"
                           "--once makes one pass and exits with 1 when an e-mail it took was not sent;\n"
                           "without it the queue is looked at every few seconds until interrupted."),
            runMailClient};
}

} // namespace mrv::cli
