#include "platform/richtext/DocumentBuilder.h"

#include "platform/richtext/RichTextModel.h"

#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace mrv::richtext {

namespace {

bool isListItem(const ParagraphFormat &format)
{
    return format.list.style() != QTextListFormat::ListStyleUndefined;
}

constexpr int kMaxListPart = 64;

QTextListFormat continuationOf(const QTextList &list)
{
    QTextListFormat format = list.format();
    format.setProperty(ListStart, listStart(format) + list.count());
    format.setProperty(ListContinuation, true);
    return format;
}

bool isContent(const FlowItem &item)
{
    return !std::holds_alternative<ParagraphFormat>(item);
}

void write(FlowWriter &flow, const FlowItem &item)
{
    if (const auto *text = std::get_if<TextRun>(&item))
        flow.insertText(text->text, text->format);
    else if (const auto *image = std::get_if<QTextImageFormat>(&item))
        flow.insertImage(*image);
    else
        flow.endParagraph(std::get<ParagraphFormat>(item));
}

} // namespace

FlowWriter::FlowWriter(const QTextCursor &cursor) : m_cursor(cursor) {}

void FlowWriter::insertText(const QString &text, const QTextCharFormat &format)
{
    if (text.isEmpty())
        return;
    openPendingParagraph();
    m_cursor.insertText(text, format);
}

void FlowWriter::insertImage(const QTextImageFormat &format)
{
    openPendingParagraph();
    m_cursor.insertImage(format);
}

void FlowWriter::endParagraph(const ParagraphFormat &format)
{
    openPendingParagraph();
    formatParagraph(format);
    m_paragraphPending = true;
}

void FlowWriter::finish(const ParagraphFormat &format)
{
    if (!m_paragraphPending && m_cursor.block().length() > 1)
        formatParagraph(format);
}

// Qt places the table after the paragraph the cursor is in and always keeps
// a paragraph after it, which is where the flow goes on.
QTextTable *FlowWriter::insertTable(int rows, int columns, const QTextTableFormat &format)
{
    QTextTable *table = m_cursor.insertTable(rows, columns, format);
    m_cursor = table->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_paragraphPending = false;
    m_lists.clear();
    return table;
}

void FlowWriter::openPendingParagraph()
{
    if (!m_paragraphPending)
        return;
    m_cursor.insertBlock();
    m_paragraphPending = false;
}

void FlowWriter::formatParagraph(const ParagraphFormat &format)
{
    m_cursor.setBlockFormat(format.block);
    if (isListItem(format))
        joinList(format);
    else
        m_lists.clear();
}

// A list goes on for as long as its items follow each other; any other
// paragraph in between ends it, and a later item with the same key starts
// a new list. A long list is made of parts (see ListContinuation), so that
// adding an item costs at most a part's length.
void FlowWriter::joinList(const ParagraphFormat &format)
{
    QTextList *&list = m_lists[format.listKey];
    if (list && list->count() < kMaxListPart)
        list->add(m_cursor.block());
    else
        list = m_cursor.createList(list ? continuationOf(*list) : format.list);
}

void TableBuffer::add(FlowItem item)
{
    m_cell.append(std::move(item));
}

void TableBuffer::endCell(const ParagraphFormat &format)
{
    m_cell.append(format);
    m_row.append(std::exchange(m_cell, {}));
}

void TableBuffer::endRow(const RowFormat &format)
{
    if (!m_cell.isEmpty())
        m_row.append(std::exchange(m_cell, {}));
    if (m_row.isEmpty())
        return;
    if (m_rows.isEmpty())
        m_format = format;
    m_rows.append(std::exchange(m_row, {}));
}

bool TableBuffer::isEmpty() const
{
    return m_rows.isEmpty() && m_row.isEmpty() && m_cell.isEmpty();
}

// A row that the RTF never ended (a damaged or truncated file) still shows.
// A cell never ended that holds only paragraph marks is no cell, though: it
// is the paragraph mark after the last row of writers that leave \intbl on.
QList<TableBuffer::Row> TableBuffer::completeRows() const
{
    QList<Row> rows = m_rows;
    Row last = m_row;
    if (std::any_of(m_cell.cbegin(), m_cell.cend(), isContent))
        last.append(m_cell);
    if (!last.isEmpty())
        rows.append(last);
    return rows;
}

QTextTableFormat TableBuffer::tableFormat(int columns) const
{
    QTextTableFormat format;
    format.setBorder(m_format.bordered ? 1 : 0);
    format.setBorderCollapse(true);
    format.setCellSpacing(0);
    format.setCellPadding(2);
    if (m_format.columnWidths.size() == columns) {
        QList<QTextLength> widths;
        for (qreal width : m_format.columnWidths)
            widths.append(QTextLength(QTextLength::FixedLength, width));
        format.setColumnWidthConstraints(widths);
    }
    return format;
}

void TableBuffer::writeTo(FlowWriter &body)
{
    const TableBuffer buffered = std::exchange(*this, TableBuffer());
    const QList<Row> rows = buffered.completeRows();
    if (rows.isEmpty())
        return;
    qsizetype columns = 0;
    for (const Row &row : rows)
        columns = std::max(columns, row.size());
    QTextTable *table = body.insertTable(int(rows.size()), int(columns), buffered.tableFormat(int(columns)));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            FlowWriter cell(table->cellAt(int(r), int(c)).firstCursorPosition());
            for (const FlowItem &item : rows[r][c])
                write(cell, item);
        }
    }
}

DocumentBuilder::DocumentBuilder(QTextDocument *document) : m_body(QTextCursor(document)) {}

void DocumentBuilder::insertText(const QString &text, const QTextCharFormat &format, bool inTable)
{
    if (!text.isEmpty())
        add(TextRun{text, format}, inTable);
}

void DocumentBuilder::insertImage(const QTextImageFormat &format, bool inTable)
{
    add(format, inTable);
}

void DocumentBuilder::endParagraph(const ParagraphFormat &format, bool inTable)
{
    add(format, inTable);
}

void DocumentBuilder::endCell(const ParagraphFormat &format)
{
    m_table.endCell(format);
}

void DocumentBuilder::endRow(const RowFormat &format)
{
    m_table.endRow(format);
}

void DocumentBuilder::finish(const ParagraphFormat &format)
{
    closeTable();
    m_body.finish(format);
}

void DocumentBuilder::add(FlowItem item, bool inTable)
{
    if (inTable) {
        m_table.add(std::move(item));
        return;
    }
    closeTable();
    write(m_body, item);
}

void DocumentBuilder::closeTable()
{
    if (!m_table.isEmpty())
        m_table.writeTo(m_body);
}

} // namespace mrv::richtext
