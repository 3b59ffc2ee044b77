#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "host/Failure.h"
#include "platform/smtp/HtmlImages.h"
#include "platform/smtp/HtmlToText.h"
#include "platform/smtp/MimeMessage.h"
#include "platform/smtp/SmtpSender.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace mrv::smtp;
using mrv::testing::everyByteValue;
using mrv::testing::Mailboxes;
using mrv::testing::ReceivedMessage;
using mrv::testing::ReceivedPart;
using mrv::testing::SmtpServerOptions;
using mrv::testing::SmtpTestServer;
using mrv::testing::writeFile;

namespace {

// A 1x1 PNG.
const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=");

MimeMessage basicMessage()
{
    MimeMessage message;
    message.setFrom({"Mario Rossi", "mario@example.com"});
    message.addRecipient(RecipientKind::To, {"Anna Bianchi", "anna@example.com"});
    message.setSubject("Prova");
    MimeBody body;
    body.text = "Ciao Anna";
    message.setBody(body);
    return message;
}

SmtpAccount accountOf(const SmtpTestServer &server, TlsMode tls = TlsMode::None)
{
    SmtpAccount account;
    account.server = "localhost";
    account.port = server.port();
    account.tls = tls;
    account.caFile = server.certificatePath();
    account.timeoutSeconds = 10;
    return account;
}

} // namespace

class TestSmtpSender : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<SmtpTestServer> m_server;

    // Sends and returns what the server received, every part free of defects.
    ReceivedMessage sendAndReceive(const MimeMessage &message)
    {
        QStringList log;
        SmtpSender::Handlers handlers;
        handlers.log = [&log](const QString &text, qint32 code) { log << u"(%1) %2"_qs.arg(code).arg(text); };
        if (SmtpSender(accountOf(*m_server)).send(message, handlers) != srSent)
            throw Failure("The test message was not sent: " + log.join('\n'));
        const ReceivedMessage received = m_server->receivedMessages().last();
        for (const ReceivedPart &part : received.parts) {
            if (!part.defects.isEmpty())
                throw Failure(part.contentType + " arrived with defects: " + part.defects.join(','));
        }
        return received;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_files.isValid());
        m_server = std::make_unique<SmtpTestServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    }

    void plainTextFromHtml_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *html, const char *text) {
            QTest::newRow(name) << QString(html) << QString(text);
        };
        row("paragraphs and breaks", "<html><body><p>Gentile cliente,</p><p>la fattura<br>è pronta.</p>",
            "Gentile cliente,\n\nla fattura\nè pronta.");
        row("entities", "Prezzo&nbsp;5&euro; &egrave; &#232; &#xE8; &amp; &lt;b&gt; &hellip;",
            "Prezzo 5€ è è è & <b> …");
        row("source line breaks are blanks", "<p>\r\nCiao\r\nMario\r\n</p>\r\n<p>\r\nA presto\r\n</p>",
            "Ciao Mario\n\nA presto");
        row("list items", "<ul><li>uno</li><li>due</li></ul>", "- uno\n- due");
        row("link", "Vedi <a href=\"https://example.com/f?a=1&amp;b=2\">la fattura</a>.",
            "Vedi la fattura <https://example.com/f?a=1&b=2>.");
        row("link showing its address", "<a href='https://example.com'>https://example.com</a>", "https://example.com");
        row("hidden content",
            "<head><title>T</title><style>p{}</style></head><script>go()</script>"
            "Testo<!-- nota -->",
            "Testo");
        row("table cells", "<table><tr><td>A</td><td>B</td></tr><tr><td>C</td></tr></table>", "A\tB\nC");
        row("unknown references stay", "&bogus; &#0; &#xD800;", "&bogus; &#0; &#xD800;");
    }

    void plainTextFromHtml()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(smtp::plainTextFromHtml(html), text);
    }

    void localImagesTravelInline_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("inlined");
        const QString absolute = writeFile(m_files.path(), "logo.png", kPng);
        QTest::newRow("absolute path") << absolute << true;
        QTest::newRow("relative to the body's folder") << "logo.png" << true;
        QTest::newRow("file url") << QUrl::fromLocalFile(absolute).toString() << true;
        QTest::newRow("data url") << "data:image/png;base64," + QString::fromLatin1(kPng.toBase64()) << true;
        QTest::newRow("remote") << "https://example.com/logo.png" << false;
        QTest::newRow("already cid") << "cid:logo@example.com" << false;
        QTest::newRow("missing file") << m_files.filePath("missing.png") << false;
    }

    void localImagesTravelInline()
    {
        QFETCH(QString, source);
        QFETCH(bool, inlined);
        const QString html = u"<p><img src=\"%1\"> e ancora <IMG alt='x' SRC='%1'></p>"_qs.arg(source);
        const MimeBody body = htmlBodyWithImages(html, m_files.path());
        QCOMPARE(body.inlineImages.size(), inlined ? 1 : 0);
        QCOMPARE(body.text == html, !inlined);
        if (inlined) {
            QCOMPARE(body.inlineImages.first().content, kPng);
            QCOMPARE(body.inlineImages.first().contentType, u"image/png"_qs);
            QCOMPARE(body.text.count("\"cid:" + body.inlineImages.first().contentId + '"'), 2);
        }
    }

    // Texts and file names beyond ASCII arrive decoded, contents byte for byte,
    // and the message itself stays 7-bit; a line break in the subject, a name or
    // a file name never starts a header of its own. HTML travels as UTF-8, and
    // says so where it declares a charset of its own.
    void textsAndAttachmentsArriveIntact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("declaration");
        const auto row = [](const QString &name, const QString &text, const QString &fileName,
                            const QByteArray &content, const char *contentType, const char *declaration = "") {
            QTest::newRow(qPrintable(name))
                << text << fileName << content << QString(contentType) << QString(declaration);
        };
        row("latin-1, unknown binary", "Perché è così caro?", "dati.bin", everyByteValue(1),
            "application/octet-stream");
        row("beyond latin-1, cyrillic spreadsheet, meta charset", "Łódź: 5 € — “preventivo”", "Смета 2024.xlsx",
            everyByteValue(2), "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet",
            "<meta charset=\"iso-8859-1\">");
        row("japanese, long name, http-equiv", "日本語の件名", QString(90, QChar(0x00E8)) + ".png", kPng, "image/png",
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">");
        row("long, folded", QStringLiteral("Proposta n. 42 per l'attività di società").repeated(5), "a.txt", "riga\r\n",
            "text/plain");
        for (const char *lineBreak : {"\r\n", "\n", "\r"}) {
            const QString hostile = QString("Mario%1Bcc: intruso@example.com%1X-Injected: yes%1%1corpo").arg(lineBreak);
            row("line break " + QString(lineBreak).toUtf8().toPercentEncoding(), hostile, hostile + ".pdf", "%PDF-1.4",
                "application/pdf");
        }
    }

    void textsAndAttachmentsArriveIntact()
    {
        QFETCH(QString, text);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, contentType);
        QFETCH(QString, declaration);
        QTemporaryDir folder;
        MimeMessage message = basicMessage();
        message.setSubject(text);
        message.setFrom({text, "mario@example.com"});
        message.addRecipient(RecipientKind::Cc, {text, "bruno@example.com"});
        message.setReplyTo({text, "ufficio@example.com"});
        message.addAttachment(MimeFile::fromPath(writeFile(folder.path(), fileName, content)));
        MimeBody body;
        body.subtype = "html";
        // Mostly the row's text: a text beyond Latin-1 goes as base64.
        body.text = "<html><head>" + declaration + "</head><body><p>Caffè a 2 €</p>\n<p>Grazie</p>\n<p>" +
                    text.repeated(20).toHtmlEscaped() + "</p></body>";
        message.setBody(body);

        const ReceivedMessage received = sendAndReceive(message);

        const QString line = QString(text).replace(QRegularExpression("[\r\n]+"), " ");
        QVERIFY(received.asciiOnly);
        QCOMPARE(received.structure, "multipart/mixed(text/html," + contentType + ')');
        QCOMPARE(received.header("Subject"), line);
        QVERIFY(received.header("Bcc").isEmpty() && received.header("X-Injected").isEmpty());
        QCOMPARE(received.header("X-Priority"), QString()); // normal priority goes unsaid
        QCOMPARE(received.envelopeRecipients, (QStringList{"anna@example.com", "bruno@example.com"}));
        for (const char *header : {"From", "Cc", "Reply-To"})
            QCOMPARE(received.mailboxes(header).value(0).first, line);
        const ReceivedPart *html = received.partOfType("text/html");
        QCOMPARE(html->charset, u"utf-8"_qs);
        QVERIFY2(html->text.contains("<p>Caffè a 2 €</p>\r\n<p>Grazie</p>"), qPrintable(html->text));
        QCOMPARE(html->text.count(QRegularExpression("charset=\"?utf-8")), declaration.isEmpty() ? 0 : 1);
        const ReceivedPart *part = received.partNamed(QString(fileName).replace(QRegularExpression("[\r\n]+"), " "));
        QVERIFY(part);
        QCOMPARE(part->content, content);
        QCOMPARE(part->contentType, contentType);
        QCOMPARE(part->disposition, u"attachment"_qs);
    }

    void breakingAddressesRefused_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("CR alone") << "anna@example.com\rRCPT TO:<intruso@example.com>";
        QTest::newRow("angle brackets") << "anna@example.com> NOTIFY=NEVER <x@example.com";
        QTest::newRow("two addresses") << "anna@example.com, intruso@example.com";
        QTest::newRow("blank inside") << "anna @example.com";
        QTest::newRow("no at sign") << "anna.example.com";
        QTest::newRow("nothing after the at sign") << "anna@";
    }

    void breakingAddressesRefused()
    {
        QFETCH(QString, address);
        MimeMessage message = basicMessage();
        QVERIFY_THROWS_EXCEPTION(Failure, message.addRecipient(RecipientKind::Bcc, {QString(), address}));
        QVERIFY_THROWS_EXCEPTION(Failure, message.setReplyTo({QString(), address}));
        QVERIFY_THROWS_EXCEPTION(Failure, message.setReceiptTo(address));
        QVERIFY_THROWS_EXCEPTION(Failure, message.setFrom({QString(), address}));
        QCOMPARE(message.envelopeRecipients(), QStringList{"anna@example.com"});
    }

    void notSendable_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("authMode");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("reason");
        const QString from = "mario@example.com";
        QTest::newRow("no server") << "" << 25 << 1 << from << "no outgoing mail server";
        QTest::newRow("bad server name") << "smtp example com" << 25 << 1 << from << "not a usable server";
        QTest::newRow("port out of range") << "localhost" << 70000 << 1 << from << "not a usable server";
        QTest::newRow("NTLM stored as 3") << "localhost" << 25 << 3 << from << "3 is not an authentication";
        QTest::newRow("no sender") << "localhost" << 25 << 1 << QString() << "no sender address";
    }

    void notSendable()
    {
        QFETCH(QString, server);
        QFETCH(int, port);
        QFETCH(int, authMode);
        QFETCH(QString, from);
        QFETCH(QString, reason);
        SmtpAccount account;
        account.server = server;
        account.port = port;
        account.authMode = authMode;
        MimeMessage message;
        message.setFrom({QString(), from});
        message.addRecipient(RecipientKind::To, {QString(), "anna@example.com"});

        QStringList log;
        SmtpSender::Handlers handlers;
        handlers.log = [&log](const QString &text, qint32 code) { log << QString::number(code) + ' ' + text; };
        QCOMPARE(SmtpSender(account).send(message, handlers), srNotSendable);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log.first().startsWith("0 Nothing was sent: ") && log.first().contains(reason), qPrintable(log[0]));
    }

    // A kept connection the server has since closed is opened anew, with TLS again.
    void keptConnectionClosedByServer()
    {
        SmtpServerOptions options;
        options.tls = SmtpServerOptions::Tls::StartTls;
        options.fault = "close-after-data";
        SmtpTestServer server(options);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        SmtpSender sender(accountOf(server, TlsMode::StartTls));
        QCOMPARE(sender.send(basicMessage(), {}), srSent);
        QCOMPARE(sender.send(basicMessage(), {}), srSent);
        const QList<ReceivedMessage> received = server.receivedMessages();
        QCOMPARE(received.size(), 2);
        QVERIFY(received.at(1).tls && received.at(1).connection != received.at(0).connection);
    }
};

QTEST_GUILESS_MAIN(TestSmtpSender)
#include "tst_smtpsender.moc"
