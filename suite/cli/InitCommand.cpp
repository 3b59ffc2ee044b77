#include "Cli.h"

#include "db/DemoData.h"
#include "db/SchemaCatalog.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "mailclient/MailClient.h"
#include "services/SuitePaths.h"

namespace mrv::cli {

namespace {

int scaleOf(QStringList &args)
{
    const QString text = takeOption(args, QStringLiteral("--scale"));
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int scale = text.toInt(&ok);
    if (!ok || scale < 0)
        throw UsageError{QStringLiteral("--scale needs a number of customers, not \"%1\"").arg(text)};
    return scale;
}

// The program that the "OUTLOOK_EXT" transport starts, under the names it
// starts it by in the product's Bin.NET folder.
void installTheMailClient(QTextStream &out)
{
    const QString program = suite::mailClientProgramBeside();
    if (program.isEmpty()) {
        out << "mail client: not installed (no mrv-mailclient beside mrv)\n";
        return;
    }
    const QString folder = suite::SuitePaths(QString()).productFolder(QStringLiteral("Bin.NET"));
    suite::installMailClient(program, folder);
    out << "mail client: installed in " << folder << '\n';
}

int runInit(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const bool demo = takeFlag(args, QStringLiteral("--demo"));
    const int scale = scaleOf(args);
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    auto connection = suite::db::SuiteConnection::connect(context.options().location());
    const int before = suite::db::SchemaManager::installedVersion(*connection);
    if (before == 0)
        suite::db::SchemaManager::create(*connection, {});
    else
        suite::db::SchemaManager::upgrade(*connection);
    QTextStream &out = context.out();
    out << "database: " << context.options().shownLocation() << '\n';
    out << "schema: version " << suite::db::SchemaCatalog::version()
        << (before == 0                                    ? " (created)"
            : before < suite::db::SchemaCatalog::version() ? " (upgraded)"
                                                           : " (current)")
        << '\n';
    installTheMailClient(out);
    if (demo || scale > 0) {
        const bool seeded = suite::db::DemoData::seed(*connection);
        out << "demo data: " << (seeded ? "loaded" : "already present") << '\n';
    }
    if (scale > 0) {
        const QString company =
            context.options().company.isEmpty() ? suite::db::DemoData::firstCompany() : context.options().company;
        suite::db::DemoData::addCustomers(*connection, company, scale);
        out << "customers added: " << scale << " to company " << company << '\n';
    }
    return exitOk;
}

} // namespace

Command initCommand()
{
    return {QStringLiteral("init"), QStringLiteral("init [--demo] [--scale N]"),
            QStringLiteral("create or upgrade the database, optionally with demo data"),
            QStringLiteral("Creates the database when it is missing and brings an older one to the current\n"
                           "schema version. --demo loads the demo suite (two companies, users, groups,\n"
                           "customers, documents) unless it is already there. --scale N adds N customers\n"
                           "with contacts, branches, addresses and numbers to the company (--company, or the\n"
                           "first one), for benchmarks; it implies --demo."),
            runInit};
}

} // namespace mrv::cli
