#pragma once

#include <QProcess>

namespace mrv::testing {

// Asks a test server to end, then makes it, waiting each time.
inline void stopServerProcess(QProcess &process, int timeoutMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(timeoutMs);
    }
}

} // namespace mrv::testing
