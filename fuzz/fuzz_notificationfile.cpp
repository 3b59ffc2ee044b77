// libFuzzer target for the notification export file and the batch of a
// generic notification. Not part of the default build; scripts/fuzz.sh
// builds and runs it ("notificationfile").
//
// Any bytes either read as a file or are refused with Failure; what was
// read, written and read again, is written the same way again. Any text
// either makes a batch or is refused with Failure.

#include "host/Failure.h"
#include "notifications/NotificationBatch.h"
#include "notifications/NotificationFile.h"

#include <cstdlib>

using namespace mrv;
using namespace mrv::notifications;

namespace {

bool sameSections(const QList<FileSection> &a, const QList<FileSection> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).table != b.at(i).table || a.at(i).id != b.at(i).id || a.at(i).values != b.at(i).values)
            return false;
    }
    return true;
}

void checkFile(const QByteArray &bytes)
{
    QList<FileSection> read;
    try {
        read = decodeNotificationFile(bytes);
    } catch (const Failure &) {
        return;
    }
    // A file of our own writing is never refused.
    const QList<FileSection> written = decodeNotificationFile(encodeNotificationFile(read));
    if (!sameSections(written, decodeNotificationFile(encodeNotificationFile(written))))
        std::abort();
}

void checkBatch(const QString &query)
{
    try {
        if (!notificationBatch(query, 1, QStringLiteral("A01"), true).startsWith(QLatin1String("/**/---")))
            std::abort();
    } catch (const Failure &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkFile(bytes);
    checkBatch(QString::fromUtf8(bytes));
    return 0;
}
