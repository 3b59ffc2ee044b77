#pragma once

#include <QString>

namespace mrv::host {

// The host's image library: icons by key.
class Resources
{
public:
    virtual ~Resources() = default;

    // A path QIcon/QPixmap can load (a Qt resource path or a file), or an
    // empty string when the key is unknown.
    virtual QString imagePath(const QString &key) const = 0;
};

} // namespace mrv::host
