#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "mail/EmailDispatcher.h"
#include "messages/SendingPipeline.h"
#include "services/SuiteSession.h"

#include <algorithm>

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
        e.subject = u"Conferma d'ordine"_qs;
        e.rtfBody = u"{\\rtf1\\ansi\\ansicpg1252 Gentile cliente, grazie per l'ordine \\'e8 confermato.\\par}"_qs;
        e.to = u"cliente@x.example"_qs;
        e.cc = u"|copia@x.example|"_qs;
        e.priority = mspHigh;
        return e;
    }

    qint32 storeAttachment(const QString &storedName, const QByteArray &contents)
    {
        const QString path = testing::writeFile(m_suite->folder(), u"upload.bin"_qs, contents);
        const qint32 key = m_suite->session().records()->addAttachment(u"SYS_MSG"_qs, u"1"_qs, path);
        m_suite->session().connection()->execute(
            u"UPDATE SYS_ATT SET ATNAM = '%1' WHERE RECORD_ID = %2"_qs.arg(storedName).arg(key));
        return key;
    }

private Q_SLOTS:
    void init()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_server = std::make_unique<testing::SmtpTestServer>();
        QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
        m_server->configureAccount(*m_suite->session().config());
    }

    void entities_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("converted");
        QTest::newRow("accented") << u"perché è così"_qs << u"perch&eacute; &egrave; cos&igrave;"_qs;
        QTest::newRow("first and last") << u"\u00A0\u00FF"_qs << u"&nbsp;&yuml;"_qs;
        QTest::newRow("soft hyphen stays") << u"a\u00ADb"_qs << u"a\u00ADb"_qs;
        QTest::newRow("markup stays") << u"<b class=\"x\">&amp;</b>"_qs << u"<b class=\"x\">&amp;</b>"_qs;
        QTest::newRow("typographic") << u"€ ™ “x” … Œ š"_qs
                                     << u"&euro; &trade; &ldquo;x&rdquo; &hellip; &OElig; &scaron;"_qs;
        QTest::newRow("beyond the tables") << u"漢 ą"_qs << u"漢 ą"_qs;
    }

    void entities()
    {
        QFETCH(QString, text);
        QFETCH(QString, converted);
        QCOMPARE(EmailDispatcher::ConvertHTMLEntities(text), converted);
    }

    void htmlBodiesGetLineBreaksAroundTags()
    {
        QCOMPARE(EmailDispatcher::prepareHtmlBody(u"<p><b>è</b></p>"_qs),
                 u"\r\n<p>\r\n\r\n<b>\r\n&egrave;\r\n</b>\r\n\r\n</p>\r\n"_qs);
    }

    // The transport "EXCHANGE_MODE" names, in any case. A picture pasted into
    // a message travels inside the e-mail and shows where the text has it,
    // whichever SMTP account sends it; only the account transport asks for a
    // read receipt.
    void transportByMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("reported");
        QTest::newRow("account, any case") << u"account"_qs << true << QString();
        QTest::newRow("cdo") << u"CDO"_qs << true << QString();
        QTest::newRow("none") << u"NONE"_qs << false << QString();
        QTest::newRow("empty") << QString() << false << QString();
    }

    void transportByMode()
    {
        QFETCH(QString, mode);
        QFETCH(bool, sent);
        QFETCH(QString, reported);
        if (!mode.isEmpty())
            configure(u"EXCHANGE_MODE"_qs, mode);
        configure(u"CDO_EMAIL"_qs, u"m.rossi@brambilla.example.it"_qs);
        configure(u"CDO_SMTP_SERVER"_qs, u"127.0.0.1"_qs);
        configure(u"CDO_SMTP_PORT"_qs, QString::number(m_server->port()));
        configure(u"EMAIL_RECEIPT"_qs, u"-1"_qs);
        const QByteArray picture = testing::encodedImage("png", 5, 3, Qt::blue);
        OutgoingEmail withPicture = email();
        withPicture.rtfBody = QString::fromLatin1(testing::wordPadRtf(
            "Il nostro logo \\'e8: {\\pict\\pngblip\\picw5\\pich3 " + picture.toHex() + "}\\par Saluti\\par"));

        QString log;
        QCOMPARE(dispatcher().SendEmail(withPicture, log), sent);
        QVERIFY2(log.contains(u"(250) - "_qs) == sent, qPrintable(log));
        const auto reports = m_suite->session().errors()->recentReports();
        QCOMPARE(reports.isEmpty() ? QString() : reports.first().procedure, reported);
        const auto received = m_server->receivedMessages();
        QCOMPARE(received.size(), sent ? 1 : 0);
        if (!sent)
            return;
        const auto &message = received.first();
        QCOMPARE(message.header(u"Disposition-Notification-To"_qs).isEmpty(), mode == u"CDO"_qs);
        QCOMPARE(message.header(u"Subject"_qs), u"Conferma d'ordine"_qs);
        QCOMPARE(message.header(u"X-Priority"_qs).left(1), mode == u"CDO"_qs ? QString() : u"1"_qs);
        QCOMPARE(message.envelopeRecipients, (QStringList{"cliente@x.example", "copia@x.example"}));
        QCOMPARE(message.structure, u"multipart/alternative(text/plain,multipart/related(text/html,image/png))"_qs);
        const auto *image = message.partOfType(u"image/png"_qs);
        QCOMPARE(image->content, picture);
        QCOMPARE(image->disposition + image->contentId.left(1), u"inline<"_qs);
        const QString html = message.partOfType(u"text/html"_qs)->text;
        const qsizetype logo = html.indexOf(u"Il nostro logo è"_qs);
        const qsizetype shown = html.indexOf(u"cid:"_qs + image->contentId.mid(1).chopped(1));
        QVERIFY2(logo >= 0 && shown > logo && shown < html.indexOf(u"Saluti"_qs), qPrintable(html));
    }

    // Without recipients not even the mail-client queue, which would take it, gets a row.
    void nothingToSendIsNoSending()
    {
        configure(u"EXCHANGE_MODE"_qs, u"OUTLOOK_EXT"_qs);
        OutgoingEmail empty = email();
        empty.to.clear();
        empty.cc.clear();
        QString log;
        QVERIFY(!dispatcher().SendEmail(empty, log));
        QCOMPARE(m_suite->session().connection()->query(u"SELECT RECORD_ID FROM SYS_MCL"_qs).rows.size(), 0);
    }

    void attachmentsStayInsideTheTempFolder_data()
    {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QString>("sentName");
        QTest::newRow("traversal") << u"../../x"_qs << u".._.._x"_qs;
        QTest::newRow("absolute") << u"/etc/passwd"_qs << u"_etc_passwd"_qs;
        QTest::newRow("device name") << u"con"_qs << u"_con"_qs;
        QTest::newRow("plain") << u"Offerta n. 12.pdf"_qs << u"Offerta n. 12.pdf"_qs;
    }

    void attachmentsStayInsideTheTempFolder()
    {
        QFETCH(QString, storedName);
        QFETCH(QString, sentName);
        configure(u"EXCHANGE_MODE"_qs, u"ACCOUNT"_qs);
        // Two files of one name in one sending: each arrives with its own content.
        const QList<QByteArray> contents = {QByteArray::fromHex("0001") + "binary\xff", "second"};
        OutgoingEmail e = email();
        e.attachmentIds = QString::number(storeAttachment(storedName, contents.at(0))) + u","_qs +
                          QString::number(storeAttachment(storedName, contents.at(1)));
        QString log;
        QVERIFY2(dispatcher().SendEmail(e, log), qPrintable(log));
        QList<QByteArray> arrived;
        const auto received = m_server->receivedMessages();
        for (const auto &part : received.first().parts) {
            if (part.fileName == sentName)
                arrived << part.content;
        }
        std::sort(arrived.begin(), arrived.end());
        QCOMPARE(arrived, (QList<QByteArray>{contents.at(0), contents.at(1)}));
        // Nothing of the sending stays behind, and nothing went outside.
        const QString temp = m_suite->session().paths()->productFolder(u"Temp"_qs);
        QCOMPARE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QVERIFY(!QFileInfo::exists(QDir(temp).filePath(u"../../x"_qs)));
    }

    void mailClientQueueAndScript()
    {
        configure(u"EXCHANGE_MODE"_qs, u"outlook_ext"_qs);
        configure(u"EXCHANGE_PROFILE"_qs, u"Ufficio"_qs);
        OutgoingEmail e = email();
        e.attachmentIds = QString::number(storeAttachment(u"listino.pdf"_qs, "%PDF"));
        QString log;
        QVERIFY(dispatcher().SendEmail(e, log));
        QCOMPARE(m_suite
                     ->scalar(u"SELECT (SELECT COUNT(*) FROM SYS_MCL) || '|' || IDMSG || '|' || MCSUB || '|' || MCRTF "
                              u"|| '|' || MCDTO || "
                              "'|' || MCDCC || '|' || MCIMP || '|' || USINS || '|' || MCSTA FROM SYS_MCL"_qs)
                     .toString(),
                 QStringList({"1", "1", e.subject, "1", e.to, e.cc, QString::number(mspHigh), "ROSSI", "1"}).join('|'));
        const auto files = m_suite->session().connection()->query(
            u"SELECT MCFIL FROM SYS_MCA JOIN SYS_MCL ON SYS_MCL.RECORD_ID = IDMCL"_qs);
        QCOMPARE(files.rows.size(), 1);
        // The queued file stays, in a private folder of its sending, until the mail client is done with it.
        const QFileInfo queuedFile(files.rows.first().at(0).toString());
        QVERIFY(queuedFile.exists() && queuedFile.fileName() == u"listino.pdf"_qs);
        QCOMPARE(QFile(queuedFile.absolutePath()).permissions() & 0x0077, QFile::Permissions());
        QVERIFY(m_server->receivedMessages().isEmpty());

        const QString temp = m_suite->session().paths()->productFolder(u"Temp"_qs);
        const QStringList scripts = QDir(temp).entryList({u"mrv*.sh"_qs});
        QCOMPARE(scripts.size(), 1);
        QFile script(QDir(temp).filePath(scripts.first()));
        QVERIFY(script.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(script.readAll());
        QVERIFY2(text.contains(u"/MailClient_x86' '-c' '"_qs + m_suite->session().connection()->connectionText()),
                 qPrintable(text));
        QVERIFY2(text.contains(u"'-u' 'ROSSI' '-p' '\"OUTLOOK\"' '--profile' 'Ufficio'"_qs), qPrintable(text));
        QVERIFY(!text.contains(u"read"_qs));
    }
};

QTEST_MAIN(EmailDispatcherTest)
#include "tst_emaildispatcher.moc"
