#include "DemoSuite.h"
#include "SmtpTestServer.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "mail/mrvEmailParams.h"
#include "mail/mrvSMTP.h"
#include "services/SuiteSession.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using mrv::testing::ReceivedMessage;
using mrv::testing::SmtpServerOptions;
using mrv::testing::SmtpTestServer;
using Mailboxes = QList<QPair<QString, QString>>;

namespace {

const QString kUser = QStringLiteral("mario");
const QString kPassword = QStringLiteral("Segreto è 42!");

// The outgoing account as the configuration stores it.
struct AccountSettings
{
    QString server = QStringLiteral("localhost");
    quint16 port = 0;
    bool ssl = false;
    bool startTls = false;
    qint32 auth = eEmailServerOutAuth_None;
    QString user;
    QString password;
    QString caFile;
    QString timeout = QStringLiteral("10");
    QString receipt = QStringLiteral("0");
};

AccountSettings settingsFor(const SmtpTestServer &server, const SmtpServerOptions &options = {})
{
    AccountSettings settings;
    settings.port = server.port();
    settings.startTls = options.tls == SmtpServerOptions::Tls::StartTls;
    settings.ssl = options.tls == SmtpServerOptions::Tls::Implicit;
    settings.caFile = server.certificatePath();
    if (!options.user.isEmpty()) {
        settings.auth = eEmailServerOutAuth_AUTH_LOGIN;
        settings.user = options.user;
        settings.password = options.password;
    }
    return settings;
}

SmtpServerOptions loginServer(SmtpServerOptions::Tls tls = SmtpServerOptions::Tls::None)
{
    SmtpServerOptions options;
    options.tls = tls;
    options.user = kUser;
    options.password = kPassword;
    return options;
}

QString flag(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QString writeFile(const QTemporaryDir &folder, const QString &name, const QByteArray &content)
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw Failure(QStringLiteral("Cannot write ") + file.fileName());
    return file.fileName();
}

QString plainText(const ReceivedMessage &message)
{
    QString text = message.partOfType(QStringLiteral("text/plain"))->text;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed();
}

} // namespace

class TestMrvSmtp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void recordsLoadsTheAccount();
    void priorityKeepsHighAndLow_data();
    void priorityKeepsHighAndLow();
    void sendsComposedMessage();
    void replyToForm_data();
    void replyToForm();
    void bodyFromFile_data();
    void bodyFromFile();
    void invalidCallsReported_data();
    void invalidCallsReported();
    void reliability_data();
    void reliability();
    void credentialsNeverLogged_data();
    void credentialsNeverLogged();
    void saveWritesMessageFile();
    void resetStartsAnewMessage();
    void connectionReusedByNextObject();

private:
    void configure(const AccountSettings &settings);
    std::unique_ptr<mrvSMTP> newSmtp() const;
    QList<suite::ErrorReport> reports() const;

    std::unique_ptr<testing::DemoSuite> m_suite;
    QTemporaryDir m_files;
};

void TestMrvSmtp::initTestCase()
{
    QVERIFY(m_files.isValid());
    m_suite = std::make_unique<testing::DemoSuite>();
}

void TestMrvSmtp::init()
{
    m_suite->session().errors()->clearRecentReports();
}

void TestMrvSmtp::configure(const AccountSettings &settings)
{
    const QList<QPair<QString, QString>> values = {
        {QStringLiteral("EMAIL_NAME"), QStringLiteral("Mario Rossi")},
        {QStringLiteral("EMAIL"), QStringLiteral("mario@example.com")},
        {QStringLiteral("EMAIL_OUT_TYPE"), QString::number(eEmailServerOut_SMTP)},
        {QStringLiteral("EMAIL_OUT_SERVER"), settings.server},
        {QStringLiteral("EMAIL_OUT_PORT"), QString::number(settings.port)},
        {QStringLiteral("EMAIL_OUT_SSL"), flag(settings.ssl)},
        {QStringLiteral("EMAIL_OUT_STARTTLS"), flag(settings.startTls)},
        {QStringLiteral("EMAIL_OUT_AUTH"), QString::number(settings.auth)},
        {QStringLiteral("EMAIL_OUT_USER"), settings.user},
        {QStringLiteral("EMAIL_OUT_PASS"), settings.password},
        {QStringLiteral("EMAIL_OUT_CA_FILE"), settings.caFile},
        {QStringLiteral("EMAIL_OUT_TIMEOUT"), settings.timeout},
        {QStringLiteral("EMAIL_RECEIPT"), settings.receipt},
    };
    for (const auto &[key, value] : values)
        m_suite->session().config()->setValue(key, value);
}

std::unique_ptr<mrvSMTP> TestMrvSmtp::newSmtp() const
{
    auto smtp = std::make_unique<mrvSMTP>();
    smtp->setErrors(m_suite->session().errors());
    smtp->setRecords(m_suite->session().records());
    return smtp;
}

QList<suite::ErrorReport> TestMrvSmtp::reports() const
{
    return m_suite->session().errors()->recentReports();
}

void TestMrvSmtp::recordsLoadsTheAccount()
{
    AccountSettings settings;
    settings.server = QStringLiteral("smtp.example.com");
    settings.port = 587;
    settings.startTls = true;
    settings.auth = eEmailServerOutAuth_CRAM_MD5;
    settings.user = kUser;
    settings.password = kPassword;
    configure(settings);

    const auto smtp = newSmtp();

    QVERIFY(smtp->Records() == std::static_pointer_cast<host::Records>(m_suite->session().records()));
    const std::shared_ptr<mrvEmailParams> params = smtp->Params();
    QVERIFY(params);
    QCOMPARE(params->Email, QStringLiteral("mario@example.com"));
    QCOMPARE(params->ServerName_Out, settings.server);
    QCOMPARE(params->ServerPort_Out, 587);
    QVERIFY(params->StartTLS_Out);
    QVERIFY(!params->ServerSSL_Out);
    QCOMPARE(params->ServerAuth_Out, qint32(eEmailServerOutAuth_CRAM_MD5));
    QCOMPARE(params->Password_Out, kPassword);
}

void TestMrvSmtp::priorityKeepsHighAndLow_data()
{
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("read");

    QTest::newRow("normal") << int(eMessageProprity_Normal) << int(eMessageProprity_Normal);
    QTest::newRow("high") << int(eMessageProprity_High) << int(eMessageProprity_High);
    QTest::newRow("low") << int(eMessageProprity_Low) << int(eMessageProprity_Low);
    QTest::newRow("a message priority's high (2)") << 2 << int(eMessageProprity_Normal);
    QTest::newRow("undefined 3") << 3 << int(eMessageProprity_Normal);
    QTest::newRow("negative") << -1 << int(eMessageProprity_Normal);
}

void TestMrvSmtp::priorityKeepsHighAndLow()
{
    QFETCH(int, written);
    QFETCH(int, read);

    mrvSMTP smtp;
    smtp.setPriority(eMessageProprity_High);
    smtp.setPriority(written);
    QCOMPARE(smtp.Priority(), read);
}

void TestMrvSmtp::sendsComposedMessage()
{
    const SmtpServerOptions options = loginServer(SmtpServerOptions::Tls::StartTls);
    SmtpTestServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    AccountSettings settings = settingsFor(server, options);
    settings.receipt = QStringLiteral("-1");
    configure(settings);
    const QByteArray pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";

    const auto smtp = newSmtp();
    smtp->setSubject(QStringLiteral("Offerta n. 42 — perché conviene"));
    QVERIFY(smtp->SetBodyText(
        QStringLiteral("<html><body><p>Gentile <b>cliente</b>,</p><p>in allegato l&#39;offerta.</p></body></html>"),
        eMessageBodyFormat_HTML));
    smtp->AddRecipient(QStringLiteral("anna@example.com"), QStringLiteral("Anna Bianchi"));
    smtp->AddRecipient(QStringLiteral("bruno@example.com"), QString(), eMessageRecipient_Cc);
    smtp->AddRecipient(QStringLiteral("carla@example.com"), QStringLiteral("Carla"), eMessageRecipient_Ccn);
    smtp->AddAttachment(writeFile(m_files, QStringLiteral("offerta.pdf"), pdf));
    smtp->ReplyTo(QStringLiteral("ufficio@example.com"), QStringLiteral("Ufficio Vendite"));
    smtp->setPriority(eMessageProprity_High);
    QSignalSpy progress(smtp.get(), &mrvSMTP::Progress);
    QSignalSpy log(smtp.get(), &mrvSMTP::Log);

    qint32 lResult = -1;
    QVERIFY2(smtp->Send(&lResult, QStringLiteral("Vendite Rossi")), qPrintable(smtp->ConnectLog()));
    QCOMPARE(lResult, 0);
    QVERIFY(reports().isEmpty());

    const QList<ReceivedMessage> received = server.receivedMessages();
    QCOMPARE(received.size(), 1);
    const ReceivedMessage &message = received.first();
    QVERIFY(message.tls);
    QCOMPARE(message.authenticatedUser, kUser);
    QCOMPARE(message.mailFrom, QStringLiteral("mario@example.com"));
    QCOMPARE(message.mailboxes(QStringLiteral("From")),
             (Mailboxes{{QStringLiteral("Vendite Rossi"), QStringLiteral("mario@example.com")}}));
    QCOMPARE(message.mailboxes(QStringLiteral("To")),
             (Mailboxes{{QStringLiteral("Anna Bianchi"), QStringLiteral("anna@example.com")}}));
    QCOMPARE(message.mailboxes(QStringLiteral("Cc")), (Mailboxes{{QString(), QStringLiteral("bruno@example.com")}}));
    QVERIFY(message.headerValues(QStringLiteral("Bcc")).isEmpty());
    QCOMPARE(message.envelopeRecipients,
             QStringList({QStringLiteral("anna@example.com"), QStringLiteral("bruno@example.com"),
                          QStringLiteral("carla@example.com")}));
    QCOMPARE(message.mailboxes(QStringLiteral("Disposition-Notification-To")),
             (Mailboxes{{QString(), QStringLiteral("mario@example.com")}}));
    QCOMPARE(message.header(QStringLiteral("Subject")), smtp->Subject());
    QCOMPARE(message.header(QStringLiteral("X-Priority")), QStringLiteral("1 (Highest)"));
    QCOMPARE(message.structure(),
             QStringLiteral("multipart/mixed(multipart/alternative(text/plain,text/html),application/pdf)"));
    QCOMPARE(message.partNamed(QStringLiteral("offerta.pdf"))->content, pdf);
    QCOMPARE(plainText(message), QStringLiteral("Gentile cliente,\n\nin allegato l'offerta."));
    QCOMPARE(smtp->BodyTextPlain(), plainText(message));

    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toInt(), progress.last().at(1).toInt());
    const QStringList lines = smtp->ConnectLog().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), log.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QVariant> &signal = log.at(i);
        QCOMPARE(lines.at(i), QStringLiteral("(%1) - %2").arg(signal.at(1).toInt()).arg(signal.at(0).toString()));
    }
    QVERIFY(lines.contains(QStringLiteral("(0) - STARTTLS")));
    QVERIFY(!lines.filter(QRegularExpression(QStringLiteral("^\\(250\\) - 250 2\\.0\\.0 Ok: queued"))).isEmpty());
}

void TestMrvSmtp::replyToForm_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("displayName");

    QTest::newRow("no name: the bare address") << ""
                                               << "";
    QTest::newRow("name between double apostrophes") << "Ufficio Vendite"
                                                     << "''Ufficio Vendite''";
    QTest::newRow("accented name") << "Società Rossi & Figli"
                                   << "''Società Rossi & Figli''";
}

void TestMrvSmtp::replyToForm()
{
    QFETCH(QString, name);
    QFETCH(QString, displayName);

    SmtpTestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    configure(settingsFor(server));
    const auto smtp = newSmtp();
    smtp->AddRecipient(QStringLiteral("anna@example.com"));
    smtp->ReplyTo(QStringLiteral("ufficio@example.com"), name);

    QVERIFY2(smtp->Send(), qPrintable(smtp->ConnectLog()));

    QCOMPARE(server.receivedMessages().first().mailboxes(QStringLiteral("Reply-To")),
             (Mailboxes{{displayName, QStringLiteral("ufficio@example.com")}}));
}

void TestMrvSmtp::bodyFromFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("structure");
    QTest::addColumn<QString>("text");

    QTest::newRow("latin-1 text") << "nota.txt" << QByteArray("Caff\xe8 pronto") << int(eMessageBodyFormat_Text)
                                  << "text/plain"
                                  << "Caffè pronto";
    QTest::newRow("utf-8 text") << "nota.txt" << QByteArray("Caff\xc3\xa8 pronto") << int(eMessageBodyFormat_Text)
                                << "text/plain"
                                << "Caffè pronto";
    QTest::newRow("html with its picture")
        << "lettera.html"
        << QByteArray("<html><head><meta charset=\"utf-8\"></head><body><p>Caff\xc3\xa8 <img src=\"logo.png\"></p>"
                      "</body></html>")
        << int(eMessageBodyFormat_HTML) << "multipart/alternative(text/plain,multipart/related(text/html,image/png))"
        << "Caffè";
    QTest::newRow("rtf") << "lettera.rtf" << QByteArray("{\\rtf1\\ansi Caff\\'e8}") << int(eMessageBodyFormat_RTF)
                         << "text/rtf"
                         << "";
}

void TestMrvSmtp::bodyFromFile()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(int, format);
    QFETCH(QString, structure);
    QFETCH(QString, text);

    SmtpTestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    configure(settingsFor(server));
    QTemporaryDir folder;
    writeFile(folder, QStringLiteral("logo.png"),
              QByteArray::fromBase64(
                  "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII="));
    const auto smtp = newSmtp();
    smtp->AddRecipient(QStringLiteral("anna@example.com"));

    smtp->SetBodyTextFromFile(writeFile(folder, fileName, content), format);
    QVERIFY2(smtp->Send(), qPrintable(smtp->ConnectLog()));

    QVERIFY(reports().isEmpty());
    const ReceivedMessage message = server.receivedMessages().first();
    QCOMPARE(message.structure(), structure);
    if (!text.isEmpty())
        QCOMPARE(plainText(message), text);
    QCOMPARE(smtp->BodyText().contains(QStringLiteral("cid:")), format == eMessageBodyFormat_HTML);
}

void TestMrvSmtp::invalidCallsReported_data()
{
    QTest::addColumn<QString>("procedure");

    QTest::newRow("address with a line break") << "AddRecipient";
    QTest::newRow("recipient type 4") << "AddRecipient";
    QTest::newRow("missing attachment") << "AddAttachment";
    QTest::newRow("body format 3") << "SetBodyText";
    QTest::newRow("missing body file") << "SetBodyTextFromFile";
    QTest::newRow("reply-to that is no address") << "ReplyTo";
    QTest::newRow("send without Records") << "Send";
}

void TestMrvSmtp::invalidCallsReported()
{
    QFETCH(QString, procedure);

    const QString row = QString::fromLatin1(QTest::currentDataTag());
    const QString missing = m_files.filePath(QStringLiteral("missing.txt"));
    mrvSMTP smtp;
    smtp.setErrors(m_suite->session().errors());
    if (row != QLatin1String("send without Records"))
        smtp.setRecords(m_suite->session().records());
    qint32 lResult = -1;
    if (row == QLatin1String("address with a line break"))
        smtp.AddRecipient(QStringLiteral("anna@example.com\r\nBcc: intruso@example.com"));
    else if (row == QLatin1String("recipient type 4"))
        smtp.AddRecipient(QStringLiteral("anna@example.com"), QString(), 4);
    else if (row == QLatin1String("missing attachment"))
        smtp.AddAttachment(missing);
    else if (row == QLatin1String("body format 3"))
        QVERIFY(!smtp.SetBodyText(QStringLiteral("x"), 3));
    else if (row == QLatin1String("missing body file"))
        smtp.SetBodyTextFromFile(missing, eMessageBodyFormat_Text);
    else if (row == QLatin1String("reply-to that is no address"))
        smtp.ReplyTo(QStringLiteral("Ufficio Vendite"));
    else
        QVERIFY(!smtp.Send(&lResult));

    const QList<suite::ErrorReport> reported = reports();
    QCOMPARE(reported.size(), 1);
    QCOMPARE(reported.first().object, QStringLiteral("mrvSMTP"));
    QCOMPARE(reported.first().procedure, procedure);
    if (procedure == QLatin1String("Send"))
        QCOMPARE(lResult, 10);
}

void TestMrvSmtp::reliability_data()
{
    using Tls = SmtpServerOptions::Tls;
    QTest::addColumn<int>("serverTls");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("serverRuns");
    QTest::addColumn<bool>("accountSsl");
    QTest::addColumn<bool>("accountStartTls");
    QTest::addColumn<bool>("trustCertificate");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("why");

    QTest::newRow("connection refused") << int(Tls::None) << "" << false << false << false << true << "10" << 1
                                        << QStringList{"(0) - The server cannot be reached: "};
    QTest::newRow("TLS handshake fails") << int(Tls::None) << "" << true << true << false << true << "10" << 2
                                         << QStringList{"(0) - No secure (TLS) connection could be established: "};
    QTest::newRow("STARTTLS not offered")
        << int(Tls::None) << "" << true << false << true << true << "10" << 2
        << QStringList{"(0) - No secure (TLS) connection could be established: ", "STARTTLS"};
    QTest::newRow("untrusted certificate") << int(Tls::StartTls) << "" << true << false << true << false << "10" << 3
                                           << QStringList{"(0) - The server's certificate is not trusted: "};
    QTest::newRow("login refused") << int(Tls::None) << "reject-auth" << true << false << false << true << "10" << 4
                                   << QStringList{"(535) - 535 5.7.8 Authentication credentials invalid",
                                                  "(535) - The server refused the login: "};
    QTest::newRow("421 at greeting") << int(Tls::None) << "greeting-421" << true << false << false << true << "10" << 5
                                     << QStringList{"(421) - 421 4.3.2 Service not available",
                                                    "(421) - The server refused the session at its greeting: "};
    QTest::newRow("550 for one recipient")
        << int(Tls::None) << "reject-rcpt" << true << false << false << true << "10" << 6
        << QStringList{"(550) - 550 5.1.1 <bruno@example.com>: Recipient address rejected",
                       "(550) - The server refused a recipient; the message was sent to nobody: "};
    QTest::newRow("connection dropped during DATA")
        << int(Tls::None) << "drop-data" << true << false << false << true << "10" << 7
        << QStringList{"(354) - 354 End data", "(0) - The connection was lost while the message was being sent: "};
    QTest::newRow("server never answers") << int(Tls::None) << "silent" << true << false << false << true << "1" << 8
                                          << QStringList{"(0) - The server did not answer in time: "};
}

void TestMrvSmtp::reliability()
{
    QFETCH(int, serverTls);
    QFETCH(QString, fault);
    QFETCH(bool, serverRuns);
    QFETCH(bool, accountSsl);
    QFETCH(bool, accountStartTls);
    QFETCH(bool, trustCertificate);
    QFETCH(QString, timeout);
    QFETCH(int, result);
    QFETCH(QStringList, why);

    SmtpServerOptions options = loginServer(SmtpServerOptions::Tls(serverTls));
    options.fault = fault;
    options.faultRecipient = QStringLiteral("bruno@example.com");
    SmtpTestServer server(options);
    if (serverRuns)
        QVERIFY2(server.start(), qPrintable(server.errorText()));
    AccountSettings settings = settingsFor(server, options);
    settings.port = serverRuns ? server.port() : SmtpTestServer::unusedPort();
    settings.ssl = accountSsl;
    settings.startTls = accountStartTls;
    settings.caFile = trustCertificate ? server.certificatePath() : QString();
    settings.timeout = timeout;
    configure(settings);
    const auto smtp = newSmtp();
    smtp->AddRecipient(QStringLiteral("anna@example.com"));
    smtp->AddRecipient(QStringLiteral("bruno@example.com"), QString(), eMessageRecipient_Cc);
    smtp->SetBodyText(QStringLiteral("Ciao"));

    qint32 lResult = -1;
    QVERIFY(!smtp->Send(&lResult));

    QCOMPARE(lResult, result);
    const QString log = smtp->ConnectLog();
    for (const QString &reason : why)
        QVERIFY2(log.contains(reason), qPrintable(log));
    QVERIFY(server.receivedMessages().isEmpty());
    QVERIFY(reports().isEmpty());
}

void TestMrvSmtp::credentialsNeverLogged_data()
{
    QTest::addColumn<int>("authMode");
    QTest::addColumn<QStringList>("mechanisms");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("authLine");

    QTest::newRow("AUTH LOGIN") << int(eEmailServerOutAuth_AUTH_LOGIN) << QStringList() << ""
                                << "(0) - AUTH LOGIN";
    QTest::newRow("AUTH LOGIN refused") << int(eEmailServerOutAuth_AUTH_LOGIN) << QStringList() << "reject-auth"
                                        << "(0) - AUTH LOGIN";
    QTest::newRow("AUTH PLAIN") << int(eEmailServerOutAuth_None) << QStringList{QStringLiteral("PLAIN")} << ""
                                << "(0) - AUTH PLAIN";
    QTest::newRow("AUTH PLAIN refused") << int(eEmailServerOutAuth_None) << QStringList{QStringLiteral("PLAIN")}
                                        << "reject-auth"
                                        << "(0) - AUTH PLAIN";
    QTest::newRow("CRAM-MD5") << int(eEmailServerOutAuth_CRAM_MD5) << QStringList() << ""
                              << "(0) - AUTH CRAM-MD5";
}

void TestMrvSmtp::credentialsNeverLogged()
{
    QFETCH(int, authMode);
    QFETCH(QStringList, mechanisms);
    QFETCH(QString, fault);
    QFETCH(QString, authLine);

    SmtpServerOptions options = loginServer(SmtpServerOptions::Tls::StartTls);
    options.mechanisms = mechanisms;
    options.fault = fault;
    SmtpTestServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    AccountSettings settings = settingsFor(server, options);
    settings.auth = authMode;
    configure(settings);
    const auto smtp = newSmtp();
    smtp->AddRecipient(QStringLiteral("anna@example.com"));

    QCOMPARE(smtp->Send(), fault.isEmpty());

    const QString log = smtp->ConnectLog();
    QVERIFY2(log.contains(authLine), qPrintable(log));
    const QByteArray password = kPassword.toUtf8();
    const QList<QByteArray> secrets = {password, password.toBase64(),
                                       ('\0' + kUser.toUtf8() + '\0' + password).toBase64(),
                                       (kUser.toUtf8() + '\0' + kUser.toUtf8() + '\0' + password).toBase64()};
    for (const QByteArray &secret : secrets)
        QVERIFY2(!log.contains(QString::fromUtf8(secret)), secret.constData());
}

void TestMrvSmtp::saveWritesMessageFile()
{
    configure(AccountSettings());
    const auto smtp = newSmtp();
    smtp->setSubject(QStringLiteral("Bozza — perché no"));
    smtp->SetBodyText(QStringLiteral("<p>Testo</p>"), eMessageBodyFormat_HTML);
    smtp->AddRecipient(QStringLiteral("anna@example.com"));
    smtp->AddRecipient(QStringLiteral("carla@example.com"), QString(), eMessageRecipient_Ccn);
    smtp->AddAttachment(writeFile(m_files, QStringLiteral("allegato.txt"), "riga\n"));

    const QString path = smtp->Save();

    QVERIFY2(path.endsWith(QStringLiteral(".eml")), qPrintable(path));
    QCOMPARE(QFileInfo(path).absolutePath(), m_suite->session().paths()->productFolder(QStringLiteral("Temp")));
    const ReceivedMessage saved = SmtpTestServer::parseFile(path);
    QCOMPARE(saved.header(QStringLiteral("Subject")), smtp->Subject());
    QCOMPARE(saved.structure(),
             QStringLiteral("multipart/mixed(multipart/alternative(text/plain,text/html),text/plain)"));
    QVERIFY(saved.headerValues(QStringLiteral("Bcc")).isEmpty());
    QVERIFY(reports().isEmpty());
}

void TestMrvSmtp::resetStartsAnewMessage()
{
    SmtpTestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    configure(settingsFor(server));
    const auto smtp = newSmtp();
    smtp->setSubject(QStringLiteral("Prima"));
    smtp->AddRecipient(QStringLiteral("anna@example.com"));
    QVERIFY(smtp->Send());
    QVERIFY(!smtp->ConnectLog().isEmpty());

    smtp->Reset();

    QCOMPARE(smtp->ConnectLog(), QString());
    QCOMPARE(smtp->Subject(), QString());
    qint32 lResult = -1;
    QVERIFY(!smtp->Send(&lResult));
    QCOMPARE(lResult, 10);
    QCOMPARE(smtp->ConnectLog(), QStringLiteral("(0) - Nothing was sent: the message has no recipients\r\n"));
    QCOMPARE(server.receivedMessages().size(), 1);
}

void TestMrvSmtp::connectionReusedByNextObject()
{
    const SmtpServerOptions options = loginServer();
    SmtpTestServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    configure(settingsFor(server, options));

    QStringList logs;
    for (const QString &to : {QStringLiteral("anna@example.com"), QStringLiteral("bruno@example.com")}) {
        const auto smtp = newSmtp();
        smtp->AddRecipient(to);
        QVERIFY2(smtp->Send(), qPrintable(smtp->ConnectLog()));
        logs << smtp->ConnectLog();
    }

    const QList<ReceivedMessage> received = server.receivedMessages();
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.at(0).connection, received.at(1).connection);
    QVERIFY(logs.at(0).contains(QStringLiteral("AUTH LOGIN")));
    QVERIFY2(!logs.at(1).contains(QStringLiteral("AUTH")), qPrintable(logs.at(1)));
}

QTEST_GUILESS_MAIN(TestMrvSmtp)
#include "tst_mrvsmtp.moc"
