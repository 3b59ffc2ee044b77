#include "ReceivedMessages.h"

#include "facade/Types.h"

namespace mrv::testing {

MessageCopy receivedByRossi(qint32 type)
{
    MessageCopy copy;
    copy.type = type;
    copy.folder = msfInBox;
    copy.user = QStringLiteral("ROSSI");
    copy.sender = QStringLiteral("Giuseppe Verdi <VERDI>");
    copy.to = QStringLiteral("Mario Rossi <ROSSI>");
    copy.subject = QStringLiteral("Preventivo");
    copy.body = QStringLiteral("{\\rtf1\\ansi Testo originale\\par}");
    copy.sentAt = QDateTime::currentDateTime();
    if (type == mstTask)
        copy.taskStatus = tksUnknown;
    return copy;
}

} // namespace mrv::testing
