#pragma once

#include "platform/commands/CommandState.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace mrv::widgets {

// The toolbar and menus of a window, built from its controller's commands.
// One QAction per command id, shared by toolbar and menus, carrying the id
// in its "commandId" property and named "cmd<id>". The states are read
// again by refresh() and before a menu opens; triggering an action hands
// its id to the trigger, then refreshes.
class CommandBar : public QObject
{
    Q_OBJECT

public:
    using StateSource = std::function<commands::CommandStates()>;
    using Trigger = std::function<void(qint32 id)>;

    CommandBar(StateSource states, Trigger trigger, QWidget *parent);

    // The commands marked for the toolbar, in their order; null when none is.
    QToolBar *toolBar() const { return m_toolBar; }
    // Adds the top-level menus to a menu bar.
    void fillMenuBar(QMenuBar *menuBar);
    // The menu of a menu entry (a popup too); null for an unknown id.
    QMenu *menu(qint32 menuId) const;
    QAction *action(qint32 id) const;

    void refresh();

private:
    void build();
    QMenu *menuFor(qint32 id);
    void apply(const commands::CommandState &state);

    StateSource m_states;
    Trigger m_trigger;
    QPointer<QWidget> m_parent;
    QToolBar *m_toolBar = nullptr;
    QHash<qint32, QAction *> m_actions;
    QHash<qint32, QMenu *> m_menus;
    QHash<qint32, QList<QAction *>> m_separators; // before each command, in its menu and on the toolbar
    QList<qint32> m_topMenus;
};

} // namespace mrv::widgets
