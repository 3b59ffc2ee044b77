#include "platform/richtext/RtfWords.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace mrv::richtext {

Word wordOf(QByteArrayView name)
{
    static const std::unordered_map<std::string_view, Word> words = {
        {"ansi", Word::Ansi},
        {"mac", Word::Mac},
        {"pc", Word::Pc},
        {"pca", Word::Pca},
        {"ansicpg", Word::AnsiCodePage},
        {"deff", Word::DefaultFont},
        {"u", Word::Unicode},
        {"uc", Word::UnicodeSkip},
        {"fonttbl", Word::FontTable},
        {"colortbl", Word::ColorTable},
        {"listtable", Word::ListTable},
        {"listoverridetable", Word::ListOverrideTable},
        {"pn", Word::Numbering},
        {"pict", Word::Picture},
        {"fldinst", Word::FieldInstruction},
        {"fldrslt", Word::FieldResult},
        {"shppict", Word::ShapePicture},
        {"plain", Word::Plain},
        {"b", Word::Bold},
        {"i", Word::Italic},
        {"ul", Word::Underline},
        {"uld", Word::Underline},
        {"uldash", Word::Underline},
        {"uldashd", Word::Underline},
        {"uldashdd", Word::Underline},
        {"uldb", Word::Underline},
        {"ulhwave", Word::Underline},
        {"ulldash", Word::Underline},
        {"ulth", Word::Underline},
        {"ulthd", Word::Underline},
        {"ulthdash", Word::Underline},
        {"ulthldash", Word::Underline},
        {"ululdbwave", Word::Underline},
        {"ulw", Word::Underline},
        {"ulwave", Word::Underline},
        {"ulnone", Word::NoUnderline},
        {"strike", Word::Strike},
        {"striked", Word::Strike},
        {"super", Word::Superscript},
        {"sub", Word::Subscript},
        {"nosupersub", Word::NoSuperscript},
        {"f", Word::Font},
        {"fs", Word::FontSize},
        {"cf", Word::Foreground},
        {"cb", Word::Background},
        {"highlight", Word::Background},
        {"v", Word::Hidden},
        {"pard", Word::ParagraphDefaults},
        {"ql", Word::AlignLeft},
        {"qc", Word::AlignCenter},
        {"qr", Word::AlignRight},
        {"qj", Word::Justify},
        {"li", Word::LeftIndent},
        {"ri", Word::RightIndent},
        {"fi", Word::FirstLineIndent},
        {"sb", Word::SpaceBefore},
        {"sa", Word::SpaceAfter},
        {"intbl", Word::InTable},
        {"itap", Word::TableDepth},
        {"ls", Word::ListOverride},
        {"ilvl", Word::ListLevel},
        {"par", Word::Paragraph},
        {"cell", Word::Cell},
        {"nestcell", Word::NestedCell},
        {"row", Word::Row},
        {"trowd", Word::RowDefaults},
        {"trleft", Word::RowLeft},
        {"cellx", Word::CellEdge},
        {"brdrs", Word::Border},
        {"brdrth", Word::Border},
        {"brdrsh", Word::Border},
        {"brdrdb", Word::Border},
        {"brdrdot", Word::Border},
        {"brdrdash", Word::Border},
        {"brdrhair", Word::Border},
        {"fcharset", Word::Charset},
        {"cpg", Word::FontCodePage},
        {"fnil", Word::FamilyNil},
        {"froman", Word::FamilyRoman},
        {"fswiss", Word::FamilySwiss},
        {"fmodern", Word::FamilyModern},
        {"fscript", Word::FamilyScript},
        {"fdecor", Word::FamilyDecor},
        {"red", Word::Red},
        {"green", Word::Green},
        {"blue", Word::Blue},
        {"list", Word::List},
        {"listlevel", Word::LevelDefinition},
        {"levelnfc", Word::LevelNumberFormat},
        {"levelnfcn", Word::LevelNumberFormat},
        {"levelstartat", Word::LevelStart},
        {"listid", Word::ListId},
        {"pnlvlblt", Word::NumberBullet},
        {"pnlvlbody", Word::NumberBody},
        {"pnlvlcont", Word::NumberContinue},
        {"pnlvl", Word::NumberLevel},
        {"pndec", Word::NumberDecimal},
        {"pnucltr", Word::NumberUpperLetter},
        {"pnlcltr", Word::NumberLowerLetter},
        {"pnucrm", Word::NumberUpperRoman},
        {"pnlcrm", Word::NumberLowerRoman},
        {"pnstart", Word::NumberStart},
        {"pngblip", Word::Png},
        {"jpegblip", Word::Jpeg},
        {"wmetafile", Word::OtherPictureFormat},
        {"emfblip", Word::OtherPictureFormat},
        {"macpict", Word::OtherPictureFormat},
        {"pmmetafile", Word::OtherPictureFormat},
        {"dibitmap", Word::OtherPictureFormat},
        {"wbitmap", Word::OtherPictureFormat},
        {"picw", Word::PictureWidth},
        {"pich", Word::PictureHeight},
        {"picwgoal", Word::PictureGoalWidth},
        {"pichgoal", Word::PictureGoalHeight},
        {"picscalex", Word::PictureScaleX},
        {"picscaley", Word::PictureScaleY},
    };
    // Destinations whose text is not part of the document. Destinations
    // marked with \* that we do not know are skipped without being listed.
    static const std::unordered_set<std::string_view> skipped = {
        "author",   "buptim",   "comment", "creatim",  "doccomm", "footer",  "footerf",    "footerl",  "footerr",
        "footnote", "ftncn",    "ftnsep",  "ftnsepc",  "header",  "headerf", "headerl",    "headerr",  "info",
        "keywords", "operator", "printim", "private",  "revtim",  "rxe",     "stylesheet", "subject",  "tc",
        "title",    "txe",      "xe",      "pntext",   "pntxta",  "pntxtb",  "pnseclvl",   "listtext", "nonshppict",
        "objdata",  "objclass", "upr",     "template", "filetbl", "revtbl",  "annotation", "atnid",    "atnauthor",
    };
    const std::string_view key(name.data(), size_t(name.size()));
    const auto found = words.find(key);
    if (found != words.end())
        return found->second;
    return skipped.count(key) ? Word::SkippedDestination : Word::Unknown;
}

QChar specialCharacter(QByteArrayView name)
{
    static const std::unordered_map<std::string_view, char16_t> characters = {
        {"line", u'\u2028'},      {"tab", u'\t'},         {"emdash", u'\u2014'},  {"endash", u'\u2013'},
        {"bullet", u'\u2022'},    {"lquote", u'\u2018'},  {"rquote", u'\u2019'},  {"ldblquote", u'\u201C'},
        {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'}, {"qmspace", u'\u2005'},
        {"zwj", u'\u200D'},       {"zwnj", u'\u200C'},
    };
    const auto found = characters.find(std::string_view(name.data(), size_t(name.size())));
    return found == characters.end() ? QChar() : QChar(found->second);
}

QChar symbolCharacter(uchar symbol)
{
    switch (symbol) {
    case '~':
        return QChar(0x00A0);
    case '-':
        return QChar(0x00AD);
    case '_':
        return QChar(0x2011);
    default:
        return QChar();
    }
}

} // namespace mrv::richtext
