#include "Icons.h"

#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/Resources.h"

namespace mrv::widgets {

QIcon resourceIcon(const QString &key)
{
    if (key.isEmpty())
        return {};
    try {
        const QString path = host::resources().imagePath(key);
        return path.isEmpty() ? QIcon() : QIcon(path);
    } catch (const Failure &) {
        // A host without an image library shows no images.
        return {};
    }
}

} // namespace mrv::widgets
