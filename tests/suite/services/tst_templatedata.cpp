#include "DemoSuite.h"

#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteRecords.h"
#include "services/SuiteSession.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace mrv;
using namespace Qt::StringLiterals;

namespace {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(u"pdftotext"_s, {path, u"-"_s});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return u"<pdftotext failed: %1>"_s.arg(QString::fromUtf8(process.readAllStandardError()));
    // Ligatures ("ﬃ") come back as their letters.
    return QString::fromUtf8(process.readAllStandardOutput()).normalized(QString::NormalizationForm_KC).simplified();
}

} // namespace

// The suite's side of templates: the demo templates, which must name only
// what their datasets give and the suite knows, and the reports printed to
// PDF, read back with pdftotext.
class TemplateDataTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::DemoSuite> m_suite;
    QTemporaryDir m_dir;

    suite::db::SuiteConnection &connection() const { return *m_suite->session().connection(); }
    suite::SuiteRecords &records() const { return *m_suite->session().records(); }

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
        const QStringList fields = rows.columns + QStringList{u"PARAM_USER_FULLNAME"_s};
        for (const QVariant &linked : dataset.mid(2, 4))
            QVERIFY2(linked.toString().isEmpty() || fields.contains(linked.toString(), Qt::CaseInsensitive),
                     qPrintable(linked.toString()));
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

    // Scaled customers come with documents, with lines, for the datasets to read.
    void scalingAddsDocumentsWithLines()
    {
        const QString documents = u"SELECT COUNT(DISTINCT D.RECORD_ID) FROM A01_DOC_VEN D JOIN A01_CON_TRO C ON "
                                  u"C.CDCON = D.DTCON JOIN A01_DOC_RIG R ON R.IDDOC = D.RECORD_ID"_s;
        const int before = column(documents).value(0).toInt();
        suite::db::DemoData::addCustomers(connection(), u"A01"_s, 5);
        QCOMPARE(column(documents).value(0).toInt(), before + 5);
    }

    void printedReportShowsTheRecordAndItsLines_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("recordSql");
        QTest::addColumn<QString>("linesSql");
        QTest::newRow("sales document")
            << u"DOC_VEN_STAMPA"_s << u"DOC_VEN"_s
            << u"SELECT D.RECORD_ID, D.DTDES, D.DTNUM, D.DTDAT, C.CORAS FROM A01_DOC_VEN D "
               u"JOIN A01_CON_TRO C ON C.CDCON = D.DTCON WHERE D.DTNUM = 2"_s
            << u"SELECT R.RGDES FROM A01_DOC_RIG R JOIN A01_DOC_VEN D ON D.RECORD_ID = R.IDDOC "
               u"WHERE R.RGTBL = 'DOC_VEN' AND D.DTNUM = 2"_s;
        QTest::newRow("customer") << u"CON_TRO_SCHEDA"_s << u"CON_TRO"_s
                                  << u"SELECT C.RECORD_ID, C.CORAS, C.CDCON, MIN(D.DTDAT), C.COLOC FROM A01_CON_TRO C "
                                     u"JOIN A01_DOC_VEN D ON D.DTCON = C.CDCON WHERE C.CDCON = 'C000002' "
                                     u"GROUP BY C.RECORD_ID, C.CORAS, C.CDCON, C.COLOC"_s
                                  << u"SELECT DTDES FROM A01_DOC_VEN WHERE DTCON = 'C000002'"_s;
    }

    void printedReportShowsTheRecordAndItsLines()
    {
        QFETCH(QString, report);
        QFETCH(QString, table);
        QFETCH(QString, recordSql);
        QFETCH(QString, linesSql);
        const QVariantList record = connection().query(recordSql).rows.value(0);
        QVERIFY(!record.isEmpty());
        const QStringList lines = column(linesSql);
        QVERIFY(!lines.isEmpty());
        const QString path = m_dir.filePath(report + u".pdf"_s);
        QVERIFY(records().printReportToPdf(table, report, record.at(0).toString(), {}, {}, path));
        const QString text = pdfText(path);
        QStringList expected = {
            column(u"SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'A01'"_s).value(0),
            record.at(1).toString(),
            record.at(2).toString(),
            QDate::fromString(record.at(3).toString().left(10), Qt::ISODate).toString(u"dd/MM/yyyy"_s),
            record.at(4).toString(),
            u"Pagina 1 di 1"_s};
        for (const QString &line : lines)
            expected << line.simplified();
        for (const QString &wanted : expected)
            QVERIFY2(text.contains(wanted), qPrintable(wanted + u" not in: "_s + text));
    }

    // The lines' header row is repeated on each page.
    void longDocumentRepeatsItsHeaderOnEveryPage()
    {
        const QString key = column(u"SELECT RECORD_ID FROM A01_DOC_VEN WHERE DTNUM = 3"_s).value(0);
        for (int position = 100; position < 190; ++position)
            connection().nativeQuery(u"INSERT INTO A01_DOC_RIG (RGTBL, IDDOC, RGPOS, RGART, RGDES, RGQTA, RGPRZ) "
                                     u"VALUES ('DOC_VEN', ?, ?, 'X', 'Riga aggiunta', 1, 1)"_s,
                                     {key.toLongLong(), position});
        const QString path = m_dir.filePath(u"long.pdf"_s);
        QVERIFY(records().printReportToPdf(u"DOC_VEN"_s, u"DOC_VEN_STAMPA"_s, key, {}, {}, path));
        const QString text = pdfText(path);
        QVERIFY2(text.contains(u"Pagina 2 di "_s), qPrintable(text));
        QCOMPARE(text.count(u"Quantità"_s), text.count(u"Pagina "_s));
    }

    void badRequestFailsAndLeavesTheFileAlone_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keys");
        QTest::newRow("unknown report") << u"NESSUNO"_s << u"DOC_VEN"_s << u"1"_s;
        QTest::newRow("report of another table") << u"CON_TRO_SCHEDA"_s << u"DOC_VEN"_s << u"1"_s;
        QTest::newRow("no such record") << u"DOC_VEN_STAMPA"_s << u"DOC_VEN"_s << u"999999"_s;
        QTest::newRow("key that is no number") << u"DOC_VEN_STAMPA"_s << u"DOC_VEN"_s << u"1,x"_s;
    }

    void badRequestFailsAndLeavesTheFileAlone()
    {
        QFETCH(QString, report);
        QFETCH(QString, table);
        QFETCH(QString, keys);
        const QString path = m_dir.filePath(u"kept.pdf"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("before") == 6);
        file.close();
        QVERIFY_THROWS_EXCEPTION(Failure, records().printReportToPdf(table, report, keys, {}, {}, path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("before"));
    }

    void sentReportIsRecorded()
    {
        records().registerSentReport(u"DOC_VEN"_s, u"DOC_VEN_STAMPA"_s, u"4"_s, 77);
        QCOMPARE(connection().query(u"SELECT RSTBL, RSREP, RSKEY, IDMSG, RSUSR, RSAZI FROM SYS_RPS"_s).rows,
                 (QList<QVariantList>{{u"DOC_VEN"_s, u"DOC_VEN_STAMPA"_s, u"4"_s, 77, u"ROSSI"_s, u"A01"_s}}));
    }
};

QTEST_MAIN(TemplateDataTest)
#include "tst_templatedata.moc"
