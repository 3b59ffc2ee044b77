#pragma once

#include <QString>

#include <glib-object.h>

#include <memory>

namespace mrv::mime {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Owns one reference to a GObject (GMime's objects are GObjects).
template <typename T> using GRef = std::unique_ptr<T, GObjectUnref>;

struct GFree
{
    void operator()(gpointer pointer) const { g_free(pointer); }
};

// Owns a string that GLib or GMime allocated for the caller.
using GText = std::unique_ptr<char, GFree>;

// The UTF-8 text of a string the caller owns, which it frees.
inline QString takeText(char *text)
{
    const GText owned(text);
    return owned ? QString::fromUtf8(owned.get()) : QString();
}

} // namespace mrv::mime
