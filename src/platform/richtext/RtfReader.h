#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QTextDocument;

namespace mrv::richtext {

// True when the bytes are an RTF document rather than plain text or HTML.
bool looksLikeRtf(QByteArrayView data);

// Replaces the document's content with the RTF's: paragraphs and their
// alignment and indents, character formats, lists, tables, PNG and JPEG
// pictures (stored as the document's image resources) and fields (see
// RichTextModel.h). Text is decoded in the code pages the RTF names, except
// raw (unescaped) text that is valid UTF-8, as when RTF held in a QString is
// passed on as UTF-8. Damaged RTF gives whatever could be read before and
// around the damage; bytes that are not RTF at all are taken as plain text.
void readRtf(const QByteArray &rtf, QTextDocument *document);
std::unique_ptr<QTextDocument> readRtf(const QByteArray &rtf);

} // namespace mrv::richtext
