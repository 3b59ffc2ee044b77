#include "MessageListModel.h"

#include "Icons.h"
#include "facade/Types.h"

#include <QFont>

namespace mrv::suite::app {

namespace {

const QString kPriority = QStringLiteral("MSPRY");
const QString kAttachments = QStringLiteral("MSATT");

bool isIconColumn(const QString &column)
{
    return column == kPriority || column == kAttachments;
}

QString kindIconKey(qint32 type)
{
    switch (type) {
    case mstTask:
    case mstPersonalTask:
        return QStringLiteral("activity");
    case mstEmail:
        return QStringLiteral("message_send");
    case mstPublic:
        return QStringLiteral("message_pub");
    default:
        return QStringLiteral("message");
    }
}

} // namespace

QString MessageListModel::iconKey(int row, const QString &column) const
{
    if (column == kPriority) {
        const qint32 priority = value(row, kPriority).toInt();
        return priority == mspHigh  ? QStringLiteral("row_priority_h")
               : priority == mspLow ? QStringLiteral("row_priority_l")
                                    : QString();
    }
    if (column == kAttachments)
        return value(row, kAttachments).toInt() != 0 ? QStringLiteral("row_attachment") : QString();
    return QString();
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const QString column = columnName(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return isIconColumn(column) ? QVariant() : PagedViewModel::data(index, role);
    case Qt::DecorationRole: {
        if (isIconColumn(column))
            return iconOf(iconKey(index.row(), column));
        // The kind of the item stands before its first text.
        const bool firstText = index.column() > 0 && isIconColumn(columnName(index.column() - 1));
        if (!firstText)
            return {};
        return iconOf(kindIconKey(value(index.row(), QStringLiteral("MSTYP")).toInt()));
    }
    case Qt::FontRole: {
        if (value(index.row(), QStringLiteral("MSSTA")).toInt() != mssNotReaded)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    case Qt::ToolTipRole:
        return PagedViewModel::data(index, Qt::DisplayRole);
    default:
        return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QString column = orientation == Qt::Horizontal ? columnName(section) : QString();
    if (role == Qt::DecorationRole && isIconColumn(column))
        return iconOf(column == kPriority ? QStringLiteral("hd_priority") : QStringLiteral("row_attachment"));
    return PagedViewModel::headerData(section, orientation, role);
}

} // namespace mrv::suite::app
