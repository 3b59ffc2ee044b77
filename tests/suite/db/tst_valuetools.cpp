#include "db/SqlValueTools.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "host/TypeCodes.h"

#include <QDateTime>
#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;

// The value tools decide what reaches the database: literals per type code
// and the platform's conversion rules.
class ValueToolsTest : public QObject
{
    Q_OBJECT

    SqlValueTools m_tools;

private Q_SLOTS:
    void literals_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<QString>("literal");
        QTest::newRow("text") << QVariant(QStringLiteral("it's")) << int(host::tcShortText)
                              << QStringLiteral("'it''s'");
        QTest::newRow("long text") << QVariant(QStringLiteral("a\rb")) << int(host::tcLongText)
                                   << QStringLiteral("'a\rb'");
        QTest::newRow("number as text") << QVariant(42) << int(host::tcShortText) << QStringLiteral("'42'");
        QTest::newRow("empty text") << QVariant() << int(host::tcText) << QStringLiteral("''");
        QTest::newRow("null text") << mrv::null() << int(host::tcShortText) << QStringLiteral("NULL");
        QTest::newRow("code 16") << QVariant(QStringLiteral("x")) << int(host::tcNull) << QStringLiteral("NULL");
        QTest::newRow("int") << QVariant(7) << int(host::tcInt32) << QStringLiteral("7");
        QTest::newRow("int text") << QVariant(QStringLiteral(" -12 ")) << int(host::tcInt16) << QStringLiteral("-12");
        QTest::newRow("decimal") << QVariant(2.5) << int(host::tcInt32) << QStringLiteral("2.5");
        QTest::newRow("empty number") << QVariant() << int(host::tcInt32) << QStringLiteral("0");
        QTest::newRow("true") << QVariant(true) << int(host::tcBoolean) << QStringLiteral("1");
        QTest::newRow("-1") << QVariant(QStringLiteral("-1")) << int(host::tcBoolean) << QStringLiteral("1");
        QTest::newRow("False text") << QVariant(QStringLiteral("False")) << int(host::tcBoolean) << QStringLiteral("0");
        QTest::newRow("date") << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))) << int(host::tcDateTime)
                              << QStringLiteral("'2026-01-02 03:04:05'");
        QTest::newRow("date text") << QVariant(QStringLiteral("2026-01-02")) << int(host::tcDateTime)
                                   << QStringLiteral("'2026-01-02 00:00:00'");
        QTest::newRow("empty date") << QVariant(QString()) << int(host::tcDateTime) << QStringLiteral("NULL");
    }

    void literals()
    {
        QFETCH(QVariant, value);
        QFETCH(int, typeCode);
        QFETCH(QString, literal);
        QCOMPARE(m_tools.sqlLiteral(value, typeCode), literal);
    }

    void mismatchesAreErrors_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("typeCode");
        QTest::newRow("word as number") << QVariant(QStringLiteral("1; DROP")) << int(host::tcInt32);
        QTest::newRow("word as date") << QVariant(QStringLiteral("yesterday")) << int(host::tcDateTime);
        QTest::newRow("injection as number") << QVariant(QStringLiteral("1 OR 1=1")) << int(host::tcInt16);
    }

    void mismatchesAreErrors()
    {
        QFETCH(QVariant, value);
        QFETCH(int, typeCode);
        QVERIFY_THROWS_EXCEPTION(Failure, m_tools.sqlLiteral(value, typeCode));
    }

    void conversions_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("number");
        QTest::addColumn<bool>("boolean");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("empty") << QVariant() << 0.0 << false << true;
        QTest::newRow("null") << mrv::null() << 0.0 << false << false;
        QTest::newRow("true") << QVariant(true) << -1.0 << true << true;
        QTest::newRow("-1 text") << QVariant(QStringLiteral("-1")) << -1.0 << true << true;
        QTest::newRow("1 text") << QVariant(QStringLiteral("1")) << 1.0 << true << true;
        QTest::newRow("0 text") << QVariant(QStringLiteral("0")) << 0.0 << false << true;
        QTest::newRow("True text") << QVariant(QStringLiteral("true")) << -1.0 << true << false;
        QTest::newRow("decimal text") << QVariant(QStringLiteral("3.25")) << 3.25 << true << true;
        QTest::newRow("word") << QVariant(QStringLiteral("abc")) << 0.0 << false << false;
        QTest::newRow("blank") << QVariant(QStringLiteral("  ")) << 0.0 << false << false;
        QTest::newRow("int") << QVariant(5) << 5.0 << true << true;
    }

    void conversions()
    {
        QFETCH(QVariant, value);
        QFETCH(double, number);
        QFETCH(bool, boolean);
        QFETCH(bool, numeric);
        QCOMPARE(m_tools.toNumber(value), number);
        QCOMPARE(m_tools.toBoolean(value), boolean);
        QCOMPARE(m_tools.isNumeric(value), numeric);
    }

    void nullSafeReads()
    {
        QCOMPARE(m_tools.nullSafe(mrv::null()), QVariant(QString()));
        QCOMPARE(m_tools.nullSafe(QVariant(QMetaType::fromType<QString>())), QVariant(QString()));
        QCOMPARE(m_tools.nullSafe(QVariant(3)), QVariant(3));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("Offerta 12.pdf") << QStringLiteral("Offerta 12.pdf");
        QTest::newRow("separators") << QStringLiteral("a/b\\c:d") << QStringLiteral("a_b_c_d");
        QTest::newRow("wildcards") << QStringLiteral("x*?\"<>|y") << QStringLiteral("x______y");
        QTest::newRow("traversal") << QStringLiteral("../../x") << QStringLiteral(".._.._x");
        QTest::newRow("dots only") << QStringLiteral("..") << QStringLiteral("_");
        QTest::newRow("reserved") << QStringLiteral("con") << QStringLiteral("_con");
        QTest::newRow("reserved ext") << QStringLiteral("LPT1.txt") << QStringLiteral("_LPT1.txt");
        QTest::newRow("trailing") << QStringLiteral("name. . ") << QStringLiteral("name");
        QTest::newRow("control") << QStringLiteral("a\nb\tc") << QStringLiteral("a_b_c");
        QTest::newRow("empty") << QString() << QStringLiteral("_");
        QTest::newRow("unicode") << QStringLiteral("Perché è.txt") << QStringLiteral("Perché è.txt");
    }

    void fileNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(m_tools.cleanFileName(text), name);
    }
};

QTEST_GUILESS_MAIN(ValueToolsTest)
#include "tst_valuetools.moc"
