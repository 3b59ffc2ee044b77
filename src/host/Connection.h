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

    // mode: rsReadOnly or rsUpdatable. On a bad query the flag is set, the
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

} // namespace mrv::host
