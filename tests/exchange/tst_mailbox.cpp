#include "DemoSuite.h"
#include "ImapTestServer.h"
#include "ReceivedMessages.h"
#include "SmtpTestServer.h"
#include "db/SuiteConnection.h"
#include "exchange/MailboxConnection.h"
#include "exchange/mrvExchange.h"
#include "facade/Types.h"
#include "host/HostServices.h"
#include "host/TreeControl.h"
#include "mail/EmailDispatcher.h"
#include "messages/MessageWindowController.h"
#include "messages/SendingPipeline.h"
#include "platform/imap/ImapSession.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteRecords.h"
#include "services/SuiteSession.h"
#include "services/SuiteTextService.h"

#include <QProcess>
#include <QTest>

#include <csignal>
#include <thread>

using namespace mrv;
using namespace Qt::StringLiterals;

namespace {

// The tree as a host would show it: a line per node, indented by level,
// with its icon.
class RecordedTree : public host::TreeControl
{
public:
    void clear() override { m_nodes.clear(); }
    void addNode(const QString &parentKey, const QString &key, const QString &text) override
    {
        m_nodes.append({key, parentKey.isEmpty() ? 0 : depthOf(parentKey) + 1, text, 0, false});
    }
    bool hasImageList() const override { return true; }
    void setImage(const QString &key, qint32 icon) override { find(key).icon = icon; }
    void setExpanded(const QString &key, bool expanded) override { find(key).expanded = expanded; }

    QString text() const
    {
        QStringList lines;
        for (const Node &node : m_nodes)
            lines << QString(node.depth * 2, u' ') + QString::number(node.icon) + u' ' + node.text;
        return lines.join(u'\n');
    }

private:
    struct Node
    {
        QString key;
        int depth = 0;
        QString text;
        qint32 icon = 0;
        bool expanded = false;
    };
    Node &find(const QString &key)
    {
        return *std::find_if(m_nodes.begin(), m_nodes.end(), [&](const Node &node) { return node.key == key; });
    }
    int depthOf(const QString &key) { return find(key).depth; }
    QList<Node> m_nodes;
};

QByteArray message(const QByteArray &subject, const QByteArray &extraHeaders = {}, const QByteArray &body = "Testo")
{
    QByteArray text =
        "From: Mario Rossi <mario@example.it>\r\nTo: Anna Bianchi <anna@example.it>\r\nSubject: " + subject +
        "\r\nDate: Wed, 6 Mar 2024 09:30:00 +0100\r\n" + extraHeaders +
        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + body + "\r\n";
    return text;
}

const QByteArray kWithAttachment =
    "From: =?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?= <jose@example.es>\r\nTo: anna@example.it\r\n"
    "Subject: =?ISO-8859-1?Q?Fattura_n=B0_12?=\r\nDate: Mon, 4 Mar 2024 10:15:00 +0100\r\nImportance: high\r\n"
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n\r\nCiao \xc3\xa8\r\n--b1\r\nContent-Type: application/pdf; "
    "name=\"fattura.pdf\"\r\nContent-Disposition: attachment; filename=\"fattura.pdf\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--b1--\r\n";

} // namespace

// The mirror of a real mailbox (Dovecot on loopback) in SYS_EXC, changed
// between synchronisations through the server itself.
class MailboxTest : public QObject
{
    Q_OBJECT

private:
    testing::ImapTestServer m_server;
    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<imap::ImapSession> m_imap; // changes the mailbox as another program would

    std::unique_ptr<mrvExchange> exchange() const
    {
        auto made = std::make_unique<mrvExchange>();
        suite::SuiteSession &session = m_suite->session();
        made->setConnection(session.connection());
        made->setErrors(session.errors());
        made->setUserManager(session.users());
        made->setConfigClass(session.config());
        return made;
    }
    QString rows(const QString &sql) const
    {
        QStringList lines;
        for (const QVariantList &row : m_suite->session().connection()->query(sql).rows) {
            QStringList cells;
            for (const QVariant &cell : row)
                cells << cell.toString();
            lines << cells.join(u'|');
        }
        return lines.join(u'\n');
    }
    QString folderId(const QString &name) const
    {
        return rows(u"SELECT EXOID FROM SYS_EXC WHERE EXTYP = 3 AND EXDES = '%1'"_s.arg(name));
    }
    QString storeId() const { return rows(u"SELECT EXOID FROM SYS_EXC WHERE EXTYP = 1"_s); }
    void append(const QByteArray &mailbox, const QByteArray &content)
    {
        QVERIFY(m_imap->append(imap::MailboxName::fromWire(mailbox), content));
    }
    bool refresh(const QString &folder, bool force)
    {
        return exchange()->RefreshMessages(folderId(folder), storeId(), u"mario@127.0.0.1"_s, force);
    }
    QString subjects(const QString &folder) const
    {
        return rows(
            u"SELECT EXDES FROM SYS_EXC WHERE EXTYP = 4 AND EXPAR = '%1' ORDER BY EXDES"_s.arg(folderId(folder)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        m_suite = std::make_unique<testing::DemoSuite>();
        auto config = m_suite->session().config();
        config->setValue(u"EXCHANGE_MODE"_s, u"exchange"_s);
        config->setValue(u"EXCHANGE_SERVER"_s, u"127.0.0.1:%1"_s.arg(m_server.tlsPort()));
        config->setValue(u"EXCHANGE_USER"_s, QString::fromLatin1(testing::ImapTestServer::kUser));
        config->setValue(u"EXCHANGE_PASSWORD"_s, QString::fromLatin1(testing::ImapTestServer::kPassword), true);
        config->setValue(u"EXCHANGE_SSL"_s, u"1"_s);
        config->setValue(u"EMAIL_OUT_CA_FILE"_s, m_server.certificatePath());
        m_imap = std::make_unique<imap::ImapSession>(m_server.account());
        QVERIFY(m_imap->connectAndLogIn());
        for (const char *name : {"Progetti", "Progetti/Vecchi"})
            QVERIFY(m_imap->create(imap::MailboxName::fromDisplay(QString::fromLatin1(name))));
    }

    // The first call mirrors the tree: every folder has its row, mail
    // folders are shown with their icons, drafts (unsent messages) are not.
    void firstStructureMirrorsTheMailbox()
    {
        RecordedTree tree;
        QVERIFY(exchange()->GetStructure(tree));
        QCOMPARE(tree.text(),
                 u"1 mario@127.0.0.1\n  2 INBOX\n  7 Junk\n  4 Progetti\n    4 Vecchi\n  3 Sent\n  5 Trash"_s);
        QCOMPARE(rows(u"SELECT EXTYP, EXETP, EXSYN FROM SYS_EXC WHERE EXDES = 'Drafts'"_s), u"3|16|1"_s);
        QCOMPARE(rows(u"SELECT COUNT(*) FROM SYS_EXC WHERE EXTYP = 0 AND EXPAR IS NULL"_s), u"1"_s);
    }

    // A folder's messages come when it is first refreshed, with texts
    // decoded; later refreshes change only what changed on the server.
    void refreshFollowsTheFolder()
    {
        append("INBOX", message("Prima"));
        append("INBOX", kWithAttachment);
        append("INBOX", message("=?UTF-8?B?wqsgw6ggwrs=?="));
        QVERIFY(refresh(u"INBOX"_s, false));
        QCOMPARE(subjects(u"INBOX"_s), u"Fattura n° 12\nPrima\n« è »"_s);
        QCOMPARE(rows(u"SELECT EXIFR, EXIAT, EXSYN, EXIST FROM SYS_EXC WHERE EXDES = 'Fattura n° 12'"_s),
                 u"José Pérez|1|0|0"_s);
        QCOMPARE(rows(u"SELECT EXSYN FROM SYS_EXC WHERE EXOID = '%1'"_s.arg(folderId(u"INBOX"_s))), u"0"_s);

        append("INBOX", message("Nuovo"));
        QVERIFY(refresh(u"INBOX"_s, false)); // in step: the server is not asked
        QCOMPARE(subjects(u"INBOX"_s).count(u'\n'), 2);
        QVERIFY(refresh(u"INBOX"_s, true));
        QCOMPARE(subjects(u"INBOX"_s), u"Fattura n° 12\nNuovo\nPrima\n« è »"_s);

        QVERIFY(m_imap->select(imap::MailboxName::inbox()));
        QVERIFY(m_imap->store(imap::UidSet(1, 1), imap::FlagChange::Add, {"\\Deleted"}));
        QVERIFY(m_imap->expunge(imap::UidSet(1, 1)));
        QVERIFY(refresh(u"INBOX"_s, true));
        QCOMPARE(subjects(u"INBOX"_s), u"Fattura n° 12\nNuovo\n« è »"_s);
    }

    // A renamed folder keeps its row and its messages; a deleted one goes
    // with them; one made anew under an old name is a new folder.
    void foldersRenamedDeletedOrMadeAnew()
    {
        append("Progetti", message("Piano"));
        RecordedTree tree;
        QVERIFY(exchange()->GetStructure(tree, true));
        QVERIFY(refresh(u"Progetti"_s, false));
        const QString row = rows(u"SELECT RECORD_ID FROM SYS_EXC WHERE EXDES = 'Progetti'"_s);
        QVERIFY(m_imap->rename(imap::MailboxName::fromWire("Progetti"), imap::MailboxName::fromWire("Lavori")));
        QVERIFY(exchange()->GetStructure(tree, true));
        QCOMPARE(rows(u"SELECT RECORD_ID FROM SYS_EXC WHERE EXDES = 'Lavori'"_s), row);
        QCOMPARE(subjects(u"Lavori"_s), u"Piano"_s);
        QCOMPARE(rows(u"SELECT EXDES FROM SYS_EXC WHERE EXPAR = '%1' ORDER BY EXDES"_s.arg(folderId(u"Lavori"_s))),
                 u"Piano\nVecchi"_s);

        QVERIFY(m_imap->remove(imap::MailboxName::fromWire("Lavori/Vecchi")));
        QVERIFY(m_imap->remove(imap::MailboxName::fromWire("Lavori")));
        QVERIFY(exchange()->GetStructure(tree, true));
        QCOMPARE(rows(u"SELECT COUNT(*) FROM SYS_EXC WHERE EXDES IN ('Lavori', 'Vecchi', 'Piano')"_s), u"0"_s);
        QVERIFY(!tree.text().contains(u"Lavori"_s));
    }

    // New messages are counted once; opening one marks it read (only from
    // unread) and seen on the server.
    void newMessagesCountedAndOpened()
    {
        auto mirror = exchange();
        QVERIFY(refresh(u"INBOX"_s, false)); // marked for a rebuild by the last structure synchronisation
        QCOMPARE(mirror->CheckNewMessages(storeId(), u"mario@127.0.0.1"_s), 0);
        QTest::qWait(1100); // dates are compared in whole seconds
        append("INBOX",
               message("Arrivato",
                       "Date: " + QDateTime::currentDateTimeUtc().addSecs(60).toString(Qt::RFC2822Date).toLatin1() +
                           "\r\n"));
        QCOMPARE(mirror->CheckNewMessages(storeId(), u"mario@127.0.0.1"_s), 1);
        QCOMPARE(mirror->CheckNewMessages(storeId(), u"mario@127.0.0.1"_s), 0);

        const qint32 id = rows(u"SELECT RECORD_ID FROM SYS_EXC WHERE EXDES = 'Fattura n° 12'"_s).toInt();
        qint32 published = -1;
        const auto opened = mirror->GetMessageFromDb(id, &published);
        QVERIFY(opened);
        QCOMPARE(opened->subject, u"Fattura n° 12"_s);
        QCOMPARE(opened->textBody.trimmed(), u"Ciao è"_s);
        QCOMPARE(opened->attachments.size(), 1);
        QCOMPARE(opened->attachments.first().content, QByteArray("%PDF-1.4\n"));
        QCOMPARE(opened->importance, 2);
        QCOMPARE(published, 0);
        QCOMPARE(rows(u"SELECT EXIST FROM SYS_EXC WHERE RECORD_ID = %1"_s.arg(id)), u"1"_s);
        mirror->ChangeMessageStatus(id, 3);
        QVERIFY(mirror->GetMessageFromDb(id));
        QCOMPARE(rows(u"SELECT EXIST FROM SYS_EXC WHERE RECORD_ID = %1"_s.arg(id)), u"3"_s);
        QVERIFY(m_imap->select(imap::MailboxName::inbox()));
        imap::FetchRequest request;
        request.uids = imap::UidSet(1, imap::UidSet::kLargest);
        const auto fetched = m_imap->fetch(request);
        QVERIFY(fetched);
        QVERIFY(std::any_of(fetched.value().begin(), fetched.value().end(), [](const imap::FetchedMessage &message) {
            return message.envelope && message.envelope->subject == u"Fattura n° 12"_s && message.hasFlag("\\Seen");
        }));
    }

    // The message window shows a mirrored e-mail from the mailbox: header,
    // page, attachments that open as files; a row the mailbox no longer
    // has asks for a synchronisation.
    void messageWindowShowsAMirroredEmail()
    {
        auto &texts = dynamic_cast<suite::SuiteTextService &>(host::textService());
        texts.clearShownBoxes();
        suite::SuiteSession &session = m_suite->session();
        auto dialogs = std::make_shared<suite::ScriptedInteraction>();
        session.records()->setInteraction(dialogs);
        const auto open = [&](const QString &id, MessageWindowController &window) {
            window.setErrors(session.errors());
            window.setRecords(session.records());
            return window.OpenMessage(nullptr, id, mstEmail);
        };
        MessageWindowController window;
        QVERIFY(open(rows(u"SELECT RECORD_ID FROM SYS_EXC WHERE EXDES = 'Fattura n° 12'"_s), window));
        QCOMPARE(window.caption(), u"Fattura n° 12 - Email"_s);
        QCOMPARE(window.header().from, u"José Pérez (jose@example.es)"_s);
        QCOMPARE(window.header().to, u"anna@example.it"_s);
        QVERIFY(!window.header().priority.isEmpty()); // sent with high importance
        QVERIFY(window.showsWebView());
        QFile page(window.webFilePath());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(page.readAll()).contains(u"Ciao è"_s));
        QCOMPARE(window.storedAttachments().size(), 1);
        QFile attachment(window.storedAttachments().first().path);
        QVERIFY(attachment.open(QIODevice::ReadOnly));
        QCOMPARE(attachment.readAll(), QByteArray("%PDF-1.4\n"));

        // Public, once associated with a counterparty: a message row of its
        // own, body and attachment included, that the mirrored row points at.
        qint32 published = 0;
        window.SaveAsPublic(published);
        QCOMPARE(published, 0); // no counterparty yet: no copy
        dialogs->queueChosenRecord(host::ChosenRecord{u"3"_s, u"Cliente"_s});
        window.associateCounterparty();
        window.SaveAsPublic(published);
        QVERIFY(published > 0);
        QCOMPARE(
            rows(u"SELECT MSTYP, MSFLD, MSOBJ, MSMIT, MSATB, MSAKE FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(published)),
            u"4|4|Fattura n° 12|José Pérez (jose@example.es)|CON_TRO|3"_s);
        QCOMPARE(rows(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG' AND ATKEY = '%1'"_s.arg(published)),
                 u"1"_s);
        QCOMPARE(rows(u"SELECT EXPUB FROM SYS_EXC WHERE EXDES = 'Fattura n° 12'"_s), QString::number(published));

        MessageWindowController gone;
        QVERIFY(!open(u"999999"_s, gone));
        QCOMPARE(texts.shownBoxes().value(0).text,
                 u"Impossibile aprire il messaggio. Rieseguire la sincronizzazione."_s);
    }

    // The mirror through the command line; {INBOX}, {STORE} and {MESSAGE}
    // stand for the keys of the mirrored inbox, store and a message.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("tree") << QStringList{u"tree"_s} << 0 << u"1\t{STORE}\tmario@127.0.0.1\n  2\t{INBOX}\tINBOX\n"_s;
        QTest::newRow("refresh") << QStringList{u"refresh"_s, u"{INBOX}"_s, u"--force"_s} << 0 << u"4\n"_s;
        QTest::newRow("refresh of no folder") << QStringList{u"refresh"_s, u"nowhere"_s} << 1 << u"not in the mirror"_s;
        QTest::newRow("check") << QStringList{u"check"_s, u"{STORE}"_s} << 0 << u"0\n"_s;
        QTest::newRow("open") << QStringList{u"open"_s, u"{MESSAGE}"_s} << 0
                              << u"From: José Pérez <jose@example.es>\nTo: anna@example.it\n"_s;
        QTest::newRow("status") << QStringList{u"status"_s, u"{MESSAGE}"_s, u"2"_s} << 0 << QString();
        QTest::newRow("status out of range") << QStringList{u"status"_s, u"{MESSAGE}"_s, u"9"_s} << 2 << u"0 to 4"_s;
        QTest::newRow("status of no message")
            << QStringList{u"status"_s, u"99999"_s, u"1"_s} << 1 << u"does not exist"_s;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const auto keys = [this](QString text) {
            return text.replace(u"{INBOX}"_s, folderId(u"INBOX"_s))
                .replace(u"{STORE}"_s, storeId())
                .replace(u"{MESSAGE}"_s, rows(u"SELECT RECORD_ID FROM SYS_EXC WHERE EXDES = 'Fattura n° 12'"_s));
        };
        QStringList command{suite::db::SuiteConnection::isServerLocation(m_suite->databasePath()) ? u"--url"_s
                                                                                                  : u"--db"_s,
                            m_suite->databasePath(), u"--user"_s, u"ROSSI"_s, u"mailbox"_s};
        for (const QString &argument : arguments)
            command << keys(argument);
        QProcess mrv;
        mrv.start(qEnvironmentVariable("MRV_BIN") + u"/mrv"_s, command);
        QVERIFY(mrv.waitForFinished(60000));
        const QString out = QString::fromUtf8(mrv.readAllStandardOutput());
        const QString err = QString::fromUtf8(mrv.readAllStandardError());
        QVERIFY2(mrv.exitCode() == exitCode, qPrintable(out + err));
        QVERIFY2((exitCode == 0 ? out : err).contains(keys(output)), qPrintable(out + err));
    }

    // E-mail through the mailbox: sent by the account's SMTP server (the
    // profile's in OUTLOOK mode), then filed in Sent as read, each once.
    // With OAuth 2 both servers take the tokens their commands print, and
    // the passwords (wrong here) are not used.
    void sendingFilesTheMessageInSent_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("oauth");
        QTest::addColumn<bool>("smtpReachable");
        QTest::addColumn<bool>("mailboxReachable");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("received");
        QTest::addColumn<int>("filed");
        QTest::newRow("exchange") << u"EXCHANGE"_s << false << true << true << true << 1 << 1;
        QTest::newRow("outlook, through the profile's account")
            << u"OUTLOOK"_s << false << true << true << true << 1 << 1;
        QTest::newRow("exchange, OAuth 2") << u"EXCHANGE"_s << true << true << true << true << 1 << 1;
        QTest::newRow("outlook, OAuth 2") << u"OUTLOOK"_s << true << true << true << true << 1 << 1;
        QTest::newRow("smtp server refuses") << u"EXCHANGE"_s << false << false << true << false << 0 << 0;
        QTest::newRow("mailbox refuses the login") << u"EXCHANGE"_s << false << true << false << false << 1 << 0;
    }

    void sendingFilesTheMessageInSent()
    {
        QFETCH(QString, mode);
        QFETCH(bool, oauth);
        QFETCH(bool, smtpReachable);
        QFETCH(bool, mailboxReachable);
        QFETCH(bool, result);
        QFETCH(int, received);
        QFETCH(int, filed);
        suite::SuiteSession &session = m_suite->session();
        auto config = session.config();
        const QString smtpToken = u"smtp-token-42"_s;
        const QString imapToken = QString::fromLatin1(testing::ImapTestServer::kAccessToken);
        testing::SmtpServerOptions smtpOptions;
        if (oauth) {
            smtpOptions.user = QString::fromLatin1(testing::ImapTestServer::kUser);
            smtpOptions.password = u"not this one"_s;
            smtpOptions.token = smtpToken;
        }
        testing::SmtpTestServer smtp(smtpOptions);
        QVERIFY2(smtp.start(), qPrintable(smtp.errorText()));
        const QString prefix = mode == u"OUTLOOK"_s ? u"Ufficio_"_s : QString();
        const auto printing = [oauth](const QString &token) { return oauth ? u"printf %s "_s + token : QString(); };
        for (const auto &[key, value] : QList<std::pair<QString, QString>>{
                 {u"EMAIL"_s, u"mario@127.0.0.1"_s},
                 {u"EMAIL_OUT_TYPE"_s, u"3"_s},
                 {u"EMAIL_OUT_SERVER"_s, u"127.0.0.1"_s},
                 {u"EMAIL_OUT_PORT"_s, QString::number(smtpReachable ? smtp.port() : 1)},
                 {u"EMAIL_IN_SERVER"_s, u"127.0.0.1"_s},
                 {u"EMAIL_IN_PORT"_s, QString::number(m_server.tlsPort())},
                 {u"EMAIL_IN_SSL"_s, u"-1"_s},
                 {u"EMAIL_IN_USER"_s, QString::fromLatin1(testing::ImapTestServer::kUser)},
                 {u"EMAIL_IN_PASS"_s, oauth ? u"no"_s : QString::fromLatin1(testing::ImapTestServer::kPassword)},
                 {u"EMAIL_IN_TOKEN_COMMAND"_s, printing(imapToken)},
                 {u"EMAIL_OUT_AUTH"_s, oauth ? u"1"_s : u"0"_s},
                 {u"EMAIL_OUT_USER"_s, smtpOptions.user},
                 {u"EMAIL_OUT_PASS"_s, u"no"_s},
                 {u"EMAIL_OUT_TOKEN_COMMAND"_s, printing(smtpToken)}})
            config->setValue(prefix + key, value);
        config->setValue(u"EXCHANGE_TOKEN_COMMAND"_s, printing(imapToken), true);
        config->setValue(u"EXCHANGE_MODE"_s, mode);
        config->setValue(u"EXCHANGE_PROFILE"_s, u"Ufficio"_s);
        config->setValue(u"EXCHANGE_PASSWORD"_s,
                         mailboxReachable && !oauth ? QString::fromLatin1(testing::ImapTestServer::kPassword) : u"no"_s,
                         true);
        const auto filedCount = [this] {
            // STATUS of the mailbox a session has selected may lag behind.
            m_imap->select(imap::MailboxName::inbox());
            return m_imap->status(imap::MailboxName::fromWire("Sent")).value().messages.value_or(0);
        };
        const quint32 before = filedCount();

        OutgoingEmail email;
        email.messageId = 1;
        email.subject = u"Offerta è pronta"_s;
        email.rtfBody = u"{\\rtf1\\ansi Buongiorno\\par}"_s;
        email.to = u"cliente@x.example"_s;
        email.priority = 2;
        QString log;
        EmailDispatcher dispatcher(session.connection(), config, session.users(), session.records(), session.errors());
        QVERIFY2(dispatcher.SendEmail(email, log) == result, qPrintable(log));
        QCOMPARE(smtp.receivedMessages().size(), received);
        QCOMPARE(int(filedCount() - before), filed);
        QCOMPARE(log.contains(u"not filed"_s), received == 1 && filed == 0);
        const QByteArray saslPayload = "user=mario\x01"
                                       "auth=Bearer " +
                                       smtpToken.toLatin1() + "\x01\x01";
        QVERIFY2(!log.contains(smtpToken) && !log.contains(QString::fromLatin1(saslPayload.toBase64())),
                 qPrintable(log));
        if (oauth)
            QCOMPARE(smtp.receivedMessages().first().authenticatedUser, smtpOptions.user);
        if (filed == 1) {
            QVERIFY(m_imap->select(imap::MailboxName::fromWire("Sent")));
            imap::FetchRequest request;
            request.uids = imap::UidSet(1, imap::UidSet::kLargest);
            const auto messages = m_imap->fetch(request);
            QVERIFY(messages);
            const imap::FetchedMessage &last = messages.value().last();
            QCOMPARE(last.envelope->subject, u"Offerta è pronta"_s);
            QVERIFY(last.hasFlag("\\Seen"));
            QCOMPARE(QString::fromLatin1(last.envelope->messageId),
                     smtp.receivedMessages().first().header(u"Message-ID"_s));
        }
        config->setValue(u"EXCHANGE_MODE"_s, u"EXCHANGE"_s);
        config->setValue(u"EXCHANGE_PASSWORD"_s, QString::fromLatin1(testing::ImapTestServer::kPassword), true);
        config->setValue(u"EXCHANGE_TOKEN_COMMAND"_s, QString(), true);
    }

    // The connection lost while a folder is listed: no row of it written,
    // the folder still marked, and the next refresh mirrors it whole.
    void connectionLostWhileRefreshing()
    {
        QVERIFY(m_server.fillFolder(u"Grande"_s, 20000, [](int i) {
            return message("Numero " + QByteArray::number(i), {}, QByteArray("Testo ").repeated(50));
        }));
        RecordedTree tree;
        QVERIFY(exchange()->GetStructure(tree, true));
        const auto state = [this] {
            return rows(u"SELECT COUNT(*) FROM SYS_EXC WHERE EXTYP = 4 AND EXPAR = '%1'"_s.arg(folderId(u"Grande"_s))) +
                   u'|' + rows(u"SELECT EXSYN FROM SYS_EXC WHERE EXOID = '%1'"_s.arg(folderId(u"Grande"_s)));
        };
        std::thread cut([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            m_server.signalSessions(SIGKILL);
        });
        const bool refreshed = refresh(u"Grande"_s, false);
        cut.join();
        QVERIFY(!refreshed);
        QCOMPARE(state(), u"0|1"_s);
        // Dovecot holds back new sessions for a while after killed ones.
        QTRY_VERIFY_WITH_TIMEOUT(imap::ImapSession(m_server.account()).connectAndLogIn().ok(), 30000);
        QVERIFY(refresh(u"Grande"_s, false));
        QCOMPARE(state(), u"20000|0"_s);
        m_imap = std::make_unique<imap::ImapSession>(m_server.account());
        QVERIFY(m_imap->connectAndLogIn());
    }

    // A refused login gives False and the stored tree.
    void refusedLoginShowsTheStoredTree()
    {
        m_suite->session().config()->setValue(u"EXCHANGE_PASSWORD"_s, u"sbagliata"_s, true);
        RecordedTree tree;
        QVERIFY(exchange()->GetStructure(tree, true));
        QVERIFY(tree.text().startsWith(u"1 mario@127.0.0.1\n  2 INBOX"_s));
        QCOMPARE(exchange()->CheckNewMessages(storeId(), u"mario@127.0.0.1"_s), -1);
    }
};

QTEST_GUILESS_MAIN(MailboxTest)
#include "tst_mailbox.moc"
