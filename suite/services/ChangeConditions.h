#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace mrv {
class clsSYS_NTC;
class clsSYS_NTF;
} // namespace mrv

namespace mrv::suite {

// A row of a watched table as one change left it: its columns after the
// change (an insert or update) or before it (a delete) in `values`, and
// before an update in `previous`. Column names are upper case.
struct ChangedRow
{
    int kind = 1; // NLEXE: 1 insert, 2 update, 3 delete
    QVariantMap values;
    QVariantMap previous;
};

// The first column of the first row of a query, Null when it has none.
using QueryValue = std::function<QVariant(const QString &query)>;

// What each condition evaluated gave, Reversed applied, by its ID.
using ConditionResults = QHash<qint32, bool>;

// Whether the active conditions of a notification on a table all hold for a
// changed row. An operand is a value, a field of the row (type 1), the
// first value of a query (type 2, where "@FIELD" outside literals and
// comments stands for the row's field as a literal), or a field's value before an update
// (type 4, Null for a row inserted or deleted); a relation (type 3 on both
// sides) joins the conditions it names with AND or OR, whether they are
// selected or not. A comparison with Null never holds; two numbers compare
// as numbers, anything else as text without regard to case. Reversed
// negates the result, implicit checks included.
//
// Implicit checks concern updates: a comparison then holds only when it did
// not already hold for the row before the update, so that a rule fires when
// a row comes to match it and not on every later change of a matching row.
// 0 never checks, 1 checks a condition evaluated as an active condition
// itself, 2 also one reached through a relation.
//
// Evaluation stops at the first active condition that does not hold, and a
// relation at its first side when that decides it; `results` gets every
// condition that was evaluated.
//
// Throws Failure for a condition that cannot be evaluated: a field the row
// does not have, a relation naming a missing condition or going round in a
// circle, an unknown operator, a query that fails.
bool conditionsHold(const clsSYS_NTF &notification, const ChangedRow &row, const QueryValue &queryValue,
                    ConditionResults *results = nullptr);

// A query operand with the row's fields in it: each "@NAME" token naming a
// field becomes that field's value as a literal; other tokens stay.
QString queryWithFields(const QString &query, const QVariantMap &row);

} // namespace mrv::suite
