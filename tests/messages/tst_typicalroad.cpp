#include "DemoSuite.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "services/SuiteSession.h"

#include <QTest>

using namespace mrv;

// The road a message takes from the host's call to the SMTP server: a group
// and an address in To, an address in Cc, a linked sales document.
class TypicalRoadTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;

    QVariant scalar(const QString &sql) { return m_suite->scalar(sql); }

    void account(quint16 port)
    {
        for (const QString &setting :
             QStringList{"EXCHANGE_MODE=ACCOUNT", "EMAIL_NAME=Mario Rossi", "EMAIL=m.rossi@brambilla.example.it",
                         "EMAIL_OUT_TYPE=3", "EMAIL_OUT_SERVER=127.0.0.1", "EMAIL_OUT_AUTH=0",
                         "EMAIL_OUT_PORT=" + QString::number(port)})
            m_suite->session().config()->setValue(setting.section('=', 0, 0), setting.section('=', 1));
    }

    bool send(QString &log)
    {
        return m_suite->session().message()->SendMessage(
            0, QStringLiteral("Offerta n. 2"),
            QStringLiteral("{\\rtf1\\ansi\\ansicpg1252 In allegato l'offerta richiesta.\\par}"),
            QStringLiteral("VENDITE; ufficio.acquisti@cliente.example"), QStringLiteral("direzione@cliente.example"),
            QString(), QStringLiteral("DOC_VEN|2"), QString(), QVariant(), QVariant(), 0, false, &log, 1);
    }

private Q_SLOTS:
    void init() { m_suite = std::make_unique<testing::DemoSuite>(); }

    // Whatever the server refuses, the e-mail failed: the sender's copy goes
    // again, the inbox copies stay.
    void deliveredOrTakenBack_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reply");
        QTest::newRow("delivered") << QString() << QStringLiteral("(250) - ");
        QTest::newRow("a recipient refused") << QStringLiteral("reject-rcpt") << QStringLiteral("(550)");
    }

    void deliveredOrTakenBack()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reply);
        testing::SmtpTestServer server({.fault = fault, .faultRecipient = QStringLiteral("direzione@cliente.example")});
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(server.port());
        QString log;
        QCOMPARE(send(log), fault.isEmpty());
        QVERIFY2(log.contains(reply), qPrintable(log));
        const qint32 sender = scalar(QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_MSG WHERE MSFLD = 2")).toInt();
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
        QCOMPARE(message.header(QStringLiteral("Subject")), QStringLiteral("Offerta n. 2"));
        QVERIFY(message.partOfType(QStringLiteral("text/html"))
                    ->text.contains(QLatin1String("In allegato l'offerta richiesta.")));
    }
};

QTEST_MAIN(TypicalRoadTest)
#include "tst_typicalroad.moc"
