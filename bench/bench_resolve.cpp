// Resolves 1,000 typed recipients against the address book of a company with
// N generated customers (default 100,000, as "mrv init --demo --scale N"),
// in one ResolveRecipients call without suggestions, and prints the time
// beside the time of the same address-book function calls run straight on
// the connection (the floor the resolver cannot beat) and the one-second
// target.
#include "BenchTiming.h"
#include "DemoSuite.h"
#include "db/DemoData.h"
#include "db/SuiteConnection.h"
#include "facade/mrvMessage.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QTextStream>

#include <functional>

using namespace mrv;
using namespace mrv::suite;

namespace {

const int kItems = 1000;
// The machine is shared: the best of a few runs is the figure least disturbed.
const int kRuns = 3;

// Passes everything to the suite's connection and keeps the read-only
// queries, so that the database calls can be replayed without the resolver.
class RecordingConnection : public host::Connection
{
public:
    explicit RecordingConnection(std::shared_ptr<db::SuiteConnection> target) : m_target(std::move(target)) {}

    const QStringList &queries() const { return m_queries; }
    void clear() { m_queries.clear(); }

    std::unique_ptr<host::RecordSet> openRecordSet(const QString &sql, qint32 mode, bool &error,
                                                   QString &errorText) override
    {
        if (mode == host::rsReadOnly)
            m_queries << sql;
        return m_target->openRecordSet(sql, mode, error, errorText);
    }
    void execute(const QString &sql) override { m_target->execute(sql); }
    std::unique_ptr<host::RecordSet> runProcedure(const QString &name,
                                                  const QList<host::ProcedureParameter> &parameters) override
    {
        return m_target->runProcedure(name, parameters);
    }
    QVariant lookup(const QString &table, const QString &keyColumn, const QVariant &keyValue, qint32 keyKind,
                    const QString &column) override
    {
        return m_target->lookup(table, keyColumn, keyValue, keyKind, column);
    }
    QString valueListCaption(const QString &table, const QString &column, const QVariant &value) override
    {
        return m_target->valueListCaption(table, column, value);
    }
    void deleteRow(const QString &table, const QVariant &key) override { m_target->deleteRow(table, key); }
    std::unique_ptr<host::StatementBuilder> newStatement() override { return m_target->newStatement(); }
    QString connectionText() const override { return m_target->connectionText(); }

private:
    std::shared_ptr<db::SuiteConnection> m_target;
    QStringList m_queries;
};

QStringList column(db::SuiteConnection &connection, const QString &sql)
{
    QStringList values;
    for (const QVariantList &row : connection.nativeQuery(sql).rows)
        values << row.value(0).toString();
    return values;
}

// `count` values of a column from rows scattered over the whole table, the
// same on every run.
QStringList sample(db::SuiteConnection &connection, const QString &table, const QString &columnName,
                   const QString &where, int count)
{
    return column(
        connection,
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY (CAST(RECORD_ID AS BIGINT) * 7919) % 100003 LIMIT %4")
            .arg(columnName, table, where)
            .arg(count));
}

QStringList generated(const QString &pattern, int count)
{
    QStringList values;
    for (int i = 0; i < count; ++i)
        values << pattern.arg(i * 97 + 11);
    return values;
}

// The few internal codes come up again and again.
QStringList repeated(const QStringList &pool, int count)
{
    QStringList values;
    for (int i = 0; i < count && !pool.isEmpty(); ++i)
        values << pool.at(i % pool.size());
    return values;
}

// What users type, in the proportions of a day's mail (1,000 items): user and
// group codes, customer names, names with a code in angle brackets, entries
// pasted from the address book, known and unknown addresses and fax numbers,
// and words found nowhere.
QStringList typedItems(db::SuiteConnection &connection)
{
    const QString book = QStringLiteral("A01_IND_ALL");
    const QString addresses = QStringLiteral("A01_IND_WEB");
    const QString numbers = QStringLiteral("A01_NUM_TEL");
    return repeated(column(connection, QStringLiteral("SELECT CDUSR FROM SYS_USR")), 120) +
           repeated(column(connection, QStringLiteral("SELECT CDGRU FROM SYS_GRU")), 60) +
           sample(connection, book, QStringLiteral("INNAM"), QStringLiteral("INTBC = 'CON_TRO'"), 140) +
           repeated(column(connection, QStringLiteral("SELECT INEEE FROM A01_IND_ALL WHERE ININT <> 0")), 120) +
           sample(connection, book, QStringLiteral("INEEE"), QStringLiteral("INTBC = 'CON_RIF'"), 100) +
           sample(connection, addresses, QStringLiteral("WBIND"), QStringLiteral("WBTIP = 'E'"), 150) +
           generated(QStringLiteral("nessuno%1@altrove.example.com"), 80) +
           sample(connection, numbers, QStringLiteral("NRTEL"), QStringLiteral("NRDES LIKE '%fax%'"), 100) +
           generated(QStringLiteral("0039 06 %1"), 30) + generated(QStringLiteral("Zorzi%1"), 100);
}

qsizetype entries(const QString &list)
{
    return list.isEmpty() ? 0 : list.count(QStringLiteral("; ")) + 1;
}

// Runs the queries and reads every field of every row, as a caller would.
void replay(db::SuiteConnection &connection, const QStringList &queries)
{
    for (const QString &sql : queries) {
        auto set = connection.open(sql, host::rsReadOnly);
        for (; !set->eof(); set->moveNext()) {
            for (qint32 field = 0; field < set->fieldCount(); ++field)
                set->field(field);
        }
        set->close();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int customers = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTextStream out(stdout);
    const testing::DemoSuite suite;
    SuiteSession &session = suite.session();
    db::DemoData::addCustomers(*session.connection(), db::DemoData::firstCompany(), customers);
    session.config()->setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("ACCOUNT"));
    session.config()->setValue(QStringLiteral("FAX_SERVER"), QStringLiteral("FAXSRV"));
    const QStringList items = typedItems(*session.connection());
    auto recording = std::make_shared<RecordingConnection>(session.connection());
    mrvMessage &message = *session.message();
    message.setConnection(recording);

    const QString typed = items.join(QLatin1Char(';'));
    QString resolved;
    QString unknown;
    const Timing resolve = bestOf(kRuns, [&] {
        recording->clear();
        resolved.clear();
        unknown.clear();
        message.ResolveRecipients(nullptr, typed, resolved, &unknown);
    });
    const QStringList queries = recording->queries();
    const Timing functions = bestOf(kRuns, [&] { replay(*session.connection(), queries); });

    out << "customers: " << customers << ", typed items: " << items.size() << '\n'
        << "resolved: " << entries(resolved) << ", unknown: " << entries(unknown)
        << ", address-book function calls: " << queries.size() << '\n'
        << "ResolveRecipients, one call (best of " << kRuns << "): " << shown(resolve) << '\n'
        << "reference, the same XFN_IND_ALL_CNT and XFN_IND_ALL_CHK calls alone: " << shown(functions) << '\n'
        << "target: under 1 s for 1000 items and 100000 customers -> "
        << (customers == 100000 && items.size() == kItems ? (resolve.wall < 1 ? "met" : "MISSED") : "n/a") << '\n';
    return 0;
}
