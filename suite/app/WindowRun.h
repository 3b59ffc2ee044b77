#pragma once

#include <QList>
#include <QString>

#include <memory>

class QAction;
class QWidget;

namespace mrv::suite {
class SuiteSession;
}

namespace mrv::suite::app {

class DesktopInteraction;
class MainWindow;
struct ShellOptions;

// Opening a window named on the command line, running its commands and
// taking its picture. Each throws Failure with the reason it cannot.

// The window of --main, --open, --new or --history. The main window goes to
// `mainWindow`; the component's windows stay the component's.
QWidget *openNamedWindow(SuiteSession &session, DesktopInteraction &interaction, const ShellOptions &options,
                         std::unique_ptr<MainWindow> &mainWindow);

// The action carrying the command id: its "commandId" property, or else the
// object name "cmd" + id; null when the window has none.
QAction *findCommand(QWidget *window, int commandId);

// Runs the commands in order; each must exist and be enabled, and must
// report nothing to the session's Errors. Returns the window in front
// after them: the newest of the component's windows, when one opened.
QWidget *runCommands(SuiteSession &session, QWidget *window, const QList<int> &commandIds);

void savePicture(QWidget *window, const QString &file);

} // namespace mrv::suite::app
