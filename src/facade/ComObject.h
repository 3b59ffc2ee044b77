#pragma once

#include <QtGlobal>

namespace mrv {

// Base of the component's creatable public classes. It counts the objects
// alive in the process, so that the library can tell its host whether it may
// be unloaded (DllCanUnloadNow).
class ComObject
{
public:
    ComObject();
    ComObject(const ComObject &);
    ComObject &operator=(const ComObject &) = default;
    virtual ~ComObject();

    static qint64 liveCount();
};

} // namespace mrv
