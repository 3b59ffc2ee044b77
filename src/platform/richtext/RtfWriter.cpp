#include "RtfWriter.h"

#include <QTextBlock>
#include <QTextDocument>

namespace mrv::richtext {

namespace {

void appendEscaped(QByteArray &rtf, const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\\' || c == u'{' || c == u'}')
            rtf += '\\' + QByteArray(1, char(c.unicode()));
        else if (c.unicode() < 128)
            rtf += char(c.unicode());
        else
            rtf += "\\u" + QByteArray::number(qint16(c.unicode())) + '?';
    }
}

} // namespace

// Text only, paragraph by paragraph: enough to keep what was typed until
// the formats are written too.
QByteArray writeRtf(const QTextDocument &document)
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 ";
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        appendEscaped(rtf, block.text());
        if (block.next().isValid())
            rtf += "\\par ";
    }
    return rtf + '}';
}

} // namespace mrv::richtext
