#pragma once

#include <memory>

namespace mrv::host {

class PathServices;
class Resources;
class RichTextStore;
class ScreenPointer;
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
    // Stored bodies, for the windows that are given no store of their own.
    std::shared_ptr<RichTextStore> richTextStore;
    // Optional: without one (the command line) the pointer is left alone.
    std::shared_ptr<ScreenPointer> screenPointer;
};

void installHostServices(const HostServices &services);

ValueTools &valueTools();
TextService &textService();
PathServices &pathServices();
Resources &resources();
RichTextStore &richTextStore();
ScreenPointer *screenPointer();

} // namespace mrv::host
