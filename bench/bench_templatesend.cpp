// Sends the demo template on sales documents for N documents (default 1,000,
// one generated customer each) to the loopback SMTP server of the tests, as
// "Invia tutti" does: each message filled, its recipients looked up, its
// report printed, stored as sent and handed to the transport. Then hands the
// same N stored messages to the transport again, alone, as the reference:
// the template machinery may add at most 50% to it.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "SmtpTestServer.h"
#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "services/SuiteRecords.h"
#include "services/SuiteSession.h"
#include "templates/TemplateSendController.h"
#include "templates/mrvTemplate.h"

#include <QGuiApplication>
#include <QTextStream>

using namespace mrv;
using namespace mrv::suite;

namespace {

const qint32 kSalesTemplate = 1;
const int kDefaultMessages = 1000;
const double kMostAdded = 0.5;

QStringList newestDocuments(const testing::DemoSuite &suite, int count)
{
    db::SuiteConnection &connection = *suite.session().connection();
    db::DemoData::addCustomers(connection, db::DemoData::firstCompany(), count);
    QStringList keys;
    const auto rows =
        connection.query(QStringLiteral("SELECT TOP %1 RECORD_ID FROM A01_DOC_VEN ORDER BY RECORD_ID DESC").arg(count));
    for (const QVariantList &row : rows.rows)
        keys << row.value(0).toString();
    return keys;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultMessages;
    QTextStream out(stdout);
    const testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    testing::SmtpTestServer server;
    if (!server.start()) {
        out << "the loopback SMTP server did not start: " << server.errorText() << '\n';
        return 1;
    }
    server.configureAccount(*session.config());
    session.config()->setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
    const QStringList keys = newestDocuments(suite, count);

    const auto templates = session.create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    const auto parsed = templates->ParseFromList(kSalesTemplate, QStringLiteral("DOC_VEN"), keys.join(u','), u","_qs);
    TemplateSendController sending;
    sending.setRecords(session.records());
    sending.setErrors(session.errors());
    QList<qint32> stored;
    QObject::connect(&sending, &TemplateSendController::messageSent,
                     [&](qint32, qint32 messageId) { stored << messageId; });
    const Timing templated = bestOf(1, [&] {
        sending.start(parsed, 2, {});
        sending.Send(0, false, true);
    });

    qint32 resent = 0;
    const Timing alone = bestOf(1, [&] {
        for (const qint32 id : std::as_const(stored)) {
            QString log;
            resent += session.records()->sendStoredMessage(id, QVariant(), QVariant(), log, eMessageBodyFormat_HTML);
        }
    });

    const qsizetype arrived = server.receivedMessages().size();
    const double added = templated.wall / alone.wall - 1;
    const bool complete = stored.size() == count && resent == count && arrived == 2 * count;
    out << "messages: " << count << ", sent by the template: " << stored.size() << ", sent again alone: " << resent
        << ", arrived at the server: " << arrived << '\n'
        << "template send (fill, recipients, report, store, hand over): " << shown(templated) << ", "
        << QString::number(stored.size() / templated.wall, 'f', 1) << " messages/s\n"
        << "reference, the stored messages handed to the transport alone: " << shown(alone) << ", "
        << QString::number(resent / alone.wall, 'f', 1) << " messages/s\n"
        << "target: the template adds at most " << kMostAdded * 100 << "% (" << QString::number(added * 100, 'f', 0)
        << "%) -> " << (complete && added <= kMostAdded ? "met" : "MISSED") << '\n';
    if (!complete)
        out << "INCOMPLETE: not every message was sent and arrived\n";
    return complete ? 0 : 1;
}
