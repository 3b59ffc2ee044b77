#pragma once

#include "FolderCatalog.h"

#include <QMainWindow>

#include <functional>

class QAction;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace mrv::suite {
class SuiteSession;
}

namespace mrv::suite::app {

class DesktopInteraction;

// The shell's commands, found by their QAction's "commandId" property.
enum ShellCommand : int {
    cmdNewMessage = 1,
    cmdNewTask = 2,
    cmdOpen = 3,
    cmdHistory = 4,
    cmdRefresh = 5,
};

// The suite's main window: the user's message folders and the record lists
// on the left, the list of the chosen entry on the right, and the commands
// that open the component's windows as a host does, through its facade.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(SuiteSession &session, DesktopInteraction &interaction, QWidget *parent = nullptr);

    const QList<FolderEntry> &entries() const { return m_entries; }
    // The list of an entry, read on first use.
    PagedViewModel *model(int entry);
    void showEntry(int entry);
    int currentEntry() const { return m_current; }

    // Every loaded list showing the view reads it again; the bookmark's
    // record (a RECORD_ID), or else the current one, stays selected.
    void refreshView(const QString &view, const QVariant &bookmark = QVariant());
    // Message folders read again, after another client sent something.
    void refreshMessageFolders();

private:
    void buildFolderTree();
    void buildCommands();
    QAction *addCommand(ShellCommand id, const char *caption, const char *iconKey, void (MainWindow::*run)());
    void updateCommands();

    void newMessage();
    void newTask();
    void openCurrent();
    void showHistory();
    void refreshCurrent();

    void reload(int entry, qint32 selectedRecord);
    void selectRecord(qint32 recordId);
    int currentRow() const;
    qint32 currentRecordId() const;
    QString currentKey() const;
    // The link of a new message written from a record list ("CON_TRO|C000001").
    QString currentLink() const;
    // Runs a command of the component; whatever it reports to the session's
    // Errors is shown afterwards.
    void runReporting(const std::function<void()> &command);
    void showFailure(const QString &text);

    SuiteSession &m_session;
    QList<FolderEntry> m_entries;
    QList<PagedViewModel *> m_models;
    int m_current = -1;
    QTreeWidget *m_folders;
    QList<QTreeWidgetItem *> m_entryItems;
    QTableView *m_grid;
    QAction *m_open = nullptr;
    QAction *m_history = nullptr;
};

} // namespace mrv::suite::app
