#pragma once

#include <QByteArray>

class QTextDocument;

namespace mrv::richtext {

// The document as RTF.
QByteArray writeRtf(const QTextDocument &document);

} // namespace mrv::richtext
