#include "TestDatabase.h"
#include "db/SqlBatch.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/TypeCodes.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

// The suite's connection on a real database: keys, hostile values,
// statements built column by column, updatable record sets, transactions.
class ConnectionTest : public QObject
{
    Q_OBJECT

private:
    testing::TestDatabase m_database;
    std::shared_ptr<SuiteConnection> m_connection;
    SqlValueTools m_values;

    std::shared_ptr<SuiteConnection> open() const { return SuiteConnection::connect(m_database.location()); }
    QVariant scalar(const QString &sql) { return m_connection->query(sql).rows.value(0).value(0); }
    qint64 identity() { return scalar(u"SELECT SCOPE_IDENTITY()"_s).toLongLong(); }
    int rowsOfTwo() { return scalar(u"SELECT COUNT(*) FROM T_TWO"_s).toInt(); }

    void insertInto(const QString &column, const QVariant &value, qint32 typeCode, const QString &table = u"T_ONE"_s)
    {
        auto statement = m_connection->newStatement();
        statement->initialize(table);
        statement->addColumn(column, value, typeCode);
        m_connection->execute(statement->build(host::skInsert));
    }

private Q_SLOTS:
    void init()
    {
        m_connection = open();
        m_connection->nativeQuery(u"DROP TABLE IF EXISTS T_ONE"_s);
        m_connection->nativeQuery(u"DROP TABLE IF EXISTS T_TWO"_s);
        const QString key = m_connection->dialect().identityColumn(u"RECORD_ID"_s);
        m_connection->nativeQuery(u"CREATE TABLE T_ONE (%1, CODE TEXT UNIQUE, NOTE TEXT, BODY TEXT, N INTEGER, "
                                  u"F INTEGER, D TEXT)"_s.arg(key));
        m_connection->nativeQuery(u"CREATE TABLE T_TWO (%1, X TEXT)"_s.arg(key));
        m_connection->nativeQuery(u"INSERT INTO T_TWO (X) VALUES ('a'), ('b'), ('c'), ('d'), ('e')"_s);
        // Where signals travel on a file (the schema's table, without the schema).
        if (!testing::TestDatabase::onServer())
            m_connection->nativeQuery(u"CREATE TABLE IF NOT EXISTS SYS_SIG (%1, SGTXT TEXT)"_s.arg(key));
    }

    void cleanup() { m_connection.reset(); }

    // The key of this connection's last successful INSERT, whatever the
    // table; bookkeeping in a separate scope and other connections leave it.
    void scopeIdentityFollowsTheLastInsert()
    {
        QCOMPARE(identity(), 5); // the fixture's insert
        m_connection->execute(u"INSERT INTO T_ONE (CODE) VALUES ('x')"_s);
        QCOMPARE(identity(), 1);
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->execute(u"INSERT INTO T_ONE (CODE) VALUES ('x')"_s));
        open()->execute(u"INSERT INTO T_TWO (X) VALUES ('theirs')"_s);
        QCOMPARE(identity(), 1);
        {
            SuiteConnection::SeparateScope scope(*m_connection);
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('log')"_s);
            QCOMPARE(identity(), 7);
        }
        m_connection->execute(u"UPDATE T_ONE SET NOTE = 'n'"_s); // after another insert on the engine
        QCOMPARE(identity(), 1);
    }

    // Batches as a generic notification stores them: variables declared and
    // set, statements with or without ";" between them; the rows of T_TWO
    // after the batch, or "error" when it fails.
    void batchesRunWithTheirVariables_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("rows");
        QTest::newRow("no semicolons")
            << u"/**/----\r\n/**/DECLARE @N INT\tSET @N = 3\r\n/**/DECLARE @L NVARCHAR(20)\tSET @L = 'z''s'\r\n"
               u"/**/DELETE FROM T_TWO WHERE RECORD_ID > @N\r\n/**/----\r\n\r\n"
               u"INSERT INTO T_TWO (X) SELECT @L FROM T_TWO WHERE RECORD_ID = @N"_s
            << u"a|b|c|z's"_s;
        QTest::newRow("several declared, set from a query")
            << u"DECLARE @A INT, @B INT; SET @A = 1; SET @B = (SELECT COUNT(*) FROM T_TWO);\n"
               u"UPDATE T_TWO SET X = 'n' WHERE RECORD_ID IN (@A, @B)"_s
            << u"n|b|c|d|n"_s;
        QTest::newRow("values, then a select")
            << u"INSERT INTO T_TWO (X) VALUES ('f') SELECT X FROM T_TWO WHERE X = 'f'"_s << u"a|b|c|d|e|f"_s;
        QTest::newRow("session options and Null") << u"SET NOCOUNT ON\nDECLARE @X NVARCHAR(5)\tSET @X = NULL\n"
                                                     u"UPDATE T_TWO SET X = ISNULL(@X, 'q') WHERE RECORD_ID = 1"_s
                                                  << u"q|b|c|d|e"_s;
        QTest::newRow("undeclared") << u"UPDATE T_TWO SET X = @Y"_s << u"error"_s;
    }

    void batchesRunWithTheirVariables()
    {
        QFETCH(QString, batch);
        QFETCH(QString, rows);
        try {
            runBatch(*m_connection, batch);
        } catch (const Failure &) {
            QCOMPARE(u"error"_s, rows);
            return;
        }
        QStringList values;
        for (const QVariantList &row : m_connection->query(u"SELECT X FROM T_TWO ORDER BY RECORD_ID"_s).rows)
            values << row.first().toString();
        QCOMPARE(values.join(u'|'), rows);
    }

    void hostileValuesComeBackIdentical_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes and a statement") << u"O'Brien \"the\" ''x''); DROP TABLE T_ONE; --"_s;
        QTest::newRow("comments and keywords") << u"/* no */ -- SELECT TOP 1 SCOPE_IDENTITY() GETDATE()\r\nLEN("_s;
        QTest::newRow("nul") << u"a\u0000b\u0000"_s;
        QTest::newRow("unicode and control") << u"Perché € 漢字 🙂🇮🇹 \t\x01\x1b[31m\x7f C:\\temp\\'"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("long") << QString(100000, u'è');
        QTest::newRow("byte-order marks first") << u"\uFEFFhello\uFFFE"_s;
        QTest::newRow("swapped mark first, noncharacters") << u"\uFFFEhello\uFFFF\uFDD0"_s;
    }

    // PostgreSQL has no text that holds U+0000: such a value is refused
    // whole, never cut short.
    void hostileValuesComeBackIdentical()
    {
        QFETCH(QString, value);
        if (value.contains(QChar(0)) && testing::TestDatabase::onServer()) {
            QVERIFY_THROWS_EXCEPTION(Failure, insertInto(u"NOTE"_s, value, host::tcShortText));
            QVERIFY_THROWS_EXCEPTION(Failure, m_connection->nativeQuery(u"SELECT ?"_s, {value}));
            return;
        }
        for (const QString &column : {u"CODE"_s, u"NOTE"_s, u"BODY"_s}) {
            insertInto(column, value, column == "BODY"_L1 ? host::tcLongText : host::tcShortText);
            const auto result = m_connection->query(
                u"SELECT %1 FROM T_ONE WHERE %1 = %2"_s.arg(column, m_values.sqlLiteral(value, host::tcShortText)));
            QCOMPARE(result.rows.size(), 1);
            QCOMPARE(result.rows.first().first().toString(), value);
            m_connection->execute(u"DELETE T_ONE WHERE RECORD_ID = "_s + QString::number(identity()));
        }
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM T_ONE"_s).toInt(), 0);
        QCOMPARE(m_connection->nativeQuery(u"SELECT ?"_s, {value}).rows.first().first().toString(), value);
    }

    // Half a surrogate pair cannot be stored as UTF-8: the statement still
    // runs, and the character reads back as U+FFFD.
    void loneSurrogatesAreStoredAsReplacementCharacters_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        const QChar high(0xD83D);
        const QChar low(0xDE42);
        const QChar replacement(QChar::ReplacementCharacter);
        QTest::newRow("high alone") << u"a"_s + high + u"b"_s << u"a"_s + replacement + u"b"_s;
        QTest::newRow("reversed pair") << QString(low) + high << QString(replacement) + replacement;
        QTest::newRow("pair kept") << QString(high) + low << QString(high) + low;
    }

    void loneSurrogatesAreStoredAsReplacementCharacters()
    {
        QFETCH(QString, value);
        QFETCH(QString, stored);
        insertInto(u"NOTE"_s, value, host::tcShortText);
        QCOMPARE(scalar(u"SELECT NOTE FROM T_ONE"_s).toString(), stored);
        const QString literal = m_values.sqlLiteral(value, host::tcShortText);
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM T_ONE WHERE NOTE = "_s + literal).toInt(), 1);
    }

    // Typed values reach the database through the message store's tests;
    // here every assignment, a WHERE added when missing, and kept.
    void statementBuilderRoundTrip()
    {
        insertInto(u"N"_s, 42, host::tcInt32);
        auto statement = m_connection->newStatement();
        statement->initialize(u"T_ONE"_s);
        statement->addColumn(u"N"_s, u"7"_s, host::tcInt16);
        statement->addColumn(u"F"_s, true, host::tcBoolean);
        statement->setWhere(u"N = 42"_s);
        m_connection->execute(statement->build(host::skUpdate));
        QCOMPARE(scalar(u"SELECT N + F FROM T_ONE"_s).toInt(), 8);
        insertInto(u"N"_s, 1, host::tcInt32); // a row the DELETE must leave
        statement->setWhere(u"F = 1"_s);
        m_connection->execute(statement->build(host::skDelete));
        QCOMPARE(scalar(u"SELECT N FROM T_ONE"_s).toInt(), 1);
    }

    void updatableRecordSetWritesBack()
    {
        auto set = m_connection->open(u"SELECT TOP 2 X FROM T_TWO WHERE X > 'a'\rORDER BY X DESC"_s, host::rsUpdatable);
        QCOMPARE(set->fieldCount(), 1);
        QCOMPARE(set->field(u"x"_s).toString(), u"e"_s);
        set->setField(u"X"_s, u"E2"_s);
        set->update();
        set->moveNext();
        set->setField(u"X"_s, QVariant());
        set->update();
        set->moveNext();
        QVERIFY(set->eof());
        QCOMPARE(scalar(u"SELECT X FROM T_TWO WHERE RECORD_ID = 5"_s).toString(), u"E2"_s);
        QVERIFY(scalar(u"SELECT X FROM T_TWO WHERE RECORD_ID = 4"_s).isNull());
    }

    // Statements that would touch every row or nothing, values of another
    // type, writes through a read-only set, unknown fields and tables.
    void unsafeOrWrongRequestsAreRefused()
    {
        auto statement = m_connection->newStatement();
        statement->initialize(u"T_TWO"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skDelete));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skInsert));
        statement->addColumn(u"X"_s, u"z"_s, host::tcShortText);
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skUpdate));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(99));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->addColumn(u"N"_s, u"abc"_s, host::tcInt32));
        auto set = m_connection->open(u"SELECT X FROM T_TWO"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, set->setField(u"X"_s, 1));
        QVERIFY_THROWS_EXCEPTION(Failure, set->field(u"NOPE"_s));
        bool error = false;
        QString text;
        QVERIFY(!m_connection->openRecordSet(u"SELECT * FROM NOWHERE"_s, host::rsReadOnly, error, text));
        QVERIFY2(error && text.contains("NOWHERE"_L1), qPrintable(text));
    }

    // A failed statement leaves no transaction open; a nested commit leaves
    // the outer transaction to decide.
    void failedOrUncommittedTransactionsLeaveNothing()
    {
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->execute(u"BEGIN TRANSACTION; INSERT INTO T_TWO (X) VALUES "
                                                                u"('z'); INSERT INTO NOWHERE VALUES (1)"_s));
        QCOMPARE(rowsOfTwo(), 5);
        {
            SuiteConnection::Transaction outer(*m_connection);
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('t1')"_s);
            SuiteConnection::Transaction inner(*m_connection);
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('t2')"_s);
            inner.commit();
        }
        QCOMPARE(rowsOfTwo(), 5);
        open()->execute(u"INSERT INTO T_TWO (X) VALUES ('other')"_s); // not locked out
        QCOMPARE(rowsOfTwo(), 6);
    }

    // A unit of work reaches other connections whole, when it ends; what
    // was written before a failure stays, as it would statement by statement.
    void unitOfWorkCommitsWholeAndKeepsRowsBeforeAFailure()
    {
        auto other = open();
        const auto othersCount = [&] { return other->query(u"SELECT COUNT(*) FROM T_TWO"_s).rows[0][0].toInt(); };
        {
            host::Work outer(*m_connection);
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('w1')"_s);
            {
                host::Work inner(*m_connection);
                m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('w2')"_s);
                inner.end();
            }
            QCOMPARE(othersCount(), 5);
            QVERIFY_THROWS_EXCEPTION(Failure, m_connection->execute(u"INSERT INTO NOWHERE VALUES (1)"_s));
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('w3')"_s);
            outer.end();
        }
        QCOMPARE(othersCount(), 8);
        {
            host::Work abandoned(*m_connection);
            m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('w4')"_s);
        } // ended by the destructor, as when an exception unwinds
        QCOMPARE(othersCount(), 9);
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->endWork());
    }

    // A lookup answers from what it read before only while its table is as
    // it was: an own write or another connection's commit is seen at once.
    void lookupsFollowTheirTable()
    {
        const auto lookup = [this] {
            return m_connection->lookup(u"T_TWO"_s, u"RECORD_ID"_s, 1, host::kkNumber, u"X"_s);
        };
        QCOMPARE(lookup().toString(), u"a"_s);
        m_connection->execute(u"UPDATE T_TWO SET X = 'mine' WHERE RECORD_ID = 1"_s);
        QCOMPARE(lookup().toString(), u"mine"_s);
        open()->execute(u"UPDATE T_TWO SET X = 'theirs' WHERE RECORD_ID = 1"_s);
        QCOMPARE(lookup().toString(), u"theirs"_s);
        SuiteConnection::Transaction transaction(*m_connection);
        QCOMPARE(lookup().toString(), u"theirs"_s);
        m_connection->execute(u"UPDATE T_TWO SET X = 'in work' WHERE RECORD_ID = 1"_s);
        QCOMPARE(lookup().toString(), u"in work"_s);
    }

    // Signals raised in a transaction reach listeners as it commits, each
    // once, and not at all when it is rolled back.
    void signalsOfATransactionArriveOnceAtCommit()
    {
        auto listener = open();
        listener->listen();
        {
            SuiteConnection::Transaction dropped(*m_connection);
            m_connection->notify(u"lost"_s);
        }
        SuiteConnection::Transaction transaction(*m_connection);
        for (const QString &payload : {u"one"_s, u"two"_s, u"one"_s})
            m_connection->notify(payload);
        QCOMPARE(listener->waitForNotifications(150), QStringList());
        transaction.commit();
        QStringList received;
        for (int wait = 0; wait < 20 && received.size() < 2; ++wait)
            received += listener->waitForNotifications(100);
        QCOMPARE(received, (QStringList{u"one"_s, u"two"_s}));
    }

    // The server ends the session (a restart, an administrator): while idle,
    // the next statement opens it again and runs; inside a unit of work the
    // work fails whole, nothing of it stays, and the connection serves again.
    void aSessionEndedByTheServerIsOpenedAgain()
    {
        if (!testing::TestDatabase::onServer())
            QSKIP("a file has no session to lose");
        // Ended, and gone: as after a restart, the session is closed before
        // the next statement is sent.
        const auto end = [this] {
            const QVariant pid = scalar(u"SELECT pg_backend_pid()"_s);
            const auto other = open();
            other->nativeQuery(u"SELECT pg_terminate_backend(?)"_s, {pid});
            const QString alive = u"SELECT COUNT(*) FROM pg_stat_activity WHERE pid = ?"_s;
            QTRY_COMPARE(other->nativeQuery(alive, {pid}).rows.first().first().toInt(), 0);
        };
        end();
        QCOMPARE(rowsOfTwo(), 5);
        m_connection->beginWork();
        // Built statements run prepared: the new session prepares them anew.
        insertInto(u"X"_s, u"lost"_s, host::tcShortText, u"T_TWO"_s);
        end();
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->execute(u"INSERT INTO T_TWO (X) VALUES ('lost too')"_s));
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->endWork());
        QCOMPARE(rowsOfTwo(), 5);
        insertInto(u"X"_s, u"after"_s, host::tcShortText, u"T_TWO"_s);
        QCOMPARE(identity(), scalar(u"SELECT RECORD_ID FROM T_TWO WHERE X = 'after'"_s).toLongLong());
        QCOMPARE(rowsOfTwo(), 6);
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_connection.moc"
