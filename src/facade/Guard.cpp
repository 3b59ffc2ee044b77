#include "Guard.h"

#include <QDebug>

namespace mrv::detail {

void reportFailure(host::Errors *errors, const QString &object, const char *procedure, const QString &description,
                   qint32 number)
{
    const QString procedureName = QString::fromLatin1(procedure);
    if (!errors) {
        qWarning().noquote() << object + QLatin1Char('.') + procedureName + QStringLiteral(": ") + description;
        return;
    }
    try {
        errors->report(description, number, object, procedureName, 0);
    } catch (...) {
        // A failing error log must not turn a reported failure into a crash.
    }
}

} // namespace mrv::detail
