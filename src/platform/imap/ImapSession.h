#pragma once

#include "ImapAccount.h"
#include "ImapError.h"
#include "ImapTranscript.h"
#include "MailboxCommands.h"
#include "MessageCommands.h"

#include <memory>

namespace mrv::imap {

// The IMAP client for callers that wait for each answer: every call
// returns the typed result or the error that prevented it.
//
// Threading: the connection lives in a thread of its own and each call
// hands it one job and waits for the result. That thread blocks on the
// socket (waitFor...), every wait bounded by the account's timeout, and
// drops the connection when one runs out, so a call always returns. No
// event loop runs anywhere for it: calls work from a thread without one
// (the command line) as from the GUI thread, which they hold as any
// synchronous call does. Calls from several threads are served one after
// the other. The log handler runs on the session's thread, while the
// caller waits; it must not call the session.
class ImapSession
{
public:
    explicit ImapSession(const ImapAccount &account, ImapTranscript::LineHandler log = {});
    // Drops the connection without LOGOUT; call logOut() for a clean end.
    ~ImapSession();
    ImapSession(const ImapSession &) = delete;
    ImapSession &operator=(const ImapSession &) = delete;

    Result<void> connectAndLogIn();
    // QRESYNC, or CONDSTORE where the server lacks it; what it confirmed.
    Result<QList<QByteArray>> enableResync();
    QList<QByteArray> capabilities();
    bool isConnected();

    Result<QList<MailboxInfo>> list();
    Result<MailboxStatus> status(const MailboxName &name);
    Result<SelectedMailbox> select(const MailboxName &name, const SelectOptions &options = {});
    // The selected mailbox as the server's reports left it (see noop()).
    SelectedMailbox selectedMailbox();
    Result<void> create(const MailboxName &name);
    Result<void> remove(const MailboxName &name);
    Result<void> rename(const MailboxName &from, const MailboxName &to);

    Result<QList<FetchedMessage>> fetch(const FetchRequest &request);
    Result<QList<FetchedMessage>> store(const UidSet &uids, FlagChange change, const QList<QByteArray> &flags);
    Result<AppendResult> append(const MailboxName &mailbox, const QByteArray &message,
                                const QList<QByteArray> &flags = {}, const QDateTime &internalDate = {});
    Result<void> move(const UidSet &uids, const MailboxName &to);
    Result<void> expunge(const UidSet &uids);

    Result<void> noop();
    Result<void> logOut();

private:
    template <typename Work> auto call(Work work);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace mrv::imap
