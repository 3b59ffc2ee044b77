#include "Cli.h"

#include "facade/ComServer.h"

namespace mrv::cli {

namespace {

int runRegistration(Context &context, const QStringList &args, bool registering)
{
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    const int32_t result = registering ? DllRegisterServer() : DllUnregisterServer();
    if (result != hresult::ok) {
        context.err() << "mrv: the registry file " << registryFilePath() << " could not be written\n";
        return exitFailed;
    }
    context.out() << (registering ? "registered in " : "unregistered from ") << registryFilePath() << '\n';
    return exitOk;
}

} // namespace

Command registerCommand()
{
    return {QStringLiteral("register"), QStringLiteral("register"),
            QStringLiteral("write the component's classes into the suite's registry file"),
            QStringLiteral("Writes every creatable class (\"MerovanComMessage.mrvMessage\", ...) with its\n"
                           "class id and library into the registry file ($MRV_REGISTRY, or registry.ini\n"
                           "in the product's data folder); \"unregister\" removes them again."),
            [](Context &context, const QStringList &args) { return runRegistration(context, args, true); }};
}

Command unregisterCommand()
{
    Command command = registerCommand();
    command.name = QStringLiteral("unregister");
    command.usage = QStringLiteral("unregister");
    command.summary = QStringLiteral("remove the component's classes from the suite's registry file");
    command.run = [](Context &context, const QStringList &args) { return runRegistration(context, args, false); };
    return command;
}

} // namespace mrv::cli
