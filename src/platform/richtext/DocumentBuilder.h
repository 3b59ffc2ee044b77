#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextListFormat>

#include <variant>

class QTextDocument;
class QTextList;

namespace mrv::richtext {

// What a paragraph mark carries.
struct ParagraphFormat
{
    QTextBlockFormat block;
    // Style ListStyleUndefined when the paragraph is not a list item.
    QTextListFormat list;
    // List items with the same key continue one list.
    QString listKey;
};

// What the first row definition says about a whole table.
struct RowFormat
{
    QList<qreal> columnWidths;
    bool bordered = false;
};

// Writes paragraphs one after the other at a cursor, into the body or into
// one table cell. A paragraph mark only closes its paragraph; the next
// paragraph is opened when something is written into it, so the paragraph
// mark that ends every RTF document leaves no empty paragraph behind.
class FlowWriter
{
public:
    explicit FlowWriter(const QTextCursor &cursor);

    void insertText(const QString &text, const QTextCharFormat &format);
    void insertImage(const QTextImageFormat &format);
    void endParagraph(const ParagraphFormat &format);
    // Formats the paragraph that the text ended without a paragraph mark.
    void finish(const ParagraphFormat &format);
    QTextTable *insertTable(int rows, int columns, const QTextTableFormat &format);

private:
    void openPendingParagraph();
    void formatParagraph(const ParagraphFormat &format);
    void joinList(const ParagraphFormat &format);

    QTextCursor m_cursor;
    bool m_paragraphPending = false;
    QHash<QString, QTextList *> m_lists;
};

struct TextRun
{
    QString text;
    QTextCharFormat format;
};

using FlowItem = std::variant<TextRun, QTextImageFormat, ParagraphFormat>;

// The rows of a table as the RTF gives them, cell after cell. The table is
// made only once it is complete: Qt rebuilds a table's whole cell grid for
// every row appended, so growing it row by row would be quadratic.
class TableBuffer
{
public:
    void add(FlowItem item);
    void endCell(const ParagraphFormat &format);
    void endRow(const RowFormat &format);
    bool isEmpty() const;
    void writeTo(FlowWriter &body);

private:
    using Cell = QList<FlowItem>;
    using Row = QList<Cell>;

    QList<Row> completeRows() const;
    QTextTableFormat tableFormat(int columns) const;

    QList<Row> m_rows;
    Row m_row;
    Cell m_cell;
    RowFormat m_format;
};

// Assembles a QTextDocument from what the RTF reader finds: body content is
// written at once, table content is collected until its table ends.
class DocumentBuilder
{
public:
    explicit DocumentBuilder(QTextDocument *document);

    void insertText(const QString &text, const QTextCharFormat &format, bool inTable);
    void insertImage(const QTextImageFormat &format, bool inTable);
    void endParagraph(const ParagraphFormat &format, bool inTable);
    void endCell(const ParagraphFormat &format);
    void endRow(const RowFormat &format);
    void finish(const ParagraphFormat &format);

private:
    void add(FlowItem item, bool inTable);
    void closeTable();

    FlowWriter m_body;
    TableBuffer m_table;
};

} // namespace mrv::richtext
