#pragma once

#include <QString>

namespace mrv::suite {

// Plain text as an RTF document: the markup characters escaped, paragraphs
// for line breaks, every character beyond ASCII as \uN with "?" for readers
// that cannot show it.
QString plainTextAsRtf(const QString &text);

} // namespace mrv::suite
