#include "clsSYS_NTF.h"

#include "NotificationBatch.h"
#include "facade/Guard.h"

#include <algorithm>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("clsSYS_NTF");

// A longer key ranks above a shorter one; keys of one length compare as text.
bool keyBefore(const QString &a, const QString &b)
{
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// "A" after none; the last letter advanced, a "Z" turning to "A" and
// carrying into the letter before; all "Z" gives one letter more.
QString keyAfter(QString key)
{
    for (qsizetype i = key.size() - 1; i >= 0; --i) {
        if (key.at(i) != u'Z') {
            key[i] = QChar(key.at(i).unicode() + 1);
            return key;
        }
        key[i] = u'A';
    }
    return u'A' + key;
}

} // namespace

clsSYS_NTF::clsSYS_NTF(std::shared_ptr<host::Errors> errors) : m_errors(std::move(errors)) {}

clsSYS_NTF::~clsSYS_NTF()
{
    Clear();
}

void clsSYS_NTF::setID(qint32 id)
{
    if (m_id < 1)
        m_id = id;
}

std::shared_ptr<clsSYS_NTC> clsSYS_NTF::Condition(qint32 ID) const
{
    const auto found = std::find_if(m_conditions.cbegin(), m_conditions.cend(),
                                    [ID](const auto &condition) { return condition->ID() == ID; });
    return found == m_conditions.cend() ? nullptr : *found;
}

std::shared_ptr<clsSYS_NTC> clsSYS_NTF::ConditionFromKey(const QString &Key) const
{
    const auto found = std::find_if(m_conditions.cbegin(), m_conditions.cend(),
                                    [&Key](const auto &condition) { return condition->Key() == Key; });
    return found == m_conditions.cend() ? nullptr : *found;
}

qint32 clsSYS_NTF::nextTemporaryId() const
{
    qint32 lowest = 0;
    for (const auto &condition : m_conditions)
        lowest = std::min(lowest, condition->ID());
    return lowest - 1;
}

QString clsSYS_NTF::nextKey() const
{
    QString greatest;
    for (const auto &condition : m_conditions) {
        if (keyBefore(greatest, condition->Key()))
            greatest = condition->Key();
    }
    return greatest.isEmpty() ? QStringLiteral("A") : keyAfter(greatest);
}

bool clsSYS_NTF::AddCondition(std::shared_ptr<clsSYS_NTC> Condition)
{
    return guarded(m_errors.get(), kObjectName, "AddCondition", false, [&] {
        if (!Condition)
            throw Failure(QStringLiteral("No condition to add"));
        Condition->attach(this, nextTemporaryId(), nextKey());
        m_conditions.append(std::move(Condition));
        return true;
    });
}

bool clsSYS_NTF::RemoveCondition(qint32 ID)
{
    const auto found = std::find_if(m_conditions.begin(), m_conditions.end(),
                                    [ID](const auto &condition) { return condition->ID() == ID; });
    if (found == m_conditions.end())
        return false;
    (*found)->detach();
    m_conditions.erase(found);
    return true;
}

void clsSYS_NTF::Clear()
{
    for (const auto &condition : std::as_const(m_conditions))
        condition->detach();
    m_conditions.clear();
}

QString clsSYS_NTF::ParseQuery(const QString &Query, qint32 ID, const QString &CompanyCode, bool DeleteResults)
{
    return guarded(m_errors.get(), kObjectName, "ParseQuery", QString(),
                   [&] { return notifications::notificationBatch(Query, ID, CompanyCode, DeleteResults); });
}

QStringList clsSYS_NTF::SearchCfgPars(const QString &Query, QStringList *Found)
{
    QStringList found = Found ? *Found : QStringList();
    if (!guardedVoid(m_errors.get(), kObjectName, "SearchCfgPars",
                     [&] { notifications::collectParameterReferences(Query, found); }))
        return {};
    if (Found)
        *Found = found;
    return found;
}

bool clsSYS_NTF::isMissingReference(const clsSYS_NTC &condition, qint32 operand) const
{
    const qint32 type = operand == 1 ? condition.Op1Type() : condition.Op2Type();
    const QString text = operand == 1 ? condition.Op1() : condition.Op2();
    return type == notCondition && !text.isEmpty() && !Condition(text.toInt());
}

clsSYS_NTF::Conditions clsSYS_NTF::activeConditions() const
{
    Conditions active;
    for (const auto &condition : m_conditions) {
        if (condition->Selected() && !isMissingReference(*condition, 1) && !isMissingReference(*condition, 2))
            active << condition;
    }
    return active;
}

} // namespace mrv
