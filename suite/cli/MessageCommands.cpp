#include "Cli.h"

#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

namespace mrv::cli {

namespace {

qint32 integerArgument(const QString &text, const QString &what)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 must be a whole number, not \"%2\"").arg(what, text)};
    return value;
}

int runResolve(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const bool suggest = takeFlag(args, QStringLiteral("--suggest"));
    const bool email = !takeFlag(args, QStringLiteral("--no-email"));
    const bool fax = !takeFlag(args, QStringLiteral("--no-fax"));
    const bool server = takeFlag(args, QStringLiteral("--server"));
    const bool useServerConfig = takeFlag(args, QStringLiteral("--use-server-config"));
    QStringList choices;
    for (QString choice = takeOption(args, QStringLiteral("--choose")); !choice.isNull();
         choice = takeOption(args, QStringLiteral("--choose")))
        choices << choice;
    requireNoMoreOptions(args);
    if (args.size() != 1)
        throw UsageError{QStringLiteral("give exactly one recipient LIST")};

    suite::SuiteSession &session = context.session();
    if (auto script = std::dynamic_pointer_cast<suite::ScriptedInteraction>(session.records()->interaction())) {
        for (const QString &choice : choices)
            script->queueChosenRecipients(choice);
    }
    QString resolved;
    QString unknown;
    const bool all = session.message()->ResolveRecipients(nullptr, args.first(), resolved, &unknown, suggest, email,
                                                          fax, server, useServerConfig);
    context.out() << "resolved: " << resolved << '\n' << "unknown: " << unknown << '\n';
    return all ? exitOk : exitFailed;
}

int runStatus(Context &context, const QStringList &args)
{
    requireNoMoreOptions(args);
    if (args.size() != 3)
        throw UsageError{QStringLiteral("say message ID N or fax ID 0|1")};
    const QString kind = args.at(0);
    const qint32 id = integerArgument(args.at(1), QStringLiteral("ID"));
    const qint32 value = integerArgument(args.at(2), QStringLiteral("the status"));
    mrvMessage &message = *context.session().message();
    if (kind == QLatin1String("message")) {
        if (value < mssNotReaded || value > mssReplied)
            throw UsageError{QStringLiteral("a message is not read (0), read (1), forwarded (2) or replied (3)")};
        return reportsNothing(context, [&] { message.ChangeMessageStatus(id, value); }) ? exitOk : exitFailed;
    }
    if (kind == QLatin1String("fax")) {
        if (value != 0 && value != 1)
            throw UsageError{QStringLiteral("a fax is read (1) or not read (0)")};
        return reportsNothing(context, [&] { message.ChangeFaxStatus(id, value == 1); }) ? exitOk : exitFailed;
    }
    throw UsageError{QStringLiteral("unknown kind \"%1\"; say message or fax").arg(kind)};
}

int runLinkEmail(Context &context, const QStringList &args)
{
    requireNoMoreOptions(args);
    if (args.size() != 1)
        throw UsageError{QStringLiteral("give exactly one ADDRESS")};
    const QString customer = context.session().message()->mrvLinkEmail(nullptr, args.first());
    if (customer.isEmpty())
        return exitFailed;
    context.out() << customer << '\n';
    return exitOk;
}

} // namespace

Command resolveCommand()
{
    return {QStringLiteral("resolve"),
            QStringLiteral("resolve LIST [--suggest] [--no-email] [--no-fax] [--server] [--use-server-config]"),
            QStringLiteral("resolve a typed recipient list against the address book"),
            QStringLiteral("Prints \"resolved: \" and the resolved list, then \"unknown: \" and the items that\n"
                           "stayed unknown; exits with 0 when none did, 1 otherwise. LIST holds items\n"
                           "separated by \";\": user and group codes, e-mail addresses, fax numbers, names.\n"
                           "  --suggest             ask the chooser when an item is ambiguous or unknown\n"
                           "  --choose TEXT         the chooser's answer (repeatable, used in order);\n"
                           "                        without one the chooser chooses nothing\n"
                           "  --no-email, --no-fax  do not accept e-mail addresses / fax numbers\n"
                           "  --server              search as the address-book server (no name matching)\n"
                           "  --use-server-config   e-mail allowed regardless of EXCHANGE_MODE"),
            runResolve};
}

Command statusCommand()
{
    return {QStringLiteral("status"), QStringLiteral("status message ID N | fax ID 0|1"),
            QStringLiteral("set the reading status of a stored message or fax"),
            QStringLiteral("message ID N sets MSSTA of the message to N (0 not read, 1 read, 2 forwarded,\n"
                           "3 replied). fax ID 0|1 marks the fax as not read or read. Exits with 1 when\n"
                           "the record does not exist (the reason is on stderr)."),
            runStatus};
}

Command linkEmailCommand()
{
    return {QStringLiteral("link-email"), QStringLiteral("link-email ADDRESS"),
            QStringLiteral("print the customer code an e-mail address belongs to"),
            QStringLiteral("Looks the address up among the addresses of customers, their contacts and\n"
                           "branches and prints the customer's code. When the address belongs to nobody,\n"
                           "linking it needs a window: nothing is printed and the exit code is 1."),
            runLinkEmail};
}

} // namespace mrv::cli
