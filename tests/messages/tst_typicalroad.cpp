#include "DemoSuite.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "services/SuiteSession.h"

#include <QSignalSpy>
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
        QSignalSpy signals(m_suite->session().records().get(), &suite::SuiteRecords::signalRaised);
        QString log;
        QVERIFY2(send(log), qPrintable(log));

        const qint32 sender = scalar(QStringLiteral("SELECT RECORD_ID FROM SYS_MSG WHERE MSFLD = 2")).toInt();
        QVERIFY(sender > 0);
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1 AND MSSND = %1").arg(sender)).toInt(),
            3);
        QCOMPARE(scalar(QStringLiteral("SELECT DTSND FROM A01_DOC_VEN WHERE RECORD_ID = 2")).toInt(), 1);
        QCOMPARE(signals.count(), 1);
        QVERIFY2(log.contains(QLatin1String("(250) - ")), qPrintable(log));

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

    void aFailedSendingTakesBackOnlyTheSendersCopy_data()
    {
        using Tls = testing::SmtpServerOptions::Tls;
        QTest::addColumn<int>("serverTls");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("serverRuns");
        QTest::addColumn<QString>("accountSsl");
        QTest::addColumn<QString>("accountStartTls");
        QTest::addColumn<QString>("why");
        QTest::newRow("connection refused") << int(Tls::None) << "" << false << "0"
                                            << "0"
                                            << "cannot be reached";
        QTest::newRow("TLS handshake failure") << int(Tls::None) << "" << true << "-1"
                                               << "0"
                                               << "secure (TLS)";
        QTest::newRow("untrusted certificate") << int(Tls::StartTls) << "" << true << "0"
                                               << "-1"
                                               << "not trusted";
        QTest::newRow("AUTH rejected") << int(Tls::None) << "reject-auth" << true << "0"
                                       << "0"
                                       << "(535)";
        QTest::newRow("421 at greeting") << int(Tls::None) << "greeting-421" << true << "0"
                                         << "0"
                                         << "(421)";
        QTest::newRow("550 on one RCPT") << int(Tls::None) << "reject-rcpt" << true << "0"
                                         << "0"
                                         << "(550)";
        QTest::newRow("dropped during DATA") << int(Tls::None) << "drop-data" << true << "0"
                                             << "0"
                                             << "lost";
        QTest::newRow("server timeout") << int(Tls::None) << "silent" << true << "0"
                                        << "0"
                                        << "in time";
    }

    void aFailedSendingTakesBackOnlyTheSendersCopy()
    {
        QFETCH(int, serverTls);
        QFETCH(QString, fault);
        QFETCH(bool, serverRuns);
        QFETCH(QString, accountSsl);
        QFETCH(QString, accountStartTls);
        QFETCH(QString, why);
        testing::SmtpServerOptions options;
        options.tls = testing::SmtpServerOptions::Tls(serverTls);
        options.fault = fault;
        options.faultRecipient = QStringLiteral("direzione@cliente.example");
        if (fault == QLatin1String("reject-auth")) {
            options.user = QStringLiteral("rossi");
            options.password = QStringLiteral("segreto");
        }
        testing::SmtpTestServer server(options);
        if (serverRuns)
            QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(serverRuns ? server.port() : testing::SmtpTestServer::unusedPort());
        auto config = m_suite->session().config();
        config->setValue(QStringLiteral("EMAIL_OUT_SSL"), accountSsl);
        config->setValue(QStringLiteral("EMAIL_OUT_STARTTLS"), accountStartTls);
        config->setValue(QStringLiteral("EMAIL_OUT_TIMEOUT"), QStringLiteral("2"));
        if (!options.user.isEmpty()) {
            config->setValue(QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("1"));
            config->setValue(QStringLiteral("EMAIL_OUT_USER"), options.user);
            config->setValue(QStringLiteral("EMAIL_OUT_PASS"), options.password);
        }
        QString log;
        QVERIFY(!send(log));
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 2")).toInt(), 0);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 1")).toInt(), 3);
        QVERIFY2(log.contains(why), qPrintable(log));
        QVERIFY(!log.contains(QLatin1String("segreto")));
        QVERIFY(server.receivedMessages().isEmpty());
    }

    void theHostSendsAStoredMessageThroughRecords()
    {
        testing::SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        account(server.port());
        m_suite->session().connection()->execute(
            QStringLiteral("INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSMIT, MSDES, MSOBJ, MSTXT, MSPRY) VALUES "
                           "(0, 2, 1, 'ROSSI', 'Mario Rossi (ROSSI)', 'VERDI; a@cliente.example', 'Salvato', 'x', 1)"));
        const qint32 key = scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toInt();
        QString log;
        QVERIFY(m_suite->session().records()->sendStoredMessage(key, QVariant(), QVariant(), log, 1));
        QCOMPARE(scalar(QStringLiteral("SELECT MSUSR FROM SYS_MSG WHERE MSSND = %1").arg(key)).toString(),
                 QStringLiteral("VERDI"));
        QCOMPARE(server.receivedMessages().size(), 1);
    }
};

QTEST_MAIN(TypicalRoadTest)
#include "tst_typicalroad.moc"
