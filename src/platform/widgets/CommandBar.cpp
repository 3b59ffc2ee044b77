#include "CommandBar.h"

#include "Icons.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QToolBar>

namespace mrv::widgets {

namespace {

QSet<qint32> menuIds(const commands::CommandStates &states)
{
    QSet<qint32> ids;
    for (const commands::CommandState &state : states) {
        if (state.menu != 0)
            ids.insert(state.menu);
    }
    return ids;
}

} // namespace

CommandBar::CommandBar(StateSource states, Trigger trigger, QWidget *parent)
    : QObject(parent), m_states(std::move(states)), m_trigger(std::move(trigger)), m_parent(parent)
{
    build();
}

void CommandBar::build()
{
    const commands::CommandStates states = m_states();
    const QSet<qint32> menus = menuIds(states);
    for (const commands::CommandState &state : states) {
        QAction *action = nullptr;
        if (menus.contains(state.id)) {
            action = menuFor(state.id)->menuAction();
            if (state.menu == 0)
                m_topMenus << state.id;
        } else {
            action = new QAction(this);
            const qint32 id = state.id;
            connect(action, &QAction::triggered, this, [this, id] {
                QPointer<CommandBar> alive(this);
                m_trigger(id);
                if (alive)
                    refresh();
            });
        }
        action->setProperty("commandId", state.id);
        action->setObjectName(QStringLiteral("cmd%1").arg(state.id));
        m_actions.insert(state.id, action);
        if (state.menu != 0) {
            QMenu *parentMenu = menuFor(state.menu);
            if (state.separatorBefore)
                m_separators[state.id] << parentMenu->addSeparator();
            parentMenu->addAction(action);
        }
        if (state.onToolbar) {
            if (!m_toolBar) {
                m_toolBar = new QToolBar(m_parent);
                m_toolBar->setObjectName(QStringLiteral("Standard"));
            }
            if (state.separatorBefore)
                m_separators[state.id] << m_toolBar->addSeparator();
            m_toolBar->addAction(action);
        }
        apply(state);
    }
}

// Menus are made when first named, by their own entry or by a child's.
QMenu *CommandBar::menuFor(qint32 id)
{
    QMenu *&menu = m_menus[id];
    if (!menu) {
        menu = new QMenu(m_parent);
        connect(menu, &QMenu::aboutToShow, this, &CommandBar::refresh);
    }
    return menu;
}

void CommandBar::fillMenuBar(QMenuBar *menuBar)
{
    for (qint32 id : std::as_const(m_topMenus))
        menuBar->addMenu(m_menus.value(id));
}

QMenu *CommandBar::menu(qint32 menuId) const
{
    return m_menus.value(menuId);
}

QAction *CommandBar::action(qint32 id) const
{
    return m_actions.value(id);
}

void CommandBar::refresh()
{
    const commands::CommandStates states = m_states();
    for (const commands::CommandState &state : states)
        apply(state);
}

void CommandBar::apply(const commands::CommandState &state)
{
    QAction *action = m_actions.value(state.id);
    if (!action)
        return;
    action->setText(state.caption);
    action->setIcon(resourceIcon(state.iconKey));
    action->setEnabled(state.enabled);
    action->setVisible(state.visible);
    action->setCheckable(state.checkable);
    action->setChecked(state.checked);
    // A hidden command takes its separator with it: the toolbar does not
    // fold separators that meet.
    for (QAction *separator : m_separators.value(state.id))
        separator->setVisible(state.visible);
}

} // namespace mrv::widgets
