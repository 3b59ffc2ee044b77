#include "Cli.h"

#include "host/ConfigClass.h"
#include "services/SuiteSession.h"

namespace mrv::cli {

namespace {

int runGet(Context &context, const QStringList &args)
{
    if (args.isEmpty() || args.size() > 2)
        throw UsageError{QStringLiteral("config get needs KEY and at most a DEFAULT")};
    context.out() << context.session().config()->value(args.at(0), args.value(1)) << '\n';
    return exitOk;
}

int runSet(Context &context, QStringList args)
{
    const bool perUser = takeFlag(args, QStringLiteral("--per-user"));
    const bool perApplication = takeFlag(args, QStringLiteral("--per-app"));
    requireNoMoreOptions(args);
    if (args.size() != 2)
        throw UsageError{QStringLiteral("config set needs KEY and VALUE")};
    context.session().config()->setValue(args.at(0), args.at(1), perUser, perApplication);
    return exitOk;
}

int runConfig(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    if (args.isEmpty())
        throw UsageError{QStringLiteral("say get or set")};
    const QString action = args.takeFirst();
    if (action == QLatin1String("get"))
        return runGet(context, args);
    if (action == QLatin1String("set"))
        return runSet(context, args);
    throw UsageError{QStringLiteral("unknown action \"%1\"; say get or set").arg(action)};
}

} // namespace

Command configCommand()
{
    return {QStringLiteral("config"), QStringLiteral("config get KEY [DEFAULT] | set KEY VALUE"),
            QStringLiteral("read or write a configuration value"),
            QStringLiteral("get prints the value of KEY for the current user and application, or DEFAULT\n"
                           "(empty when not given) when none is stored.\n"
                           "set stores VALUE under KEY; by default the value is global. Options of set:\n"
                           "  --per-user   the value belongs to the current user (--user) only\n"
                           "  --per-app    the value belongs to this application only\n"
                           "A read takes the most specific value: user and application, user,\n"
                           "application, global."),
            runConfig};
}

} // namespace mrv::cli
