#pragma once

#include <QIcon>
#include <QString>

namespace mrv::widgets {

// The image of the host's resources with this key; a null icon when the
// key is empty or unknown, or the host has no images.
QIcon resourceIcon(const QString &key);

} // namespace mrv::widgets
