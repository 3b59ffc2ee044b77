#pragma once

#include "messages/MessageStore.h"

namespace mrv::testing {

// An unread copy of type `type` in ROSSI's inbox, sent by VERDI with the
// subject "Preventivo" and a one-line RTF body; a task comes unanswered.
MessageCopy receivedByRossi(qint32 type);

} // namespace mrv::testing
