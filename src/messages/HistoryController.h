#pragma once

#include "platform/commands/CommandState.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class QWidget;

namespace mrv {

namespace host {
class Errors;
class Records;
} // namespace host

// A column of the history grid: the key the cells are filed under, its
// caption, the image shown in its header, and its default width and
// visibility.
struct HistoryColumn
{
    QString key;
    QString caption;
    QString headerImage;
    int width = 0;
    bool hidden = false;
};

// The history window frm_mrvHistory without its widgets: every message,
// task and fax linked to one record of the suite, as the suite's table
// function XFN_MSG_FAX_GET lists them, and what the user may do with them.
class HistoryController
{
public:
    static constexpr const char *kObjectName = "frm_mrvHistory";
    // The grid's layout name in the host's list engine.
    static constexpr const char *kLayoutName = "CON_EVE";
    // The window's one command: copy the descriptions of the selected rows.
    static constexpr qint32 kCopyCommand = 1;
    static constexpr qint32 kPopupMenu = 2;

    HistoryController();

    void setErrors(std::shared_ptr<host::Errors> errors);
    void setRecords(std::shared_ptr<host::Records> records);

    // Asks the host for the record's title, works out caption and tag and
    // loads the list. False, with nothing loaded, when the host gives no
    // title for the view or the table; a list that cannot be read is
    // reported and left empty.
    bool showHistory(const QString &table, const QString &key, const QString &viewName, const QString &description);
    // Reads the list again; false when it could not be read.
    bool loadData();

    QString caption() const { return m_caption; }
    QString tag() const { return m_tag; }

    // The columns of the CON_EVE layout, captions translated, in their
    // default order.
    static QList<HistoryColumn> columns();
    static qsizetype columnIndex(const QString &key);

    qsizetype rowCount() const { return m_cells.size(); }
    // One row of cells per item, one cell per column of columns().
    const QList<QVariantList> &rows() const { return m_cells; }
    QVariant cell(qsizetype row, const QString &columnKey) const;
    // The image keys of a row's icon and priority cells (empty for none).
    QString iconImage(qsizetype row) const;
    QString priorityImage(qsizetype row) const;

    // Opens the item in its own window, unless it is another user's private
    // message: then the user is told whose it is. Nothing happens for a row
    // that does not exist. `procedure` names the grid event for the error log.
    void openItem(qsizetype row, QWidget *owner, const char *procedure);
    // The trimmed descriptions of the rows, one a line.
    QString descriptions(const QList<qsizetype> &rows) const;

    commands::CommandStates commands() const;
    // Runs a command on the selected rows; false when it did not run.
    bool execute(qint32 id, const QList<qsizetype> &rows);

private:
    host::Records &records() const;
    QString titleOf(const QString &table, const QString &viewName) const;
    QList<QVariantList> readHistory(const QString &tableOrView) const;
    bool mayOpen(qsizetype row) const;
    void tellPrivate(qsizetype row) const;

    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::Records> m_records;
    QString m_table;
    QString m_view;
    QString m_key;
    QString m_caption;
    QString m_tag;
    QList<QVariantList> m_cells;
};

} // namespace mrv
