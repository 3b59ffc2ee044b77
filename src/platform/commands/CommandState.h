#pragma once

#include <QList>
#include <QString>

namespace mrv::commands {

// A window command as its controller sees it at this moment: what the
// command bar shows and whether it may run. Controllers return a list of
// these; the window's command bar builds its toolbar and menus from it and
// reads it again whenever the state may have changed.
struct CommandState
{
    qint32 id = 0;
    QString caption; // translated, "&" accelerators kept
    QString iconKey; // an image of the host's resources, or empty
    bool enabled = true;
    bool visible = true;
    bool checkable = false;
    bool checked = false;
    // The menu entry this command sits in (0: none). An entry that other
    // entries name here is a menu; a menu with no menu of its own is a
    // top-level menu, or a popup when it is not visible.
    qint32 menu = 0;
    bool onToolbar = false;
    bool separatorBefore = false;
};

using CommandStates = QList<CommandState>;

} // namespace mrv::commands
