#pragma once

#include "host/PathServices.h"

namespace mrv::suite {

// Folders and files of the product "Merovan": "Temp" lives in a private
// folder of the user (mode 0700) under the system's temporary folder, every
// other product folder under the user's data folder.
class SuitePaths : public host::PathServices
{
public:
    // A non-empty `root` replaces both the temporary and the data folder, so
    // that tests keep their files to themselves.
    explicit SuitePaths(const QString &root = QString());

    QString newTempFileName(const QString &prefix, const QString &folder, const QString &extension) override;
    QString productFolder(const QString &name) override;
    bool convertToUtf8(const QString &path) override;
    bool createFolder(const QString &path) override;

private:
    QString productBase(const QString &name) const;

    QString m_root;
};

} // namespace mrv::suite
