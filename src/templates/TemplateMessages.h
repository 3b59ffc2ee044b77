#pragma once

#include "facade/Types.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace mrv {

class TemplateFieldsObject;
class mrvTemplateField;
class mrvTemplateFields;

// What the operations on a parsed template share.
const mrvTemplateFields &parsedFields(const TemplateFieldsObject *fields);
// 0 (every message) up to the number of messages.
bool validIndex(const mrvTemplateFields &fields, qint32 index);
// The messages an index stands for, counted from 1.
QList<qint32> messageRange(const mrvTemplateFields &fields, qint32 index);
// A stored value as text, Null as "".
QString nullSafeText(const QVariant &value);
// The value of the first field of a kind that has one.
QString linkedValue(const QList<mrvTemplateField> &fields, qd_eDatasetLinkedFields kind);

} // namespace mrv
