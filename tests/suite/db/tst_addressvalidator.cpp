#include "db/SqlValueTools.h"

#include <QTest>

using namespace mrv::suite::db;

namespace {

QString repeated(char letter, int count)
{
    return QString(count, QLatin1Char(letter));
}

// local@label.label...: each label of the given length, joined by dots.
QString address(int localLength, const QList<int> &labelLengths)
{
    QStringList labels;
    for (const int length : labelLengths)
        labels << repeated('d', length);
    return repeated('l', localLength) + u'@' + labels.join(u'.');
}

} // namespace

// What the resolver accepts as an e-mail address or a fax number typed by
// hand, when the address book does not know it.
class AddressValidatorTest : public QObject
{
    Q_OBJECT

    SqlValueTools m_tools;

private Q_SLOTS:
    void emailAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "info@alfa.it" << true;
        QTest::newRow("dotted local part and domain") << "mario.rossi@brambilla.example.it" << true;
        QTest::newRow("plus tag") << "ordini+2026@alfa.it" << true;
        QTest::newRow("apostrophe") << "o'brien@example.ie" << true;
        QTest::newRow("upper case") << "INFO@ALFA.IT" << true;
        QTest::newRow("digits and hyphen in the domain") << "info@santoro-1.example.it" << true;
        QTest::newRow("blanks around") << "  info@alfa.it\t" << true;
        QTest::newRow("64 characters before the at") << address(64, {5, 2}) << true;
        QTest::newRow("63-character label") << address(4, {63, 2}) << true;
        QTest::newRow("254 characters") << address(64, {63, 63, 58, 2}) << true;

        QTest::newRow("empty") << "" << false;
        QTest::newRow("no at") << "info.alfa.it" << false;
        QTest::newRow("two ats") << "info@@alfa.it" << false;
        QTest::newRow("two addresses glued") << "a@b@alfa.it" << false;
        QTest::newRow("nothing before the at") << "@alfa.it" << false;
        QTest::newRow("nothing after the at") << "info@" << false;
        QTest::newRow("domain of one label") << "info@localhost" << false;
        QTest::newRow("blank inside") << "in fo@alfa.it" << false;
        QTest::newRow("list with semicolon") << "info@alfa.it; ordini@alfa.it" << false;
        QTest::newRow("list with comma") << "info@alfa.it,ordini@alfa.it" << false;
        QTest::newRow("line break between two") << "info@alfa.it\nordini@alfa.it" << false;
        QTest::newRow("name and address") << "Alfa <info@alfa.it>" << false;
        QTest::newRow("address in brackets") << "<info@alfa.it>" << false;
        QTest::newRow("quoted local part") << "\"info\"@alfa.it" << false;
        QTest::newRow("leading dot") << ".info@alfa.it" << false;
        QTest::newRow("dot before the at") << "info.@alfa.it" << false;
        QTest::newRow("two dots in the local part") << "info..x@alfa.it" << false;
        QTest::newRow("two dots in the domain") << "info@alfa..it" << false;
        QTest::newRow("dot after the at") << "info@.alfa.it" << false;
        QTest::newRow("trailing dot") << "info@alfa.it." << false;
        QTest::newRow("label starting with a hyphen") << "info@-alfa.it" << false;
        QTest::newRow("label ending with a hyphen") << "info@alfa-.it" << false;
        QTest::newRow("underscore in the domain") << "info@al_fa.it" << false;
        QTest::newRow("accented local part") << "nicolò@example.it" << false;
        QTest::newRow("accented domain") << "info@perché.it" << false;
        QTest::newRow("65 characters before the at") << address(65, {5, 2}) << false;
        QTest::newRow("64-character label") << address(4, {64, 2}) << false;
        QTest::newRow("255 characters") << address(64, {63, 63, 59, 2}) << false;
        QTest::newRow("10,000 characters") << address(9990, {5, 2}) << false;
    }

    void emailAddresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(m_tools.isEmailAddress(text), valid);
    }

    void faxNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("digits") << "061234567" << true;
        QTest::newRow("slash") << "06/1234567" << true;
        QTest::newRow("blank and hyphen") << "06 123-4567" << true;
        QTest::newRow("dots") << "06.123.45.67" << true;
        QTest::newRow("international with plus") << "+39 06 1234567" << true;
        QTest::newRow("international with zeros") << "0039 06 1234567" << true;
        QTest::newRow("brackets between digits") << "+39 (0)6 1234567" << true;
        QTest::newRow("blanks around") << " 06 1234567 " << true;
        QTest::newRow("three digits") << "112" << true;
        QTest::newRow("twenty digits") << repeated('7', 20) << true;

        QTest::newRow("empty") << "" << false;
        QTest::newRow("two digits") << "12" << false;
        QTest::newRow("twenty-one digits") << repeated('7', 21) << false;
        QTest::newRow("word") << "fax" << false;
        QTest::newRow("extension in words") << "06 1234567 int. 3" << false;
        QTest::newRow("plus alone") << "+" << false;
        QTest::newRow("two plus signs") << "++39 06 1234567" << false;
        QTest::newRow("plus inside") << "06+1234567" << false;
        QTest::newRow("leading separator") << "-061234567" << false;
        QTest::newRow("trailing separator") << "061234567-" << false;
        QTest::newRow("leading bracket") << "(06) 1234567" << false;
        QTest::newRow("tab inside") << "06\t1234567" << false;
        QTest::newRow("exponent") << "1e15" << false;
        QTest::newRow("list of two") << "061234567; 067654321" << false;
        QTest::newRow("full-width digits") << "０６１２３４５６７" << false;
        QTest::newRow("Arabic-Indic digits") << "٠٦١٢٣٤٥٦٧" << false;
        QTest::newRow("e-mail address") << "0612@alfa.it" << false;
        QTest::newRow("number in brackets") << "<061234567>" << false;
    }

    void faxNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(m_tools.isPhoneNumber(text), valid);
    }
};

QTEST_GUILESS_MAIN(AddressValidatorTest)
#include "tst_addressvalidator.moc"
