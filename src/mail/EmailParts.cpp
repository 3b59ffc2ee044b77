#include "EmailParts.h"

#include "facade/Types.h"
#include "mrvSMTP.h"

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

namespace {

QStringList addressesOf(const QString &list)
{
    QStringList addresses;
    for (const QString &address : list.split(QLatin1Char('|'))) {
        if (!address.trimmed().isEmpty())
            addresses << address.trimmed();
    }
    return addresses;
}

} // namespace

void addRecipients(mrvSMTP &smtp, const QString &to, const QString &cc, const QString &ccn)
{
    const QList<QPair<QString, qint32>> lists = {
        {to, eMessageRecipient_To}, {cc, eMessageRecipient_Cc}, {ccn, eMessageRecipient_Ccn}};
    for (const auto &[list, type] : lists) {
        for (const QString &address : addressesOf(list))
            smtp.AddRecipient(address, QString(), type);
    }
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
