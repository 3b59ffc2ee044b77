#include "GMimeSetup.h"

#include <gmime/gmime.h>

#include <mutex>

namespace mrv::mime {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace mrv::mime
