#include "EmailParts.h"

#include "facade/Types.h"

namespace mrv {

qint32 emailPriority(qint32 messagePriority)
{
    switch (messagePriority) {
    case mspHigh:
        return eMessageProprity_High;
    case mspLow:
        return eMessageProprity_Low;
    default:
        return eMessageProprity_Normal;
    }
}

QStringList addressesOf(const QString &list)
{
    QStringList addresses;
    for (const QString &address : list.split(QLatin1Char('|'))) {
        if (!address.trimmed().isEmpty())
            addresses << address.trimmed();
    }
    return addresses;
}

QByteArray rtfBytes(const QString &rtf)
{
    for (const QChar c : rtf) {
        if (c.unicode() > 0x7F)
            return rtf.toUtf8();
    }
    return rtf.toLatin1();
}

} // namespace mrv
