#include "ScreenPointer.h"

#include "host/HostServices.h"
#include "host/ScreenPointer.h"

namespace mrv {

BusyPointer::BusyPointer()
{
    if (host::ScreenPointer *pointer = host::screenPointer()) {
        m_found = pointer->shape();
        pointer->setShape(host::psHourglass);
    }
}

BusyPointer::~BusyPointer()
{
    if (host::ScreenPointer *pointer = host::screenPointer())
        pointer->setShape(m_found);
}

void BusyPointer::release()
{
    if (host::ScreenPointer *pointer = host::screenPointer())
        pointer->setShape(host::psDefault);
}

} // namespace mrv
