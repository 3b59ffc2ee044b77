#include "SuiteResources.h"

#include <QFile>

namespace mrv::suite {

QString SuiteResources::imagePath(const QString &key) const
{
    if (key.isEmpty())
        return {};
    // The suite's own icons are drawn in SVG; a host may add bitmaps.
    for (const char *extension : {".svg", ".png"}) {
        const QString path = QStringLiteral(":/icons/") + key + QLatin1String(extension);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

} // namespace mrv::suite
