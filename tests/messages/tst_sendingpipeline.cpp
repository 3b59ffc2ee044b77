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
using namespace Qt::StringLiterals;

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
    qint32 lastSenderCopy() { return scalar(u"SELECT MAX(RECORD_ID) FROM SYS_MSG WHERE MSFLD = 2"_s).toInt(); }
    QVariant column(const QString &column, qint32 message)
    {
        return scalar(u"SELECT %1 FROM SYS_MSG WHERE RECORD_ID = %2"_s.arg(column).arg(message));
    }

    static OutgoingMessage message(const QString &to, const QString &cc = QString(), const QString &ccn = QString())
    {
        return {0, u"Riunione di lunedì"_s, u"{\\rtf1\\ansi Ordine del giorno\\par}"_s, to, cc, ccn};
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
        auto internal = message(u"VERDI; tecnico"_s, u"Mario Rossi <ROSSI>; verdi"_s);
        internal.link = u"DOC_VEN|4"_s;
        QVERIFY(send(internal));
        const QString sender = QString::number(lastSenderCopy());
        // TECNICO holds ROMANO, VERDI and ROSSI; VERDI is named twice, "verdi" is another code.
        const QString copy = u"|0|%1|0|Riunione di lunedì"_s.arg(sender);
        QCOMPARE(rows(u"SELECT MSUSR, MSSTA, MSSND, MSNOT, MSOBJ FROM SYS_MSG WHERE MSFLD = 1 ORDER BY RECORD_ID"_s),
                 (QStringList{"VERDI" + copy, "ROMANO" + copy, "ROSSI" + copy, "verdi" + copy}));
        // A new conversation: every copy is its own thread, the sender's copy too.
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSTHR <> RECORD_ID"_s).toInt(), 0);
        QCOMPARE(column(u"MSMIT"_s, sender.toInt()).toString(), u"Mario Rossi (ROSSI)"_s);
        QVERIFY(m_dispatched.isEmpty());
        // The linked document did not leave the company.
        QCOMPARE(scalar(u"SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 4"_s).toInt(), 0);
        QCOMPARE(signals.count(), 1);
        QCOMPARE(signals.first().first().toString(), u"#NewMessage#"_s);
    }

    void emailAddressesAreSplitForTheTransport()
    {
        // Anna is named in To and in Cc, cc@x.example in Cc and in Ccn: an
        // address found in the Cc list goes to Cc.
        auto m = message(u"Anna <anna@x.example>; ROSSI; solo@x.example"_s, u"(cc@x.example); anna@x.example"_s,
                         u"hidden@x.example; cc@x.example"_s);
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
        m.link = u"DOC_VEN|3"_s;
        QVERIFY(send(m));
        QCOMPARE(rows(u"SELECT FXRAS, FXNUM, TBNAM, TBKEY, FXTYP, FXSTA, FXUSR, CDAZI, FXLNK, FXTBL, FXKEY, FXOBJ "
                      "FROM SYS_FAX"_s),
                 QStringList{fax + u"|3|1|ROSSI|A01|1|DOC_VEN|3|"_s + m.subject});
        // The linked document went out by fax.
        QCOMPARE(scalar(u"SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 3"_s).toInt(), 2);
        QVERIFY(m_dispatched.isEmpty());
    }

    // A refused e-mail takes back the sender's copy with its files; an error
    // along the way keeps every row written before it, the sender's copy too.
    // A session the server ends loses its unit of work whole: nothing of it
    // stays half-written.
    void aFailedEmailTakesBackTheSendersCopyOnly_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("e-mail refused") << QStringList{} << QStringList{"1|VERDI"};
        QTest::newRow("error on the fax") << testing::TestDatabase::refusingInserts(u"SYS_FAX"_s, u"fax refused"_s)
                                          << QStringList{"2|ROSSI", "1|VERDI"};
        if (testing::TestDatabase::onServer())
            QTest::newRow("session ended by the server")
                << testing::TestDatabase::endingTheSessionOnInsert(u"SYS_FAX"_s) << QStringList{};
    }

    void aFailedEmailTakesBackTheSendersCopyOnly()
    {
        QFETCH(QStringList, fault);
        QFETCH(QStringList, messages);
        m_dispatchResult = !fault.isEmpty();
        for (const QString &statement : fault)
            m_suite->session().connection()->nativeQuery(statement);
        QTemporaryDir dir;
        auto m = message(u"VERDI; cliente@x.example; 02-4000038"_s);
        m.attachments = testing::writeFile(dir.path(), u"a.pdf"_s, "%PDF");
        if (!fault.isEmpty())
            QVERIFY_THROWS_EXCEPTION(Failure, send(m));
        else
            QVERIFY(!send(m));
        QCOMPARE(rows(u"SELECT MSFLD, MSUSR FROM SYS_MSG ORDER BY MSFLD DESC"_s), messages);
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG'"_s).toInt(), messages.size());
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
        QVERIFY(send(message(u"VERDI"_s)));
        const qint32 first = lastSenderCopy();
        const qint32 received = scalar(u"SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1"_s).toInt();
        auto answer = message(u"ROSSI"_s);
        answer.messageType = type;
        (forwarding ? answer.forwarding : answer.replying) = received;
        QVERIFY(send(answer));
        QCOMPARE(column(u"MSSTA"_s, received).toInt(), status);
        if (forwarding)
            return;
        const qint32 answerCopy =
            scalar(u"SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1 AND MSUSR = 'ROSSI'"_s).toInt();
        // The recipient's copy joins the received message's thread, the
        // sender's copy the thread of the sender's own first copy.
        QCOMPARE(column(u"MSTHR"_s, answerCopy).toInt(), received);
        QCOMPARE(column(u"MSTHR"_s, lastSenderCopy()).toInt(), first);
    }

    void filesAreAttachedAndCopiedToEveryCopy()
    {
        QTemporaryDir dir;
        const QString file = testing::writeFile(dir.path(), u"offerta.pdf"_s, "%PDF-1.4 test");
        auto m = message(u"VERDI; 02 4000038; a@x.example"_s);
        m.attachments = file + u"||"_s + dir.filePath(u"missing.pdf"_s);
        QVERIFY(send(m));
        const qint32 sender = lastSenderCopy();
        const qint32 inbox = scalar(u"SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1"_s).toInt();
        const qint32 fax = scalar(u"SELECT RECORD_ID FROM SYS_FAX"_s).toInt();
        QCOMPARE(column(u"MSATT"_s, sender).toInt(), 1);
        QCOMPARE(rows(u"SELECT ATTBL, ATKEY, ATNAM FROM SYS_ATT WHERE ATTBL <> 'SYS_MST' ORDER BY RECORD_ID"_s),
                 (QStringList{u"SYS_MSG|%1|offerta.pdf"_s.arg(sender), u"SYS_MSG|%1|offerta.pdf"_s.arg(inbox),
                              u"SYS_FAX|%1|offerta.pdf"_s.arg(fax)}));
        QCOMPARE(m_dispatched.first().attachmentIds,
                 scalar(u"SELECT MIN(RECORD_ID) FROM SYS_ATT WHERE ATTBL <> 'SYS_MST'"_s).toString());
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
        auto m = message(u"VERDI"_s);
        m.sentMessageId = id;
        QVERIFY(send(m));
        QCOMPARE(rows(u"SELECT MSUSR, MSOBJ, MSTYP, TKSTA FROM SYS_MSG WHERE MSFLD = 1"_s),
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
        QTest::newRow("delivered") << QString() << u"(250) - "_s;
        QTest::newRow("a recipient refused") << u"reject-rcpt"_s << u"(550)"_s;
    }

    void theRoadToTheServer()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reply);
        testing::SmtpTestServer server({.fault = fault, .faultRecipient = u"direzione@cliente.example"_s});
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        server.configureAccount(*m_suite->session().config());
        m_suite->session().config()->setValue(u"EXCHANGE_MODE"_s, u"ACCOUNT"_s);
        QString log;
        // Through the host's call: a group and an address in To, an address in
        // Cc, a linked sales document.
        QCOMPARE(m_suite->session().message()->SendMessage(
                     0, u"Offerta n. 2"_s, u"{\\rtf1\\ansi\\ansicpg1252 In allegato l'offerta richiesta.\\par}"_s,
                     u"VENDITE; ufficio.acquisti@cliente.example"_s, u"direzione@cliente.example"_s, QString(),
                     u"DOC_VEN|2"_s, QString(), QVariant(), QVariant(), 0, false, &log, 1),
                 fault.isEmpty());
        QVERIFY2(log.contains(reply), qPrintable(log));
        const qint32 sender = lastSenderCopy();
        QCOMPARE(sender > 0, fault.isEmpty());
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1"_s).toInt(), 3);
        const QList<testing::ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), fault.isEmpty() ? 1 : 0);
        if (!fault.isEmpty())
            return;
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSSND = %1"_s.arg(sender)).toInt(), 3);
        QCOMPARE(scalar(u"SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 2"_s).toInt(), 1);
        const auto &message = received.first();
        QCOMPARE(message.mailboxes(u"To"_s).first().second, u"ufficio.acquisti@cliente.example"_s);
        QCOMPARE(message.mailboxes(u"Cc"_s).first().second, u"direzione@cliente.example"_s);
        QCOMPARE(message.mailboxes(u"From"_s).first(), qMakePair(u"Mario Rossi"_s, u"m.rossi@brambilla.example.it"_s));
    }
};

QTEST_MAIN(SendingPipelineTest)
#include "tst_sendingpipeline.moc"
