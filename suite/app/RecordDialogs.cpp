#include "RecordDialogs.h"

#include "Texts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace mrv::suite::app {

namespace {

QStandardItemModel *itemsOf(const db::QueryResult &rows, QObject *parent)
{
    auto *model = new QStandardItemModel(int(rows.rows.size()), int(rows.columns.size()), parent);
    model->setHorizontalHeaderLabels(rows.columns);
    for (int row = 0; row < rows.rows.size(); ++row) {
        for (int column = 0; column < rows.columns.size(); ++column) {
            auto *item = new QStandardItem(rows.rows.at(row).value(column).toString());
            item->setEditable(false);
            model->setItem(row, column, item);
        }
    }
    return model;
}

} // namespace

ChooserDialog::ChooserDialog(const QString &title, const db::QueryResult &rows, const QString &filter, QWidget *owner)
    : QDialog(owner), m_rows(itemsOf(rows, this)), m_filtered(new QSortFilterProxyModel(this)),
      m_filter(new QLineEdit(this)), m_grid(new QTableView(this))
{
    setWindowTitle(title);
    m_filtered->setSourceModel(m_rows);
    m_filtered->setFilterKeyColumn(-1);
    m_filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_filter->setPlaceholderText(shellText(QStringLiteral("Cerca"), "ChooseRecord"));
    m_filter->setClearButtonEnabled(true);
    // Typing narrows the rows and keeps one chosen, so that Enter takes it.
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filtered->setFilterFixedString(text);
        if (!m_grid->currentIndex().isValid())
            m_grid->selectRow(0);
    });

    m_grid->setModel(m_filtered);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSortingEnabled(true);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->selectRow(0);
    connect(m_grid, &QTableView::doubleClicked, this, &QDialog::accept);
    m_filter->setText(filter);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_grid);
    layout->addWidget(buttons);
    resize(640, 420);
}

int ChooserDialog::chosenRow() const
{
    if (result() != QDialog::Accepted)
        return -1;
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() ? m_filtered->mapToSource(current).row() : -1;
}

RecordFormDialog::RecordFormDialog(const QString &title, const db::QueryResult &record, QWidget *owner) : QDialog(owner)
{
    setWindowTitle(title);
    auto *form = new QFormLayout;
    const QVariantList values = record.rows.value(0);
    for (int column = 0; column < record.columns.size(); ++column) {
        auto *value = new QLineEdit(values.value(column).toString(), this);
        value->setReadOnly(true);
        form->addRow(record.columns.at(column), value);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace mrv::suite::app
