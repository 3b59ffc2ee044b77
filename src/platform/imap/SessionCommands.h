#pragma once

#include "ImapConnection.h"

namespace mrv::imap {

// Logs in with the account's user and method. A refusal is an error of
// kind No, its code usually AUTHENTICATIONFAILED.
Result<void> logIn(ImapConnection &connection);
// Turns on QRESYNC (or CONDSTORE where QRESYNC is not offered) and returns
// what the server confirmed: nothing when it offers neither.
Result<QList<QByteArray>> enableResync(ImapConnection &connection);
// Lets the server report what changed (new messages, flags, expunges).
Result<void> noop(ImapConnection &connection);
Result<void> logOut(ImapConnection &connection);

} // namespace mrv::imap
