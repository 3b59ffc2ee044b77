#include "DemoSuite.h"

#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"

#include <QRegularExpression>
#include <QtTest>

using namespace mrv;
using namespace Qt::StringLiterals;

// The demo templates are what the template classes are tried on: each must
// name only what its dataset gives and the suite knows.
class DemoTemplatesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::DemoSuite> m_suite;

    suite::db::SuiteConnection &connection() const { return *m_suite->session().connection(); }

    QStringList column(const QString &sql) const
    {
        QStringList values;
        for (const QVariantList &row : connection().query(sql).rows)
            values << row.first().toString();
        return values;
    }

private Q_SLOTS:
    void initTestCase() { m_suite = std::make_unique<testing::DemoSuite>(); }

    void templateFitsItsDatasetAndTheSuite_data()
    {
        QTest::addColumn<int>("templateId");
        for (const QString &id : column(u"SELECT RECORD_ID FROM SYS_MST ORDER BY RECORD_ID"_s))
            QTest::newRow(qPrintable(u"template "_s + id)) << id.toInt();
    }

    void templateFitsItsDatasetAndTheSuite()
    {
        QFETCH(int, templateId);
        const QVariantList dataset =
            connection()
                .query(u"SELECT T.DTQRY, T.DTTBL, T.DTCON, T.DTPRK, T.DTAGE, T.DTATT, "
                       u"M.MTTEM, M.MTOBJ, M.MTREC, M.MTREP FROM SYS_MST_DAT V "
                       u"JOIN SYS_DAT T ON T.RECORD_ID = V.IDDAT "
                       u"JOIN SYS_MST M ON M.RECORD_ID = V.IDMST WHERE V.IDMST = %1"_s.arg(templateId))
                .rows.value(0);
        QVERIFY(!dataset.isEmpty());
        // The query runs for two records of its table (every variable is a key).
        const QStringList keys =
            column(u"SELECT TOP 2 RECORD_ID FROM A01_%1 ORDER BY RECORD_ID"_s.arg(dataset.at(1).toString()));
        QString query = dataset.at(0).toString();
        query.replace(u"@1"_s, keys.first()).replace(u"@"_s, keys.join(u','));
        const suite::db::QueryResult rows = connection().query(query);
        QVERIFY(!rows.rows.isEmpty());
        QStringList fields{u"PARAM_USER_FULLNAME"_s};
        for (const QString &name : rows.columns)
            fields << name;
        for (int linked = 2; linked <= 5; ++linked) {
            const QString name = dataset.at(linked).toString();
            QVERIFY2(name.isEmpty() || fields.contains(name, Qt::CaseInsensitive), qPrintable(name));
        }
        static const QRegularExpression field(u"MERGEFIELD ([^}]+)\\}\\{\\\\fldrslt \\[\\1\\]\\}"_s);
        for (const int text : {6, 7}) {
            auto matches = field.globalMatch(dataset.at(text).toString());
            QVERIFY(matches.hasNext());
            while (matches.hasNext()) {
                const QString name = matches.next().captured(1);
                QVERIFY2(fields.contains(name, Qt::CaseInsensitive), qPrintable(name));
            }
        }
        const QStringList types = column(u"SELECT VLVAL FROM SYS_VAL WHERE VLTAB = 'SYS_MST' AND VLFLD = 'MTREC'"_s);
        for (const QString &code : dataset.at(8).toString().split(u'|'))
            QVERIFY2(types.contains(QString::number(qAbs(code.toInt()))), qPrintable(code));
        QCOMPARE(column(u"SELECT TBNAM FROM SYS_TBR WHERE CDREP = '%1'"_s.arg(dataset.at(9).toString())),
                 QStringList{dataset.at(1).toString()});
    }

    // Scaled customers come with documents and lines for the datasets to read.
    void scalingAddsDocumentsWithLines()
    {
        const int before = column(u"SELECT COUNT(*) FROM A01_DOC_VEN"_s).value(0).toInt();
        suite::db::DemoData::addCustomers(connection(), u"A01"_s, 5);
        QCOMPARE(
            column(u"SELECT COUNT(*) FROM A01_DOC_VEN D JOIN A01_CON_TRO C ON C.CDCON = D.DTCON"_s).value(0).toInt(),
            before + 5);
        QCOMPARE(column(u"SELECT COUNT(*) FROM A01_DOC_VEN D WHERE NOT EXISTS (SELECT 1 FROM A01_DOC_RIG R "
                        u"WHERE R.IDDOC = D.RECORD_ID AND R.RGTBL = 'DOC_VEN')"_s),
                 QStringList{u"0"_s});
    }
};

QTEST_MAIN(DemoTemplatesTest)
#include "tst_demotemplates.moc"
