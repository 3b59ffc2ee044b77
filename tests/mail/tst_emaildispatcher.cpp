#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "mail/EmailDispatcher.h"
#include "messages/SendingPipeline.h"
#include "services/SuiteSession.h"

#include <QDir>
#include <QTest>

using namespace mrv;

// The e-mail dispatcher: the transport chosen by "EXCHANGE_MODE", the HTML
// preparation, attachments written to the Temp folder, the mail-client queue.
class EmailDispatcherTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<testing::SmtpTestServer> m_server;

    void configure(const QString &key, const QString &value) { m_suite->session().config()->setValue(key, value); }

    EmailDispatcher dispatcher()
    {
        suite::SuiteSession &s = m_suite->session();
        return EmailDispatcher(s.connection(), s.config(), s.users(), s.records(), s.errors());
    }

    static OutgoingEmail email()
    {
        OutgoingEmail e;
        e.messageId = 1;
        e.subject = QStringLiteral("Conferma d'ordine");
        e.rtfBody =
            QStringLiteral("{\\rtf1\\ansi\\ansicpg1252 Gentile cliente, grazie per l'ordine \\'e8 confermato.\\par}");
        e.to = QStringLiteral("cliente@x.example");
        e.cc = QStringLiteral("|copia@x.example|");
        e.priority = mspHigh;
        return e;
    }

    qint32 storeAttachment(const QString &storedName, const QByteArray &contents)
    {
        const QString path = m_suite->folder() + QStringLiteral("/upload.bin");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(contents);
        file.close();
        const qint32 key =
            m_suite->session().records()->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("1"), path);
        m_suite->session().connection()->execute(
            QStringLiteral("UPDATE SYS_ATT SET ATNAM = '%1' WHERE RECORD_ID = %2").arg(storedName).arg(key));
        return key;
    }

private Q_SLOTS:
    void init()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_server = std::make_unique<testing::SmtpTestServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
        configure(QStringLiteral("EMAIL_NAME"), QStringLiteral("Mario Rossi"));
        configure(QStringLiteral("EMAIL"), QStringLiteral("m.rossi@brambilla.example.it"));
        configure(QStringLiteral("EMAIL_OUT_TYPE"), QStringLiteral("3"));
        configure(QStringLiteral("EMAIL_OUT_SERVER"), QStringLiteral("127.0.0.1"));
        configure(QStringLiteral("EMAIL_OUT_PORT"), QString::number(m_server->port()));
        configure(QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("0"));
    }

    void entities_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("converted");
        QTest::newRow("accented") << QStringLiteral("perché è così")
                                  << QStringLiteral("perch&eacute; &egrave; cos&igrave;");
        QTest::newRow("first and last") << QStringLiteral("\u00A0\u00FF") << QStringLiteral("&nbsp;&yuml;");
        QTest::newRow("soft hyphen stays") << QStringLiteral("a\u00ADb") << QStringLiteral("a\u00ADb");
        QTest::newRow("markup stays") << QStringLiteral("<b class=\"x\">&amp;</b>")
                                      << QStringLiteral("<b class=\"x\">&amp;</b>");
        QTest::newRow("typographic") << QStringLiteral("€ ™ “x” … Œ š")
                                     << QStringLiteral("&euro; &trade; &ldquo;x&rdquo; &hellip; &OElig; &scaron;");
        QTest::newRow("beyond the tables") << QStringLiteral("漢 ą") << QStringLiteral("漢 ą");
    }

    void entities()
    {
        QFETCH(QString, text);
        QFETCH(QString, converted);
        QCOMPARE(EmailDispatcher::ConvertHTMLEntities(text), converted);
    }

    void htmlBodiesGetLineBreaksAroundTags()
    {
        QCOMPARE(EmailDispatcher::prepareHtmlBody(QStringLiteral("<p><b>è</b></p>")),
                 QStringLiteral("\r\n<p>\r\n\r\n<b>\r\n&egrave;\r\n</b>\r\n\r\n</p>\r\n"));
    }

    void transportByMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("reported");
        QTest::newRow("account, any case") << QStringLiteral("account") << true << QString();
        QTest::newRow("none") << QStringLiteral("NONE") << false << QString();
        QTest::newRow("empty") << QString() << false << QString();
        QTest::newRow("exchange") << QStringLiteral("EXCHANGE") << false << QStringLiteral("SendEmail_Exchange");
        QTest::newRow("outlook") << QStringLiteral("Outlook") << false << QStringLiteral("SendEmail_Exchange");
    }

    void transportByMode()
    {
        QFETCH(QString, mode);
        QFETCH(bool, sent);
        QFETCH(QString, reported);
        if (!mode.isEmpty())
            configure(QStringLiteral("EXCHANGE_MODE"), mode);
        QString log;
        QCOMPARE(dispatcher().SendEmail(email(), log), sent);
        QCOMPARE(m_server->receivedMessages().size(), sent ? 1 : 0);
        const auto reports = m_suite->session().errors()->recentReports();
        QCOMPARE(reports.isEmpty(), reported.isEmpty());
        if (!reported.isEmpty())
            QCOMPARE(reports.first().procedure, reported);
        if (sent) {
            QVERIFY2(log.contains(QLatin1String("(250) - ")), qPrintable(log));
            const auto message = m_server->receivedMessages().first();
            QCOMPARE(message.header(QStringLiteral("Subject")), QStringLiteral("Conferma d'ordine"));
            QCOMPARE(message.header(QStringLiteral("X-Priority")).left(1), QStringLiteral("1"));
            QCOMPARE(message.envelopeRecipients, (QStringList{"cliente@x.example", "copia@x.example"}));
            const auto *html = message.partOfType(QStringLiteral("text/html"));
            QVERIFY(html);
            QVERIFY2(html->text.contains(QStringLiteral("grazie per l'ordine è confermato")), qPrintable(html->text));
        }
    }

    // A picture pasted into a message travels inside the e-mail and shows
    // where the text has it, whichever SMTP account sends it.
    void picturesOfRichTextBodiesTravelInline_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("account") << QStringLiteral("ACCOUNT");
        QTest::newRow("cdo") << QStringLiteral("CDO");
    }

    void picturesOfRichTextBodiesTravelInline()
    {
        QFETCH(QString, mode);
        configure(QStringLiteral("EXCHANGE_MODE"), mode);
        configure(QStringLiteral("CDO_EMAIL"), QStringLiteral("m.rossi@brambilla.example.it"));
        configure(QStringLiteral("CDO_SMTP_SERVER"), QStringLiteral("127.0.0.1"));
        configure(QStringLiteral("CDO_SMTP_PORT"), QString::number(m_server->port()));
        const QByteArray picture = testing::encodedImage("png", 5, 3, Qt::blue);
        OutgoingEmail withPicture = email();
        withPicture.rtfBody = QString::fromLatin1(testing::wordPadRtf(
            "Il nostro logo: {\\pict\\pngblip\\picw5\\pich3 " + picture.toHex() + "}\\par Saluti\\par"));

        QString log;
        QVERIFY2(dispatcher().SendEmail(withPicture, log), qPrintable(log));
        QCOMPARE(m_server->receivedMessages().size(), 1);
        const auto message = m_server->receivedMessages().first();
        QCOMPARE(message.structure(),
                 QStringLiteral("multipart/alternative(text/plain,multipart/related(text/html,image/png))"));
        const auto *image = message.partOfType(QStringLiteral("image/png"));
        QCOMPARE(image->content, picture);
        QVERIFY(!image->contentId.isEmpty());
        const QString html = message.partOfType(QStringLiteral("text/html"))->text;
        const qsizetype logo = html.indexOf(QStringLiteral("Il nostro logo"));
        const qsizetype shown = html.indexOf(QStringLiteral("cid:") + image->contentId.mid(1).chopped(1));
        QVERIFY2(logo >= 0 && shown > logo && shown < html.indexOf(QStringLiteral("Saluti")), qPrintable(html));
    }

    // Without recipients not even the mail-client queue, which would take it, gets a row.
    void nothingToSendIsNoSending()
    {
        configure(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("OUTLOOK_EXT"));
        OutgoingEmail empty = email();
        empty.to.clear();
        empty.cc.clear();
        QString log;
        QVERIFY(!dispatcher().SendEmail(empty, log));
        QCOMPARE(m_suite->session().connection()->query(QStringLiteral("SELECT RECORD_ID FROM SYS_MCL")).rows.size(),
                 0);
    }

    void attachmentsStayInsideTheTempFolder_data()
    {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("sentName");
        QTest::newRow("traversal") << QStringLiteral("../../x") << QStringLiteral(".._.._x");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("_etc_passwd");
        QTest::newRow("device name") << QStringLiteral("con") << QStringLiteral("_con");
        QTest::newRow("plain") << QStringLiteral("Offerta n. 12.pdf") << QStringLiteral("Offerta n. 12.pdf");
    }

    void attachmentsStayInsideTheTempFolder()
    {
        QFETCH(QString, storedName);
        QFETCH(QString, sentName);
        configure(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
        const QByteArray contents("\x00\x01binary\xff", 10);
        OutgoingEmail e = email();
        e.attachmentIds = QString::number(storeAttachment(storedName, contents));
        QString log;
        QVERIFY2(dispatcher().SendEmail(e, log), qPrintable(log));
        const auto *part = m_server->receivedMessages().first().partNamed(sentName);
        QVERIFY(part);
        QCOMPARE(part->content, contents);
        const QString temp = m_suite->session().paths()->productFolder(QStringLiteral("Temp"));
        QVERIFY(QFileInfo::exists(QDir(temp).filePath(sentName)));
        QVERIFY(!QFileInfo::exists(QDir(temp).filePath(QStringLiteral("../../x"))));
    }

    void mailClientQueueAndScript()
    {
        configure(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("outlook_ext"));
        configure(QStringLiteral("EXCHANGE_PROFILE"), QStringLiteral("Ufficio"));
        OutgoingEmail e = email();
        e.attachmentIds = QString::number(storeAttachment(QStringLiteral("listino.pdf"), "%PDF"));
        QString log;
        QVERIFY(dispatcher().SendEmail(e, log));
        const auto queued = m_suite->session().connection()->query(
            QStringLiteral("SELECT RECORD_ID, IDMSG, MCSUB, MCRTF, MCDTO, MCDCC, MCIMP, USINS, MCSTA FROM SYS_MCL"));
        QCOMPARE(queued.rows.size(), 1);
        const QVariantList &row = queued.rows.first();
        QStringList written;
        for (const QVariant &value : row.mid(1))
            written << value.toString();
        QCOMPARE(written, (QStringList{"1", e.subject, "1", e.to, e.cc, QString::number(mspHigh), "ROSSI", "1"}));
        const auto files = m_suite->session().connection()->query(
            QStringLiteral("SELECT MCFIL, MCCID FROM SYS_MCA WHERE IDMCL = ") + row.at(0).toString());
        QCOMPARE(files.rows.size(), 1);
        QVERIFY(files.rows.first().at(0).toString().endsWith(QLatin1String("/Temp/listino.pdf")));
        QVERIFY(m_server->receivedMessages().isEmpty());

        const QString temp = m_suite->session().paths()->productFolder(QStringLiteral("Temp"));
        const QStringList scripts = QDir(temp).entryList({QStringLiteral("mrv*.sh")});
        QCOMPARE(scripts.size(), 1);
        QFile script(QDir(temp).filePath(scripts.first()));
        QVERIFY(script.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(script.readAll());
        const QString binFolder = m_suite->session().paths()->productFolder(QStringLiteral("Bin.NET"));
        QVERIFY2(text.startsWith(QLatin1String("#!/bin/sh\n'") + binFolder +
                                 QLatin1String("/MailClient_x86' '-c' 'Provider=SQLite;")),
                 qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("'-u' 'ROSSI' '-p' '\"OUTLOOK\"' '--profile' 'Ufficio'")),
                 qPrintable(text));
        QVERIFY(!text.contains(QLatin1String("read")));
    }
};

QTEST_MAIN(EmailDispatcherTest)
#include "tst_emaildispatcher.moc"
