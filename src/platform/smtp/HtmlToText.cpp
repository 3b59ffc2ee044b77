#include "HtmlToText.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace mrv::smtp {

namespace {

// HTML 4's names for U+00A0 to U+00FF, in code point order.
const char *const kLatin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedCharacter
{
    const char *name;
    char32_t character;
};

// The markup characters and the typographic ones that Western e-mail bodies use.
const NamedCharacter kOtherNames[] = {
    {"amp", U'&'},         {"lt", U'<'},         {"gt", U'>'},          {"quot", U'"'},        {"apos", U'\''},
    {"OElig", U'\u0152'},  {"oelig", U'\u0153'}, {"Scaron", U'\u0160'}, {"scaron", U'\u0161'}, {"Yuml", U'\u0178'},
    {"fnof", U'\u0192'},   {"circ", U'\u02C6'},  {"tilde", U'\u02DC'},  {"ensp", U'\u2002'},   {"emsp", U'\u2003'},
    {"thinsp", U'\u2009'}, {"ndash", U'\u2013'}, {"mdash", U'\u2014'},  {"lsquo", U'\u2018'},  {"rsquo", U'\u2019'},
    {"sbquo", U'\u201A'},  {"ldquo", U'\u201C'}, {"rdquo", U'\u201D'},  {"bdquo", U'\u201E'},  {"dagger", U'\u2020'},
    {"Dagger", U'\u2021'}, {"bull", U'\u2022'},  {"hellip", U'\u2026'}, {"permil", U'\u2030'}, {"lsaquo", U'\u2039'},
    {"rsaquo", U'\u203A'}, {"euro", U'\u20AC'},  {"trade", U'\u2122'},
};

const QHash<QString, char32_t> &namedCharacters()
{
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> names;
        char32_t character = 0xA0;
        for (const char *name : kLatin1Names)
            names.insert(QLatin1String(name), character++);
        for (const NamedCharacter &named : kOtherNames)
            names.insert(QLatin1String(named.name), named.character);
        return names;
    }();
    return table;
}

QString characterOf(const QRegularExpressionMatch &reference)
{
    const QString number = reference.captured(2);
    if (number.isEmpty()) {
        const auto found = namedCharacters().constFind(reference.captured(1));
        return found == namedCharacters().cend() ? reference.captured(0) : QString::fromUcs4(&*found, 1);
    }
    bool valid = false;
    const bool hex = number.startsWith(QLatin1Char('x'), Qt::CaseInsensitive);
    const uint code = hex ? number.mid(1).toUInt(&valid, 16) : number.toUInt(&valid, 10);
    if (!valid || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return reference.captured(0);
    const char32_t character = code;
    return QString::fromUcs4(&character, 1);
}

// Elements whose content is never shown.
QString withoutHiddenContent(const QString &html)
{
    static const QRegularExpression hidden(
        QStringLiteral("<!--.*?-->|<(head|script|style|title)\\b[^>]*>.*?</\\1\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString text = html;
    return text.remove(hidden);
}

// "text <address>" for links whose text is not already the address.
QString withLinkAddresses(const QString &html)
{
    static const QRegularExpression link(
        QStringLiteral("<a\\b[^>]*?\\bhref\\s*=\\s*([\"'])(https?:[^\"']*)\\1[^>]*>(.*?)</a\\s*>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    QString result;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
        result += QStringView(html).mid(copied, match.capturedStart() - copied);
        const QString address = decodeHtmlEntities(match.captured(2));
        const QString text = match.captured(3);
        result += text.contains(address) ? text : text + QStringLiteral(" &lt;") + address + QStringLiteral("&gt;");
        copied = match.capturedEnd();
    }
    result.append(QStringView(html).mid(copied));
    return result;
}

// Tags become the line structure they stand for; the rest of the markup goes.
QString textOfTags(const QString &html)
{
    static const QRegularExpression lineBreak(QStringLiteral("<br\\b[^>]*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression listItem(QStringLiteral("<li\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cell(QStringLiteral("</t[dh]\\s*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression row(QStringLiteral("</tr\\s*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression block(
        QStringLiteral("</?(p|div|h[1-6]|ul|ol|table|blockquote|pre|hr|dl|dt|dd|address|center)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression anyTag(QStringLiteral("<[^>]*>"));
    QString text = html;
    text.replace(lineBreak, QStringLiteral("\n"));
    text.replace(listItem, QStringLiteral("\n- "));
    text.replace(cell, QStringLiteral("\t"));
    text.replace(row, QStringLiteral("\n"));
    text.replace(block, QStringLiteral("\n\n"));
    return text.remove(anyTag);
}

// Blanks at line ends go, and no more than one empty line stays between paragraphs.
QString tidyLines(const QString &text)
{
    QStringList lines;
    bool previousEmpty = true;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() && previousEmpty)
            continue;
        lines.append(trimmed);
        previousEmpty = trimmed.isEmpty();
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString decodeHtmlEntities(const QString &text)
{
    static const QRegularExpression reference(
        QStringLiteral("&(?:([A-Za-z][A-Za-z0-9]*)|#([0-9]+|[xX][0-9A-Fa-f]+));"));
    QString result;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : reference.globalMatch(text)) {
        result += QStringView(text).mid(copied, match.capturedStart() - copied);
        result += characterOf(match);
        copied = match.capturedEnd();
    }
    result.append(QStringView(text).mid(copied));
    return result;
}

QString plainTextFromHtml(const QString &html)
{
    // Source line breaks and runs of blanks are one blank in HTML; only the
    // breaks that tags stand for are kept.
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QString markup = withLinkAddresses(withoutHiddenContent(html));
    markup.replace(blanks, QStringLiteral(" "));
    QString text = decodeHtmlEntities(textOfTags(markup));
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    return tidyLines(text);
}

} // namespace mrv::smtp
