#pragma once

#include <QTextFrame>
#include <QTextTable>

namespace mrv::richtext {

// Qt keeps a paragraph before a table that opens a document or a cell, and
// one after a table that ends it, even where the text has none: such an
// empty paragraph next to a table is not part of the text.
inline bool isFramePlaceholder(QTextFrame::iterator it, bool atStart, bool afterFrame)
{
    if (it.currentBlock().length() > 1)
        return false;
    ++it;
    return it.atEnd() ? afterFrame : atStart && it.currentFrame() != nullptr;
}

// Walks a flow (the document, a frame or a table cell) in order, leaving out
// the placeholder paragraphs around tables.
template <typename OnBlock, typename OnFrame>
void walkFlow(QTextFrame::iterator it, const OnBlock &onBlock, const OnFrame &onFrame)
{
    bool atStart = true;
    bool afterFrame = false;
    for (; !it.atEnd(); ++it) {
        if (QTextFrame *frame = it.currentFrame()) {
            onFrame(*frame);
            afterFrame = true;
        } else if (!isFramePlaceholder(it, atStart, afterFrame)) {
            onBlock(it.currentBlock());
            afterFrame = false;
        }
        atStart = false;
    }
}

// The cells of a table row by row; a cell spanning several rows or columns
// comes once.
template <typename OnCell> void forEachCell(const QTextTable &table, const OnCell &onCell)
{
    for (int row = 0; row < table.rows(); ++row) {
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            if (cell.row() == row && cell.column() == column)
                onCell(cell);
        }
    }
}

} // namespace mrv::richtext
