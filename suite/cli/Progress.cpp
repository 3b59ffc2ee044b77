#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace mrv::cli {

TerminalProgress::TerminalProgress(qint64 total) : m_total(total), m_shown(isatty(fileno(stderr)) != 0)
{
    m_timer.start();
}

TerminalProgress::~TerminalProgress()
{
    if (m_shown)
        std::fputs("\n", stderr);
}

void TerminalProgress::done(qint64 count)
{
    if (!m_shown || count <= 0)
        return;
    const double seconds = m_timer.nsecsElapsed() / 1e9;
    const double rate = seconds > 0 ? count / seconds : 0;
    const double left = rate > 0 ? (m_total - count) / rate : 0;
    std::fprintf(stderr, "\rmessage %lld of %lld, %.1f messages/s, about %.0f s left   ", static_cast<long long>(count),
                 static_cast<long long>(m_total), rate, left);
    std::fflush(stderr);
}

} // namespace mrv::cli
