#include "HostServices.h"

#include "Failure.h"
#include "PathServices.h"
#include "Resources.h"
#include "RichTextStore.h"
#include "TextService.h"
#include "ValueTools.h"

namespace mrv::host {

namespace {

HostServices &installed()
{
    static HostServices services;
    return services;
}

template <typename T> T &require(const std::shared_ptr<T> &service, const char *name)
{
    if (!service)
        throw Failure(QStringLiteral("The host service %1 is not installed").arg(QLatin1String(name)));
    return *service;
}

} // namespace

void installHostServices(const HostServices &services)
{
    installed() = services;
}

ValueTools &valueTools()
{
    return require(installed().valueTools, "ValueTools");
}

TextService &textService()
{
    return require(installed().textService, "TextService");
}

PathServices &pathServices()
{
    return require(installed().pathServices, "PathServices");
}

ScreenPointer *screenPointer()
{
    return installed().screenPointer.get();
}

Resources &resources()
{
    return require(installed().resources, "Resources");
}

RichTextStore &richTextStore()
{
    return require(installed().richTextStore, "RichTextStore");
}

} // namespace mrv::host
