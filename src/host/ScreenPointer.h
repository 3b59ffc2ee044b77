#pragma once

#include <QtGlobal>

namespace mrv::host {

// The screen pointer of the host's user interface.
enum PointerShape : qint32 { psDefault = 0, psHourglass = 11 };

class ScreenPointer
{
public:
    virtual ~ScreenPointer() = default;

    virtual qint32 shape() const = 0;
    virtual void setShape(qint32 shape) = 0;
};

} // namespace mrv::host
