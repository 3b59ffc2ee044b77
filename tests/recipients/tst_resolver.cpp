#include "DemoSuite.h"

#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "host/ConfigClass.h"
#include "host/Failure.h"
#include "recipients/RecipientResolver.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite;

namespace {

// What the installation configures: "EXCHANGE_MODE/FAX_SERVER/SHOW_FAX_EVER".
const QString kNoTransport = QStringLiteral("NONE/NONE/0");
const QString kMail = QStringLiteral("ACCOUNT/NONE/0");
const QString kFaxServer = QStringLiteral("NONE/FAXSRV/0");
const QString kFaxShownEver = QStringLiteral("NONE/NONE/1");
const QString kMailAndFax = QStringLiteral("ACCOUNT/FAXSRV/0");
const QString kNothingStored;
const QString kNoConfigurationObject = QStringLiteral("ACCOUNT/FAXSRV/0/the object left out");

// The optional arguments of ResolveRecipients after the lists.
using Call = host::RecipientOptions;

const QString none; // an empty list

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

Q_DECLARE_METATYPE(Call)

// Typed recipients resolved through the component's public operation against
// the demo suite's address book (users, groups, customers with contacts,
// branches and agents), with the host's chooser answering from a script.
class ResolverTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::shared_ptr<ScriptedInteraction> m_chooser;
    std::shared_ptr<host::ConfigClass> m_config; // the one the component was given

    SuiteSession &session() const { return m_suite->session(); }

    // Settings not given are removed, so that the defaults apply. A fourth
    // part leaves the configuration object out: what is stored goes unseen.
    void install(const QString &installation)
    {
        session().connection()->query(QStringLiteral(
            "DELETE FROM SYS_CFG WHERE UPPER(CFKEY) IN ('EXCHANGE_MODE', 'FAX_SERVER', 'SHOW_FAX_EVER')"));
        const QStringList keys{"EXCHANGE_MODE", "FAX_SERVER", "SHOW_FAX_EVER"};
        const QStringList values = installation.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < std::min(values.size(), keys.size()); ++i)
            session().config()->setValue(keys.at(i), values.at(i));
        m_config = values.size() > keys.size() ? nullptr : session().config();
        session().message()->setConfigClass(m_config);
    }

    Outcome resolve(const QString &typed, const Call &call = {}, const QString &resolved = {},
                    const QString &unknown = {}, mrvMessage *message = nullptr) const
    {
        Outcome outcome{false, resolved, unknown};
        outcome.allFound =
            (message ? message : session().message().get())
                ->ResolveRecipients(nullptr, typed, outcome.resolved, &outcome.unknown, call.showSuggestions,
                                    call.email, call.fax, call.addressBookServer, call.useServerConfig);
        return outcome;
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
    void cleanup() { QVERIFY(session().errors()->recentReports().isEmpty()); }

    void resolvesByTheDecisionOrder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("installation");
        QTest::addColumn<Call>("call");
        QTest::addColumn<QString>("resolved"); // empty: the item stays unknown

        const QString address = QStringLiteral("nessuno@altrove.example.com");
        const QString number = QStringLiteral("06 1234567");
        const Call noEmail{.email = false};
        const Call serverConfig{.useServerConfig = true};
        const Call suggest{.showSuggestions = true};
        const QString loneSurrogate = QStringLiteral("Mario ") + QChar(0xD800) + QStringLiteral(" <ROSSI>");

        // An exact match of the text between angle brackets keeps the item as typed.
        QTest::newRow("quoted code in brackets, another case")
            << "Capo <\"rossi\">" << kNoTransport << Call{} << "Capo <\"rossi\">";
        QTest::newRow("known address in brackets, e-mail not allowed")
            << "Ufficio <info@santoro1.example.it>" << kFaxServer << Call{} << none;
        // A single entry found by the search replaces the item.
        QTest::newRow("user code") << "ROSSI" << kNoTransport << Call{} << "Mario Rossi <ROSSI>";
        QTest::newRow("known address") << "INFO@santoro1.example.it" << kMail << Call{}
                                       << "Santoro Meccanica S.r.l. <info@santoro1.example.it>";
        QTest::newRow("customer code, no channel allowed") << "C000001" << kNoTransport << Call{} << none;
        QTest::newRow("server: no names") << "laura" << kNoTransport << Call{.addressBookServer = true} << none;
        // Addresses and numbers unknown to the book, by availability.
        QTest::newRow("unknown address, e-mail allowed") << address << kMail << Call{} << address;
        QTest::newRow("unknown address, no transport") << address << kNoTransport << Call{} << none;
        QTest::newRow("unknown address, bEmail False") << address << kMail << noEmail << none;
        QTest::newRow("server config: bEmail decides") << address << kNoTransport << serverConfig << address;
        QTest::newRow("server configuration: bEmail False")
            << address << kMail << Call{.email = false, .useServerConfig = true} << none;
        QTest::newRow("unknown number, fax server") << number << kFaxServer << Call{} << number;
        QTest::newRow("unknown number, fax shown ever") << number << kFaxShownEver << Call{} << number;
        QTest::newRow("unknown number, no transport") << number << kNoTransport << Call{} << none;
        QTest::newRow("unknown number, bFax False") << number << kFaxServer << Call{.fax = false} << none;
        QTest::newRow("server configuration does not allow fax") << number << kNoTransport << serverConfig << none;
        QTest::newRow("nothing stored: no e-mail") << address << kNothingStored << Call{} << none;
        QTest::newRow("nothing stored: no fax") << number << kNothingStored << Call{} << none;
        QTest::newRow("no configuration object") << address + "; " + number << kNoConfigurationObject << Call{} << none;
        // Of several entries, without suggestions, the last the search lists.
        QTest::newRow("several entries") << "Greco" << kMailAndFax << Call{}
                                         << "Greco Impianti S.p.A. - Magazzino <\"035 4000336\">";
        // With suggestions, no choice where there is nothing to choose.
        QTest::newRow("one entry, suggestions") << "laura" << kNoTransport << suggest << "Laura Bianchi <BIANCHI>";
        QTest::newRow("exact match, suggestions") << "Capo <ROSSI>" << kNoTransport << suggest << "Capo <ROSSI>";
        QTest::newRow("unknown address allowed, suggestions") << address << kMail << suggest << address;
        QTest::newRow("unknown word") << "Zorzi" << kMailAndFax << Call{} << none;
        // Malformed and hostile input: never a failure, never a change.
        QTest::newRow("brackets the wrong way round") << "Mario > ROSSI <" << kMailAndFax << Call{} << none;
        QTest::newRow("unbalanced quote inside brackets") << "<\"ROSSI>" << kMailAndFax << Call{} << "<\"ROSSI>";
        QTest::newRow("statement after a quote") << "x'; DROP TABLE SYS_USR; --" << kMailAndFax << Call{} << none;
        QTest::newRow("broken UTF-16") << loneSurrogate << kMailAndFax << Call{} << none;
    }

    void resolvesByTheDecisionOrder()
    {
        QFETCH(QString, typed);
        QFETCH(QString, installation);
        QFETCH(Call, call);
        QFETCH(QString, resolved);
        install(installation);
        const QVariant users = m_suite->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_USR"));

        const Outcome outcome = resolve(typed, call);
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, resolved.isEmpty() ? typed : QString());
        QCOMPARE(outcome.allFound, !resolved.isEmpty());
        // Resolved at once with other lists, whose items are searched
        // together with its own, the list comes out the same.
        RecipientResolver resolver(*session().connection(), m_config.get(), *session().records());
        const QList<RecipientResolver::Resolution> together =
            resolver.resolveAll(nullptr, {QStringLiteral("ROSSI"), typed, QStringLiteral("Capo <ROSSI>")}, call);
        QCOMPARE(together.at(1).resolved, outcome.resolved);
        QCOMPARE(together.at(1).unknown, outcome.unknown);
        QCOMPARE(together.at(0).resolved, QStringLiteral("Mario Rossi <ROSSI>"));
        QCOMPARE(m_chooser->calls(QStringLiteral("chooseRecipients")).size(), 0);
        QCOMPARE(m_suite->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_USR")), users);
    }

    void suggestionsGoThroughTheChooser_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("installation");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("codeList");
        QTest::addColumn<QString>("resolved");

        const QString groups = QStringLiteral("'SYS_GRU:TECNICO','SYS_GRU:VENDITE'");
        const QString sales = QStringLiteral("Ufficio vendite <VENDITE>");
        const QString address = QStringLiteral("nessuno@altrove.example.com");
        QTest::newRow("several entries, one chosen") << "Ufficio" << kNoTransport << sales << groups << sales;
        QTest::newRow("several entries, nothing chosen") << "Ufficio" << kNoTransport << none << groups << none;
        QTest::newRow("no entry, one chosen")
            << "Nicolò Perché" << kNoTransport << "Mario Rossi <ROSSI>" << none << "Mario Rossi <ROSSI>";
        QTest::newRow("unknown address, e-mail not allowed") << address << kNoTransport << sales << none << sales;
    }

    void suggestionsGoThroughTheChooser()
    {
        QFETCH(QString, typed);
        QFETCH(QString, installation);
        QFETCH(QString, answer);
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
        const QList<InteractionCall> calls = m_chooser->calls(QStringLiteral("chooseRecipients"));
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().arguments.mid(1), (QVariantList{codeList, typed}));
    }

    // Items in order, blanks and empty items skipped, after what the caller
    // passed; an unknown item passed keeps the outcome unknown. The unknown
    // list may be left out.
    void appendsAfterWhatTheCallerPassed()
    {
        const QString rossi = QStringLiteral("Mario Rossi <ROSSI>");
        const QString bianchi = QStringLiteral("Laura Bianchi <BIANCHI>");
        Outcome outcome = resolve(QStringLiteral(" bianchi ;; <VENDITE> ; ;Zorzi;\tPippo "), {}, rossi, "Pluto");
        QCOMPARE(outcome.resolved, rossi + "; " + bianchi + "; <VENDITE>");
        QCOMPARE(outcome.unknown, QStringLiteral("Pluto; Zorzi; Pippo"));
        outcome = resolve(QStringLiteral("bianchi"), {}, {}, "Pluto");
        QCOMPARE(outcome.resolved, bianchi);
        QVERIFY(!outcome.allFound);
        QString resolved;
        QVERIFY(!session().message()->ResolveRecipients(nullptr, QStringLiteral("bianchi; Zorzi"), resolved));
        QCOMPARE(resolved, bianchi);
    }

    // A failure half-way is reported, and keeps what was appended before it
    // and the unknown list the caller passed.
    void failuresKeepWhatWasAppended_data()
    {
        QTest::addColumn<bool>("withConnection");
        QTest::addColumn<bool>("withRecords");
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<QString>("report");
        QTest::newRow("Connection not set") << false << true << none << "The Connection object is not set (91)";
        QTest::newRow("Records not set") << true << false << none << "The Records object is not set (91)";
        QTest::newRow("the chooser fails") << true << true << "Laura Bianchi <BIANCHI>"
                                           << "The address book cannot be shown (0)";
    }

    void failuresKeepWhatWasAppended()
    {
        QFETCH(bool, withConnection);
        QFETCH(bool, withRecords);
        QFETCH(QString, resolved);
        QFETCH(QString, report);
        session().records()->setInteraction(std::make_shared<FailingChooser>());
        mrvMessage message;
        message.setConnection(withConnection ? session().connection() : nullptr);
        message.setRecords(withRecords ? session().records() : nullptr);
        message.setErrors(session().errors());
        const Outcome outcome =
            resolve(QStringLiteral("bianchi; Ufficio; <ROSSI>"), Call{.showSuggestions = true}, {}, "Pluto", &message);

        QVERIFY(!outcome.allFound);
        QCOMPARE(outcome.resolved, resolved);
        QCOMPARE(outcome.unknown, QStringLiteral("Pluto"));
        const ErrorReport reported = session().errors()->recentReports().value(0);
        QCOMPARE(reported.procedure + ": " + reported.description + QStringLiteral(" (%1)").arg(reported.number),
                 "ResolveRecipients: " + report);
        session().errors()->clearRecentReports();
    }
};

QTEST_GUILESS_MAIN(ResolverTest)
#include "tst_resolver.moc"
