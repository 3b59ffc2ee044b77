#pragma once

// What the parts of the message window's controller share: names, value
// conversions and the texts of the attachment list. Internal to src/messages.

#include "facade/Types.h"
#include "host/HostServices.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

#include <QDateTime>
#include <QLocale>
#include <QPair>
#include <QString>
#include <QVariant>

namespace mrv::messagewindow {

inline const QString kObject = QStringLiteral("frmSYS_MSG");
inline const QString kTable = QStringLiteral("SYS_MSG");
inline const QChar kCR(13);
inline const QString kCRLF = QStringLiteral("\r\n");
// Records::fileDialog: a folder is chosen rather than a file.
constexpr qint32 kFolderDialog = 4;
// RichTextStore: the key is a number; the body is rich text.
constexpr qint32 kKeyKind = 2;
constexpr qint32 kRichTextFormat = 5;

inline QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

inline qint32 toInteger(const QVariant &value)
{
    const QVariant safe = host::valueTools().nullSafe(value);
    return safe.toString().isEmpty() ? 0 : qint32(host::valueTools().toNumber(safe));
}

inline QVariant dateOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date.startOfDay()) : mrv::null();
}

inline QString sentText(const QDateTime &sent)
{
    const QLocale locale;
    return sent.isValid() ? locale.toString(sent, QStringLiteral("dddd ") + locale.dateFormat(QLocale::ShortFormat) +
                                                      QStringLiteral(" hh:mm"))
                          : QString();
}

// The type a stored MSTYP stands for in the window, and whether it is the
// user's own task.
inline QPair<qint32, bool> windowType(qint32 storedType)
{
    return storedType == mstPersonalTask ? qMakePair(qint32(mstTask), true) : qMakePair(storedType, false);
}

// ATKEY holds text: the key goes in as a text literal, which every engine
// compares without a cast.
inline QString attachmentsOfSql(qint32 messageId)
{
    return QStringLiteral("SELECT * FROM SYS_ATT") + kCR + QStringLiteral("WHERE ATTBL = ") + literal(kTable) +
           QStringLiteral(" AND") + kCR + QStringLiteral("      ATKEY = ") + literal(QString::number(messageId));
}

} // namespace mrv::messagewindow
