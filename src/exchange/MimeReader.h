#pragma once

#include "MailboxConnection.h"

#include <QByteArray>

#include <memory>

namespace mrv::exchange {

// A message as it came from the server (RFC 5322 with MIME), read into what
// the message window shows: headers decoded to Unicode, the first text and
// HTML bodies that are not attachments, and every other leaf part (and
// attached message) as an attachment with its decoded content.
std::unique_ptr<MailboxMessage> readMimeMessage(const QByteArray &raw);

} // namespace mrv::exchange
