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
// RichTextModel.h). Damaged RTF gives whatever could be read before and
// around the damage; bytes that are not RTF at all are taken as plain text.
void readRtf(const QByteArray &rtf, QTextDocument *document);
std::unique_ptr<QTextDocument> readRtf(const QByteArray &rtf);

} // namespace mrv::richtext
