#include "SqlStatementBuilder.h"

#include "host/Failure.h"
#include "host/ValueTools.h"

#include <QRegularExpression>
#include <QStringList>

namespace mrv::suite::db {

namespace {

const QChar kClauseSeparator(13);
// Statements are built and executed one at a time; a few cover a caller
// that builds two before running them.
constexpr qsizetype kShapesKept = 4;

// The value a literal of the value formatter stands for, bound as the
// engine would have read the literal; none for a decimal, which the
// column's own type converts, and so stays written.
std::optional<QVariant> boundValue(const QString &literal)
{
    if (literal == QLatin1String("NULL"))
        return QVariant(QMetaType::fromType<QString>());
    if (literal.size() >= 2 && literal.startsWith(u'\'') && literal.endsWith(u'\'')) {
        QString text = literal.mid(1, literal.size() - 2);
        return text.contains(u'\'') ? text.replace(QStringLiteral("''"), QStringLiteral("'")) : text;
    }
    bool integral = false;
    const qint64 number = literal.toLongLong(&integral);
    return integral ? std::optional<QVariant>(number) : std::nullopt;
}

// "WHERE NAME = 123", a row by its key: the key becomes a value too.
std::optional<QPair<QString, qint64>> whereByKey(const QString &where)
{
    static const QRegularExpression byKey(QStringLiteral("^(WHERE\\s+\\w+\\s*=\\s*)(-?\\d{1,18})$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = byKey.match(where);
    if (!match.hasMatch())
        return std::nullopt;
    return QPair<QString, qint64>(match.captured(1) + u'?', match.captured(2).toLongLong());
}

} // namespace

void BuiltShapes::remember(const QString &built, StatementShape shape)
{
    if (m_recent.size() >= kShapesKept)
        m_recent.removeFirst();
    m_recent.append({built, std::move(shape)});
}

std::optional<StatementShape> BuiltShapes::take(const QString &sql)
{
    for (qsizetype i = m_recent.size() - 1; i >= 0; --i) {
        if (m_recent.at(i).first == sql)
            return m_recent.takeAt(i).second;
    }
    return std::nullopt;
}

SqlStatementBuilder::SqlStatementBuilder(const host::ValueTools &values, BuiltShapes *shapes)
    : m_values(values), m_shapes(shapes)
{}

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

QString SqlStatementBuilder::target() const
{
    return m_extra.isEmpty() ? m_table : m_table + QLatin1Char(' ') + m_extra;
}

std::optional<StatementShape> SqlStatementBuilder::shapeOf(qint32 kind) const
{
    StatementShape shape;
    shape.values.reserve(m_columns.size() + 1);
    QStringList names;
    for (const auto &[name, literal] : m_columns) {
        const std::optional<QVariant> value = boundValue(literal);
        if (!value)
            return std::nullopt;
        shape.values << *value;
        names << name;
    }
    if (kind == host::skInsert) {
        QStringList marks;
        marks.fill(QStringLiteral("?"), names.size());
        shape.text = QStringLiteral("INSERT INTO ") + target() + QStringLiteral(" (") +
                     names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                     marks.join(QStringLiteral(", ")) + u')';
        return shape;
    }
    QStringList assignments;
    for (const QString &name : std::as_const(names))
        assignments << name + QStringLiteral(" = ?");
    QString where = whereClause();
    if (const auto byKey = whereByKey(where)) {
        where = byKey->first;
        shape.values << byKey->second;
    }
    shape.text = QStringLiteral("UPDATE ") + target() + QStringLiteral(" SET ") +
                 assignments.join(QStringLiteral(", ")) + u' ' + where;
    return shape;
}

QString SqlStatementBuilder::build(qint32 kind) const
{
    const QString built = buildText(kind);
    if (m_shapes && (kind == host::skInsert || kind == host::skUpdate)) {
        if (std::optional<StatementShape> shape = shapeOf(kind))
            m_shapes->remember(built, std::move(*shape));
    }
    return built;
}

QString SqlStatementBuilder::buildText(qint32 kind) const
{
    if (m_table.isEmpty())
        throw Failure(QStringLiteral("The statement has no table"));
    const QString target = this->target();
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
