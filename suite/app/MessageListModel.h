#pragma once

#include "PagedViewModel.h"

namespace mrv::suite::app {

// A message folder: unread copies in bold, the kind of each item, its
// priority and its attachments as icons.
class MessageListModel : public PagedViewModel
{
    Q_OBJECT

public:
    using PagedViewModel::PagedViewModel;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString iconKey(int row, const QString &column) const;
};

} // namespace mrv::suite::app
