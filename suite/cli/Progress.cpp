#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace mrv::cli {

TerminalProgress::TerminalProgress(qint64 total, const QString &unit)
    : m_total(total), m_unit(unit.toLocal8Bit()), m_shown(isatty(fileno(stderr)) != 0)
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
    std::fprintf(stderr, "\r%s %lld of %lld, %.1f %ss/s, about %.0f s left   ", m_unit.constData(),
                 static_cast<long long>(count), static_cast<long long>(m_total), rate, m_unit.constData(), left);
    std::fflush(stderr);
}

} // namespace mrv::cli
