#pragma once

#include "host/Resources.h"

namespace mrv::suite {

// Icons by key from the suite's Qt resources (":/icons/<key>.png").
class SuiteResources : public host::Resources
{
public:
    QString imagePath(const QString &key) const override;
};

} // namespace mrv::suite
