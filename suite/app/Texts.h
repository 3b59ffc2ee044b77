#pragma once

#include <QString>

namespace mrv::suite::app {

// A text of the shell through the host's translation, in the context
// "mrv-suite > " + procedure.
QString shellText(const QString &text, const char *procedure);

} // namespace mrv::suite::app
