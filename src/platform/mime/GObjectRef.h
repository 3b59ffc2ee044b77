#pragma once

#include <glib-object.h>

#include <memory>

namespace mrv::mime {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Owns one reference to a GObject (GMime's objects are GObjects).
template <typename T> using GRef = std::unique_ptr<T, GObjectUnref>;

} // namespace mrv::mime
