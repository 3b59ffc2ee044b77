#include "ImapTestServer.h"
#include "platform/imap/ImapSession.h"

#include <QTemporaryFile>
#include <QTest>
#include <QTimeZone>

#include <signal.h>

using namespace mrv::imap;
using mrv::testing::ImapTestServer;

namespace {

QByteArray crlf(const char *text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

// The conversation of one session, with the client's lines apart.
struct Conversation
{
    QStringList lines;
    QStringList clientLines;

    ImapTranscript::LineHandler handler()
    {
        return [this](const QString &text, ImapTranscript::Direction direction) {
            lines << text;
            if (direction == ImapTranscript::Direction::Client)
                clientLines << text;
        };
    }

    bool sentCommand(const QString &verb) const
    {
        return std::any_of(clientLines.begin(), clientLines.end(),
                           [&](const QString &line) { return line.section(' ', 1, 1) == verb; });
    }
};

template <typename T> QString outcome(const Result<T> &result)
{
    if (result)
        return QStringLiteral("ok");
    static const char *const kinds[] = {"No",  "Bad",      "Bye",   "Transport",  "Timeout",
                                        "Tls", "Protocol", "State", "Credentials"};
    const ImapError &error = result.error();
    return QString::fromLatin1(kinds[int(error.kind)]) +
           (error.code.isEmpty() ? QString() : ' ' + QString::fromLatin1(error.code));
}

QString partTypes(const BodyStructure &structure)
{
    QStringList types;
    for (const BodyPart &part : structure.parts)
        types << QString::fromLatin1(part.type + '/' + part.subtype);
    return types.join(',');
}

const QByteArray kInvoice = crlf("From: =?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?= <jose@example.es>\n"
                                 "To: \"Anna Bianchi\" <anna@example.it>, Bob <bob@example.com>\n"
                                 "Subject: =?ISO-8859-1?Q?Fattura_n=B0_12?= \xc3\xa8 pronta\n"
                                 "Date: Mon, 4 Mar 2024 10:15:00 +0100\n"
                                 "Message-ID: <abc@example.es>\n"
                                 "MIME-Version: 1.0\n"
                                 "Content-Type: multipart/mixed; boundary=\"b1\"\n\n"
                                 "--b1\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n"
                                 "Ciao \xc3\xa8\n"
                                 "--b1\nContent-Type: application/pdf; name=\"fattura.pdf\"\n"
                                 "Content-Disposition: attachment; filename*=UTF-8''fattura%20%C3%A8.pdf\n"
                                 "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n--b1--\n");

QByteArray plainMessage(const QByteArray &subject, const QByteArray &body = "Testo")
{
    return crlf("From: Mario Rossi <mario@example.it>\nTo: anna@example.it\nSubject: ") + subject +
           crlf("\nDate: Wed, 6 Mar 2024 09:30:00 +0100\nMIME-Version: 1.0\nContent-Type: text/plain\n\n") + body +
           "\r\n";
}

// Roughly 40 MB: more than loopback buffers hold, so the server is still
// sending it when something happens to the connection.
QByteArray largeMessage()
{
    const QByteArray line = QByteArray(998, 'x') + "\r\n";
    return plainMessage("Grande", line.repeated(40 * 1024));
}

} // namespace

class TestImapClient : public QObject
{
    Q_OBJECT

    ImapTestServer m_server;

    // A logged-in session of the test user, QRESYNC on.
    std::unique_ptr<ImapSession> openSession(Conversation &conversation, qint32 timeoutSeconds = 10)
    {
        ImapAccount account = m_server.account();
        account.timeoutSeconds = timeoutSeconds;
        auto session = std::make_unique<ImapSession>(account, conversation.handler());
        const Result<void> loggedIn = session->connectAndLogIn();
        if (!loggedIn)
            qWarning("%s", qPrintable(loggedIn.error().describe()));
        const Result<QList<QByteArray>> enabled = session->enableResync();
        return loggedIn && enabled && enabled->contains("QRESYNC") ? std::move(session) : nullptr;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }

    void logins_data()
    {
        QTest::addColumn<int>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("password");    // for XOAUTH2 the command that prints the token
        QTest::addColumn<QString>("authorities"); // "server", "system" or "junk"
        QTest::addColumn<int>("auth");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("credentialsSent");

        const int none = int(TlsMode::None);
        const int startTls = int(TlsMode::StartTls);
        const int implicit = int(TlsMode::Implicit);
        const int automatic = int(AuthMethod::Automatic);
        const QString right = ImapTestServer::kPassword;
        QTest::newRow("plain") << none << "localhost" << right << "server" << automatic << "ok" << true;
        QTest::newRow("wrong password") << none << "localhost"
                                        << "sbagliata"
                                        << "server" << automatic << "No AUTHENTICATIONFAILED" << true;
        QTest::newRow("AUTHENTICATE PLAIN")
            << none << "localhost" << right << "server" << int(AuthMethod::Plain) << "ok" << true;
        QTest::newRow("AUTHENTICATE PLAIN, wrong password")
            << none << "localhost"
            << "sbagliata"
            << "server" << int(AuthMethod::Plain) << "No AUTHENTICATIONFAILED" << true;
        const int xoauth2 = int(AuthMethod::XOAuth2);
        QTest::newRow("XOAUTH2, token from the command")
            << none << "localhost" << QString("printf '%s\\n' ") + ImapTestServer::kAccessToken << "server" << xoauth2
            << "ok" << true;
        QTest::newRow("XOAUTH2, the password is no token") << none << "localhost" << QString("echo ") + right
                                                           << "server" << xoauth2 << "No AUTHENTICATIONFAILED" << true;
        QTest::newRow("XOAUTH2, the command fails") << none << "localhost"
                                                    << "echo 'refresh token revoked' >&2; exit 2"
                                                    << "server" << xoauth2 << "Credentials" << false;
        QTest::newRow("STARTTLS") << startTls << "localhost" << right << "server" << automatic << "ok" << true;
        QTest::newRow("implicit TLS") << implicit << "localhost" << right << "server" << automatic << "ok" << true;
        QTest::newRow("STARTTLS, untrusted")
            << startTls << "localhost" << right << "system" << automatic << "Tls" << false;
        QTest::newRow("implicit TLS, untrusted")
            << implicit << "localhost" << right << "system" << automatic << "Tls" << false;
        QTest::newRow("CA file without certificate")
            << implicit << "localhost" << right << "junk" << automatic << "Tls" << false;
        QTest::newRow("STARTTLS not offered")
            << startTls << "127.0.0.2" << right << "server" << automatic << "Tls" << false;
        QTest::newRow("unencrypted on the plain-only address")
            << none << "127.0.0.2" << right << "server" << automatic << "ok" << true;
    }

    // Credentials go only where TLS is as configured, and never into the log.
    void logins()
    {
        QFETCH(int, tls);
        QFETCH(QString, host);
        QFETCH(QString, password);
        QFETCH(QString, authorities);
        QFETCH(int, auth);
        QFETCH(QString, expected);
        QFETCH(bool, credentialsSent);

        QTemporaryFile junk;
        QVERIFY(junk.open() && junk.write("not a certificate\n") > 0 && junk.flush());
        ImapAccount account = m_server.account(TlsMode(tls));
        account.server = host;
        const bool token = AuthMethod(auth) == AuthMethod::XOAuth2;
        account.password = token ? QString() : password;
        account.tokenCommand = token ? password : QString();
        account.auth = AuthMethod(auth);
        account.caFile = authorities == "server" ? m_server.certificatePath()
                         : authorities == "junk" ? junk.fileName()
                                                 : QString();
        Conversation conversation;
        ImapSession session(account, conversation.handler());
        const Result<void> loggedIn = session.connectAndLogIn();
        QCOMPARE(outcome(loggedIn), expected);
        QCOMPARE(conversation.sentCommand("LOGIN") || conversation.sentCommand("AUTHENTICATE"), credentialsSent);
        const QByteArray plainPayload = (QByteArray(1, '\0') + "mario" + '\0' + password.toUtf8()).toBase64();
        const QByteArray tokenPayload = (QByteArray("user=mario\x01"
                                                    "auth=Bearer ") +
                                         ImapTestServer::kAccessToken + "\x01\x01")
                                            .toBase64();
        const QString secrets[] = {password, QString::fromLatin1(plainPayload), ImapTestServer::kAccessToken,
                                   QString::fromLatin1(tokenPayload)};
        for (const QString &line : conversation.lines)
            for (const QString &secret : secrets)
                QVERIFY2(!line.contains(secret), qPrintable(line));
        if (loggedIn && TlsMode(tls) == TlsMode::StartTls)
            QVERIFY(conversation.sentCommand("STARTTLS"));
        QCOMPARE(session.isConnected(), bool(loggedIn));
        if (loggedIn)
            QVERIFY(session.logOut());
    }

    // LIST with roles, STATUS, CREATE, RENAME, DELETE on non-ASCII names.
    void mailboxes()
    {
        Conversation conversation;
        ImapSession notLoggedIn(m_server.account());
        QCOMPARE(outcome(notLoggedIn.list()), QStringLiteral("State"));
        const auto session = openSession(conversation);
        QVERIFY(session);

        const MailboxName parent = MailboxName::fromDisplay(u"Résumé"_qs);
        const MailboxName child = MailboxName::fromDisplay(u"Résumé/Fatture 2024"_qs);
        QVERIFY(session->create(parent));
        QVERIFY(session->create(child));
        QVERIFY(session->append(child, plainMessage("Uno")));
        Result<QList<MailboxInfo>> listed = session->list();
        QVERIFY(listed);
        QHash<QString, MailboxInfo> byName;
        for (const MailboxInfo &info : listed.value())
            byName.insert(info.name.display(), info);
        QCOMPARE(byName.value("Sent").specialUse, SpecialUse::Sent);
        QCOMPARE(byName.value("Trash").specialUse, SpecialUse::Trash);
        QCOMPARE(byName.value("Junk").specialUse, SpecialUse::Junk);
        QCOMPARE(byName.value("Drafts").specialUse, SpecialUse::Drafts);
        QCOMPARE(byName.value("INBOX").specialUse, SpecialUse::None);
        QCOMPARE(byName.value(u"Résumé/Fatture 2024"_qs).name.wire(), QByteArray("R&AOk-sum&AOk-/Fatture 2024"));
        QCOMPARE(byName.value(u"Résumé/Fatture 2024"_qs).delimiter, '/');

        const Result<MailboxStatus> before = session->status(child);
        QVERIFY(before);
        QCOMPARE(before->messages.value_or(0), 1u);
        QCOMPARE(before->unseen.value_or(0), 1u);
        QCOMPARE(before->uidNext.value_or(0), 2u);
        QVERIFY(before->uidValidity && before->highestModSeq);

        const MailboxName renamed = MailboxName::fromDisplay(u"Curriculum/Fatture 2024"_qs);
        QVERIFY(session->rename(parent, MailboxName::fromDisplay(u"Curriculum"_qs)));
        const Result<MailboxStatus> after = session->status(renamed);
        QVERIFY(after);
        QCOMPARE(after->uidValidity.value_or(0), before->uidValidity.value_or(1));
        QCOMPARE(after->messages.value_or(0), 1u);
        QCOMPARE(outcome(session->status(child)), QStringLiteral("No"));

        QVERIFY(session->remove(renamed));
        QVERIFY(session->remove(MailboxName::fromDisplay(u"Curriculum"_qs)));
        listed = session->list();
        QVERIFY(listed);
        for (const MailboxInfo &info : listed.value())
            QVERIFY(!info.name.display().startsWith("Curriculum"));
        QVERIFY(session->logOut());
    }

    void fetchAppended_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("parts");
        QTest::addColumn<QString>("attachment"); // the attachment's file name, empty for none

        QTest::newRow("encoded words, attachment")
            << kInvoice << u"Fattura n° 12 è pronta"_qs << u"José Pérez <jose@example.es>"_qs
            << "Anna Bianchi <anna@example.it>, Bob <bob@example.com>"
            << "2024-03-04T10:15:00+01:00"
            << "text/plain,application/pdf" << u"fattura è.pdf"_qs;
        QTest::newRow("raw UTF-8 headers, alternative")
            << crlf("From: Zo\xc3\xab \xc3\x85gren <zoe@example.se>\nTo: \xe6\x9d\x8e\xe9\x9b\xb7 <li@example.cn>\n"
                    "Subject: Citt\xc3\xa0 di Malm\xc3\xb6 \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac\n"
                    "Date: Tue, 5 Mar 2024 08:00:00 -0500\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/alternative; boundary=x\n\n--x\nContent-Type: text/plain\n\nciao\n"
                    "--x\nContent-Type: text/html\n\n<p>ciao</p>\n--x--\n")
            << u"Città di Malmö — 日本"_qs << u"Zoë Ågren <zoe@example.se>"_qs << u"李雷 <li@example.cn>"_qs
            << "2024-03-05T08:00:00-05:00"
            << "text/plain,text/html" << QString();
        QTest::newRow("base64 words, inline image")
            << crlf("From: =?UTF-8?B?TWFyaW8gUm9zc2k=?= <mario@example.it>\nTo: anna@example.it\n"
                    "Subject: =?UTF-8?B?UHJlenppIOKCrCBhZ2dpb3JuYXRp?=\n"
                    "Date: Thu, 7 Mar 2024 18:45:10 +0000\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n"
                    "<img src=\"cid:logo@x\">\n--r\nContent-Type: image/png; name=logo.png\n"
                    "Content-Disposition: inline; filename=logo.png\nContent-ID: <logo@x>\n"
                    "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--r--\n")
            << u"Prezzi € aggiornati"_qs << "Mario Rossi <mario@example.it>"
            << "anna@example.it"
            << "2024-03-07T18:45:10Z"
            << "text/html,image/png" << QString();
        QTest::newRow("forwarded message")
            << crlf("From: anna@example.it\nTo: mario@example.it\nSubject: Fwd: ordine\n"
                    "Date: Fri, 8 Mar 2024 07:00:00 +0100\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/mixed; boundary=f\n\n--f\nContent-Type: text/plain\n\nvedi sotto\n"
                    "--f\nContent-Type: message/rfc822\n\nFrom: x@example.com\nSubject: ordine\n\ncorpo\n--f--\n")
            << "Fwd: ordine"
            << "anna@example.it"
            << "mario@example.it"
            << "2024-03-08T07:00:00+01:00"
            << "text/plain,message/rfc822,text/plain" << QString();
    }

    // UID FETCH of every field of an appended message gives back what was
    // appended, texts decoded.
    void fetchAppended()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, subject);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, date);
        QFETCH(QString, parts);
        QFETCH(QString, attachment);

        Conversation conversation;
        const auto session = openSession(conversation);
        QVERIFY(session);
        const MailboxName arrivals = MailboxName::fromDisplay(QStringLiteral("Arrivi"));
        session->create(arrivals);
        const QDateTime received(QDate(2024, 3, 9), QTime(11, 22, 33), QTimeZone(3600));
        const Result<AppendResult> appended = session->append(arrivals, message, {"\\Flagged"}, received);
        QVERIFY(appended);
        QVERIFY(session->select(arrivals));

        FetchRequest request;
        request.uids.add(appended->uid);
        const Result<QList<FetchedMessage>> fetched = session->fetch(request);
        QVERIFY(fetched);
        QCOMPARE(fetched->size(), 1);
        const FetchedMessage &got = fetched->first();
        QCOMPARE(got.uid, appended->uid);
        QVERIFY(got.hasFlag("\\Flagged") && !got.hasFlag("\\Seen"));
        QCOMPARE(got.internalDate, received);
        QCOMPARE(got.size, qint64(message.size()));
        QVERIFY(got.modSeq > 0);
        QVERIFY(got.envelope && got.bodyStructure);
        QCOMPARE(got.envelope->subject, subject);
        QCOMPARE(displayList(got.envelope->from), from);
        QCOMPARE(displayList(got.envelope->to), to);
        QCOMPARE(got.envelope->date.toString(Qt::ISODate), date);
        QCOMPARE(partTypes(*got.bodyStructure), parts);
        QCOMPARE(got.bodyStructure->hasAttachments(), !attachment.isEmpty() || parts.contains("rfc822"));
        if (!attachment.isEmpty()) {
            QCOMPARE(got.bodyStructure->attachmentCount(), qsizetype(1));
            QCOMPARE(got.bodyStructure->parts.last().fileName, attachment);
        }
        QVERIFY(session->logOut());
    }

    // CONDSTORE/QRESYNC: what changed since a modification sequence, and
    // what vanished, both live and for a later session.
    void resync()
    {
        Conversation conversation;
        const auto session = openSession(conversation);
        QVERIFY(session);
        const MailboxName sync = MailboxName::fromDisplay(QStringLiteral("Sync"));
        QVERIFY(session->create(sync));
        QList<quint32> uids;
        for (const char *subject : {"uno", "due", "tre"}) {
            const Result<AppendResult> appended = session->append(sync, plainMessage(subject));
            QVERIFY(appended);
            uids << appended->uid;
        }
        const Result<SelectedMailbox> selected = session->select(sync);
        QVERIFY(selected);
        QCOMPARE(selected->exists, 3u);
        QVERIFY(selected->highestModSeq > 0 && selected->uidValidity);
        const quint64 base = selected->highestModSeq;

        // BODY.PEEK[] leaves the message unread; storing \Seen reads it.
        FetchRequest content;
        content.uids.add(uids.at(0));
        content.content = true;
        const Result<QList<FetchedMessage>> opened = session->fetch(content);
        QVERIFY(opened && opened->size() == 1);
        QCOMPARE(opened->first().content.value_or(QByteArray()), plainMessage("uno"));
        QVERIFY(!opened->first().hasFlag("\\Seen"));
        const Result<QList<FetchedMessage>> stored =
            session->store(UidSet(uids.at(1), uids.at(1)), FlagChange::Add, {"\\Seen"});
        QVERIFY(stored && stored->size() == 1 && stored->first().hasFlag("\\Seen"));

        FetchRequest changed;
        changed.uids = UidSet(1, UidSet::kLargest);
        changed.changedSince = base;
        const Result<QList<FetchedMessage>> changes = session->fetch(changed);
        QVERIFY(changes);
        QCOMPARE(changes->size(), 1);
        QCOMPARE(changes->first().uid, uids.at(1));
        QVERIFY(changes->first().modSeq > base);

        QVERIFY(session->expunge(UidSet(uids.at(2), uids.at(2))));
        QVERIFY(session->noop());
        const SelectedMailbox live = session->selectedMailbox();
        QVERIFY(live.vanished.contains(uids.at(2)));
        QCOMPARE(live.exists, 2u);

        Conversation laterConversation;
        const auto later = openSession(laterConversation);
        QVERIFY(later);
        SelectOptions options;
        options.known = {*selected->uidValidity, base, UidSet(uids.first(), uids.last())};
        const Result<SelectedMailbox> resumed = later->select(sync, options);
        QVERIFY(resumed);
        QCOMPARE(resumed->vanished, UidSet(uids.at(2), uids.at(2)));
        QCOMPARE(resumed->changes.size(), 1);
        QCOMPARE(resumed->changes.first().uid, uids.at(1));
        QVERIFY(resumed->changes.first().hasFlag("\\Seen"));
        QVERIFY(later->logOut());
        QVERIFY(session->logOut());
    }

    void droppedConnection_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("expected");

        QTest::newRow("server process killed") << int(SIGKILL) << "Transport";
        QTest::newRow("server process stalled") << int(SIGSTOP) << "Timeout";
    }

    // A connection that breaks or stalls in the middle of a FETCH answer
    // ends the call with an error, and the session can connect again.
    void droppedConnection()
    {
        QFETCH(int, signal);
        QFETCH(QString, expected);

        // Armed once the mailbox is ready: the first message's answer is
        // in when it fires, the large one on its way.
        bool armed = false;
        bool signalled = false;
        ImapAccount account = m_server.account();
        account.timeoutSeconds = 2;
        ImapSession session(account, [&](const QString &text, ImapTranscript::Direction direction) {
            if (armed && !signalled && direction == ImapTranscript::Direction::Server && text.startsWith("* 1 FETCH")) {
                m_server.signalSessions(signal);
                signalled = true;
            }
        });
        QVERIFY(session.connectAndLogIn());
        const MailboxName mailbox = MailboxName::fromDisplay(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(session.create(mailbox));
        QVERIFY(session.append(mailbox, plainMessage("piccolo")));
        QVERIFY(session.append(mailbox, largeMessage()));
        QVERIFY(session.select(mailbox));
        armed = true;
        FetchRequest request;
        request.uids = UidSet(1, UidSet::kLargest);
        request.content = true;
        const Result<QList<FetchedMessage>> fetched = session.fetch(request);
        m_server.signalSessions(SIGKILL);
        QVERIFY(signalled);
        QCOMPARE(outcome(fetched), expected);
        QVERIFY(!session.isConnected());
        QVERIFY(session.connectAndLogIn());
        QVERIFY(session.logOut());
    }
};

QTEST_GUILESS_MAIN(TestImapClient)
#include "tst_imapclient.moc"
