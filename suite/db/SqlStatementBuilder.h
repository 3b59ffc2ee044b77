#pragma once

#include "host/StatementBuilder.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QVariantList>

#include <optional>

namespace mrv::host {
class ValueTools;
}

namespace mrv::suite::db {

// A built INSERT or UPDATE with its values apart ("?" in the text): the same
// shape comes again and again with other values, and the connection runs it
// prepared rather than translating and planning each text anew.
struct StatementShape
{
    QString text;
    QVariantList values;
};

// The shapes of the statements built lately, by the text built: the caller
// hands the text to the connection, which looks its shape up there.
class BuiltShapes
{
public:
    void remember(const QString &built, StatementShape shape);
    std::optional<StatementShape> take(const QString &sql);

private:
    QList<QPair<QString, StatementShape>> m_recent; // newest last
};

// Builds INSERT/UPDATE/DELETE texts of the suite's dialect, clauses
// separated by CR. UPDATE and DELETE without a WHERE clause are refused: a
// forgotten clause must not rewrite or empty a whole table.
class SqlStatementBuilder : public host::StatementBuilder
{
public:
    explicit SqlStatementBuilder(const host::ValueTools &values, BuiltShapes *shapes = nullptr);

    void initialize(const QString &table, const QString &extraClause = QString()) override;
    void addColumn(const QString &name, const QVariant &value, qint32 typeCode) override;
    void setWhere(const QString &clause) override;
    void addParameter(const QString &name, const QVariant &value, qint32 typeCode, qint32 size = 0) override;
    QList<host::ProcedureParameter> parameters() const override;
    QString build(qint32 kind) const override;

private:
    QString buildText(qint32 kind) const;
    QString whereClause() const;
    QString target() const;
    std::optional<StatementShape> shapeOf(qint32 kind) const;

    const host::ValueTools &m_values;
    BuiltShapes *m_shapes;
    QString m_table;
    QString m_extra;
    QString m_where;
    QList<QPair<QString, QString>> m_columns; // name, literal
    QHash<QString, qsizetype> m_columnIndex;  // upper-case name -> position in m_columns
    QList<host::ProcedureParameter> m_parameters;
};

} // namespace mrv::suite::db
