#pragma once

// Values of the notification tables as the model reads them: Null is empty
// text, 0 or False. Internal to src/notifications.

#include "host/HostServices.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

#include <QString>
#include <QVariant>

namespace mrv::notifications {

inline QString textOf(const QVariant &value)
{
    return host::valueTools().nullSafe(value).toString();
}

inline qint32 integerOf(const QVariant &value)
{
    const QString text = textOf(value);
    return text.isEmpty() ? 0 : qint32(host::valueTools().toNumber(text));
}

inline bool booleanOf(const QVariant &value)
{
    const QVariant safe = host::valueTools().nullSafe(value);
    return !safe.toString().isEmpty() && host::valueTools().toBoolean(safe);
}

inline QString numberLiteral(qint32 value)
{
    return host::valueTools().sqlLiteral(value, host::tcInt32);
}

} // namespace mrv::notifications
