#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace mrv {

class mrvSMTP;

// mrv_eMessagePriority of a message to the e-mail's qd_eMessagePriority.
qint32 emailPriority(qint32 messagePriority);

// Adds every address of the three lists ("|" between addresses) as To, Cc
// and Ccn recipients, without names.
void addRecipients(mrvSMTP &smtp, const QString &to, const QString &cc, const QString &ccn);

// A stored RTF body as the RTF reader takes it: RTF is 7-bit text; a body
// that came in as Unicode text keeps its characters as UTF-8.
QByteArray rtfBytes(const QString &rtf);

} // namespace mrv
