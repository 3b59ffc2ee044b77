#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace mrv::imap {

// The conversation with the server as log lines. Credentials never reach
// a line: commands that carry them show only their verb, and what the
// client answers to an authentication challenge is hidden. Literals show
// as their size unless short and single-line.
class ImapTranscript
{
public:
    enum class Direction { Client, Server, Note };
    using LineHandler = std::function<void(const QString &text, Direction direction)>;

    explicit ImapTranscript(LineHandler handler = {}) : m_handler(std::move(handler)) {}

    void clientLine(const QString &text) { emitLine(text, Direction::Client); }
    void note(const QString &text) { emitLine(text, Direction::Note); }
    void serverResponse(const QByteArray &response);

private:
    void emitLine(const QString &text, Direction direction)
    {
        if (m_handler)
            m_handler(text, direction);
    }

    LineHandler m_handler;
};

} // namespace mrv::imap
