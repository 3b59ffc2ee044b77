#include "SqlStatementBuilder.h"

#include "host/Failure.h"
#include "host/ValueTools.h"

#include <QStringList>

namespace mrv::suite::db {

namespace {
const QChar kClauseSeparator(13);
}

SqlStatementBuilder::SqlStatementBuilder(const host::ValueTools &values) : m_values(values) {}

void SqlStatementBuilder::initialize(const QString &table, const QString &extraClause)
{
    m_table = table.trimmed();
    m_extra = extraClause.trimmed();
    m_where.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_parameters.clear();
}

void SqlStatementBuilder::addColumn(const QString &name, const QVariant &value, qint32 typeCode)
{
    const QString literal = m_values.sqlLiteral(value, typeCode);
    // A column set twice keeps its first place and its last value.
    const QString key = name.toUpper();
    if (const auto known = m_columnIndex.constFind(key); known != m_columnIndex.constEnd()) {
        m_columns[*known].second = literal;
        return;
    }
    m_columnIndex.insert(key, m_columns.size());
    m_columns.append({name, literal});
}

void SqlStatementBuilder::setWhere(const QString &clause)
{
    m_where = clause.trimmed();
}

void SqlStatementBuilder::addParameter(const QString &name, const QVariant &value, qint32 typeCode, qint32 size)
{
    m_parameters.append({name, value, typeCode, size});
}

QList<host::ProcedureParameter> SqlStatementBuilder::parameters() const
{
    return m_parameters;
}

QString SqlStatementBuilder::whereClause() const
{
    if (m_where.isEmpty())
        return {};
    if (m_where.startsWith(QLatin1String("WHERE"), Qt::CaseInsensitive))
        return m_where;
    return QStringLiteral("WHERE ") + m_where;
}

QString SqlStatementBuilder::build(qint32 kind) const
{
    if (m_table.isEmpty())
        throw Failure(QStringLiteral("The statement has no table"));
    const QString target = m_extra.isEmpty() ? m_table : m_table + QLatin1Char(' ') + m_extra;
    QStringList names;
    QStringList assignments;
    QStringList literals;
    for (const auto &[name, literal] : m_columns) {
        names << name;
        literals << literal;
        assignments << name + QStringLiteral(" = ") + literal;
    }
    const QString where = whereClause();
    switch (kind) {
    case host::skInsert:
        if (m_columns.isEmpty())
            throw Failure(QStringLiteral("INSERT into %1 without columns").arg(m_table));
        return QStringLiteral("INSERT INTO ") + target + QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
               QLatin1Char(')') + kClauseSeparator + QStringLiteral("VALUES (") + literals.join(QStringLiteral(", ")) +
               QLatin1Char(')');
    case host::skUpdate:
        if (m_columns.isEmpty())
            throw Failure(QStringLiteral("UPDATE of %1 without columns").arg(m_table));
        if (where.isEmpty())
            throw Failure(QStringLiteral("UPDATE of %1 without a WHERE clause refused").arg(m_table));
        return QStringLiteral("UPDATE ") + target + kClauseSeparator + QStringLiteral("SET ") +
               assignments.join(QStringLiteral(", ")) + kClauseSeparator + where;
    case host::skDelete:
        if (where.isEmpty())
            throw Failure(QStringLiteral("DELETE from %1 without a WHERE clause refused").arg(m_table));
        return QStringLiteral("DELETE FROM ") + target + kClauseSeparator + where;
    default:
        throw Failure(QStringLiteral("Unknown statement kind %1").arg(kind));
    }
}

} // namespace mrv::suite::db
