#include "RecordGrid.h"

#include "Icons.h"
#include "host/ConfigClass.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

namespace mrv::widgets {

namespace {

constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kRowRole = Qt::UserRole + 2;
constexpr int kSaveDelayMs = 400;

QString shownText(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QDateTime)
        return QLocale().toString(value.toDateTime(), QLocale::ShortFormat);
    return value.isNull() ? QString() : value.toString();
}

} // namespace

RecordGrid::RecordGrid(QWidget *parent)
    : QTableView(parent), m_model(new QStandardItemModel(this)), m_sorted(new QSortFilterProxyModel(this))
{
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(kSortRole);
    setModel(m_sorted);
    // Rows come in the order their source gives them until the user sorts.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    setWordWrap(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &RecordGrid::writeLayout);
    QHeaderView *header = horizontalHeader();
    connect(header, &QHeaderView::sectionMoved, this, &RecordGrid::scheduleSave);
    connect(header, &QHeaderView::sectionResized, this, &RecordGrid::scheduleSave);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &RecordGrid::scheduleSave);
    connect(header, &QHeaderView::customContextMenuRequested, this, &RecordGrid::showColumnMenu);
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            Q_EMIT rowActivated(sourceRow(index));
    });
}

RecordGrid::~RecordGrid()
{
    saveLayout();
}

void RecordGrid::setColumns(const QList<GridColumn> &columns)
{
    m_columns = columns;
    m_model->clear();
    m_model->setColumnCount(columns.size());
    for (qsizetype column = 0; column < columns.size(); ++column) {
        auto *header = new QStandardItem(resourceIcon(columns.at(column).headerImage), columns.at(column).caption);
        header->setToolTip(columns.at(column).caption);
        m_model->setHorizontalHeaderItem(int(column), header);
        setColumnHidden(int(column), columns.at(column).hidden);
        if (columns.at(column).width > 0)
            setColumnWidth(int(column), columns.at(column).width);
    }
}

void RecordGrid::setRows(const QList<QVariantList> &rows)
{
    m_model->setRowCount(0);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        QList<QStandardItem *> items;
        for (qsizetype column = 0; column < m_columns.size(); ++column) {
            const QVariant value = rows.at(row).value(column);
            const GridColumn &definition = m_columns.at(column);
            auto *item = new QStandardItem;
            if (definition.cellImage)
                item->setIcon(resourceIcon(definition.cellImage(row)));
            else
                item->setText(shownText(value));
            item->setData(value, kSortRole);
            item->setData(QVariant::fromValue(row), kRowRole);
            items << item;
        }
        m_model->appendRow(items);
    }
    const int sorted = horizontalHeader()->sortIndicatorSection();
    if (sorted >= 0 && sorted < m_model->columnCount())
        sortByColumn(sorted, horizontalHeader()->sortIndicatorOrder());
}

QString RecordGrid::layoutKey(const QString &name)
{
    return QStringLiteral("GRID_LAYOUT_") + name;
}

void RecordGrid::setLayoutName(std::shared_ptr<host::ConfigClass> config, const QString &name)
{
    m_config = std::move(config);
    m_layoutName = name;
    restoreLayout();
}

// A layout is stored with the keys of the columns it was made for: one saved
// for other columns, or damaged, leaves the default layout.
void RecordGrid::restoreLayout()
{
    QString saved;
    try {
        saved = m_config->value(layoutKey(m_layoutName));
    } catch (...) {
        return; // A layout that cannot be read leaves the default one too.
    }
    const qsizetype separator = saved.indexOf(QLatin1Char('|'));
    if (separator < 0 || saved.left(separator) != columnKeys())
        return;
    QHeaderView *header = horizontalHeader();
    const QByteArray defaults = header->saveState();
    if (!header->restoreState(QByteArray::fromBase64(saved.mid(separator + 1).toLatin1())))
        header->restoreState(defaults);
    m_saveTimer.stop();
}

QString RecordGrid::columnKeys() const
{
    QStringList keys;
    for (const GridColumn &column : m_columns)
        keys << column.key;
    return keys.join(QLatin1Char(','));
}

void RecordGrid::scheduleSave()
{
    if (m_config)
        m_saveTimer.start();
}

void RecordGrid::saveLayout()
{
    if (m_saveTimer.isActive())
        writeLayout();
}

void RecordGrid::writeLayout()
{
    m_saveTimer.stop();
    try {
        const QString state = QString::fromLatin1(horizontalHeader()->saveState().toBase64());
        m_config->setValue(layoutKey(m_layoutName), columnKeys() + QLatin1Char('|') + state, true);
    } catch (...) {
        // A layout that cannot be stored is only a layout: the grid goes on.
    }
}

void RecordGrid::showColumnMenu(const QPoint &position)
{
    QMenu menu(this);
    for (qsizetype column = 0; column < m_columns.size(); ++column) {
        const GridColumn &definition = m_columns.at(column);
        QAction *action = menu.addAction(resourceIcon(definition.headerImage),
                                         definition.caption.isEmpty() ? definition.key : definition.caption);
        action->setCheckable(true);
        action->setChecked(!isColumnHidden(int(column)));
        connect(action, &QAction::toggled, this, [this, column](bool shown) {
            setColumnHidden(int(column), !shown);
            scheduleSave();
        });
    }
    menu.exec(horizontalHeader()->viewport()->mapToGlobal(position));
}

qsizetype RecordGrid::sourceRow(const QModelIndex &index) const
{
    return index.siblingAtColumn(0).data(kRowRole).value<qsizetype>();
}

QList<qsizetype> RecordGrid::selectedRows() const
{
    QModelIndexList indexes = selectionModel()->selectedRows();
    std::sort(indexes.begin(), indexes.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<qsizetype> rows;
    for (const QModelIndex &index : std::as_const(indexes))
        rows << sourceRow(index);
    return rows;
}

qsizetype RecordGrid::currentRow() const
{
    return currentIndex().isValid() ? sourceRow(currentIndex()) : -1;
}

void RecordGrid::setCopyHandler(std::function<void(const QList<qsizetype> &)> handler)
{
    m_copyHandler = std::move(handler);
}

void RecordGrid::copySelection()
{
    if (m_copyHandler) {
        m_copyHandler(selectedRows());
        return;
    }
    QStringList lines;
    const QModelIndexList indexes = selectionModel()->selectedRows();
    for (const QModelIndex &index : indexes) {
        QStringList cells;
        for (int visual = 0; visual < horizontalHeader()->count(); ++visual) {
            const int column = horizontalHeader()->logicalIndex(visual);
            if (!isColumnHidden(column))
                cells << index.siblingAtColumn(column).data().toString();
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void RecordGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        Q_EMIT rowActivated(currentRow());
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace mrv::widgets
