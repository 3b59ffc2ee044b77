#pragma once

#include <QString>

namespace mrv {

// One row of an attachment list of the message window.
struct AttachmentRow
{
    QString name;     // the file name as stored or chosen
    QString sizeText; // "12,50 Kb" for stored attachments; empty for files being attached
    QString path;     // the file on disk, when there is one
    qint32 id = 0;    // RECORD_ID of the stored attachment; 0 for a file added here
    QString iconKey;  // the freedesktop icon name of the file's type
};

// A name under which a stored attachment may be written: never a path, never
// a device name, never empty ("../../x" gives "x", "con" gives "_con").
QString safeAttachmentName(const QString &storedName);

// A path inside `folder` for the stored name that names no existing file:
// "x.txt", then "x (2).txt", ...
QString attachmentPathIn(const QString &folder, const QString &storedName);

// The icon of a file's type, by its name.
QString fileTypeIconKey(const QString &fileName);

// A size in bytes as the lists show it in kilobytes.
QString kilobytesText(qint64 bytes);

} // namespace mrv
