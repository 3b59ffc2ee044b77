#include "ComObject.h"

#include <atomic>

namespace mrv {

namespace {
std::atomic<qint64> liveObjects{0};
}

ComObject::ComObject()
{
    ++liveObjects;
}

ComObject::ComObject(const ComObject &)
{
    ++liveObjects;
}

ComObject::~ComObject()
{
    --liveObjects;
}

qint64 ComObject::liveCount()
{
    return liveObjects.load();
}

} // namespace mrv
