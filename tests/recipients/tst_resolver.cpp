#include "DemoSuite.h"

#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite;

namespace {

// What the installation configures: "EXCHANGE_MODE", "FAX_SERVER" and
// "SHOW_FAX_EVER".
struct Installation
{
    QString exchangeMode;
    QString faxServer;
    QString showFaxEver;
};

const Installation kNoTransport{QStringLiteral("NONE"), QStringLiteral("NONE"), QStringLiteral("0")};
const Installation kMail{QStringLiteral("ACCOUNT"), QStringLiteral("NONE"), QStringLiteral("0")};
const Installation kFaxServer{QStringLiteral("NONE"), QStringLiteral("FAXSRV"), QStringLiteral("0")};
const Installation kFaxShownEver{QStringLiteral("NONE"), QStringLiteral("NONE"), QStringLiteral("1")};
const Installation kMailAndFax{QStringLiteral("ACCOUNT"), QStringLiteral("FAXSRV"), QStringLiteral("0")};

// The optional arguments of ResolveRecipients after the lists.
struct Call
{
    bool showSuggestions = false;
    bool email = true;
    bool fax = true;
    bool addressBookServer = false;
    bool useServerConfig = false;
};

struct Outcome
{
    bool allFound = false;
    QString resolved;
    QString unknown;
};

// The chooser of a host whose address-book window fails.
class FailingChooser : public ScriptedInteraction
{
public:
    QString chooseRecipients(QWidget *, const QString &, const QString &) override
    {
        throw Failure(QStringLiteral("The address book cannot be shown"));
    }
};

} // namespace

Q_DECLARE_METATYPE(Installation)
Q_DECLARE_METATYPE(Call)

// Typed recipients resolved through the component's public operation against
// the demo suite's address book (users, groups, customers with contacts,
// branches and agents), with the host's chooser answering from a script.
class ResolverTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::shared_ptr<ScriptedInteraction> m_chooser;

    SuiteSession &session() const { return m_suite->session(); }

    void install(const Installation &installation) const
    {
        const auto config = session().config();
        config->setValue(QStringLiteral("EXCHANGE_MODE"), installation.exchangeMode);
        config->setValue(QStringLiteral("FAX_SERVER"), installation.faxServer);
        config->setValue(QStringLiteral("SHOW_FAX_EVER"), installation.showFaxEver);
    }

    Outcome resolve(const QString &typed, const Call &call = {}, const QString &resolved = {},
                    const QString &unknown = {}) const
    {
        Outcome outcome{false, resolved, unknown};
        outcome.allFound = session().message()->ResolveRecipients(nullptr, typed, outcome.resolved, &outcome.unknown,
                                                                  call.showSuggestions, call.email, call.fax,
                                                                  call.addressBookServer, call.useServerConfig);
        return outcome;
    }

    QList<InteractionCall> chooserCalls() const { return m_chooser->calls(QStringLiteral("chooseRecipients")); }

    // The recipient texts the address book search gives for an item, in order.
    QStringList searchResults(const QString &item, const Installation &installation) const
    {
        const QString sql = QStringLiteral("SELECT IND FROM dbo.XFN_IND_ALL_CHK('%1', %2, %3, 0)")
                                .arg(item)
                                .arg(installation.exchangeMode == QLatin1String("NONE") ? 0 : 1)
                                .arg(installation.faxServer == QLatin1String("NONE") ? 0 : 1);
        QStringList texts;
        for (const QVariantList &row : session().connection()->query(sql).rows)
            texts << row.value(0).toString();
        return texts;
    }

    QStringList reports() const
    {
        QStringList texts;
        for (const ErrorReport &report : session().errors()->recentReports())
            texts << report.object + QLatin1Char('.') + report.procedure + QStringLiteral(": ") + report.description;
        return texts;
    }

private Q_SLOTS:
    void initTestCase() { m_suite = std::make_unique<testing::DemoSuite>(); }

    void init()
    {
        m_chooser = std::make_shared<ScriptedInteraction>();
        session().records()->setInteraction(m_chooser);
        session().errors()->clearRecentReports();
        install(kNoTransport);
    }

    // Whatever the case, nothing may have failed on the way.
    void cleanup() { QCOMPARE(reports(), QStringList()); }

    void cleanupTestCase() { m_suite.reset(); }

    void resolvesByTheDecisionOrder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Installation>("installation");
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<QString>("unknown");

        const QString santoroMail = QStringLiteral("Santoro Meccanica S.r.l. <info@santoro1.example.it>");
        const QString unknownAddress = QStringLiteral("nessuno@altrove.example.com");
        const QString unknownNumber = QStringLiteral("06 1234567");

        // An exact match of the text between angle brackets keeps the item as typed.
        QTest::newRow("user code in brackets")
            << "Mario Rossi <ROSSI>" << kNoTransport << Call{} << "Mario Rossi <ROSSI>"
            << "";
        QTest::newRow("user code in brackets, quoted, another case")
            << "Capo <\"rossi\">" << kNoTransport << Call{} << "Capo <\"rossi\">"
            << "";
        QTest::newRow("group code alone in brackets") << "<VENDITE>" << kNoTransport << Call{} << "<VENDITE>"
                                                      << "";
        QTest::newRow("known address in brackets") << "Ufficio acquisti <info@santoro1.example.it>" << kMail << Call{}
                                                   << "Ufficio acquisti <info@santoro1.example.it>"
                                                   << "";
        QTest::newRow("known address in brackets, e-mail not allowed")
            << "Ufficio acquisti <info@santoro1.example.it>" << kFaxServer << Call{} << ""
            << "Ufficio acquisti <info@santoro1.example.it>";
        QTest::newRow("known fax number in brackets")
            << "Santoro <\"02/4000038\">" << kFaxServer << Call{} << "Santoro <\"02/4000038\">"
            << "";
        QTest::newRow("customer code in brackets is no exact match")
            << "Santoro <C000001>" << kMailAndFax << Call{} << ""
            << "Santoro <C000001>";

        // A single entry found by the search replaces the item.
        QTest::newRow("user code") << "ROSSI" << kNoTransport << Call{} << "Mario Rossi <ROSSI>"
                                   << "";
        QTest::newRow("user by first name") << "laura" << kNoTransport << Call{} << "Laura Bianchi <BIANCHI>"
                                            << "";
        QTest::newRow("group by the start of its name")
            << "amministraz" << kNoTransport << Call{} << "Amministrazione <AMMINISTR>"
            << "";
        QTest::newRow("known address") << "INFO@santoro1.example.it" << kMail << Call{} << santoroMail << "";
        QTest::newRow("known fax number written otherwise")
            << "02-4000038" << kFaxServer << Call{} << "Santoro Meccanica S.r.l. <\"02 4000038\">"
            << "";
        QTest::newRow("customer code, e-mail only") << "c000001" << kMail << Call{} << santoroMail << "";
        QTest::newRow("customer code, no channel allowed") << "C000001" << kNoTransport << Call{} << ""
                                                           << "C000001";
        QTest::newRow("contact by surname")
            << "Lombardi" << kMail << Call{} << "Stefano Lombardi <stefano@marini2.example.it>"
            << "";
        QTest::newRow("agent by first name")
            << "Beatrice" << kMail << Call{} << "Beatrice Greco <beatrice.greco@agenti.example.it>"
            << "";
        QTest::newRow("branch by name, fax only") << "gatti forniture s.n.c. - mag" << kFaxServer << Call{}
                                                  << "Gatti Forniture S.n.c. - Magazzino <\"081 4000447\">"
                                                  << "";
        QTest::newRow("known fax number, fax not allowed") << "02/4000038" << kMail << Call{} << ""
                                                           << "02/4000038";

        // Server-side resolution accepts codes, addresses and numbers, not names.
        QTest::newRow("server: user code")
            << "bianchi" << kNoTransport << Call{.addressBookServer = true} << "Laura Bianchi <BIANCHI>"
            << "";
        QTest::newRow("server: no names") << "laura" << kNoTransport << Call{.addressBookServer = true} << ""
                                          << "laura";

        // Addresses and numbers unknown to the book, by availability.
        QTest::newRow("unknown address, e-mail allowed") << unknownAddress << kMail << Call{} << unknownAddress << "";
        QTest::newRow("unknown address, no transport")
            << unknownAddress << kNoTransport << Call{} << "" << unknownAddress;
        QTest::newRow("unknown address, bEmail False")
            << unknownAddress << kMail << Call{.email = false} << "" << unknownAddress;
        QTest::newRow("unknown address, fax allowed only")
            << unknownAddress << kMailAndFax << Call{.email = false} << "" << unknownAddress;
        QTest::newRow("server configuration: bEmail alone decides")
            << unknownAddress << kNoTransport << Call{.useServerConfig = true} << unknownAddress << "";
        QTest::newRow("server configuration: bEmail False")
            << unknownAddress << kMail << Call{.email = false, .useServerConfig = true} << "" << unknownAddress;
        QTest::newRow("unknown number, fax server") << unknownNumber << kFaxServer << Call{} << unknownNumber << "";
        QTest::newRow("unknown number, fax shown ever")
            << "+39 06 1234567" << kFaxShownEver << Call{} << "+39 06 1234567"
            << "";
        QTest::newRow("unknown number, no transport") << unknownNumber << kNoTransport << Call{} << "" << unknownNumber;
        QTest::newRow("unknown number, bFax False")
            << unknownNumber << kFaxServer << Call{.fax = false} << "" << unknownNumber;
        QTest::newRow("unknown number, e-mail allowed only") << unknownNumber << kMail << Call{} << "" << unknownNumber;
        QTest::newRow("server configuration does not allow fax")
            << unknownNumber << kNoTransport << Call{.useServerConfig = true} << "" << unknownNumber;
        QTest::newRow("unknown word") << "Zorzi" << kMailAndFax << Call{} << ""
                                      << "Zorzi";
    }

    void resolvesByTheDecisionOrder()
    {
        QFETCH(QString, typed);
        QFETCH(Installation, installation);
        QFETCH(Call, call);
        QFETCH(QString, resolved);
        QFETCH(QString, unknown);
        install(installation);

        const Outcome outcome = resolve(typed, call);
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, unknown);
        QCOMPARE(outcome.allFound, unknown.isEmpty());
        QCOMPARE(chooserCalls().size(), 0);
    }

    void severalEntriesWithoutSuggestionsGiveTheLast_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Installation>("installation");
        QTest::newRow("two groups") << "Ufficio" << kNoTransport;
        QTest::newRow("customer, contact, branch and agent") << "Greco" << kMailAndFax;
        QTest::newRow("one customer by e-mail and by fax") << "Santoro" << kMailAndFax;
    }

    void severalEntriesWithoutSuggestionsGiveTheLast()
    {
        QFETCH(QString, typed);
        QFETCH(Installation, installation);
        install(installation);
        const QStringList entries = searchResults(typed, installation);
        QVERIFY2(entries.size() >= 2 && entries.first() != entries.last(), qPrintable(entries.join(u'|')));

        const Outcome outcome = resolve(typed);
        QCOMPARE(outcome.resolved, entries.last());
        QCOMPARE(outcome.unknown, QString());
        QVERIFY(outcome.allFound);
        QCOMPARE(chooserCalls().size(), 0);
    }

    void suggestionsGoThroughTheChooser_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Installation>("installation");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("codeList");
        QTest::addColumn<QString>("resolved");

        const QString groups = QStringLiteral("'SYS_GRU:TECNICO','SYS_GRU:VENDITE'");
        const QString sales = QStringLiteral("Ufficio vendite <VENDITE>");
        const QString both = QStringLiteral("Ufficio tecnico <TECNICO>; Ufficio vendite <VENDITE>");
        const QString address = QStringLiteral("nessuno@altrove.example.com");
        QTest::newRow("several entries, one chosen") << "Ufficio" << kNoTransport << sales << true << groups << sales;
        QTest::newRow("several entries, two chosen") << "Ufficio" << kNoTransport << both << true << groups << both;
        QTest::newRow("several entries, nothing chosen") << "Ufficio" << kNoTransport << "" << true << groups << "";
        QTest::newRow("no entry, one chosen") << "Nicolò Perché" << kNoTransport << "Mario Rossi <ROSSI>" << true << ""
                                              << "Mario Rossi <ROSSI>";
        QTest::newRow("no entry, nothing chosen") << "Zorzi" << kMailAndFax << "" << true << ""
                                                  << "";
        QTest::newRow("unknown address, e-mail not allowed") << address << kNoTransport << "" << true << ""
                                                             << "";
        QTest::newRow("one entry needs no choice") << "laura" << kNoTransport << sales << false << ""
                                                   << "Laura Bianchi <BIANCHI>";
        QTest::newRow("exact match needs no choice") << "Capo <ROSSI>" << kNoTransport << sales << false << ""
                                                     << "Capo <ROSSI>";
        QTest::newRow("unknown address accepted first") << address << kMail << sales << false << "" << address;
        QTest::newRow("unknown number accepted first") << "06 1234567" << kFaxServer << sales << false << ""
                                                       << "06 1234567";
    }

    void suggestionsGoThroughTheChooser()
    {
        QFETCH(QString, typed);
        QFETCH(Installation, installation);
        QFETCH(QString, answer);
        QFETCH(bool, asked);
        QFETCH(QString, codeList);
        QFETCH(QString, resolved);
        install(installation);
        // Without an answer queued the scripted chooser chooses nothing, as
        // in the command line.
        if (!answer.isEmpty())
            m_chooser->queueChosenRecipients(answer);

        const Outcome outcome = resolve(typed, Call{.showSuggestions = true});
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, QString());
        QVERIFY(outcome.allFound);
        const QList<InteractionCall> calls = chooserCalls();
        QCOMPARE(calls.size(), asked ? 1 : 0);
        if (asked)
            QCOMPARE(calls.first().arguments.mid(1), (QVariantList{codeList, typed}));
    }

    void appendsAfterWhatTheCallerPassed_data()
    {
        QTest::addColumn<QString>("resolvedBefore");
        QTest::addColumn<QString>("unknownBefore");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<QString>("unknown");
        QTest::addColumn<bool>("allFound");

        const QString rossi = QStringLiteral("Mario Rossi <ROSSI>");
        const QString bianchi = QStringLiteral("Laura Bianchi <BIANCHI>");
        QTest::newRow("empty lists") << ""
                                     << ""
                                     << "bianchi; Zorzi" << bianchi << "Zorzi" << false;
        QTest::newRow("resolved list kept") << rossi << ""
                                            << "bianchi" << rossi + "; " + bianchi << "" << true;
        QTest::newRow("unknown list kept") << ""
                                           << "Pluto"
                                           << "Zorzi"
                                           << ""
                                           << "Pluto; Zorzi" << false;
        QTest::newRow("an unknown list passed in stays unknown") << ""
                                                                 << "Pluto"
                                                                 << "bianchi" << bianchi << "Pluto" << false;
        QTest::newRow("items in order, blanks and empty items skipped")
            << rossi << ""
            << " bianchi ;; <VENDITE> ; ;Zorzi;Pluto " << rossi + "; " + bianchi + "; <VENDITE>"
            << "Zorzi; Pluto" << false;
        QTest::newRow("empty input") << ""
                                     << ""
                                     << ""
                                     << ""
                                     << "" << true;
        QTest::newRow("empty input keeps the lists") << rossi << "Pluto"
                                                     << "" << rossi << "Pluto" << false;
        QTest::newRow("separators and blanks only") << rossi << ""
                                                    << " ; ;;\t; " << rossi << "" << true;
    }

    void appendsAfterWhatTheCallerPassed()
    {
        QFETCH(QString, resolvedBefore);
        QFETCH(QString, unknownBefore);
        QFETCH(QString, typed);
        QFETCH(QString, resolved);
        QFETCH(QString, unknown);
        QFETCH(bool, allFound);

        const Outcome outcome = resolve(typed, {}, resolvedBefore, unknownBefore);
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, unknown);
        QCOMPARE(outcome.allFound, allFound);
    }

    void unknownListMayBeLeftOut_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<bool>("allFound");
        QTest::newRow("all found") << "bianchi; <ROSSI>"
                                   << "Laura Bianchi <BIANCHI>; <ROSSI>" << true;
        QTest::newRow("one unknown") << "bianchi; Zorzi"
                                     << "Laura Bianchi <BIANCHI>" << false;
        QTest::newRow("nothing typed") << ""
                                       << "" << true;
    }

    void unknownListMayBeLeftOut()
    {
        QFETCH(QString, typed);
        QFETCH(QString, resolved);
        QFETCH(bool, allFound);
        QString resolvedList;
        QCOMPARE(session().message()->ResolveRecipients(nullptr, typed, resolvedList), allFound);
        QCOMPARE(resolvedList, resolved);
    }

    void badInputNeverRaises_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<QString>("unknown");

        const QString longWord(10000, u'x');
        const QString longName = QString(10000, u'y') + QStringLiteral(" <ROSSI>");
        const QString longAddress = QString(9990, u'a') + QStringLiteral("@example.it");
        const QString deepParentheses = QString(500, u'(') + QStringLiteral("bianchi") + QString(500, u')');
        QTest::newRow("stray separators") << ";;;bianchi;;;"
                                          << "Laura Bianchi <BIANCHI>"
                                          << "";
        QTest::newRow("two opening brackets") << "<<a"
                                              << ""
                                              << "<<a";
        QTest::newRow("closing bracket only") << "a>"
                                              << ""
                                              << "a>";
        QTest::newRow("lone double quote") << "\""
                                           << ""
                                           << "\"";
        QTest::newRow("empty brackets") << "Mario <>"
                                        << ""
                                        << "Mario <>";
        QTest::newRow("brackets the wrong way round") << "Mario > ROSSI <"
                                                      << ""
                                                      << "Mario > ROSSI <";
        QTest::newRow("unbalanced quote inside brackets") << "<\"ROSSI>"
                                                          << "<\"ROSSI>"
                                                          << "";
        QTest::newRow("10,000-character word") << longWord << "" << longWord;
        QTest::newRow("10,000-character name with a code") << longName << longName << "";
        QTest::newRow("10,000-character address") << longAddress << "" << longAddress;
        QTest::newRow("accented name") << "Nicolò Perché"
                                       << ""
                                       << "Nicolò Perché";
        QTest::newRow("accented text in brackets") << "Nicolò <Perché>"
                                                   << ""
                                                   << "Nicolò <Perché>";
        QTest::newRow("other scripts") << "Ζεύς;東京"
                                       << ""
                                       << "Ζεύς; 東京";
        QTest::newRow("statement after a quote") << "x'; DROP TABLE SYS_USR; --"
                                                 << ""
                                                 << "x'; DROP TABLE SYS_USR; --";
        QTest::newRow("condition after a quote") << "') OR 1=1 --"
                                                 << ""
                                                 << "') OR 1=1 --";
        QTest::newRow("comment around a code") << "/* bianchi */"
                                               << ""
                                               << "/* bianchi */";
        QTest::newRow("parameter and prefix markers") << "@TEXT $PIND_KEY"
                                                      << ""
                                                      << "@TEXT $PIND_KEY";
        QTest::newRow("a function call") << "dbo.XFN_IND_ALL_CNT('a', 1, 1, 0)"
                                         << ""
                                         << "dbo.XFN_IND_ALL_CNT('a', 1, 1, 0)";
        QTest::newRow("deep parentheses") << deepParentheses << "" << deepParentheses;
        const QString withNul = QStringLiteral("bian") + QChar(0) + QStringLiteral("chi");
        const QString loneSurrogate = QStringLiteral("Mario ") + QChar(0xD800) + QStringLiteral(" <ROSSI>");
        QTest::newRow("NUL inside a code") << withNul << "" << withNul;
        QTest::newRow("broken UTF-16") << loneSurrogate << "" << loneSurrogate;
        QTest::newRow("control characters inside") << "Mario\tRossi\r\n<ROSSI>"
                                                   << "Mario\tRossi\r\n<ROSSI>"
                                                   << "";
    }

    void badInputNeverRaises()
    {
        QFETCH(QString, typed);
        QFETCH(QString, resolved);
        QFETCH(QString, unknown);
        install(kMailAndFax);
        const QVariant users = m_suite->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_USR"));

        const Outcome outcome = resolve(typed);
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, unknown);
        QCOMPARE(outcome.allFound, unknown.isEmpty());
        QCOMPARE(m_suite->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_USR")), users);
    }

    void missingHostObjectsAreReported_data()
    {
        QTest::addColumn<bool>("withConnection");
        QTest::addColumn<bool>("withRecords");
        QTest::newRow("Connection not set") << false << true;
        QTest::newRow("Records not set") << true << false;
    }

    void missingHostObjectsAreReported()
    {
        QFETCH(bool, withConnection);
        QFETCH(bool, withRecords);
        mrvMessage message;
        message.setConnection(withConnection ? session().connection() : nullptr);
        message.setRecords(withRecords ? session().records() : nullptr);
        message.setConfigClass(session().config());
        message.setErrors(session().errors());
        QString resolved = QStringLiteral("Mario Rossi <ROSSI>");
        QString unknown = QStringLiteral("Pluto");

        QVERIFY(!message.ResolveRecipients(nullptr, QStringLiteral("bianchi; Zorzi"), resolved, &unknown));
        QCOMPARE(resolved, QStringLiteral("Mario Rossi <ROSSI>"));
        QCOMPARE(unknown, QStringLiteral("Pluto"));
        const QList<ErrorReport> reported = session().errors()->recentReports();
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported.first().object, QStringLiteral("mrvMessage"));
        QCOMPARE(reported.first().procedure, QStringLiteral("ResolveRecipients"));
        session().errors()->clearRecentReports();
    }

    // A failure half-way keeps what was appended before it.
    void failingChooserKeepsWhatWasAppended()
    {
        session().records()->setInteraction(std::make_shared<FailingChooser>());
        QString resolved;
        QString unknown = QStringLiteral("Pluto");

        QVERIFY(!session().message()->ResolveRecipients(nullptr, QStringLiteral("bianchi; Ufficio; <ROSSI>"), resolved,
                                                        &unknown, true));
        QCOMPARE(resolved, QStringLiteral("Laura Bianchi <BIANCHI>"));
        QCOMPARE(unknown, QStringLiteral("Pluto"));
        QCOMPARE(reports(),
                 QStringList{QStringLiteral("mrvMessage.ResolveRecipients: The address book cannot be shown")});
        session().errors()->clearRecentReports();
    }

    // Without configuration values, neither e-mail nor fax is available; a
    // host without a configuration object gets the same defaults.
    void defaultsAllowNeitherEmailNorFax_data()
    {
        QTest::addColumn<bool>("withConfiguration");
        QTest::newRow("no values stored") << true;
        QTest::newRow("no configuration object") << false;
    }

    void defaultsAllowNeitherEmailNorFax()
    {
        QFETCH(bool, withConfiguration);
        testing::DemoSuite fresh;
        auto message = fresh.session().message();
        if (!withConfiguration)
            message->setConfigClass(nullptr);
        const QString typed = QStringLiteral("nessuno@altrove.example.com; 06 1234567; bianchi");

        QString resolved;
        QString unknown;
        QVERIFY(!message->ResolveRecipients(nullptr, typed, resolved, &unknown));
        QCOMPARE(resolved, QStringLiteral("Laura Bianchi <BIANCHI>"));
        QCOMPARE(unknown, QStringLiteral("nessuno@altrove.example.com; 06 1234567"));

        resolved.clear();
        unknown.clear();
        QVERIFY(!message->ResolveRecipients(nullptr, typed, resolved, &unknown, false, true, true, false, true));
        QCOMPARE(resolved, QStringLiteral("nessuno@altrove.example.com; Laura Bianchi <BIANCHI>"));
        QCOMPARE(unknown, QStringLiteral("06 1234567"));
        QCOMPARE(fresh.session().errors()->recentReports().size(), 0);
    }
};

QTEST_GUILESS_MAIN(ResolverTest)
#include "tst_resolver.moc"
