#include "SmtpTestServer.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "platform/smtp/HtmlImages.h"
#include "platform/smtp/HtmlToText.h"
#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpSender.h"
#include "platform/smtp/SmtpSessionPool.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace mrv::smtp;
using mrv::testing::ReceivedMessage;
using mrv::testing::ReceivedPart;
using mrv::testing::SmtpServerOptions;
using mrv::testing::SmtpTestServer;
using Mailboxes = QList<QPair<QString, QString>>;

namespace {

// A 1x1 PNG.
const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=");

QByteArray everyByteValue(int repetitions)
{
    QByteArray bytes;
    for (int round = 0; round < repetitions; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
    }
    return bytes;
}

QString writeFile(const QTemporaryDir &folder, const QString &name, const QByteArray &content)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw Failure(QStringLiteral("Cannot write ") + path);
    return path;
}

MimeMessage basicMessage()
{
    MimeMessage message;
    message.setFrom({QStringLiteral("Mario Rossi"), QStringLiteral("mario@example.com")});
    message.addRecipient(RecipientKind::To, {QStringLiteral("Anna Bianchi"), QStringLiteral("anna@example.com")});
    message.setSubject(QStringLiteral("Prova"));
    MimeBody body;
    body.text = QStringLiteral("Ciao Anna");
    message.setBody(body);
    return message;
}

SmtpAccount accountOf(const SmtpTestServer &server, TlsMode tls = TlsMode::None)
{
    SmtpAccount account;
    account.server = QStringLiteral("localhost");
    account.port = server.port();
    account.tls = tls;
    account.caFile = server.certificatePath();
    account.timeoutSeconds = 10;
    return account;
}

// The conversation as the public log writes it.
SmtpSender::Handlers loggingInto(QStringList &log)
{
    SmtpSender::Handlers handlers;
    handlers.log = [&log](const QString &text, qint32 code) { log << QStringLiteral("(%1) - %2").arg(code).arg(text); };
    return handlers;
}

// Sends and returns what the server received last; a failed send fails the test.
ReceivedMessage sendAndReceive(const SmtpTestServer &server, const MimeMessage &message)
{
    QStringList log;
    SmtpSender sender(accountOf(server));
    if (sender.send(message, loggingInto(log)) != srSent) {
        qWarning().noquote() << log.join(QLatin1Char('\n'));
        throw Failure(QStringLiteral("The test message was not sent"));
    }
    return server.receivedMessages().last();
}

QString crlfToLf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

class TestSmtpSender : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void plainTextFromHtml_data();
    void plainTextFromHtml();
    void localImagesTravelInline_data();
    void localImagesTravelInline();

    void structure_data();
    void structure();
    void htmlDeclaresItsCharset_data();
    void htmlDeclaresItsCharset();
    void attachmentsArriveIntact_data();
    void attachmentsArriveIntact();
    void headersEncoded_data();
    void headersEncoded();
    void lineBreaksNeverMakeHeaders_data();
    void lineBreaksNeverMakeHeaders();
    void breakingAddressesRefused_data();
    void breakingAddressesRefused();
    void blindCopiesOnlyInEnvelope();
    void priorityHeaders_data();
    void priorityHeaders();
    void standardHeaders();

    void tlsAndLogin_data();
    void tlsAndLogin();
    void notSendable_data();
    void notSendable();
    void connectionKeptForNextSend();
    void poolSharesConnectionPerAccount();
    void keptConnectionClosedByServer();
    void progressCoversWholeMessage();

private:
    QTemporaryDir m_files;
    std::unique_ptr<SmtpTestServer> m_server;
};

void TestSmtpSender::initTestCase()
{
    QVERIFY(m_files.isValid());
    m_server = std::make_unique<SmtpTestServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
}

void TestSmtpSender::plainTextFromHtml_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");

    QTest::newRow("paragraphs and breaks")
        << "<html><body><p>Gentile cliente,</p><p>la fattura<br>è pronta.</p></body></html>"
        << "Gentile cliente,\n\nla fattura\nè pronta.";
    QTest::newRow("entities") << "Prezzo&nbsp;5&euro; &egrave; &#232; &#xE8; &amp; &lt;b&gt; &hellip;"
                              << "Prezzo 5€ è è è & <b> …";
    QTest::newRow("source line breaks are blanks") << "<p>\r\nCiao\r\nMario\r\n</p>\r\n<p>\r\nA presto\r\n</p>"
                                                   << "Ciao Mario\n\nA presto";
    QTest::newRow("list items") << "<ul><li>uno</li><li>due</li></ul>"
                                << "- uno\n- due";
    QTest::newRow("link") << "Vedi <a href=\"https://example.com/f?a=1&amp;b=2\">la fattura</a>."
                          << "Vedi la fattura <https://example.com/f?a=1&b=2>.";
    QTest::newRow("link showing its address") << "<a href='https://example.com'>https://example.com</a>"
                                              << "https://example.com";
    QTest::newRow("hidden content") << "<head><title>T</title><style>p{color:red}</style></head><body><script>go()</"
                                       "script>Testo<!-- nota --></body>"
                                    << "Testo";
    QTest::newRow("table cells") << "<table><tr><td>A</td><td>B</td></tr><tr><td>C</td></tr></table>"
                                 << "A\tB\nC";
    QTest::newRow("unknown references stay") << "&bogus; &#0; &#xD800;"
                                             << "&bogus; &#0; &#xD800;";
}

void TestSmtpSender::plainTextFromHtml()
{
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(smtp::plainTextFromHtml(html), text);
}

void TestSmtpSender::localImagesTravelInline_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("inlined");

    const QString absolute = writeFile(m_files, QStringLiteral("logo.png"), kPng);
    QTest::newRow("absolute path") << absolute << true;
    QTest::newRow("relative to the body's folder") << "logo.png" << true;
    QTest::newRow("file url") << QUrl::fromLocalFile(absolute).toString() << true;
    QTest::newRow("data url") << "data:image/png;base64," + QString::fromLatin1(kPng.toBase64()) << true;
    QTest::newRow("remote") << "https://example.com/logo.png" << false;
    QTest::newRow("already cid") << "cid:logo@example.com" << false;
    QTest::newRow("missing file") << m_files.filePath(QStringLiteral("missing.png")) << false;
}

void TestSmtpSender::localImagesTravelInline()
{
    QFETCH(QString, source);
    QFETCH(bool, inlined);

    const QString html = QStringLiteral("<p><img src=\"%1\"> e ancora <IMG alt='x' SRC='%1'></p>").arg(source);
    const MimeBody body = htmlBodyWithImages(html, m_files.path());

    QCOMPARE(body.inlineImages.size(), inlined ? 1 : 0);
    if (!inlined) {
        QCOMPARE(body.text, html);
        return;
    }
    const MimeFile &image = body.inlineImages.first();
    QCOMPARE(image.content, kPng);
    QCOMPARE(image.contentType, QStringLiteral("image/png"));
    QCOMPARE(body.text.count(QStringLiteral("\"cid:") + image.contentId + QLatin1Char('"')), 2);
    QVERIFY(!body.text.contains(source));
}

void TestSmtpSender::structure_data()
{
    QTest::addColumn<QString>("subtype");
    QTest::addColumn<QString>("alternative");
    QTest::addColumn<bool>("withImage");
    QTest::addColumn<int>("attachments");
    QTest::addColumn<QString>("structure");

    QTest::newRow("plain text") << "plain"
                                << "" << false << 0 << "text/plain";
    QTest::newRow("html alone") << "html"
                                << "" << false << 0 << "text/html";
    QTest::newRow("html with its text") << "html"
                                        << "Ciao" << false << 0 << "multipart/alternative(text/plain,text/html)";
    QTest::newRow("html with an image") << "html"
                                        << "Ciao" << true << 0
                                        << "multipart/alternative(text/plain,multipart/related(text/html,image/png))";
    QTest::newRow("text with attachments")
        << "plain"
        << "" << false << 2 << "multipart/mixed(text/plain,application/pdf,application/pdf)";
    QTest::newRow("everything") << "html"
                                << "Ciao" << true << 1
                                << "multipart/mixed(multipart/alternative(text/plain,multipart/related(text/html,"
                                   "image/png)),application/pdf)";
}

void TestSmtpSender::structure()
{
    QFETCH(QString, subtype);
    QFETCH(QString, alternative);
    QFETCH(bool, withImage);
    QFETCH(int, attachments);
    QFETCH(QString, structure);

    const QString image = writeFile(m_files, QStringLiteral("logo.png"), kPng);
    MimeMessage message = basicMessage();
    MimeBody body = subtype == QLatin1String("html")
                        ? htmlBodyWithImages(withImage ? QStringLiteral("<p>Ciao <img src=\"%1\"></p>").arg(image)
                                                       : QStringLiteral("<p>Ciao</p>"),
                                             QString())
                        : MimeBody{};
    body.subtype = subtype;
    body.alternativeText = alternative;
    message.setBody(body);
    for (int i = 0; i < attachments; ++i)
        message.addAttachment(MimeFile::fromPath(writeFile(m_files, QStringLiteral("doc%1.pdf").arg(i), "%PDF-1.4")));

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QCOMPARE(received.structure(), structure);
    for (const ReceivedPart &part : received.parts)
        QVERIFY2(part.defects.isEmpty(), qPrintable(part.contentType + QLatin1Char(' ') + part.defects.join(',')));
    if (withImage) {
        const ReceivedPart *png = received.partOfType(QStringLiteral("image/png"));
        const ReceivedPart *html = received.partOfType(QStringLiteral("text/html"));
        QCOMPARE(png->content, kPng);
        QCOMPARE(png->disposition, QStringLiteral("inline"));
        QVERIFY(html->text.contains(QStringLiteral("cid:") + png->contentId.mid(1).chopped(1)));
    }
}

void TestSmtpSender::htmlDeclaresItsCharset_data()
{
    QTest::addColumn<QString>("declaration");

    QTest::newRow("none") << "";
    QTest::newRow("meta charset") << "<meta charset=\"iso-8859-1\">";
    QTest::newRow("http-equiv") << "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">";
}

void TestSmtpSender::htmlDeclaresItsCharset()
{
    QFETCH(QString, declaration);

    MimeMessage message = basicMessage();
    MimeBody body;
    body.subtype = QStringLiteral("html");
    body.text =
        QStringLiteral("<html><head>%1</head><body><p>Caffè a 2 €</p>\n<p>Grazie</p></body></html>").arg(declaration);
    message.setBody(body);

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    const ReceivedPart *html = received.partOfType(QStringLiteral("text/html"));
    QCOMPARE(html->charset, QStringLiteral("utf-8"));
    QVERIFY(html->defects.isEmpty());
    QVERIFY(html->text.contains(QStringLiteral("<p>Caffè a 2 €</p>\r\n<p>Grazie</p>")));
    if (!declaration.isEmpty())
        QCOMPARE(html->text.count(QRegularExpression(QStringLiteral("charset=\"?utf-8"))), 1);
}

void TestSmtpSender::attachmentsArriveIntact_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("contentType");

    QTest::newRow("pdf") << "fattura 2024.pdf" << QByteArray("%PDF-1.4\n") + everyByteValue(4) << "application/pdf";
    QTest::newRow("accented text") << "Preventivo è già pronto.txt" << QByteArray("Caff\xc3\xa8\r\n") << "text/plain";
    QTest::newRow("cyrillic spreadsheet") << "Смета 2024.xlsx" << everyByteValue(2)
                                          << "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    QTest::newRow("unknown binary") << "dati.bin" << everyByteValue(1) << "application/octet-stream";
    QTest::newRow("long name") << QString(90, QChar(0x00E8)) + QStringLiteral(".png") << kPng << "image/png";
}

void TestSmtpSender::attachmentsArriveIntact()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, contentType);

    QTemporaryDir folder;
    MimeMessage message = basicMessage();
    message.addAttachment(MimeFile::fromPath(writeFile(folder, fileName, content)));

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QVERIFY(received.asciiOnly);
    const ReceivedPart *part = received.partNamed(fileName);
    QVERIFY2(part, qPrintable(received.structure()));
    QCOMPARE(part->content, content);
    QCOMPARE(part->contentType, contentType);
    QCOMPARE(part->disposition, QStringLiteral("attachment"));
}

void TestSmtpSender::headersEncoded_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << "Offerta di maggio";
    QTest::newRow("latin-1 accents") << "Perché è così caro?";
    QTest::newRow("beyond latin-1") << "Łódź: 5 € — “preventivo”";
    QTest::newRow("japanese") << "日本語の件名";
    QTest::newRow("long, folded") << QStringLiteral("Proposta commerciale n. 42 per l'attività di società").repeated(5);
}

void TestSmtpSender::headersEncoded()
{
    QFETCH(QString, text);

    MimeMessage message = basicMessage();
    message.setSubject(text);
    message.setFrom({text, QStringLiteral("mario@example.com")});
    message.addRecipient(RecipientKind::Cc, {text, QStringLiteral("bruno@example.com")});

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QVERIFY(received.asciiOnly);
    QCOMPARE(received.header(QStringLiteral("Subject")), text);
    QCOMPARE(received.mailboxes(QStringLiteral("From")), (Mailboxes{{text, QStringLiteral("mario@example.com")}}));
    QCOMPARE(received.mailboxes(QStringLiteral("Cc")), (Mailboxes{{text, QStringLiteral("bruno@example.com")}}));
}

void TestSmtpSender::lineBreaksNeverMakeHeaders_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("breakText");

    for (const char *field : {"subject", "from name", "to name", "reply-to name", "attachment name"}) {
        for (const char *lineBreak : {"\r\n", "\n", "\r"}) {
            const QByteArray name = QByteArray(field) + " with " + QByteArray(lineBreak).toPercentEncoding();
            QTest::newRow(name.constData()) << field << QString::fromLatin1(lineBreak);
        }
    }
}

void TestSmtpSender::lineBreaksNeverMakeHeaders()
{
    QFETCH(QString, field);
    QFETCH(QString, breakText);

    const QString hostile = QStringLiteral("Mario%1Bcc: intruso@example.com%1X-Injected: yes%1%1corpo").arg(breakText);
    MimeMessage message = basicMessage();
    if (field == QLatin1String("subject"))
        message.setSubject(hostile);
    if (field == QLatin1String("from name"))
        message.setFrom({hostile, QStringLiteral("mario@example.com")});
    if (field == QLatin1String("to name"))
        message.addRecipient(RecipientKind::To, {hostile, QStringLiteral("bruno@example.com")});
    if (field == QLatin1String("reply-to name"))
        message.setReplyTo({hostile, QStringLiteral("ufficio@example.com")});
    QTemporaryDir folder;
    if (field == QLatin1String("attachment name")) {
        MimeFile file = MimeFile::fromPath(writeFile(folder, QStringLiteral("a.pdf"), "%PDF"));
        file.fileName = hostile;
        message.addAttachment(file);
    }

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QVERIFY(!received.headerNames().contains(QStringLiteral("Bcc"), Qt::CaseInsensitive));
    QVERIFY(!received.headerNames().contains(QStringLiteral("X-Injected"), Qt::CaseInsensitive));
    for (const ReceivedPart &part : received.parts)
        QVERIFY(part.defects.isEmpty());
    QVERIFY(!received.envelopeRecipients.contains(QStringLiteral("intruso@example.com")));
    QVERIFY(!received.header(QStringLiteral("Subject")).contains(QLatin1Char('\n')));
}

void TestSmtpSender::breakingAddressesRefused_data()
{
    QTest::addColumn<QString>("address");

    QTest::newRow("CRLF and a header") << "anna@example.com\r\nBcc: intruso@example.com";
    QTest::newRow("LF and a header") << "anna@example.com\nX-Injected: yes";
    QTest::newRow("CR alone") << "anna@example.com\rRCPT TO:<intruso@example.com>";
    QTest::newRow("angle brackets") << "anna@example.com> NOTIFY=NEVER <x@example.com";
    QTest::newRow("two addresses") << "anna@example.com, intruso@example.com";
    QTest::newRow("blank inside") << "anna @example.com";
    QTest::newRow("no at sign") << "anna.example.com";
    QTest::newRow("empty") << "";
}

void TestSmtpSender::breakingAddressesRefused()
{
    QFETCH(QString, address);

    MimeMessage message = basicMessage();
    QVERIFY_THROWS_EXCEPTION(Failure, message.addRecipient(RecipientKind::Bcc, {QString(), address}));
    QVERIFY_THROWS_EXCEPTION(Failure, message.setReplyTo({QString(), address}));
    QVERIFY_THROWS_EXCEPTION(Failure, message.setReceiptTo(address.isEmpty() ? QStringLiteral(" ") : address));
    if (!address.isEmpty())
        QVERIFY_THROWS_EXCEPTION(Failure, message.setFrom({QString(), address}));
    QCOMPARE(message.envelopeRecipients(), QStringList{QStringLiteral("anna@example.com")});
}

void TestSmtpSender::blindCopiesOnlyInEnvelope()
{
    MimeMessage message = basicMessage();
    message.addRecipient(RecipientKind::Cc, {QStringLiteral("Bruno"), QStringLiteral("bruno@example.com")});
    message.addRecipient(RecipientKind::Bcc, {QStringLiteral("Carla Nascosta"), QStringLiteral("carla@example.com")});
    message.addRecipient(RecipientKind::Bcc, {QString(), QStringLiteral("ANNA@example.com")});

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QCOMPARE(received.envelopeRecipients,
             QStringList({QStringLiteral("anna@example.com"), QStringLiteral("bruno@example.com"),
                          QStringLiteral("carla@example.com")}));
    QCOMPARE(received.mailboxes(QStringLiteral("To")),
             (Mailboxes{{QStringLiteral("Anna Bianchi"), QStringLiteral("anna@example.com")}}));
    QCOMPARE(received.mailboxes(QStringLiteral("Cc")),
             (Mailboxes{{QStringLiteral("Bruno"), QStringLiteral("bruno@example.com")}}));
    QVERIFY(received.headerValues(QStringLiteral("Bcc")).isEmpty());
    for (const auto &[name, value] : received.rawHeaders)
        QVERIFY2(!value.contains(QStringLiteral("carla"), Qt::CaseInsensitive), qPrintable(name));
}

void TestSmtpSender::priorityHeaders_data()
{
    QTest::addColumn<int>("priority");
    QTest::addColumn<QString>("xPriority");
    QTest::addColumn<QString>("importance");

    QTest::newRow("normal") << int(MailPriority::Normal) << ""
                            << "";
    QTest::newRow("high") << int(MailPriority::High) << "1 (Highest)"
                          << "high";
    QTest::newRow("low") << int(MailPriority::Low) << "5 (Lowest)"
                         << "low";
}

void TestSmtpSender::priorityHeaders()
{
    QFETCH(int, priority);
    QFETCH(QString, xPriority);
    QFETCH(QString, importance);

    MimeMessage message = basicMessage();
    message.setPriority(MailPriority(priority));

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QCOMPARE(received.header(QStringLiteral("X-Priority")), xPriority);
    QCOMPARE(received.header(QStringLiteral("Importance")), importance);
}

void TestSmtpSender::standardHeaders()
{
    MimeMessage message = basicMessage();
    message.setReplyTo({QStringLiteral("Ufficio"), QStringLiteral("ufficio@example.com")});
    message.setReceiptTo(QStringLiteral("mario@example.com"));

    const ReceivedMessage received = sendAndReceive(*m_server, message);

    QCOMPARE(received.mailboxes(QStringLiteral("From")),
             (Mailboxes{{QStringLiteral("Mario Rossi"), QStringLiteral("mario@example.com")}}));
    QCOMPARE(received.mailFrom, QStringLiteral("mario@example.com"));
    QCOMPARE(received.mailboxes(QStringLiteral("Reply-To")),
             (Mailboxes{{QStringLiteral("Ufficio"), QStringLiteral("ufficio@example.com")}}));
    QCOMPARE(received.mailboxes(QStringLiteral("Disposition-Notification-To")),
             (Mailboxes{{QString(), QStringLiteral("mario@example.com")}}));
    QCOMPARE(received.header(QStringLiteral("MIME-Version")), QStringLiteral("1.0"));
    QCOMPARE(received.header(QStringLiteral("X-Mailer")), mailerName());
    QVERIFY(QDateTime::fromString(received.rawHeader(QStringLiteral("Date")).trimmed(), Qt::RFC2822Date).isValid());
    const QString messageId = received.header(QStringLiteral("Message-ID"));
    QVERIFY2(messageId.startsWith(QLatin1Char('<')) && messageId.endsWith(QStringLiteral("@example.com>")),
             qPrintable(messageId));
    QCOMPARE(crlfToLf(received.partOfType(QStringLiteral("text/plain"))->text), QStringLiteral("Ciao Anna\n"));
}

void TestSmtpSender::tlsAndLogin_data()
{
    QTest::addColumn<int>("tls");
    QTest::addColumn<QStringList>("mechanisms");
    QTest::addColumn<int>("authMode");
    QTest::addColumn<QString>("authLine");

    QTest::newRow("plain, no login") << int(TlsMode::None) << QStringList() << int(eEmailServerOutAuth_None) << "";
    QTest::newRow("plain, AUTH LOGIN") << int(TlsMode::None) << QStringList() << int(eEmailServerOutAuth_AUTH_LOGIN)
                                       << "AUTH LOGIN";
    QTest::newRow("STARTTLS, AUTH LOGIN")
        << int(TlsMode::StartTls) << QStringList() << int(eEmailServerOutAuth_AUTH_LOGIN) << "AUTH LOGIN";
    QTest::newRow("implicit TLS, CRAM-MD5")
        << int(TlsMode::Implicit) << QStringList() << int(eEmailServerOutAuth_CRAM_MD5) << "AUTH CRAM-MD5";
    QTest::newRow("STARTTLS, best offered is PLAIN") << int(TlsMode::StartTls) << QStringList{QStringLiteral("PLAIN")}
                                                     << int(eEmailServerOutAuth_None) << "AUTH PLAIN";
}

void TestSmtpSender::tlsAndLogin()
{
    QFETCH(int, tls);
    QFETCH(QStringList, mechanisms);
    QFETCH(int, authMode);
    QFETCH(QString, authLine);

    const bool login = !authLine.isEmpty();
    SmtpServerOptions options;
    options.tls = tls == int(TlsMode::None)       ? SmtpServerOptions::Tls::None
                  : tls == int(TlsMode::StartTls) ? SmtpServerOptions::Tls::StartTls
                                                  : SmtpServerOptions::Tls::Implicit;
    options.user = login ? QStringLiteral("mario") : QString();
    options.password = QStringLiteral("Segreto è 42!");
    options.mechanisms = mechanisms;
    SmtpTestServer server(options);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    SmtpAccount account = accountOf(server, TlsMode(tls));
    account.authMode = authMode;
    account.user = options.user;
    account.password = options.password;

    QStringList log;
    QCOMPARE(SmtpSender(account).send(basicMessage(), loggingInto(log)), srSent);

    const QList<ReceivedMessage> received = server.receivedMessages();
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().tls, tls != int(TlsMode::None));
    QCOMPARE(received.first().authenticatedUser, options.user);
    if (login)
        QVERIFY2(log.filter(QRegularExpression(QStringLiteral("^\\(0\\) - ") + authLine +
                                               QStringLiteral("( \\[hidden\\])?$")))
                         .size() == 1,
                 qPrintable(log.join(QLatin1Char('\n'))));
    QVERIFY(log.filter(QStringLiteral(" - 250")).size() > 0);
}

void TestSmtpSender::notSendable_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("authMode");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("withRecipient");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no server") << "" << 25 << 1 << "mario@example.com" << true << "no outgoing mail server";
    QTest::newRow("bad server name") << "smtp example com" << 25 << 1 << "mario@example.com" << true
                                     << "not a usable server address";
    QTest::newRow("port out of range") << "localhost" << 70000 << 1 << "mario@example.com" << true
                                       << "not a usable server address";
    QTest::newRow("NTLM stored as 3") << "localhost" << 25 << 3 << "mario@example.com" << true
                                      << "3 is not an authentication mode";
    QTest::newRow("no sender") << "localhost" << 25 << 1 << "" << true << "no sender address";
    QTest::newRow("no recipient") << "localhost" << 25 << 1 << "mario@example.com" << false << "no recipients";
}

void TestSmtpSender::notSendable()
{
    QFETCH(QString, server);
    QFETCH(int, port);
    QFETCH(int, authMode);
    QFETCH(QString, from);
    QFETCH(bool, withRecipient);
    QFETCH(QString, reason);

    SmtpAccount account;
    account.server = server;
    account.port = port;
    account.authMode = authMode;
    MimeMessage message;
    message.setFrom({QString(), from});
    if (withRecipient)
        message.addRecipient(RecipientKind::To, {QString(), QStringLiteral("anna@example.com")});

    QStringList log;
    QCOMPARE(SmtpSender(account).send(message, loggingInto(log)), srNotSendable);
    QCOMPARE(log.size(), 1);
    QVERIFY2(log.first().startsWith(QStringLiteral("(0) - Nothing was sent: ")) && log.first().contains(reason),
             qPrintable(log.first()));
}

void TestSmtpSender::connectionKeptForNextSend()
{
    SmtpSender sender(accountOf(*m_server));
    QStringList firstLog;
    QStringList secondLog;
    QCOMPARE(sender.send(basicMessage(), loggingInto(firstLog)), srSent);
    QCOMPARE(sender.send(basicMessage(), loggingInto(secondLog)), srSent);

    const QList<ReceivedMessage> received = m_server->receivedMessages();
    QCOMPARE(received.at(received.size() - 1).connection, received.at(received.size() - 2).connection);
    QCOMPARE(firstLog.filter(QStringLiteral("EHLO")).size(), 1);
    QVERIFY2(secondLog.filter(QStringLiteral("EHLO")).isEmpty(), qPrintable(secondLog.join(QLatin1Char('\n'))));
}

void TestSmtpSender::poolSharesConnectionPerAccount()
{
    const SmtpAccount account = accountOf(*m_server);
    SmtpAccount otherAccount = account;
    otherAccount.timeoutSeconds = account.timeoutSeconds + 1;

    for (const SmtpAccount &through : {account, account, otherAccount})
        QCOMPARE(SmtpSessionPool::instance().send(through, basicMessage(), {}), srSent);

    const QList<ReceivedMessage> received = m_server->receivedMessages();
    const qsizetype last = received.size() - 1;
    QCOMPARE(received.at(last - 1).connection, received.at(last - 2).connection);
    QVERIFY(received.at(last).connection != received.at(last - 1).connection);
}

void TestSmtpSender::keptConnectionClosedByServer()
{
    SmtpServerOptions options;
    options.tls = SmtpServerOptions::Tls::StartTls;
    SmtpTestServer first(options);
    QVERIFY2(first.start(), qPrintable(first.errorText()));
    SmtpSender sender(accountOf(first, TlsMode::StartTls));
    QCOMPARE(sender.send(basicMessage(), {}), srSent);

    first.stop();
    options.port = first.port();
    options.certificate = first.certificatePath();
    options.key = first.keyPath();
    SmtpTestServer second(options);
    QVERIFY2(second.start(), qPrintable(second.errorText()));
    QCOMPARE(sender.send(basicMessage(), {}), srSent);

    QCOMPARE(second.receivedMessages().size(), 1);
    QVERIFY(second.receivedMessages().first().tls);
}

void TestSmtpSender::progressCoversWholeMessage()
{
    QTemporaryDir folder;
    const QByteArray attachment = everyByteValue(2000);
    MimeMessage message = basicMessage();
    message.addAttachment(MimeFile::fromPath(writeFile(folder, QStringLiteral("big.bin"), attachment)));

    QList<QPair<qint64, qint64>> steps;
    SmtpSender::Handlers handlers;
    handlers.progress = [&steps](qint64 sent, qint64 total) { steps.append({sent, total}); };
    QCOMPARE(SmtpSender(accountOf(*m_server)).send(message, handlers), srSent);

    QVERIFY(steps.size() > 1);
    const qint64 total = steps.first().second;
    QVERIFY(total > attachment.size() * 4 / 3); // the attachment travels in base64
    for (qsizetype i = 0; i < steps.size(); ++i) {
        QCOMPARE(steps.at(i).second, total);
        QVERIFY(i == 0 || steps.at(i).first > steps.at(i - 1).first);
    }
    QCOMPARE(steps.last().first, total);
}

QTEST_GUILESS_MAIN(TestSmtpSender)
#include "tst_smtpsender.moc"
