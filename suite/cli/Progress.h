#pragma once

#include <QElapsedTimer>
#include <QString>

namespace mrv::cli {

// "message n of N, x messages/s, about s left" on a terminal's stderr,
// rewritten in place; nothing at all when stderr is a file or a pipe, so
// that scripts read only what the command prints. The unit names what is
// counted ("message", "folder").
class TerminalProgress
{
public:
    explicit TerminalProgress(qint64 total, const QString &unit = QStringLiteral("message"));
    ~TerminalProgress();

    void done(qint64 count);

private:
    qint64 m_total;
    QByteArray m_unit;
    bool m_shown;
    QElapsedTimer m_timer;
};

} // namespace mrv::cli
