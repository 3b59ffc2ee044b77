#pragma once

#include <QString>

namespace mrv::smtp {

// The plain-text alternative of an HTML body: the readable text with
// paragraphs, line breaks and list items kept, links followed by their
// address, entities decoded, and no markup, styles or scripts.
QString plainTextFromHtml(const QString &html);

// The text with HTML character references ("&egrave;", "&#232;", "&#xE8;")
// replaced by their characters; unknown names are left as written.
QString decodeHtmlEntities(const QString &text);

} // namespace mrv::smtp
