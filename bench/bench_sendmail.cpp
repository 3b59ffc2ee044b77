// Sends 200 e-mails, each to one external address, through SendMessage to
// the loopback SMTP server of the tests (tests/servers/smtp_server.py), then
// has Python's smtplib send the very messages the server received, on one
// connection with sendmail per message, to the same server; prints both
// times.
//
// The reference is timed inside Python, from the connection to QUIT, with
// the messages already read from disk: interpreter start-up is not counted
// against it. SendMessage is timed whole: the sender's copy it writes in
// the database, the composing of the e-mail and the SMTP conversation.
//
// A third figure sends the same 200 e-mails through mrvSMTP alone (account
// from the configuration, RTF body converted, composed, sent on the kept
// connection), without the message store: what the e-mail itself costs.
#include "db/DemoData.h"
#include "db/SchemaManager.h"
#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "mail/mrvSMTP.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>
#include <stdexcept>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kMessages = 200;
// The Python of the Debian packages, which has python3-aiosmtpd.
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kStartTimeoutMs = 20000;
constexpr int kReferenceTimeoutMs = 300000;

// Sends the first `count` messages the server stored (NNNN.eml, with the
// envelope in NNNN.json) and prints the seconds it took.
const char *const kSmtplibReference = R"(
import json, smtplib, sys, time
from pathlib import Path
folder, port, count = Path(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
messages = []
for number in range(1, count + 1):
    base = folder / f"{number:04d}"
    envelope = json.loads(base.with_suffix(".json").read_text(encoding="utf-8"))["envelope"]
    messages.append((envelope["mail_from"], envelope["rcpt_tos"], base.with_suffix(".eml").read_bytes()))
start = time.perf_counter()
client = smtplib.SMTP("127.0.0.1", port)
for sender, recipients, raw in messages:
    client.sendmail(sender, recipients, raw)
client.quit()
print(f"{time.perf_counter() - start:.6f}")
)";

QString serverScript()
{
    return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
                           QStringLiteral("/../tests/servers/smtp_server.py"));
}

// The server writes what it receives into `folder`; returns its port.
quint16 startServer(QProcess &server, const QString &folder)
{
    server.start(kPython, {serverScript(), QStringLiteral("--folder"), folder});
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired() && server.state() != QProcess::NotRunning) {
        while (server.canReadLine()) {
            const QString line = QString::fromUtf8(server.readLine()).trimmed();
            if (line.startsWith(QLatin1String("READY ")))
                return line.section(QLatin1Char(' '), 1).toUShort();
        }
        server.waitForReadyRead(100);
    }
    throw std::runtime_error("The SMTP server did not start: " + server.readAllStandardError().toStdString());
}

void stopServer(QProcess &server)
{
    server.terminate();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(5000);
    }
}

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

struct Sending
{
    double wall = 0;
    double processor = 0;
    int failed = 0;
};

Sending sendThroughComponent(mrvMessage &message)
{
    Sending sending;
    QElapsedTimer timer;
    const std::clock_t startClock = std::clock();
    timer.start();
    for (int number = 1; number <= kMessages; ++number) {
        QString log;
        if (!message.SendMessage(0, QStringLiteral("Promemoria scadenza n. %1").arg(number), reminderBody(number),
                                 QStringLiteral("cliente%1@example.com").arg(number), QString(), QString(), QString(),
                                 QString(), QVariant(), QVariant(), 0, false, &log, 1))
            ++sending.failed;
    }
    sending.wall = timer.nsecsElapsed() / 1e9;
    sending.processor = double(std::clock() - startClock) / CLOCKS_PER_SEC;
    return sending;
}

Sending sendThroughSmtpAlone(SuiteSession &session)
{
    Sending sending;
    QElapsedTimer timer;
    const std::clock_t startClock = std::clock();
    timer.start();
    for (int number = 1; number <= kMessages; ++number) {
        mrvSMTP smtp;
        smtp.setErrors(session.errors());
        smtp.setRecords(session.records());
        smtp.AddRecipient(QStringLiteral("cliente%1@example.com").arg(number));
        smtp.setSubject(QStringLiteral("Promemoria scadenza n. %1").arg(number));
        smtp.setRichTextBody(reminderBody(number));
        qint32 result = -1;
        if (!smtp.Send(&result) || result != 0)
            ++sending.failed;
    }
    sending.wall = timer.nsecsElapsed() / 1e9;
    sending.processor = double(std::clock() - startClock) / CLOCKS_PER_SEC;
    return sending;
}

// Seconds Python took, as it measured them.
double sendThroughSmtplib(const QString &folder, quint16 port)
{
    QProcess python;
    python.start(kPython, {QStringLiteral("-c"), QString::fromUtf8(kSmtplibReference), folder, QString::number(port),
                           QString::number(kMessages)});
    if (!python.waitForFinished(kReferenceTimeoutMs) || python.exitCode() != 0)
        throw std::runtime_error("smtplib failed: " + python.readAllStandardError().toStdString());
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed().toDouble();
}

qsizetype storedMessages(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.eml")}, QDir::Files).size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QTextStream out(stdout);
    const QString path = dir.filePath(QStringLiteral("demo.db"));
    const QString folder = dir.filePath(QStringLiteral("received"));
    {
        auto connection = db::SuiteConnection::openSqlite(path);
        db::SchemaManager::create(*connection, {});
        db::DemoData::seed(*connection);
    }
    QProcess server;
    try {
        const quint16 port = startServer(server, folder);
        auto session = SuiteSession::open(path, QStringLiteral("ROSSI"), db::DemoData::firstCompany(), dir.path());
        configureAccount(*session->config(), port);

        const Sending component = sendThroughComponent(*session->message());
        const qsizetype received = storedMessages(folder);
        const bool complete = component.failed == 0 && received == kMessages;
        const double reference = complete ? sendThroughSmtplib(folder, port) : 0;
        const Sending smtpAlone = sendThroughSmtpAlone(*session);
        stopServer(server);

        out << "e-mails: " << kMessages << ", failed: " << component.failed << ", received by the server: " << received
            << '\n'
            << "SendMessage, one call per e-mail: " << QString::number(component.wall, 'f', 3) << " s (processor "
            << QString::number(component.processor, 'f', 3) << " s)\n"
            << "reference, Python smtplib, one connection, sendmail per message (the same " << kMessages
            << " messages): " << QString::number(reference, 'f', 3) << " s\n"
            << "mrvSMTP alone, no message store (" << smtpAlone.failed
            << " failed): " << QString::number(smtpAlone.wall, 'f', 3) << " s (processor "
            << QString::number(smtpAlone.processor, 'f', 3) << " s)\n"
            << "target: no slower than smtplib -> "
            << (complete ? (component.wall <= reference ? "met" : "MISSED") : "n/a (sending failed)") << '\n';
        return complete ? 0 : 1;
    } catch (const std::exception &error) {
        stopServer(server);
        out << error.what() << '\n';
        return 1;
    }
}
