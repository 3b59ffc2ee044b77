#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

namespace mrv::richtext {

// An image of an HTML body, to travel with the e-mail as an inline part
// whose Content-ID is contentId (the body refers to it as "cid:" + contentId).
struct InlineImage
{
    QString contentId;
    QString contentType;
    QByteArray content;
    QString fileName;
};

// The document as HTML for an e-mail: a whole UTF-8 document with plain tags
// (<p>, <br>, <b>, <i>, <u>, <s>, <a>, <ul>/<ol>/<li>, <table>) and inline
// styles only where the text differs from the body's prevailing font or
// needs a colour, alignment or spacing. Images become <img src="cid:...">
// and are appended to `images`; without `images` they are left out, since
// nothing would carry them.
QString toHtml(const QTextDocument &document, QList<InlineImage> *images = nullptr);

// The document as plain text, for the text alternative of an e-mail: one
// line per paragraph and table cell, list items with their bullet or number.
QString toPlainText(const QTextDocument &document);

} // namespace mrv::richtext
