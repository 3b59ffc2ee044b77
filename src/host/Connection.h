#pragma once

#include "RecordSet.h"
#include "StatementBuilder.h"

#include <memory>

namespace mrv::host {

// The host's database connection. SQL is written in the suite's dialect
// (SQL Server's); the host adapts it to the engine underneath.
class Connection
{
public:
    virtual ~Connection() = default;

    // mode: rsReadOnly, rsUpdatable or rsQueryOnly. On a bad query the flag is set, the
    // text holds the engine's message and the result is null.
    virtual std::unique_ptr<RecordSet> openRecordSet(const QString &sql, qint32 mode, bool &error,
                                                     QString &errorText) = 0;

    // Runs a statement that returns no rows. Throws Failure on error.
    virtual void execute(const QString &sql) = 0;

    virtual std::unique_ptr<RecordSet> runProcedure(const QString &name,
                                                    const QList<ProcedureParameter> &parameters) = 0;

    // The value of `column` in the first row of `table` whose `keyColumn`
    // equals `keyValue` (keyKind kkNumber or kkText), or an invalid QVariant.
    virtual QVariant lookup(const QString &table, const QString &keyColumn, const QVariant &keyValue, qint32 keyKind,
                            const QString &column) = 0;

    // The caption stored for `value` in the value lists (SYS_VAL).
    virtual QString valueListCaption(const QString &table, const QString &column, const QVariant &value) = 0;

    // Deletes the row whose RECORD_ID is `key`.
    virtual void deleteRow(const QString &table, const QVariant &key) = 0;

    virtual std::unique_ptr<StatementBuilder> newStatement() = 0;

    // The connection text other programs of the suite open the same database
    // with, "Provider=...;..." items separated by ";".
    virtual QString connectionText() const = 0;

    // A unit of work: the statements until endWork reach the database
    // together, which saves the engine a commit per statement. Units nest;
    // the outermost decides. Rows written stay when work ends early: the
    // caller undoes what it must. A host may ignore both and run every
    // statement on its own.
    virtual void beginWork() {}
    virtual void endWork() {}

    // Throwing variant of openRecordSet for callers inside an error trap.
    std::unique_ptr<RecordSet> open(const QString &sql, qint32 mode = rsReadOnly)
    {
        bool error = false;
        QString text;
        auto set = openRecordSet(sql, mode, error, text);
        if (error || !set)
            throw Failure(text.isEmpty() ? QStringLiteral("The query could not be opened") : text);
        return set;
    }
};

// Begins a unit of work and ends it when the scope does. Ending it early
// with end() reports a failure to commit; the destructor cannot, so it only
// runs when something else is already being reported.
class Work
{
public:
    explicit Work(Connection &connection) : m_connection(connection) { m_connection.beginWork(); }
    ~Work()
    {
        if (m_open) {
            try {
                m_connection.endWork();
            } catch (...) {
                // The failure that is unwinding the stack is the one to report.
            }
        }
    }
    void end()
    {
        m_open = false;
        m_connection.endWork();
    }

    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;

private:
    Connection &m_connection;
    bool m_open = true;
};

} // namespace mrv::host
