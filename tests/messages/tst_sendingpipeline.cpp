#include "DemoSuite.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "messages/MessageStore.h"
#include "messages/SendingPipeline.h"
#include "services/SuiteSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;

// The sending pipeline on the demo suite: who gets a copy, threads, faxes,
// the e-mail handed to the dispatcher, marks, and what stays after a failure.
class SendingPipelineTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    QList<OutgoingEmail> m_dispatched;
    bool m_dispatchResult = true;

    bool send(const OutgoingMessage &message, QString *log = nullptr)
    {
        suite::SuiteSession &session = m_suite->session();
        SendingPipeline pipeline(*session.connection(), session.config().get(), *session.users(), *session.records(),
                                 [this](const OutgoingEmail &email, QString &connectLog) {
                                     m_dispatched << email;
                                     connectLog = QStringLiteral("(250) - OK");
                                     return m_dispatchResult;
                                 });
        QString connectLog;
        const bool sent = pipeline.send(message, connectLog);
        if (log)
            *log = connectLog;
        return sent;
    }

    QList<QVariantList> rows(const QString &sql) { return m_suite->session().connection()->query(sql).rows; }
    QVariant scalar(const QString &sql) { return m_suite->scalar(sql); }
    qint32 lastSenderCopy()
    {
        return scalar(QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_MSG WHERE MSFLD = 2")).toInt();
    }

    static OutgoingMessage message(const QString &to, const QString &cc = QString(), const QString &ccn = QString())
    {
        OutgoingMessage m;
        m.subject = QStringLiteral("Riunione di lunedì");
        m.body = QStringLiteral("{\\rtf1\\ansi Ordine del giorno\\par}");
        m.to = to;
        m.cc = cc;
        m.ccn = ccn;
        return m;
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
        QVERIFY(send(message(QStringLiteral("VERDI; tecnico"), QStringLiteral("Mario Rossi <ROSSI>; verdi"))));
        const qint32 sender = lastSenderCopy();
        // TECNICO holds ROMANO, VERDI and ROSSI; VERDI is named twice, "verdi" is another code.
        const auto copies = rows(QStringLiteral("SELECT MSUSR, MSFLD, MSSTA, MSSND, MSTHR, MSNOT, MSOBJ FROM SYS_MSG "
                                                "WHERE MSFLD = 1 ORDER BY RECORD_ID"));
        QStringList users;
        for (const auto &copy : copies) {
            users << copy.at(0).toString();
            QCOMPARE(copy.at(2).toInt(), 0);
            QCOMPARE(copy.at(3).toInt(), sender);
            QCOMPARE(copy.at(5).toInt(), 0);
            QCOMPARE(copy.at(6).toString(), QStringLiteral("Riunione di lunedì"));
        }
        QCOMPARE(users, (QStringList{"VERDI", "ROMANO", "ROSSI", "verdi"}));
        // A new conversation: every copy is its own thread, the sender's copy too.
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSTHR <> RECORD_ID")).toInt(), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT MSMIT FROM SYS_MSG WHERE RECORD_ID = %1").arg(sender)).toString(),
                 QStringLiteral("Mario Rossi (ROSSI)"));
        QVERIFY(m_dispatched.isEmpty());
        QCOMPARE(signals.count(), 1);
        QCOMPARE(signals.first().first().toString(), QStringLiteral("#NewMessage#"));
    }

    void emailAddressesAreSplitForTheTransport()
    {
        // Anna is named in To and in Cc: an address found in the Cc list goes to Cc.
        auto m = message(QStringLiteral("Anna <anna@x.example>; ROSSI; solo@x.example"),
                         QStringLiteral("(cc@x.example); anna@x.example"), QStringLiteral("hidden@x.example"));
        m.bodyFormat = eMessageBodyFormat_HTML;
        QString log;
        QVERIFY(send(m, &log));
        QCOMPARE(log, QStringLiteral("(250) - OK"));
        QCOMPARE(m_dispatched.size(), 1);
        const OutgoingEmail &email = m_dispatched.first();
        QCOMPARE(email.to, QStringLiteral("solo@x.example"));
        QCOMPARE(email.cc, QStringLiteral("anna@x.example|cc@x.example"));
        QCOMPARE(email.ccn, QStringLiteral("hidden@x.example"));
        QCOMPARE(email.subject, m.subject);
        QCOMPARE(email.rtfBody, m.body);
        QVERIFY(email.htmlBody.isEmpty());
        QCOMPARE(email.messageId, lastSenderCopy());
    }

    void faxNumbersBecomeOutgoingFaxes_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<QString>("correspondent");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::newRow("bare number") << "02 4000038"
                                     << "02 4000038"
                                     << "02 4000038" << QString() << QString();
        QTest::newRow("a contact") << "Paola Mariani <\"02 4000039\">"
                                   << "Paola Mariani"
                                   << "02 4000039"
                                   << "CON_RIF"
                                   << "1";
        QTest::newRow("a branch") << "\"Cattaneo Arredamenti S.r.l. - Magazzino\" <011 4000114>"
                                  << "Cattaneo Arredamenti S.r.l. - Magazzino"
                                  << "011 4000114"
                                  << "CON_SED_FAX"
                                  << "C000003|S01";
        QTest::newRow("a customer") << "\"Santoro Meccanica S.r.l.\" <02 4000038>"
                                    << "Santoro Meccanica S.r.l."
                                    << "02 4000038"
                                    << "CON_TRO"
                                    << "C000001";
        QTest::newRow("nobody known") << "\"Studio Bianchi\" <06 111222>"
                                      << "Studio Bianchi"
                                      << "06 111222" << QString() << QString();
    }

    void faxNumbersBecomeOutgoingFaxes()
    {
        QFETCH(QString, recipient);
        QFETCH(QString, correspondent);
        QFETCH(QString, number);
        QFETCH(QString, table);
        QFETCH(QString, key);
        auto m = message(recipient);
        m.link = QStringLiteral("DOC_VEN|3");
        QVERIFY(send(m));
        const auto faxes = rows(QStringLiteral("SELECT FXRAS, FXNUM, TBNAM, TBKEY, FXTYP, FXSTA, FXUSR, CDAZI, FXLNK, "
                                               "FXTBL, FXKEY, FXOBJ FROM SYS_FAX"));
        QCOMPARE(faxes.size(), 1);
        const QVariantList &fax = faxes.first();
        QCOMPARE(fax.at(0).toString(), correspondent);
        QCOMPARE(fax.at(1).toString(), number);
        QCOMPARE(fax.at(2).toString(), table);
        QCOMPARE(fax.at(3).toString(), key);
        QCOMPARE(fax.at(4).toInt(), 3);
        QCOMPARE(fax.at(5).toInt(), 1);
        QCOMPARE(fax.at(6).toString(), QStringLiteral("ROSSI"));
        QCOMPARE(fax.at(7).toString(), QStringLiteral("A01"));
        QCOMPARE(fax.at(8).toInt(), 1);
        QCOMPARE(fax.at(9).toString() + QLatin1Char('|') + fax.at(10).toString(), QStringLiteral("DOC_VEN|3"));
        QCOMPARE(fax.at(11).toString(), m.subject);
        // The linked document went out by fax.
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 3")).toInt(), 2);
        QVERIFY(m_dispatched.isEmpty());
    }

    void linkedDocumentIsStampedOnlyWhenItLeaves()
    {
        auto internal = message(QStringLiteral("VERDI"));
        internal.link = QStringLiteral("DOC_VEN|4");
        QVERIFY(send(internal));
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 4")).toInt(), 0);
        auto email = message(QStringLiteral("cliente@x.example"));
        email.link = QStringLiteral("DOC_VEN|4");
        QVERIFY(send(email));
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 4")).toInt(), 1);
        QCOMPARE(
            scalar(QStringLiteral("SELECT MSTBL FROM SYS_MSG WHERE RECORD_ID = %1").arg(lastSenderCopy())).toString(),
            QStringLiteral("DOC_VEN"));
    }

    void aFailedEmailTakesBackTheSendersCopyOnly()
    {
        m_dispatchResult = false;
        QVERIFY(!send(message(QStringLiteral("VERDI; cliente@x.example"))));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 2")).toInt(), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSUSR = 'VERDI'")).toInt(), 1);
    }

    void answersJoinTheThreadAndMarkTheMessage_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("forwarding");
        QTest::addColumn<int>("status");
        QTest::newRow("reply") << 0 << false << 3;
        QTest::newRow("forward") << 0 << true << 2;
        QTest::newRow("public copy leaves it") << 4 << false << 0;
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
        QCOMPARE(scalar(QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = %1").arg(received)).toInt(),
                 status);
        if (!forwarding) {
            const qint32 answerCopy =
                scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1 AND MSUSR = 'ROSSI'")).toInt();
            QCOMPARE(scalar(QStringLiteral("SELECT MSTHR FROM SYS_MSG WHERE RECORD_ID = %1").arg(answerCopy)).toInt(),
                     received);
            QCOMPARE(
                scalar(QStringLiteral("SELECT MSTHR FROM SYS_MSG WHERE RECORD_ID = %1").arg(lastSenderCopy())).toInt(),
                first);
        }
    }

    void filesAreAttachedAndCopiedToEveryCopy()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("offerta.pdf"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("%PDF-1.4 test");
        out.close();
        auto m = message(QStringLiteral("VERDI; 02 4000038; a@x.example"));
        m.attachments = file + QStringLiteral("||") + dir.filePath(QStringLiteral("missing.pdf"));
        QVERIFY(send(m));
        const qint32 sender = lastSenderCopy();
        QCOMPARE(scalar(QStringLiteral("SELECT MSATT FROM SYS_MSG WHERE RECORD_ID = %1").arg(sender)).toInt(), 1);
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG' AND ATKEY = '%1'").arg(sender))
                .toInt(),
            1);
        const QString inbox = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 1")).toString();
        QCOMPARE(scalar(QStringLiteral("SELECT ATNAM FROM SYS_ATT WHERE ATTBL = 'SYS_MSG' AND ATKEY = '%1'").arg(inbox))
                     .toString(),
                 QStringLiteral("offerta.pdf"));
        const QString fax = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_FAX")).toString();
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_FAX' AND ATKEY = '%1'").arg(fax))
                .toInt(),
            1);
        QCOMPARE(
            m_dispatched.first().attachmentIds,
            scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_ATT WHERE ATTBL = 'SYS_MSG' AND ATKEY = '%1'").arg(sender))
                .toString());
    }

    void aStoredCopyIsSentAsItIs()
    {
        MessageStore store(*m_suite->session().connection(), nullptr);
        MessageCopy stored;
        stored.type = mstTask;
        stored.folder = msfSent;
        stored.user = QStringLiteral("ROSSI");
        stored.to = QStringLiteral("BIANCHI");
        stored.subject = QStringLiteral("Stored");
        stored.taskStatus = tksUnknown;
        const qint32 id = store.insert(stored);
        auto m = message(QStringLiteral("VERDI"));
        m.sentMessageId = id;
        QVERIFY(send(m));
        const auto copy = rows(QStringLiteral("SELECT MSUSR, MSOBJ, MSTYP, TKSTA FROM SYS_MSG WHERE MSFLD = 1"));
        QCOMPARE(copy.size(), 1);
        QCOMPARE(copy.first().at(0).toString(), QStringLiteral("BIANCHI"));
        QCOMPARE(copy.first().at(1).toString(), QStringLiteral("Stored"));
        QCOMPARE(copy.first().at(2).toInt(), 1);
        QCOMPARE(copy.first().at(3).toInt(), 0);
        auto missing = message(QStringLiteral("VERDI"));
        missing.sentMessageId = 999999;
        QVERIFY(!send(missing));
    }
};

QTEST_GUILESS_MAIN(SendingPipelineTest)
#include "tst_sendingpipeline.moc"
