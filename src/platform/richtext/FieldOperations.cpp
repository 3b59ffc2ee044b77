#include "platform/richtext/FieldOperations.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace mrv::richtext {

namespace {

QTextCursor selecting(const QTextDocument &document, const FieldSpan &field)
{
    QTextCursor cursor(const_cast<QTextDocument *>(&document));
    cursor.setPosition(field.position);
    cursor.setPosition(field.position + field.length, QTextCursor::KeepAnchor);
    return cursor;
}

// QTextCursor::insertText opens a paragraph at every line end.
QString withLineBreaks(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|\\r|\\n"));
    return QString(text).replace(lineEnd, QString(QChar::LineSeparator));
}

} // namespace

QString fieldResult(const QTextDocument &document, const FieldSpan &field)
{
    return selecting(document, field).selectedText();
}

void replaceFieldResults(QTextDocument &document, const std::function<QString(const FieldSpan &)> &resultOf)
{
    const QList<FieldSpan> fields = findFields(document);
    for (auto field = fields.crbegin(); field != fields.crend(); ++field) {
        const QString result = withLineBreaks(resultOf(*field));
        QTextCursor cursor(&document);
        cursor.setPosition(field->position + 1);
        const QTextCharFormat format = cursor.charFormat();
        cursor = selecting(document, *field);
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        cursor.insertText(result, format);
        cursor.endEditBlock();
    }
}

void removeFields(QTextDocument &document)
{
    // Collected first: a new format may merge fragments under the walk.
    struct Run
    {
        int position;
        int length;
        QTextCharFormat format;
    };
    QList<Run> runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().hasProperty(FieldId))
                runs.append({fragment.position(), fragment.length(), fragment.charFormat()});
        }
    }
    for (Run &run : runs) {
        run.format.clearProperty(FieldId);
        run.format.clearProperty(FieldInstruction);
        QTextCursor cursor(&document);
        cursor.setPosition(run.position);
        cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(run.format);
    }
}

} // namespace mrv::richtext
