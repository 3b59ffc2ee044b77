#include "platform/imap/Command.h"
#include "platform/imap/LineAssembler.h"
#include "platform/imap/MailboxData.h"
#include "platform/imap/MessageData.h"
#include "platform/imap/Response.h"

#include <QTest>

using namespace mrv::imap;

namespace {

// A literal as a server sends it: announcement, line break, bytes.
QByteArray literal(const QByteArray &bytes)
{
    return '{' + QByteArray::number(bytes.size()) + "}\r\n" + bytes;
}

QString join(const QList<QByteArray> &items, const char *separator = " ")
{
    return QString::fromUtf8(items.join(separator));
}

QString valueText(const ResponseValue &value)
{
    switch (value.kind) {
    case ResponseValue::Kind::Nil:
        return QStringLiteral("NIL");
    case ResponseValue::Kind::String:
        return '"' + QString::fromUtf8(value.text) + '"';
    case ResponseValue::Kind::Atom:
        return QString::fromUtf8(value.text);
    case ResponseValue::Kind::List:
        break;
    }
    QStringList items;
    for (const ResponseValue &item : value.items)
        items << valueText(item);
    return '(' + items.join(' ') + ')';
}

QString partText(const BodyPart &part)
{
    if (part.malformed)
        return QString::fromLatin1(part.section) + QStringLiteral(" ?");
    QString text =
        QStringLiteral("%1 %2/%3 %4 %5 %6")
            .arg(QString::fromLatin1(part.section), QString::fromLatin1(part.type), QString::fromLatin1(part.subtype),
                 QString::fromLatin1(part.charset), QString::fromLatin1(part.encoding))
            .arg(part.size);
    for (const QString &extra : {QString::fromLatin1(part.disposition), part.fileName,
                                 QString::fromLatin1(part.contentId), part.description}) {
        if (!extra.isEmpty())
            text += ' ' + extra;
    }
    return part.isAttachment() ? text + QStringLiteral(" [attachment]") : text;
}

QString fetchText(const FetchedMessage &message)
{
    QStringList fields{QStringLiteral("#%1 uid=%2").arg(message.sequence).arg(message.uid)};
    if (message.flags)
        fields << QStringLiteral("flags=(%1)").arg(join(*message.flags));
    if (message.internalDate.isValid())
        fields << QStringLiteral("internal=") + message.internalDate.toString(Qt::ISODate);
    if (message.size >= 0)
        fields << QStringLiteral("size=%1").arg(message.size);
    if (message.modSeq)
        fields << QStringLiteral("modseq=%1").arg(message.modSeq);
    if (!message.emailId.isEmpty())
        fields << QStringLiteral("emailid=") + QString::fromLatin1(message.emailId);
    if (message.content)
        fields << QStringLiteral("content=") + QString::fromUtf8(*message.content).toHtmlEscaped();
    if (const auto &envelope = message.envelope) {
        fields << QStringLiteral("date=") + envelope->date.toString(Qt::ISODate)
               << QStringLiteral("subject=") + envelope->subject
               << QStringLiteral("from=") + displayList(envelope->from)
               << QStringLiteral("to=") + displayList(envelope->to) << QStringLiteral("cc=") + displayList(envelope->cc)
               << QStringLiteral("reply=") + QString::fromLatin1(envelope->inReplyTo + ' ' + envelope->messageId);
    }
    if (const auto &structure = message.bodyStructure) {
        QStringList parts;
        for (const BodyPart &part : structure->parts)
            parts << partText(part);
        fields << QStringLiteral("parts=[%1]").arg(parts.join(QStringLiteral("; ")));
    }
    return fields.join(' ');
}

QString listText(const MailboxInfo &info)
{
    static const char *const roles[] = {"", "all", "archive", "drafts", "flagged", "junk", "sent", "trash"};
    return QStringLiteral("%1 [%2] delimiter=%3 (%4) %5")
        .arg(info.name.display(), QString::fromLatin1(info.name.wire()),
             info.delimiter ? QString(QLatin1Char(info.delimiter)) : QStringLiteral("NIL"), join(info.attributes),
             QString::fromLatin1(roles[int(info.specialUse)]))
        .trimmed();
}

QString statusText(const std::pair<MailboxName, MailboxStatus> &named)
{
    const MailboxStatus &status = named.second;
    const auto number = [](const auto &value) { return value ? QString::number(*value) : QStringLiteral("-"); };
    return QStringLiteral("%1 messages=%2 unseen=%3 uidnext=%4 uidvalidity=%5 highestmodseq=%6")
        .arg(named.first.display(), number(status.messages), number(status.unseen), number(status.uidNext),
             number(status.uidValidity), number(status.highestModSeq));
}

template <typename T, typename Describe> QString typedText(const Result<T> &parsed, Describe describe)
{
    return parsed ? describe(parsed.value()) : QStringLiteral("error");
}

// The typed value a response turns into, as one line of text.
QString responseText(const Response &response)
{
    if (response.keyword == "FETCH")
        return typedText(parseFetchResponse(response), fetchText);
    if (response.keyword == "LIST")
        return typedText(parseListResponse(response), listText);
    if (response.keyword == "STATUS")
        return typedText(parseStatusResponse(response), statusText);
    if (response.keyword == "VANISHED") {
        return typedText(parseVanishedResponse(response), [](const Vanished &vanished) {
            return (vanished.earlier ? QStringLiteral("earlier ") : QString()) +
                   QString::fromLatin1(vanished.uids.toWire());
        });
    }
    QString text =
        response.kind == Response::Kind::Continuation ? QStringLiteral("+") : QString::fromLatin1(response.tag);
    if (response.number)
        text += QStringLiteral(" %1").arg(*response.number);
    if (!response.keyword.isEmpty())
        text += ' ' + QString::fromLatin1(response.keyword);
    if (!response.code.name.isEmpty()) {
        QStringList code{QString::fromLatin1(response.code.name)};
        for (const ResponseValue &argument : response.code.arguments)
            code << valueText(argument);
        text += " [" + code.join(' ') + ']';
    }
    for (const ResponseValue &value : response.values)
        text += ' ' + valueText(value);
    return response.text.isEmpty() ? text : text + ' ' + response.text;
}

const QByteArray kDovecotFetch =
    "* 1 FETCH (UID 1 FLAGS (\\Seen \\Recent) INTERNALDATE \"06-Dec-2026 23:20:21 +0000\" RFC822.SIZE 636 MODSEQ (2) "
    "ENVELOPE (\"Mon, 4 Mar 2024 10:15:00 +0100\" " +
    literal("=?ISO-8859-1?Q?Fattura_n=B0_12?= \xc3\xa8 pronta") +
    " ((\"=?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?=\" NIL \"jose\" \"example.es\")) ((\"=?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?=\" NIL "
    "\"jose\" \"example.es\")) ((\"=?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?=\" NIL \"jose\" \"example.es\")) ((\"Anna Bianchi\" "
    "NIL \"anna\" \"example.it\")(\"Bob\" NIL \"bob\" \"example.com\")) ((NIL NIL \"undisclosed-recipients\" NIL)(NIL "
    "NIL NIL NIL)) NIL \"<x@y>\" \"<abc@example.es>\") BODYSTRUCTURE ((\"text\" \"plain\" (\"charset\" \"utf-8\") NIL "
    "NIL \"8bit\" 7 0 NIL NIL NIL NIL)(\"application\" \"pdf\" (\"name\" \"fattura.pdf\") NIL NIL \"base64\" 12 NIL "
    "(\"attachment\" (\"filename*\" \"UTF-8''fattura%20%C3%A8.pdf\")) NIL NIL) \"mixed\" (\"boundary\" \"b1\") NIL NIL "
    "NIL))";

const QString kDovecotFetchText = QStringLiteral(
    "#1 uid=1 flags=(\\Seen \\Recent) internal=2026-12-06T23:20:21+00:00 size=636 modseq=2 "
    "date=2024-03-04T10:15:00+01:00 "
    "subject=Fattura n° 12 è pronta from=José Pérez <jose@example.es> to=Anna Bianchi <anna@example.it>, Bob "
    "<bob@example.com> cc= reply=<x@y> <abc@example.es> parts=[1 text/plain utf-8 8bit 7; 2 application/pdf  base64 "
    "12 attachment fattura è.pdf [attachment]]");

// ENVELOPE with every field NIL but the subject.
QByteArray envelopeWithSubject(const QByteArray &subject)
{
    return "* 2 FETCH (ENVELOPE (NIL " + subject + " NIL NIL NIL NIL NIL NIL NIL NIL))";
}

} // namespace

class TestImapParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void responses_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");

        // Taken from Dovecot 2.3.
        QTest::newRow("greeting")
            << QByteArray("* OK [CAPABILITY IMAP4rev1 SASL-IR LITERAL+ STARTTLS AUTH=PLAIN] "
                          "Dovecot (Debian) ready.")
            << "* OK [CAPABILITY IMAP4rev1 SASL-IR LITERAL+ STARTTLS AUTH=PLAIN] Dovecot (Debian) "
               "ready.";
        QTest::newRow("login refused") << QByteArray("a1 NO [AUTHENTICATIONFAILED] Authentication failed.")
                                       << "a1 NO [AUTHENTICATIONFAILED] Authentication failed.";
        QTest::newRow("permanent flags")
            << QByteArray("* OK [PERMANENTFLAGS (\\Answered \\Deleted \\Seen \\*)] Flags permitted.")
            << "* OK [PERMANENTFLAGS (\\Answered \\Deleted \\Seen \\*)] Flags permitted.";
        QTest::newRow("appenduid") << QByteArray(
                                          "a3 OK [APPENDUID 1796599211 1] Append completed (0.022 + 0.001 secs).")
                                   << "a3 OK [APPENDUID 1796599211 1] Append completed (0.022 + 0.001 secs).";
        QTest::newRow("read-write") << QByteArray("a4 OK [READ-WRITE] Select completed.")
                                    << "a4 OK [READ-WRITE] Select completed.";
        QTest::newRow("unreadable code stays text")
            << QByteArray("* OK [ALERT \"unclosed] mind this") << "* OK [ALERT \"unclosed] mind this";
        QTest::newRow("exists") << QByteArray("* 3 EXISTS") << "* 3 EXISTS";
        QTest::newRow("bye") << QByteArray("* BYE Logging out") << "* BYE Logging out";
        QTest::newRow("continuation") << QByteArray("+ eyJzdGF0dXMiOiI0MDEifQ==") << "+ eyJzdGF0dXMiOiI0MDEifQ==";
        QTest::newRow("enabled") << QByteArray("* ENABLED QRESYNC") << "* ENABLED QRESYNC";
        QTest::newRow("fetch, Dovecot") << kDovecotFetch << kDovecotFetchText;
        QTest::newRow("flag change") << QByteArray("* 1 FETCH (UID 1 MODSEQ (3) FLAGS (\\Flagged \\Seen))")
                                     << "#1 uid=1 flags=(\\Flagged \\Seen) modseq=3";
        QTest::newRow("list, sent") << QByteArray("* LIST (\\HasNoChildren \\Sent) \"/\" Sent")
                                    << "Sent [Sent] delimiter=/ (\\HasNoChildren \\Sent) sent";
        QTest::newRow("status") << QByteArray("* STATUS INBOX (MESSAGES 2 UNSEEN 1 UIDNEXT 3 UIDVALIDITY 1796599211 "
                                              "HIGHESTMODSEQ 5)  ")
                                << "INBOX messages=2 unseen=1 uidnext=3 uidvalidity=1796599211 highestmodseq=5";

        // Names.
        QTest::newRow("list, modified UTF-7 literal")
            << QByteArray("* LIST (\\HasNoChildren) \".\" " + literal("Bozze.R&AOk-sum&AOk-"))
            << "Bozze.Résumé [Bozze.R&AOk-sum&AOk-] delimiter=. (\\HasNoChildren)";
        QTest::newRow("list, NIL delimiter")
            << QByteArray("* LIST (\\Noselect) NIL \"Public\"") << "Public [Public] delimiter=NIL (\\Noselect)";
        QTest::newRow("list, inbox any case") << QByteArray("* LIST () \"/\" inbox") << "INBOX [inbox] delimiter=/ ()";
        QTest::newRow("list, \"NIL\" is a name") << QByteArray("* LIST () \"/\" \"NIL\"") << "NIL [NIL] delimiter=/ ()";
        QTest::newRow("list, NIL is no name") << QByteArray("* LIST () \"/\" NIL") << "error";
        QTest::newRow("list, junk by role") << QByteArray("* LIST (\\HasNoChildren \\Junk) \"/\" Spam")
                                            << "Spam [Spam] delimiter=/ (\\HasNoChildren \\Junk) junk";
        QTest::newRow("status, over 32 bits") << QByteArray("* STATUS Sent (MESSAGES 4294967296 UIDNEXT 9)")
                                              << "Sent messages=- unseen=- uidnext=9 uidvalidity=- highestmodseq=-";
        QTest::newRow("status, 64-bit modseq")
            << QByteArray("* STATUS Sent (HIGHESTMODSEQ 18446744073709551615)")
            << "Sent messages=- unseen=- uidnext=- uidvalidity=- highestmodseq=18446744073709551615";

        // Resynchronisation.
        QTest::newRow("vanished earlier")
            << QByteArray("* VANISHED (EARLIER) 300:310,405,411") << "earlier 300:310,405,411";
        QTest::newRow("vanished now") << QByteArray("* VANISHED 7,5:6") << "5:7";
        QTest::newRow("vanished, UID 0") << QByteArray("* VANISHED (EARLIER) 0:3") << "error";
        QTest::newRow("modseq overflow") << QByteArray("* 1 FETCH (UID 1 MODSEQ (18446744073709551616))") << "error";
        QTest::newRow("uid 0") << QByteArray("* 1 FETCH (UID 0 FLAGS ())") << "error";
        QTest::newRow("object ids") << QByteArray("* 2 FETCH (UID 7 EMAILID (M6d99ac3275bb4e) THREADID NIL)")
                                    << "#2 uid=7 emailid=M6d99ac3275bb4e";

        // Envelopes.
        QTest::newRow("subject NIL") << envelopeWithSubject("NIL") << "#2 uid=0 date= subject= from= to= cc= reply= ";
        QTest::newRow("subject \"NIL\"") << envelopeWithSubject("\"NIL\"")
                                         << "#2 uid=0 date= subject=NIL from= to= cc= reply= ";
        QTest::newRow("subject literal with )")
            << envelopeWithSubject(literal("a) (b")) << "#2 uid=0 date= subject=a) (b from= to= cc= reply= ";
        QTest::newRow("subject escapes") << envelopeWithSubject("\"say \\\"hi\\\" \\\\o/\"")
                                         << "#2 uid=0 date= subject=say \"hi\" \\o/ from= to= cc= reply= ";
        QTest::newRow("subject raw UTF-8") << envelopeWithSubject("\"Citt\xc3\xa0 \xe2\x82\xac\"")
                                           << "#2 uid=0 date= subject=Città € from= to= cc= reply= ";
        QTest::newRow("envelope not a list") << QByteArray("* 2 FETCH (ENVELOPE \"x\")") << "error";

        // Body structures.
        QTest::newRow("sizes -1, junk disposition")
            << QByteArray("* 3 FETCH (BODYSTRUCTURE (\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" -1 -1 NIL \"junk\" NIL "
                          "NIL))")
            << "#3 uid=0 parts=[1 text/plain  7bit -1]";
        QTest::newRow("attached message, NIL envelope")
            << QByteArray(
                   "* 4 FETCH (BODYSTRUCTURE ((\"text\" \"plain\" (\"charset\" \"us-ascii\") NIL NIL \"7bit\" 10 "
                   "1)(\"message\" \"rfc822\" NIL NIL NIL \"7bit\" 300 NIL ((\"text\" \"html\" NIL NIL NIL "
                   "\"7bit\" 20 2)(\"image\" \"png\" (\"name\" \"a.png\") \"<img1>\" NIL \"base64\" 40 NIL "
                   "(\"inline\" NIL)) \"related\") 12) \"mixed\"))")
            << "#4 uid=0 parts=[1 text/plain us-ascii 7bit 10; 2 message/rfc822  7bit 300 [attachment]; 2.1 text/html  "
               "7bit 20; 2.2 image/png  base64 40 inline a.png <img1>]";
        QTest::newRow("literal inside body structure")
            << QByteArray("* 5 FETCH (BODYSTRUCTURE (\"application\" \"octet-stream\" (\"name\" " +
                          literal("re)port \"q1\".bin") + ") NIL NIL \"base64\" 99 NIL NIL NIL NIL))")
            << "#5 uid=0 parts=[1 application/octet-stream  base64 99 re)port \"q1\".bin [attachment]]";
        QTest::newRow("encoded description and name")
            << QByteArray("* 6 FETCH (BODYSTRUCTURE (\"application\" \"pdf\" (\"name\" \"=?UTF-8?B?w6hjY28ucGRm?=\") "
                          "NIL \"=?UTF-8?Q?Pi=C3=B9?=\" \"base64\" 5 NIL NIL NIL NIL))")
            << "#6 uid=0 parts=[1 application/pdf  base64 5 ècco.pdf Più [attachment]]";
        QTest::newRow("bad part is a placeholder")
            << QByteArray("* 7 FETCH (BODYSTRUCTURE ((\"text\" \"plain\" NIL NIL NIL \"7bit\" 1 1)(NIL) \"mixed\"))")
            << "#7 uid=0 parts=[1 text/plain  7bit 1; 2 ?]";
        QTest::newRow("body content") << QByteArray("* 8 FETCH (UID 9 BODY[] " + literal("Subject: x\r\n\r\n)") + ")")
                                      << "#8 uid=9 content=Subject: x\r\n\r\n)";

        // Hostile input.
        QTest::newRow("literal longer than the response") << QByteArray("* 1 FETCH (BODY[] {50}\r\nabc)") << "error";
        QTest::newRow("literal length overflow")
            << QByteArray("* 1 FETCH (BODY[] {99999999999999999999}\r\nabc)") << "error";
        QTest::newRow("negative literal") << QByteArray("* 1 FETCH (BODY[] {-1}\r\nabc)") << "error";
        QTest::newRow("literal without line break") << QByteArray("* 1 FETCH (BODY[] {3}abc)") << "error";
        QTest::newRow("nesting too deep")
            << QByteArray("* 1 FETCH (X " + QByteArray(200, '(') + QByteArray(200, ')') + ")") << "error";
        QTest::newRow("unclosed list") << QByteArray("* 1 FETCH (UID 4") << "error";
        QTest::newRow("item without value") << QByteArray("* 1 FETCH (UID)") << "error";
        QTest::newRow("fetch without number") << QByteArray("* FETCH (UID 4)") << "error";
        QTest::newRow("tagged non-status") << QByteArray("a1 LIST () \"/\" x") << "error";
        QTest::newRow("no tag") << QByteArray("(") << "error";
        QTest::newRow("empty") << QByteArray("") << "error";
        QTest::newRow("unterminated quote") << QByteArray("* LIST () \"/\" \"abc") << "error";
    }

    void responses()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        const Result<Response> response = parseResponse(line);
        QCOMPARE(typedText(response, responseText), expected);
    }

    void assembler_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<bool>("fails");

        const qint64 limit = LineAssembler::kDefaultLimit;
        QTest::newRow("CRLF lines") << QByteArray("* 1 EXISTS\r\n* 0 RECENT\r\na1 OK done\r\n") << limit
                                    << QList<QByteArray>{"* 1 EXISTS", "* 0 RECENT", "a1 OK done"} << false;
        QTest::newRow("bare LF") << QByteArray("* 1 EXISTS\n* BYE\n") << limit
                                 << QList<QByteArray>{"* 1 EXISTS", "* BYE"} << false;
        QTest::newRow("literal with line breaks and )")
            << QByteArray("* 1 FETCH (BODY[] {7}\r\na\r\n)b\r\n)\r\na1 OK\r\n") << limit
            << QList<QByteArray>{"* 1 FETCH (BODY[] {7}\r\na\r\n)b\r\n)", "a1 OK"} << false;
        QTest::newRow("two literals, LITERAL+ and binary forms")
            << QByteArray("* 2 FETCH (A {2+}\r\n{} B ~{1}\r\nx)\r\n") << limit
            << QList<QByteArray>{"* 2 FETCH (A {2+}\r\n{} B ~{1}\r\nx)"} << false;
        QTest::newRow("empty literal") << QByteArray("* LIST () \"/\" {0}\r\n\r\n") << limit
                                       << QList<QByteArray>{"* LIST () \"/\" {0}\r\n"} << false;
        QTest::newRow("incomplete") << QByteArray("* 1 EXISTS\r\n* 2 FETCH (BODY[] {10}\r\nabc") << limit
                                    << QList<QByteArray>{"* 1 EXISTS"} << false;
        QTest::newRow("literal over the limit") << QByteArray("* 1 EXISTS\r\n* 1 FETCH (BODY[] {4096}\r\n")
                                                << qint64(1000) << QList<QByteArray>{"* 1 EXISTS"} << true;
        QTest::newRow("literal length overflow")
            << QByteArray("* 1 FETCH (BODY[] {184467440737095516160}\r\n") << limit << QList<QByteArray>{} << true;
        QTest::newRow("negative literal")
            << QByteArray("* 1 FETCH (BODY[] {-5}\r\nabc\r\n") << limit << QList<QByteArray>{} << true;
        QTest::newRow("line over the limit")
            << QByteArray("* OK " + QByteArray(2000, 'x')) << qint64(1000) << QList<QByteArray>{} << true;
        QTest::newRow("line and literals over the limit")
            << QByteArray("* 1 FETCH (A {600}\r\n" + QByteArray(600, 'y') + " B {600}\r\n") << qint64(1000)
            << QList<QByteArray>{} << true;
    }

    // Whole, byte by byte and in uneven chunks, the same responses come out.
    void assembler()
    {
        QFETCH(QByteArray, stream);
        QFETCH(qint64, limit);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(bool, fails);
        for (const qsizetype chunk : {stream.size(), qsizetype(1), qsizetype(2), qsizetype(7)}) {
            LineAssembler assembler(limit);
            QList<QByteArray> lines;
            for (qsizetype at = 0; at < stream.size(); at += chunk) {
                assembler.feed(QByteArrayView(stream).sliced(at, std::min(chunk, stream.size() - at)));
                while (const auto line = assembler.takeResponse())
                    lines.append(*line);
            }
            QCOMPARE(lines, expected);
            QCOMPARE(assembler.failed(), fails);
        }
    }

    void uidSets_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("wire"); // empty: refused
        QTest::addColumn<quint64>("count");

        QTest::newRow("whole range stays two numbers")
            << QByteArray("1:4294967295") << QByteArray("1:4294967295") << quint64(4294967295u);
        QTest::newRow("star") << QByteArray("7:*") << QByteArray("7:4294967295") << quint64(4294967289u);
        QTest::newRow("reversed") << QByteArray("9:3") << QByteArray("3:9") << quint64(7);
        QTest::newRow("adjacent merge") << QByteArray("5,1:2,3,4,8") << QByteArray("1:5,8") << quint64(6);
        QTest::newRow("overlaps merge") << QByteArray("10:20,15:30,1:10") << QByteArray("1:30") << quint64(30);
        QTest::newRow("zero") << QByteArray("0:5") << QByteArray() << quint64(0);
        QTest::newRow("too large") << QByteArray("4294967296") << QByteArray() << quint64(0);
        QTest::newRow("empty item") << QByteArray("1,,2") << QByteArray() << quint64(0);
        QTest::newRow("two colons") << QByteArray("1:2:3") << QByteArray() << quint64(0);
        QTest::newRow("empty") << QByteArray() << QByteArray() << quint64(0);
    }

    void uidSets()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, wire);
        QFETCH(quint64, count);
        const auto set = UidSet::parse(text);
        QCOMPARE(set ? set->toWire() : QByteArray(), wire);
        if (set) {
            QCOMPARE(set->count(), count);
            QVERIFY(set->contains(set->ranges().last().last));
            QVERIFY(!set->contains(set->ranges().last().last + 1) || set->ranges().last().last == UidSet::kLargest);
        }
    }

    void mailboxNames_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("roundTrip"); // encoding the display text gives the wire form back

        QTest::newRow("accents") << QByteArray("R&AOk-sum&AOk-") << u"Résumé"_qs << true;
        QTest::newRow("ampersand") << QByteArray("Soci &- Partner") << u"Soci & Partner"_qs << true;
        QTest::newRow("German") << QByteArray("Entw&APw-rfe") << u"Entwürfe"_qs << true;
        QTest::newRow("Japanese") << QByteArray("&ZeVnLIqe-") << u"日本語"_qs << true;
        QTest::newRow("surrogate pair") << QByteArray("&2D3eAA-") << u"😀"_qs << true;
        QTest::newRow("inbox") << QByteArray("InBoX") << u"INBOX"_qs << false;
        QTest::newRow("unterminated shift is shown raw") << QByteArray("a&AOk") << u"a&AOk"_qs << false;
        QTest::newRow("shifted ASCII is shown raw") << QByteArray("&AGE-") << u"&AGE-"_qs << false;
        QTest::newRow("lone surrogate is shown raw") << QByteArray("&2D0-") << u"&2D0-"_qs << false;
        QTest::newRow("raw UTF-8 is shown as such") << QByteArray("Citt\xc3\xa0") << u"Città"_qs << false;
    }

    void mailboxNames()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, display);
        QFETCH(bool, roundTrip);
        const MailboxName name = MailboxName::fromWire(wire);
        QCOMPARE(name.display(), display);
        QCOMPARE(name.wire(), wire);
        QCOMPARE(MailboxName::fromDisplay(display).wire() == wire, roundTrip);
        QCOMPARE(MailboxName::fromDisplay(display) == name, roundTrip || name.isInbox());
    }

    void commands_data()
    {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<int>("policy");
        QTest::addColumn<QByteArray>("expected"); // the pieces joined by '|'

        const int sync = int(LiteralPolicy::Synchronizing);
        QTest::newRow("atoms") << QList<QByteArray>{"mario", "Drafts]"} << sync << QByteArray("t1 X mario Drafts]\r\n");
        QTest::newRow("quoted") << QList<QByteArray>{"la mia password", "", "a\\b", "NIL", "50%"} << sync
                                << QByteArray("t1 X \"la mia password\" \"\" \"a\\\\b\" \"NIL\" \"50%\"\r\n");
        QTest::newRow("literal, waiting")
            << QList<QByteArray>{"p\"w", "end"} << sync << QByteArray("t1 X {3}\r\n|p\"w end\r\n");
        QTest::newRow("literal, LITERAL+") << QList<QByteArray>{"Citt\xc3\xa0"} << int(LiteralPolicy::Plus)
                                           << QByteArray("t1 X {6+}\r\nCitt\xc3\xa0\r\n");
        QTest::newRow("line break, LITERAL-")
            << QList<QByteArray>{"a\r\nb", QByteArray(5000, '\xe8')} << int(LiteralPolicy::Minus)
            << QByteArray("t1 X {4+}\r\na\r\nb {5000}\r\n|" + QByteArray(5000, '\xe8') + "\r\n");
    }

    void commands()
    {
        QFETCH(QList<QByteArray>, arguments);
        QFETCH(int, policy);
        QFETCH(QByteArray, expected);
        Command command("X");
        for (const QByteArray &argument : arguments)
            command.string(argument);
        QCOMPARE(command.pieces("t1", LiteralPolicy(policy)).join('|'), expected);
    }
};

QTEST_GUILESS_MAIN(TestImapParser)
#include "tst_imapparser.moc"
