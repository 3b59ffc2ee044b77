#pragma once

#include <QtGlobal>

namespace mrv::host {

// Type codes shared by the statement builder and the value formatter.
enum TypeCode : qint32 {
    tcText = 0,       // text of any length
    tcInt16 = 1,      // 16-bit integer (codes, flags stored as numbers)
    tcInt32 = 2,      // 32-bit integer (record identifiers)
    tcDateTime = 6,   // date and time
    tcBoolean = 7,    // Boolean
    tcLongText = 8,   // long formatted text (bodies)
    tcShortText = 12, // short text
    tcNull = 16,      // the value Null
};

// Record-set modes of Connection::openRecordSet. rsQueryOnly is for queries
// that users write (datasets): the host runs them so that they can change
// nothing, whatever they call, and refuses anything but one query.
enum RecordSetMode : qint32 { rsReadOnly = 1, rsUpdatable = 3, rsQueryOnly = 9 };

// Statement kinds of StatementBuilder::build.
enum StatementKind : qint32 { skInsert = 10, skUpdate = 11, skDelete = 12 };

// Key kinds of Connection::lookup.
enum KeyKind : qint32 { kkNumber = 2, kkText = 12 };

} // namespace mrv::host
