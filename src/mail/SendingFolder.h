#pragma once

#include <QHash>
#include <QString>

namespace mrv {

// A folder of one sending's own for the files it hands to a transport: made
// new (mode 0700) inside the product's temporary folder when the first file
// needs a place, and removed with everything in it when the sending ends,
// unless the files were handed on to a queue, whose reader removes them
// (removeQueuedFile).
class SendingFolder
{
public:
    SendingFolder() = default;
    ~SendingFolder();
    SendingFolder(const SendingFolder &) = delete;
    SendingFolder &operator=(const SendingFolder &) = delete;

    // Where a file of this name goes: two files of the same name in one
    // sending each get their own place and keep the name.
    QString placeFor(const QString &fileName);
    // The files now belong to the queue: the folder stays.
    void handOver() { m_handedOver = true; }

    // Removes a file that a sending handed to the queue, and its sending's
    // folder once that holds nothing more. Files outside a sending folder
    // are not touched.
    static void removeQueuedFile(const QString &path);

private:
    const QString &path();

    QString m_path;
    QHash<QString, int> m_uses;
    bool m_handedOver = false;
};

} // namespace mrv
