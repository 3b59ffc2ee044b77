#include "Icons.h"

#include "host/HostServices.h"
#include "host/Resources.h"

namespace mrv::widgets {

QIcon resourceIcon(const QString &key)
{
    if (key.isEmpty())
        return {};
    const QString path = host::resources().imagePath(key);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

} // namespace mrv::widgets
