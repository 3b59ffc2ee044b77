#pragma once

#include "TypeCodes.h"

#include <QString>
#include <QVariant>

namespace mrv::host {

// A named parameter of a procedure call, as added by StatementBuilder::addParameter.
struct ProcedureParameter
{
    QString name;
    QVariant value;
    qint32 typeCode = tcText;
    qint32 size = 0;
};

// Builds one INSERT, UPDATE or DELETE column by column; every value goes
// through the value formatter. A new builder is made for every statement.
class StatementBuilder
{
public:
    virtual ~StatementBuilder() = default;

    virtual void initialize(const QString &table, const QString &extraClause = QString()) = 0;
    virtual void addColumn(const QString &name, const QVariant &value, qint32 typeCode) = 0;
    virtual void setWhere(const QString &clause) = 0;
    virtual void addParameter(const QString &name, const QVariant &value, qint32 typeCode, qint32 size = 0) = 0;
    virtual QList<ProcedureParameter> parameters() const = 0;

    // kind: skInsert, skUpdate or skDelete. Throws Failure for any other kind
    // or when the statement would be empty.
    virtual QString build(qint32 kind) const = 0;
};

} // namespace mrv::host
