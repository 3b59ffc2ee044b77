#include "DemoSuite.h"
#include "SmtpTestServer.h"

#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"
#include "templates/TemplateSendController.h"
#include "templates/mrvTemplate.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace mrv;
using namespace mrv::suite;
using namespace Qt::StringLiterals;

namespace {

const qint32 kSalesTemplate = 1;
const int kDocuments = 12;

} // namespace

// The demo template on sales documents sent to a real SMTP server on
// loopback: by the send controller in the process, and by "mrv template
// send" killed half-way and run again.
class TemplateSendTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<testing::SmtpTestServer> m_server;
    QStringList m_keys;

    db::SuiteConnection &connection() const { return *m_suite->session().connection(); }
    QVariant scalar(const QString &sql) const { return m_suite->scalar(sql); }

    // The demo suite with a generated customer for each of the documents sent.
    void startSuite()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        db::DemoData::addCustomers(connection(), db::DemoData::firstCompany(), kDocuments);
        m_keys.clear();
        const auto rows =
            connection().query(u"SELECT TOP %1 RECORD_ID FROM A01_DOC_VEN ORDER BY RECORD_ID DESC"_s.arg(kDocuments));
        for (const QVariantList &row : rows.rows)
            m_keys << row.first().toString();
    }

    void startServer(const testing::SmtpServerOptions &options = {})
    {
        m_server = std::make_unique<testing::SmtpTestServer>(options);
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
        m_server->configureAccount(*m_suite->session().config());
        m_suite->session().config()->setValue(u"EXCHANGE_MODE"_s, u"ACCOUNT"_s);
    }

    // The address a message's customer is reached at by e-mail.
    QString customerEmail(const QString &documentKey) const
    {
        return scalar(u"SELECT W.WBIND FROM A01_IND_WEB W JOIN A01_DOC_VEN D ON W.TBKEY = D.DTCON "
                      "WHERE W.TBNAM = 'CON_TRO' AND W.WBTIP = 'E' AND W.WBDES = '@ Principale' "
                      "AND D.RECORD_ID = %1"_s.arg(documentKey))
            .toString();
    }

    struct Outcome
    {
        QList<qint32> sent;
        QList<qint32> failed;
        QList<qint32> checked;
        bool closed = false;
        QStringList leftTo; // the To lists of the messages left
    };

    Outcome sendAll(qint32 mode, bool checkOnly)
    {
        auto templates = m_suite->session().create<mrvTemplate>(u"mrvTemplate"_s);
        auto parsed = templates->ParseFromList(kSalesTemplate, u"DOC_VEN"_s, m_keys.join(u','), u","_s);
        Outcome outcome;
        if (!parsed)
            return outcome;
        TemplateSendController controller;
        controller.setRecords(m_suite->session().records());
        controller.setErrors(m_suite->session().errors());
        connect(&controller, &TemplateSendController::messageSent, [&](qint32 n, qint32) { outcome.sent << n; });
        connect(&controller, &TemplateSendController::messageFailed,
                [&](qint32 n, const QString &) { outcome.failed << n; });
        connect(&controller, &TemplateSendController::messageChecked, [&](qint32 n) { outcome.checked << n; });
        connect(&controller, &TemplateSendController::closeRequested, [&] { outcome.closed = true; });
        controller.start(parsed, mode, {});
        controller.Send(0, checkOnly, true);
        for (qint32 i = 1; i <= controller.count(); ++i)
            outcome.leftTo << controller.message(i).to;
        return outcome;
    }

    // "mrv template send" on the test's database as ROSSI.
    QStringList mrvArguments(const QStringList &arguments) const
    {
        const QString location = m_suite->databasePath();
        const bool server = location.startsWith("postgres"_L1);
        return QStringList{server ? u"--url"_s : u"--db"_s, location, u"--user"_s, u"ROSSI"_s} + arguments;
    }

    QProcess *startMrv(const QStringList &arguments)
    {
        auto *process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TMPDIR"_s, m_suite->folder());
        process->setProcessEnvironment(environment);
        process->start(qEnvironmentVariable("MRV_BIN") + u"/mrv"_s, mrvArguments(arguments));
        return process;
    }

    QStringList subjectsReceived() const
    {
        QStringList subjects;
        for (const testing::ReceivedMessage &message : m_server->receivedMessages())
            subjects << message.header(u"Subject"_s);
        return subjects;
    }

private Q_SLOTS:
    // Each message stored as sent, linked to its document, its report
    // registered and attached with the template's own file; a message whose
    // address the server refuses stays, alone; checking sends nothing. A
    // customer's name with a line break stays in the subject line.
    void sendsEveryMessage_data()
    {
        QTest::addColumn<bool>("checkOnly");
        QTest::addColumn<bool>("refuseFirst");
        QTest::addColumn<int>("sent");
        QTest::newRow("every message") << false << false << kDocuments;
        QTest::newRow("one address refused") << false << true << kDocuments - 1;
        QTest::newRow("checking sends nothing") << true << false << 0;
    }

    void sendsEveryMessage()
    {
        QFETCH(bool, checkOnly);
        QFETCH(bool, refuseFirst);
        QFETCH(int, sent);
        startSuite();
        testing::SmtpServerOptions options;
        if (refuseFirst) {
            options.fault = u"reject-rcpt"_s;
            options.faultRecipient = customerEmail(m_keys.first());
        }
        startServer(options);
        const QString hostile = u"Spa\r\nBcc: spy@evil.example"_s;
        connection().query(u"UPDATE A01_CON_TRO SET CORAS = '%1' WHERE CDCON = "
                           "(SELECT DTCON FROM A01_DOC_VEN WHERE RECORD_ID = %2)"_s.arg(hostile, m_keys.last()));
        const int storedBefore = scalar(u"SELECT COUNT(*) FROM SYS_MSG"_s).toInt();

        const Outcome outcome = sendAll(2, checkOnly);

        QCOMPARE(outcome.sent.size(), sent);
        QCOMPARE(outcome.checked.size(), checkOnly ? kDocuments : 0);
        QCOMPARE(outcome.failed.size(), refuseFirst ? 1 : 0);
        QCOMPARE(outcome.leftTo.size(), kDocuments - sent);
        if (refuseFirst)
            QVERIFY2(outcome.leftTo.first().contains(options.faultRecipient), qPrintable(outcome.leftTo.first()));
        QCOMPARE(outcome.closed, sent == kDocuments);
        const QList<testing::ReceivedMessage> received = m_server->receivedMessages();
        QCOMPARE(received.size(), sent);
        // The reports printed for the preview went with it.
        QDirIterator pdfs(m_suite->folder(), {u"*.pdf"_s}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!pdfs.hasNext(), qPrintable(pdfs.hasNext() ? pdfs.next() : QString()));
        if (checkOnly) {
            QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG"_s).toInt(), storedBefore);
            return;
        }
        for (const testing::ReceivedMessage &message : received) {
            QVERIFY2(message.header(u"Bcc"_s).isEmpty(), qPrintable(message.header(u"Subject"_s)));
            QVERIFY(!message.envelopeRecipients.join(u' ').contains("spy@"_L1));
            QVERIFY(message.partNamed(u"Condizioni generali di vendita.txt"_s));
            QCOMPARE(message.structure.count(u"application/pdf"_s), 1);
        }
        QVERIFY(subjectsReceived().join(u'|').contains(u"Spa Bcc: spy@evil.example"_s));
        const QString document = m_keys.at(1);
        const QString stored = u"SELECT %1 FROM SYS_MSG WHERE MSFLD = 2 AND MSTBL = 'DOC_VEN' AND MSKEY = '%2'"_s;
        const qint32 id = scalar(stored.arg(u"RECORD_ID"_s, document)).toInt();
        QVERIFY(id > 0);
        QCOMPARE(scalar(stored.arg(u"MSRTE"_s, document)).toString(), u"vendite@brambilla.example.it"_s);
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG' AND ATKEY = '%1'"_s.arg(id)).toInt(), 2);
        QCOMPARE(scalar(u"SELECT RSKEY FROM SYS_RPS WHERE IDMSG = %1"_s.arg(id)).toString(), document);
    }

    // Killed after `arrived` messages reached the server and run again with
    // the same batch name, the send hands every message over at most once:
    // nothing arrives twice, and each message is either sent or reported as
    // handed over by the run that was killed. A third run sends nothing; the
    // name with other keys is refused.
    void batchResumesAfterAKill_data()
    {
        QTest::addColumn<int>("arrived");
        QTest::newRow("after the first") << 1;
        QTest::newRow("half-way") << kDocuments / 2;
    }

    void batchResumesAfterAKill()
    {
        QFETCH(int, arrived);
        startSuite();
        startServer();
        const QStringList send{u"template"_s, u"send"_s, u"1"_s,       u"DOC_VEN"_s, m_keys.join(u','),
                               u"--mode"_s,   u"2"_s,    u"--batch"_s, u"lotto"_s};
        QProcess *first = startMrv(send);
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_server->receivedMessages().size() >= arrived || first->state() == QProcess::NotRunning, 60000);
        first->kill();
        first->waitForFinished();
        QCOMPARE(first->exitStatus(), QProcess::CrashExit); // stopped half-way, not done

        QProcess *second = startMrv(send);
        QVERIFY(second->waitForFinished(120000));
        const QStringList lines = QString::fromUtf8(second->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QStringList subjects = subjectsReceived();
        QCOMPARE(QSet<QString>(subjects.cbegin(), subjects.cend()).size(), subjects.size());
        static const QRegularExpression outcome(u"^(sent (\\d+) \\d+|failed (\\d+): an earlier run handed .*)$"_s);
        QSet<int> numbers;
        int handedBefore = 0;
        for (const QString &line : lines) {
            const auto match = outcome.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            numbers << (match.captured(2) + match.captured(3)).toInt();
            handedBefore += match.captured(3).isEmpty() ? 0 : 1;
        }
        QCOMPARE(numbers.size(), kDocuments);
        QCOMPARE(lines.size(), kDocuments);
        QVERIFY(handedBefore <= 1);
        QCOMPARE(second->exitCode(), handedBefore == 0 ? 0 : 1);
        QVERIFY(subjects.size() >= kDocuments - handedBefore && subjects.size() <= kDocuments);

        QProcess *third = startMrv(send);
        QVERIFY(third->waitForFinished(120000));
        QCOMPARE(QString::fromUtf8(third->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), lines);
        QProcess *other = startMrv(QStringList(send).replaceInStrings(m_keys.join(u','), m_keys.first()));
        QVERIFY(other->waitForFinished(120000));
        QCOMPARE(other->exitCode(), 1);
        QVERIFY(QString::fromUtf8(other->readAllStandardError()).contains("batch lotto was started for"_L1));
        QCOMPARE(m_server->receivedMessages().size(), subjects.size());
    }
};

QTEST_MAIN(TemplateSendTest)
#include "tst_templatesend.moc"
