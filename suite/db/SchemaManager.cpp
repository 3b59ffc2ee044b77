#include "SchemaManager.h"

#include "Dialect.h"
#include "ReferenceData.h"
#include "Routines.h"
#include "SchemaCatalog.h"
#include "ServerRoutines.h"
#include "SuiteConnection.h"
#include "host/Failure.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>

#include <functional>
#include <memory>

namespace mrv::suite::db {

namespace {

QSet<QString> setOf(const QStringList &names)
{
    return QSet<QString>(names.cbegin(), names.cend());
}

QString columnDefinition(const Dialect &dialect, const ColumnDef &column)
{
    QString definition = column.name + u' ' + dialect.columnType(column);
    if (!column.nullable)
        definition += QStringLiteral(" NOT NULL");
    if (!column.defaultValue.isEmpty())
        definition += QStringLiteral(" DEFAULT ") + column.defaultValue;
    return definition;
}

QString indexName(const QString &table, const IndexDef &index)
{
    return (index.unique ? QStringLiteral("UX_") : QStringLiteral("IX_")) + table + u'_' + index.columns.join(u'_');
}

// Creates and completes the catalog's objects under one name prefix: ""
// for the suite-wide ones, "A01_" for those of company A01.
class SchemaBuilder
{
public:
    explicit SchemaBuilder(SuiteConnection &connection)
        : m_connection(connection), m_dialect(connection.dialect()),
          m_tables(setOf(connection.objectNames(QStringLiteral("table")))),
          m_indexes(setOf(connection.objectNames(QStringLiteral("index"))))
    {
        for (const QString &statement : m_dialect.schemaPreamble())
            m_connection.nativeQuery(statement);
    }

    void buildTables(Scope scope, const QString &prefix)
    {
        for (const TableDef &table : SchemaCatalog::tables()) {
            if (table.scope == scope)
                buildTable(table, prefix + table.name);
        }
    }

    void dropViews(Scope scope, const QString &prefix)
    {
        for (const ViewDef &view : SchemaCatalog::views()) {
            if (view.scope == scope)
                m_connection.nativeQuery(QStringLiteral("DROP VIEW IF EXISTS ") + prefix + view.name);
        }
    }

    void createViews(Scope scope, const QString &prefix)
    {
        const TranslationContext context{std::nullopt, nullptr, prefix};
        for (const ViewDef &view : SchemaCatalog::views()) {
            if (view.scope == scope)
                m_connection.nativeQuery(QStringLiteral("CREATE VIEW %1 AS\n%2")
                                             .arg(prefix + view.name, m_dialect.translate(view.query, context)));
        }
    }

    SuiteConnection &connection() const { return m_connection; }

private:
    void buildTable(const TableDef &table, const QString &name)
    {
        if (m_tables.contains(name.toLower()))
            addMissingColumns(table, name);
        else
            createTable(table, name);
        for (const IndexDef &index : table.indexes)
            buildIndex(index, name);
    }

    void createTable(const TableDef &table, const QString &name)
    {
        QStringList definitions{m_dialect.identityColumn(QStringLiteral("RECORD_ID"))};
        for (const ColumnDef &column : table.columns)
            definitions << columnDefinition(m_dialect, column);
        m_connection.nativeQuery(
            QStringLiteral("CREATE TABLE %1 (\n    %2\n)").arg(name, definitions.join(QStringLiteral(",\n    "))));
        m_tables.insert(name.toLower());
    }

    void addMissingColumns(const TableDef &table, const QString &name)
    {
        const QSet<QString> present = setOf(m_connection.columnNames(name));
        for (const ColumnDef &column : table.columns) {
            if (!present.contains(column.name.toLower()))
                m_connection.nativeQuery(
                    QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(name, columnDefinition(m_dialect, column)));
        }
    }

    void buildIndex(const IndexDef &index, const QString &table)
    {
        const QString name = indexName(table, index);
        if (m_indexes.contains(name.toLower()))
            return;
        m_connection.nativeQuery(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                                     .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), name, table,
                                          index.columns.join(QStringLiteral(", "))));
        m_indexes.insert(name.toLower());
    }

    SuiteConnection &m_connection;
    const Dialect &m_dialect;
    QSet<QString> m_tables;
    QSet<QString> m_indexes;
};

// Runs code with the connection working for one company, as the
// per-company routines expect.
class CompanyScope
{
public:
    CompanyScope(SuiteConnection &connection, const QString &code)
        : m_connection(connection), m_previous(connection.companyPrefix())
    {
        m_connection.setCompanyPrefix(SchemaManager::companyPrefix(code));
    }
    ~CompanyScope() { m_connection.setCompanyPrefix(m_previous); }

    CompanyScope(const CompanyScope &) = delete;
    CompanyScope &operator=(const CompanyScope &) = delete;

private:
    SuiteConnection &m_connection;
    QString m_previous;
};

void refreshAddressBook(SuiteConnection &connection, const QString &companyCode)
{
    const CompanyScope scope(connection, companyCode);
    const ProcedureBody *refresh = RoutineCatalog::standard().procedure(QStringLiteral("XSC_IND_ALL_LST"));
    (*refresh)(connection, {});
}

// Data changes that creating the missing objects cannot make by itself, in
// version order. Each runs once, when a database moves past its version.
struct UpgradeStep
{
    int version;
    std::function<void(SuiteConnection &, const QStringList &companies)> apply;
};

const QList<UpgradeStep> &upgradeSteps()
{
    static const QList<UpgradeStep> steps = {
        // The address book is searched through its key table since version 2:
        // fill it for the companies that already have an address book.
        {2,
         [](SuiteConnection &connection, const QStringList &companies) {
             for (const QString &company : companies)
                 refreshAddressBook(connection, company);
         }},
        // The mail client counts attempts since version 3. Engines that add a
        // column with a default leave older rows Null: those rows start with
        // none made.
        {3,
         [](SuiteConnection &connection, const QStringList &) {
             connection.nativeQuery(QStringLiteral("UPDATE SYS_MCL SET MCTRY = 0 WHERE MCTRY IS NULL"));
         }},
        // Notification parameters are read per company since version 7: a
        // server keeps only the companies' functions, not the one for all.
        {7,
         [](SuiteConnection &connection, const QStringList &) {
             if (connection.dialect().storesRoutines())
                 connection.nativeQuery(QStringLiteral("DROP FUNCTION IF EXISTS dbo.xfn_sys_ntg_get"));
         }},
    };
    return steps;
}

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void recordVersion(SuiteConnection &connection)
{
    connection.nativeQuery(QStringLiteral("INSERT INTO SYS_VER (VRNUM, VRDAT) VALUES (?, ?)"),
                           {SchemaCatalog::version(), now()});
}

void registerCompany(SuiteConnection &connection, const Company &company)
{
    const QString name = company.name.isEmpty() ? company.code : company.name;
    const QueryResult existing =
        connection.nativeQuery(QStringLiteral("SELECT RECORD_ID FROM SYS_AZI WHERE CDAZI = ?"), {company.code});
    if (existing.rows.isEmpty())
        connection.nativeQuery(QStringLiteral("INSERT INTO SYS_AZI (CDAZI, AZRAS) VALUES (?, ?)"),
                               {company.code, name});
    else if (!company.name.isEmpty())
        connection.nativeQuery(QStringLiteral("UPDATE SYS_AZI SET AZRAS = ? WHERE CDAZI = ?"),
                               {company.name, company.code});
}

// The tables a notification may watch are those offered to users; the
// suite's own (messages among them) are left out, or a notification's
// message could set off another.
void installChangeCapture(SuiteConnection &connection, const QString &code)
{
    const QString prefix = SchemaManager::companyPrefix(code);
    for (const TableDef &table : SchemaCatalog::tables()) {
        if (table.scope != Scope::Company || !table.userVisible)
            continue;
        QStringList columns{QStringLiteral("RECORD_ID")};
        for (const ColumnDef &column : table.columns) {
            if (column.type != ColumnType::Blob)
                columns << column.name;
        }
        for (const QString &statement :
             connection.dialect().changeCapture(code, table.name, prefix + table.name, columns))
            connection.nativeQuery(statement);
    }
}

void buildCompany(SchemaBuilder &builder, const QString &code)
{
    const QString prefix = SchemaManager::companyPrefix(code);
    builder.dropViews(Scope::Company, prefix);
    builder.buildTables(Scope::Company, prefix);
    builder.createViews(Scope::Company, prefix);
    installServerRoutines(builder.connection(), prefix);
    installChangeCapture(builder.connection(), code);
}

void requireSchema(SuiteConnection &connection)
{
    if (SchemaManager::installedVersion(connection) == 0)
        throw Failure(QStringLiteral("The database has no schema yet: create it first"));
}

} // namespace

void SchemaManager::create(SuiteConnection &connection, const QList<Company> &companies)
{
    if (installedVersion(connection) > 0)
        throw Failure(QStringLiteral("The database already holds a schema (version %1): upgrade it instead")
                          .arg(installedVersion(connection)));
    for (const Company &company : companies)
        companyPrefix(company.code);
    SuiteConnection::Transaction transaction(connection);
    SchemaBuilder builder(connection);
    builder.buildTables(Scope::Suite, {});
    builder.createViews(Scope::Suite, {});
    installServerRoutines(connection, {});
    for (const Company &company : companies) {
        registerCompany(connection, company);
        buildCompany(builder, company.code);
    }
    ReferenceData::install(connection);
    recordVersion(connection);
    transaction.commit();
}

void SchemaManager::upgrade(SuiteConnection &connection)
{
    const int installed = installedVersion(connection);
    if (installed > SchemaCatalog::version())
        throw Failure(QStringLiteral("The database has schema version %1, newer than this program's %2")
                          .arg(installed)
                          .arg(SchemaCatalog::version()));
    SuiteConnection::Transaction transaction(connection);
    SchemaBuilder builder(connection);
    // Views go first: some engines refuse to alter a table a view reads.
    builder.dropViews(Scope::Suite, {});
    builder.buildTables(Scope::Suite, {});
    builder.createViews(Scope::Suite, {});
    installServerRoutines(connection, {});
    const QStringList companies = companyCodes(connection);
    for (const QString &company : companies)
        buildCompany(builder, company);
    for (const UpgradeStep &step : upgradeSteps()) {
        if (step.version > installed && step.version <= SchemaCatalog::version())
            step.apply(connection, companies);
    }
    ReferenceData::install(connection);
    if (installed < SchemaCatalog::version())
        recordVersion(connection);
    transaction.commit();
}

void SchemaManager::addCompany(SuiteConnection &connection, const QString &code, const QString &name)
{
    companyPrefix(code);
    requireSchema(connection);
    SuiteConnection::Transaction transaction(connection);
    registerCompany(connection, {code, name});
    SchemaBuilder builder(connection);
    buildCompany(builder, code);
    transaction.commit();
}

int SchemaManager::installedVersion(SuiteConnection &connection)
{
    if (!connection.objectNames(QStringLiteral("table")).contains(QStringLiteral("sys_ver")))
        return 0;
    const QueryResult result = connection.nativeQuery(QStringLiteral("SELECT MAX(VRNUM) FROM SYS_VER"));
    return result.rows.isEmpty() ? 0 : result.rows.first().first().toInt();
}

QStringList SchemaManager::companyCodes(SuiteConnection &connection)
{
    QStringList codes;
    for (const QVariantList &row :
         connection.nativeQuery(QStringLiteral("SELECT CDAZI FROM SYS_AZI ORDER BY CDAZI")).rows)
        codes << row.first().toString();
    return codes;
}

QString SchemaManager::companyPrefix(const QString &code)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z][A-Za-z0-9]{0,9}$"));
    if (!valid.match(code).hasMatch())
        throw Failure(QStringLiteral("\"%1\" is not a valid company code: use up to ten letters and digits, "
                                     "beginning with a letter")
                          .arg(code));
    return code + u'_';
}

} // namespace mrv::suite::db
