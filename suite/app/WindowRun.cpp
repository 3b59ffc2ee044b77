#include "WindowRun.h"

#include "MainWindow.h"
#include "ShellOptions.h"
#include "TableInfo.h"
#include "facade/ComponentWindow.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace mrv::suite::app {

namespace {

// What the component reported while `operation` ran, as a failure.
void requireNoReports(SuiteSession &session, const QString &what, const std::function<void()> &operation)
{
    SuiteErrors &errors = *session.errors();
    errors.clearRecentReports();
    operation();
    const QList<ErrorReport> reports = errors.recentReports();
    if (!reports.isEmpty())
        throw Failure(QStringLiteral("%1: %2").arg(what, reports.first().description));
}

// The component's newest window that has a widget.
QWidget *newestComponentWidget(mrvMessage &component)
{
    const QList<ComponentWindow *> windows = component.GetForms();
    for (auto window = windows.crbegin(); window != windows.crend(); ++window) {
        if (QWidget *widget = (*window)->widget())
            return widget;
    }
    return nullptr;
}

void openComponentWindow(SuiteSession &session, const ShellOptions &options)
{
    mrvMessage &component = *session.message();
    component.setParam3(options.messageType);
    switch (options.window) {
    case ShellOptions::Window::Open:
        component.OpenRecord(nullptr, options.table, options.key);
        break;
    case ShellOptions::Window::New:
        component.NewRecord(nullptr, options.table);
        break;
    case ShellOptions::Window::History: {
        // The history's title names the record, as a host's list would.
        const db::QueryResult record = readRecord(session, options.table, options.key);
        const QString description = fieldOf(record, 0, textColumnOf(options.table)).toString();
        component.mrvShowMessageHistory(nullptr, options.table, options.key, options.table, description);
        break;
    }
    default:
        break;
    }
}

} // namespace

QWidget *openNamedWindow(SuiteSession &session, DesktopInteraction &interaction, const ShellOptions &options,
                         std::unique_ptr<MainWindow> &mainWindow)
{
    if (options.window == ShellOptions::Window::Main) {
        mainWindow = std::make_unique<MainWindow>(session, interaction);
        return mainWindow.get();
    }
    const QString what = QStringLiteral("The window of %1 %2").arg(options.table, options.key).trimmed();
    requireNoReports(session, what + QStringLiteral(" cannot open"), [&] { openComponentWindow(session, options); });
    QWidget *window = newestComponentWidget(*session.message());
    if (!window)
        throw Failure(what + QStringLiteral(" did not open"));
    return window;
}

QAction *findCommand(QWidget *window, int commandId)
{
    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (QAction *action : actions) {
        if (action->property("commandId").toInt() == commandId)
            return action;
    }
    const QString name = QStringLiteral("cmd") + QString::number(commandId);
    for (QAction *action : actions) {
        if (action->objectName() == name)
            return action;
    }
    return nullptr;
}

QWidget *runCommands(SuiteSession &session, QWidget *window, const QList<int> &commandIds)
{
    QPointer<QWidget> front = window;
    for (const int id : commandIds) {
        if (!front)
            throw Failure(QStringLiteral("The window closed before the command %1").arg(id));
        QAction *action = findCommand(front, id);
        if (!action)
            throw Failure(QStringLiteral("The window has no command %1").arg(id));
        if (!action->isEnabled())
            throw Failure(QStringLiteral("The command %1 is not enabled").arg(id));
        requireNoReports(session, QStringLiteral("The command %1 failed").arg(id), [action] {
            action->trigger();
            QApplication::processEvents();
        });
        // A command may open a window of its own (a reply): the next
        // commands and the picture are that window's.
        if (QWidget *newest = newestComponentWidget(*session.message()))
            front = newest;
    }
    if (!front)
        throw Failure(QStringLiteral("The window closed"));
    return front;
}

void savePicture(QWidget *window, const QString &file)
{
    QApplication::processEvents();
    if (!window->grab().save(file, "PNG"))
        throw Failure(QStringLiteral("The picture cannot be written to %1").arg(file));
}

} // namespace mrv::suite::app
