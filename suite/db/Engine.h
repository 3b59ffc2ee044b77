#pragma once

#include <QSqlDatabase>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace mrv::suite::db {

class Dialect;

// A row-returning result read whole into memory: column names and rows.
struct QueryResult
{
    QStringList columns;
    QList<QVariantList> rows;
    qint64 changedRows = 0; // by an INSERT, UPDATE or DELETE
};

// Called with each row of a result in turn.
using RowVisitor = std::function<void(const QVariantList &row)>;

// The first word of a native statement and the table it writes to, both in
// upper case (the table empty when the statement writes none, or one that
// cannot be named).
struct StatementHead
{
    QString verb;
    QString table;
};

// A native statement prepared once by an engine and run many times.
class EngineStatement
{
public:
    virtual ~EngineStatement() = default;
    virtual QueryResult run(const QVariantList &values, std::optional<qint64> &insertedKey) = 0;
};

// One database engine under the suite connection: it runs native statements
// and answers what only the engine knows. The connection keeps everything
// the engines share (translation, transactions, bookkeeping).
class Engine
{
public:
    virtual ~Engine() = default;

    virtual QString name() const = 0;
    virtual QString connectionText() const = 0;
    virtual QSqlDatabase database() const = 0;
    virtual std::unique_ptr<Dialect> makeDialect() const = 0;

    // Runs one native statement with positional values ("?"). After an
    // INSERT, `insertedKey` holds the key of the last row it added.
    virtual QueryResult run(const QString &sql, const QVariantList &values, const StatementHead &head,
                            std::optional<qint64> &insertedKey) = 0;

    // A bulk load fails whole; a statement run again and again with other
    // values fails alone, as any single statement does.
    enum class Use { BulkLoad, Repeated };
    virtual std::unique_ptr<EngineStatement> prepare(const QString &sql, const StatementHead &head, Use use) = 0;
    // Runs a native query and hands its rows over one by one, never holding
    // them all; other statements may run on the engine meanwhile.
    virtual void forEachRow(const QString &sql, const RowVisitor &visit) = 0;

    virtual bool inTransaction() = 0;
    // The statement that opens a transaction.
    virtual QString beginTransaction() const = 0;
    // What runs from beginReadOnly to endReadOnly can change nothing,
    // whatever it calls, inside a transaction or not. They do not nest.
    virtual void beginReadOnly() = 0;
    virtual void endReadOnly() = 0;
    // Moves whenever another connection commits; -1 when the engine cannot tell.
    virtual qint64 othersCommits() = 0;

    // Table and index names (lower case) and a table's columns.
    virtual QStringList objectNames(const QString &type) = 0; // "table" or "index"
    virtual QStringList columnNames(const QString &table) = 0;

    // Signals between the clients of one database; see SuiteConnection.
    virtual void notify(const QString &payload) = 0;
    virtual void listen() = 0;
    virtual QStringList waitForNotifications(int timeoutMs) = 0;

    // Large values in pieces; see SuiteConnection.
    virtual void writeBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &source) = 0;
    virtual void readBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &target) = 0;
    virtual void copyBlob(const QString &table, const QString &column, qint64 fromRowid, qint64 toRowid) = 0;
    // An expression of a blob of `size` bytes to be filled by writeBlob.
    virtual QString emptyBlob(qint64 size) const = 0;
};

std::unique_ptr<Engine> openSqliteEngine(const QString &path, bool readOnly);
std::unique_ptr<Engine> openPostgresEngine(const QString &url);

// The first column of every row, as texts: names read from a catalog.
QStringList firstColumnOf(const QueryResult &result);
// A name for a new QtSql connection, unique in the process.
QString uniqueConnectionName();
// The text with every half of a surrogate pair that has no other half as
// U+FFFD: UTF-8 has no spelling for one, as every conversion to it does.
QString withoutLoneSurrogates(const QString &text);
// The engine's message of a QtSql error, or Qt's own when the engine gave none.
QString engineMessage(const QSqlError &error);

} // namespace mrv::suite::db
