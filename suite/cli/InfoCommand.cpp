#include "Cli.h"

#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"

namespace mrv::cli {

namespace {

qint64 countOf(suite::db::SuiteConnection &connection, const QString &sql)
{
    const auto result = connection.query(sql);
    return result.rows.isEmpty() ? 0 : result.rows.first().first().toLongLong();
}

void printCompanies(QTextStream &out, suite::db::SuiteConnection &connection)
{
    const auto companies = connection.query(QStringLiteral("SELECT CDAZI, AZRAS FROM SYS_AZI ORDER BY CDAZI"));
    for (const QVariantList &company : companies.rows) {
        const QString code = company.at(0).toString();
        const QString prefix = code + QLatin1Char('_');
        out << "company " << code << ": " << company.at(1).toString() << '\n';
        const QList<QPair<const char *, QString>> counts = {
            {"customers", QStringLiteral("CON_TRO")},      {"contacts", QStringLiteral("CON_RIF")},
            {"branches", QStringLiteral("CON_SED")},       {"addresses", QStringLiteral("IND_WEB")},
            {"numbers", QStringLiteral("NUM_TEL")},        {"agents", QStringLiteral("AGE_NTI")},
            {"sales documents", QStringLiteral("DOC_VEN")}};
        for (const auto &[label, table] : counts)
            out << "  " << label << ": "
                << countOf(connection, QStringLiteral("SELECT COUNT(*) FROM ") + prefix + table) << '\n';
    }
}

int runInfo(Context &context, const QStringList &args)
{
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    auto connection = context.readOnlyConnection();
    QTextStream &out = context.out();
    out << "database: " << context.options().shownLocation() << " (" << connection->engine() << ")\n";
    out << "schema: version " << suite::db::SchemaManager::installedVersion(*connection) << '\n';
    out << "users: " << countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM SYS_USR")) << '\n';
    out << "groups: " << countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM SYS_GRU")) << '\n';
    printCompanies(out, *connection);
    out << "messages: " << countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM SYS_MSG")) << '\n';
    out << "faxes: " << countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM SYS_FAX")) << '\n';
    return exitOk;
}

} // namespace

Command infoCommand()
{
    return {QStringLiteral("info"), QStringLiteral("info"), QStringLiteral("give an account of the database"),
            QStringLiteral("Prints the schema version, users, groups, each company's customers, contacts,\n"
                           "branches, addresses, numbers, agents and documents, messages and faxes.\n"
                           "Exits with 1 when the file holds no mrv database. Only reads: the database may\n"
                           "lie in a folder the user cannot write to."),
            runInfo};
}

} // namespace mrv::cli
