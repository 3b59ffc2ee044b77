#pragma once

#include <QIcon>
#include <QString>

namespace mrv::suite::app {

// The icon of a resource key, through the host's resources; a null icon
// when the key has no image.
QIcon iconOf(const QString &key);

} // namespace mrv::suite::app
