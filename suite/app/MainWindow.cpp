#include "MainWindow.h"

#include "DesktopInteraction.h"
#include "Icons.h"
#include "MessageListModel.h"
#include "SignalWatcher.h"
#include "Texts.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/TextService.h"
#include "services/SuiteSession.h"

#include <QAction>
#include <QHeaderView>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>

namespace mrv::suite::app {

namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

} // namespace

MainWindow::MainWindow(SuiteSession &session, DesktopInteraction &interaction, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_entries(folderEntries(session.users()->userCode())),
      m_models(m_entries.size(), nullptr), m_folders(new QTreeWidget(this)), m_grid(new QTableView(this))
{
    setWindowTitle(
        QStringLiteral("Merovan - %1 (%2)").arg(session.users()->userName(), session.users()->companyCode()));
    setWindowIcon(iconOf(QStringLiteral("message")));
    buildFolderTree();
    buildCommands();

    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setWordWrap(false);
    connect(m_grid, &QTableView::doubleClicked, this, &MainWindow::openCurrent);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_folders);
    splitter->addWidget(m_grid);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 780});
    setCentralWidget(splitter);

    connect(&interaction, &DesktopInteraction::viewRefreshRequested, this,
            [this](const QString &view, const QVariant &bookmark) { refreshView(view, bookmark); });
    auto *watcher = new SignalWatcher(session.connection(), this);
    connect(watcher, &SignalWatcher::messagesChanged, this, &MainWindow::refreshMessageFolders);
    connect(watcher, &SignalWatcher::watchFailed, this, &MainWindow::showFailure);

    showEntry(0);
}

void MainWindow::buildFolderTree()
{
    m_folders->setHeaderHidden(true);
    m_folders->setRootIsDecorated(false);
    QHash<QString, QTreeWidgetItem *> groups;
    for (int i = 0; i < m_entries.size(); ++i) {
        const FolderEntry &entry = m_entries.at(i);
        QTreeWidgetItem *&group = groups[entry.group];
        if (!group) {
            group = new QTreeWidgetItem(m_folders, {shellText(entry.group, "MainWindow")});
            group->setFlags(Qt::ItemIsEnabled);
            group->setExpanded(true);
        }
        auto *item = new QTreeWidgetItem(group, {shellText(entry.caption, "MainWindow")});
        item->setIcon(0, iconOf(entry.iconKey));
        item->setData(0, kEntryRole, i);
        m_entryItems << item;
    }
    connect(m_folders, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        const QVariant entry = item ? item->data(0, kEntryRole) : QVariant();
        if (entry.isValid())
            showEntry(entry.toInt());
    });
}

QAction *MainWindow::addCommand(ShellCommand id, const char *caption, const char *iconKey, void (MainWindow::*run)())
{
    auto *action =
        new QAction(iconOf(QString::fromLatin1(iconKey)), shellText(QString::fromUtf8(caption), "MainWindow"), this);
    action->setProperty("commandId", int(id));
    action->setObjectName(QStringLiteral("cmd%1").arg(int(id)));
    connect(action, &QAction::triggered, this, run);
    return action;
}

void MainWindow::buildCommands()
{
    QToolBar *bar = addToolBar(shellText(QStringLiteral("Standard"), "MainWindow"));
    bar->setObjectName(QStringLiteral("Standard"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(addCommand(cmdNewMessage, "Nuovo messaggio", "message", &MainWindow::newMessage));
    bar->addAction(addCommand(cmdNewTask, "Nuova attività", "activity", &MainWindow::newTask));
    bar->addSeparator();
    m_open = addCommand(cmdOpen, "Apri", "open", &MainWindow::openCurrent);
    m_history = addCommand(cmdHistory, "Storico messaggi", "message_his", &MainWindow::showHistory);
    bar->addAction(m_open);
    bar->addAction(m_history);
    bar->addSeparator();
    bar->addAction(addCommand(cmdRefresh, "Aggiorna", "refresh", &MainWindow::refreshCurrent));
}

void MainWindow::updateCommands()
{
    const bool hasRecord = currentRow() >= 0;
    m_open->setEnabled(hasRecord);
    m_history->setEnabled(hasRecord && m_current >= 0 && !m_entries.at(m_current).isMessageFolder());
    const PagedViewModel *list = m_current >= 0 ? m_models.at(m_current) : nullptr;
    if (!list)
        return;
    // "200+" while more rows wait to be read.
    const QString count = QString::number(list->rowCount()) + (list->canFetchMore() ? QStringLiteral("+") : QString());
    statusBar()->showMessage(
        host::textService().substitute(shellText(QStringLiteral("Elementi: @1"), "MainWindow"), {count}));
}

PagedViewModel *MainWindow::model(int entry)
{
    PagedViewModel *&list = m_models[entry];
    if (list)
        return list;
    const FolderEntry &folder = m_entries.at(entry);
    const ListSpec spec{m_session.records()->physicalName(folder.view), folder.condition, folder.columns,
                        folder.hiddenColumns};
    list = folder.isMessageFolder() ? new MessageListModel(m_session.connection(), spec, this)
                                    : new PagedViewModel(m_session.connection(), spec, this);
    connect(list, &PagedViewModel::loadFailed, this, &MainWindow::showFailure);
    connect(list, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateCommands);
    reload(entry, 0);
    return list;
}

void MainWindow::showEntry(int entry)
{
    if (entry == m_current)
        return;
    m_current = entry;
    // The view makes a selection model per model and leaves the old one to us.
    QItemSelectionModel *previous = m_grid->selectionModel();
    m_grid->setModel(model(entry));
    delete previous;
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &MainWindow::updateCommands);
    m_grid->resizeColumnsToContents();
    m_grid->selectRow(0);
    m_folders->setCurrentItem(m_entryItems.at(entry));
    updateCommands();
}

void MainWindow::reload(int entry, qint32 selectedRecord)
{
    try {
        m_models.at(entry)->reload();
    } catch (const Failure &failure) {
        showFailure(failure.message());
    }
    if (entry == m_current)
        selectRecord(selectedRecord);
    updateCommands();
}

void MainWindow::selectRecord(qint32 recordId)
{
    const int row = m_models.at(m_current)->rowOf(recordId);
    if (row >= 0)
        m_grid->selectRow(row);
}

void MainWindow::refreshView(const QString &view, const QVariant &bookmark)
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_models.at(i) && m_entries.at(i).view.compare(view, Qt::CaseInsensitive) == 0)
            reload(i, bookmark.isValid() && i == m_current ? bookmark.toInt() : currentRecordId());
    }
}

void MainWindow::refreshMessageFolders()
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_models.at(i) && m_entries.at(i).isMessageFolder())
            reload(i, currentRecordId());
    }
}

void MainWindow::refreshCurrent()
{
    reload(m_current, currentRecordId());
}

int MainWindow::currentRow() const
{
    const QModelIndex current = m_grid->selectionModel() ? m_grid->currentIndex() : QModelIndex();
    return current.isValid() ? current.row() : -1;
}

qint32 MainWindow::currentRecordId() const
{
    return m_current >= 0 ? m_models.at(m_current)->recordId(currentRow()) : 0;
}

QString MainWindow::currentKey() const
{
    const FolderEntry &entry = m_entries.at(m_current);
    return m_models.at(m_current)->value(currentRow(), entry.keyColumn).toString();
}

QString MainWindow::currentLink() const
{
    if (m_current < 0 || m_entries.at(m_current).isMessageFolder() || currentRow() < 0)
        return {};
    return m_entries.at(m_current).table + QLatin1Char('|') + currentKey();
}

void MainWindow::runReporting(const std::function<void()> &command)
{
    SuiteErrors &errors = *m_session.errors();
    errors.clearRecentReports();
    command();
    const QList<ErrorReport> reports = errors.recentReports();
    for (const ErrorReport &report : reports)
        showFailure(QStringLiteral("%1\n\n(%2 > %3)").arg(report.description, report.object, report.procedure));
}

void MainWindow::showFailure(const QString &text)
{
    statusBar()->showMessage(text.section(QLatin1Char('\n'), 0, 0));
    host::textService().messageBox(text, {}, host::mbExclamation, QStringLiteral("Merovan"));
}

void MainWindow::newMessage()
{
    runReporting([this] {
        mrvMessage &component = *m_session.message();
        component.setParam1(QString());
        component.setParam2(currentLink());
        component.setParam3(QStringLiteral("0"));
        component.NewRecord(this, QStringLiteral("SYS_MSG"));
    });
}

void MainWindow::newTask()
{
    runReporting([this] {
        mrvMessage &component = *m_session.message();
        component.setParam1(QString());
        component.setParam2(currentLink());
        component.NewRecord(this, QStringLiteral("SYS_TSK"));
    });
}

void MainWindow::openCurrent()
{
    if (currentRow() < 0)
        return;
    const FolderEntry &entry = m_entries.at(m_current);
    if (!entry.isMessageFolder()) {
        try {
            m_session.records()->openRecordWindow(this, entry.table, currentKey());
        } catch (const Failure &failure) {
            showFailure(failure.message());
        }
        return;
    }
    runReporting([&] {
        mrvMessage &component = *m_session.message();
        component.setViewName(entry.view);
        component.setBookmark(currentRecordId());
        component.setFilterQuery(entry.condition);
        component.setOrderBy(QStringLiteral("RECORD_ID DESC"));
        component.setParam3(
            QString::number(m_models.at(m_current)->value(currentRow(), QStringLiteral("MSTYP")).toInt()));
        component.OpenRecord(this, entry.table, QString::number(currentRecordId()));
    });
}

void MainWindow::showHistory()
{
    if (currentRow() < 0)
        return;
    const FolderEntry &entry = m_entries.at(m_current);
    const QString description = m_models.at(m_current)->value(currentRow(), entry.descriptionColumn).toString();
    runReporting(
        [&] { m_session.message()->mrvShowMessageHistory(this, entry.table, currentKey(), entry.view, description); });
}

} // namespace mrv::suite::app
