#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace mrv::smtp {

// The conversation with the server as log lines, with what it tells about
// where a failed send stopped. Each line carries the server's reply code,
// or 0 for what the client sent and for the client's own notes.
//
// Credentials never reach a line: from an AUTH command until the server's
// final answer to it, the client's lines are replaced, and AUTH keeps only
// its mechanism name.
class SmtpTranscript
{
public:
    using LineHandler = std::function<void(const QString &text, qint32 code)>;

    explicit SmtpTranscript(LineHandler handler);

    void clientNote(QByteArrayView text);
    void commandSent(QByteArrayView command);
    void replyReceived(QByteArrayView reply);
    void note(const QString &text, qint32 code = 0);
    // Forgets the conversation (not the handler) for a new connection.
    void restart();

    bool heardServer() const { return m_heardServer; }
    // The code of a reply that came before the client said anything (the
    // greeting), 0 when there was none (a reused connection has none).
    qint32 greetingCode() const { return m_greetingCode; }
    // The first refusal (a 4xx or 5xx reply) and the verb of the command it
    // answered ("RCPT", "AUTH"...; empty for the greeting); code 0 when none.
    qint32 refusalCode() const { return m_refusalCode; }
    QString refusedCommand() const { return m_refusedCommand; }
    // The server accepted DATA and has not answered the message yet.
    bool awaitingDataAnswer() const { return m_awaitingDataAnswer; }

private:
    QString redactedCommand(const QString &line);
    void followReply(qint32 code, bool finalLine);

    LineHandler m_handler;
    bool m_commandSent = false;
    bool m_heardServer = false;
    bool m_authenticating = false;
    bool m_awaitingDataAnswer = false;
    qint32 m_greetingCode = 0;
    qint32 m_refusalCode = 0;
    QString m_refusedCommand;
    QString m_lastCommand;
};

} // namespace mrv::smtp
