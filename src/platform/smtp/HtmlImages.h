#pragma once

#include "MimeMessage.h"

#include <QString>

namespace mrv::smtp {

// An HTML body ready to travel: every <img> whose source is a local file
// (a path, absolute or relative to `baseFolder`, or a file: URL) or a
// data: URL now points to "cid:" and the image travels with the message.
// Remote and cid: sources, and files that do not exist, are left alone.
MimeBody htmlBodyWithImages(const QString &html, const QString &baseFolder);

} // namespace mrv::smtp
