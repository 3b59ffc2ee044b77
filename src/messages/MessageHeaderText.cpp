#include "MessageHeaderText.h"

#include "host/HostServices.h"
#include "host/TextService.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace mrv {

namespace {

struct HeaderLine
{
    const char *label;
    QString value;
    bool always;
};

QList<HeaderLine> headerLines(const MessageHeader &header)
{
    return {{"Da: ", header.from, true}, {"Inviato: ", header.sent, true},    {"A: ", header.to, false},
            {"Cc: ", header.cc, false},  {"Oggetto: ", header.subject, true}, {"Priorità: ", header.priority, false}};
}

QString label(const HeaderLine &line, const QString &procedure)
{
    return host::textService().translate(QString::fromUtf8(line.label), QStringLiteral("frmSYS_MSG > ") + procedure);
}

QTextCharFormat tahoma(bool bold)
{
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Tahoma")});
    format.setFontPointSize(10);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

} // namespace

void writeHeaderLines(QTextCursor &cursor, const MessageHeader &header, const QString &procedure)
{
    for (const HeaderLine &line : headerLines(header)) {
        if (!line.always && line.value.isEmpty())
            continue;
        cursor.insertText(label(line, procedure), tahoma(true));
        cursor.insertText(line.value, tahoma(false));
        cursor.insertBlock();
    }
}

std::unique_ptr<QTextDocument> printDocument(const MessageHeader &header, const QTextDocument &body)
{
    auto document = std::make_unique<QTextDocument>();
    QTextCursor cursor(document.get());
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, QTextLength(QTextLength::PercentageLength, 100));
    cursor.setBlockFormat(rule);
    cursor.insertBlock(QTextBlockFormat());
    writeHeaderLines(cursor, header, QStringLiteral("TextForPrintHeader"));
    cursor.insertFragment(QTextDocumentFragment(&body));
    return document;
}

QString withPrintHeader(const QString &html, const MessageHeader &header, const QString &userFullName)
{
    QStringList block{QStringLiteral("<div><font face=3D\"Arial, Verdana\">"),
                      QStringLiteral("<font size=3D3><b>") + userFullName + QStringLiteral("</b></font>"),
                      QStringLiteral("<hr><table border=3D0>")};
    for (const HeaderLine &line : headerLines(header)) {
        if (line.always || !line.value.isEmpty())
            block << QStringLiteral("<tr><td><font size=3D2><b>") +
                         label(line, QStringLiteral("PrintEmail")).trimmed() + QStringLiteral("</b></font></td>") +
                         QStringLiteral("<td><font size=3D2>") + line.value + QStringLiteral("</font></td></tr>");
    }
    block << QStringLiteral("<tr><td><font size=3D2><b> </b></font></td><td><font size=3D2> </font></td></tr>")
          << QStringLiteral("</tr></table></font></div>");
    QStringList lines = html.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).toUpper().contains(QLatin1String("<HTML"))) {
            const qsizetype at = qMin(i + 2, lines.size());
            for (qsizetype j = 0; j < block.size(); ++j)
                lines.insert(at + j, block.at(j));
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace mrv
