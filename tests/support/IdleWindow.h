#pragma once

#include "facade/WindowRegistry.h"

namespace mrv::testing {

// A component window of the kind `Base` that is always enabled, does
// nothing when focused or hidden, and leaves the registry when unloaded:
// the least a test needs from a window it registers.
template <typename Base> class IdleWindow : public Base
{
public:
    bool isEnabled() const override { return true; }
    void focus() override {}
    void hide() override {}
    bool unload() override
    {
        WindowRegistry::instance().remove(this);
        return true;
    }
};

} // namespace mrv::testing
