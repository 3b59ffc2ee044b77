#include "TestDatabase.h"
#include "db/SchemaCatalog.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <list>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

namespace {

QStringList firstColumn(const QueryResult &result)
{
    QStringList values;
    for (const QVariantList &row : result.rows)
        values << row.first().toString().toLower();
    return values;
}

QString scalar(SuiteConnection &connection, const QString &sql)
{
    return connection.query(sql).rows.value(0).value(0).toString();
}

QSet<QString> columnsOf(SuiteConnection &connection, const QString &table)
{
    const QStringList columns = connection.columnNames(table);
    return QSet<QString>(columns.cbegin(), columns.cend());
}

bool onServer()
{
    return testing::TestDatabase::onServer();
}

// The column lists of every index of a table, whatever the indexes are
// called: "unique a,b". The key (RECORD_ID) shows on PostgreSQL only, where
// it has an index of its own.
QSet<QString> indexedColumnLists(SuiteConnection &connection, const QString &table)
{
    QSet<QString> lists;
    if (onServer()) {
        static const QRegularExpression definition(u"^create (unique )?index .* \\((.*)\\)$"_s); // lower case
        for (const QString &index : firstColumn(connection.nativeQuery(
                 u"SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() AND tablename = LOWER(?)"_s,
                 {table}))) {
            const QRegularExpressionMatch match = definition.match(index);
            lists.insert(match.captured(1).toLower() + match.captured(2).remove(u' '));
        }
        return lists;
    }
    for (const QVariantList &index : connection.nativeQuery(u"PRAGMA index_list(\"%1\")"_s.arg(table)).rows) {
        const QStringList columns = firstColumn(
            connection.nativeQuery(u"SELECT name FROM pragma_index_info(?) ORDER BY seqno"_s, {index.at(1)}));
        lists.insert((index.at(2).toBool() ? u"unique "_s : QString()) + columns.join(u','));
    }
    return lists;
}

bool objectExists(SuiteConnection &connection, const QString &type, const QString &name)
{
    return connection.objectNames(type).contains(name.toLower());
}

// Everything a later run could change: the definitions of all objects and the
// number of rows of every table.
QStringList snapshot(SuiteConnection &connection)
{
    const QString catalog =
        onServer() ? u"SELECT 'table', table_name, string_agg(column_name || ' ' || data_type || ' ' || "
                     u"COALESCE(column_default, ''), ', ' ORDER BY ordinal_position) FROM information_schema.columns "
                     u"WHERE table_schema = current_schema() GROUP BY table_name UNION ALL SELECT 'view', viewname, "
                     u"definition FROM pg_views WHERE schemaname = current_schema() UNION ALL SELECT 'index', "
                     u"indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() ORDER BY 1, 2"_s
                   : u"SELECT type, name, sql FROM sqlite_master ORDER BY type, name"_s;
    QStringList lines;
    for (const QVariantList &object : connection.nativeQuery(catalog).rows) {
        lines << object.at(0).toString() + u' ' + object.at(1).toString() + u' ' + object.at(2).toString();
        if (object.at(0).toString() == "table"_L1 && !connection.objectNames(u"view"_s).contains(object.at(1)))
            lines << scalar(connection, u"SELECT COUNT(*) FROM %1"_s.arg(object.at(1).toString()));
    }
    return lines;
}

// A database as the first version of the schema left it: some tables and
// columns of today are missing, the address book has no key table, views are
// older.
void buildVersionOneDatabase(SuiteConnection &connection)
{
    const QString key = connection.dialect().identityColumn(u"RECORD_ID"_s);
    const QStringList statements = {
        u"CREATE TABLE SYS_VER (%1, VRNUM INTEGER, VRDAT TEXT)"_s,
        u"INSERT INTO SYS_VER (VRNUM, VRDAT) VALUES (1, '2020-01-01 00:00:00')"_s,
        u"CREATE TABLE SYS_AZI (%1, CDAZI TEXT, AZRAS TEXT)"_s,
        u"INSERT INTO SYS_AZI (CDAZI, AZRAS) VALUES ('A01', 'Alfa')"_s,
        u"CREATE TABLE SYS_USR (%1, CDUSR TEXT, USNAM TEXT)"_s,
        u"INSERT INTO SYS_USR (CDUSR, USNAM) VALUES ('ROSSI', 'Mario Rossi')"_s,
        u"CREATE TABLE SYS_MSG (%1, MSTYP INTEGER, MSFLD INTEGER, MSUSR TEXT, MSOBJ TEXT)"_s,
        u"INSERT INTO SYS_MSG (MSTYP, MSFLD, MSUSR, MSOBJ) VALUES (0, 1, 'ROSSI', 'Benvenuto')"_s,
        u"CREATE VIEW SYS_MSG_INB AS SELECT RECORD_ID FROM SYS_MSG"_s,
        u"CREATE TABLE SYS_VAL (%1, VLTAB TEXT, VLFLD TEXT, VLVAL TEXT, VLTXT TEXT)"_s,
        u"INSERT INTO SYS_VAL (VLTAB, VLFLD, VLVAL, VLTXT) VALUES ('SYS_MST', 'MTREC', '1', 'Cliente (principale)')"_s,
        u"CREATE TABLE A01_CON_TRO (%1, CDCON TEXT, CORAS TEXT)"_s,
        u"INSERT INTO A01_CON_TRO (CDCON, CORAS) VALUES ('C001', 'Alfa Srl')"_s,
        u"CREATE TABLE A01_IND_WEB (%1, TBNAM TEXT, TBKEY TEXT, WBTIP TEXT, WBDES TEXT, WBIND TEXT)"_s,
        u"INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) "
        u"VALUES ('CON_TRO', 'C001', 'E', '@ Principale', 'info@alfa.it')"_s,
        u"CREATE TABLE A01_DOC_VEN (%1, DTNUM INTEGER, DTCON TEXT)"_s,
        u"INSERT INTO A01_DOC_VEN (DTNUM, DTCON) VALUES (7, 'C001')"_s,
        u"CREATE TABLE A01_IND_ALL (%1, INCOD TEXT, INNAM TEXT)"_s,
        u"INSERT INTO A01_IND_ALL (INCOD, INNAM) VALUES ('CON_TRO:C000', 'Cliente cancellato')"_s,
    };
    for (const QString &statement : statements)
        connection.nativeQuery(statement.contains("%1"_L1) ? statement.arg(key) : statement);
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private:
    std::list<testing::TestDatabase> m_databases;
    std::shared_ptr<SuiteConnection> m_created;

    std::shared_ptr<SuiteConnection> newDatabase(const QString &name)
    {
        return SuiteConnection::connect(m_databases.emplace_back(name).location());
    }

    std::shared_ptr<SuiteConnection> upgradedFromVersionOne(const QString &name)
    {
        auto connection = newDatabase(name);
        buildVersionOneDatabase(*connection);
        SchemaManager::upgrade(*connection);
        return connection;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_created = newDatabase(u"created"_s);
        QCOMPARE(SchemaManager::installedVersion(*m_created), 0);
        SchemaManager::create(*m_created, {{u"A01"_s, u"Azienda A01"_s}, {u"B02"_s, u"Azienda B02"_s}});
        QCOMPARE(SchemaManager::installedVersion(*m_created), SchemaCatalog::version());
        QCOMPARE(SchemaManager::companyCodes(*m_created), (QStringList{u"A01"_s, u"B02"_s}));
        QCOMPARE(scalar(*m_created, u"SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'B02'"_s), u"Azienda B02"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::create(*m_created, {}));
    }

    void cleanupTestCase() { m_created.reset(); }

    void createdTableHasEveryColumnAndIndex_data()
    {
        QTest::addColumn<QString>("physical");
        QTest::addColumn<QString>("logical");
        for (const TableDef &table : SchemaCatalog::tables()) {
            const QStringList prefixes =
                table.scope == Scope::Suite ? QStringList{QString()} : QStringList{u"A01_"_s, u"B02_"_s};
            for (const QString &prefix : prefixes)
                QTest::newRow(qPrintable(prefix + table.name)) << prefix + table.name << table.name;
        }
    }

    void createdTableHasEveryColumnAndIndex()
    {
        QFETCH(QString, physical);
        QFETCH(QString, logical);
        const TableDef *table = SchemaCatalog::table(logical);
        QSet<QString> expected{u"record_id"_s};
        for (const ColumnDef &column : table->columns)
            expected.insert(column.name.toLower());
        QCOMPARE(columnsOf(*m_created, physical), expected);
        const QSet<QString> indexed = indexedColumnLists(*m_created, physical);
        for (const IndexDef &index : table->indexes) {
            const QString wanted = (index.unique ? u"unique "_s : QString()) + index.columns.join(u',').toLower();
            QVERIFY2(indexed.contains(wanted), qPrintable(wanted));
        }
        // RECORD_ID comes first and is the primary key (SQLite: the sixth field of table_info).
        QCOMPARE(m_created->columnNames(physical).first(), u"record_id"_s);
        if (onServer())
            QVERIFY(indexed.contains(u"unique record_id"_s));
        else
            QCOMPARE(m_created->nativeQuery(u"PRAGMA table_info(\"%1\")"_s.arg(physical)).rows.first().at(5).toInt(),
                     1);
    }

    // Every view of the catalog exists for the suite or for each company, and
    // the engine can run it.
    void everyCatalogViewIsCreatedAndRuns()
    {
        for (const ViewDef &view : SchemaCatalog::views()) {
            const QStringList names = view.scope == Scope::Suite ? QStringList{view.name}
                                                                 : QStringList{"A01_" + view.name, "B02_" + view.name};
            for (const QString &name : names) {
                QVERIFY2(objectExists(*m_created, u"view"_s, name), qPrintable(name));
                m_created->query(u"SELECT TOP 1 * FROM "_s + name);
            }
        }
    }

    void addCompanyCreatesItsObjectsAndRenamesOnRepeat()
    {
        auto connection = newDatabase(u"add-company"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::addCompany(*connection, u"C03"_s, u"Gamma"_s));
        SchemaManager::create(*connection, {{u"ABCDEFGH01"_s, u"Alfa"_s}});
        // The code prefixes names: letters and digits, a letter first, at most ten.
        for (const QString &code : {u""_s, u"1AB"_s, u"A01;DROP"_s, u"ABCDEFGHIJK"_s})
            QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::addCompany(*connection, code, u"Prova"_s));
        SchemaManager::addCompany(*connection, u"C03"_s, u"Gamma"_s);
        connection->nativeQuery(u"INSERT INTO C03_CON_TRO (CDCON, CORAS) VALUES ('X1', 'Cliente')"_s);
        SchemaManager::addCompany(*connection, u"C03"_s, u"Gamma Spa"_s);
        QCOMPARE(SchemaManager::companyCodes(*connection), (QStringList{"ABCDEFGH01", "C03"}));
        QCOMPARE(scalar(*connection, u"SELECT COUNT(*) FROM C03_CON_TRO"_s), u"1"_s);
        QCOMPARE(scalar(*connection, u"SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'C03'"_s), u"Gamma Spa"_s);
        for (const ViewDef &view : SchemaCatalog::views()) {
            if (view.scope == Scope::Company)
                QVERIFY(objectExists(*connection, u"view"_s, "C03_" + view.name));
        }
    }

    void upgradeBringsAnOlderDatabaseUpToDate()
    {
        auto connection = upgradedFromVersionOne(u"upgrade"_s);
        QCOMPARE(SchemaManager::installedVersion(*connection), SchemaCatalog::version());
        QCOMPARE(scalar(*connection, u"SELECT COUNT(*) FROM SYS_VER"_s), u"2"_s);
        // Rows survive, and columns added later read their defaults.
        const QueryResult message = connection->query(u"SELECT MSUSR, MSOBJ, MSATT, MSPRY, MSPUB FROM SYS_MSG"_s);
        QCOMPARE(message.rows.value(0).mid(0, 4), (QVariantList{"ROSSI", "Benvenuto", 0, 1}));
        QVERIFY(message.rows.size() == 1 && message.rows.first().at(4).isNull());
        QCOMPARE(connection->query(u"SELECT CDCON, CORAS, COMID FROM A01_CON_TRO"_s).rows.first(),
                 (QVariantList{"C001", "Alfa Srl", "EM"}));
        QVERIFY(columnsOf(*connection, u"SYS_USR"_s).contains(u"useml"_s));
        QCOMPARE(connection->query(u"SELECT DTNUM, DTCON, DTSND FROM A01_DOC_VEN"_s).rows,
                 (QList<QVariantList>{{7, "C001", 0}}));
        // The reports the suite prints are registered under their tables.
        QCOMPARE(scalar(*connection, u"SELECT TBNAM FROM SYS_TBR WHERE CDREP = 'DOC_VEN_STAMPA'"_s), u"DOC_VEN"_s);
        // Missing tables exist, and the views were rebuilt over today's columns.
        for (const QString &table :
             {u"SYS_FAX"_s, u"SYS_CFG"_s, u"SYS_RPS"_s, u"A01_NUM_TEL"_s, u"A01_IND_KEY"_s, u"A01_DOC_RIG"_s})
            QVERIFY2(objectExists(*connection, u"table"_s, table), qPrintable(table));
        QVERIFY(connection->query(u"SELECT * FROM SYS_MSG_INB"_s).columns.contains(u"MSUSR"_s, Qt::CaseInsensitive));
        QVERIFY(objectExists(*connection, u"view"_s, u"A01_CON_TRO_FAX"_s));
        // The data step of version 2 rebuilt the address book from its sources.
        QCOMPARE(firstColumn(connection->query(u"SELECT INCOD FROM A01_IND_ALL ORDER BY INCOD"_s)),
                 (QStringList{"con_tro:c001", "sys_usr:rossi"}));
        QCOMPARE(
            scalar(*connection, u"SELECT COUNT(*) FROM A01_IND_KEY WHERE IKTIP = 'E' AND IKKEY = 'info@alfa.it'"_s),
            u"1"_s);
        // A caption the users changed stays theirs.
        QCOMPARE(scalar(*connection,
                        u"SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_MST' AND VLFLD = 'MTREC' AND VLVAL = '1'"_s),
                 u"Cliente (principale)"_s);
    }

    // Nothing changes on a database up to date, nor on a newer one, which is
    // refused.
    void upgradeOfAnUpToDateOrNewerDatabaseChangesNothing()
    {
        auto upgraded = upgradedFromVersionOne(u"twice"_s);
        auto newer = newDatabase(u"newer"_s);
        SchemaManager::create(*newer, {});
        newer->nativeQuery(u"INSERT INTO SYS_VER (VRNUM) VALUES (?)"_s, {SchemaCatalog::version() + 1});
        for (SuiteConnection *database : {upgraded.get(), m_created.get(), newer.get()}) {
            const QStringList before = snapshot(*database);
            if (database == newer.get())
                QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::upgrade(*database));
            else
                SchemaManager::upgrade(*database);
            QCOMPARE(snapshot(*database), before);
        }
    }

    // Every column of a table is offered for conditions, once. (Reference
    // data installed twice would show in the snapshot of a second upgrade.)
    void fieldDictionaryFollowsTheCatalog()
    {
        QCOMPARE(scalar(*m_created, u"SELECT COUNT(DISTINCT GRFLD) || '/' || COUNT(*) FROM SYS_GRD_GRD WHERE GRNAM = "
                                    u"'CON_TRO' AND GRTYP IN(0,1,2,3,4,6,7,8,9,10,11,14,15,16,17,18) AND "
                                    u"(GRGRP<>'_ALL' OR GRGRP IS NULL)"_s),
                 u"%1/%1"_s.arg(SchemaCatalog::table(u"CON_TRO"_s)->columns.size()));
    }

    void upgradeRestoresTheExactLists()
    {
        auto connection = newDatabase(u"exact"_s);
        SchemaManager::create(*connection, {});
        const QString linked = u"WHERE VLTAB = 'SYS_DAT' AND VLFLD = 'LINKED_FIELD'"_s;
        const QString list = u"SELECT VLTXT FROM SYS_VAL "_s + linked + u" ORDER BY VLVAL"_s;
        const QStringList before = firstColumn(connection->query(list));
        connection->nativeQuery(u"INSERT INTO SYS_VAL (VLTAB, VLFLD, VLVAL, VLTXT) "
                                u"VALUES ('SYS_DAT', 'LINKED_FIELD', '4', 'DTXXX')"_s);
        connection->query(u"UPDATE SYS_VAL SET VLTXT = 'DTZZZ' "_s + linked + u" AND VLVAL = '0'"_s);
        SchemaManager::upgrade(*connection);
        QCOMPARE(before.size(), 4);
        QCOMPARE(firstColumn(connection->query(list)), before);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
