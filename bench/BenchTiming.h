#pragma once

#include <QElapsedTimer>
#include <QString>

#include <ctime>
#include <functional>

// Wall-clock and processor time of a run; on a busy machine the second is
// the closer guess at what the first would be on an idle one.
struct Timing
{
    double wall = 0;
    double processor = 0;
};

// The fastest of `runs` runs of `work`.
inline Timing bestOf(int runs, const std::function<void()> &work)
{
    Timing best;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        const std::clock_t startClock = std::clock();
        timer.start();
        work();
        const Timing timing{timer.nsecsElapsed() / 1e9, double(std::clock() - startClock) / CLOCKS_PER_SEC};
        if (run == 0 || timing.wall < best.wall)
            best = timing;
    }
    return best;
}

inline QString shown(const Timing &timing)
{
    return QStringLiteral("%1 s (processor %2 s)").arg(timing.wall, 0, 'f', 3).arg(timing.processor, 0, 'f', 3);
}
