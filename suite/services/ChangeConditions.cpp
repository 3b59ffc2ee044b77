#include "ChangeConditions.h"

#include "db/SqlTokenizer.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "notifications/clsSYS_NTF.h"

#include <optional>

namespace mrv::suite {

namespace {

enum ImplicitChecks : qint16 { icIgnore = 0, icIfActive = 1, icAlways = 2 };

std::optional<double> numberOf(const QVariant &value)
{
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// -1, 0 or 1; numbers as numbers, the rest as text.
int order(const QVariant &left, const QVariant &right)
{
    const auto a = numberOf(left);
    const auto b = numberOf(right);
    if (a && b)
        return *a < *b ? -1 : *a > *b ? 1 : 0;
    const int compared = left.toString().compare(right.toString(), Qt::CaseInsensitive);
    return compared < 0 ? -1 : compared > 0 ? 1 : 0;
}

bool compare(const QVariant &left, const QString &op, const QVariant &right)
{
    if (left.isNull() || right.isNull())
        return false;
    const int sign = order(left, right);
    if (op == QLatin1String("="))
        return sign == 0;
    if (op == QLatin1String(">"))
        return sign > 0;
    if (op == QLatin1String("<"))
        return sign < 0;
    if (op == QLatin1String(">="))
        return sign >= 0;
    if (op == QLatin1String("<="))
        return sign <= 0;
    throw Failure(QStringLiteral("unknown operator \"%1\"").arg(op));
}

class Evaluation
{
public:
    Evaluation(const clsSYS_NTF &notification, const ChangedRow &row, const QueryValue &queryValue,
               ConditionResults *results)
        : m_notification(notification), m_row(row), m_queryValue(queryValue), m_results(results)
    {}

    bool holds(const clsSYS_NTC &condition, bool active, int depth) const
    {
        if (depth > m_notification.ConditionCount())
            throw Failure(QStringLiteral("condition %1 refers to itself through its relations").arg(condition.ID()));
        const bool result = (condition.isRelation() ? relationHolds(condition, depth)
                                                    : comparisonHolds(condition, active)) != condition.Reversed();
        if (m_results)
            m_results->insert(condition.ID(), result);
        return result;
    }

private:
    bool relationHolds(const clsSYS_NTC &relation, int depth) const
    {
        const bool first = holds(referred(relation, relation.Op1()), false, depth + 1);
        if (relation.Operator().compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0)
            return first && holds(referred(relation, relation.Op2()), false, depth + 1);
        if (relation.Operator().compare(QLatin1String("OR"), Qt::CaseInsensitive) == 0)
            return first || holds(referred(relation, relation.Op2()), false, depth + 1);
        throw Failure(QStringLiteral("unknown relation \"%1\"").arg(relation.Operator()));
    }

    const clsSYS_NTC &referred(const clsSYS_NTC &relation, const QString &operand) const
    {
        const auto condition = m_notification.Condition(operand.toInt());
        if (!condition)
            throw Failure(QStringLiteral("condition %1 refers to condition %2, which does not exist")
                              .arg(relation.ID())
                              .arg(operand));
        return *condition;
    }

    bool comparisonHolds(const clsSYS_NTC &condition, bool active) const
    {
        const bool now = compare(operand(condition.Op1Type(), condition.Op1(), m_row.values), condition.Operator(),
                                 operand(condition.Op2Type(), condition.Op2(), m_row.values));
        const qint16 checks = condition.ImplicitChecks();
        const bool checked = checks == icAlways || (checks == icIfActive && active);
        if (!now || !checked || m_row.kind != 2)
            return now;
        return !compare(operand(condition.Op1Type(), condition.Op1(), m_row.previous), condition.Operator(),
                        operand(condition.Op2Type(), condition.Op2(), m_row.previous));
    }

    QVariant operand(qint32 type, const QString &text, const QVariantMap &row) const
    {
        switch (type) {
        case notValue:
            return text;
        case notField:
            return field(row, text);
        case notQuery:
            return m_queryValue(queryWithFields(text, row));
        case notFieldBefore:
            return m_row.kind == 2 ? field(m_row.previous, text) : QVariant();
        default:
            throw Failure(QStringLiteral("operand \"%1\" of type %2 cannot be compared").arg(text).arg(type));
        }
    }

    static QVariant field(const QVariantMap &row, const QString &name)
    {
        const auto found = row.constFind(name.trimmed().toUpper());
        if (found == row.constEnd())
            throw Failure(QStringLiteral("the table has no field \"%1\"").arg(name));
        return *found;
    }

    const clsSYS_NTF &m_notification;
    const ChangedRow &m_row;
    const QueryValue &m_queryValue;
    ConditionResults *m_results;
};

} // namespace

QString queryWithFields(const QString &query, const QVariantMap &row)
{
    const db::SqlValueTools values;
    QString result;
    for (const db::SqlToken &token : db::tokenizeSql(query)) {
        const bool variable = token.kind == db::SqlToken::Kind::Identifier && token.text.startsWith(u'@') &&
                              !token.text.startsWith(QLatin1String("@@"));
        const auto field = variable ? row.constFind(token.text.mid(1).toUpper()) : row.constEnd();
        result +=
            field == row.constEnd() ? token.text : values.sqlLiteral(*field, db::SuiteConnection::typeCodeOf(*field));
    }
    return result;
}

bool conditionsHold(const clsSYS_NTF &notification, const ChangedRow &row, const QueryValue &queryValue,
                    ConditionResults *results)
{
    const Evaluation evaluation(notification, row, queryValue, results);
    for (const auto &condition : notification.activeConditions()) {
        if (!evaluation.holds(*condition, true, 0))
            return false;
    }
    return true;
}

} // namespace mrv::suite
