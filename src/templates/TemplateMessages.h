#pragma once

#include <QList>

namespace mrv {

class TemplateFieldsObject;
class mrvTemplateFields;

// What the operations on a parsed template share.
const mrvTemplateFields &parsedFields(const TemplateFieldsObject *fields);
// 0 (every message) up to the number of messages.
bool validIndex(const mrvTemplateFields &fields, qint32 index);
// The messages an index stands for, counted from 1.
QList<qint32> messageRange(const mrvTemplateFields &fields, qint32 index);

} // namespace mrv
