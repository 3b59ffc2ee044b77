#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mrv {

// mrv_eMessagePriority of a message to the e-mail's qd_eMessagePriority.
qint32 emailPriority(qint32 messagePriority);

// The addresses of a list handed to the transports ("|" between them).
QStringList addressesOf(const QString &list);

// A stored RTF body as the RTF reader takes it: RTF is 7-bit text; a body
// that came in as Unicode text keeps its characters as UTF-8.
QByteArray rtfBytes(const QString &rtf);

} // namespace mrv
