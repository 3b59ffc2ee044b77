#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <memory>

namespace mrv::suite::db {
class SuiteConnection;
}

namespace mrv::suite::app {

struct ListColumn
{
    QString name;
    QString caption; // Italian, translated when shown
};

// What a list shows: a table or view of the suite, newest rows first.
struct ListSpec
{
    QString source;            // physical name of the table or view
    QString condition;         // in the suite's dialect; empty for every row
    QList<ListColumn> columns; // shown; empty shows every column of the source
    QStringList hiddenColumns; // read too, for the look of the rows
};

// The rows of a list read a page at a time, by RECORD_ID descending: a view
// of a hundred thousand rows shows its first screen at once, and further
// pages are read as the view scrolls (canFetchMore/fetchMore). Each page
// starts below the last key read, so a page costs the same at any depth.
class PagedViewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kPageSize = 200;

    PagedViewModel(std::shared_ptr<db::SuiteConnection> connection, ListSpec spec, QObject *parent = nullptr);

    const ListSpec &spec() const { return m_spec; }
    void setPageSize(int rows) { m_pageSize = rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

    // The value of any column read, shown or hidden; invalid when unknown.
    QVariant value(int row, const QString &column) const;
    qint32 recordId(int row) const;
    // -1 when the record is not among the rows read.
    int rowOf(qint32 recordId) const;
    // The name of a shown column.
    QString columnName(int column) const;

    // Reads the list again from the start, as many rows as were read before
    // (at least a page), so that a selected row stays within reach. Throws
    // Failure when the list cannot be read.
    void reload();

Q_SIGNALS:
    // A further page could not be read; the list keeps what it had and reads
    // no more.
    void loadFailed(const QString &reason);

private:
    QString pageQuery(int rows) const;
    void readPage(int rows);

    std::shared_ptr<db::SuiteConnection> m_connection;
    ListSpec m_spec;
    int m_pageSize = kPageSize;
    QStringList m_readColumns; // as the database named them, upper case
    QList<int> m_shown;        // positions in m_readColumns of the shown columns
    QList<QVariantList> m_rows;
    bool m_atEnd = false;
};

} // namespace mrv::suite::app
