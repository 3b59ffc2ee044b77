#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "mail/EmailDispatcher.h"
#include "mailclient/MailClient.h"
#include "messages/MessageStore.h"
#include "messages/SendingPipeline.h"
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
        configure(QStringLiteral("EMAIL_OUT_PORT"), QString::number(m_server->port()));
    }

    QString writeFile(const QString &name, const QByteArray &contents)
    {
        const QString path = QDir(m_suite->folder()).filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contents);
        return path;
    }

    qint32 queue(const QString &to, const QList<QPair<QString, QString>> &files = {}, const QString &htmlBody = {})
    {
        MessageStore store(*session().connection(), session().config().get());
        MailClientEntry entry;
        entry.messageId = 1;
        entry.subject = QStringLiteral("Conferma d'ordine");
        entry.bodyIsRtf = htmlBody.isEmpty();
        entry.body = htmlBody.isEmpty()
                         ? QStringLiteral("{\\rtf1\\ansi Ordine \\'e8 confermato.{\\pict\\pngblip %1}\\par}")
                               .arg(QString::fromLatin1(testing::encodedImage("png", 2, 2).toHex()))
                         : htmlBody;
        entry.to = to;
        entry.importance = mspHigh;
        entry.queuedBy = QStringLiteral("ROSSI");
        entry.queuedAt = QDateTime::currentDateTime();
        const qint32 id = store.queueMail(entry);
        for (const auto &[path, contentId] : files)
            store.queueMailFile(id, path, contentId);
        store.setQueueState(id, suite::mcsQueued);
        return id;
    }

    QVariant column(qint32 id, const char *name)
    {
        return m_suite->scalar(
            QStringLiteral("SELECT %1 FROM SYS_MCL WHERE RECORD_ID = %2").arg(QLatin1String(name)).arg(id));
    }

    static QStringList lines(const QList<MailClientOutcome> &outcomes)
    {
        QStringList text;
        for (const MailClientOutcome &outcome : outcomes)
            text << outcome.line();
        return text;
    }

    static QString program() { return qEnvironmentVariable("MRV_BIN") + QStringLiteral("/mrv-mailclient"); }

    QString connectionText() const { return QStringLiteral("Provider=SQLite;Data Source=") + m_suite->databasePath(); }

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
    void init()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        configure(QStringLiteral("EMAIL_NAME"), QStringLiteral("Mario Rossi"));
        configure(QStringLiteral("EMAIL"), QStringLiteral("m.rossi@brambilla.example.it"));
        configure(QStringLiteral("EMAIL_OUT_TYPE"), QStringLiteral("3"));
        configure(QStringLiteral("EMAIL_OUT_SERVER"), QStringLiteral("127.0.0.1"));
        configure(QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("0"));
    }

    void queuedRowsAreSentAndRecorded()
    {
        startServer();
        const QString image = writeFile(QStringLiteral("logo.png"), testing::encodedImage("png", 1, 1));
        const QString listino = writeFile(QStringLiteral("listino.pdf"), "%PDF-1.4");
        const qint32 html =
            queue(QStringLiteral("cliente@x.example|"), {{image, QStringLiteral("logo.png")}, {listino, QString()}},
                  QStringLiteral("<p>Ecco <img src=\"cid:logo.png\"></p>"));
        const qint32 rtf = queue(QStringLiteral("altro@x.example"));
        session().connection()->execute(
            QStringLiteral(
                "UPDATE SYS_MCL SET MCRTE = 'ordini@x.example', MCRTN = 'Ordini', MCDCN = 'nascosto@x.example' "
                "WHERE RECORD_ID = %1")
                .arg(html));

        MailClient client(session());
        QCOMPARE(lines(client.runOnce()),
                 (QStringList{QStringLiteral("sent %1").arg(html), QStringLiteral("sent %1").arg(rtf)}));

        for (const qint32 id : {html, rtf}) {
            const QVariantList row = {column(id, "MCSTA").toInt(), column(id, "MCTRY").toInt(),
                                      column(id, "MCDTS").isNull(), column(id, "MCERR").isNull()};
            QCOMPARE(row, (QVariantList{int(suite::mcsSent), 1, false, true}));
        }
        const auto received = m_server->receivedMessages();
        QCOMPARE(received.size(), 2);
        const testing::ReceivedMessage &first = received.first();
        QCOMPARE(first.envelopeRecipients, (QStringList{"cliente@x.example", "nascosto@x.example"}));
        QCOMPARE(first.header(QStringLiteral("Subject")), QStringLiteral("Conferma d'ordine"));
        QCOMPARE(first.header(QStringLiteral("Importance")).toLower(), QStringLiteral("high"));
        QCOMPARE(first.mailboxes(QStringLiteral("Reply-To")).first().second, QStringLiteral("ordini@x.example"));
        QVERIFY2(first.partOfType(QStringLiteral("image/png")), qPrintable(first.structure()));
        QVERIFY2(first.partNamed(QStringLiteral("listino.pdf")), qPrintable(first.structure()));
        const testing::ReceivedPart *rtfBody = received.last().partOfType(QStringLiteral("text/html"));
        QVERIFY(rtfBody);
        QVERIFY2(rtfBody->text.contains(QStringLiteral("è confermato")), qPrintable(rtfBody->text));
        // The picture of the RTF body travels inline, as through the account transport.
        QCOMPARE(received.last().structure(),
                 QStringLiteral("multipart/alternative(text/plain,multipart/related(text/html,image/png))"));
        QCOMPARE(received.last().partOfType(QStringLiteral("image/png"))->content, testing::encodedImage("png", 2, 2));

        QVERIFY(client.runOnce().isEmpty());
        QCOMPARE(m_server->receivedMessages().size(), 2);
    }

    void faultsAreRetriedThenGivenUp_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("recipient refused") << "reject-rcpt"
                                           << "The server refused a recipient";
        QTest::newRow("connection refused") << ""
                                            << "The server cannot be reached";
    }

    void faultsAreRetriedThenGivenUp()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        if (fault.isEmpty()) {
            configure(QStringLiteral("EMAIL_OUT_PORT"), QString::number(testing::SmtpTestServer::unusedPort()));
        } else {
            testing::SmtpServerOptions options;
            options.fault = fault;
            options.faultRecipient = QStringLiteral("cliente@x.example");
            startServer(options);
        }
        configure(QStringLiteral("MAILCLIENT_MAX_ATTEMPTS"), QStringLiteral("3"));
        configure(QStringLiteral("MAILCLIENT_RETRY_SECONDS"), QStringLiteral("0"));
        const qint32 id = queue(QStringLiteral("cliente@x.example"));
        MailClient client(session());

        for (int attempt = 1; attempt <= 3; ++attempt) {
            const QList<MailClientOutcome> outcomes = client.runOnce();
            QCOMPARE(outcomes.size(), 1);
            const bool last = attempt == 3;
            QCOMPARE(outcomes.first().state, last ? suite::mcsFailed : suite::mcsRetry);
            QVERIFY2(outcomes.first().error.contains(reason), qPrintable(outcomes.first().error));
            QVERIFY(outcomes.first().line().startsWith(
                (last ? QStringLiteral("failed %1: ") : QStringLiteral("retry %1: ")).arg(id)));
            QCOMPARE(column(id, "MCSTA").toInt(), int(outcomes.first().state));
            QCOMPARE(column(id, "MCTRY").toInt(), attempt);
            QCOMPARE(column(id, "MCERR").toString(), outcomes.first().error);
        }
        QVERIFY(client.runOnce().isEmpty());
    }

    void aRetryWaitsLongerEachTime()
    {
        configure(QStringLiteral("EMAIL_OUT_PORT"), QString::number(testing::SmtpTestServer::unusedPort()));
        configure(QStringLiteral("MAILCLIENT_RETRY_SECONDS"), QStringLiteral("100"));
        const qint32 id = queue(QStringLiteral("cliente@x.example"));
        MailClient client(session());
        auto waitAfterAttempt = [&] {
            const QDateTime before = QDateTime::currentDateTime();
            client.runOnce();
            return before.secsTo(QDateTime::fromString(column(id, "MCNXT").toString(), "yyyy-MM-dd HH:mm:ss"));
        };
        const qint64 first = waitAfterAttempt();
        QVERIFY2(first >= 99 && first <= 101, qPrintable(QString::number(first)));
        QVERIFY(client.runOnce().isEmpty()); // not due yet
        session().connection()->execute(
            QStringLiteral("UPDATE SYS_MCL SET MCNXT = '2000-01-01 00:00:00' WHERE RECORD_ID = %1").arg(id));
        const qint64 second = waitAfterAttempt();
        QVERIFY2(second >= 199 && second <= 201, qPrintable(QString::number(second)));
        QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsRetry));
    }

    void aRowMissingItsFileFailsWithoutSending()
    {
        startServer();
        const qint32 id = queue(QStringLiteral("cliente@x.example"), {{m_suite->folder() + "/sparito.pdf", QString()}});
        const QList<MailClientOutcome> outcomes = MailClient(session()).runOnce();
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.first().state, suite::mcsFailed);
        QVERIFY(outcomes.first().error.contains(QLatin1String("sparito.pdf")));
        QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsFailed));
        QVERIFY(m_server->receivedMessages().isEmpty());
    }

    void anInterruptedRowIsNotSentAgain_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("state");
        QProcess finished;
        finished.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 0")});
        finished.waitForStarted();
        const qint64 deadPid = finished.processId();
        finished.waitForFinished();
        const QString host = QSysInfo::machineHostName();
        QTest::newRow("runner gone") << host + "|" + QString::number(deadPid) + "|x" << int(suite::mcsUncertain);
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
        const qint32 id = queue(QStringLiteral("cliente@x.example"));
        session().connection()->nativeQuery(QStringLiteral("UPDATE SYS_MCL SET MCSTA = 2, MCTRY = 1, MCOWN = ? WHERE "
                                                           "RECORD_ID = ?"),
                                            {owner.isEmpty() ? QVariant() : QVariant(owner), id});

        const QList<MailClientOutcome> outcomes = MailClient(session()).runOnce();

        QCOMPARE(column(id, "MCSTA").toInt(), state);
        QCOMPARE(outcomes.size(), state == suite::mcsUncertain ? 1 : 0);
        if (!outcomes.isEmpty())
            QVERIFY(outcomes.first().line().startsWith(QStringLiteral("uncertain %1: ").arg(id)));
        QCOMPARE(column(id, "MCTRY").toInt(), 1);
        QVERIFY(m_server->receivedMessages().isEmpty());
    }

    void twoRunnersSendEachRowOnce()
    {
        startServer();
        QList<qint32> ids;
        for (int i = 0; i < 8; ++i)
            ids << queue(QStringLiteral("cliente%1@x.example").arg(i));
        const QStringList arguments = {"-c", connectionText(), "-u", "ROSSI"};
        QProcess first, second;
        first.start(program(), arguments);
        second.start(program(), arguments);
        QVERIFY(first.waitForFinished(120000));
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);

        const QString both = QString::fromUtf8(first.readAllStandardOutput() + second.readAllStandardOutput());
        for (const qint32 id : ids) {
            QCOMPARE(both.count(
                         QRegularExpression(QStringLiteral("^sent %1$").arg(id), QRegularExpression::MultilineOption)),
                     1);
            QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsSent));
            QCOMPARE(column(id, "MCTRY").toInt(), 1);
        }
        QCOMPARE(m_server->receivedMessages().size(), ids.size());
    }

    void theDispatchersScriptRunsTheInstalledProgram()
    {
        startServer();
        configure(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("OUTLOOK_EXT"));
        const QString binFolder = session().paths()->productFolder(QStringLiteral("Bin.NET"));
        QCOMPARE(suite::installMailClient(program(), binFolder),
                 (QStringList{binFolder + "/MailClient_x86", binFolder + "/MailClient_x64"}));
        EmailDispatcher dispatcher(session().connection(), session().config(), session().users(), session().records(),
                                   session().errors());
        OutgoingEmail email;
        email.messageId = 1;
        email.subject = QStringLiteral("Dal client di posta");
        email.htmlBody = QStringLiteral("<p>Buongiorno</p>");
        email.to = QStringLiteral("cliente@x.example");
        QString log;
        QVERIFY(dispatcher.SendEmail(email, log));
        // The dispatcher started the program itself, detached.
        QTRY_COMPARE_WITH_TIMEOUT(m_suite->scalar(QStringLiteral("SELECT MCSTA FROM SYS_MCL")).toInt(),
                                  int(suite::mcsSent), 60000);
        QCOMPARE(m_server->receivedMessages().size(), 1);
        QCOMPARE(m_server->receivedMessages().first().header(QStringLiteral("Subject")), email.subject);

        // Its script run once more finds nothing left to send.
        const QString temp = session().paths()->productFolder(QStringLiteral("Temp"));
        const QStringList scripts = QDir(temp).entryList({QStringLiteral("mrv*.sh")});
        QCOMPARE(scripts.size(), 1);
        QByteArray output;
        QCOMPARE(runProgram(QStringLiteral("/bin/sh"), {QDir(temp).filePath(scripts.first())}, &output), 0);
        QVERIFY2(output.isEmpty(), output.constData());
        QCOMPARE(m_server->receivedMessages().size(), 1);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<int>("exitCode");
        const QString db = QStringLiteral("Provider=SQLite;Data Source=%DB%");
        QTest::newRow("sent") << QStringList{"-c", db, "-u", "ROSSI", "-p", "\"OUTLOOK\"", "--profile", "Outlook"}
                              << true << 0;
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
        if (serverUp)
            startServer();
        else
            configure(QStringLiteral("EMAIL_OUT_PORT"), QString::number(testing::SmtpTestServer::unusedPort()));
        const qint32 id = queue(QStringLiteral("cliente@x.example"));
        arguments.replaceInStrings(QStringLiteral("%DB%"), m_suite->databasePath());
        QByteArray output;
        QCOMPARE(runProgram(program(), arguments, &output), exitCode);
        if (exitCode == 0)
            QCOMPARE(output.trimmed(), QStringLiteral("sent %1").arg(id).toUtf8());
        if (exitCode == 2)
            QCOMPARE(column(id, "MCSTA").toInt(), int(suite::mcsQueued));
    }
};

QTEST_MAIN(MailClientTest)
#include "tst_mailclient.moc"
