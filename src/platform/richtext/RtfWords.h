#pragma once

#include <QByteArrayView>
#include <QChar>

namespace mrv::richtext {

// The RTF control words the reader acts on. A word can mean different things
// in different destinations (\f names a font in the font table and selects
// one in the text), so the reader interprets it by destination.
enum class Word {
    Unknown,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    DefaultFont,
    Unicode,
    UnicodeSkip,
    // destinations
    FontTable,
    ColorTable,
    ListTable,
    ListOverrideTable,
    Numbering,
    Picture,
    FieldInstruction,
    FieldResult,
    ShapePicture,
    SkippedDestination,
    // character formatting
    Plain,
    Bold,
    Italic,
    Underline,
    NoUnderline,
    Strike,
    Superscript,
    Subscript,
    NoSuperscript,
    Font,
    FontSize,
    Foreground,
    Background,
    Hidden,
    // paragraph formatting
    ParagraphDefaults,
    AlignLeft,
    AlignCenter,
    AlignRight,
    Justify,
    LeftIndent,
    RightIndent,
    FirstLineIndent,
    SpaceBefore,
    SpaceAfter,
    InTable,
    TableDepth,
    ListOverride,
    ListLevel,
    // paragraph and table structure
    Paragraph,
    Cell,
    NestedCell,
    Row,
    RowDefaults,
    RowLeft,
    CellEdge,
    Border,
    // font table
    Charset,
    FontCodePage,
    FamilyNil,
    FamilyRoman,
    FamilySwiss,
    FamilyModern,
    FamilyScript,
    FamilyDecor,
    // colour table
    Red,
    Green,
    Blue,
    // list tables
    List,
    LevelDefinition,
    LevelNumberFormat,
    LevelStart,
    ListId,
    // paragraph numbering of older writers (WordPad)
    NumberBullet,
    NumberBody,
    NumberContinue,
    NumberLevel,
    NumberDecimal,
    NumberUpperLetter,
    NumberLowerLetter,
    NumberUpperRoman,
    NumberLowerRoman,
    NumberStart,
    // pictures
    Png,
    Jpeg,
    OtherPictureFormat,
    PictureWidth,
    PictureHeight,
    PictureGoalWidth,
    PictureGoalHeight,
    PictureScaleX,
    PictureScaleY,
};

Word wordOf(QByteArrayView name);

// The character a control word such as \emdash or \line stands for, or a
// null QChar.
QChar specialCharacter(QByteArrayView name);

// The character of a control symbol such as \~ (non-breaking space), or a
// null QChar.
QChar symbolCharacter(uchar symbol);

} // namespace mrv::richtext
