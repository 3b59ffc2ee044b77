#include "clsSYS_NTC.h"
#include "clsSYS_NTF.h"

#include "facade/Guard.h"

#include <algorithm>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("clsSYS_NTC");

} // namespace

void clsSYS_NTC::setID(qint32 id)
{
    if (m_id >= 1)
        return;
    const qint32 old = m_id;
    m_id = id;
    if (old >= 0 || !m_notification)
        return;
    // Relations name conditions by ID: keep those that named the temporary one.
    const QString oldText = QString::number(old);
    const QString newText = QString::number(id);
    for (const auto &condition : m_notification->NewEnum()) {
        if (condition->Op1Type() == notCondition && condition->Op1() == oldText)
            condition->setOp1(newText);
        if (condition->Op2Type() == notCondition && condition->Op2() == oldText)
            condition->setOp2(newText);
    }
}

qint32 clsSYS_NTC::attach(clsSYS_NTF *notification, qint32 id, const QString &key)
{
    m_notification = notification;
    setID(id);
    setKey(key);
    return m_id;
}

QString clsSYS_NTC::Formula(bool ShowKeys, qint32 &Level) const
{
    Level = 1;
    QSet<const clsSYS_NTC *> path;
    return guarded(m_notification ? m_notification->errors().get() : nullptr, kObjectName, "Formula", QString(),
                   [&] { return formula(ShowKeys, Level, path); });
}

qint32 clsSYS_NTC::Level() const
{
    qint32 level = 1;
    Formula(false, level);
    return level;
}

// `path` holds the relations being expanded: a relation that reaches itself
// again through its sides has no formula.
QString clsSYS_NTC::formula(bool showKeys, qint32 &level, QSet<const clsSYS_NTC *> &path) const
{
    level = 1;
    if (!isRelation())
        return showKeys && !m_key.isEmpty() ? m_key : QString::number(m_id);
    if (path.contains(this))
        throw Failure(QStringLiteral("The condition %1 is part of its own relation").arg(m_id));
    path.insert(this);
    qint32 firstLevel = 0;
    qint32 secondLevel = 0;
    const QString first = sideOf(m_op1, showKeys, firstLevel, path);
    const QString second = sideOf(m_op2, showKeys, secondLevel, path);
    path.remove(this);
    level = std::max(firstLevel, secondLevel) + 1;
    return u'(' + first + u' ' + m_operator + u' ' + second + u')';
}

QString clsSYS_NTC::sideOf(const QString &operand, bool showKeys, qint32 &level, QSet<const clsSYS_NTC *> &path) const
{
    const auto referred = m_notification ? m_notification->Condition(operand.toInt()) : nullptr;
    return referred ? referred->formula(showKeys, level, path) : QStringLiteral("?");
}

} // namespace mrv
