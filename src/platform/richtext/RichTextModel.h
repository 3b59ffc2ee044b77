#pragma once

#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <QTextFormat>
#include <QTextListFormat>

class QTextDocument;

namespace mrv::richtext {

// What our rich-text model adds to Qt's text formats. A message body is a
// QTextDocument; fields (template fields are merge fields) are runs of result
// text whose character format carries these properties, so that the RTF
// writer can write them back as fields and the template code can find and
// replace them. Qt itself ignores user properties.
enum FormatProperty : int {
    // The field code as the RTF gave it, trimmed: "MERGEFIELD Cliente".
    FieldInstruction = QTextFormat::UserProperty + 1,
    // A number unique within the document, so that two adjacent fields with
    // the same code remain two fields.
    FieldId,
    // On a numbered list's format: its first number when not 1 (Qt 6.4's
    // QTextListFormat has no start of its own).
    ListStart,
    // On a list's format: the list goes on from the list just before it at
    // the same indent, as one list. Qt makes every item that joins a list
    // cost as much as the list is long, so long lists are built in parts.
    ListContinuation,
};

// The first number of a numbered list.
int listStart(const QTextListFormat &format);

// The font a character format names first, or an empty string.
QString firstFontFamily(const QTextCharFormat &format);

// A field of a document as it stands: where its result text lies.
struct FieldSpan
{
    int id = 0;
    QString instruction;
    int position = 0;
    int length = 0;
};

// Every field of the document in document order, table cells included.
QList<FieldSpan> findFields(const QTextDocument &document);

} // namespace mrv::richtext
