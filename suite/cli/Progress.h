#pragma once

#include <QElapsedTimer>
#include <QString>

namespace mrv::cli {

// "message n of N, x messages/s, about s left" on a terminal's stderr,
// rewritten in place; nothing at all when stderr is a file or a pipe, so
// that scripts read only what the command prints.
class TerminalProgress
{
public:
    explicit TerminalProgress(qint64 total);
    ~TerminalProgress();

    void done(qint64 count);

private:
    qint64 m_total;
    bool m_shown;
    QElapsedTimer m_timer;
};

} // namespace mrv::cli
