#pragma once

#include "ImapConnection.h"
#include "MailboxData.h"
#include "SelectedMailbox.h"

namespace mrv::imap {

// Every mailbox of the user, with special-use roles where the server tells
// them and mailbox ids where it has OBJECTID.
Result<QList<MailboxInfo>> listMailboxes(ImapConnection &connection);
Result<MailboxStatus> mailboxStatus(ImapConnection &connection, const MailboxName &name);

// What the client remembers of a mailbox from an earlier session. With
// QRESYNC enabled and all three known, SELECT asks only for what changed
// since: the changes and the vanished UIDs arrive in SelectedMailbox.
struct KnownMailboxState
{
    quint32 uidValidity = 0;
    quint64 highestModSeq = 0;
    UidSet uids; // may stay empty
};

struct SelectOptions
{
    bool readOnly = false; // EXAMINE: \Seen is never set by fetching
    KnownMailboxState known;
};

Result<SelectedMailbox> selectMailbox(ImapConnection &connection, const MailboxName &name,
                                      const SelectOptions &options = {});
Result<void> createMailbox(ImapConnection &connection, const MailboxName &name);
Result<void> deleteMailbox(ImapConnection &connection, const MailboxName &name);
Result<void> renameMailbox(ImapConnection &connection, const MailboxName &from, const MailboxName &to);

} // namespace mrv::imap
