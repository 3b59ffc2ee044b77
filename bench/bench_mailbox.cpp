// The mailbox mirror against Dovecot on loopback, with a folder of N
// messages (default 50,000) written into the maildir beforehand:
// - Python's imaplib fetching UID, flags, envelope, size and body structure
//   of the whole folder over one connection: the reference;
// - our client's own fetch of the same;
// - the first RefreshMessages of the folder: at most 1.5x the reference;
// - a forced RefreshMessages of the unchanged folder and CheckNewMessages
//   with nothing new: each under a second;
// - the process's peak resident memory after the first mirror (goal 200 MB),
//   measured before our client's own fetch runs.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "ImapTestServer.h"
#include "db/SuiteConnection.h"
#include "exchange/mrvExchange.h"
#include "host/TreeControl.h"
#include "platform/imap/ImapSession.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTextStream>

#include <sys/resource.h>

using namespace mrv;

namespace {

const int kDefaultMessages = 50000;
const double kMostOverReference = 1.5;
const double kMostSecondsInStep = 1.0;

class NoTree : public host::TreeControl
{
public:
    void clear() override {}
    void addNode(const QString &, const QString &, const QString &) override {}
    bool hasImageList() const override { return false; }
    void setImage(const QString &, qint32) override {}
    void setExpanded(const QString &, bool) override {}
};

QByteArray benchMessage(int i)
{
    QByteArray body = QByteArray("Riga del messaggio numero ") + QByteArray::number(i) + "\r\n";
    body = body.repeated(1 + i % 40);
    QByteArray text = "From: =?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?= <jose" + QByteArray::number(i % 97) +
                      "@example.es>\r\nTo: Anna Bianchi <anna@example.it>, bob@example.com\r\n"
                      "Subject: Ordine " +
                      QByteArray::number(i) +
                      " =?ISO-8859-1?Q?conferma_n=B0?=\r\nDate: Mon, 4 Mar 2024 10:15:00 +0100\r\n"
                      "Message-ID: <bench" +
                      QByteArray::number(i) + "@example.es>\r\nMIME-Version: 1.0\r\n";
    if (i % 10 == 0)
        return text + "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n" +
               body +
               "--b\r\nContent-Type: application/pdf; name=\"o.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
               "\r\nJVBERi0xLjQK\r\n--b--\r\n";
    return text + "Content-Type: text/plain; charset=utf-8\r\n\r\n" + body;
}

double imaplibSeconds(const testing::ImapTestServer &server)
{
    const QString script =
        QStringLiteral("import imaplib, sys, time\n"
                       "c = imaplib.IMAP4('127.0.0.1', %1)\n"
                       "c.login('%2', '%3')\n"
                       "c.select('Bench', readonly=True)\n"
                       "t = time.perf_counter()\n"
                       "typ, data = c.uid('FETCH', '1:*', '(UID FLAGS ENVELOPE RFC822.SIZE BODYSTRUCTURE)')\n"
                       "print(time.perf_counter() - t, len(data))\n")
            .arg(server.port())
            .arg(QLatin1String(testing::ImapTestServer::kUser), QLatin1String(testing::ImapTestServer::kPassword));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script});
    python.waitForFinished(600000);
    return QString::fromLatin1(python.readAllStandardOutput()).section(u' ', 0, 0).toDouble();
}

long peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultMessages;
    QTextStream out(stdout);
    testing::ImapTestServer server;
    if (!server.start() || !server.fillFolder(QStringLiteral("Bench"), messages, benchMessage)) {
        out << "the IMAP server could not be made ready: " << server.errorText() << '\n';
        return 1;
    }
    // Dovecot indexes a folder it has never seen on its first visit: not
    // part of anybody's figure.
    imap::ImapSession session(server.account());
    session.connectAndLogIn();
    session.status(imap::MailboxName::fromWire("Bench"));

    const double reference = imaplibSeconds(server);

    const testing::DemoSuite suite;
    suite::SuiteSession &demo = suite.session();
    auto config = demo.config();
    config->setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("EXCHANGE"));
    config->setValue(QStringLiteral("EXCHANGE_SERVER"), QStringLiteral("127.0.0.1:%1").arg(server.port()));
    config->setValue(QStringLiteral("EXCHANGE_USER"), QLatin1String(testing::ImapTestServer::kUser));
    config->setValue(QStringLiteral("EXCHANGE_PASSWORD"), QLatin1String(testing::ImapTestServer::kPassword));
    config->setValue(QStringLiteral("EXCHANGE_SSL"), QStringLiteral("0"));
    mrvExchange mirror;
    mirror.setConnection(demo.connection());
    mirror.setErrors(demo.errors());
    mirror.setUserManager(demo.users());
    mirror.setConfigClass(config);
    NoTree tree;
    mirror.GetStructure(tree, true);
    const auto scalar = [&](const QString &sql) { return suite.scalar(sql).toString(); };
    const QString folder = scalar(QStringLiteral("SELECT EXOID FROM SYS_EXC WHERE EXDES = 'Bench'"));
    const QString store = scalar(QStringLiteral("SELECT EXOID FROM SYS_EXC WHERE EXTYP = 1"));
    const QString storeName = scalar(QStringLiteral("SELECT EXDES FROM SYS_EXC WHERE EXTYP = 1"));
    // Logged on once for all three, as a desktop session stays.
    mirror.Logon();
    const Timing first = bestOf(1, [&] { mirror.RefreshMessages(folder, store, storeName); });
    const long peak = peakResidentMegabytes();
    const qint64 rows = suite.scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_EXC WHERE EXTYP = 4")).toLongLong();
    const Timing forced = bestOf(3, [&] { mirror.RefreshMessages(folder, store, storeName, true); });
    qint32 count = -1;
    const Timing check = bestOf(3, [&] { count = mirror.CheckNewMessages(store, storeName); });
    mirror.Logoff();
    // Last, so that the peak above is the mirror's alone.
    qsizetype fetched = 0;
    const Timing raw = bestOf(1, [&] {
        imap::SelectOptions options;
        options.readOnly = true;
        session.select(imap::MailboxName::fromWire("Bench"), options);
        imap::FetchRequest request;
        request.uids = imap::UidSet(1, imap::UidSet::kLargest);
        request.internalDate = false;
        const auto result = session.fetch(request);
        fetched = result ? result.value().size() : 0;
    });

    const double ratio = first.wall / reference;
    out << "messages: " << messages << ", fetched by our client: " << fetched << ", mirrored rows: " << rows << '\n'
        << "reference, imaplib fetching the folder: " << QString::number(reference, 'f', 3) << " s\n"
        << "our client fetching the same: " << shown(raw) << '\n'
        << "first RefreshMessages: " << shown(first) << ", " << QString::number(ratio, 'f', 2)
        << "x the reference; target " << kMostOverReference << "x -> "
        << (ratio <= kMostOverReference ? "met" : "MISSED") << '\n'
        << "forced RefreshMessages, folder unchanged: " << shown(forced) << "; target under " << kMostSecondsInStep
        << " s -> " << (forced.wall < kMostSecondsInStep ? "met" : "MISSED") << '\n'
        << "CheckNewMessages, nothing new (" << count << "): " << shown(check) << "; target under "
        << kMostSecondsInStep << " s -> " << (check.wall < kMostSecondsInStep ? "met" : "MISSED") << '\n'
        << "peak resident memory after the first mirror: " << peak << " MB; goal 200 MB -> "
        << (peak <= 200 ? "met" : "MISSED") << '\n';
    return fetched == messages && rows == messages ? 0 : 1;
}
