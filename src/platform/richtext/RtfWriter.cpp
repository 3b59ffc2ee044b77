#include "platform/richtext/RtfWriter.h"

#include "platform/richtext/CodePages.h"
#include "platform/richtext/DocumentWalk.h"
#include "platform/richtext/ImageResources.h"
#include "platform/richtext/RichTextModel.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

namespace mrv::richtext {

namespace {

constexpr int kCodePage = 1252;
constexpr qreal kTwipsPerPixel = 15.0;
// The reader's limits: 22 inches for lengths, 1638 points for fonts, nine list levels.
constexpr int kMaxTwips = 31680;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
constexpr int kMaxListLevel = 8;
// The text width of a page with Word's default margins, shared out among
// columns whose width the table does not fix.
constexpr int kTextWidthTwips = 9638;
constexpr int kListIndentTwips = 720;

int twips(qreal pixels)
{
    const qreal value = pixels * kTwipsPerPixel;
    return std::isfinite(value) ? int(std::lround(std::clamp<qreal>(value, -kMaxTwips, kMaxTwips))) : 0;
}

// A column without a fixed width gets its share of the text width. Every
// column is given some width: the reader drops the widths of a row whose
// cell edges do not go right.
int columnTwips(const QTextLength &width, int columns)
{
    int value = kTextWidthTwips / columns;
    if (width.type() == QTextLength::FixedLength)
        value = twips(width.rawValue());
    else if (width.type() == QTextLength::PercentageLength)
        value = twips(kTextWidthTwips / kTwipsPerPixel * width.rawValue() / 100);
    return std::max(value, 1);
}

void appendWord(QByteArray &out, const char *name)
{
    out += '\\';
    out += name;
}

void appendWord(QByteArray &out, const char *name, int value)
{
    appendWord(out, name);
    out += QByteArray::number(value);
}

void appendHexByte(QByteArray &out, uchar byte)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

// Writes text as RTF wants it: ASCII as it is, the rest of code page 1252
// as \'hh, anything else as \uN with a "?" for readers without Unicode.
class TextEscaper
{
public:
    TextEscaper()
    {
        CodePageDecoder decoder;
        for (int byte = 0xFF; byte >= 0x80; --byte) {
            const char encoded = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&encoded, 1), kCodePage);
            if (decoded.size() == 1 && decoded.front() != QChar::ReplacementCharacter)
                m_bytes.insert(decoded.front().unicode(), uchar(byte));
        }
    }

    void append(QStringView text, QByteArray &out) const
    {
        for (QChar c : text) {
            const char16_t unit = c.unicode();
            if (unit == u'\\' || unit == u'{' || unit == u'}') {
                out += '\\';
                out += char(unit);
            } else if (unit == u'\t') {
                out += "\\tab ";
            } else if (unit == QChar::LineSeparator) {
                out += "\\line ";
            } else if (unit >= 0x20 && unit < 0x7F) {
                out += char(unit);
            } else if (unit < 0x80) {
                appendHexByte(out, uchar(unit));
            } else if (const auto byte = m_bytes.constFind(unit); byte != m_bytes.constEnd()) {
                appendHexByte(out, *byte);
            } else {
                appendWord(out, "u", qint16(unit));
                out += '?';
            }
        }
    }

private:
    QHash<char16_t, uchar> m_bytes;
};

const TextEscaper &escaper()
{
    static const TextEscaper instance;
    return instance;
}

const char *familyWord(QFont::StyleHint hint)
{
    switch (hint) {
    case QFont::Serif:
        return "froman";
    case QFont::SansSerif:
        return "fswiss";
    case QFont::Monospace:
    case QFont::TypeWriter:
        return "fmodern";
    case QFont::Cursive:
        return "fscript";
    case QFont::Decorative:
        return "fdecor";
    default:
        return "fnil";
    }
}

// Every font is in the document's code page (no \fcharset but 0), so that
// the \'hh escapes of the text mean the same whatever font they are in. A
// text without a font gets a font without a name.
class FontTable
{
public:
    int indexOf(const QString &family, QFont::StyleHint hint)
    {
        const auto [entry, added] = m_indexes.try_emplace({family, hint}, int(m_indexes.size()));
        if (added) {
            m_rtf += '{';
            appendWord(m_rtf, "f", entry->second);
            appendWord(m_rtf, familyWord(hint));
            appendWord(m_rtf, "fcharset", 0);
            m_rtf += ' ';
            // A semicolon would end the name.
            for (QStringView part : QStringView(family).split(u';')) {
                escaper().append(part, m_rtf);
                m_rtf += "\\'3b";
            }
            m_rtf.chop(4);
            m_rtf += ";}";
        }
        return entry->second;
    }

    QByteArray toRtf() const { return "{\\fonttbl" + m_rtf + "}\r\n"; }

private:
    std::map<std::pair<QString, int>, int> m_indexes;
    QByteArray m_rtf;
};

// Entry 0 is the automatic colour.
class ColourTable
{
public:
    int indexOf(const QColor &colour)
    {
        const auto [entry, added] = m_indexes.try_emplace(colour.rgb() & RGB_MASK, int(m_indexes.size()) + 1);
        if (added) {
            appendWord(m_rtf, "red", colour.red());
            appendWord(m_rtf, "green", colour.green());
            appendWord(m_rtf, "blue", colour.blue());
            m_rtf += ';';
        }
        return entry->second;
    }

    QByteArray toRtf() const { return "{\\colortbl ;" + m_rtf + "}\r\n"; }

private:
    std::unordered_map<QRgb, int> m_indexes;
    QByteArray m_rtf;
};

int numberFormat(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListDecimal:
        return 0;
    case QTextListFormat::ListUpperRoman:
        return 1;
    case QTextListFormat::ListLowerRoman:
        return 2;
    case QTextListFormat::ListUpperAlpha:
        return 3;
    case QTextListFormat::ListLowerAlpha:
        return 4;
    default:
        return 23;
    }
}

// Word's list tables: one list and one override (\ls) for each run of list
// items the reader is to join into one list. The levels above the run's
// own are there only because a level is known by its place.
class ListTable
{
public:
    int add(QTextListFormat::Style style, int level, int start)
    {
        const int id = ++m_count;
        m_lists += "{\\list\\listtemplateid";
        m_lists += QByteArray::number(id);
        for (int above = 0; above <= level; ++above)
            appendLevel(style, above, above == level ? start : 1);
        appendWord(m_lists, "listid", id);
        m_lists += "}\r\n";
        m_overrides += "{\\listoverride";
        appendWord(m_overrides, "listid", id);
        appendWord(m_overrides, "listoverridecount", 0);
        appendWord(m_overrides, "ls", id);
        m_overrides += "}\r\n";
        return id;
    }

    QByteArray toRtf() const
    {
        if (m_count == 0)
            return {};
        return "{\\*\\listtable\r\n" + m_lists + "}\r\n{\\*\\listoverridetable\r\n" + m_overrides + "}\r\n";
    }

private:
    void appendLevel(QTextListFormat::Style style, int level, int start)
    {
        const int format = numberFormat(style);
        m_lists += "{\\listlevel";
        appendWord(m_lists, "levelnfc", format);
        appendWord(m_lists, "levelstartat", start);
        if (format == numberFormat(QTextListFormat::ListDisc))
            m_lists += "{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}";
        else
            m_lists += "{\\leveltext\\'02\\'0" + QByteArray::number(level) + ".;}{\\levelnumbers\\'01;}";
        appendWord(m_lists, "fi", -kListIndentTwips / 2);
        appendWord(m_lists, "li", kListIndentTwips * (level + 1));
        m_lists += '}';
    }

    int m_count = 0;
    QByteArray m_lists;
    QByteArray m_overrides;
};

// List items that follow each other at one level, which the reader joins
// into one list as long as nothing but list items comes in between.
struct ListRun
{
    const QTextList *list = nullptr;
    int listOverride = 0;
    QTextListFormat::Style style = QTextListFormat::ListStyleUndefined;
    int nextNumber = 0;
};

struct OpenField
{
    int id = 0;
    QString instruction;
};

class RtfWriter
{
public:
    explicit RtfWriter(const QTextDocument &document) : m_document(document) {}

    QByteArray write();

private:
    void writeFlow(QTextFrame::iterator it);
    void writeFrame(const QTextFrame &frame);
    void writeTable(const QTextTable &table);
    QByteArray rowDefinition(const QTextTable &table, int row) const;
    void writeCell(const QTextTableCell &cell);
    void writeBlock(const QTextBlock &block);
    void writeFragment(const QTextFragment &fragment);
    void writeCharacterFormat(const QTextCharFormat &format);
    void writePicture(const QTextImageFormat &format);
    const std::optional<EncodedImage> &pictureNamed(const QString &name);
    void switchField(const QTextCharFormat &format);
    void closeField();
    void endParagraph(const char *mark);
    QByteArray paragraphWords(const QTextBlock &block);
    QByteArray listWords(const QTextList &list);

    const QTextDocument &m_document;
    QByteArray m_body;
    FontTable m_fonts;
    ColourTable m_colours;
    ListTable m_lists;
    QHash<int, ListRun> m_runsByLevel;
    QHash<const QTextList *, int> m_itemsWritten;
    QHash<QString, std::optional<EncodedImage>> m_pictures;
    std::optional<OpenField> m_field;
    bool m_inTable = false;
    // The words that end the paragraph last written, held until it is known
    // whether a paragraph or a cell ends there.
    QByteArray m_pendingEnd;
};

QByteArray RtfWriter::write()
{
    m_body.reserve(qsizetype(m_document.characterCount()) * 2);
    writeFlow(m_document.rootFrame()->begin());
    closeField();
    endParagraph("\\par");
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n" + m_fonts.toRtf() + m_colours.toRtf() + m_lists.toRtf();
    rtf.reserve(rtf.size() + m_body.size() + 32);
    rtf += "\\viewkind4\\pard\r\n";
    rtf += m_body;
    rtf += "}\r\n";
    return rtf;
}

void RtfWriter::writeFlow(QTextFrame::iterator it)
{
    m_runsByLevel.clear();
    walkFlow(
        it, [this](const QTextBlock &block) { writeBlock(block); },
        [this](const QTextFrame &frame) { writeFrame(frame); });
}

// The reader knows no table in a table: a nested table's cells become
// paragraphs of the cell that holds it, as the reader would make them.
void RtfWriter::writeFrame(const QTextFrame &frame)
{
    const auto *table = qobject_cast<const QTextTable *>(&frame);
    if (!table) {
        writeFlow(frame.begin());
    } else if (m_inTable) {
        forEachCell(*table, [this](const QTextTableCell &cell) { writeFlow(cell.begin()); });
    } else {
        writeTable(*table);
    }
    m_runsByLevel.clear();
}

void RtfWriter::writeTable(const QTextTable &table)
{
    closeField();
    endParagraph("\\par");
    m_inTable = true;
    for (int row = 0; row < table.rows(); ++row) {
        m_body += rowDefinition(table, row);
        m_body += "\\pard\\intbl ";
        for (int column = 0; column < table.columns(); ++column) {
            const QTextTableCell cell = table.cellAt(row, column);
            if (cell.row() == row && cell.column() == column)
                writeCell(cell);
            else
                m_body += "\\pard\\intbl\\cell ";
        }
        m_body += "\\row\r\n";
    }
    m_inTable = false;
    m_body += "\\pard\r\n";
}

QByteArray RtfWriter::rowDefinition(const QTextTable &table, int row) const
{
    const QTextTableFormat format = table.format();
    const QList<QTextLength> widths = format.columnWidthConstraints();
    const int columns = table.columns();
    QByteArray words = "\\trowd\\trgaph30\\trleft0";
    int edge = 0;
    for (int column = 0; column < columns; ++column) {
        const QTextLength width = widths.size() == columns ? widths.at(column) : QTextLength();
        const QTextTableCell cell = table.cellAt(row, column);
        if (cell.columnSpan() > 1)
            words += cell.column() == column ? "\\clmgf" : "\\clmrg";
        if (cell.rowSpan() > 1)
            words += cell.row() == row ? "\\clvmgf" : "\\clvmrg";
        if (format.border() > 0)
            words +=
                "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
        edge += columnTwips(width, columns);
        appendWord(words, "cellx", edge);
    }
    return words + "\r\n";
}

void RtfWriter::writeCell(const QTextTableCell &cell)
{
    writeFlow(cell.begin());
    closeField();
    if (m_pendingEnd.isEmpty())
        m_pendingEnd = "\\pard\\intbl";
    endParagraph("\\cell");
}

void RtfWriter::writeBlock(const QTextBlock &block)
{
    endParagraph("\\par");
    for (auto it = block.begin(); !it.atEnd(); ++it)
        writeFragment(it.fragment());
    m_pendingEnd = paragraphWords(block);
}

void RtfWriter::endParagraph(const char *mark)
{
    if (m_pendingEnd.isEmpty())
        return;
    m_body += m_pendingEnd;
    m_body += mark;
    m_body += "\r\n";
    m_pendingEnd.clear();
}

// Every run is a group of its own, so that no format leaks into the next.
void RtfWriter::writeFragment(const QTextFragment &fragment)
{
    const QTextCharFormat format = fragment.charFormat();
    switchField(format);
    if (format.isImageFormat()) {
        for (int i = 0; i < fragment.length(); ++i)
            writePicture(format.toImageFormat());
        return;
    }
    m_body += '{';
    writeCharacterFormat(format);
    m_body += ' ';
    escaper().append(fragment.text(), m_body);
    m_body += '}';
}

void RtfWriter::writeCharacterFormat(const QTextCharFormat &format)
{
    appendWord(m_body, "f", m_fonts.indexOf(firstFontFamily(format), format.fontStyleHint()));
    if (const qreal points = format.fontPointSize(); points > 0)
        appendWord(m_body, "fs", std::clamp(int(std::lround(points * 2)), kMinHalfPoints, kMaxHalfPoints));
    if (format.fontWeight() >= QFont::Bold)
        appendWord(m_body, "b");
    if (format.fontItalic())
        appendWord(m_body, "i");
    if (format.fontUnderline())
        appendWord(m_body, "ul");
    if (format.fontStrikeOut())
        appendWord(m_body, "strike");
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        appendWord(m_body, "super");
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        appendWord(m_body, "sub");
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        appendWord(m_body, "cf", m_colours.indexOf(format.foreground().color()));
    if (format.hasProperty(QTextFormat::BackgroundBrush))
        appendWord(m_body, "highlight", m_colours.indexOf(format.background().color()));
}

// A picture the text shows many times, a logo in every row, is encoded once.
const std::optional<EncodedImage> &RtfWriter::pictureNamed(const QString &name)
{
    auto known = m_pictures.find(name);
    if (known == m_pictures.end())
        known = m_pictures.insert(
            name, encodedImage(m_document.resource(QTextDocument::ImageResource, QUrl(name)), {"png", "jpeg"}));
    return *known;
}

// A picture whose resource is gone or cannot be read is left out.
void RtfWriter::writePicture(const QTextImageFormat &format)
{
    const std::optional<EncodedImage> &image = pictureNamed(format.name());
    if (!image)
        return;
    m_body += image->format == "png" ? "{\\pict\\pngblip" : "{\\pict\\jpegblip";
    appendWord(m_body, "picw", image->size.width());
    appendWord(m_body, "pich", image->size.height());
    appendWord(m_body, "picwgoal", twips(format.width() > 0 ? format.width() : image->size.width()));
    appendWord(m_body, "pichgoal", twips(format.height() > 0 ? format.height() : image->size.height()));
    m_body += "\r\n";
    m_body += image->content.toHex();
    m_body += "}";
}

// A link the editor made, with no field behind it, as the field the reader
// makes links of: HYPERLINK "target", or HYPERLINK \l "bookmark" within the
// document.
QString linkInstruction(const QTextCharFormat &format)
{
    QString target = format.isAnchor() ? format.anchorHref() : QString();
    if (target.isEmpty())
        return {};
    target.replace(QLatin1Char('"'), QLatin1String("%22"));
    if (target.startsWith(QLatin1Char('#')))
        return QStringLiteral("HYPERLINK \\l \"%1\"").arg(target.mid(1));
    return QStringLiteral("HYPERLINK \"%1\"").arg(target);
}

// Adjacent runs of one field make one field; the result keeps the formats
// of its runs.
void RtfWriter::switchField(const QTextCharFormat &format)
{
    const int id = format.intProperty(FieldId);
    const QString instruction = id != 0 ? format.stringProperty(FieldInstruction) : linkInstruction(format);
    if (m_field && m_field->id == id && m_field->instruction == instruction)
        return;
    closeField();
    if (id == 0 && instruction.isEmpty())
        return;
    m_body += "{\\field{\\*\\fldinst ";
    escaper().append(instruction, m_body);
    m_body += "}{\\fldrslt ";
    m_field = OpenField{id, instruction};
}

void RtfWriter::closeField()
{
    if (m_field)
        m_body += "}}";
    m_field.reset();
}

// The words come at the paragraph's end, where the reader takes them from,
// and start with \pard: a field left open across paragraphs leaves its
// group's paragraph properties behind when it closes.
QByteArray RtfWriter::paragraphWords(const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    QByteArray words = m_inTable ? "\\pard\\intbl" : "\\pard";
    const Qt::Alignment alignment = format.alignment();
    if (alignment & Qt::AlignHCenter)
        appendWord(words, "qc");
    else if (alignment & Qt::AlignRight)
        appendWord(words, "qr");
    else if (alignment & Qt::AlignJustify)
        appendWord(words, "qj");
    if (const QTextList *list = block.textList()) {
        words += listWords(*list);
    } else {
        m_runsByLevel.clear();
        const qreal left = format.leftMargin() + format.indent() * m_document.indentWidth();
        if (const int indent = twips(left); indent != 0)
            appendWord(words, "li", indent);
        if (const int indent = twips(format.textIndent()); indent != 0)
            appendWord(words, "fi", indent);
    }
    if (const int indent = twips(format.rightMargin()); indent != 0)
        appendWord(words, "ri", indent);
    if (const int space = twips(format.topMargin()); space != 0)
        appendWord(words, "sb", space);
    if (const int space = twips(format.bottomMargin()); space != 0)
        appendWord(words, "sa", space);
    return words;
}

// An item goes on with the run at its level when it is the next item of the
// same list, or of a list that continues it (see ListContinuation);
// otherwise it starts a run of its own, numbered where its list says.
QByteArray RtfWriter::listWords(const QTextList &list)
{
    const QTextListFormat format = list.format();
    const int level = std::clamp(format.indent() - 1, 0, kMaxListLevel);
    const int number = listStart(format) + m_itemsWritten[&list]++;
    auto run = m_runsByLevel.find(level);
    const bool goesOn = run != m_runsByLevel.end() && run->style == format.style() && run->nextNumber == number &&
                        (run->list == &list || format.boolProperty(ListContinuation));
    if (!goesOn)
        run = m_runsByLevel.insert(level, {&list, m_lists.add(format.style(), level, number), format.style(), number});
    run->list = &list;
    run->nextNumber = number + 1;
    QByteArray words;
    appendWord(words, "ls", run->listOverride);
    appendWord(words, "ilvl", level);
    appendWord(words, "fi", -kListIndentTwips / 2);
    appendWord(words, "li", kListIndentTwips * (level + 1));
    return words;
}

} // namespace

QByteArray writeRtf(const QTextDocument &document)
{
    return RtfWriter(document).write();
}

} // namespace mrv::richtext
