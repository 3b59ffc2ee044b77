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
        auto config = m_suite->session().config();
        config->setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
        config->setValue(QStringLiteral("EMAIL_NAME"), QStringLiteral("Mario Rossi"));
        config->setValue(QStringLiteral("EMAIL"), QStringLiteral("m.rossi@brambilla.example.it"));
        config->setValue(QStringLiteral("EMAIL_OUT_TYPE"), QStringLiteral("3"));
        config->setValue(QStringLiteral("EMAIL_OUT_SERVER"), QStringLiteral("127.0.0.1"));
        config->setValue(QStringLiteral("EMAIL_OUT_PORT"), QString::number(port));
        config->setValue(QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("0"));
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

    void deliveredEverywhere()
    {
        testing::SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(server.port());
        QString log;
        QVERIFY2(send(log), qPrintable(log));

        const qint32 sender = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 2")).toInt();
        QVERIFY(sender > 0);
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSSND = %1").arg(sender)).toInt(),
            3);
        QVERIFY2(log.contains(QLatin1String("(250) - ")), qPrintable(log));
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 2")).toInt(), 1);

        QCOMPARE(server.receivedMessages().size(), 1);
        const auto message = server.receivedMessages().first();
        QCOMPARE(message.mailboxes(QStringLiteral("To")).first().second,
                 QStringLiteral("ufficio.acquisti@cliente.example"));
        QCOMPARE(message.mailboxes(QStringLiteral("Cc")).first().second, QStringLiteral("direzione@cliente.example"));
        QCOMPARE(message.mailboxes(QStringLiteral("From")).first(),
                 qMakePair(QStringLiteral("Mario Rossi"), QStringLiteral("m.rossi@brambilla.example.it")));
        QCOMPARE(message.header(QStringLiteral("Subject")), QStringLiteral("Offerta n. 2"));
        QVERIFY(message.partOfType(QStringLiteral("text/html"))
                    ->text.contains(QLatin1String("In allegato l'offerta richiesta.")));
    }

    // Whatever the server refuses, the e-mail failed: the sender's copy goes
    // again, the inbox copies stay.
    void aRefusedRecipientTakesBackTheSendersCopy()
    {
        testing::SmtpServerOptions options;
        options.fault = QStringLiteral("reject-rcpt");
        options.faultRecipient = QStringLiteral("direzione@cliente.example");
        testing::SmtpTestServer server(options);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(server.port());
        QString log;
        QVERIFY(!send(log));
        QVERIFY2(log.contains(QLatin1String("(550)")), qPrintable(log));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 2")).toInt(), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1")).toInt(), 3);
        QVERIFY(server.receivedMessages().isEmpty());
    }
};

QTEST_MAIN(TypicalRoadTest)
#include "tst_typicalroad.moc"
