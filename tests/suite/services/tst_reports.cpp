#include "DemoSuite.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteRecords.h"
#include "services/SuiteSession.h"

#include <QProcess>
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

QString dateOf(const QVariant &value)
{
    const QDateTime stamp = value.toDateTime().isValid()
                                ? value.toDateTime()
                                : QDateTime::fromString(value.toString().replace(u' ', u'T'), Qt::ISODate);
    return stamp.toString(u"dd/MM/yyyy"_s);
}

} // namespace

// The suite's reports printed to PDF from the demo data and read back with
// pdftotext.
class ReportsTest : public QObject
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
        QStringList expected = {column(u"SELECT AZRAS FROM SYS_AZI WHERE CDAZI = 'A01'"_s).value(0),
                                record.at(1).toString(),
                                record.at(2).toString(),
                                dateOf(record.at(3)),
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
        const qsizetype pages = text.count(u"Pagina "_s);
        QCOMPARE(text.count(u"Quantità"_s), pages);
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

QTEST_MAIN(ReportsTest)
#include "tst_reports.moc"
