#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace mrv::notifications {

// The notification export file (".qdn"): UTF-16LE text with a byte-order
// mark, every line "KEY=value" ended by CR LF. A section "[SYS_NTF]=" id
// holds the notification, each "[SYS_NTC]=" id one of its conditions, each
// "[SYS_NTG]=" id one of the parameters its texts refer to, in that order;
// docs/notifications.md lists the lines of each.
struct FileSection
{
    QString table; // "SYS_NTF", "SYS_NTC" or "SYS_NTG"
    QString id;
    // By key; line breaks are CR LF here, whatever they were when stored.
    QHash<QString, QString> values;
};

// The keys of a section's lines, in file order ("SYS_NTF": CDAZI, NTTIP, ...).
QStringList sectionKeys(const QString &table);

// A stored column's value as its line holds it: Null as empty text,
// Booleans as -1 and 0, anything else as its text.
QString fileValue(const QString &key, const QVariant &stored);

// A text on one line: every CR and LF becomes U+0001, each pair of U+0001
// one, and the result is trimmed. Reading turns U+0001 back into CR LF.
QString flattened(const QString &text);

QByteArray encodeNotificationFile(const QList<FileSection> &sections);

// The sections of a file as the export writes it. Anything else is a
// Failure that says what is wrong: not UTF-16 with its mark, cut short (a
// half character, an unfinished last line, a section without all its
// lines, a parameter referred to and not carried), a key that does not
// belong where it stands, a number that is none.
QList<FileSection> decodeNotificationFile(const QByteArray &bytes);

} // namespace mrv::notifications
