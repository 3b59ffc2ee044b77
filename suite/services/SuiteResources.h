#pragma once

#include "host/Resources.h"

namespace mrv::suite {

// Icons by key from the suite's Qt resources (":/icons/<key>.svg", or
// else ".png"); an empty path for a key without an image.
class SuiteResources : public host::Resources
{
public:
    QString imagePath(const QString &key) const override;
};

} // namespace mrv::suite
