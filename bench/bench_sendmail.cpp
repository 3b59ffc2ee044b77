// Sends 200 e-mails, each to one external address, through SendMessage to
// the loopback SMTP server of the tests (tests/servers/smtp_server.py), and
// prints the time beside two Python references sending the same 200
// messages to the same server on one connection:
//
// - smtplib replaying the very bytes the server received (sendmail per
//   message): the transport's floor, the least work a client can do;
//   the target is at most 1.3 times that;
// - smtplib sending messages it composes with Python's email package from
//   the same subject, addresses and bodies (send_message per message): what
//   a program that writes its own e-mails does; the target is no slower.
//
// The references are timed inside Python, from the connection to QUIT, with
// their input already read: interpreter start-up is not counted against
// them. SendMessage is timed whole: the sender's copy it writes in the
// database, the composing of the e-mail (RTF converted to HTML and text)
// and the SMTP conversation. Each figure is the best of three runs: on a
// shared machine the same run varies by a third.
//
// A last figure sends the same e-mails through mrvSMTP alone (account from
// the configuration, RTF body converted, composed, sent on the kept
// connection), without the message store: what the e-mail itself costs.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "SmtpTestServer.h"
#include "db/DemoData.h"
#include "facade/mrvMessage.h"
#include "mail/mrvSMTP.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTextStream>

#include <stdexcept>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kMessages = 200;
const int kRounds = 3;
// The Python of the Debian packages, which has python3-aiosmtpd.
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kReferenceTimeoutMs = 300000;

// Both read the first `count` messages the server stored (NNNN.eml, with
// the envelope in NNNN.json) and print the wall-clock and processor seconds
// the sending took.
const char *const kReplayReference = R"(
import json, smtplib, sys, time
from pathlib import Path
folder, port, count = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
messages = []
for number in range(1, count + 1):
    base = folder / f"{number:04d}"
    envelope = json.loads(base.with_suffix(".json").read_text(encoding="utf-8"))["envelope"]
    messages.append((envelope["mail_from"], envelope["rcpt_tos"], base.with_suffix(".eml").read_bytes()))
start, processor = time.perf_counter(), time.process_time()
client = smtplib.SMTP("127.0.0.1", port)
for sender, recipients, raw in messages:
    client.sendmail(sender, recipients, raw)
client.quit()
print(f"{time.perf_counter() - start:.6f} {time.process_time() - processor:.6f}")
)";

const char *const kComposingReference = R"(
import email.policy, email.utils, smtplib, sys, time
from email.message import EmailMessage
from pathlib import Path
folder, port, count = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
fields = []
for number in range(1, count + 1):
    parsed = email.message_from_bytes((folder / f"{number:04d}.eml").read_bytes(), policy=email.policy.default)
    fields.append((str(parsed["From"]), str(parsed["To"]), str(parsed["Subject"]),
                   parsed.get_body(("plain",)).get_content(), parsed.get_body(("html",)).get_content()))
start, processor = time.perf_counter(), time.process_time()
client = smtplib.SMTP("127.0.0.1", port)
for sender, to, subject, plain, html in fields:
    message = EmailMessage()
    message["From"], message["To"], message["Subject"] = sender, to, subject
    message["Date"] = email.utils.formatdate(localtime=True)
    message["Message-ID"] = email.utils.make_msgid()
    message.set_content(plain)
    message.add_alternative(html, subtype="html")
    client.send_message(message)
client.quit()
print(f"{time.perf_counter() - start:.6f} {time.process_time() - processor:.6f}")
)";

void configureAccount(SuiteConfig &config, quint16 port)
{
    config.setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
    config.setValue(QStringLiteral("EMAIL_NAME"), QStringLiteral("Mario Rossi"));
    config.setValue(QStringLiteral("EMAIL"), QStringLiteral("m.rossi@brambilla.example.it"));
    config.setValue(QStringLiteral("EMAIL_OUT_TYPE"), QStringLiteral("3"));
    config.setValue(QStringLiteral("EMAIL_OUT_SERVER"), QStringLiteral("127.0.0.1"));
    config.setValue(QStringLiteral("EMAIL_OUT_PORT"), QString::number(port));
    config.setValue(QStringLiteral("EMAIL_OUT_AUTH"), QStringLiteral("0"));
}

QString reminderBody(int number)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs20 "
                          "Gentile cliente,\\par le ricordiamo la scadenza della fattura n. %1.\\par\\par "
                          "Cordiali saluti,\\par\\b Brambilla S.p.A.\\b0\\par}")
        .arg(number);
}

// Sends the 200 e-mails through SendMessage; returns how many failed.
int sendThroughComponent(mrvMessage &message)
{
    int failed = 0;
    for (int number = 1; number <= kMessages; ++number) {
        QString log;
        if (!message.SendMessage(0, QStringLiteral("Promemoria scadenza n. %1").arg(number), reminderBody(number),
                                 QStringLiteral("cliente%1@example.com").arg(number), QString(), QString(), QString(),
                                 QString(), QVariant(), QVariant(), 0, false, &log, 1))
            ++failed;
    }
    return failed;
}

// The same e-mails through mrvSMTP alone; returns how many failed.
int sendThroughSmtpAlone(SuiteSession &session)
{
    int failed = 0;
    for (int number = 1; number <= kMessages; ++number) {
        mrvSMTP smtp;
        smtp.setErrors(session.errors());
        smtp.setRecords(session.records());
        smtp.AddRecipient(QStringLiteral("cliente%1@example.com").arg(number));
        smtp.setSubject(QStringLiteral("Promemoria scadenza n. %1").arg(number));
        smtp.setRichTextBody(reminderBody(number));
        qint32 result = -1;
        if (!smtp.Send(&result) || result != 0)
            ++failed;
    }
    return failed;
}

// The times Python measured.
Timing sendThroughPython(const char *script, const QString &folder, quint16 port)
{
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), QString::fromUtf8(script), folder, QString::number(port),
                           QString::number(kMessages)});
    if (!python.waitForFinished(kReferenceTimeoutMs) || python.exitCode() != 0)
        throw std::runtime_error("smtplib failed: " + python.readAllStandardError().toStdString());
    const QStringList seconds = QString::fromUtf8(python.readAllStandardOutput()).simplified().split(u' ');
    return {seconds.value(0).toDouble(), seconds.value(1).toDouble()};
}

Timing faster(const Timing &one, const Timing &other)
{
    return other.wall < one.wall ? other : one;
}

QString verdict(const Timing &component, const Timing &reference, double limit)
{
    const double ratio = component.wall / reference.wall;
    return QStringLiteral("ratio %1, target at most %2 -> %3")
        .arg(ratio, 0, 'f', 2)
        .arg(limit, 0, 'f', 1)
        .arg(ratio <= limit ? QStringLiteral("met") : QStringLiteral("MISSED"));
}

qsizetype storedMessages(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.eml")}, QDir::Files).size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    testing::SmtpTestServer server;
    if (!server.start()) {
        out << server.errorText() << '\n';
        return 1;
    }
    configureAccount(*session.config(), server.port());
    const QString folder = server.folder();
    try {
        int failed = 0;
        const Timing component = bestOf(kRounds, [&] { failed += sendThroughComponent(*session.message()); });
        const qsizetype received = storedMessages(folder);
        if (failed > 0 || received != kRounds * kMessages) {
            out << "e-mails: " << kRounds * kMessages << ", failed: " << failed
                << ", received by the server: " << received << "; no comparison\n";
            return 1;
        }
        Timing replay;
        Timing composing;
        for (int round = 0; round < kRounds; ++round) {
            const Timing replayed = sendThroughPython(kReplayReference, folder, server.port());
            const Timing composed = sendThroughPython(kComposingReference, folder, server.port());
            replay = round == 0 ? replayed : faster(replay, replayed);
            composing = round == 0 ? composed : faster(composing, composed);
        }
        int aloneFailed = 0;
        const Timing alone = bestOf(kRounds, [&] { aloneFailed += sendThroughSmtpAlone(session); });

        out << "e-mails: " << kMessages << " per round, " << kRounds << " rounds, all received by the server\n"
            << "SendMessage, one call per e-mail: " << shown(component) << '\n'
            << "reference, smtplib replaying the received bytes (sendmail): " << shown(replay) << '\n'
            << "reference, smtplib sending what Python's email package composes (send_message): " << shown(composing)
            << '\n'
            << "mrvSMTP alone, no message store (" << aloneFailed << " failed): " << shown(alone) << '\n'
            << "beside smtplib composing: " << verdict(component, composing, 1.0) << '\n'
            << "beside smtplib replaying: " << verdict(component, replay, 1.3) << '\n';
        return 0;
    } catch (const std::exception &error) {
        out << error.what() << '\n';
        return 1;
    }
}
