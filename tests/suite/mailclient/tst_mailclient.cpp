#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "mailclient/MailClient.h"
#include "messages/MessageStore.h"
#include "services/SuiteSession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTest>

using namespace mrv;
using suite::MailClient;
using suite::MailClientOutcome;

// The mail client over a demo suite and a real SMTP server: what it sends,
// the states it writes, retries, interrupted rows and concurrent runners, and
// the program as the "OUTLOOK_EXT" transport starts it.
class MailClientTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<testing::SmtpTestServer> m_server;

    suite::SuiteSession &session() { return m_suite->session(); }
    void configure(const QString &key, const QString &value) { session().config()->setValue(key, value); }

    void startServer(const testing::SmtpServerOptions &options = {})
    {
        m_server = std::make_unique<testing::SmtpTestServer>(options);
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
        m_server->configureAccount(*session().config());
    }

    qint32 queue(const QString &to, const QList<QPair<QString, QString>> &files = {}, const QString &htmlBody = {})
    {
        MessageStore store(*session().connection(), session().config().get());
        MailClientEntry entry;
        entry.messageId = 1;
        entry.subject = u"Conferma d'ordine"_qs;
        entry.bodyIsRtf = htmlBody.isEmpty();
        entry.body = htmlBody.isEmpty() ? u"{\\rtf1\\ansi Ordine \\'e8 confermato.\\par}"_qs : htmlBody;
        entry.to = to;
        entry.importance = mspHigh;
        entry.queuedBy = u"ROSSI"_qs;
        entry.queuedAt = QDateTime::currentDateTime();
        const qint32 id = store.queueMail(entry);
        for (const auto &[path, contentId] : files)
            store.queueMailFile(id, path, contentId);
        store.setQueueState(id, suite::mcsQueued);
        return id;
    }

    QVariant column(qint32 id, const char *name)
    {
        return m_suite->scalar(u"SELECT %1 FROM SYS_MCL WHERE RECORD_ID = %2"_qs.arg(QLatin1String(name)).arg(id));
    }

    static QString program() { return qEnvironmentVariable("MRV_BIN") + u"/mrv-mailclient"_qs; }

    static int runProgram(const QString &executable, const QStringList &arguments, QByteArray *output = nullptr)
    {
        QProcess process;
        process.start(executable, arguments);
        if (!process.waitForFinished(120000))
            return -1;
        if (output)
            *output = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private Q_SLOTS:
    void init() { m_suite = std::make_unique<testing::DemoSuite>(); }

    void queuedRowsAreSentAndRecorded()
    {
        startServer();
        // A sending's own folder goes once its row is done with; other files are left alone.
        const QString sending = session().paths()->productFolder(u"Temp"_qs) + u"/send-TEST"_qs;
        QVERIFY(QDir().mkpath(sending));
        const QString image = testing::writeFile(sending, u"logo.png"_qs, testing::encodedImage("png", 1, 1));
        const QString listino = testing::writeFile(m_suite->folder(), u"listino.pdf"_qs, "%PDF-1.4");
        const qint32 html = queue(u"cliente@x.example|"_qs, {{image, u"logo.png"_qs}, {listino, QString()}},
                                  u"<p>Ecco <img src=\"cid:logo.png\"></p>"_qs);
        const qint32 rtf = queue(u"altro@x.example"_qs);
        // A row missing its file fails without sending.
        const qint32 lost = queue(u"perso@x.example"_qs, {{m_suite->folder() + "/sparito.pdf", QString()}});
        session().connection()->execute(
            QStringLiteral(
                "UPDATE SYS_MCL SET MCRTE = 'ordini@x.example', MCRTN = 'Ordini', MCDCN = 'nascosto@x.example' "
                "WHERE RECORD_ID = %1")
                .arg(html));

        MailClient client(session());
        const QList<MailClientOutcome> outcomes = client.runOnce();
        QCOMPARE(outcomes.size(), 3);
        QVERIFY(outcomes.last().line().startsWith(u"failed %1: "_qs.arg(lost)));
        QVERIFY2(outcomes.last().error.contains(u"sparito.pdf"_qs), qPrintable(outcomes.last().error));
        QCOMPARE(column(lost, "MCSTA").toInt(), int(suite::mcsFailed));
        for (const qint32 id : {html, rtf}) {
            QCOMPARE(outcomes.at(id == html ? 0 : 1).line(), u"sent %1"_qs.arg(id));
            const QVariantList row = {column(id, "MCSTA").toInt(), column(id, "MCTRY").toInt(),
                                      column(id, "MCDTS").isNull(), column(id, "MCERR").isNull()};
            QCOMPARE(row, (QVariantList{int(suite::mcsSent), 1, false, true}));
        }
        const auto received = m_server->receivedMessages();
        QCOMPARE(received.size(), 2);
        const testing::ReceivedMessage &first = received.first();
        QCOMPARE(first.envelopeRecipients, (QStringList{"cliente@x.example", "nascosto@x.example"}));
        QCOMPARE(first.header(u"Subject"_qs), u"Conferma d'ordine"_qs);
        QCOMPARE(first.header(u"Importance"_qs).toLower(), u"high"_qs);
        QCOMPARE(first.mailboxes(u"Reply-To"_qs).first().second, u"ordini@x.example"_qs);
        QVERIFY2(first.partOfType(u"image/png"_qs), qPrintable(first.structure));
        QVERIFY2(first.partNamed(u"listino.pdf"_qs), qPrintable(first.structure));
        const testing::ReceivedPart *rtfBody = received.last().partOfType(u"text/html"_qs);
        QVERIFY(rtfBody);
        QVERIFY2(rtfBody->text.contains(u"è confermato"_qs), qPrintable(rtfBody->text));

        QVERIFY(client.runOnce().isEmpty());
        QCOMPARE(m_server->receivedMessages().size(), 2);
        QVERIFY(!QFileInfo::exists(sending));
        QVERIFY(QFileInfo::exists(listino));
    }

    // Each failed attempt waits twice as long as the one before; the last one gives up.
    void faultsAreRetriedThenGivenUp()
    {
        startServer();
        m_server->stop();
        configure("MAILCLIENT_MAX_ATTEMPTS", "3");
        configure("MAILCLIENT_RETRY_SECONDS", "100");
        const qint32 id = queue("cliente@x.example");
        MailClient client(session());

        for (int attempt = 1; attempt <= 3; ++attempt) {
            const QDateTime before = QDateTime::currentDateTime();
            const QList<MailClientOutcome> outcomes = client.runOnce();
            QCOMPARE(outcomes.size(), 1);
            const bool last = attempt == 3;
            QCOMPARE(outcomes.first().state, last ? suite::mcsFailed : suite::mcsRetry);
            QVERIFY2(outcomes.first().error.contains("The server cannot be reached"),
                     qPrintable(outcomes.first().error));
            QVERIFY(outcomes.first().line().startsWith((last ? u"failed %1: "_qs : u"retry %1: "_qs).arg(id)));
            QCOMPARE(column(id, "MCSTA").toInt(), int(outcomes.first().state));
            QCOMPARE(column(id, "MCTRY").toInt(), attempt);
            QCOMPARE(column(id, "MCERR").toString(), outcomes.first().error);
            const qint64 wait =
                before.secsTo(QDateTime::fromString(column(id, "MCNXT").toString(), "yyyy-MM-dd HH:mm:ss"));
            QVERIFY2(last ? wait == 0 : qAbs(wait - (100 << (attempt - 1))) <= 1, qPrintable(QString::number(wait)));
            QVERIFY(client.runOnce().isEmpty()); // not due yet, or given up
            session().connection()->execute(
                u"UPDATE SYS_MCL SET MCNXT = '2000-01-01 00:00:00' WHERE MCNXT IS NOT NULL"_qs);
        }
    }

    void anInterruptedRowIsNotSentAgain_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("state");
        const QString host = QSysInfo::machineHostName();
        // Linux hands out process numbers up to 2^22 at most.
        QTest::newRow("runner gone") << host + "|99999999|x" << int(suite::mcsUncertain);
        QTest::newRow("no runner named") << QString() << int(suite::mcsUncertain);
        QTest::newRow("runner still working")
            << host + "|" + QString::number(QCoreApplication::applicationPid()) + "|other" << int(suite::mcsSending);
        QTest::newRow("runner on another machine") << "elsewhere.example|1|x" << int(suite::mcsSending);
    }

    void anInterruptedRowIsNotSentAgain()
    {
        QFETCH(QString, owner);
        QFETCH(int, state);
        startServer();
        const qint32 id = queue(u"cliente@x.example"_qs);
        session().connection()->nativeQuery(QStringLiteral("UPDATE SYS_MCL SET MCSTA = 2, MCTRY = 1, MCOWN = ? WHERE "
                                                           "RECORD_ID = ?"),
                                            {owner.isEmpty() ? QVariant() : QVariant(owner), id});

        const QList<MailClientOutcome> outcomes = MailClient(session()).runOnce();

        QCOMPARE(column(id, "MCSTA").toInt(), state);
        QCOMPARE(outcomes.size(), state == suite::mcsUncertain ? 1 : 0);
        if (!outcomes.isEmpty())
            QVERIFY(outcomes.first().line().startsWith(u"uncertain %1: "_qs.arg(id)));
        QCOMPARE(column(id, "MCTRY").toInt(), 1);
        QVERIFY(m_server->receivedMessages().isEmpty());
    }

    void twoRunnersSendEachRowOnce()
    {
        startServer();
        QList<qint32> ids;
        for (int i = 0; i < 8; ++i)
            ids << queue(u"cliente%1@x.example"_qs.arg(i));
        const QStringList arguments = {"-c", m_suite->session().connection()->connectionText(), "-u", "ROSSI"};
        QProcess first, second;
        first.start(program(), arguments);
        second.start(program(), arguments);
        QVERIFY(first.waitForFinished(120000));
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);

        const QString both = QString::fromUtf8(first.readAllStandardOutput() + second.readAllStandardOutput());
        for (const qint32 id : ids) {
            QCOMPARE(both.count(QRegularExpression(u"^sent %1$"_qs.arg(id), QRegularExpression::MultilineOption)), 1);
            QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsSent));
            QCOMPARE(column(id, "MCTRY").toInt(), 1);
        }
        // A third run finds nothing left to send, and says nothing.
        QByteArray output;
        QCOMPARE(runProgram(program(), arguments, &output), 0);
        QVERIFY2(output.isEmpty(), output.constData());
        QCOMPARE(m_server->receivedMessages().size(), ids.size());
    }

    void theDispatchersScriptRunsTheInstalledProgram()
    {
        startServer();
        configure(u"EXCHANGE_MODE"_qs, u"OUTLOOK_EXT"_qs);
        const QString binFolder = session().paths()->productFolder(u"Bin.NET"_qs);
        QCOMPARE(suite::installMailClient(program(), binFolder),
                 (QStringList{binFolder + "/MailClient_x86", binFolder + "/MailClient_x64"}));
        // Sent through the host's call, the dispatcher starts the program itself, detached.
        QVERIFY(session().message()->SendMessage(0, u"Dal client di posta"_qs, u"{\\rtf1 Buongiorno\\par}"_qs,
                                                 u"cliente@x.example"_qs));
        QTRY_COMPARE_WITH_TIMEOUT(m_suite->scalar(u"SELECT MCSTA FROM SYS_MCL"_qs).toInt(), int(suite::mcsSent), 60000);
        QCOMPARE(m_server->receivedMessages().size(), 1);
        QCOMPARE(m_server->receivedMessages().first().header(u"Subject"_qs), u"Dal client di posta"_qs);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<int>("exitCode");
        const QString db = u"%DB%"_qs;
        QTest::newRow("not sent") << QStringList{"-c", db, "-u", "ROSSI"} << false << 1;
        QTest::newRow("unknown user") << QStringList{"-c", db, "-u", "NESSUNO"} << true << 1;
        QTest::newRow("other provider") << QStringList{"-c", "Provider=SQLOLEDB;Data Source=server", "-u", "ROSSI"}
                                        << true << 2;
        QTest::newRow("no user") << QStringList{"-c", db} << true << 2;
        QTest::newRow("other program") << QStringList{"-c", db, "-u", "ROSSI", "-p", "THUNDERBIRD"} << true << 2;
        QTest::newRow("unknown option") << QStringList{"-c", db, "-u", "ROSSI", "--verbose", "1"} << true << 2;
    }

    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, serverUp);
        QFETCH(int, exitCode);
        startServer();
        if (!serverUp)
            m_server->stop();
        const qint32 id = queue(u"cliente@x.example"_qs);
        arguments.replaceInStrings(u"%DB%"_qs, m_suite->session().connection()->connectionText());
        QCOMPARE(runProgram(program(), arguments), exitCode);
        if (exitCode == 2)
            QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsQueued));
    }
};

QTEST_MAIN(MailClientTest)
#include "tst_mailclient.moc"
