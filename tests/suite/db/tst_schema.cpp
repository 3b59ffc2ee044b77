#include "db/ReferenceData.h"
#include "db/SchemaCatalog.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace mrv;
using namespace mrv::suite::db;

namespace {

const QStringList twoCompanies = {QStringLiteral("A01"), QStringLiteral("B02")};

QList<Company> companiesOf(const QStringList &codes)
{
    QList<Company> companies;
    for (const QString &code : codes)
        companies << Company{code, QStringLiteral("Azienda ") + code};
    return companies;
}

QSet<QString> lowerCase(const QStringList &names)
{
    QSet<QString> set;
    for (const QString &name : names)
        set.insert(name.toLower());
    return set;
}

QStringList firstColumn(const QueryResult &result)
{
    QStringList values;
    for (const QVariantList &row : result.rows)
        values << row.first().toString();
    return values;
}

QSet<QString> columnsOf(SuiteConnection &connection, const QString &table)
{
    QSet<QString> columns;
    for (const QVariantList &row : connection.nativeQuery(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)).rows)
        columns.insert(row.at(1).toString().toLower());
    return columns;
}

// The column lists of every index of a table, whatever the indexes are called.
QSet<QString> indexedColumnLists(SuiteConnection &connection, const QString &table)
{
    QSet<QString> lists;
    const QueryResult indexes = connection.nativeQuery(QStringLiteral("PRAGMA index_list(\"%1\")").arg(table));
    for (const QVariantList &index : indexes.rows) {
        const QString name = index.at(1).toString();
        const QString unique = index.at(2).toBool() ? QStringLiteral("unique ") : QString();
        const QStringList columns =
            QStringList(firstColumn(connection.nativeQuery(QStringLiteral("SELECT name FROM pragma_index_info(?) "
                                                                          "ORDER BY seqno"),
                                                           {name})));
        lists.insert(unique + columns.join(u',').toLower());
    }
    return lists;
}

bool objectExists(SuiteConnection &connection, const QString &type, const QString &name)
{
    return !connection
                .nativeQuery(
                    QStringLiteral("SELECT name FROM sqlite_master WHERE type = ? AND name = ? COLLATE NOCASE"),
                    {type, name})
                .rows.isEmpty();
}

int countOf(SuiteConnection &connection, const QString &sql, const QVariantList &values = {})
{
    return connection.nativeQuery(sql, values).rows.first().first().toInt();
}

// Everything a later run could change: the definitions of all objects and the
// number of rows of every table.
QStringList snapshot(SuiteConnection &connection)
{
    QStringList lines;
    const QueryResult objects =
        connection.nativeQuery(QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY type, name"));
    for (const QVariantList &object : objects.rows) {
        lines << object.at(0).toString() + u' ' + object.at(1).toString() + u' ' + object.at(2).toString();
        if (object.at(0).toString() == QLatin1String("table"))
            lines << QString::number(
                countOf(connection, QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(object.at(1).toString())));
    }
    return lines;
}

// A database as the first version of the schema left it: some tables and
// columns of today are missing, the address book has no key table, views are
// older.
void buildVersionOneDatabase(SuiteConnection &connection)
{
    const QStringList statements = {
        "CREATE TABLE SYS_VER (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, VRNUM INTEGER, VRDAT TEXT)",
        "INSERT INTO SYS_VER (VRNUM, VRDAT) VALUES (1, '2020-01-01 00:00:00')",
        "CREATE TABLE SYS_AZI (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, CDAZI TEXT, AZRAS TEXT)",
        "INSERT INTO SYS_AZI (CDAZI, AZRAS) VALUES ('A01', 'Alfa')",
        "CREATE TABLE SYS_USR (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, CDUSR TEXT, USNAM TEXT)",
        "INSERT INTO SYS_USR (CDUSR, USNAM) VALUES ('ROSSI', 'Mario Rossi')",
        "CREATE TABLE SYS_MSG (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, MSTYP INTEGER, MSFLD INTEGER, "
        "MSUSR TEXT, MSOBJ TEXT)",
        "INSERT INTO SYS_MSG (MSTYP, MSFLD, MSUSR, MSOBJ) VALUES (0, 1, 'ROSSI', 'Benvenuto')",
        "CREATE VIEW SYS_MSG_INB AS SELECT RECORD_ID FROM SYS_MSG",
        "CREATE TABLE SYS_VAL (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, VLTAB TEXT, VLFLD TEXT, VLVAL TEXT, "
        "VLTXT TEXT)",
        "INSERT INTO SYS_VAL (VLTAB, VLFLD, VLVAL, VLTXT) VALUES ('SYS_MST', 'MTREC', '1', 'Cliente (principale)')",
        "CREATE TABLE A01_CON_TRO (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, CDCON TEXT, CORAS TEXT)",
        "INSERT INTO A01_CON_TRO (CDCON, CORAS) VALUES ('C001', 'Alfa Srl')",
        "CREATE TABLE A01_IND_WEB (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, TBNAM TEXT, TBKEY TEXT, "
        "WBTIP TEXT, WBDES TEXT, WBIND TEXT)",
        "INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) "
        "VALUES ('CON_TRO', 'C001', 'E', '@ Principale', 'info@alfa.it')",
        "CREATE TABLE A01_IND_ALL (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, INCOD TEXT, INNAM TEXT)",
        "INSERT INTO A01_IND_ALL (INCOD, INNAM) VALUES ('CON_TRO:C000', 'Cliente cancellato')",
    };
    for (const QString &statement : statements)
        connection.nativeQuery(statement);
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private:
    std::shared_ptr<SuiteConnection> newDatabase(const QString &name)
    {
        return SuiteConnection::openSqlite(m_folder.filePath(name + QStringLiteral(".db")));
    }

    QTemporaryDir m_folder;
    std::shared_ptr<SuiteConnection> m_created;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        m_created = newDatabase(QStringLiteral("created"));
        QCOMPARE(SchemaManager::installedVersion(*m_created), 0);
        SchemaManager::create(*m_created, companiesOf(twoCompanies));
    }

    void cleanupTestCase() { m_created.reset(); }

    void createdTableHasEveryColumnAndIndex_data()
    {
        QTest::addColumn<QString>("physical");
        QTest::addColumn<QString>("logical");
        for (const TableDef &table : SchemaCatalog::tables()) {
            const QStringList prefixes = table.scope == Scope::Suite
                                             ? QStringList{QString()}
                                             : QStringList{QStringLiteral("A01_"), QStringLiteral("B02_")};
            for (const QString &prefix : prefixes)
                QTest::newRow(qPrintable(prefix + table.name)) << prefix + table.name << table.name;
        }
    }

    void createdTableHasEveryColumnAndIndex()
    {
        QFETCH(QString, physical);
        QFETCH(QString, logical);
        const TableDef *table = SchemaCatalog::table(logical);
        QVERIFY(table);
        QSet<QString> expected{QStringLiteral("record_id")};
        for (const ColumnDef &column : table->columns)
            expected.insert(column.name.toLower());
        QCOMPARE(columnsOf(*m_created, physical), expected);

        const QSet<QString> indexed = indexedColumnLists(*m_created, physical);
        for (const IndexDef &index : table->indexes) {
            const QString wanted =
                (index.unique ? QStringLiteral("unique ") : QString()) + index.columns.join(u',').toLower();
            QVERIFY2(indexed.contains(wanted), qPrintable(wanted));
        }
        // RECORD_ID comes first and is the primary key (the sixth field of table_info).
        const QVariantList key =
            m_created->nativeQuery(QStringLiteral("PRAGMA table_info(\"%1\")").arg(physical)).rows.first();
        QCOMPARE(key.at(1).toString(), QStringLiteral("RECORD_ID"));
        QCOMPARE(key.at(5).toInt(), 1);
    }

    void viewRunsWithTheColumnsItsReadersUse_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QStringList>("columns");
        const QStringList addressBook = {"INNAM", "INTBC", "ININD", "ININT", "INEML", "INFAX",
                                         "INEEE", "INFFF", "INEPR", "INEUF", "INEPV", "INEAM",
                                         "INEUT", "INEMA", "INFUF", "INFAB", "INFAL", "INCDS"};
        for (const QString &prefix : {QStringLiteral("A01_"), QStringLiteral("B02_")}) {
            QTest::newRow(qPrintable(prefix + "IND_ALL_LST")) << prefix + "IND_ALL_LST" << addressBook;
            QTest::newRow(qPrintable(prefix + "IND_ALL_VER")) << prefix + "IND_ALL_VER" << addressBook;
            QTest::newRow(qPrintable(prefix + "CON_TRO_FAX"))
                << prefix + "CON_TRO_FAX" << QStringList{"CDCON", "CORAS", "NRTEL", "NRDES"};
            QTest::newRow(qPrintable(prefix + "CON_RIF_FAX"))
                << prefix + "CON_RIF_FAX" << QStringList{"RECORD_ID", "CDCON", "RFNOM", "NRTEL", "NRDES"};
            QTest::newRow(qPrintable(prefix + "CON_SED_FAX"))
                << prefix + "CON_SED_FAX" << QStringList{"CDCON", "CDSED", "SERAS", "NRTEL", "NRDES"};
        }
        QTest::newRow("AZI_FAX") << "AZI_FAX" << QStringList{"RECORD_ID", "FXTYP", "FXNUM", "USNAM"};
        QTest::newRow("AZI_FAX_DEL") << "AZI_FAX_DEL" << QStringList{"RECORD_ID", "FXTYP"};
        QTest::newRow("SYS_MST_DAT") << "SYS_MST_DAT"
                                     << QStringList{"IDMST", "IDDAT", "MTDES", "MTAZI", "DTDES", "DTQRY", "DTTBL"};
        for (const char *folder : {"SYS_MSG_DFT", "SYS_MSG_INB", "SYS_MSG_OUT", "SYS_MSG_DEL", "SYS_MSG_PUB"})
            QTest::newRow(folder) << folder << QStringList{"RECORD_ID", "MSUSR", "MSOBJ"};
    }

    void viewRunsWithTheColumnsItsReadersUse()
    {
        QFETCH(QString, view);
        QFETCH(QStringList, columns);
        QVERIFY(objectExists(*m_created, QStringLiteral("view"), view));
        const QueryResult result = m_created->query(QStringLiteral("SELECT TOP 1 * FROM ") + view);
        const QSet<QString> present = lowerCase(result.columns);
        for (const QString &column : columns)
            QVERIFY2(present.contains(column.toLower()), qPrintable(column));
    }

    void everyCatalogViewIsCreated()
    {
        for (const ViewDef &view : SchemaCatalog::views()) {
            const QStringList names = view.scope == Scope::Suite ? QStringList{view.name}
                                                                 : QStringList{"A01_" + view.name, "B02_" + view.name};
            for (const QString &name : names)
                QVERIFY2(objectExists(*m_created, QStringLiteral("view"), name), qPrintable(name));
        }
    }

    void createRecordsVersionAndCompanies()
    {
        QCOMPARE(SchemaManager::installedVersion(*m_created), SchemaCatalog::version());
        QCOMPARE(SchemaManager::companyCodes(*m_created), twoCompanies);
        QCOMPARE(m_created->nativeQuery(QStringLiteral("SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'B02'"))
                     .rows.first()
                     .first()
                     .toString(),
                 QStringLiteral("Azienda B02"));
    }

    void createRefusesADatabaseWithASchema()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::create(*m_created, {}));
    }

    void companyCodeMustPrefixNames_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("valid");
        QTest::newRow("letters and digits") << "A01" << true;
        QTest::newRow("ten characters") << "ABCDEFGHIJ" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("leading digit") << "1AB" << false;
        QTest::newRow("hyphen") << "A-1" << false;
        QTest::newRow("statement separator") << "A01;DROP" << false;
        QTest::newRow("eleven characters") << "ABCDEFGHIJK" << false;
    }

    void companyCodeMustPrefixNames()
    {
        QFETCH(QString, code);
        QFETCH(bool, valid);
        auto connection = newDatabase(QStringLiteral("code-") + QString::number(qHash(code)));
        if (valid) {
            SchemaManager::create(*connection, {{code, QStringLiteral("Prova")}});
            QVERIFY(objectExists(*connection, QStringLiteral("table"), code + QStringLiteral("_CON_TRO")));
        } else {
            QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::create(*connection, {{code, QStringLiteral("Prova")}}));
            QCOMPARE(SchemaManager::installedVersion(*connection), 0);
        }
    }

    void addCompanyCreatesItsObjectsAndRenamesOnRepeat()
    {
        auto connection = newDatabase(QStringLiteral("add-company"));
        QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::addCompany(*connection, "C03", "Gamma"));
        SchemaManager::create(*connection, companiesOf({QStringLiteral("A01")}));
        SchemaManager::addCompany(*connection, QStringLiteral("C03"), QStringLiteral("Gamma"));
        connection->nativeQuery(QStringLiteral("INSERT INTO C03_CON_TRO (CDCON, CORAS) VALUES ('X1', 'Cliente')"));
        SchemaManager::addCompany(*connection, QStringLiteral("C03"), QStringLiteral("Gamma Spa"));

        QCOMPARE(SchemaManager::companyCodes(*connection), (QStringList{"A01", "C03"}));
        QCOMPARE(countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM C03_CON_TRO")), 1);
        QCOMPARE(connection->query(QStringLiteral("SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'C03'"))
                     .rows.first()
                     .first()
                     .toString(),
                 QStringLiteral("Gamma Spa"));
        for (const ViewDef &view : SchemaCatalog::views()) {
            if (view.scope == Scope::Company)
                QVERIFY(objectExists(*connection, QStringLiteral("view"), "C03_" + view.name));
        }
    }

    void upgradeBringsAnOlderDatabaseUpToDate()
    {
        auto connection = newDatabase(QStringLiteral("upgrade"));
        buildVersionOneDatabase(*connection);
        QCOMPARE(SchemaManager::installedVersion(*connection), 1);

        SchemaManager::upgrade(*connection);

        QCOMPARE(SchemaManager::installedVersion(*connection), SchemaCatalog::version());
        QCOMPARE(countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM SYS_VER")), 2);
        // Rows survive, and columns added later read their defaults.
        const QueryResult message =
            connection->query(QStringLiteral("SELECT MSUSR, MSOBJ, MSATT, MSPRY, MSPUB FROM SYS_MSG"));
        QCOMPARE(message.rows.size(), 1);
        QCOMPARE(message.rows.first().mid(0, 4), (QVariantList{"ROSSI", "Benvenuto", 0, 1}));
        QVERIFY(message.rows.first().at(4).isNull());
        const QueryResult customer = connection->query(QStringLiteral("SELECT CDCON, CORAS, COMID FROM A01_CON_TRO"));
        QCOMPARE(customer.rows.first(), (QVariantList{"C001", "Alfa Srl", "EM"}));
        QVERIFY(columnsOf(*connection, QStringLiteral("SYS_USR")).contains(QStringLiteral("useml")));
        // Missing tables exist, and the views were rebuilt over today's columns.
        for (const QString &table : {QStringLiteral("SYS_FAX"), QStringLiteral("SYS_CFG"),
                                     QStringLiteral("A01_NUM_TEL"), QStringLiteral("A01_IND_KEY")})
            QVERIFY2(objectExists(*connection, QStringLiteral("table"), table), qPrintable(table));
        QVERIFY(lowerCase(connection->query(QStringLiteral("SELECT * FROM SYS_MSG_INB")).columns)
                    .contains(QStringLiteral("msusr")));
        QVERIFY(objectExists(*connection, QStringLiteral("view"), QStringLiteral("A01_CON_TRO_FAX")));
        // The data step of version 2 rebuilt the address book from its sources.
        QCOMPARE(firstColumn(connection->query(QStringLiteral("SELECT INCOD FROM A01_IND_ALL ORDER BY INCOD"))),
                 (QStringList{"CON_TRO:C001", "SYS_USR:ROSSI"}));
        QCOMPARE(
            countOf(*connection,
                    QStringLiteral("SELECT COUNT(*) FROM A01_IND_KEY WHERE IKTIP = 'E' AND IKKEY = 'info@alfa.it'")),
            1);
        // A caption the users changed stays theirs.
        QCOMPARE(connection
                     ->query(QStringLiteral("SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_MST' AND "
                                            "VLFLD = 'MTREC' AND VLVAL = '1'"))
                     .rows.first()
                     .first()
                     .toString(),
                 QStringLiteral("Cliente (principale)"));
    }

    void secondUpgradeChangesNothing()
    {
        auto connection = newDatabase(QStringLiteral("twice"));
        buildVersionOneDatabase(*connection);
        SchemaManager::upgrade(*connection);
        const QStringList before = snapshot(*connection);
        SchemaManager::upgrade(*connection);
        QCOMPARE(snapshot(*connection), before);
    }

    void upgradeOfACurrentDatabaseChangesNothing()
    {
        const QStringList before = snapshot(*m_created);
        SchemaManager::upgrade(*m_created);
        QCOMPARE(snapshot(*m_created), before);
    }

    void upgradeRefusesANewerDatabase()
    {
        auto connection = newDatabase(QStringLiteral("newer"));
        SchemaManager::create(*connection, {});
        connection->nativeQuery(QStringLiteral("INSERT INTO SYS_VER (VRNUM) VALUES (?)"),
                                {SchemaCatalog::version() + 1});
        const QStringList before = snapshot(*connection);
        QVERIFY_THROWS_EXCEPTION(Failure, SchemaManager::upgrade(*connection));
        QCOMPARE(snapshot(*connection), before);
    }

    void referenceDataIsPresentOnce()
    {
        ReferenceData::install(*m_created);
        QVERIFY(m_created
                    ->nativeQuery(QStringLiteral("SELECT VLTAB, VLFLD, VLVAL FROM SYS_VAL GROUP BY VLTAB, VLFLD, VLVAL "
                                                 "HAVING COUNT(*) > 1"))
                    .rows.isEmpty());
        int values = 0;
        for (const ValueListDef &list : ReferenceData::valueLists())
            values += list.entries.size();
        QCOMPARE(countOf(*m_created, QStringLiteral("SELECT COUNT(*) FROM SYS_VAL")), values);
        QCOMPARE(countOf(*m_created, QStringLiteral("SELECT COUNT(*) FROM SYS_TBL")),
                 SchemaCatalog::tables().size() + SchemaCatalog::views().size());
        QVERIFY(m_created
                    ->nativeQuery(QStringLiteral("SELECT GRNAM, GRFLD FROM SYS_GRD_GRD GROUP BY GRNAM, GRFLD "
                                                 "HAVING COUNT(*) > 1"))
                    .rows.isEmpty());
    }

    void referenceDataAnswersTheirReaders_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("linked field of the agent")
            << "SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_DAT' AND VLFLD = 'LINKED_FIELD' AND VLVAL = '2'"
            << "DTAGE";
        QTest::newRow("number of linked-field kinds")
            << "SELECT COUNT(*) FROM SYS_VAL WHERE VLTAB = 'SYS_DAT' AND VLFLD = 'LINKED_FIELD'"
            << "4";
        QTest::newRow("last recipient type") << "SELECT MAX(CAST(VLVAL AS INT)) FROM SYS_VAL WHERE VLTAB = 'SYS_MST' "
                                                "AND VLFLD = 'MTREC'"
                                             << "27";
        QTest::newRow("state to deactivate")
            << "SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_NTF' AND VLFLD = 'NTUPD' AND VLVAL = '10'"
            << "Da Disattivare";
        QTest::newRow("task states") << "SELECT COUNT(*) FROM SYS_VAL WHERE VLTAB = 'SYS_MSG' AND VLFLD = 'TKSTA'"
                                     << "7";
        QTest::newRow("free e-mail slots") << "SELECT COUNT(*) FROM SYS_VAL WHERE VLTAB = 'IND_EMA' AND VLFLD = "
                                              "'WBDES' AND VLVAL LIKE '@%'"
                                           << "6";
        QTest::newRow("fax slots") << "SELECT COUNT(*) FROM SYS_VAL WHERE VLTAB = 'NUM_TEL' AND VLFLD = 'NRDES' "
                                      "AND VLVAL LIKE '%fax%'"
                                   << "3";
        QTest::newRow("tables for notifications")
            << "SELECT COUNT(*) FROM SYS_TBL WHERE LEN(TBNAM) = 7 AND TBUSV = 1 AND TBNAM IN ('CON_TRO', 'SYS_MSG', "
               "'SYS_VAL', 'IND_ALL')"
            << "2";
        QTest::newRow("title of a list") << "SELECT TBDES FROM SYS_TBL WHERE TBNAM = 'SYS_MSG_INB'"
                                         << "Posta in arrivo";
        QTest::newRow("fields of customers for conditions")
            << "SELECT COUNT(*) FROM SYS_GRD_GRD WHERE GRNAM = 'CON_TRO' AND GRTYP IN(0,1,2,3,4,6,7,8,9,10,11,14,15,16,"
               "17,18) AND (GRGRP<>'_ALL' OR GRGRP IS NULL)"
            << QString::number(SchemaCatalog::table(QStringLiteral("CON_TRO"))->columns.size());
        QTest::newRow("caption of a field")
            << "SELECT GRDES FROM SYS_GRD_GRD WHERE GRNAM = 'CON_TRO' AND GRFLD = 'CORAS'"
            << "Ragione sociale";
    }

    void referenceDataAnswersTheirReaders()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        const QueryResult result = m_created->query(sql);
        QCOMPARE(result.rows.size(), 1);
        QCOMPARE(result.rows.first().first().toString(), expected);
    }

    void exactListIsRestoredByUpgrade()
    {
        auto connection = newDatabase(QStringLiteral("exact"));
        SchemaManager::create(*connection, {});
        connection->nativeQuery(QStringLiteral("INSERT INTO SYS_VAL (VLTAB, VLFLD, VLVAL, VLTXT) "
                                               "VALUES ('SYS_DAT', 'LINKED_FIELD', '4', 'DTXXX')"));
        connection->nativeQuery(QStringLiteral("UPDATE SYS_VAL SET VLTXT = 'DTZZZ' WHERE VLTAB = 'SYS_DAT' AND "
                                               "VLFLD = 'LINKED_FIELD' AND VLVAL = '0'"));
        connection->nativeQuery(QStringLiteral("UPDATE SYS_VAL SET VLTXT = 'Mio testo' WHERE VLTAB = 'SYS_MST' AND "
                                               "VLFLD = 'MTREC' AND VLVAL = '3'"));
        SchemaManager::upgrade(*connection);
        QCOMPARE(firstColumn(connection->query(QStringLiteral("SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_DAT' AND "
                                                              "VLFLD = 'LINKED_FIELD' ORDER BY VLVAL"))),
                 (QStringList{"DTCON", "DTPRK", "DTAGE", "DTATT"}));
        QCOMPARE(connection
                     ->query(QStringLiteral("SELECT VLTXT FROM SYS_VAL WHERE VLTAB = 'SYS_MST' AND "
                                            "VLFLD = 'MTREC' AND VLVAL = '3'"))
                     .rows.first()
                     .first()
                     .toString(),
                 QStringLiteral("Mio testo"));
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
