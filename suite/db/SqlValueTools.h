#pragma once

#include "host/ValueTools.h"

namespace mrv::suite::db {

// The suite's value tools. Literals are written in the suite's dialect:
// numbers bare with a '.' decimal point, texts in single quotes with quotes
// doubled, Booleans 1/0, dates as 'yyyy-MM-dd HH:mm:ss', Null as NULL.
// Conversions follow the platform's lenient rules: Null and empty text are 0
// and False, numeric text converts, "True"/"False" convert.
class SqlValueTools : public host::ValueTools
{
public:
    QString sqlLiteral(const QVariant &value, qint32 typeCode) const override;
    QVariant nullSafe(const QVariant &value) const override;
    double toNumber(const QVariant &value) const override;
    bool toBoolean(const QVariant &value) const override;
    bool isNumeric(const QVariant &value) const override;
    bool isEmailAddress(const QString &text) const override;
    bool isPhoneNumber(const QString &text) const override;
    QString cleanFileName(const QString &text) const override;

    static QString quoted(const QString &text);
    static QString dateTimeText(const QDateTime &value);
};

} // namespace mrv::suite::db
