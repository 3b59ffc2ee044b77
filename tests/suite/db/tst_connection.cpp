#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/TypeCodes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;

// The suite's connection on a real SQLite file: keys, hostile values,
// statements built column by column, updatable record sets, transactions.
class ConnectionTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::shared_ptr<SuiteConnection> m_connection;
    SqlValueTools m_values;

    QVariant scalar(const QString &sql) { return m_connection->query(sql).rows.value(0).value(0); }

private Q_SLOTS:
    void init()
    {
        m_connection = SuiteConnection::openSqlite(m_dir.filePath(QStringLiteral("c.db")));
        for (const char *table : {"T_ONE", "T_TWO"})
            m_connection->nativeQuery(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
        m_connection->nativeQuery(
            QStringLiteral("CREATE TABLE T_ONE (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "CODE TEXT UNIQUE, NOTE TEXT, BODY TEXT, N INTEGER, F INTEGER, D TEXT)"));
        m_connection->nativeQuery(
            QStringLiteral("CREATE TABLE T_TWO (RECORD_ID INTEGER PRIMARY KEY AUTOINCREMENT, X TEXT)"));
        m_connection->nativeQuery(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('a'), ('b'), ('c'), ('d'), ('e')"));
    }

    void cleanup() { m_connection.reset(); }

    void scopeIdentityFollowsTheLastInsertOfAnyTable()
    {
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 5); // the fixture's insert
        m_connection->execute(QStringLiteral("INSERT INTO T_ONE (CODE) VALUES ('x')"));
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 1);
        m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('f')"));
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 6);
        // A failed insert leaves the last good key in place.
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 m_connection->execute(QStringLiteral("INSERT INTO T_ONE (CODE) VALUES ('x')")));
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 6);
        // Updates and selects do not move it.
        m_connection->execute(QStringLiteral("UPDATE T_ONE SET NOTE = 'n'"));
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 6);
    }

    void bookkeepingInASeparateScopeLeavesTheKeyAlone()
    {
        m_connection->execute(QStringLiteral("INSERT INTO T_ONE (CODE) VALUES ('k')"));
        {
            SuiteConnection::SeparateScope scope(*m_connection);
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('log')"));
            QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 6);
        }
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 1);
    }

    void scopeIdentityIsPerConnection()
    {
        auto other = SuiteConnection::openSqlite(m_dir.filePath(QStringLiteral("c.db")));
        m_connection->execute(QStringLiteral("INSERT INTO T_ONE (CODE) VALUES ('mine')"));
        other->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('theirs')"));
        QCOMPARE(scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong(), 1);
        QCOMPARE(other->query(QStringLiteral("SELECT SCOPE_IDENTITY()")).rows.first().first().toLongLong(), 6);
    }

    void hostileValuesComeBackIdentical_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes") << QStringLiteral("O'Brien \"the\" ''great''");
        QTest::newRow("statement") << QStringLiteral("x'); DROP TABLE T_ONE; --");
        QTest::newRow("comments") << QStringLiteral("/* not */ -- a comment\r\nnext line");
        QTest::newRow("nul") << QString::fromUtf16(u"a\u0000b\u0000");
        QTest::newRow("only nul") << QString(QChar(0));
        QTest::newRow("unicode") << QString::fromUtf8("Perché € 漢字 🙂 \xF0\x9F\x87\xAE\xF0\x9F\x87\xB9");
        QTest::newRow("keywords") << QStringLiteral("SELECT TOP 1 SCOPE_IDENTITY() GETDATE() dbo.X(1) LEN(");
        QTest::newRow("backslashes") << QStringLiteral("C:\\temp\\x\\' \\0");
        QTest::newRow("empty") << QString();
        QTest::newRow("long") << QString(100000, QChar(u'è'));
        QTest::newRow("control") << QStringLiteral("\t\x01\x1b[31m\x7f");
    }

    void hostileValuesComeBackIdentical()
    {
        QFETCH(QString, value);
        for (const QString &column : {QStringLiteral("CODE"), QStringLiteral("NOTE"), QStringLiteral("BODY")}) {
            auto statement = m_connection->newStatement();
            statement->initialize(QStringLiteral("T_ONE"));
            statement->addColumn(column, value, column == QLatin1String("BODY") ? host::tcLongText : host::tcShortText);
            m_connection->execute(statement->build(host::skInsert));
            const QString sql = QStringLiteral("SELECT %1 FROM T_ONE WHERE %1 = %2")
                                    .arg(column, m_values.sqlLiteral(value, host::tcShortText));
            const auto result = m_connection->query(sql);
            QCOMPARE(result.rows.size(), 1);
            QCOMPARE(result.rows.first().first().toString(), value);
            m_connection->execute(QStringLiteral("DELETE T_ONE WHERE RECORD_ID = ") +
                                  scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toString());
        }
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_ONE")).toInt(), 0);
    }

    // Half a surrogate pair cannot be stored as UTF-8: the statement still
    // runs, and the character reads back as U+FFFD.
    void loneSurrogatesAreStoredAsReplacementCharacters_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        const QChar high(0xD83D);
        const QChar low(0xDE42);
        const QString replacement(QChar::ReplacementCharacter);
        QTest::newRow("high alone") << QStringLiteral("a") + high + QStringLiteral("b") << "a" + replacement + "b";
        QTest::newRow("low alone") << QString(low) << replacement;
        QTest::newRow("high at the end") << QStringLiteral("ab") + high << "ab" + replacement;
        QTest::newRow("reversed pair") << QString(low) + high << replacement + replacement;
        QTest::newRow("pair kept") << QString(high) + low << QString(high) + low;
    }

    void loneSurrogatesAreStoredAsReplacementCharacters()
    {
        QFETCH(QString, value);
        QFETCH(QString, stored);
        auto statement = m_connection->newStatement();
        statement->initialize(QStringLiteral("T_ONE"));
        statement->addColumn(QStringLiteral("NOTE"), value, host::tcShortText);
        m_connection->execute(statement->build(host::skInsert));
        QCOMPARE(scalar(QStringLiteral("SELECT NOTE FROM T_ONE")).toString(), stored);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_ONE WHERE NOTE = ") +
                        m_values.sqlLiteral(value, host::tcShortText))
                     .toInt(),
                 1);
    }

    void statementBuilderRoundTrip()
    {
        const QDateTime when(QDate(2026, 2, 28), QTime(23, 59, 58));
        auto insert = m_connection->newStatement();
        insert->initialize(QStringLiteral("T_ONE"));
        insert->addColumn(QStringLiteral("CODE"), QStringLiteral("k1"), host::tcShortText);
        insert->addColumn(QStringLiteral("N"), 42, host::tcInt32);
        insert->addColumn(QStringLiteral("F"), true, host::tcBoolean);
        insert->addColumn(QStringLiteral("D"), when, host::tcDateTime);
        insert->addColumn(QStringLiteral("NOTE"), QVariant(), host::tcNull);
        m_connection->execute(insert->build(host::skInsert));
        const qint64 key = scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toLongLong();

        auto set = m_connection->open(QStringLiteral("SELECT * FROM T_ONE WHERE RECORD_ID = %1").arg(key));
        QVERIFY(!set->eof());
        QCOMPARE(set->field(QStringLiteral("code")).toString(), QStringLiteral("k1"));
        QCOMPARE(set->field(QStringLiteral("N")).toInt(), 42);
        QVERIFY(m_values.toBoolean(set->field(QStringLiteral("F"))));
        QCOMPARE(
            QDateTime::fromString(set->field(QStringLiteral("D")).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            when);
        QVERIFY(set->field(QStringLiteral("NOTE")).isNull());

        auto update = m_connection->newStatement();
        update->initialize(QStringLiteral("T_ONE"));
        update->addColumn(QStringLiteral("N"), QStringLiteral("7"), host::tcInt16);
        update->addColumn(QStringLiteral("F"), QStringLiteral("0"), host::tcBoolean);
        update->setWhere(QStringLiteral("WHERE RECORD_ID = %1").arg(key));
        m_connection->execute(update->build(host::skUpdate));
        QCOMPARE(scalar(QStringLiteral("SELECT N + F FROM T_ONE")).toInt(), 7);

        auto remove = m_connection->newStatement();
        remove->initialize(QStringLiteral("T_ONE"));
        remove->setWhere(QStringLiteral("RECORD_ID = %1").arg(key));
        m_connection->execute(remove->build(host::skDelete));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_ONE")).toInt(), 0);
    }

    void statementBuilderRefusesUnsafeStatements()
    {
        auto statement = m_connection->newStatement();
        statement->initialize(QStringLiteral("T_TWO"));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skDelete));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skInsert));
        statement->addColumn(QStringLiteral("X"), QStringLiteral("z"), host::tcShortText);
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(host::skUpdate));
        QVERIFY_THROWS_EXCEPTION(Failure, statement->build(99));
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 statement->addColumn(QStringLiteral("N"), QStringLiteral("abc"), host::tcInt32));
    }

    void updatableRecordSetWritesBack()
    {
        auto set = m_connection->open(QStringLiteral("SELECT TOP 2 X FROM T_TWO WHERE X > 'a'\rORDER BY X DESC"),
                                      host::rsUpdatable);
        QCOMPARE(set->fieldCount(), 1);
        QCOMPARE(set->fieldName(0), QStringLiteral("X"));
        QCOMPARE(set->field(QStringLiteral("x")).toString(), QStringLiteral("e"));
        set->setField(QStringLiteral("X"), QStringLiteral("E2"));
        QCOMPARE(set->field(QStringLiteral("X")).toString(), QStringLiteral("E2"));
        set->update();
        set->moveNext();
        set->setField(QStringLiteral("X"), QVariant());
        set->update();
        set->moveNext();
        QVERIFY(set->eof());
        set->close();
        QCOMPARE(scalar(QStringLiteral("SELECT X FROM T_TWO WHERE RECORD_ID = 5")).toString(), QStringLiteral("E2"));
        QVERIFY(scalar(QStringLiteral("SELECT X FROM T_TWO WHERE RECORD_ID = 4")).isNull());
    }

    void readOnlySetsRefuseWritesAndUnknownFields()
    {
        auto set = m_connection->open(QStringLiteral("SELECT X FROM T_TWO"));
        QVERIFY_THROWS_EXCEPTION(Failure, set->setField(QStringLiteral("X"), 1));
        QVERIFY_THROWS_EXCEPTION(Failure, set->field(QStringLiteral("NOPE")));
        bool error = false;
        QString text;
        QVERIFY(!m_connection->openRecordSet(QStringLiteral("SELECT * FROM NOWHERE"), host::rsReadOnly, error, text));
        QVERIFY(error);
        QVERIFY2(text.contains(QLatin1String("NOWHERE")), qPrintable(text));
        auto empty = m_connection->open(QStringLiteral("SELECT X FROM T_TWO WHERE 1 = 0"), host::rsUpdatable);
        QVERIFY(empty->eof());
        QVERIFY_THROWS_EXCEPTION(Failure, empty->field(QStringLiteral("X")));
    }

    void failedStatementLeavesNoTransactionOpen()
    {
        // A batch that opens a transaction and then fails must not leave it open.
        QVERIFY_THROWS_EXCEPTION(
            Failure, m_connection->execute(QStringLiteral(
                         "BEGIN TRANSACTION; INSERT INTO T_TWO (X) VALUES ('z'); INSERT INTO NOWHERE VALUES (1)")));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).toInt(), 5);
        auto other = SuiteConnection::openSqlite(m_dir.filePath(QStringLiteral("c.db")));
        other->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('other')")); // not locked out
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).toInt(), 6);
    }

    void transactionsRollBackUnlessCommitted()
    {
        {
            SuiteConnection::Transaction outer(*m_connection);
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('t1')"));
            {
                SuiteConnection::Transaction inner(*m_connection);
                m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('t2')"));
                inner.commit();
            }
        }
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).toInt(), 5);
        {
            SuiteConnection::Transaction outer(*m_connection);
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('t3')"));
            outer.commit();
        }
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).toInt(), 6);
    }

    // A unit of work reaches other connections whole, when it ends; what
    // was written before a failure stays, as it would statement by statement.
    void unitOfWorkCommitsWholeAndKeepsRowsBeforeAFailure()
    {
        auto other = SuiteConnection::openSqlite(m_dir.filePath(QStringLiteral("c.db")));
        const auto othersCount = [&] {
            return other->query(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).rows.value(0).value(0).toInt();
        };
        {
            host::Work outer(*m_connection);
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('w1')"));
            {
                host::Work inner(*m_connection);
                m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('w2')"));
                inner.end();
            }
            QCOMPARE(othersCount(), 5);
            QVERIFY_THROWS_EXCEPTION(Failure, m_connection->execute(QStringLiteral("INSERT INTO NOWHERE VALUES (1)")));
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('w3')"));
            outer.end();
        }
        QCOMPARE(othersCount(), 8);
        {
            host::Work abandoned(*m_connection);
            m_connection->execute(QStringLiteral("INSERT INTO T_TWO (X) VALUES ('w4')"));
        } // ended by the destructor, as when an exception unwinds
        QCOMPARE(othersCount(), 9);
        QVERIFY_THROWS_EXCEPTION(Failure, m_connection->endWork());
    }

    void lookupAndDelete()
    {
        QCOMPARE(
            m_connection
                ->lookup(QStringLiteral("T_TWO"), QStringLiteral("RECORD_ID"), 3, host::kkNumber, QStringLiteral("X"))
                .toString(),
            QStringLiteral("c"));
        QCOMPARE(m_connection
                     ->lookup(QStringLiteral("T_TWO"), QStringLiteral("X"), QStringLiteral("d"), host::kkText,
                              QStringLiteral("RECORD_ID"))
                     .toInt(),
                 4);
        QVERIFY(!m_connection
                     ->lookup(QStringLiteral("T_TWO"), QStringLiteral("X"), QStringLiteral("nope"), host::kkText,
                              QStringLiteral("X"))
                     .isValid());
        m_connection->deleteRow(QStringLiteral("T_TWO"), 3);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM T_TWO")).toInt(), 4);
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "tst_connection.moc"
