#include "Icons.h"

#include "host/HostServices.h"
#include "host/Resources.h"

#include <QHash>

namespace mrv::suite::app {

QIcon iconOf(const QString &key)
{
    static QHash<QString, QIcon> loaded;
    const auto found = loaded.constFind(key);
    if (found != loaded.constEnd())
        return *found;
    const QString path = host::resources().imagePath(key);
    return loaded[key] = path.isEmpty() ? QIcon() : QIcon(path);
}

} // namespace mrv::suite::app
