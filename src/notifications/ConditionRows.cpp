#include "ConditionRows.h"

#include "FieldValues.h"
#include "clsSYS_NTF.h"
#include "facade/Types.h"
#include "host/Connection.h"
#include "messages/MessageStore.h"

namespace mrv::notifications {

namespace {

const QString kTable = QStringLiteral("SYS_NTC");
const QChar kCR(13);

std::shared_ptr<clsSYS_NTC> conditionOf(const host::RecordSet &row)
{
    auto condition = std::make_shared<clsSYS_NTC>();
    condition->setID(integerOf(row.field(QStringLiteral("RECORD_ID"))));
    condition->setDescription(textOf(row.field(QStringLiteral("NCDES"))));
    condition->setImplicitChecks(qint16(integerOf(row.field(QStringLiteral("NCIMP")))));
    condition->setReversed(booleanOf(row.field(QStringLiteral("NCNOT"))));
    condition->setOp1(textOf(row.field(QStringLiteral("NCV1C"))));
    condition->setOp2(textOf(row.field(QStringLiteral("NCV2C"))));
    condition->setOp1Type(integerOf(row.field(QStringLiteral("NCV1T"))));
    condition->setOp2Type(integerOf(row.field(QStringLiteral("NCV2T"))));
    condition->setOperator(textOf(row.field(QStringLiteral("NCOPE"))));
    condition->setSelected(booleanOf(row.field(QStringLiteral("NCSEL"))));
    return condition;
}

// The second operand and the operator go in only when there is a first one.
QList<ColumnValue> rowOf(const clsSYS_NTC &condition, qint32 notificationKey)
{
    const bool compared = !condition.Op1().isEmpty();
    return {
        {QStringLiteral("IDNTF"), notificationKey, host::tcInt32},
        {QStringLiteral("NCSEL"), condition.Selected(), host::tcBoolean},
        {QStringLiteral("NCDES"), condition.Description(), host::tcShortText},
        {QStringLiteral("NCIMP"), condition.ImplicitChecks(), host::tcInt16},
        {QStringLiteral("NCNOT"), condition.Reversed(), host::tcBoolean},
        {QStringLiteral("NCV1C"), condition.Op1(), host::tcText},
        {QStringLiteral("NCV1T"), condition.Op1Type(), host::tcInt32},
        {QStringLiteral("NCOPE"), compared ? QVariant(condition.Operator()) : mrv::null(), host::tcShortText},
        {QStringLiteral("NCV2C"), compared ? QVariant(condition.Op2()) : mrv::null(), host::tcText},
        {QStringLiteral("NCV2T"), compared ? QVariant(condition.Op2Type()) : mrv::null(), host::tcInt32},
        {QStringLiteral("NCVAL"), false, host::tcBoolean},
        {QStringLiteral("NCLEV"), condition.Level(), host::tcInt16},
    };
}

void deleteOtherRows(host::Connection &connection, const QStringList &kept, const QString &ofNotification)
{
    auto statement = connection.newStatement();
    statement->initialize(kTable);
    statement->setWhere(kept.isEmpty() ? QStringLiteral("WHERE ") + ofNotification
                                       : QStringLiteral("WHERE RECORD_ID NOT IN (") + kept.join(QStringLiteral(", ")) +
                                             QStringLiteral(") AND ") + ofNotification);
    connection.execute(statement->build(host::skDelete));
}

} // namespace

void loadConditions(host::Connection &connection, clsSYS_NTF &notification, qint32 notificationKey)
{
    auto rows =
        connection.open(QStringLiteral("SELECT * FROM SYS_NTC WHERE IDNTF = ") + numberLiteral(notificationKey) + kCR +
                        QStringLiteral("ORDER BY NCLEV, NCV1T, NCV2T, NCDES"));
    for (; !rows->eof(); rows->moveNext())
        notification.AddCondition(conditionOf(*rows));
    rows->close();
}

void saveConditions(host::Connection &connection, host::ConfigClass *config, clsSYS_NTF &notification,
                    qint32 notificationKey)
{
    MessageStore store(connection, config);
    const QString ofNotification = QStringLiteral("IDNTF = ") + numberLiteral(notificationKey);
    QStringList written;
    for (const auto &condition : notification.NewEnum()) {
        const QList<ColumnValue> row = rowOf(*condition, notificationKey);
        if (condition->ID() < 1)
            condition->setID(store.insertColumns(kTable, row, ofNotification));
        else
            store.updateColumns(kTable, condition->ID(), row);
        written << QString::number(condition->ID());
    }
    deleteOtherRows(connection, written, ofNotification);
}

} // namespace mrv::notifications
