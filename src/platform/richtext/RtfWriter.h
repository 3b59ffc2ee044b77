#pragma once

#include <QByteArray>

class QTextDocument;

namespace mrv::richtext {

// The document as RTF that readRtf reads back to the same document: text in
// code page 1252 with \u for everything else, character and paragraph
// formats, lists (Word's list tables), tables with their column widths,
// image resources as PNG or JPEG pictures, and fields (see RichTextModel.h)
// with their instructions; links become HYPERLINK fields. What the reader
// cannot read back is not written: see docs/architecture.md.
QByteArray writeRtf(const QTextDocument &document);

} // namespace mrv::richtext
