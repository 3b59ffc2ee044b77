#pragma once

#include <memory>

namespace mrv::host {

class PathServices;
class Resources;
class TextService;
class ValueTools;

// The host's global services. The host installs them once before it creates
// any of the component's objects; using one that is not installed throws
// Failure.
struct HostServices
{
    std::shared_ptr<ValueTools> valueTools;
    std::shared_ptr<TextService> textService;
    std::shared_ptr<PathServices> pathServices;
    std::shared_ptr<Resources> resources;
};

void installHostServices(const HostServices &services);

ValueTools &valueTools();
TextService &textService();
PathServices &pathServices();
Resources &resources();

} // namespace mrv::host
