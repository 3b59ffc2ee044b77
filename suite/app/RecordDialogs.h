#pragma once

#include "db/Engine.h"

#include <QDialog>

class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace mrv::suite::app {

// Rows to choose from in a grid, narrowed by a filter box that matches any
// column.
class ChooserDialog : public QDialog
{
    Q_OBJECT

public:
    ChooserDialog(const QString &title, const db::QueryResult &rows, const QString &filter, QWidget *owner);

    // The row of `rows` chosen; -1 when cancelled or nothing was selected.
    int chosenRow() const;

private:
    QStandardItemModel *m_rows;
    QSortFilterProxyModel *m_filtered;
    QLineEdit *m_filter;
    QTableView *m_grid;
};

// One record shown read-only, a line per column: the host's own record
// window for tables that are not the component's.
class RecordFormDialog : public QDialog
{
    Q_OBJECT

public:
    RecordFormDialog(const QString &title, const db::QueryResult &record, QWidget *owner);
};

} // namespace mrv::suite::app
