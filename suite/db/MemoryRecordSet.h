#pragma once

#include "SuiteConnection.h"
#include "host/RecordSet.h"

#include <QHash>

#include <functional>
#include <memory>

namespace mrv::suite::db {

// Writes the changed fields of one row back to its table; given the row's key
// and the changed columns with their values.
using RowWriter = std::function<void(const QVariant &key, const QVariantMap &changes)>;

// A record set over rows read whole. Reading first keeps the connection free
// for the updates and lookups a caller runs while walking the rows.
class MemoryRecordSet : public host::RecordSet
{
public:
    explicit MemoryRecordSet(QueryResult result);
    // Updatable: `keyColumn` names the hidden column holding each row's key;
    // it is not visible through the field accessors.
    MemoryRecordSet(QueryResult result, const QString &keyColumn, RowWriter writer);

    bool eof() const override;
    void moveNext() override;
    qint32 fieldCount() const override;
    QString fieldName(qint32 index) const override;
    bool hasField(const QString &name) const override;
    QVariant field(const QString &name) const override;
    QVariant field(qint32 index) const override;
    void setField(const QString &name, const QVariant &value) override;
    void update() override;
    void close() override;

private:
    qint32 indexOf(const QString &name) const;
    const QVariantList &currentRow() const;

    QueryResult m_result;
    QHash<QString, qint32> m_index; // lower-case name -> column
    qint32 m_keyColumn = -1;
    RowWriter m_writer;
    QVariantMap m_changes;
    qsizetype m_position = 0;
    bool m_closed = false;
};

std::unique_ptr<host::RecordSet> makeRecordSet(QueryResult result);

} // namespace mrv::suite::db
