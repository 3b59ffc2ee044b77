#pragma once

#include "Failure.h"

#include <QString>
#include <QVariant>

namespace mrv::host {

// A cursor over the rows of a query. Fields are addressed by name without
// regard to case. Reading a field past the end, or a name the query does not
// return, throws Failure, as does writing to a read-only set.
class RecordSet
{
public:
    virtual ~RecordSet() = default;

    virtual bool eof() const = 0;
    virtual void moveNext() = 0;

    virtual qint32 fieldCount() const = 0;
    virtual QString fieldName(qint32 index) const = 0;
    virtual bool hasField(const QString &name) const = 0;
    virtual QVariant field(const QString &name) const = 0;
    virtual QVariant field(qint32 index) const = 0;

    // Updatable sets only: the new value is written by update().
    virtual void setField(const QString &name, const QVariant &value) = 0;
    virtual void update() = 0;

    virtual void close() = 0;
};

} // namespace mrv::host
