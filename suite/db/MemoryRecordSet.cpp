#include "MemoryRecordSet.h"

#include "host/Failure.h"

namespace mrv::suite::db {

MemoryRecordSet::MemoryRecordSet(QueryResult result) : m_result(std::move(result))
{
    // The first of two equally named columns wins, as with "SELECT *, X".
    for (qint32 i = m_result.columns.size() - 1; i >= 0; --i)
        m_index.insert(m_result.columns.at(i).toLower(), i);
}

MemoryRecordSet::MemoryRecordSet(QueryResult result, const QString &keyColumn, RowWriter writer)
    : MemoryRecordSet(std::move(result))
{
    m_keyColumn = m_result.columns.indexOf(keyColumn);
    if (m_keyColumn < 0)
        throw Failure(QStringLiteral("The record set has no key column %1").arg(keyColumn));
    m_index.remove(keyColumn.toLower());
    m_writer = std::move(writer);
}

bool MemoryRecordSet::eof() const
{
    return m_closed || m_position >= m_result.rows.size();
}

void MemoryRecordSet::moveNext()
{
    if (eof())
        throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"), 3021);
    m_changes.clear();
    ++m_position;
}

qint32 MemoryRecordSet::fieldCount() const
{
    return m_keyColumn < 0 ? m_result.columns.size() : m_result.columns.size() - 1;
}

QString MemoryRecordSet::fieldName(qint32 index) const
{
    const qint32 column = (m_keyColumn >= 0 && index >= m_keyColumn) ? index + 1 : index;
    if (index < 0 || column >= m_result.columns.size())
        throw Failure(QStringLiteral("Item cannot be found in the collection (index %1)").arg(index), 3265);
    return m_result.columns.at(column);
}

bool MemoryRecordSet::hasField(const QString &name) const
{
    return m_index.contains(name.toLower());
}

qint32 MemoryRecordSet::indexOf(const QString &name) const
{
    const auto found = m_index.constFind(name.toLower());
    if (found == m_index.constEnd())
        throw Failure(QStringLiteral("Item cannot be found in the collection: %1").arg(name), 3265);
    return *found;
}

const QVariantList &MemoryRecordSet::currentRow() const
{
    if (eof())
        throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"), 3021);
    return m_result.rows.at(m_position);
}

QVariant MemoryRecordSet::field(const QString &name) const
{
    const qint32 column = indexOf(name);
    const auto changed = m_changes.constFind(m_result.columns.at(column));
    if (changed != m_changes.constEnd())
        return *changed;
    return currentRow().at(column);
}

QVariant MemoryRecordSet::field(qint32 index) const
{
    return field(fieldName(index));
}

void MemoryRecordSet::setField(const QString &name, const QVariant &value)
{
    if (!m_writer)
        throw Failure(QStringLiteral("The record set is read-only"), 3251);
    const qint32 column = indexOf(name);
    currentRow();
    m_changes.insert(m_result.columns.at(column), value);
}

void MemoryRecordSet::update()
{
    if (!m_writer)
        throw Failure(QStringLiteral("The record set is read-only"), 3251);
    if (m_changes.isEmpty())
        return;
    QVariantList &row = m_result.rows[m_position];
    m_writer(row.at(m_keyColumn), m_changes);
    for (auto change = m_changes.constBegin(); change != m_changes.constEnd(); ++change)
        row[m_result.columns.indexOf(change.key())] = change.value();
    m_changes.clear();
}

void MemoryRecordSet::close()
{
    m_closed = true;
    m_changes.clear();
}

std::unique_ptr<host::RecordSet> makeRecordSet(QueryResult result)
{
    return std::make_unique<MemoryRecordSet>(std::move(result));
}

} // namespace mrv::suite::db
