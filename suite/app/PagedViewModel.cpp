#include "PagedViewModel.h"

#include "Texts.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QDateTime>
#include <QLocale>

namespace mrv::suite::app {

namespace {

const QString kKeyColumn = QStringLiteral("RECORD_ID");

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// Dates come back from the engines as ISO text; users read them, and
// amounts, the Italian way.
QVariant shownValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::Double)
        return QLocale(QLocale::Italian).toString(value.toDouble(), 'f', 2);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    const QString text = value.toString();
    if (text.size() == 19 && text.at(4) == QLatin1Char('-') && text.at(10) == QLatin1Char(' ')) {
        const QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (time.isValid())
            return time.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    }
    return value;
}

} // namespace

PagedViewModel::PagedViewModel(std::shared_ptr<db::SuiteConnection> connection, ListSpec spec, QObject *parent)
    : QAbstractTableModel(parent), m_connection(std::move(connection)), m_spec(std::move(spec))
{}

QString PagedViewModel::pageQuery(int rows) const
{
    QStringList read;
    if (m_spec.columns.isEmpty()) {
        read << QStringLiteral("*");
    } else {
        read << kKeyColumn;
        for (const ListColumn &column : m_spec.columns)
            read << column.name;
        read << m_spec.hiddenColumns;
        read.removeDuplicates();
    }
    QStringList conditions;
    if (!m_spec.condition.isEmpty())
        conditions << QLatin1Char('(') + m_spec.condition + QLatin1Char(')');
    if (!m_rows.isEmpty())
        conditions << kKeyColumn + QStringLiteral(" < ") + QString::number(recordId(int(m_rows.size()) - 1));
    QString sql =
        QStringLiteral("SELECT TOP %1 %2\rFROM %3").arg(rows).arg(read.join(QStringLiteral(", ")), m_spec.source);
    if (!conditions.isEmpty())
        sql += QStringLiteral("\rWHERE ") + conditions.join(QStringLiteral(" AND "));
    return sql + QStringLiteral("\rORDER BY ") + kKeyColumn + QStringLiteral(" DESC");
}

void PagedViewModel::readPage(int rows)
{
    const db::QueryResult page = m_connection->query(pageQuery(rows));
    if (m_readColumns.isEmpty()) {
        beginResetModel();
        for (const QString &name : std::as_const(page.columns))
            m_readColumns << name.toUpper();
        m_shown.clear();
        if (m_spec.columns.isEmpty()) {
            for (int i = 0; i < m_readColumns.size(); ++i)
                m_shown << i;
        } else {
            for (const ListColumn &column : std::as_const(m_spec.columns))
                m_shown << int(m_readColumns.indexOf(column.name.toUpper()));
        }
        endResetModel();
    }
    m_atEnd = page.rows.size() < rows;
    if (page.rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.rows.size() - 1));
    m_rows << page.rows;
    endInsertRows();
}

int PagedViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PagedViewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant PagedViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_shown.size())
        return {};
    const QVariant value = m_rows.at(index.row()).value(m_shown.at(index.column()));
    if (role == Qt::TextAlignmentRole && isNumber(value))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return role == Qt::DisplayRole ? shownValue(value) : QVariant();
}

QVariant PagedViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= m_shown.size())
        return {};
    if (m_spec.columns.isEmpty())
        return m_readColumns.value(m_shown.at(section));
    return shellText(m_spec.columns.at(section).caption, "List");
}

bool PagedViewModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void PagedViewModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    try {
        readPage(m_pageSize);
    } catch (const Failure &failure) {
        m_atEnd = true;
        Q_EMIT loadFailed(failure.message());
    }
}

QVariant PagedViewModel::value(int row, const QString &column) const
{
    const qsizetype at = m_readColumns.indexOf(column.toUpper());
    return at < 0 || row < 0 || row >= m_rows.size() ? QVariant() : m_rows.at(row).value(at);
}

qint32 PagedViewModel::recordId(int row) const
{
    return value(row, kKeyColumn).toInt();
}

int PagedViewModel::rowOf(qint32 id) const
{
    for (int row = 0; row < m_rows.size(); ++row) {
        if (recordId(row) == id)
            return row;
    }
    return -1;
}

QString PagedViewModel::columnName(int column) const
{
    return m_readColumns.value(m_shown.value(column, -1));
}

void PagedViewModel::reload()
{
    const int rows = qMax(m_pageSize, int(m_rows.size()));
    beginResetModel();
    m_rows.clear();
    m_readColumns.clear();
    m_shown.clear();
    m_atEnd = false;
    endResetModel();
    readPage(rows);
}

} // namespace mrv::suite::app
