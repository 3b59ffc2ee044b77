#include "WindowRegistry.h"

namespace mrv {

WindowRegistry &WindowRegistry::instance()
{
    static WindowRegistry registry;
    return registry;
}

ComponentWindow *WindowRegistry::add(std::unique_ptr<ComponentWindow> window)
{
    m_windows.push_back(std::move(window));
    return m_windows.back().get();
}

void WindowRegistry::remove(ComponentWindow *window)
{
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [window](const std::unique_ptr<ComponentWindow> &w) { return w.get() == window; });
    if (found == m_windows.end())
        return;
    // Taken out first: a window's destructor may look at the registry.
    std::unique_ptr<ComponentWindow> removed = std::move(*found);
    m_windows.erase(found);
}

QList<ComponentWindow *> WindowRegistry::windows() const
{
    QList<ComponentWindow *> list;
    list.reserve(qsizetype(m_windows.size()));
    for (const auto &window : m_windows)
        list << window.get();
    return list;
}

qsizetype WindowRegistry::count() const
{
    return qsizetype(m_windows.size());
}

ComponentWindow *WindowRegistry::findByTag(const QString &tag) const
{
    for (const auto &window : m_windows) {
        if (window->tag() == tag)
            return window.get();
    }
    return nullptr;
}

} // namespace mrv
