#include "Cli.h"

#include "host/Failure.h"

#include <QCoreApplication>

using namespace mrv::cli;

namespace {

void printOverview(QTextStream &out)
{
    out << "Usage: mrv [--db FILE | --url URL] [--user CODE] [--company CODE] COMMAND [ARGS]\n\n"
           "The reference suite's command line for the mrv messaging component.\n\n"
           "Global options:\n"
           "  --db FILE        SQLite database (default: "
        << defaultDatabasePath()
        << ")\n"
           "  --url URL        PostgreSQL database (postgres://...)\n"
           "  --user CODE      the user to act as (default: the first user)\n"
           "  --company CODE   the company to work in (default: the first company)\n\n"
           "Commands:\n";
    for (const Command &command : commands())
        out << "  " << command.usage.leftJustified(38) << command.summary << '\n';
    out << "\nRun \"mrv COMMAND --help\" for the details of a command.\n";
}

void printCommandHelp(QTextStream &out, const Command &command)
{
    out << "Usage: mrv [global options] " << command.usage << "\n\n" << command.summary << "\n";
    if (!command.help.isEmpty())
        out << '\n' << command.help << '\n';
}

GlobalOptions takeGlobalOptions(QStringList &args)
{
    GlobalOptions options;
    options.databasePath = takeOption(args, QStringLiteral("--db"));
    options.url = takeOption(args, QStringLiteral("--url"));
    options.user = takeOption(args, QStringLiteral("--user"));
    options.company = takeOption(args, QStringLiteral("--company"));
    if (!options.databasePath.isEmpty() && !options.url.isEmpty())
        throw UsageError{QStringLiteral("--db and --url exclude each other")};
    if (options.databasePath.isEmpty())
        options.databasePath = defaultDatabasePath();
    return options;
}

// Global options may stand anywhere before the command; everything after the
// command name belongs to the command, except the global options themselves.
int dispatch(QStringList args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto all = commands();
    qsizetype commandAt = -1;
    for (qsizetype i = 0; i < args.size() && commandAt < 0; ++i) {
        if (args.at(i).startsWith(QLatin1String("--")))
            i += (args.at(i) == QLatin1String("--help")) ? 0 : 1;
        else
            commandAt = i;
    }
    if (commandAt < 0) {
        printOverview(args.contains(QLatin1String("--help")) ? out : err);
        return args.contains(QLatin1String("--help")) ? exitOk : exitUsage;
    }
    const QString name = args.takeAt(commandAt);
    const auto command = std::find_if(all.begin(), all.end(), [&](const Command &c) { return c.name == name; });
    if (command == all.end()) {
        err << "mrv: unknown command \"" << name << "\"\n\n";
        printOverview(err);
        return exitUsage;
    }
    try {
        if (takeFlag(args, QStringLiteral("--help"))) {
            printCommandHelp(out, *command);
            return exitOk;
        }
        Context context(takeGlobalOptions(args));
        return command->run(context, args);
    } catch (const UsageError &error) {
        err << "mrv " << name << ": " << error.message << "\n\n";
        printCommandHelp(err, *command);
        return exitUsage;
    } catch (const mrv::Failure &failure) {
        err << "mrv " << name << ": " << failure.message() << '\n';
        return exitFailed;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mrv"));
    QCoreApplication::setOrganizationName(QStringLiteral("Merovan"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return dispatch(args);
}
