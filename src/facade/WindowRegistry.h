#pragma once

#include "ComponentWindow.h"

#include <QList>

#include <memory>

namespace mrv {

// The windows the component has loaded, in the order they were loaded: the
// collection behind mrvMessage::GetForms. The registry owns them until they
// unload.
class WindowRegistry
{
public:
    static WindowRegistry &instance();

    ComponentWindow *add(std::unique_ptr<ComponentWindow> window);
    // Forgets the window and destroys it; nothing happens for an unknown one.
    void remove(ComponentWindow *window);

    QList<ComponentWindow *> windows() const;
    qsizetype count() const;
    ComponentWindow *findByTag(const QString &tag) const;

private:
    std::vector<std::unique_ptr<ComponentWindow>> m_windows;
};

} // namespace mrv
