#pragma once

#include <QString>

#include <memory>

class QTextCursor;
class QTextDocument;

namespace mrv {

// The header of a message as a reply quotes it and a print shows it.
// Labels are the source texts ("Da: "); writers translate them.
struct MessageHeader
{
    QString from;
    QString sent;
    QString to;
    QString cc;
    QString subject;
    QString priority;
};

// "Da: ", "Inviato: ", "A: ", "Cc: ", "Oggetto: ", "Priorità: ", each label
// bold and its value normal, in Tahoma 10, a paragraph each; To, Cc and
// priority only when not empty. `procedure` is the translation context.
void writeHeaderLines(QTextCursor &cursor, const MessageHeader &header, const QString &procedure);

// The document a message or task is printed from: a rule, the header, the body.
std::unique_ptr<QTextDocument> printDocument(const MessageHeader &header, const QTextDocument &body);

// An HTML page (as shown in the web view) with the print header block after
// the line holding "<HTML" and the one after it.
QString withPrintHeader(const QString &html, const MessageHeader &header, const QString &userFullName);

} // namespace mrv
