#pragma once

#include <QString>
#include <QVariant>

namespace mrv::host {

// The host's value tools: one global object, installed by the host before
// the component is used (see installValueTools).
class ValueTools
{
public:
    virtual ~ValueTools() = default;

    // The value as an SQL literal of the suite's dialect for the type code:
    // numbers bare, texts quoted with doubled quotes, Booleans 1/0, dates as
    // quoted ISO text, Null (or code tcNull) as NULL.
    virtual QString sqlLiteral(const QVariant &value, qint32 typeCode) const = 0;

    // A field value with Null replaced by the empty value of its kind.
    virtual QVariant nullSafe(const QVariant &value) const = 0;

    // Conversions with the platform's rules: numeric texts convert, "True" and
    // "False" convert, anything else is an error (Failure).
    virtual double toNumber(const QVariant &value) const = 0;
    virtual bool toBoolean(const QVariant &value) const = 0;
    virtual bool isNumeric(const QVariant &value) const = 0;

    // The address validator: a single well-formed e-mail address
    // (local@domain, no blanks, no list separators).
    virtual bool isEmailAddress(const QString &text) const = 0;
    // The test for a fax or telephone number: digits, optionally with a
    // leading "+" and blanks, "-", "/", ".", "(" and ")" between them.
    virtual bool isPhoneNumber(const QString &text) const = 0;

    // The text with every character that a file name cannot hold replaced.
    virtual QString cleanFileName(const QString &text) const = 0;
};

} // namespace mrv::host
