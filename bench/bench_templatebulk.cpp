// Fills the demo template on sales documents for N documents (default 10,000,
// the demo's customers scaled up with one document each): one ParseFromArray
// with all the keys, then the body, the subject and the recipients of every
// message. Prints the messages per second beside the time of running the
// template's dataset query with the same keys and reading its rows alone
// (the floor the filling cannot beat), the peak resident memory of the
// process, and whether each target is met.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "host/TypeCodes.h"
#include "services/SuiteSession.h"
#include "templates/mrvDataset.h"
#include "templates/mrvTemplate.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <functional>

using namespace mrv;
using namespace mrv::suite;

namespace {

const qint32 kSalesTemplate = 1;
const qint32 kSalesDataset = 1;
const QString kSalesTable = QStringLiteral("DOC_VEN");
const int kDefaultMessages = 10000;
const double kMessagesPerSecond = 1000;
const double kTimesTheQuery = 5;
const double kPeakMegabytes = 300;

struct Filled
{
    qint32 messages = 0;
    qsizetype bodies = 0;
    qsizetype subjects = 0;
    qsizetype withAddress = 0;
    // Seconds of each step: parse, bodies and subjects, recipients.
    double parsing = 0;
    double rendering = 0;
    double addressing = 0;
};

double secondsOf(const std::function<void()> &step)
{
    return bestOf(1, step).wall;
}

// Enough generated customers, one sales document each, for `count` documents.
QList<qint32> documentKeys(const testing::DemoSuite &suite, int count)
{
    db::SuiteConnection &connection = *suite.session().connection();
    const int present = suite.scalar(QStringLiteral("SELECT COUNT(*) FROM A01_DOC_VEN")).toInt();
    if (present < count)
        db::DemoData::addCustomers(connection, db::DemoData::firstCompany(), count - present);
    QList<qint32> keys;
    const auto rows =
        connection.query(QStringLiteral("SELECT TOP %1 RECORD_ID FROM A01_DOC_VEN ORDER BY RECORD_ID").arg(count));
    for (const QVariantList &row : rows.rows)
        keys << row.value(0).toInt();
    return keys;
}

Filled fill(mrvTemplate &filler, QList<qint32> &keys)
{
    Filled filled;
    std::shared_ptr<mrvTemplateFields> fields;
    filled.parsing = secondsOf([&] { fields = filler.ParseFromArray(kSalesTemplate, kSalesTable, keys); });
    if (!fields)
        return filled;
    filled.messages = fields->Count();
    QList<QByteArray> bodies;
    QList<QByteArray> subjects;
    filled.rendering = secondsOf([&] {
        filler.GetTemplates(fields.get(), bodies);
        filler.GetSubjects(fields.get(), subjects);
    });
    QStringList to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax;
    filled.addressing = secondsOf(
        [&] { filler.GetRecipients(fields.get(), to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax); });
    filled.bodies = bodies.size();
    filled.subjects = subjects.size();
    filled.withAddress = to.size() - to.count(QString());
    return filled;
}

// The dataset's query with the keys, run as the template runs it, every
// field of every row read.
qint64 readDataset(SuiteSession &session, QList<qint32> &keys)
{
    const auto dataset = session.create<mrvDataset>(QStringLiteral("mrvDataset"));
    const QString stored =
        session.connection()
            ->query(QStringLiteral("SELECT DTQRY FROM SYS_DAT WHERE RECORD_ID = %1").arg(kSalesDataset))
            .rows.value(0)
            .value(0)
            .toString();
    auto rows = session.connection()->open(dataset->InsertVariables(stored, keys), host::rsQueryOnly);
    qint64 read = 0;
    for (; !rows->eof(); rows->moveNext(), ++read) {
        for (qint32 field = 0; field < rows->fieldCount(); ++field)
            rows->field(field);
    }
    rows->close();
    return read;
}

// The process's peak resident memory, in megabytes; 0 where the kernel does
// not tell.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toDouble() / 1024 : 0;
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultMessages;
    QTextStream out(stdout);
    const testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    QList<qint32> keys = documentKeys(suite, count);
    const auto filler = session.create<mrvTemplate>(QStringLiteral("mrvTemplate"));

    qint64 rowsRead = 0;
    const Timing query = bestOf(1, [&] { rowsRead = readDataset(session, keys); });
    Filled filled;
    const Timing filling = bestOf(1, [&] { filled = fill(*filler, keys); });
    const double perSecond = filled.messages / filling.wall;
    const double ratio = filling.wall / query.wall;
    const double peak = peakMegabytes();
    const bool complete = filled.messages == count && filled.bodies == count && filled.subjects == count;

    out << "keys: " << keys.size() << ", dataset rows: " << rowsRead << ", messages: " << filled.messages
        << ", bodies: " << filled.bodies << ", subjects: " << filled.subjects
        << ", messages with an address in To: " << filled.withAddress << '\n'
        << "parse, bodies, subjects and recipients: " << shown(filling) << ", " << QString::number(perSecond, 'f', 0)
        << " messages/s\n"
        << "  of which parse " << QString::number(filled.parsing, 'f', 3) << " s, bodies and subjects "
        << QString::number(filled.rendering, 'f', 3) << " s, recipients " << QString::number(filled.addressing, 'f', 3)
        << " s\n"
        << "reference, the dataset query with the same keys and its rows read: " << shown(query) << '\n'
        << "peak resident memory (VmHWM): " << QString::number(peak, 'f', 1) << " MB\n"
        << "target: at least " << kMessagesPerSecond << " messages/s -> "
        << verdict(complete && perSecond >= kMessagesPerSecond) << '\n'
        << "target: no more than " << kTimesTheQuery << "x the query (" << QString::number(ratio, 'f', 1) << "x) -> "
        << verdict(complete && ratio <= kTimesTheQuery) << '\n'
        << "target: peak memory under " << kPeakMegabytes << " MB -> " << verdict(peak > 0 && peak < kPeakMegabytes)
        << '\n';
    if (!complete)
        out << "INCOMPLETE: not every key gave a message with a body and a subject\n";
    return complete ? 0 : 1;
}
