#pragma once

#include <QList>
#include <QTableView>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>

class QSortFilterProxyModel;
class QStandardItemModel;

namespace mrv::host {
class ConfigClass;
}

namespace mrv::widgets {

// A column of a RecordGrid. A column with an image per cell shows the
// image instead of the value; it still sorts by the value.
struct GridColumn
{
    QString key;
    QString caption;
    QString headerImage; // a key of the host's resources
    int width = 0;       // 0: the view's default
    bool hidden = false;
    std::function<QString(qsizetype row)> cellImage;
};

// A read-only grid of records: sorts by any column, copies the selection
// and keeps the user's column layout (order, widths, hidden columns, sort)
// per user in the host configuration under "GRID_LAYOUT_" + layout name.
class RecordGrid : public QTableView
{
    Q_OBJECT

public:
    explicit RecordGrid(QWidget *parent = nullptr);
    ~RecordGrid() override;

    // The columns in their default layout; any saved layout is applied
    // once a layout name is set.
    void setColumns(const QList<GridColumn> &columns);
    // Row by row, one value per column of setColumns.
    void setRows(const QList<QVariantList> &rows);

    void setLayoutName(std::shared_ptr<host::ConfigClass> config, const QString &name);
    static QString layoutKey(const QString &name);
    // Layouts are saved as the user changes them; this writes a pending one now.
    void saveLayout();

    // The selected rows as given to setRows, in the order shown.
    QList<qsizetype> selectedRows() const;
    qsizetype currentRow() const;

    // Copy: without a handler the selected rows' shown cells go to the
    // clipboard, tab-separated, one row a line.
    void setCopyHandler(std::function<void(const QList<qsizetype> &rows)> handler);
    void copySelection();

Q_SIGNALS:
    // Double click or Enter on a row.
    void rowActivated(qsizetype row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void restoreLayout();
    QString columnKeys() const;
    void scheduleSave();
    void writeLayout();
    void showColumnMenu(const QPoint &position);
    qsizetype sourceRow(const QModelIndex &index) const;

    QStandardItemModel *m_model;
    QSortFilterProxyModel *m_sorted;
    QList<GridColumn> m_columns;
    std::shared_ptr<host::ConfigClass> m_config;
    QString m_layoutName;
    QTimer m_saveTimer;
    std::function<void(const QList<qsizetype> &)> m_copyHandler;
};

} // namespace mrv::widgets
