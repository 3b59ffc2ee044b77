#pragma once

#include <QtGlobal>

namespace mrv {

// Shows the hourglass while an operation runs and puts back the pointer it
// found, whatever way the operation ends.
class BusyPointer
{
public:
    BusyPointer();
    ~BusyPointer();

    // The normal pointer from here on, for an operation about to wait on the
    // user (a modal window); the pointer found is still put back at the end.
    void release();

    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    qint32 m_found = 0;
};

} // namespace mrv
