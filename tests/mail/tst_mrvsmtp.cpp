#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "facade/Types.h"
#include "mail/mrvSMTP.h"
#include "services/SuiteSession.h"

#include <functional>

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using mrv::testing::Mailboxes;
using mrv::testing::ReceivedMessage;
using mrv::testing::SmtpServerOptions;
using mrv::testing::SmtpTestServer;
using mrv::testing::writeFile;
using Tls = SmtpServerOptions::Tls;
using Call = std::function<void(mrvSMTP &)>;
Q_DECLARE_METATYPE(Call)

namespace {

const QString kUser = u"mario"_qs;
const QString kPassword = u"Segreto è 42!"_qs;
const QString kAccessToken = u"ya29.a0-mario"_qs;

SmtpServerOptions serverOptions(Tls tls, bool login, const QString &fault = {})
{
    SmtpServerOptions options;
    options.tls = tls;
    options.user = login ? kUser : QString();
    options.password = kPassword;
    options.token = kAccessToken;
    options.fault = fault;
    options.faultRecipient = "bruno@example.com";
    return options;
}

QString plainText(const ReceivedMessage &message)
{
    return QString(message.partOfType("text/plain")->text).replace("\r\n", "\n").trimmed();
}

} // namespace

class TestMrvSmtp : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    QTemporaryDir m_files;

    // The outgoing account of the configuration, for a server with these options.
    void configure(const SmtpTestServer &server, const SmtpServerOptions &options = {},
                   qint32 auth = eEmailServerOutAuth_AUTH_LOGIN, const QString &timeout = "10",
                   const QString &tokenCommand = {})
    {
        server.configureAccount(*m_suite->session().config());
        const QList<QPair<QString, QString>> values = {
            {"EMAIL_OUT_SSL", options.tls == Tls::Implicit ? "-1" : "0"},
            {"EMAIL_OUT_STARTTLS", options.tls == Tls::StartTls ? "-1" : "0"},
            {"EMAIL_OUT_AUTH", QString::number(options.user.isEmpty() ? eEmailServerOutAuth_None : auth)},
            {"EMAIL_OUT_USER", options.user},
            {"EMAIL_OUT_PASS", options.password},
            {"EMAIL_OUT_TIMEOUT", timeout},
            {"EMAIL_OUT_TOKEN_COMMAND", tokenCommand},
            {"EMAIL_RECEIPT", "0"},
        };
        for (const auto &[key, value] : values)
            m_suite->session().config()->setValue(key, value);
    }

    std::unique_ptr<mrvSMTP> newSmtp(const QString &to = "anna@example.com") const
    {
        auto smtp = std::make_unique<mrvSMTP>();
        smtp->setErrors(m_suite->session().errors());
        smtp->setRecords(m_suite->session().records());
        if (!to.isEmpty())
            smtp->AddRecipient(to);
        return smtp;
    }

    QList<suite::ErrorReport> reports() const { return m_suite->session().errors()->recentReports(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        m_suite = std::make_unique<testing::DemoSuite>();
    }

    void init() { m_suite->session().errors()->clearRecentReports(); }

    void sendsComposedMessage()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        configure(server);
        m_suite->session().config()->setValue("EMAIL_RECEIPT", "-1");
        const QByteArray pdf = "%PDF-1.4\n" + QByteArray(300000, '\xe2');

        const auto smtp = newSmtp(QString());
        smtp->setSubject("Offerta n. 42 — perché conviene");
        QVERIFY(smtp->SetBodyText("<html><body><p>Gentile <b>cliente</b>,</p><p>l&#39;offerta.</p></body></html>",
                                  eMessageBodyFormat_HTML));
        smtp->AddRecipient("anna@example.com", "Anna Bianchi");
        smtp->AddRecipient("bruno@example.com", QString(), eMessageRecipient_Cc);
        smtp->AddRecipient("carla@example.com", "Carla", eMessageRecipient_Ccn);
        smtp->AddRecipient("ANNA@example.com", QString(), eMessageRecipient_Ccn); // once in the envelope
        smtp->AddAttachment(writeFile(m_files.path(), "offerta.pdf", pdf));
        smtp->ReplyTo("ufficio@example.com", "Società Rossi & Figli");
        // Only high and low are priorities of their own; anything else is normal.
        for (const auto &[written, read] : {std::pair{1, 1}, {2, 0}, {4, 4}, {-1, 0}, {1, 1}}) {
            smtp->setPriority(written);
            QCOMPARE(smtp->Priority(), read);
        }
        QSignalSpy progress(smtp.get(), &mrvSMTP::Progress);
        QSignalSpy log(smtp.get(), &mrvSMTP::Log);

        qint32 lResult = -1;
        QVERIFY2(smtp->Send(&lResult, "Vendite Rossi"), qPrintable(smtp->ConnectLog()));
        QCOMPARE(lResult, 0);
        QVERIFY(reports().isEmpty());

        const QList<ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), 1);
        const ReceivedMessage &message = received.first();
        QCOMPARE(message.mailFrom, u"m.rossi@brambilla.example.it"_qs);
        QCOMPARE(message.mailboxes("From"), (Mailboxes{{"Vendite Rossi", "m.rossi@brambilla.example.it"}}));
        QCOMPARE(message.mailboxes("To"), (Mailboxes{{"Anna Bianchi", "anna@example.com"}}));
        QCOMPARE(message.mailboxes("Cc"), (Mailboxes{{"", "bruno@example.com"}}));
        QCOMPARE(message.envelopeRecipients,
                 (QStringList{"anna@example.com", "bruno@example.com", "carla@example.com"}));
        QCOMPARE(message.mailboxes("Reply-To"), (Mailboxes{{"''Società Rossi & Figli''", "ufficio@example.com"}}));
        QCOMPARE(message.mailboxes("Disposition-Notification-To"), (Mailboxes{{"", "m.rossi@brambilla.example.it"}}));
        QCOMPARE(message.header("Subject"), smtp->Subject());
        for (const auto &[name, value] : message.headers)
            QVERIFY2(!value.contains("carla", Qt::CaseInsensitive), qPrintable(name));
        QCOMPARE(message.header("X-Priority") + '|' + message.header("Importance"), u"1 (Highest)|high"_qs);
        QVERIFY(QDateTime::fromString(message.header("Date"), Qt::RFC2822Date).isValid());
        QVERIFY(QRegularExpression("^<.+@brambilla\\.example\\.it>$").match(message.header("Message-ID")).hasMatch());
        QCOMPARE(message.structure, u"multipart/mixed(multipart/alternative(text/plain,text/html),application/pdf)"_qs);
        QCOMPARE(message.partNamed("offerta.pdf")->content, pdf);
        QCOMPARE(plainText(message), u"Gentile cliente,\n\nl'offerta."_qs);
        QCOMPARE(smtp->BodyTextPlain(), plainText(message));

        // Progress rises step by step to a total that covers the attachment in
        // base64; the connection log is what the Log signal told, line by line.
        const QVariant total = progress.last().at(1);
        QVERIFY(progress.size() > 1 && total.toInt() > pdf.size() * 4 / 3 && progress.last().at(0) == total);
        for (qsizetype i = 0; i < progress.size(); ++i)
            QVERIFY(progress.at(i).at(1) == total &&
                    progress.at(i).at(0).toInt() > (i ? progress.at(i - 1).at(0).toInt() : 0));
        QString told;
        for (const QList<QVariant> &line : log)
            told += u"(%1) - %2\r\n"_qs.arg(line.at(1).toInt()).arg(line.at(0).toString());
        QCOMPARE(smtp->ConnectLog(), told);
        QVERIFY2(told.contains("\r\n(250) - 250 2.0.0 Ok: queued"), qPrintable(told));
    }

    // A body read from its file, saved as a message file for the mail program.
    void bodyFromFile_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("structure");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *fileName, const QByteArray &content, int format,
                            const char *structure, const QString &text) {
            QTest::newRow(name) << QString(fileName) << content << format << QString(structure) << text;
        };
        row("latin-1 text", "nota.txt", "Caff\xe8", eMessageBodyFormat_Text, "text/plain", u"Caffè"_qs);
        row("utf-8 text", "nota.txt", "Caff\xc3\xa8", eMessageBodyFormat_Text, "text/plain", u"Caffè"_qs);
        row("html with its picture", "lettera.html",
            "<html><head><meta charset=\"utf-8\"></head><body><p>Caff\xc3\xa8 <img src=\"logo.png\">",
            eMessageBodyFormat_HTML, "multipart/alternative(text/plain,multipart/related(text/html,image/png))",
            u"Caffè"_qs);
        row("rtf", "lettera.rtf", "{\\rtf1\\ansi Caff\\'e8}", eMessageBodyFormat_RTF, "text/rtf", QString());
    }

    void bodyFromFile()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(int, format);
        QFETCH(QString, structure);
        QFETCH(QString, text);
        SmtpTestServer notStarted;
        configure(notStarted);
        QTemporaryDir folder;
        writeFile(folder.path(), "logo.png", testing::encodedImage("png", 1, 1));
        const auto smtp = newSmtp();
        smtp->setSubject("Bozza — perché no");
        smtp->AddRecipient("carla@example.com", QString(), eMessageRecipient_Ccn);
        smtp->AddAttachment(writeFile(m_files.path(), "allegato.txt", "riga\n"));

        smtp->SetBodyTextFromFile(writeFile(folder.path(), fileName, content), format);
        const QString path = smtp->Save();

        QVERIFY(reports().isEmpty());
        QVERIFY2(path.endsWith(".eml"), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), m_suite->session().paths()->productFolder("Temp"));
        const ReceivedMessage message = SmtpTestServer::parseFile(path);
        QCOMPARE(message.header("Subject") + message.header("Bcc"), smtp->Subject());
        QCOMPARE(message.structure, "multipart/mixed(" + structure + ",text/plain)");
        if (!text.isEmpty())
            QCOMPARE(plainText(message), text);
        QCOMPARE(smtp->BodyText().contains("cid:"), format == eMessageBodyFormat_HTML);
    }

    void invalidCallsReported_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<Call>("call");
        const QString missing = m_files.filePath("missing.txt");
        const auto row = [](const char *name, const char *procedure, Call call) {
            QTest::newRow(name) << QString(procedure) << call;
        };
        row("address with a line break", "AddRecipient",
            [](mrvSMTP &s) { s.AddRecipient("anna@example.com\r\nBcc: intruso@example.com"); });
        row("Ccn with a line break", "AddRecipient",
            [](mrvSMTP &s) { s.AddRecipient("anna@example.com\nX: y", QString(), eMessageRecipient_Ccn); });
        row("recipient type 4", "AddRecipient", [](mrvSMTP &s) { s.AddRecipient("anna@example.com", QString(), 4); });
        row("missing attachment", "AddAttachment", [missing](mrvSMTP &s) { s.AddAttachment(missing); });
        row("body format 3", "SetBodyText", [](mrvSMTP &s) { QVERIFY(!s.SetBodyText("x", 3)); });
        row("missing body file", "SetBodyTextFromFile",
            [missing](mrvSMTP &s) { s.SetBodyTextFromFile(missing, eMessageBodyFormat_Text); });
        row("reply-to that is no address", "ReplyTo", [](mrvSMTP &s) { s.ReplyTo("Ufficio Vendite"); });
        row("send without Records", "Send", {});
    }

    void invalidCallsReported()
    {
        QFETCH(QString, procedure);
        QFETCH(Call, call);
        mrvSMTP smtp;
        smtp.setErrors(m_suite->session().errors());
        qint32 lResult = -1;
        if (call) {
            smtp.setRecords(m_suite->session().records());
            call(smtp);
        } else {
            QVERIFY(!smtp.Send(&lResult));
        }

        const QList<suite::ErrorReport> reported = reports();
        QCOMPARE(reported.size(), 1);
        QCOMPARE(reported.first().object + "." + reported.first().procedure, "mrvSMTP." + procedure);
        QCOMPARE(lResult, procedure == "Send" ? 10 : -1);
        // An address left out, in whichever list, refuses the send: with the
        // others it would arrive without that copy.
        if (procedure == "AddRecipient" || procedure == "ReplyTo") {
            smtp.AddRecipient("bruno@example.com");
            QVERIFY(!smtp.Send(&lResult));
            QCOMPARE(lResult, 10);
            QVERIFY2(smtp.ConnectLog().contains("these addresses were refused"), qPrintable(smtp.ConnectLog()));
        }
    }

    // The login the account asks for over each kind of connection, and every
    // failure with its result code and its reason in the log; nothing arrives
    // and nothing is reported to the host, as the caller decides. The
    // credentials never show in the log, whatever the mechanism.
    void connectionAndLogin_data()
    {
        QTest::addColumn<int>("serverTls");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("accountTls");
        QTest::addColumn<int>("authMode");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("tokenCommand");
        const auto row = [](const char *name, Tls server, const char *fault, Tls account, int result, const char *why,
                            int authMode = eEmailServerOutAuth_AUTH_LOGIN, const QString &tokenCommand = {}) {
            QTest::newRow(name) << int(server) << QString(fault) << int(account) << authMode << result << QString(why)
                                << tokenCommand;
        };
        const Tls none = Tls::None, startTls = Tls::StartTls, implicit = Tls::Implicit;
        row("plain, AUTH LOGIN", none, "", none, 0, "(0) - AUTH LOGIN");
        row("STARTTLS, AUTH LOGIN", startTls, "", startTls, 0, "(0) - STARTTLS");
        row("implicit TLS, CRAM-MD5", implicit, "", implicit, 0, "(0) - AUTH CRAM-MD5", eEmailServerOutAuth_CRAM_MD5);
        row("mode none with a user: never logs in", none, "", none, 9, "", eEmailServerOutAuth_None);
        const int login = eEmailServerOutAuth_AUTH_LOGIN;
        row("STARTTLS, XOAUTH2 with the command's token", startTls, "", startTls, 0, "(0) - AUTH XOAUTH2", login,
            "printf '%s\\n' " + kAccessToken);
        row("XOAUTH2, token refused", none, "", none, 4, "(535) - 535 5.7.8 Authentication credentials invalid", login,
            "echo expired-token");
        row("token command fails", none, "", none, 10,
            "(0) - Nothing was sent: The access token command failed with exit code 3: no refresh token", login,
            "echo 'no refresh token' >&2; exit 3");
        row("connection refused", none, "not running", none, 1, "(0) - The server cannot be reached: ");
        row("TLS handshake fails", none, "", implicit, 2, "(0) - No secure (TLS) connection could be established");
        row("STARTTLS not offered", none, "", startTls, 2, "established: STARTTLS");
        row("untrusted certificate", startTls, "untrusted", startTls, 3,
            "(0) - The server's certificate is not trusted");
        row("STARTTLS, login refused", startTls, "reject-auth", startTls, 4,
            "(535) - 535 5.7.8 Authentication credentials invalid");
        row("421 at greeting", none, "greeting-421", none, 5, "(421) - The server refused the session at its greeting");
        row("550 for one recipient", none, "reject-rcpt", none, 6,
            "(550) - 550 5.1.1 <bruno@example.com>: Recipient address rejected");
        row("connection dropped during DATA", none, "drop-data", none, 7,
            "(0) - The connection was lost while the message was being sent: ");
        row("server never answers", none, "silent", none, 8, "(0) - The server did not answer in time: ");
    }

    void connectionAndLogin()
    {
        QFETCH(int, serverTls);
        QFETCH(QString, fault);
        QFETCH(int, accountTls);
        QFETCH(int, authMode);
        QFETCH(int, result);
        QFETCH(QString, why);
        QFETCH(QString, tokenCommand);
        const bool serverFault = fault != "not running" && fault != "untrusted";
        SmtpTestServer server(serverOptions(Tls(serverTls), true, serverFault ? fault : QString()));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        if (fault == "not running")
            server.stop();
        configure(server, serverOptions(Tls(accountTls), true), authMode, fault == "silent" ? "1" : "10", tokenCommand);
        if (fault == "untrusted")
            m_suite->session().config()->setValue("EMAIL_OUT_CA_FILE", QString());
        const auto smtp = newSmtp();
        smtp->AddRecipient("bruno@example.com", QString(), eMessageRecipient_Cc);

        qint32 lResult = -1;
        QCOMPARE(smtp->Send(&lResult), result == 0);

        QCOMPARE(lResult, result);
        const QString log = smtp->ConnectLog();
        QVERIFY2(why.isEmpty() ? !log.contains(u"(0) - AUTH"_qs) : log.contains(why), qPrintable(log));
        const QList<ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), result == 0 ? 1 : 0);
        for (const ReceivedMessage &message : received)
            QCOMPARE(message.authenticatedUser + (message.tls ? "+TLS" : ""), kUser + (serverTls ? "+TLS" : ""));
        QVERIFY(reports().isEmpty());
        const QByteArray password = kPassword.toUtf8();
        const QByteArray token = kAccessToken.toUtf8();
        const QByteArray tokenPayload = "user=" + kUser.toUtf8() +
                                        "\x01"
                                        "auth=Bearer " +
                                        token + "\x01\x01";
        for (const QByteArray &secret :
             {password, password.toBase64(), (kUser.toUtf8() + ' ').toBase64().left(8), token, tokenPayload.toBase64()})
            QVERIFY2(!log.contains(QString::fromUtf8(secret)), secret.constData());
    }

    // One connection per account, kept and logged in across objects; Reset
    // leaves an object with no message, which refuses to send.
    void connectionReusedForTheSameAccount()
    {
        const SmtpServerOptions options = serverOptions(Tls::None, true);
        SmtpTestServer server(options);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        QStringList logs;
        std::unique_ptr<mrvSMTP> smtp;
        for (const char *timeout : {"10", "10", "11"}) {
            configure(server, options, eEmailServerOutAuth_AUTH_LOGIN, timeout);
            smtp = newSmtp();
            smtp->setSubject("Prima");
            smtp->ReplyTo("ufficio@example.com");
            smtp->setPriority(eMessageProprity_Low);
            QVERIFY2(smtp->Send(), qPrintable(smtp->ConnectLog()));
            logs << smtp->ConnectLog();
        }
        smtp->Reset();
        QCOMPARE(smtp->ConnectLog() + smtp->Subject(), QString());
        qint32 lResult = -1;
        QVERIFY(!smtp->Send(&lResult));
        QCOMPARE(lResult, 10);
        QCOMPARE(smtp->ConnectLog(), u"(0) - Nothing was sent: the message has no recipients\r\n"_qs);

        const QList<ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), 3);
        QCOMPARE(received.first().mailboxes("Reply-To"), (Mailboxes{{"", "ufficio@example.com"}}));
        QCOMPARE(received.first().header("X-Priority") + '|' + received.first().header("Importance"),
                 u"5 (Lowest)|low"_qs);
        QCOMPARE(received.at(0).connection, received.at(1).connection);
        QVERIFY(received.at(1).connection != received.at(2).connection);
        QVERIFY(logs.at(0).contains("AUTH LOGIN"));
        QVERIFY2(!logs.at(1).contains("EHLO") && !logs.at(1).contains("AUTH"), qPrintable(logs.at(1)));
    }
};

QTEST_GUILESS_MAIN(TestMrvSmtp)
#include "tst_mrvsmtp.moc"
