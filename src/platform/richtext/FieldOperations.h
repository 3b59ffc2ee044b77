#pragma once

#include "RichTextModel.h"

#include <QString>

#include <functional>

class QTextDocument;

namespace mrv::richtext {

// The text a field shows.
QString fieldResult(const QTextDocument &document, const FieldSpan &field);

// Gives every field of the document, last to first, the text `resultOf`
// returns for it; the field stays a field with the format of its first
// character. The text is taken as it is: braces, backslashes and control
// words are characters for the writers to escape, and line ends become
// line breaks inside the paragraph rather than new paragraphs. A field
// given an empty text is gone.
void replaceFieldResults(QTextDocument &document, const std::function<QString(const FieldSpan &)> &resultOf);

// Turns every field into plain text: what it shows stays, formatted as it is.
void removeFields(QTextDocument &document);

} // namespace mrv::richtext
