#pragma once

#include "PagedViewModel.h"

namespace mrv::suite::app {

// One entry of the main window's folder tree and the list it shows.
struct FolderEntry
{
    QString caption; // Italian, translated when shown
    QString iconKey;
    QString group;     // the tree node above the entry
    QString view;      // logical view or table: the name refreshView() uses
    QString condition; // in the suite's dialect, added to the view's own
    // The record a command acts on: its table for the component, the column
    // holding its key, and the column describing it.
    QString table;
    QString keyColumn;
    QString descriptionColumn;
    QList<ListColumn> columns;
    QStringList hiddenColumns;

    bool isMessageFolder() const { return table == QLatin1String("SYS_MSG"); }
};

// The user's message folders (inbox, tasks, drafts, sent, deleted, public
// messages) and the suite's customers and sales documents.
QList<FolderEntry> folderEntries(const QString &user);

} // namespace mrv::suite::app
