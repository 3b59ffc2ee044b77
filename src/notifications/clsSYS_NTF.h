#pragma once

#include "clsSYS_NTC.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace mrv {

namespace host {
class Errors;
}

// A notification with its conditions, in memory: what the notification
// editor edits and stores, and what the notification server loads to
// evaluate. Members are declared in the order of the notification's slots.
// The notification owns its conditions; each keeps only a back-reference.
//
// Keys of conditions run A..Z, AA..ZZ, then AAA and on, as column letters
// do: the greatest key with its last letter advanced, carrying over Z.
class clsSYS_NTF
{
public:
    using Conditions = QList<std::shared_ptr<clsSYS_NTC>>;

    explicit clsSYS_NTF(std::shared_ptr<host::Errors> errors = {});
    ~clsSYS_NTF();
    clsSYS_NTF(const clsSYS_NTF &) = delete;
    clsSYS_NTF &operator=(const clsSYS_NTF &) = delete;

    // The conditions in the order they were added.
    const Conditions &NewEnum() const { return m_conditions; }

    // The notification's RECORD_ID, 0 until set; set once.
    qint32 ID() const { return m_id; }
    void setID(qint32 id);

    // NTEXE: 1 insert, 2 update, 3 delete.
    qint32 ExecutionStatus() const { return m_executionStatus; }
    void setExecutionStatus(qint32 status) { m_executionStatus = status; }

    // The first condition with that ID or key (exact text), or null.
    std::shared_ptr<clsSYS_NTC> Condition(qint32 ID) const;
    std::shared_ptr<clsSYS_NTC> ConditionFromKey(const QString &Key) const;
    qint32 ConditionCount() const { return qint32(m_conditions.size()); }

    // Appends the condition with a new temporary ID (below every other, so
    // -1, -2, ...) unless it is already stored, and the next key.
    bool AddCondition(std::shared_ptr<clsSYS_NTC> Condition);
    // False when no condition has that ID. Relations that point at it keep
    // pointing at it and show "?" there.
    bool RemoveCondition(qint32 ID);
    void Clear();

    // The batch the notification server runs for a generic notification
    // (NotificationBatch.h); empty, with the reason reported, when the
    // query cannot be made into one.
    QString ParseQuery(const QString &Query, qint32 ID, const QString &CompanyCode, bool DeleteResults);
    // The parameter references of a text ("@SYS_NTG_" + ID), added to
    // Found when given; the list is returned either way. A reference
    // without its "@]" is reported, gives an empty list and leaves Found
    // as it was.
    QStringList SearchCfgPars(const QString &Query, QStringList *Found = nullptr);

    // The conditions that run: selected, and with no relation pointing at
    // a missing condition.
    Conditions activeConditions() const;
    // Whether one side of a relation names no condition of this
    // notification (it is shown as "?").
    bool isMissingReference(const clsSYS_NTC &condition, qint32 operand) const;

    std::shared_ptr<host::Errors> errors() const { return m_errors; }

private:
    QString nextKey() const;
    qint32 nextTemporaryId() const;

    std::shared_ptr<host::Errors> m_errors;
    Conditions m_conditions;
    qint32 m_id = 0;
    qint32 m_executionStatus = 1;
};

} // namespace mrv
