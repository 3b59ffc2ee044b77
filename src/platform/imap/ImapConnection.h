#pragma once

#include "Command.h"
#include "ImapAccount.h"
#include "ImapError.h"
#include "ImapTranscript.h"
#include "Response.h"
#include "SelectedMailbox.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <initializer_list>
#include <memory>

namespace mrv::imap {

// One connection to an IMAP server, used from one thread. Every call
// blocks that thread on the socket, each wait bounded by the account's
// timeout; a timeout, a broken connection or an answer that cannot be
// understood drops the connection, so that it is never left half-way
// through a response.
//
// Each command runs to its tagged answer. Untagged responses that arrive
// meanwhile go first to the capabilities and the selected mailbox's state,
// whichever command they come with, then to the command.
class ImapConnection
{
public:
    enum class State { Disconnected, Greeting, NotAuthenticated, Authenticated, Selected, Logout };

    // What a command does with the responses before its tagged answer.
    struct Handlers
    {
        // Every untagged response; true when the command takes it as its
        // own answer (a FETCH it took is no unasked change).
        std::function<bool(const Response &)> untagged;
        // A "+" challenge that is no literal's go-ahead (AUTHENTICATE): the
        // line to answer with, never shown in the transcript.
        std::function<QByteArray(const Response &)> challenge;
    };

    ImapConnection(const ImapAccount &account, ImapTranscript &transcript);
    ~ImapConnection();
    ImapConnection(const ImapConnection &) = delete;
    ImapConnection &operator=(const ImapConnection &) = delete;

    const ImapAccount &account() const;
    State state() const;
    void setState(State state);
    // Fails with an error of kind State unless the connection is in one of
    // `states`; `action` names what could not be done.
    Result<void> require(std::initializer_list<State> states, const QString &action) const;
    bool isEncrypted() const;

    // Connects, sets up TLS as the account says (STARTTLS included) and
    // reads the greeting and the capabilities. Nothing is sent in the clear
    // when TLS is configured and could not be set up.
    Result<void> open();
    // Sends the command and reads up to its tagged answer: the OK response,
    // or NO and BAD as errors.
    Result<Response> run(const Command &command, const Handlers &handlers = {});
    // Drops the connection at once.
    void close();

    const QList<QByteArray> &capabilities() const;
    bool hasCapability(QByteArrayView name) const;
    // Asks for the capabilities unless the last answer already told them.
    Result<void> refreshCapabilities();
    void forgetCapabilities();
    // Extensions the server confirmed with "* ENABLED".
    bool isEnabled(QByteArrayView extension) const;
    void markEnabled(const QList<QByteArray> &extensions);

    MailboxTracker &mailbox();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace mrv::imap
