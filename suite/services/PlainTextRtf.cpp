#include "PlainTextRtf.h"

namespace mrv::suite {

QString plainTextAsRtf(const QString &text)
{
    QString body;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool crBeforeLf = c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n');
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
            body += QLatin1Char('\\') + c;
        else if (crBeforeLf)
            continue;
        // LF, CR LF and a CR alone each end a line.
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            body += QStringLiteral("\\par\n");
        else if (c.unicode() > 0x7F)
            body += QStringLiteral("\\u%1?").arg(qint16(c.unicode()));
        else
            body += c;
    }
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\uc1\\pard\\f0\\fs20 ") +
           body + QStringLiteral("\\par\n}");
}

} // namespace mrv::suite
