#pragma once

#include <QString>

class QWidget;

namespace mrv {

// Anything the component creates by name through its factories.
class ComponentObject
{
public:
    virtual ~ComponentObject() = default;
};

// A window of the component, as the facade and the window registry see it.
// The tag names what the window shows ("SYS_MSG|12"); the facade reuses a
// modeless window by its tag.
class ComponentWindow : public ComponentObject
{
public:
    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    virtual bool isEnabled() const = 0;
    // May fail (a window that cannot take the focus); callers ignore that.
    virtual void focus() = 0;
    virtual void hide() = 0;
    // Closes the window; false when it refuses (unsaved changes kept). A
    // window that closes removes itself from the WindowRegistry.
    virtual bool unload() = 0;
    virtual QWidget *widget() { return nullptr; }

private:
    QString m_tag;
};

} // namespace mrv
