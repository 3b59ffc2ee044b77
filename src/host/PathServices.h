#pragma once

#include <QString>

namespace mrv::host {

class PathServices
{
public:
    virtual ~PathServices() = default;

    // A new, not yet existing file name in `folder` (the temp folder when empty).
    virtual QString newTempFileName(const QString &prefix, const QString &folder, const QString &extension) = 0;
    // The product folder of a name ("Temp", "Notifications", "Bin.NET"), created when missing.
    virtual QString productFolder(const QString &name) = 0;
    // Rewrites a text file in UTF-8; false when it cannot be read or written.
    virtual bool convertToUtf8(const QString &path) = 0;
    virtual bool createFolder(const QString &path) = 0;
};

} // namespace mrv::host
