#include "DemoSuite.h"
#include "TemplateRows.h"

#include "db/SuiteConnection.h"
#include "host/TypeCodes.h"
#include "services/SuiteSession.h"
#include "templates/mrvDataset.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite;

// Datasets of the demo suite's database with rows of the test's own, through
// the public class as a host creates it.
class DatasetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<SuiteSession> m_otherFirm;

    db::SuiteConnection &connection() const { return *m_suite->session().connection(); }

    std::unique_ptr<mrvDataset> dataset(const SuiteSession &session) const
    {
        return session.create<mrvDataset>(QStringLiteral("mrvDataset"));
    }

    qint32 valueRows() const { return m_suite->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_VAL")).toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_otherFirm = m_suite->openAs(QStringLiteral("ROSSI"), QStringLiteral("A02"));
    }

    void insertVariables_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<qint32>>("keys");
        QTest::addColumn<bool>("otherFirm");
        QTest::addColumn<QString>("expected");
        QTest::newRow("list, firm") << "SELECT * FROM A01_X WHERE K IN (@)" << QList<qint32>{4, 9} << true
                                    << "SELECT * FROM A02_X WHERE K IN (4,9)";
        QTest::newRow("numbered") << "WHERE A = @1 AND B = @2 OR C = @3" << QList<qint32>{10, 20} << false
                                  << "WHERE A = 10 AND B = 20 OR C = 0";
        QTest::newRow("ending in a variable") << "K = @1" << QList<qint32>{7} << false << "K = 7";
        QTest::newRow("ending in a bare @") << "K IN @" << QList<qint32>{7, 8} << false << "K IN 7,8";
        QTest::newRow("inside a literal")
            << "X = '@a' AND A01 = @@2" << QList<qint32>{1, 2} << false << "X = '1,2a' AND A01 = 2";
        QTest::newRow("no keys") << "SELECT 1" << QList<qint32>{} << false << "";
    }
    void insertVariables()
    {
        QFETCH(QString, query);
        QFETCH(QList<qint32>, keys);
        QFETCH(bool, otherFirm);
        QFETCH(QString, expected);
        QCOMPARE(dataset(otherFirm ? *m_otherFirm : m_suite->session())->InsertVariables(query, keys), expected);
    }

    // The columns of a query, and queries that fail without changing anything.
    void getQueryFields_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("variables as dummies")
            << "SELECT CDCON, CORAS FROM A01_CON_TRO WHERE RECORD_ID = @1 OR RECORD_ID IN (@)"
            << QStringList{"CDCON", "CORAS"};
        QTest::newRow("bad column") << "SELECT NO_SUCH_COLUMN FROM SYS_DAT" << QStringList();
        QTest::newRow("a second statement")
            << "SELECT 1 AS A) X; DELETE FROM SYS_VAL; SELECT * FROM (SELECT 1 AS A" << QStringList();
    }
    void getQueryFields()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        const qint32 before = valueRows();
        QStringList fields{"left over"};
        QString error;
        QCOMPARE(dataset(m_suite->session())->GetQueryFields(query, fields, error), !expected.isEmpty());
        QCOMPARE(fields, expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        QCOMPARE(valueRows(), before);
        QVERIFY(m_suite->session().errors()->recentReports().isEmpty());
    }

    // What a query written by a user may do, on every engine, also inside
    // a unit of work: read.
    void readOnlyQueries_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("inWork");
        for (const bool inWork : {false, true}) {
            const QByteArray where = inWork ? " in work" : "";
            QTest::newRow("two statements" + where) << "SELECT 1 AS A; DELETE FROM SYS_VAL" << inWork;
            QTest::newRow("writing CTE" + where)
                << "WITH D AS (DELETE FROM SYS_VAL RETURNING RECORD_ID) SELECT COUNT(*) FROM D" << inWork;
            QTest::newRow("not a query" + where) << "DELETE FROM SYS_VAL" << inWork;
            if (testing::TestDatabase::onServer())
                QTest::newRow("writing function" + where) << "SELECT mrv_test_wipe() AS X" << inWork;
        }
    }
    void readOnlyQueries()
    {
        QFETCH(QString, query);
        QFETCH(bool, inWork);
        if (testing::TestDatabase::onServer())
            connection().nativeQuery(QStringLiteral("CREATE OR REPLACE FUNCTION mrv_test_wipe() RETURNS INT "
                                                    "LANGUAGE sql AS 'DELETE FROM sys_val; SELECT 1'"));
        const qint32 before = valueRows();
        QVERIFY(before > 0);
        bool failed = false;
        QString error;
        inWork ? connection().beginWork() : void();
        QVERIFY(!connection().openRecordSet(query, host::rsQueryOnly, failed, error));
        QVERIFY(failed && !error.isEmpty());
        inWork ? connection().endWork() : void();
        QCOMPARE(valueRows(), before);
        // The connection writes again afterwards.
        connection().query(QStringLiteral("UPDATE SYS_VAL SET VLTXT = VLTXT"));
    }

    void getCommonFields_data()
    {
        QTest::addColumn<QStringList>("queries");
        QTest::addColumn<bool>("expectedResult");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("order of the last") << QStringList{"SELECT 1 AS A, 2 AS B, 3 AS C", "SELECT 3 AS C, 1 AS A"}
                                           << true << QStringList{"C", "A", "PARAM_USER_FULLNAME"};
        QTest::newRow("nothing shared") << QStringList{"SELECT 1 AS A", "SELECT 2 AS B"} << false << QStringList();
        QTest::newRow("one failing") << QStringList{"SELECT 1 AS A", "SELECT X FROM NOWHERE"} << false << QStringList();
        QTest::newRow("no dataset") << QStringList() << true << QStringList{"PARAM_USER_FULLNAME"};
    }
    void getCommonFields()
    {
        QFETCH(QStringList, queries);
        QFETCH(bool, expectedResult);
        QFETCH(QStringList, expected);
        QList<qint32> ids;
        for (const QString &query : queries)
            ids << testing::addDataset(connection(), QStringLiteral("CON_TRO"), query);
        QStringList fields;
        QString error;
        QCOMPARE(dataset(m_suite->session())->GetCommonFields(ids, fields, error), expectedResult);
        QCOMPARE(fields, expected);
        QCOMPARE(error.isEmpty(), !QByteArray(QTest::currentDataTag()).startsWith("one failing"));
    }

    // The print table is the dataset's own, or its main table.
    void linked()
    {
        const qint32 own = testing::addDataset(connection(), "DOC_VEN", "SELECT 1", "CODICE", "DOC_ACQ");
        const qint32 main = testing::addDataset(connection(), "DOC_VEN", "SELECT 1");
        auto source = dataset(m_suite->session());
        QCOMPARE(source->GetLinkedField(own, eDatasetLinkedField_Customer), QStringLiteral("CODICE"));
        QCOMPARE(source->GetLinkedField(main, eDatasetLinkedField_Customer), QString());
        QCOMPARE(source->GetLinkedTable(own, eDatasetLinkedField_PrintKey), QStringLiteral("DOC_ACQ"));
        QCOMPARE(source->GetLinkedTable(main, eDatasetLinkedField_PrintKey), QStringLiteral("DOC_VEN"));
    }
};

QTEST_GUILESS_MAIN(DatasetTest)
#include "tst_dataset.moc"
