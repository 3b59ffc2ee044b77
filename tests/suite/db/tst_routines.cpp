#include "TestDatabase.h"
#include "db/Routines.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "host/RecordSet.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

namespace {

QString quoted(QString text)
{
    return u'\'' + text.replace(u'\'', u"''"_s) + u'\'';
}

// A small suite: three users, a group, and in company A01 customers, a
// contact, a branch and an agent with addresses and numbers; sales documents
// 1 to 5 numbered 30, 10, 50, 20, 40. Company B02 has one customer.
const QStringList seed = {
    u"INSERT INTO SYS_USR (CDUSR, USNAM, USEML) VALUES ('ROSSI', 'Mario Rossi', 'mario.rossi@example.it'), "
    u"('BIANCHI', 'Anna Bianchi', NULL), ('VERDI', 'Luca Verdi', NULL)"_s,
    u"INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('VENDITE', 'Ufficio vendite')"_s,
    u"INSERT INTO SYS_USG (CDGRU, CDUSR) VALUES ('VENDITE', 'ROSSI')"_s,
    u"INSERT INTO A01_CON_TRO (CDCON, CORAS) VALUES ('C001', 'Alfa Srl'), ('C002', 'Beta Rossi Spa'), "
    u"('C003', 'Gamma Sas')"_s,
    u"INSERT INTO A01_CON_RIF (RECORD_ID, CDCON, RFNOM) VALUES (7, 'C001', 'Carla Neri')"_s,
    u"INSERT INTO A01_CON_SED (RECORD_ID, CDCON, CDSED, SERAS) VALUES (4, 'C001', '01', 'Alfa Deposito')"_s,
    u"INSERT INTO A01_AGE_NTI (CDAGE, AGRAS) VALUES ('AG1', 'Paolo Rossi')"_s,
    u"INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) VALUES "
    u"('CON_TRO', 'C001', 'E', '@ Ufficio', 'ufficio@alfa.it'), ('CON_TRO', 'C001', 'E', '@ Principale', "
    u"'info@alfa.it'), ('CON_TRO', 'C002', 'E', '@ Amministrazione', 'amministrazione@beta.it'), "
    u"('CON_RIF', '7', 'E', '@ Principale', 'carla@alfa.it'), ('AGE_NTI', 'AG1', 'E', '@ Principale', "
    u"'paolo@agenti.it')"_s,
    u"INSERT INTO A01_NUM_TEL (TBNAM, TBKEY, NRDES, NRTEL) VALUES ('CON_TRO', 'C001', 'Tel. (uff.)', '06 7654321'), "
    u"('CON_TRO', 'C001', 'Fax (uff.)', '06/1234567'), ('CON_TRO', 'C003', 'Fax (ab.)', '02-555.111'), "
    u"('CON_SED', '4', 'Fax (uff.)', '06 999888')"_s,
    u"INSERT INTO A01_DOC_VEN (DTANN, DTNUM) VALUES (2024, 30), (2024, 10), (2024, 50), (2024, 20), (2024, 40)"_s,
    u"INSERT INTO B02_CON_TRO (CDCON, CORAS) VALUES ('C001', 'Omega Spa')"_s,
    u"INSERT INTO B02_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) VALUES ('CON_TRO', 'C001', 'E', '@ Principale', "
    u"'omega@example.com')"_s,
};

// Messages and faxes around the sales document 5; dates order the history.
// 1: BIANCHI wrote to ROSSI (2: ROSSI's copy, unread). 3: VERDI wrote to
// BIANCHI only (4: BIANCHI's copy, read). 5 and 6: drafts of ROSSI and
// BIANCHI. 7: a public copy made by BIANCHI. 8: a task in ROSSI's inbox,
// associated with the document rather than linked. 9: another document.
const QStringList history = {
    u"INSERT INTO SYS_MSG (RECORD_ID, MSTYP, MSFLD, MSSTA, MSUSR, MSOBJ, MSDTS, MSLNK, MSTBL, MSKEY, MSSND) VALUES "
    u"(1, 0, 2, 1, 'BIANCHI', 'Offerta', '2024-01-01 09:00:00', 1, 'DOC_VEN', '5', NULL), "
    u"(2, 0, 1, 0, 'ROSSI', 'Offerta', '2024-01-01 09:00:00', 1, 'DOC_VEN', '5', 1), "
    u"(3, 0, 2, 1, 'VERDI', 'Prezzi', '2024-01-02 09:00:00', 1, 'DOC_VEN', '5', NULL), "
    u"(4, 0, 1, 1, 'BIANCHI', 'Prezzi', '2024-01-02 09:00:00', 1, 'DOC_VEN', '5', 3), "
    u"(5, 0, 0, 1, 'ROSSI', 'Bozza', '2024-01-03 09:00:00', 1, 'DOC_VEN', '5', NULL), "
    u"(6, 0, 0, 1, 'BIANCHI', 'Appunti', '2024-01-04 09:00:00', 1, 'DOC_VEN', '5', NULL), "
    u"(7, 4, 4, 4, 'BIANCHI', 'Circolare', '2024-01-05 09:00:00', 1, 'DOC_VEN', '5', NULL), "
    u"(9, 0, 1, 0, 'ROSSI', 'Altro', '2024-01-07 09:00:00', 1, 'DOC_VEN', '6', NULL)"_s,
    u"INSERT INTO SYS_MSG (RECORD_ID, MSTYP, MSFLD, MSSTA, MSUSR, MSOBJ, MSDTS, TKCPL, MSASS, MSATB, MSAKE) "
    u"VALUES (8, 1, 1, 1, 'ROSSI', 'Consegna', '2024-01-06 09:00:00', 40, 1, 'DOC_VEN', '5')"_s,
    // Faxes: received and linked, sent and linked, another document.
    u"INSERT INTO SYS_FAX (RECORD_ID, FXTYP, FXRAS, FXOBJ, FXDAT, FXDTR, FXUSR, FXLNK, FXTBL, FXKEY) VALUES "
    u"(1, 0, 'Alfa Srl', 'Ordine', '2024-01-08 09:00:00', NULL, 'VERDI', 1, 'DOC_VEN', '5'), "
    u"(2, 3, 'Alfa Srl', 'Conferma', NULL, '2023-12-31 09:00:00', 'ROSSI', 1, 'DOC_VEN', '5'), "
    u"(3, 0, 'Beta', 'Altro', '2024-01-09 09:00:00', NULL, 'ROSSI', 1, 'DOC_VEN', '6')"_s,
};

} // namespace

class TestRoutines : public QObject
{
    Q_OBJECT

private:
    testing::TestDatabase m_database;
    std::shared_ptr<SuiteConnection> m_connection;

    void refreshAddressBook(const QString &prefix)
    {
        m_connection->setCompanyPrefix(prefix);
        m_connection->runProcedure(u"XSC_IND_ALL_LST"_s, {});
        m_connection->setCompanyPrefix(u"A01_"_s);
    }

    // The channels the caller allows: E e-mail, F fax; S when the server
    // resolves on its own.
    QueryResult search(const QString &call, const QString &text, const QString &channels)
    {
        const auto flag = [&channels](char channel) { return QString::number(int(channels.contains(channel))); };
        return m_connection->query(u"%1(%2, %3, %4, %5)"_s.arg(call, quoted(text), flag('E'), flag('F'), flag('S')));
    }

    int count(const QString &sql) { return m_connection->query(sql).rows.first().first().toInt(); }

    std::unique_ptr<host::RecordSet> moveFrom(const QString &list, const QVariant &bookmark)
    {
        return m_connection->runProcedure(u"SYS_XSP_SYS_MOV_REC"_s, {{u"@SQL"_s, list, host::tcText, 1024},
                                                                     {u"@BOOKMARK"_s, bookmark, host::tcInt32, 0}});
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_connection = SuiteConnection::connect(m_database.location());
        SchemaManager::create(*m_connection, {{u"A01"_s, u"Alfa"_s}, {u"B02"_s, u"Beta"_s}});
        for (const QString &statement : seed + history)
            m_connection->nativeQuery(statement);
        refreshAddressBook(u"A01_"_s);
        refreshAddressBook(u"B02_"_s);
    }

    void cleanupTestCase() { m_connection.reset(); }

    void countFindsWhatCanBeSentAsTyped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<int>("expected");
        QTest::newRow("user code in another case, blanks around") << u" rossi "_s << u""_s << 1;
        QTest::newRow("group code") << u"vendite"_s << u""_s << 1;
        QTest::newRow("e-mail address") << u"INFO@alfa.it"_s << u"E"_s << 1;
        QTest::newRow("e-mail address, e-mail not allowed") << u"info@alfa.it"_s << u"F"_s << 0;
        QTest::newRow("a user's own address") << u"mario.rossi@example.it"_s << u"E"_s << 1;
        QTest::newRow("fax number with other separators") << u"06 123-4567"_s << u"F"_s << 1;
        QTest::newRow("fax number, fax not allowed") << u"061234567"_s << u"E"_s << 0;
        QTest::newRow("telephone number is no fax") << u"06 7654321"_s << u"EF"_s << 0;
        QTest::newRow("name") << u"Alfa Srl"_s << u"EF"_s << 0;
    }

    void countFindsWhatCanBeSentAsTyped()
    {
        QFETCH(QString, text);
        QFETCH(QString, channels);
        QFETCH(int, expected);
        QCOMPARE(search(u"SELECT dbo.A01_XFN_IND_ALL_CNT"_s, text, channels).rows.first().first().toInt(), expected);
    }

    void eachCompanySearchesItsOwnBook()
    {
        // Without a prefix in the call, the connection's company searches.
        for (const auto &[prefix, found] : {std::pair{u"B02_"_s, 1}, {u"A01_"_s, 0}, {QString(), 0}})
            QCOMPARE(count(u"SELECT dbo.%1XFN_IND_ALL_CNT('omega@example.com', 1, 1, 0)"_s.arg(prefix)), found);
    }

    void checkListsTheRecipientsMeant_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<QStringList>("expected");
        const QString alfaEmail = u"Alfa Srl <info@alfa.it>"_s;
        const QString alfaFax = u"Alfa Srl <\"06/1234567\">"_s;
        const QString depotFax = u"Alfa Deposito <\"06 999888\">"_s;
        const QString carla = u"Carla Neri <carla@alfa.it>"_s;
        QTest::newRow("code and names") << u"rossi"_s << u"E"_s
                                        << QStringList{"Beta Rossi Spa <amministrazione@beta.it>",
                                                       "Mario Rossi <ROSSI>", "Paolo Rossi <paolo@agenti.it>"};
        QTest::newRow("start of a name") << u"alf"_s << u"EF"_s << QStringList{depotFax, alfaEmail, alfaFax};
        QTest::newRow("e-mail only") << u"alf"_s << u"E"_s << QStringList{alfaEmail};
        QTest::newRow("fax only") << u"ALFA"_s << u"F"_s << QStringList{depotFax, alfaFax};
        QTest::newRow("names are not searched for the server") << u"alfa"_s << u"EFS"_s << QStringList{};
        QTest::newRow("customer code") << u"c001"_s << u"EFS"_s << QStringList{alfaEmail, alfaFax};
        QTest::newRow("address keeps its own slot")
            << u"ufficio@alfa.it"_s << u"ES"_s << QStringList{"Alfa Srl <ufficio@alfa.it>"};
        QTest::newRow("fax number") << u"061234567"_s << u"F"_s << QStringList{alfaFax};
        QTest::newRow("second word of a name") << u"neri"_s << u"EF"_s << QStringList{carla};
        QTest::newRow("several words") << u"carla n"_s << u"EF"_s << QStringList{carla};
        QTest::newRow("middle of a word") << u"arla"_s << u"EF"_s << QStringList{};
        QTest::newRow("group, no channel needed") << u"vendite"_s << u""_s << QStringList{"Ufficio vendite <VENDITE>"};
        QTest::newRow("empty text") << u"  "_s << u"EF"_s << QStringList{};
    }

    // Searched together with other texts, a text gets the function's own
    // entries, in its order.
    void checkListsTheRecipientsMeant()
    {
        QFETCH(QString, text);
        QFETCH(QString, channels);
        QFETCH(QStringList, expected);
        QStringList found;
        for (const QVariantList &row : search(u"SELECT * FROM dbo.A01_XFN_IND_ALL_CHK"_s, text, channels).rows)
            found << row.at(0).toString() + u' ' + row.at(1).toString();
        const QStringList others{u"rossi"_s, u"c001"_s, u"061234567"_s, u"carla"_s};
        QStringList together;
        for (const host::AddressBookEntry &entry :
             searchAddressBook(*m_connection, QStringList(others) << text, channels.contains(u'E'),
                               channels.contains(u'F'), channels.contains(u'S'))
                 .value(text))
            together << entry.address + u' ' + entry.code;
        QCOMPARE(together, found);
        for (QString &entry : found)
            entry = entry.section(u' ', 0, -2);
        found.sort();
        expected.sort();
        QCOMPARE(found, expected);
    }

    void checkNamesTheEntries()
    {
        const QueryResult result = m_connection->query(u"SELECT * FROM dbo.XFN_IND_ALL_CHK('carla', 1, 1, 0)"_s);
        QCOMPARE(result.columns, (QStringList{"IND", "COD", "TAB", "DES"}));
        QCOMPARE(result.rows,
                 (QList<QVariantList>{{"Carla Neri <carla@alfa.it>", "CON_RIF:7", "CON_RIF", "Carla Neri"}}));
        // The entry codes select the candidates in the checking list.
        QCOMPARE(m_connection->query(u"SELECT INNAM, INTAB FROM A01_IND_ALL_VER WHERE INTBC IN ('CON_RIF:7')"_s).rows,
                 (QList<QVariantList>{{"Carla Neri", "CON_RIF"}}));
    }

    void everySearchRuleIsAnIndexLookup_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("count") << "SELECT dbo.XFN_IND_ALL_CNT('alfa', 1, 1, 0)";
        QTest::newRow("check") << "SELECT * FROM dbo.XFN_IND_ALL_CHK('alfa', 1, 1, 0)";
    }

    // A table read whole would make every lookup cost the size of the
    // address book: only the engine's own intermediate results may be scanned.
    void everySearchRuleIsAnIndexLookup()
    {
        QFETCH(QString, query);
        if (testing::TestDatabase::onServer())
            return requireIndexesOnServer(serverFunctionApplied(query));
        TranslationContext context{std::nullopt, &RoutineCatalog::standard(), u"A01_"_s};
        const QString native = m_connection->dialect().translate(query, context);
        const QueryResult plan = m_connection->nativeQuery(u"EXPLAIN QUERY PLAN "_s + native);
        const qsizetype detail = plan.columns.indexOf(u"detail"_s);
        static const QRegularExpression derived(u"^(CO-ROUTINE|MATERIALIZE) (\\S+)"_s);
        static const QRegularExpression scan(u"^SCAN (\\S+)"_s);
        QSet<QString> intermediate{u"CONSTANT"_s};
        int searches = 0;
        for (const QVariantList &step : plan.rows) {
            const QString text = step.at(detail).toString();
            if (const QRegularExpressionMatch match = derived.match(text); match.hasMatch())
                intermediate.insert(match.captured(2));
            if (const QRegularExpressionMatch match = scan.match(text); match.hasMatch())
                QVERIFY2(intermediate.contains(match.captured(1)), qPrintable(text));
            searches += text.startsWith(u"SEARCH"_s) ? 1 : 0;
        }
        QVERIFY(searches >= 3);
    }

    // The server plans the query of a function it keeps when the function
    // runs, out of EXPLAIN's sight: the query as stored, applied to the
    // call's arguments.
    QString serverFunctionApplied(const QString &call)
    {
        static const QRegularExpression parts(u"dbo\\.(\\w+)\\('(\\w+)', (\\d), (\\d), (\\d)\\)"_s);
        static const QRegularExpression returned(u"RETURN (?:QUERY )?(.*);\\s*END"_s,
                                                 QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = parts.match(call);
        const QString code = m_connection
                                 ->nativeQuery(u"SELECT prosrc FROM pg_proc WHERE proname = ?"_s,
                                               {(u"A01_"_s + match.captured(1)).toLower()})
                                 .rows.first()
                                 .first()
                                 .toString();
        const QString body = returned.match(code).captured(1);
        return u"SELECT * FROM (SELECT CAST('%1' AS CITEXT) AS p_text, %2 AS p_email, %3 AS p_fax, %4 AS p_server) "
               u"A CROSS JOIN LATERAL (%5) B"_s.arg(match.captured(2), match.captured(3), match.captured(4),
                                                    match.captured(5), body);
    }

    // The server's planner reads a small table whole whatever its indexes:
    // told not to, it must find an index for every lookup of a table.
    void requireIndexesOnServer(const QString &native)
    {
        SuiteConnection::Transaction transaction(*m_connection);
        m_connection->nativeQuery(u"SET LOCAL enable_seqscan = off"_s);
        QStringList plan;
        for (const QVariantList &step : m_connection->nativeQuery(u"EXPLAIN "_s + native).rows)
            plan << step.first().toString();
        QVERIFY2(!plan.join(u'\n').contains(u"Seq Scan"_s), qPrintable(plan.join(u'\n')));
        QVERIFY2(plan.join(u'\n').count(u"Index"_s) >= 3, qPrintable(plan.join(u'\n')));
    }

    void refreshFollowsTheSources()
    {
        const QString found = u"SELECT dbo.XFN_IND_ALL_CNT('ufficio@alfa.it', 1, 1, 0)"_s;
        const QString parties = u"SELECT COUNT(*) FROM A01_IND_ALL"_s;
        const int before = count(parties);
        QCOMPARE(count(found), 1);
        m_connection->nativeQuery(u"DELETE FROM A01_IND_WEB WHERE WBIND = 'ufficio@alfa.it'"_s);
        refreshAddressBook(u"A01_"_s);
        QCOMPARE(count(found), 0);
        QCOMPARE(count(parties), before);
        m_connection->nativeQuery(u"INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) VALUES "
                                  u"('CON_TRO', 'C001', 'E', '@ Ufficio', 'ufficio@alfa.it')"_s);
        refreshAddressBook(u"A01_"_s);
        QCOMPARE(count(found), 1);
        m_connection->setCompanyPrefix(QString());
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->runProcedure(u"XSC_IND_ALL_LST"_s, {}));
        m_connection->setCompanyPrefix(u"A01_"_s);
    }

    void addressBookListShowsSlotsAndFlags()
    {
        QCOMPARE(m_connection
                     ->query(u"SELECT INNAM, INTBC, ININD, ININT, INEML, INFAX, INEPR, INEUF, INFUF, INCDS "
                             u"FROM A01_IND_ALL_LST WHERE INTBC = 'CON_TRO' AND ININD = 'C001'"_s)
                     .rows,
                 (QList<QVariantList>{{"Alfa Srl", "CON_TRO", "C001", 0, 1, 1, "info@alfa.it", "ufficio@alfa.it",
                                       "06/1234567", "C001"}}));
        QCOMPARE(m_connection
                     ->query(u"SELECT INEEE, ININT, INEML, INEPR FROM A01_IND_ALL_LST WHERE INTBC = 'SYS_USR' AND "
                             u"ININD = 'ROSSI'"_s)
                     .rows,
                 (QList<QVariantList>{{"Mario Rossi <ROSSI>", 1, 1, "mario.rossi@example.it"}}));
    }

    void historyShowsEachSendingOnce_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("expected"); // table:key:icon, newest first
        QTest::newRow("recipient of one, author of a draft")
            << "ROSSI" << QStringList{"SYS_FAX:1:10", "SYS_MSG:8:16", "SYS_MSG:7:14", "SYS_MSG:5:15",
                                      "SYS_MSG:3:18", "SYS_MSG:2:17", "SYS_FAX:2:11"};
        QTest::newRow("author and recipient")
            << "BIANCHI" << QStringList{"SYS_FAX:1:10", "SYS_MSG:7:14", "SYS_MSG:6:15",
                                        "SYS_MSG:4:16", "SYS_MSG:1:18", "SYS_FAX:2:11"};
    }

    void historyShowsEachSendingOnce()
    {
        QFETCH(QString, user);
        QFETCH(QStringList, expected);
        const QueryResult result =
            m_connection->query(u"SELECT * FROM dbo.XFN_MSG_FAX_GET(\r'DOC_VEN',\r'5',\r%1)"_s.arg(quoted(user)));
        QCOMPARE(result.columns, (QStringList{"RECORD_ID", "HSPRY", "HSTYP", "_ICON", "HSFRM", "HSDES", "HSDAT",
                                              "HSCPL", "HSDTR", "HSUSR", "HSTAB"}));
        QStringList items;
        for (const QVariantList &row : result.rows)
            items << row.at(10).toString() + u':' + row.at(0).toString() + u':' + row.at(3).toString();
        QCOMPARE(items, expected);
    }

    void historyMarksTasksAndFaxes()
    {
        QCOMPARE(m_connection
                     ->query(u"SELECT HSTAB, RECORD_ID, HSTYP, ISNULL(CAST(HSCPL AS VARCHAR(10)), 'none'), HSUSR FROM "
                             u"dbo.XFN_MSG_FAX_GET('DOC_VEN', '5', 'ROSSI') WHERE RECORD_ID IN (1, 8)"_s)
                     .rows,
                 (QList<QVariantList>{{"SYS_FAX", 1, "FAX", "none", "VERDI"}, {"SYS_MSG", 8, "1", "40", "ROSSI"}}));
    }

    void moveFindsTheNeighbours_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QVariant>("bookmark");
        QTest::addColumn<qint64>("next");
        QTest::addColumn<qint64>("previous");
        const QString byKey = u"SELECT RECORD_ID FROM A01_DOC_VEN ORDER BY RECORD_ID"_s;
        const QString byPosition = u"SELECT TOP 100 PERCENT RECORD_ID,\r               ROW_NUMBER() OVER(ORDER BY "
                                   u"DTNUM DESC, RECORD_ID) POSITION\rFROM A01_DOC_VEN\rWHERE DTANN = 2024"_s;
        QTest::newRow("first") << byKey << QVariant(1) << qint64(2) << qint64(0);
        QTest::newRow("bookmark not in the list") << byKey << QVariant(99) << qint64(0) << qint64(0);
        QTest::newRow("no bookmark") << byKey << QVariant() << qint64(0) << qint64(0);
        QTest::newRow("bookmark as text") << byKey << QVariant("2") << qint64(3) << qint64(1);
        QTest::newRow("by position, middle") << byPosition << QVariant(1) << qint64(4) << qint64(5);
        QTest::newRow("by position, last") << byPosition << QVariant(2) << qint64(0) << qint64(4);
    }

    void moveFindsTheNeighbours()
    {
        QFETCH(QString, list);
        QFETCH(QVariant, bookmark);
        QFETCH(qint64, next);
        QFETCH(qint64, previous);
        const auto neighbours = moveFrom(list, bookmark);
        QVERIFY(!neighbours->eof());
        QCOMPARE(neighbours->field(u"NEXT"_s).toLongLong(), next);
        QCOMPARE(neighbours->field(u"PREV"_s).toLongLong(), previous);
    }

    void moveNeedsItsParameters()
    {
        QVERIFY_THROWS_EXCEPTION(
            Failure, m_connection->runProcedure(u"SYS_XSP_SYS_MOV_REC"_s, {{u"@BOOKMARK"_s, 1, host::tcInt32, 0}}));
        QVERIFY_THROWS_EXCEPTION(Failure, moveFrom(u"SELECT DTNUM FROM A01_DOC_VEN"_s, 1));
    }

    // A company reads its own parameters and those of no company; the
    // company of the connection serves a call without one.
    void notificationParameterValue_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("own") << u"dbo.A01_XFN_SYS_NTG_GET(5)"_s << QVariant(u"100"_s);
        QTest::newRow("another company's") << u"dbo.B02_XFN_SYS_NTG_GET(5)"_s << QVariant();
        QTest::newRow("shared") << u"dbo.B02_XFN_SYS_NTG_GET(6)"_s << QVariant(u"7"_s);
        QTest::newRow("current company") << u"dbo.XFN_SYS_NTG_GET(5)"_s << QVariant(u"100"_s);
    }

    void notificationParameterValue()
    {
        QFETCH(QString, call);
        QFETCH(QVariant, value);
        if (count(u"SELECT COUNT(*) FROM SYS_NTG"_s) == 0)
            m_connection->nativeQuery(u"INSERT INTO SYS_NTG (RECORD_ID, CDAZI, NGDES, NGVAL) VALUES "
                                      "(5, 'A01', 'Soglia', '100'), (6, NULL, 'Giorni', '7')"_s);
        const QVariant read = m_connection->query(u"SELECT "_s + call).rows.first().first();
        QCOMPARE(read.isNull() ? QVariant() : QVariant(read.toString()), value);
    }
};

QTEST_GUILESS_MAIN(TestRoutines)
#include "tst_routines.moc"
