#pragma once

#include "host/StatementBuilder.h"

#include <QHash>
#include <QList>
#include <QPair>

namespace mrv::host {
class ValueTools;
}

namespace mrv::suite::db {

// Builds INSERT/UPDATE/DELETE texts of the suite's dialect, clauses
// separated by CR. UPDATE and DELETE without a WHERE clause are refused: a
// forgotten clause must not rewrite or empty a whole table.
class SqlStatementBuilder : public host::StatementBuilder
{
public:
    explicit SqlStatementBuilder(const host::ValueTools &values);

    void initialize(const QString &table, const QString &extraClause = QString()) override;
    void addColumn(const QString &name, const QVariant &value, qint32 typeCode) override;
    void setWhere(const QString &clause) override;
    void addParameter(const QString &name, const QVariant &value, qint32 typeCode, qint32 size = 0) override;
    QList<host::ProcedureParameter> parameters() const override;
    QString build(qint32 kind) const override;

private:
    QString whereClause() const;

    const host::ValueTools &m_values;
    QString m_table;
    QString m_extra;
    QString m_where;
    QList<QPair<QString, QString>> m_columns; // name, literal
    QHash<QString, qsizetype> m_columnIndex;  // upper-case name -> position in m_columns
    QList<host::ProcedureParameter> m_parameters;
};

} // namespace mrv::suite::db
