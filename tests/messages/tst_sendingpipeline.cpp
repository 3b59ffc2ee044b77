#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "messages/MessageStore.h"
#include "messages/SendingPipeline.h"
#include "services/SuiteSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;

// The sending pipeline on the demo suite: who gets a copy, threads, faxes,
// the e-mail handed to the dispatcher, marks, and what stays after a failure;
// and once the whole road from the host's call to a real SMTP server.
class SendingPipelineTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    QList<OutgoingEmail> m_dispatched;
    bool m_dispatchResult = true;

    bool send(const OutgoingMessage &message)
    {
        suite::SuiteSession &session = m_suite->session();
        SendingPipeline pipeline(*session.connection(), session.config().get(), *session.users(), *session.records(),
                                 [this](const OutgoingEmail &email, QString &) {
                                     m_dispatched << email;
                                     return m_dispatchResult;
                                 });
        QString connectLog;
        return pipeline.send(message, connectLog);
    }

    // The rows of a query, each as its values joined by "|".
    QStringList rows(const QString &sql)
    {
        QStringList texts;
        const auto result = m_suite->session().connection()->query(sql);
        for (const QVariantList &row : result.rows)
            texts << QVariant(row).toStringList().join(QLatin1Char('|'));
        return texts;
    }

    QVariant scalar(const QString &sql) { return m_suite->scalar(sql); }
    qint32 lastSenderCopy()
    {
        return scalar(QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_MSG WHERE MSFLD = 2")).toInt();
    }
    QVariant column(const QString &column, qint32 message)
    {
        return scalar(QStringLiteral("SELECT %1 FROM SYS_MSG WHERE RECORD_ID = %2").arg(column).arg(message));
    }

    static OutgoingMessage message(const QString &to, const QString &cc = QString(), const QString &ccn = QString())
    {
        return {
            0,  QStringLiteral("Riunione di lunedì"), QStringLiteral("{\\rtf1\\ansi Ordine del giorno\\par}"), to, cc,
            ccn};
    }

    void account(quint16 port)
    {
        for (const QString &setting :
             QStringList{"EXCHANGE_MODE=ACCOUNT", "EMAIL_NAME=Mario Rossi", "EMAIL=m.rossi@brambilla.example.it",
                         "EMAIL_OUT_TYPE=3", "EMAIL_OUT_SERVER=127.0.0.1", "EMAIL_OUT_AUTH=0",
                         "EMAIL_OUT_PORT=" + QString::number(port)})
            m_suite->session().config()->setValue(setting.section('=', 0, 0), setting.section('=', 1));
    }

private Q_SLOTS:
    void init()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_dispatched.clear();
        m_dispatchResult = true;
    }

    void usersAndGroupsGetOneCopyEach()
    {
        QSignalSpy signals(m_suite->session().records().get(), &suite::SuiteRecords::signalRaised);
        auto internal = message(QStringLiteral("VERDI; tecnico"), QStringLiteral("Mario Rossi <ROSSI>; verdi"));
        internal.link = QStringLiteral("DOC_VEN|4");
        QVERIFY(send(internal));
        const QString sender = QString::number(lastSenderCopy());
        // TECNICO holds ROMANO, VERDI and ROSSI; VERDI is named twice, "verdi" is another code.
        const QString copy = QStringLiteral("|0|%1|0|Riunione di lunedì").arg(sender);
        QCOMPARE(rows(QStringLiteral("SELECT MSUSR, MSSTA, MSSND, MSNOT, MSOBJ FROM SYS_MSG WHERE MSFLD = 1 "
                                     "ORDER BY RECORD_ID")),
                 (QStringList{"VERDI" + copy, "ROMANO" + copy, "ROSSI" + copy, "verdi" + copy}));
        // A new conversation: every copy is its own thread, the sender's copy too.
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSTHR <> RECORD_ID")).toInt(), 0);
        QCOMPARE(column(QStringLiteral("MSMIT"), sender.toInt()).toString(), QStringLiteral("Mario Rossi (ROSSI)"));
        QVERIFY(m_dispatched.isEmpty());
        // The linked document did not leave the company.
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 4")).toInt(), 0);
        QCOMPARE(signals.count(), 1);
        QCOMPARE(signals.first().first().toString(), QStringLiteral("#NewMessage#"));
    }

    void emailAddressesAreSplitForTheTransport()
    {
        // Anna is named in To and in Cc, cc@x.example in Cc and in Ccn: an
        // address found in the Cc list goes to Cc.
        auto m =
            message(QStringLiteral("Anna <anna@x.example>; ROSSI; solo@x.example"),
                    QStringLiteral("(cc@x.example); anna@x.example"), QStringLiteral("hidden@x.example; cc@x.example"));
        m.bodyFormat = eMessageBodyFormat_HTML;
        QVERIFY(send(m));
        QCOMPARE(m_dispatched.size(), 1);
        const OutgoingEmail &email = m_dispatched.first();
        QCOMPARE(QStringList({email.to, email.cc, email.ccn}),
                 (QStringList{"solo@x.example", "anna@x.example|cc@x.example", "hidden@x.example"}));
        QCOMPARE(email.bodyFormat, eMessageBodyFormat_HTML);
        QCOMPARE(email.messageId, lastSenderCopy());
    }

    void faxNumbersBecomeOutgoingFaxes_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("fax");
        const QStringList rows{
            "02 4000038=02 4000038|02 4000038||", "Paola Mariani <\"02 4000039\">=Paola Mariani|02 4000039|CON_RIF|1",
            "\"Cattaneo Arredamenti S.r.l. - Magazzino\" <011 4000114>=Cattaneo Arredamenti "
            "S.r.l. - Magazzino|011 4000114|CON_SED_FAX|C000003|S01",
            "\"Santoro Meccanica S.r.l.\" <02 4000038>=Santoro Meccanica S.r.l.|02 4000038|CON_TRO|C000001",
            "\"Studio Bianchi\" <06 111222>=Studio Bianchi|06 111222||"};
        for (const QString &row : rows)
            QTest::newRow(qPrintable(row.section('=', 0, 0))) << row.section('=', 0, 0) << row.section('=', 1);
    }

    void faxNumbersBecomeOutgoingFaxes()
    {
        QFETCH(QString, recipient);
        QFETCH(QString, fax);
        auto m = message(recipient);
        m.link = QStringLiteral("DOC_VEN|3");
        QVERIFY(send(m));
        QCOMPARE(rows(QStringLiteral("SELECT FXRAS, FXNUM, TBNAM, TBKEY, FXTYP, FXSTA, FXUSR, CDAZI, FXLNK, FXTBL, "
                                     "FXKEY, FXOBJ FROM SYS_FAX")),
                 QStringList{fax + QStringLiteral("|3|1|ROSSI|A01|1|DOC_VEN|3|") + m.subject});
        // The linked document went out by fax.
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 3")).toInt(), 2);
        QVERIFY(m_dispatched.isEmpty());
    }

    // A refused e-mail takes back the sender's copy with its files; an error
    // along the way keeps every row written before it, the sender's copy too.
    void aFailedEmailTakesBackTheSendersCopyOnly_data()
    {
        QTest::addColumn<bool>("faxFails");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("e-mail refused") << false << QStringList{"1|VERDI"};
        QTest::newRow("error on the fax") << true << QStringList{"2|ROSSI", "1|VERDI"};
    }

    void aFailedEmailTakesBackTheSendersCopyOnly()
    {
        QFETCH(bool, faxFails);
        QFETCH(QStringList, messages);
        m_dispatchResult = faxFails;
        if (faxFails) {
            for (const QString &statement : testing::TestDatabase::refusingInserts(u"SYS_FAX"_qs, u"fax refused"_qs))
                m_suite->session().connection()->nativeQuery(statement);
        }
        QTemporaryDir dir;
        auto m = message(QStringLiteral("VERDI; cliente@x.example; 02-4000038"));
        m.attachments = testing::writeFile(dir.path(), QStringLiteral("a.pdf"), "%PDF");
        if (faxFails)
            QVERIFY_THROWS_EXCEPTION(Failure, send(m));
        else
            QVERIFY(!send(m));
        QCOMPARE(rows(QStringLiteral("SELECT MSFLD, MSUSR FROM SYS_MSG ORDER BY MSFLD DESC")), messages);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG'")).toInt(),
                 messages.size());
    }

    void answersJoinTheThreadAndMarkTheMessage_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("forwarding");
        QTest::addColumn<int>("status");
        QTest::newRow("reply") << int(mstMessage) << false << int(mssReplied);
        QTest::newRow("forward") << int(mstMessage) << true << int(mssForwarded);
        QTest::newRow("public copy leaves it") << int(mstPublic) << false << int(mssNotReaded);
    }

    void answersJoinTheThreadAndMarkTheMessage()
    {
        QFETCH(int, type);
        QFETCH(bool, forwarding);
        QFETCH(int, status);
        QVERIFY(send(message(QStringLiteral("VERDI"))));
        const qint32 first = lastSenderCopy();
        const qint32 received = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1")).toInt();
        auto answer = message(QStringLiteral("ROSSI"));
        answer.messageType = type;
        (forwarding ? answer.forwarding : answer.replying) = received;
        QVERIFY(send(answer));
        QCOMPARE(column(QStringLiteral("MSSTA"), received).toInt(), status);
        if (forwarding)
            return;
        const qint32 answerCopy =
            scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1 AND MSUSR = 'ROSSI'")).toInt();
        // The recipient's copy joins the received message's thread, the
        // sender's copy the thread of the sender's own first copy.
        QCOMPARE(column(QStringLiteral("MSTHR"), answerCopy).toInt(), received);
        QCOMPARE(column(QStringLiteral("MSTHR"), lastSenderCopy()).toInt(), first);
    }

    void filesAreAttachedAndCopiedToEveryCopy()
    {
        QTemporaryDir dir;
        const QString file = testing::writeFile(dir.path(), QStringLiteral("offerta.pdf"), "%PDF-1.4 test");
        auto m = message(QStringLiteral("VERDI; 02 4000038; a@x.example"));
        m.attachments = file + QStringLiteral("||") + dir.filePath(QStringLiteral("missing.pdf"));
        QVERIFY(send(m));
        const qint32 sender = lastSenderCopy();
        const qint32 inbox = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1")).toInt();
        const qint32 fax = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_FAX")).toInt();
        QCOMPARE(column(QStringLiteral("MSATT"), sender).toInt(), 1);
        QCOMPARE(rows(QStringLiteral("SELECT ATTBL, ATKEY, ATNAM FROM SYS_ATT ORDER BY RECORD_ID")),
                 (QStringList{QStringLiteral("SYS_MSG|%1|offerta.pdf").arg(sender),
                              QStringLiteral("SYS_MSG|%1|offerta.pdf").arg(inbox),
                              QStringLiteral("SYS_FAX|%1|offerta.pdf").arg(fax)}));
        QCOMPARE(m_dispatched.first().attachmentIds,
                 scalar(QStringLiteral("SELECT MIN(RECORD_ID) FROM SYS_ATT")).toString());
    }

    void aStoredCopyIsSentAsItIs()
    {
        const qint32 id = MessageStore(*m_suite->session().connection(), nullptr)
                              .insert({.type = mstTask,
                                       .folder = msfSent,
                                       .user = "ROSSI",
                                       .to = "BIANCHI",
                                       .subject = "Stored",
                                       .taskStatus = tksUnknown});
        auto m = message(QStringLiteral("VERDI"));
        m.sentMessageId = id;
        QVERIFY(send(m));
        QCOMPARE(rows(QStringLiteral("SELECT MSUSR, MSOBJ, MSTYP, TKSTA FROM SYS_MSG WHERE MSFLD = 1")),
                 QStringList{"BIANCHI|Stored|1|0"});
        m.sentMessageId = 999999;
        QVERIFY(!send(m));
    }
    // Whatever the server refuses, the e-mail failed: the sender's copy goes
    // again, the inbox copies stay.
    void theRoadToTheServer_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reply");
        QTest::newRow("delivered") << QString() << QStringLiteral("(250) - ");
        QTest::newRow("a recipient refused") << QStringLiteral("reject-rcpt") << QStringLiteral("(550)");
    }

    void theRoadToTheServer()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reply);
        testing::SmtpTestServer server({.fault = fault, .faultRecipient = QStringLiteral("direzione@cliente.example")});
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(server.port());
        QString log;
        // Through the host's call: a group and an address in To, an address in
        // Cc, a linked sales document.
        QCOMPARE(m_suite->session().message()->SendMessage(
                     0, QStringLiteral("Offerta n. 2"),
                     QStringLiteral("{\\rtf1\\ansi\\ansicpg1252 In allegato l'offerta richiesta.\\par}"),
                     QStringLiteral("VENDITE; ufficio.acquisti@cliente.example"),
                     QStringLiteral("direzione@cliente.example"), QString(), QStringLiteral("DOC_VEN|2"), QString(),
                     QVariant(), QVariant(), 0, false, &log, 1),
                 fault.isEmpty());
        QVERIFY2(log.contains(reply), qPrintable(log));
        const qint32 sender = lastSenderCopy();
        QCOMPARE(sender > 0, fault.isEmpty());
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1")).toInt(), 3);
        const QList<testing::ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), fault.isEmpty() ? 1 : 0);
        if (!fault.isEmpty())
            return;
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSSND = %1").arg(sender)).toInt(),
            3);
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 2")).toInt(), 1);
        const auto &message = received.first();
        QCOMPARE(message.mailboxes(QStringLiteral("To")).first().second,
                 QStringLiteral("ufficio.acquisti@cliente.example"));
        QCOMPARE(message.mailboxes(QStringLiteral("Cc")).first().second, QStringLiteral("direzione@cliente.example"));
        QCOMPARE(message.mailboxes(QStringLiteral("From")).first(),
                 qMakePair(QStringLiteral("Mario Rossi"), QStringLiteral("m.rossi@brambilla.example.it")));
    }
};

QTEST_MAIN(SendingPipelineTest)
#include "tst_sendingpipeline.moc"
