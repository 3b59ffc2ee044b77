#pragma once

#include <QSet>
#include <QString>

namespace mrv {

class clsSYS_NTF;

// Operand types of a condition (NCV1T, NCV2T).
enum NotificationOperandType : qint32 {
    notValue = 0,
    notField = 1,
    notQuery = 2,
    notCondition = 3,   // the ID of another condition of the notification
    notFieldBefore = 4, // a field's value before the update
};

// One condition of a notification on a table (a row of SYS_NTC): a
// comparison of two operands, or a relation (AND, OR) between two other
// conditions of the same notification named by their IDs. Members are
// declared in the order of the condition's slots.
class clsSYS_NTC
{
public:
    // The notification the condition was added to; null before, and after
    // the notification removed it or was destroyed.
    clsSYS_NTF *Notification() const { return m_notification; }

    // Negative while the condition is not stored. The let is ignored once
    // the ID is 1 or more; replacing a temporary ID rewrites the relations
    // of the notification that pointed at it.
    qint32 ID() const { return m_id; }
    void setID(qint32 id);

    // A label (A, B, ...) given when the condition is added; not stored.
    QString Key() const { return m_key; }
    void setKey(const QString &key) { m_key = key; }

    QString Description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    // 0 "Ignora", 1 "Esegui se attiva", 2 "Esegui sempre".
    qint16 ImplicitChecks() const { return m_implicitChecks; }
    void setImplicitChecks(qint16 checks) { m_implicitChecks = checks; }

    bool Reversed() const { return m_reversed; }
    void setReversed(bool reversed) { m_reversed = reversed; }

    QString Op1() const { return m_op1; }
    void setOp1(const QString &operand) { m_op1 = operand; }
    QString Op2() const { return m_op2; }
    void setOp2(const QString &operand) { m_op2 = operand; }
    qint32 Op1Type() const { return m_op1Type; }
    void setOp1Type(qint32 type) { m_op1Type = type; }
    qint32 Op2Type() const { return m_op2Type; }
    void setOp2Type(qint32 type) { m_op2Type = type; }
    QString Operator() const { return m_operator; }
    void setOperator(const QString &op) { m_operator = op; }
    bool Selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }

    // A relation is shown as "(" first " " operator " " second ")", each
    // side the referred condition's own formula ("?" when it is missing);
    // any other condition as its key (ShowKeys, when it has one) or its ID.
    // Level is 1 for a comparison, one more than the deeper side for a
    // relation.
    QString Formula(bool ShowKeys, qint32 &Level) const;
    qint32 Level() const;

    // Whether this is a relation between two conditions.
    bool isRelation() const { return m_op1Type == notCondition && m_op2Type == notCondition; }

private:
    friend class clsSYS_NTF;

    // Only AddCondition attaches a condition: the back-reference, then the
    // ID and the key through their lets. Returns the resulting ID.
    qint32 attach(clsSYS_NTF *notification, qint32 id, const QString &key);
    void detach() { m_notification = nullptr; }
    QString formula(bool showKeys, qint32 &level, QSet<const clsSYS_NTC *> &path) const;
    QString sideOf(const QString &operand, bool showKeys, qint32 &level, QSet<const clsSYS_NTC *> &path) const;

    clsSYS_NTF *m_notification = nullptr;
    qint32 m_id = 0;
    QString m_key;
    QString m_description;
    qint16 m_implicitChecks = 0;
    bool m_reversed = false;
    QString m_op1;
    QString m_op2;
    qint32 m_op1Type = notValue;
    qint32 m_op2Type = notValue;
    QString m_operator = QStringLiteral("=");
    bool m_selected = false;
};

} // namespace mrv
