#include "db/SqlValueTools.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "host/TypeCodes.h"

#include <QDateTime>
#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

namespace {

// local@label.label...: each label of the given length, joined by dots.
QString address(int localLength, const QList<int> &labelLengths)
{
    QStringList labels;
    for (const int length : labelLengths)
        labels << QString(length, u'd');
    return QString(localLength, u'l') + u'@' + labels.join(u'.');
}

} // namespace

// The value tools decide what reaches the database (literals per type code,
// the platform's conversion rules, file names) and what the resolver accepts
// as an address typed by hand when the address book does not know it.
class ValueToolsTest : public QObject
{
    Q_OBJECT

    SqlValueTools m_tools;

private Q_SLOTS:
    // A null expected literal means the value must be refused.
    void literals_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("typeCode");
        QTest::addColumn<QString>("literal");
        QTest::newRow("text") << QVariant(u"it's"_s) << int(host::tcShortText) << u"'it''s'"_s;
        QTest::newRow("empty text") << QVariant() << int(host::tcText) << u"''"_s;
        QTest::newRow("null text") << mrv::null() << int(host::tcShortText) << u"NULL"_s;
        QTest::newRow("code 16") << QVariant(u"x"_s) << int(host::tcNull) << u"NULL"_s;
        QTest::newRow("int text") << QVariant(u" -12 "_s) << int(host::tcInt16) << u"-12"_s;
        QTest::newRow("decimal") << QVariant(2.5) << int(host::tcInt32) << u"2.5"_s;
        QTest::newRow("empty number") << QVariant() << int(host::tcInt32) << u"0"_s;
        QTest::newRow("-1") << QVariant(u"-1"_s) << int(host::tcBoolean) << u"1"_s;
        QTest::newRow("False text") << QVariant(u"False"_s) << int(host::tcBoolean) << u"0"_s;
        QTest::newRow("date") << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))) << int(host::tcDateTime)
                              << u"'2026-01-02 03:04:05'"_s;
        QTest::newRow("date text") << QVariant(u"2026-01-02"_s) << int(host::tcDateTime) << u"'2026-01-02 00:00:00'"_s;
        QTest::newRow("empty date") << QVariant(QString()) << int(host::tcDateTime) << u"NULL"_s;
        QTest::newRow("injection as number") << QVariant(u"1 OR 1=1"_s) << int(host::tcInt16) << QString();
        QTest::newRow("word as date") << QVariant(u"yesterday"_s) << int(host::tcDateTime) << QString();
    }

    void literals()
    {
        QFETCH(QVariant, value);
        QFETCH(int, typeCode);
        QFETCH(QString, literal);
        if (literal.isNull())
            QVERIFY_THROWS_EXCEPTION(Failure, m_tools.sqlLiteral(value, typeCode));
        else
            QCOMPARE(m_tools.sqlLiteral(value, typeCode), literal);
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
        QTest::newRow("True text") << QVariant(u"true"_s) << -1.0 << true << false;
        QTest::newRow("decimal text") << QVariant(u"3.25"_s) << 3.25 << true << true;
        QTest::newRow("0 text") << QVariant(u"0"_s) << 0.0 << false << true;
        QTest::newRow("word") << QVariant(u"abc"_s) << 0.0 << false << false;
        QTest::newRow("blank") << QVariant(u"  "_s) << 0.0 << false << false;
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
        QCOMPARE(m_tools.nullSafe(value), value.isValid() && !mrv::isNull(value) ? value : QVariant(QString()));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << u"Perché 12.pdf"_s << u"Perché 12.pdf"_s;
        QTest::newRow("separators and wildcards") << u"a/b\\c:d*?\"<>|y"_s << u"a_b_c_d______y"_s;
        QTest::newRow("traversal") << u"../../x"_s << u".._.._x"_s;
        QTest::newRow("dots only") << u".."_s << u"_"_s;
        QTest::newRow("reserved with extension") << u"lpt1.txt"_s << u"_lpt1.txt"_s;
        QTest::newRow("trailing dots and blanks") << u"name. . "_s << u"name"_s;
        QTest::newRow("control") << u"a\nb\tc"_s << u"a_b_c"_s;
    }

    void fileNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(m_tools.cleanFileName(text), name);
    }

    void typedAddresses_data()
    {
        QTest::addColumn<bool>("fax");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *name, bool fax, const QString &text, bool valid) {
            QTest::newRow(name) << fax << text << valid;
        };
        row("e-mail", false, u"  o'brien+2026@santoro-1.example.IT\t"_s, true);
        row("e-mail at every length limit", false, address(64, {63, 63, 58, 2}), true);
        row("no at", false, u"info.alfa.it"_s, false);
        row("domain of one label", false, u"info@localhost"_s, false);
        row("list of two", false, u"info@alfa.it; ordini@alfa.it"_s, false);
        row("name and address", false, u"Alfa <info@alfa.it>"_s, false);
        row("leading dot", false, u".info@alfa.it"_s, false);
        row("dot before the at", false, u"info.@alfa.it"_s, false);
        row("two dots", false, u"info@alfa..it"_s, false);
        row("label ending with a hyphen", false, u"info@alfa-.it"_s, false);
        row("accented", false, u"nicolò@example.it"_s, false);
        row("65 characters before the at", false, address(65, {5, 2}), false);
        row("255 characters", false, address(64, {63, 63, 59, 2}), false);
        row("fax", true, u" +39 (0)6 123-45.67/8 "_s, true);
        row("twenty digits", true, QString(20, u'7'), true);
        row("two digits", true, u"12"_s, false);
        row("twenty-one digits", true, QString(21, u'7'), false);
        row("words", true, u"06 1234567 int. 3"_s, false);
        row("trailing separator", true, u"061234567-"_s, false);
        row("leading bracket", true, u"(06) 1234567"_s, false);
        row("full-width digits", true, u"０６１２３４５６７"_s, false);
    }

    void typedAddresses()
    {
        QFETCH(bool, fax);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(fax ? m_tools.isPhoneNumber(text) : m_tools.isEmailAddress(text), valid);
    }
};

QTEST_GUILESS_MAIN(ValueToolsTest)
#include "tst_valuetools.moc"
