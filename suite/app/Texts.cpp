#include "Texts.h"

#include "host/HostServices.h"
#include "host/TextService.h"

namespace mrv::suite::app {

QString shellText(const QString &text, const char *procedure)
{
    return host::textService().translate(text, QStringLiteral("mrv-suite > ") + QString::fromLatin1(procedure));
}

} // namespace mrv::suite::app
