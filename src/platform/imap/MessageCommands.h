#pragma once

#include "ImapConnection.h"
#include "MessageData.h"
#include "UidSet.h"

#include <QDateTime>

namespace mrv::imap {

// What to fetch of the messages of the selected mailbox. The UID always
// comes, the modification sequence where the server keeps them, the email
// and thread ids where it has OBJECTID.
struct FetchRequest
{
    UidSet uids;
    bool flags = true;
    bool internalDate = true;
    bool size = true;
    bool envelope = true;
    bool bodyStructure = true;
    // The whole message, without setting \Seen.
    bool content = false;
    // Above 0, only the messages changed after this modification sequence
    // (and, with QRESYNC, VANISHED for those gone).
    quint64 changedSince = 0;
};

// The messages in the order the server sent them, one per UID.
Result<QList<FetchedMessage>> fetchMessages(ImapConnection &connection, const FetchRequest &request);

enum class FlagChange { Add, Remove, Replace };

// Returns the messages' flags and modification sequences after the change.
Result<QList<FetchedMessage>> storeFlags(ImapConnection &connection, const UidSet &uids, FlagChange change,
                                         const QList<QByteArray> &flags);

// Where an appended message landed, when the server tells (UIDPLUS).
struct AppendResult
{
    quint32 uidValidity = 0;
    quint32 uid = 0;
};

Result<AppendResult> appendMessage(ImapConnection &connection, const MailboxName &mailbox, const QByteArray &message,
                                   const QList<QByteArray> &flags = {}, const QDateTime &internalDate = {});
// MOVE where the server has it, else COPY, \Deleted and EXPUNGE.
Result<void> moveMessages(ImapConnection &connection, const UidSet &uids, const MailboxName &to);
// Removes the messages for good. Without UIDPLUS the server expunges every
// message marked \Deleted in the mailbox, not only these.
Result<void> expungeMessages(ImapConnection &connection, const UidSet &uids);

} // namespace mrv::imap
