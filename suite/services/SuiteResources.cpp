#include "SuiteResources.h"

#include <QFile>

namespace mrv::suite {

QString SuiteResources::imagePath(const QString &key) const
{
    if (key.isEmpty())
        return {};
    const QString path = QStringLiteral(":/icons/") + key + QStringLiteral(".png");
    return QFile::exists(path) ? path : QString();
}

} // namespace mrv::suite
