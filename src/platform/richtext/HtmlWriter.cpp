#include "platform/richtext/HtmlWriter.h"

#include "platform/richtext/DocumentWalk.h"
#include "platform/richtext/ImageResources.h"
#include "platform/richtext/RichTextModel.h"

#include <QCryptographicHash>
#include <QFont>
#include <QMap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <optional>

namespace mrv::richtext {

namespace {

QString styleAttribute(const QStringList &styles)
{
    return styles.isEmpty() ? QString() : QStringLiteral(" style=\"%1\"").arg(styles.join(QLatin1Char(';')));
}

QString attribute(const char *name, const QString &value)
{
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value.toHtmlEscaped());
}

QString pixels(qreal value)
{
    return value == 0 ? QStringLiteral("0") : QString::number(qRound(value)) + QLatin1String("px");
}

QString genericFamily(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::SansSerif:
        return QStringLiteral("sans-serif");
    case QFont::Serif:
        return QStringLiteral("serif");
    case QFont::Monospace:
    case QFont::TypeWriter:
        return QStringLiteral("monospace");
    case QFont::Cursive:
        return QStringLiteral("cursive");
    case QFont::Decorative:
        return QStringLiteral("fantasy");
    default:
        return QString();
    }
}

// A font name from an RTF file can hold anything; only what cannot break out
// of the quoted name and the style attribute is kept.
QString cssFontFamily(const QString &family, QFont::StyleHint hint)
{
    QString name;
    for (QChar c : family) {
        if (c.unicode() >= 0x20 && !QStringView(u"'\"\\;<>{}&").contains(c))
            name += c;
    }
    const QString generic = genericFamily(hint);
    if (name.isEmpty())
        return generic;
    return generic.isEmpty() ? QStringLiteral("'%1'").arg(name) : QStringLiteral("'%1',%2").arg(name, generic);
}

QString alignmentStyle(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return QStringLiteral("text-align:center");
    if (alignment & Qt::AlignRight)
        return QStringLiteral("text-align:right");
    if (alignment & Qt::AlignJustify)
        return QStringLiteral("text-align:justify");
    return QString();
}

// A paragraph always gets its margins: the default margins of <p> would
// put an empty line between paragraphs that the text never had.
QStringList paragraphStyles(const QTextBlockFormat &format)
{
    const qreal top = format.topMargin();
    const qreal right = format.rightMargin();
    const qreal bottom = format.bottomMargin();
    const qreal left = format.leftMargin();
    QStringList styles;
    if (top == 0 && right == 0 && bottom == 0 && left == 0)
        styles.append(QStringLiteral("margin:0"));
    else
        styles.append(
            QStringLiteral("margin:%1 %2 %3 %4").arg(pixels(top), pixels(right), pixels(bottom), pixels(left)));
    if (format.textIndent() != 0)
        styles.append(QStringLiteral("text-indent:") + pixels(format.textIndent()));
    if (const QString alignment = alignmentStyle(format.alignment()); !alignment.isEmpty())
        styles.append(alignment);
    return styles;
}

bool isOrdered(QTextListFormat::Style style)
{
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha ||
           style == QTextListFormat::ListUpperAlpha || style == QTextListFormat::ListLowerRoman ||
           style == QTextListFormat::ListUpperRoman;
}

QString listStyleType(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListCircle:
        return QStringLiteral("circle");
    case QTextListFormat::ListSquare:
        return QStringLiteral("square");
    case QTextListFormat::ListLowerAlpha:
        return QStringLiteral("lower-alpha");
    case QTextListFormat::ListUpperAlpha:
        return QStringLiteral("upper-alpha");
    case QTextListFormat::ListLowerRoman:
        return QStringLiteral("lower-roman");
    case QTextListFormat::ListUpperRoman:
        return QStringLiteral("upper-roman");
    default:
        return QString();
    }
}

QString listOpeningTag(const QTextListFormat &format)
{
    const bool ordered = isOrdered(format.style());
    QString tag = ordered ? QStringLiteral("<ol") : QStringLiteral("<ul");
    if (ordered && listStart(format) != 1)
        tag += attribute("start", QString::number(listStart(format)));
    if (const QString type = listStyleType(format.style()); !type.isEmpty())
        tag += styleAttribute({QStringLiteral("list-style-type:") + type});
    return tag + QLatin1Char('>');
}

// Keeps the lists open around the current list item, innermost last. Each
// open list has one open <li>, closed only when the next item of that list
// or of an outer one comes, so that a nested list ends up inside its
// parent's item as HTML wants it.
class ListNesting
{
public:
    explicit ListNesting(QString &html) : m_html(html) {}

    void openItem(QTextList *list, const QStringList &itemStyles)
    {
        const int indent = list->format().indent();
        const bool continuation = list->format().boolProperty(ListContinuation);
        while (!m_open.isEmpty() && (m_open.last().indent > indent ||
                                     (m_open.last().indent == indent && m_open.last().list != list && !continuation)))
            closeInnermost();
        if (!m_open.isEmpty() && m_open.last().indent == indent) {
            m_open.last().list = list;
            m_html += QLatin1String("</li>\n");
        } else {
            m_html += listOpeningTag(list->format()) + QLatin1Char('\n');
            m_open.append({list, indent});
        }
        m_html += QLatin1String("<li") + styleAttribute(itemStyles) + QLatin1Char('>');
    }

    void closeAll()
    {
        while (!m_open.isEmpty())
            closeInnermost();
    }

private:
    struct OpenList
    {
        QTextList *list;
        int indent;
    };

    void closeInnermost()
    {
        const OpenList closing = m_open.takeLast();
        m_html += isOrdered(closing.list->format().style()) ? QLatin1String("</li>\n</ol>\n")
                                                            : QLatin1String("</li>\n</ul>\n");
    }

    QString &m_html;
    QList<OpenList> m_open;
};

struct InlineTags
{
    QString open;
    QString close;
};

struct BaseFont
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    qreal size = 0;
};

template <typename Key> Key mostFrequent(const QMap<Key, int> &counts)
{
    Key best{};
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return best;
}

// The font most of the text is in becomes the body's font, so that only
// text in another font or size needs a <span>.
BaseFont prevailingFont(const QTextDocument &document)
{
    QMap<QString, int> families;
    QMap<qreal, int> sizes;
    QHash<QString, QFont::StyleHint> hints;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QString family = firstFontFamily(format);
            families[family] += it.fragment().length();
            sizes[format.fontPointSize()] += it.fragment().length();
            hints.insert(family, format.fontStyleHint());
        }
    }
    const QString family = mostFrequent(families);
    return {family, hints.value(family, QFont::AnyStyle), mostFrequent(sizes)};
}

class HtmlWriter
{
public:
    HtmlWriter(const QTextDocument &document, QList<InlineImage> *images)
        : m_document(document), m_images(images), m_base(prevailingFont(document))
    {}

    QString write();

private:
    void writeFlow(QTextFrame::iterator it);
    void writeFrame(QTextFrame &frame);
    void writeTable(const QTextTable &table);
    void writeBlock(const QTextBlock &block, ListNesting &lists);
    void writeInline(const QTextBlock &block);
    void switchTags(const InlineTags &tags);
    void writeText(QStringView text);
    void writeImage(const QTextImageFormat &format);
    std::optional<QString> contentIdOf(const QString &name);
    InlineTags tagsOf(const QTextCharFormat &format) const;
    QStringList characterStyles(const QTextCharFormat &format) const;
    QStringList baseStyles() const;

    const QTextDocument &m_document;
    QList<InlineImage> *m_images;
    BaseFont m_base;
    QString m_html;
    InlineTags m_tags;
    // Whether HTML would swallow a space written now, at the start of a line
    // or after another space.
    bool m_spaceCollapses = true;
    QHash<QString, QString> m_contentIds;
};

QString HtmlWriter::write()
{
    m_html = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                            "</head><body>\n");
    m_html += QLatin1String("<div") + styleAttribute(baseStyles()) + QLatin1String(">\n");
    if (!m_document.isEmpty())
        writeFlow(m_document.rootFrame()->begin());
    m_html += QLatin1String("</div>\n</body></html>");
    return m_html;
}

QStringList HtmlWriter::baseStyles() const
{
    QStringList styles;
    if (const QString family = cssFontFamily(m_base.family, m_base.hint); !family.isEmpty())
        styles.append(QStringLiteral("font-family:") + family);
    if (m_base.size > 0)
        styles.append(QStringLiteral("font-size:%1pt").arg(m_base.size));
    return styles;
}

void HtmlWriter::writeFlow(QTextFrame::iterator it)
{
    ListNesting lists(m_html);
    walkFlow(
        it, [&](const QTextBlock &block) { writeBlock(block, lists); },
        [&](QTextFrame &frame) {
            lists.closeAll();
            writeFrame(frame);
        });
    lists.closeAll();
}

void HtmlWriter::writeFrame(QTextFrame &frame)
{
    if (const auto *table = qobject_cast<const QTextTable *>(&frame))
        writeTable(*table);
    else
        writeFlow(frame.begin());
}

void HtmlWriter::writeTable(const QTextTable &table)
{
    const QTextTableFormat format = table.format();
    m_html += QLatin1String("<table") + attribute("cellspacing", QStringLiteral("0")) +
              attribute("cellpadding", QString::number(qRound(format.cellPadding())));
    if (format.border() > 0)
        m_html +=
            attribute("border", QStringLiteral("1")) + styleAttribute({QStringLiteral("border-collapse:collapse")});
    m_html += QLatin1String(">\n<tr>");
    const QList<QTextLength> widths = format.columnWidthConstraints();
    int row = 0;
    forEachCell(table, [&](const QTextTableCell &cell) {
        if (cell.row() != row) {
            m_html += QLatin1String("</tr>\n<tr>");
            row = cell.row();
        }
        m_html += QLatin1String("<td") + attribute("valign", QStringLiteral("top"));
        if (cell.rowSpan() > 1)
            m_html += attribute("rowspan", QString::number(cell.rowSpan()));
        if (cell.columnSpan() > 1)
            m_html += attribute("colspan", QString::number(cell.columnSpan()));
        if (row == 0 && cell.column() < widths.size() && widths[cell.column()].type() == QTextLength::FixedLength)
            m_html += attribute("width", QString::number(qRound(widths[cell.column()].rawValue())));
        m_html += QLatin1Char('>');
        writeFlow(cell.begin());
        m_html += QLatin1String("</td>");
    });
    m_html += QLatin1String("</tr>\n</table>\n");
}

void HtmlWriter::writeBlock(const QTextBlock &block, ListNesting &lists)
{
    if (QTextList *list = block.textList()) {
        const QString alignment = alignmentStyle(block.blockFormat().alignment());
        lists.openItem(list, alignment.isEmpty() ? QStringList() : QStringList{alignment});
        writeInline(block);
        return;
    }
    lists.closeAll();
    m_html += QLatin1String("<p") + styleAttribute(paragraphStyles(block.blockFormat())) + QLatin1Char('>');
    writeInline(block);
    m_html += QLatin1String("</p>\n");
}

// An empty paragraph, or a line break that ends one, would have no height
// in HTML without an extra <br>.
void HtmlWriter::writeInline(const QTextBlock &block)
{
    m_spaceCollapses = true;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        switchTags(tagsOf(format));
        if (!format.isImageFormat()) {
            writeText(fragment.text());
            continue;
        }
        for (qsizetype i = 0; i < fragment.length(); ++i)
            writeImage(format.toImageFormat());
    }
    switchTags({});
    if (block.length() <= 1 || block.text().endsWith(QChar::LineSeparator))
        m_html += QLatin1String("<br>");
}

void HtmlWriter::switchTags(const InlineTags &tags)
{
    if (tags.open == m_tags.open)
        return;
    m_html += m_tags.close + tags.open;
    m_tags = tags;
}

void HtmlWriter::writeText(QStringView text)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            m_html += QLatin1String("&amp;");
            break;
        case u'<':
            m_html += QLatin1String("&lt;");
            break;
        case u'>':
            m_html += QLatin1String("&gt;");
            break;
        case u' ':
            m_html += m_spaceCollapses ? QLatin1String("&nbsp;") : QLatin1String(" ");
            m_spaceCollapses = true;
            continue;
        case QChar::Nbsp:
            m_html += QLatin1String("&nbsp;");
            break;
        case u'\t':
            m_html += QLatin1String("&nbsp;&nbsp;&nbsp;&nbsp;");
            break;
        case QChar::LineSeparator:
            m_html += QLatin1String("<br>");
            m_spaceCollapses = true;
            continue;
        default:
            if (c.unicode() < 0x20 || c == QChar::ObjectReplacementCharacter)
                continue;
            m_html += c;
        }
        m_spaceCollapses = false;
    }
}

void HtmlWriter::writeImage(const QTextImageFormat &format)
{
    const std::optional<QString> contentId = contentIdOf(format.name());
    if (!contentId)
        return;
    m_html += QLatin1String("<img") + attribute("src", QLatin1String("cid:") + *contentId);
    if (format.width() > 0)
        m_html += attribute("width", QString::number(qRound(format.width())));
    if (format.height() > 0)
        m_html += attribute("height", QString::number(qRound(format.height())));
    m_html += attribute("alt", QString()) + QLatin1Char('>');
    m_spaceCollapses = false;
}

std::optional<QString> HtmlWriter::contentIdOf(const QString &name)
{
    if (!m_images)
        return std::nullopt;
    if (const auto known = m_contentIds.constFind(name); known != m_contentIds.constEnd())
        return *known;
    const std::optional<EncodedImage> encoded =
        encodedImage(m_document.resource(QTextDocument::ImageResource, QUrl(name)), {"png", "jpeg", "gif"});
    if (!encoded)
        return std::nullopt;
    const qsizetype number = m_images->size() + 1;
    const QString suffix = encoded->format == "jpeg" ? QStringLiteral("jpg") : QString::fromLatin1(encoded->format);
    const QByteArray digest = QCryptographicHash::hash(encoded->content, QCryptographicHash::Sha1).toHex().left(16);
    InlineImage image;
    image.contentId = QStringLiteral("image%1.%2@mrv").arg(number).arg(QLatin1String(digest));
    image.contentType = QLatin1String("image/") + QLatin1String(encoded->format);
    image.content = encoded->content;
    image.fileName = QStringLiteral("image%1.%2").arg(number).arg(suffix);
    m_images->append(image);
    m_contentIds.insert(name, image.contentId);
    return image.contentId;
}

InlineTags HtmlWriter::tagsOf(const QTextCharFormat &format) const
{
    InlineTags tags;
    const auto wrap = [&tags](QLatin1String open, QLatin1String close) {
        tags.open += open;
        tags.close.prepend(close);
    };
    if (format.isAnchor() && !format.anchorHref().isEmpty()) {
        tags.open += QLatin1String("<a") + attribute("href", format.anchorHref()) + QLatin1Char('>');
        tags.close = QStringLiteral("</a>");
    }
    if (const QStringList styles = characterStyles(format); !styles.isEmpty()) {
        tags.open += QLatin1String("<span") + styleAttribute(styles) + QLatin1Char('>');
        tags.close.prepend(QLatin1String("</span>"));
    }
    if (format.fontWeight() >= QFont::Bold)
        wrap(QLatin1String("<b>"), QLatin1String("</b>"));
    if (format.fontItalic())
        wrap(QLatin1String("<i>"), QLatin1String("</i>"));
    if (format.fontUnderline())
        wrap(QLatin1String("<u>"), QLatin1String("</u>"));
    if (format.fontStrikeOut())
        wrap(QLatin1String("<s>"), QLatin1String("</s>"));
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        wrap(QLatin1String("<sup>"), QLatin1String("</sup>"));
    if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        wrap(QLatin1String("<sub>"), QLatin1String("</sub>"));
    return tags;
}

QStringList HtmlWriter::characterStyles(const QTextCharFormat &format) const
{
    QStringList styles;
    if (const QString family = firstFontFamily(format); !family.isEmpty() && family != m_base.family) {
        if (const QString css = cssFontFamily(family, format.fontStyleHint()); !css.isEmpty())
            styles.append(QStringLiteral("font-family:") + css);
    }
    if (format.fontPointSize() > 0 && format.fontPointSize() != m_base.size)
        styles.append(QStringLiteral("font-size:%1pt").arg(format.fontPointSize()));
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        styles.append(QStringLiteral("color:") + format.foreground().color().name());
    if (format.hasProperty(QTextFormat::BackgroundBrush))
        styles.append(QStringLiteral("background-color:") + format.background().color().name());
    return styles;
}

QString alphabeticNumber(int number)
{
    QString text;
    for (; number > 0; number = (number - 1) / 26)
        text.prepend(QChar(u'a' + (number - 1) % 26));
    return text;
}

QString romanNumber(int number)
{
    static const std::pair<int, const char *> numerals[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"},
    };
    if (number <= 0 || number >= 4000)
        return QString::number(number);
    QString text;
    for (const auto &[value, numeral] : numerals) {
        for (; number >= value; number -= value)
            text += QLatin1String(numeral);
    }
    return text;
}

QString itemMarker(const QTextList &list, const QTextBlock &block)
{
    const QTextListFormat format = list.format();
    const int number = list.itemNumber(block) + listStart(format);
    switch (format.style()) {
    case QTextListFormat::ListDecimal:
        return QString::number(number) + QLatin1Char('.');
    case QTextListFormat::ListLowerAlpha:
        return alphabeticNumber(number) + QLatin1Char('.');
    case QTextListFormat::ListUpperAlpha:
        return alphabeticNumber(number).toUpper() + QLatin1Char('.');
    case QTextListFormat::ListLowerRoman:
        return romanNumber(number) + QLatin1Char('.');
    case QTextListFormat::ListUpperRoman:
        return romanNumber(number).toUpper() + QLatin1Char('.');
    default:
        return QStringLiteral("-");
    }
}

QString plainLine(const QTextBlock &block)
{
    QString line = block.text();
    line.remove(QChar::ObjectReplacementCharacter);
    line.replace(QChar::LineSeparator, QLatin1Char('\n'));
    line.replace(QChar::Nbsp, QLatin1Char(' '));
    if (const QTextList *list = block.textList())
        line.prepend(itemMarker(*list, block) + QLatin1Char(' '));
    return line;
}

void appendPlainText(QTextFrame::iterator it, QStringList &lines)
{
    walkFlow(
        it, [&lines](const QTextBlock &block) { lines.append(plainLine(block)); },
        [&lines](QTextFrame &frame) {
            if (const auto *table = qobject_cast<const QTextTable *>(&frame))
                forEachCell(*table, [&lines](const QTextTableCell &cell) { appendPlainText(cell.begin(), lines); });
            else
                appendPlainText(frame.begin(), lines);
        });
}

} // namespace

QString toHtml(const QTextDocument &document, QList<InlineImage> *images)
{
    return HtmlWriter(document, images).write();
}

QString toPlainText(const QTextDocument &document)
{
    QStringList lines;
    appendPlainText(document.rootFrame()->begin(), lines);
    return lines.join(QLatin1Char('\n'));
}

} // namespace mrv::richtext
