#include "platform/richtext/RtfReader.h"

#include "platform/richtext/CodePages.h"
#include "platform/richtext/DocumentBuilder.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/richtext/RtfTokenizer.h"
#include "platform/richtext/RtfWords.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImageReader>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocument>
#include <QUrl>

#include <optional>

namespace mrv::richtext {

namespace {

// Real documents nest a dozen groups deep; anything far deeper is an attack
// on the stack of saved states and is skipped as a whole.
constexpr int kMaxGroupDepth = 500;
constexpr int kDefaultHalfPoints = 24;
constexpr int kDefaultCodePage = 1252;
constexpr int kMaxListLevel = 8;
// 1440 twips an inch, 96 pixels an inch: the document's lengths are pixels.
constexpr qreal kTwipsPerPixel = 15.0;
// Word's own limits: 22 inches for indents, 1638 points for fonts.
constexpr int kMaxTwips = 31680;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
constexpr int kMaxUnicodeSkip = 16;

enum class Destination { Body, Skip, FontTable, ColorTable, ListTable, ListOverrideTable, Numbering, Field, Picture };

QTextListFormat::Style styleOfNumberFormat(int numberFormat, int level)
{
    switch (numberFormat) {
    case 0:
        return QTextListFormat::ListDecimal;
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    case 23:
    case 255:
        return level == 0 ? QTextListFormat::ListDisc
                          : (level == 1 ? QTextListFormat::ListCircle : QTextListFormat::ListSquare);
    default:
        return QTextListFormat::ListDecimal;
    }
}

// The target of a HYPERLINK field: HYPERLINK "http://..." or, for a place
// in the same document, HYPERLINK \l "bookmark".
QString hyperlinkTarget(const QString &instruction)
{
    static const QRegularExpression pattern(QStringLiteral(R"re(^HYPERLINK\s+(\\l\s+)?(?:"([^"]*)"|(\S+)))re"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(instruction);
    if (!match.hasMatch())
        return {};
    const QString target = match.hasCaptured(2) ? match.captured(2) : match.captured(3);
    return match.hasCaptured(1) ? QLatin1Char('#') + target : target;
}

// The text when it has bytes beyond ASCII and all of them make valid UTF-8.
std::optional<QString> utf8Text(QByteArrayView bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) < 0x80; }))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

int clampedTwips(int twips)
{
    return std::clamp(twips, -kMaxTwips, kMaxTwips);
}

qreal pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

bool switchedOn(const RtfToken &token)
{
    return !token.hasParameter || token.parameter != 0;
}

struct CharacterState
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    QTextCharFormat::VerticalAlignment verticalAlignment = QTextCharFormat::AlignNormal;
    // -1 is the document's default font.
    int font = -1;
    int halfPoints = kDefaultHalfPoints;
    // Indexes into the colour table; 0 is the automatic colour.
    int foreground = 0;
    int background = 0;
};

// Survives \plain: a field's result keeps being the field's whatever
// formatting it resets.
struct FieldState
{
    int id = 0;
    QString instruction;
    QString hyperlink;
};

struct NumberingState
{
    QTextListFormat::Style style = QTextListFormat::ListStyleUndefined;
    int level = 0;
    int start = 1;
};

struct ParagraphState
{
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool inTable = false;
    int listOverride = 0;
    int listLevel = 0;
    NumberingState numbering;
};

struct GroupState
{
    Destination destination = Destination::Body;
    bool opensDestination = false;
    int unicodeSkip = 1;
    CharacterState character;
    FieldState field;
    ParagraphState paragraph;
};

struct FontEntry
{
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    // 0 means the document's code page.
    int codePage = 0;
};

struct LevelStyle
{
    QTextListFormat::Style style = QTextListFormat::ListDisc;
    int start = 1;
};

struct PictureState
{
    enum class Kind { Unknown, Png, Jpeg, Unsupported };
    Kind kind = Kind::Unknown;
    QByteArray data;
    int highNibble = -1;
    int goalWidth = 0;
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
};

class RtfReader
{
public:
    explicit RtfReader(QTextDocument *document) : m_document(document), m_builder(document) {}

    void read(QByteArrayView rtf);

private:
    GroupState &top() { return m_stack.last(); }
    const GroupState &top() const { return m_stack.last(); }

    void handle(RtfToken token);
    bool skipFallback(RtfToken &token);
    void openGroup();
    void closeGroup();
    void enter(Destination destination);
    void finishDestination(const GroupState &closing, GroupState &parent);

    void handleWord(const RtfToken &token, bool ignorable);
    bool startDestination(Word word);
    bool handleDocumentWord(Word word, const RtfToken &token);
    bool handleCharacterWord(Word word, const RtfToken &token);
    bool handleParagraphWord(Word word, const RtfToken &token);
    void handleStructureWord(Word word, const RtfToken &token);
    void handleFontTableWord(Word word, const RtfToken &token);
    QString takeFontNameBytes();
    void handleColorTableWord(Word word, const RtfToken &token);
    void handleListTableWord(Word word, const RtfToken &token);
    void handleListOverrideWord(Word word, const RtfToken &token);
    void handleNumberingWord(Word word, const RtfToken &token);
    void handlePictureWord(Word word, const RtfToken &token);
    void handleSymbol(uchar symbol);
    void handleUnicode(int value);
    void handleText(QByteArrayView bytes);
    void addText(QByteArrayView bytes);
    void handleByte(uchar byte);
    void handleBinary(QByteArrayView bytes);

    void flushText();
    void appendText(const QString &text);
    int currentCodePage() const;
    const FontEntry *fontAt(int index) const;
    QTextCharFormat characterFormat(const GroupState &state) const;
    QColor colourAt(int index) const;
    ParagraphFormat paragraphFormat(const ParagraphState &paragraph) const;
    void applyList(const ParagraphState &paragraph, ParagraphFormat &format) const;
    LevelStyle levelStyle(int listOverride, int level) const;
    RowFormat rowFormat() const;

    void addFontNameBytes(QByteArrayView bytes);
    void commitFont();
    void addColourTableText(QByteArrayView bytes);
    void commitList();
    void addPictureHex(QByteArrayView bytes);
    void insertPicture(const GroupState &parent);

    QTextDocument *m_document;
    DocumentBuilder m_builder;
    CodePageDecoder m_decoder;
    QList<GroupState> m_stack{GroupState()};
    int m_overflowDepth = 0;
    bool m_finished = false;
    bool m_ignorableDestination = false;
    int m_fallbackToSkip = 0;
    QByteArray m_pendingBytes;

    int m_codePage = kDefaultCodePage;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    std::optional<int> m_fontIndex;
    FontEntry m_font;
    // The name being read: text decoded so far (\uN, symbols) and the bytes after it.
    QString m_fontNameText;
    QByteArray m_fontName;

    QList<QColor> m_colours;
    std::optional<QColor> m_colour;

    QHash<int, QList<LevelStyle>> m_lists;
    std::optional<int> m_listId;
    QList<LevelStyle> m_listLevels;
    int m_overrideListId = 0;
    QHash<int, int> m_listOverrides;

    QString m_instruction;
    int m_fieldCount = 0;

    PictureState m_picture;
    int m_pictureCount = 0;

    QList<int> m_cellEdges;
    int m_rowLeft = 0;
    bool m_rowBordered = false;
};

void RtfReader::read(QByteArrayView rtf)
{
    RtfTokenizer tokenizer(rtf);
    for (RtfToken token = tokenizer.next(); token.kind != RtfToken::Kind::End && !m_finished; token = tokenizer.next())
        handle(token);
    flushText();
    commitFont();
    m_builder.finish(paragraphFormat(top().paragraph));
}

void RtfReader::handle(RtfToken token)
{
    if (m_overflowDepth > 0) {
        m_overflowDepth += token.kind == RtfToken::Kind::GroupStart ? 1 : 0;
        m_overflowDepth -= token.kind == RtfToken::Kind::GroupEnd ? 1 : 0;
        return;
    }
    if (token.kind != RtfToken::Kind::Text && token.kind != RtfToken::Kind::HexByte)
        flushText();
    if (!skipFallback(token))
        return;
    const bool ignorable = std::exchange(m_ignorableDestination, false);
    switch (token.kind) {
    case RtfToken::Kind::GroupStart:
        openGroup();
        break;
    case RtfToken::Kind::GroupEnd:
        closeGroup();
        break;
    case RtfToken::Kind::ControlWord:
        handleWord(token, ignorable);
        break;
    case RtfToken::Kind::ControlSymbol:
        handleSymbol(token.symbol);
        break;
    case RtfToken::Kind::HexByte:
        handleByte(token.symbol);
        break;
    case RtfToken::Kind::Text:
        handleText(token.bytes);
        break;
    case RtfToken::Kind::Binary:
        handleBinary(token.bytes);
        break;
    case RtfToken::Kind::End:
        break;
    }
}

// After \uN the next \ucN characters are the fallback for readers that do not
// know Unicode: a text byte, a \'hh or any control word each count as one, and
// a group boundary ends the fallback early. Returns false when the token was
// swallowed whole.
bool RtfReader::skipFallback(RtfToken &token)
{
    if (m_fallbackToSkip == 0)
        return true;
    if (token.kind == RtfToken::Kind::GroupStart || token.kind == RtfToken::Kind::GroupEnd) {
        m_fallbackToSkip = 0;
        return true;
    }
    if (token.kind != RtfToken::Kind::Text) {
        --m_fallbackToSkip;
        return false;
    }
    const qsizetype skipped = std::min<qsizetype>(m_fallbackToSkip, token.bytes.size());
    m_fallbackToSkip -= int(skipped);
    token.bytes = token.bytes.sliced(skipped);
    return !token.bytes.isEmpty();
}

void RtfReader::openGroup()
{
    if (m_stack.size() > kMaxGroupDepth) {
        m_overflowDepth = 1;
        return;
    }
    GroupState inner = top();
    inner.opensDestination = false;
    m_stack.append(std::move(inner));
}

void RtfReader::closeGroup()
{
    if (m_stack.size() == 1)
        return;
    const GroupState closing = m_stack.takeLast();
    if (closing.opensDestination)
        finishDestination(closing, top());
    m_finished = m_stack.size() == 1;
}

void RtfReader::enter(Destination destination)
{
    top().destination = destination;
    top().opensDestination = true;
}

void RtfReader::finishDestination(const GroupState &closing, GroupState &parent)
{
    switch (closing.destination) {
    case Destination::FontTable:
        commitFont();
        break;
    case Destination::ListTable:
        commitList();
        break;
    case Destination::Numbering:
        parent.paragraph.numbering = closing.paragraph.numbering;
        break;
    case Destination::Field:
        parent.field.instruction = m_instruction.trimmed();
        parent.field.hyperlink = hyperlinkTarget(parent.field.instruction);
        break;
    case Destination::Picture:
        insertPicture(parent);
        break;
    default:
        break;
    }
}

void RtfReader::handleWord(const RtfToken &token, bool ignorable)
{
    const Destination destination = top().destination;
    if (destination == Destination::Skip)
        return;
    const Word word = wordOf(token.bytes);
    if (word == Word::Unicode) {
        handleUnicode(token.parameter);
        return;
    }
    if (word == Word::UnicodeSkip) {
        top().unicodeSkip = std::clamp(token.parameter, 0, kMaxUnicodeSkip);
        return;
    }
    if (const QChar special = specialCharacter(token.bytes); !special.isNull()) {
        appendText(special);
        return;
    }
    if (destination == Destination::Body && startDestination(word))
        return;
    if (ignorable) {
        enter(Destination::Skip);
        return;
    }
    switch (destination) {
    case Destination::Body:
        if (!handleDocumentWord(word, token) && !handleCharacterWord(word, token) && !handleParagraphWord(word, token))
            handleStructureWord(word, token);
        break;
    case Destination::FontTable:
        handleFontTableWord(word, token);
        break;
    case Destination::ColorTable:
        handleColorTableWord(word, token);
        break;
    case Destination::ListTable:
        handleListTableWord(word, token);
        break;
    case Destination::ListOverrideTable:
        handleListOverrideWord(word, token);
        break;
    case Destination::Numbering:
        handleNumberingWord(word, token);
        break;
    case Destination::Picture:
        handlePictureWord(word, token);
        break;
    case Destination::Field:
    case Destination::Skip:
        break;
    }
}

bool RtfReader::startDestination(Word word)
{
    switch (word) {
    case Word::FontTable:
        enter(Destination::FontTable);
        return true;
    case Word::ColorTable:
        enter(Destination::ColorTable);
        return true;
    case Word::ListTable:
        enter(Destination::ListTable);
        return true;
    case Word::ListOverrideTable:
        enter(Destination::ListOverrideTable);
        return true;
    case Word::Numbering:
        enter(Destination::Numbering);
        top().paragraph.numbering = NumberingState();
        return true;
    case Word::Picture:
        enter(Destination::Picture);
        m_picture = PictureState();
        return true;
    case Word::FieldInstruction:
        enter(Destination::Field);
        m_instruction.clear();
        return true;
    case Word::FieldResult:
        top().field.id = ++m_fieldCount;
        return true;
    case Word::ShapePicture:
        return true;
    case Word::SkippedDestination:
        enter(Destination::Skip);
        return true;
    default:
        return false;
    }
}

bool RtfReader::handleDocumentWord(Word word, const RtfToken &token)
{
    switch (word) {
    case Word::Ansi:
        m_codePage = kDefaultCodePage;
        return true;
    case Word::Mac:
        m_codePage = 10000;
        return true;
    case Word::Pc:
        m_codePage = 437;
        return true;
    case Word::Pca:
        m_codePage = 850;
        return true;
    case Word::AnsiCodePage:
        m_codePage = token.parameter > 0 ? token.parameter : kDefaultCodePage;
        return true;
    case Word::DefaultFont:
        m_defaultFont = token.parameter;
        return true;
    default:
        return false;
    }
}

bool RtfReader::handleCharacterWord(Word word, const RtfToken &token)
{
    CharacterState &character = top().character;
    switch (word) {
    case Word::Plain:
        character = CharacterState();
        return true;
    case Word::Bold:
        character.bold = switchedOn(token);
        return true;
    case Word::Italic:
        character.italic = switchedOn(token);
        return true;
    case Word::Underline:
        character.underline = switchedOn(token);
        return true;
    case Word::NoUnderline:
        character.underline = false;
        return true;
    case Word::Strike:
        character.strike = switchedOn(token);
        return true;
    case Word::Hidden:
        character.hidden = switchedOn(token);
        return true;
    case Word::Superscript:
        character.verticalAlignment = QTextCharFormat::AlignSuperScript;
        return true;
    case Word::Subscript:
        character.verticalAlignment = QTextCharFormat::AlignSubScript;
        return true;
    case Word::NoSuperscript:
        character.verticalAlignment = QTextCharFormat::AlignNormal;
        return true;
    case Word::Font:
        character.font = token.parameter;
        return true;
    case Word::FontSize:
        character.halfPoints =
            token.parameter > 0 ? std::clamp(token.parameter, kMinHalfPoints, kMaxHalfPoints) : kDefaultHalfPoints;
        return true;
    case Word::Foreground:
        character.foreground = token.parameter;
        return true;
    case Word::Background:
        character.background = token.parameter;
        return true;
    default:
        return false;
    }
}

bool RtfReader::handleParagraphWord(Word word, const RtfToken &token)
{
    ParagraphState &paragraph = top().paragraph;
    switch (word) {
    case Word::ParagraphDefaults:
        paragraph = ParagraphState();
        return true;
    case Word::AlignLeft:
        paragraph.alignment = Qt::AlignLeft;
        return true;
    case Word::AlignCenter:
        paragraph.alignment = Qt::AlignHCenter;
        return true;
    case Word::AlignRight:
        paragraph.alignment = Qt::AlignRight;
        return true;
    case Word::Justify:
        paragraph.alignment = Qt::AlignJustify;
        return true;
    case Word::LeftIndent:
        paragraph.leftIndent = clampedTwips(token.parameter);
        return true;
    case Word::RightIndent:
        paragraph.rightIndent = clampedTwips(token.parameter);
        return true;
    case Word::FirstLineIndent:
        paragraph.firstLineIndent = clampedTwips(token.parameter);
        return true;
    case Word::SpaceBefore:
        paragraph.spaceBefore = clampedTwips(token.parameter);
        return true;
    case Word::SpaceAfter:
        paragraph.spaceAfter = clampedTwips(token.parameter);
        return true;
    case Word::InTable:
        paragraph.inTable = true;
        return true;
    case Word::TableDepth:
        paragraph.inTable = token.parameter > 0;
        return true;
    case Word::ListOverride:
        paragraph.listOverride = token.parameter;
        return true;
    case Word::ListLevel:
        paragraph.listLevel = std::clamp(token.parameter, 0, kMaxListLevel);
        return true;
    default:
        return false;
    }
}

// Nested tables are flattened: each of their cells becomes a paragraph of
// the enclosing cell.
void RtfReader::handleStructureWord(Word word, const RtfToken &token)
{
    const ParagraphState &paragraph = top().paragraph;
    switch (word) {
    case Word::Paragraph:
        m_builder.endParagraph(paragraphFormat(paragraph), paragraph.inTable);
        break;
    case Word::NestedCell:
        m_builder.endParagraph(paragraphFormat(paragraph), true);
        break;
    case Word::Cell:
        m_builder.endCell(paragraphFormat(paragraph));
        break;
    case Word::Row:
        m_builder.endRow(rowFormat());
        break;
    case Word::RowDefaults:
        m_cellEdges.clear();
        m_rowLeft = 0;
        m_rowBordered = false;
        break;
    case Word::RowLeft:
        m_rowLeft = clampedTwips(token.parameter);
        break;
    case Word::CellEdge:
        m_cellEdges.append(clampedTwips(token.parameter));
        break;
    case Word::Border:
        m_rowBordered = true;
        break;
    default:
        break;
    }
}

void RtfReader::handleFontTableWord(Word word, const RtfToken &token)
{
    switch (word) {
    case Word::Font:
        commitFont();
        m_fontIndex = token.parameter;
        break;
    case Word::Charset:
        m_font.codePage = codePageOfCharset(token.parameter);
        break;
    case Word::FontCodePage:
        m_font.codePage = std::max(token.parameter, 0);
        break;
    case Word::FamilyRoman:
        m_font.hint = QFont::Serif;
        break;
    case Word::FamilySwiss:
        m_font.hint = QFont::SansSerif;
        break;
    case Word::FamilyModern:
        m_font.hint = QFont::Monospace;
        break;
    case Word::FamilyScript:
        m_font.hint = QFont::Cursive;
        break;
    case Word::FamilyDecor:
        m_font.hint = QFont::Decorative;
        break;
    default:
        break;
    }
}

void RtfReader::handleColorTableWord(Word word, const RtfToken &token)
{
    if (word != Word::Red && word != Word::Green && word != Word::Blue)
        return;
    const int value = std::clamp(token.parameter, 0, 255);
    QColor &colour = m_colour ? *m_colour : m_colour.emplace(0, 0, 0);
    if (word == Word::Red)
        colour.setRed(value);
    else if (word == Word::Green)
        colour.setGreen(value);
    else
        colour.setBlue(value);
}

void RtfReader::handleListTableWord(Word word, const RtfToken &token)
{
    switch (word) {
    case Word::List:
        commitList();
        break;
    case Word::LevelDefinition:
        m_listLevels.append(LevelStyle());
        m_listLevels.last().style = styleOfNumberFormat(23, int(m_listLevels.size() - 1));
        break;
    case Word::LevelNumberFormat:
        if (!m_listLevels.isEmpty())
            m_listLevels.last().style = styleOfNumberFormat(token.parameter, int(m_listLevels.size() - 1));
        break;
    case Word::LevelStart:
        if (!m_listLevels.isEmpty())
            m_listLevels.last().start = token.parameter;
        break;
    case Word::ListId:
        m_listId = token.parameter;
        break;
    default:
        break;
    }
}

void RtfReader::handleListOverrideWord(Word word, const RtfToken &token)
{
    if (word == Word::ListId)
        m_overrideListId = token.parameter;
    else if (word == Word::ListOverride)
        m_listOverrides.insert(token.parameter, m_overrideListId);
}

void RtfReader::handleNumberingWord(Word word, const RtfToken &token)
{
    NumberingState &numbering = top().paragraph.numbering;
    switch (word) {
    case Word::NumberBullet:
        numbering.style = QTextListFormat::ListDisc;
        break;
    case Word::NumberBody:
        numbering.style = QTextListFormat::ListDecimal;
        break;
    case Word::NumberContinue:
        numbering.style = QTextListFormat::ListStyleUndefined;
        break;
    case Word::NumberLevel:
        numbering.style = QTextListFormat::ListDecimal;
        numbering.level = std::clamp(token.parameter - 1, 0, kMaxListLevel);
        break;
    case Word::NumberDecimal:
        numbering.style = QTextListFormat::ListDecimal;
        break;
    case Word::NumberUpperLetter:
        numbering.style = QTextListFormat::ListUpperAlpha;
        break;
    case Word::NumberLowerLetter:
        numbering.style = QTextListFormat::ListLowerAlpha;
        break;
    case Word::NumberUpperRoman:
        numbering.style = QTextListFormat::ListUpperRoman;
        break;
    case Word::NumberLowerRoman:
        numbering.style = QTextListFormat::ListLowerRoman;
        break;
    case Word::NumberStart:
        numbering.start = token.parameter;
        break;
    default:
        break;
    }
}

void RtfReader::handlePictureWord(Word word, const RtfToken &token)
{
    switch (word) {
    case Word::Png:
        m_picture.kind = PictureState::Kind::Png;
        break;
    case Word::Jpeg:
        m_picture.kind = PictureState::Kind::Jpeg;
        break;
    case Word::OtherPictureFormat:
        m_picture.kind = PictureState::Kind::Unsupported;
        break;
    case Word::PictureGoalWidth:
        m_picture.goalWidth = clampedTwips(token.parameter);
        break;
    case Word::PictureGoalHeight:
        m_picture.goalHeight = clampedTwips(token.parameter);
        break;
    case Word::PictureScaleX:
        m_picture.scaleX = std::clamp(token.parameter, 1, 1000);
        break;
    case Word::PictureScaleY:
        m_picture.scaleY = std::clamp(token.parameter, 1, 1000);
        break;
    default:
        break;
    }
}

void RtfReader::handleSymbol(uchar symbol)
{
    if (symbol == '*') {
        m_ignorableDestination = true;
        return;
    }
    if (symbol == '\\' || symbol == '{' || symbol == '}') {
        const char literal = char(symbol);
        handleText(QByteArrayView(&literal, 1));
        return;
    }
    if (const QChar special = symbolCharacter(symbol); !special.isNull())
        appendText(special);
}

void RtfReader::handleUnicode(int value)
{
    const char16_t unit = char16_t(value < 0 ? value + 0x10000 : value);
    if (unit != 0)
        appendText(QString(QChar(unit)));
    m_fallbackToSkip = top().unicodeSkip;
}

void RtfReader::handleText(QByteArrayView bytes)
{
    switch (top().destination) {
    case Destination::Body:
    case Destination::Field:
        addText(bytes);
        break;
    case Destination::FontTable:
        addFontNameBytes(bytes);
        break;
    case Destination::ColorTable:
        addColourTableText(bytes);
        break;
    case Destination::Picture:
        addPictureHex(bytes);
        break;
    default:
        break;
    }
}

// Raw 8-bit text is in the document's code page, as RTF wants, unless it
// is valid UTF-8: RTF that was kept as Unicode text and encoded back as
// UTF-8 keeps its characters. \'hh escapes are always in the code page.
void RtfReader::addText(QByteArrayView bytes)
{
    if (const std::optional<QString> text = utf8Text(bytes)) {
        flushText();
        appendText(*text);
        return;
    }
    m_pendingBytes.append(bytes);
}

void RtfReader::handleByte(uchar byte)
{
    const Destination destination = top().destination;
    if (destination == Destination::Body || destination == Destination::Field)
        m_pendingBytes.append(char(byte));
    else if (destination == Destination::FontTable && m_fontIndex)
        m_fontName.append(char(byte));
}

void RtfReader::handleBinary(QByteArrayView bytes)
{
    if (top().destination == Destination::Picture)
        m_picture.data.append(bytes);
}

// Text bytes are collected until something else comes and decoded together,
// so a double-byte character written as two \'hh escapes stays whole.
void RtfReader::flushText()
{
    if (m_pendingBytes.isEmpty())
        return;
    const QString text = m_decoder.decode(m_pendingBytes, currentCodePage());
    m_pendingBytes.clear();
    appendText(text);
}

void RtfReader::appendText(const QString &text)
{
    const GroupState &state = top();
    if (state.destination == Destination::Field)
        m_instruction += text;
    else if (state.destination == Destination::Body && !state.character.hidden)
        m_builder.insertText(text, characterFormat(state), state.paragraph.inTable);
    else if (state.destination == Destination::FontTable && m_fontIndex)
        m_fontNameText += takeFontNameBytes() + text;
}

// A font's charset says how its text is encoded; charsets 0 (ANSI) and 1
// (default) defer to the document's \ansicpg.
int RtfReader::currentCodePage() const
{
    const FontEntry *font = fontAt(top().character.font);
    return font && font->codePage > 0 ? font->codePage : m_codePage;
}

const FontEntry *RtfReader::fontAt(int index) const
{
    const auto found = m_fonts.constFind(index < 0 ? m_defaultFont : index);
    return found == m_fonts.constEnd() ? nullptr : &*found;
}

QTextCharFormat RtfReader::characterFormat(const GroupState &state) const
{
    const CharacterState &character = state.character;
    QTextCharFormat format;
    if (const FontEntry *font = fontAt(character.font); font && !font->family.isEmpty()) {
        format.setFontFamilies({font->family});
        format.setFontStyleHint(font->hint);
    }
    format.setFontPointSize(character.halfPoints / 2.0);
    if (character.bold)
        format.setFontWeight(QFont::Bold);
    if (character.italic)
        format.setFontItalic(true);
    if (character.underline)
        format.setFontUnderline(true);
    if (character.strike)
        format.setFontStrikeOut(true);
    if (character.verticalAlignment != QTextCharFormat::AlignNormal)
        format.setVerticalAlignment(character.verticalAlignment);
    if (const QColor colour = colourAt(character.foreground); colour.isValid())
        format.setForeground(colour);
    if (const QColor colour = colourAt(character.background); colour.isValid())
        format.setBackground(colour);
    if (state.field.id != 0) {
        format.setProperty(FieldInstruction, state.field.instruction);
        format.setProperty(FieldId, state.field.id);
    }
    if (state.field.id != 0 && !state.field.hyperlink.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(state.field.hyperlink);
    }
    return format;
}

QColor RtfReader::colourAt(int index) const
{
    return index > 0 && index < m_colours.size() ? m_colours.at(index) : QColor();
}

ParagraphFormat RtfReader::paragraphFormat(const ParagraphState &paragraph) const
{
    ParagraphFormat format;
    if (paragraph.alignment != Qt::AlignLeft)
        format.block.setAlignment(paragraph.alignment);
    if (paragraph.spaceBefore != 0)
        format.block.setTopMargin(pixels(paragraph.spaceBefore));
    if (paragraph.spaceAfter != 0)
        format.block.setBottomMargin(pixels(paragraph.spaceAfter));
    if (paragraph.rightIndent != 0)
        format.block.setRightMargin(pixels(paragraph.rightIndent));
    applyList(paragraph, format);
    // A list item's indents are its bullet's hanging indent, which the list
    // itself provides.
    if (format.list.style() != QTextListFormat::ListStyleUndefined)
        return format;
    if (paragraph.leftIndent != 0)
        format.block.setLeftMargin(pixels(paragraph.leftIndent));
    if (paragraph.firstLineIndent != 0)
        format.block.setTextIndent(pixels(paragraph.firstLineIndent));
    return format;
}

// Word numbers paragraphs through \ls and its list tables; WordPad and older
// writers through \pn properties. \ls wins where a writer gives both.
void RtfReader::applyList(const ParagraphState &paragraph, ParagraphFormat &format) const
{
    int level = 0;
    LevelStyle style;
    if (paragraph.listOverride > 0) {
        level = paragraph.listLevel;
        style = levelStyle(paragraph.listOverride, level);
        format.listKey = QStringLiteral("ls%1:%2").arg(paragraph.listOverride).arg(level);
    } else if (paragraph.numbering.style != QTextListFormat::ListStyleUndefined) {
        level = paragraph.numbering.level;
        style = {paragraph.numbering.style, paragraph.numbering.start};
        format.listKey = QStringLiteral("pn%1:%2").arg(int(style.style)).arg(level);
    } else {
        return;
    }
    format.list.setStyle(style.style);
    if (style.start != 1)
        format.list.setProperty(ListStart, style.start);
    format.list.setIndent(level + 1);
}

LevelStyle RtfReader::levelStyle(int listOverride, int level) const
{
    const auto listId = m_listOverrides.constFind(listOverride);
    if (listId == m_listOverrides.constEnd())
        return {styleOfNumberFormat(23, level), 1};
    const QList<LevelStyle> levels = m_lists.value(*listId);
    return level < levels.size() ? levels.at(level) : LevelStyle{styleOfNumberFormat(23, level), 1};
}

RowFormat RtfReader::rowFormat() const
{
    RowFormat format;
    format.bordered = m_rowBordered;
    int left = m_rowLeft;
    for (int edge : m_cellEdges) {
        if (edge <= left)
            return RowFormat{{}, m_rowBordered};
        format.columnWidths.append(pixels(edge - left));
        left = edge;
    }
    return format;
}

void RtfReader::addFontNameBytes(QByteArrayView bytes)
{
    for (char byte : bytes) {
        if (byte == ';')
            commitFont();
        else if (m_fontIndex)
            m_fontName.append(byte);
    }
}

void RtfReader::commitFont()
{
    if (!m_fontIndex)
        return;
    // A tab or line feed in the table, raw or as a control word, is no part
    // of a font's name: a name that kept one would come back without it.
    m_font.family = m_fontNameText + takeFontNameBytes();
    m_font.family.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    m_font.family = m_font.family.trimmed();
    m_fonts.insert(*m_fontIndex, m_font);
    m_fontIndex.reset();
    m_font = FontEntry();
    m_fontNameText.clear();
}

QString RtfReader::takeFontNameBytes()
{
    const int codePage = m_font.codePage > 0 ? m_font.codePage : m_codePage;
    return m_decoder.decode(std::exchange(m_fontName, QByteArray()), codePage);
}

// Each entry ends with a semicolon; an entry without any colour word is the
// automatic colour (normally the first).
void RtfReader::addColourTableText(QByteArrayView bytes)
{
    for (char byte : bytes) {
        if (byte != ';')
            continue;
        m_colours.append(m_colour.value_or(QColor()));
        m_colour.reset();
    }
}

void RtfReader::commitList()
{
    if (m_listId)
        m_lists.insert(*m_listId, m_listLevels);
    m_listId.reset();
    m_listLevels.clear();
}

void RtfReader::addPictureHex(QByteArrayView bytes)
{
    for (char byte : bytes) {
        const int value = hexDigitValue(uchar(byte));
        if (value < 0)
            continue;
        if (m_picture.highNibble < 0) {
            m_picture.highNibble = value;
            continue;
        }
        m_picture.data.append(char(m_picture.highNibble * 16 + value));
        m_picture.highNibble = -1;
    }
}

// Only pictures a mail client can show are kept; a picture whose data does
// not even have a readable header is dropped rather than shown broken.
void RtfReader::insertPicture(const GroupState &parent)
{
    const bool png = m_picture.kind == PictureState::Kind::Png;
    if ((!png && m_picture.kind != PictureState::Kind::Jpeg) || parent.character.hidden)
        return;
    QBuffer buffer(&m_picture.data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, png ? "png" : "jpeg");
    const QSize natural = reader.canRead() ? reader.size() : QSize();
    if (natural.isEmpty())
        return;
    const QString name = QStringLiteral("image%1.%2").arg(++m_pictureCount).arg(QLatin1String(png ? "png" : "jpg"));
    m_document->addResource(QTextDocument::ImageResource, QUrl(name), m_picture.data);
    QTextImageFormat format;
    format.setName(name);
    const qreal width = m_picture.goalWidth > 0 ? pixels(m_picture.goalWidth) : natural.width();
    const qreal height = m_picture.goalHeight > 0 ? pixels(m_picture.goalHeight) : natural.height();
    format.setWidth(width * m_picture.scaleX / 100);
    format.setHeight(height * m_picture.scaleY / 100);
    m_builder.insertImage(format, parent.paragraph.inTable);
}

QString plainText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? CodePageDecoder().decode(bytes, kDefaultCodePage) : text;
}

} // namespace

bool looksLikeRtf(QByteArrayView data)
{
    QByteArrayView rest = data;
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    return rest.trimmed().startsWith("{\\rtf");
}

void readRtf(const QByteArray &rtf, QTextDocument *document)
{
    document->clear();
    if (!looksLikeRtf(rtf)) {
        document->setPlainText(plainText(rtf));
        return;
    }
    const bool undoEnabled = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    RtfReader(document).read(QByteArrayView(rtf).sliced(rtf.indexOf('{')));
    document->setUndoRedoEnabled(undoEnabled);
}

std::unique_ptr<QTextDocument> readRtf(const QByteArray &rtf)
{
    auto document = std::make_unique<QTextDocument>();
    readRtf(rtf, document.get());
    return document;
}

} // namespace mrv::richtext
