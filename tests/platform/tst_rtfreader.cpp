#include "RichTextSamples.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/richtext/RtfReader.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

using namespace mrv::richtext;
using mrv::testing::encodedImage;
using mrv::testing::wordPadRtf;

namespace {

const QChar kParagraph(QChar::ParagraphSeparator);

QString rawText(const QByteArray &rtf)
{
    return readRtf(rtf)->toRawText();
}

QTextCharFormat formatOf(const QTextDocument &document, const QString &probe)
{
    QTextCursor cursor = document.find(probe);
    cursor.setPosition(cursor.selectionStart() + 1);
    return cursor.charFormat();
}

QTextBlockFormat blockFormatOf(const QTextDocument &document, const QString &probe)
{
    return document.find(probe).blockFormat();
}

QString styleName(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListDisc:
        return QStringLiteral("disc");
    case QTextListFormat::ListCircle:
        return QStringLiteral("circle");
    case QTextListFormat::ListDecimal:
        return QStringLiteral("decimal");
    case QTextListFormat::ListLowerAlpha:
        return QStringLiteral("alpha");
    case QTextListFormat::ListUpperRoman:
        return QStringLiteral("ROMAN");
    default:
        return QString::number(int(style));
    }
}

// One entry per paragraph: "p:text", or for a list item style, the list's
// number in order of appearance, its indent, its start when not 1, and text.
QString describeLists(const QTextDocument &document)
{
    QList<QTextList *> lists;
    QStringList items;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextList *list = block.textList();
        if (!list) {
            items << QStringLiteral("p:") + block.text();
            continue;
        }
        if (!lists.contains(list))
            lists << list;
        const QTextListFormat format = list->format();
        QString item = styleName(format.style()) + QString::number(lists.indexOf(list) + 1);
        if (format.indent() > 1)
            item += QStringLiteral(">%1").arg(format.indent());
        if (format.hasProperty(ListStart))
            item += QStringLiteral("@%1").arg(format.intProperty(ListStart));
        items << item + QLatin1Char(':') + block.text();
    }
    return items.join(QLatin1Char('|'));
}

QTextTable *firstTable(const QTextDocument &document)
{
    const QList<QTextFrame *> frames = document.rootFrame()->childFrames();
    return frames.isEmpty() ? nullptr : qobject_cast<QTextTable *>(frames.first());
}

QString cellText(const QTextTableCell &cell)
{
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(kParagraph, QLatin1Char('/'));
}

// Rows joined by ";", cells by ",".
QString describeTable(const QTextTable &table)
{
    QStringList rows;
    for (int row = 0; row < table.rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < table.columns(); ++column)
            cells << cellText(table.cellAt(row, column));
        rows << cells.join(QLatin1Char(','));
    }
    return rows.join(QLatin1Char(';'));
}

QStringList imageNames(const QTextDocument &document)
{
    QStringList names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                names << it.fragment().charFormat().toImageFormat().name();
        }
    }
    return names;
}

QByteArray pictureGroup(const QByteArray &words, const QByteArray &data)
{
    return "{\\pict" + words + " " + data.toHex() + "}";
}

} // namespace

class RtfReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data();
    void text();
    void characterFormats_data();
    void characterFormats();
    void paragraphFormats_data();
    void paragraphFormats();
    void lists_data();
    void lists();
    void tables_data();
    void tables();
    void tableFormat();
    void pictures_data();
    void pictures();
    void fields_data();
    void fields();
    void hyperlinks_data();
    void hyperlinks();
    void damagedInputKeepsWhatCanBeRead_data();
    void damagedInputKeepsWhatCanBeRead();
    void bigDocumentIsReadWhole();
    void looksLikeRtf_data();
    void looksLikeRtf();
    void plainTextInput_data();
    void plainTextInput();
};

void RtfReaderTest::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Italian accents in code page 1252")
        << wordPadRtf("Citt\\'e0 perch\\'e8 cos\\'ec") << u"Città perchè così"_qs;
    QTest::newRow("document code page 1250")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\\f0 \\'9a\\'e8}")
        << u"šč"_qs;
    QTest::newRow("font charset 238 in a 1252 document") << wordPadRtf("{\\f2 \\'9a\\'e8}\\'e8") << u"ščè"_qs;
    QTest::newRow("double-byte code page")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}") << u"あい"_qs;
    QTest::newRow("Mac code page") << QByteArray("{\\rtf1\\mac \\'8e\\'88}") << u"éà"_qs;
    QTest::newRow("raw bytes in the code page") << wordPadRtf("perch\xE8 \x80") << u"perchè €"_qs;
    QTest::newRow("raw UTF-8 from a Unicode body")
        << wordPadRtf("perch\xC3\xA9 \xE2\x82\xAC {\\b s\xC3\xAC}") << u"perché € sì"_qs;
    QTest::newRow("escapes stay in the code page") << wordPadRtf("\\'c3\\'a8") << u"Ã¨"_qs;
    QTest::newRow("unicode with fallback skipped") << wordPadRtf("\\u8364?10") << u"€10"_qs;
    QTest::newRow("fallback as hex escape") << wordPadRtf("\\u8364\\'80 10") << u"€ 10"_qs;
    QTest::newRow("two-character fallback") << wordPadRtf("\\uc2\\u8364EU, ok") << u"€, ok"_qs;
    QTest::newRow("no fallback") << wordPadRtf("\\uc0\\u8364 x") << u"€x"_qs;
    QTest::newRow("fallback ends with the group") << wordPadRtf("{\\uc3\\u8364 }x") << u"€x"_qs;
    QTest::newRow("negative code unit") << wordPadRtf("\\u-3913?") << QString(QChar(0xF0B7));
    QTest::newRow("surrogate pair") << wordPadRtf("\\u-10179?\\u-8704?") << u"\U0001F600"_qs;
    QTest::newRow("escaped characters") << wordPadRtf("a\\{b\\}c\\\\d") << u"a{b}c\\d"_qs;
    QTest::newRow("typographic characters")
        << wordPadRtf("\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet") << u"—–‘’“”•"_qs;
    QTest::newRow("non-breaking and optional hyphens") << wordPadRtf("a\\~b\\-c\\_d") << u"a\u00A0b\u00ADc\u2011d"_qs;
    QTest::newRow("nested groups") << wordPadRtf("{a{\\b b{\\i c}}d}e") << u"abcde"_qs;
    QTest::newRow("unknown ignorable destination") << wordPadRtf("a{\\*\\mrvunknown {hidden} text}b") << u"ab"_qs;
    QTest::newRow("known destination") << wordPadRtf("a{\\info{\\title Titolo}{\\author Io}}b") << u"ab"_qs;
    QTest::newRow("unknown control word") << wordPadRtf("a\\mrvunknown123 b") << u"ab"_qs;
    QTest::newRow("hidden text") << wordPadRtf("a{\\v nascosto}b") << u"ab"_qs;
    QTest::newRow("line break and tab") << wordPadRtf("a\\line b\\tab c") << u"a\u2028b\tc"_qs;
    QTest::newRow("paragraphs") << wordPadRtf("a\\par b") << QStringLiteral("a") + kParagraph + QStringLiteral("b");
    QTest::newRow("empty paragraphs kept, the last mark adds none")
        << wordPadRtf("a\\par\\par") << QStringLiteral("a") + kParagraph + kParagraph;
    QTest::newRow("line breaks in the source") << wordPadRtf("a\r\nb\nc") << u"abc"_qs;
    QTest::newRow("backslash before a line break")
        << wordPadRtf("a\\\r\nb") << QStringLiteral("a") + kParagraph + u"b"_qs;
    QTest::newRow("nothing after the document") << QByteArray("{\\rtf1 a}b{c}") << u"a"_qs;
    QTest::newRow("list numbers written for old readers")
        << wordPadRtf("{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'B7}}uno") << u"uno"_qs;
}

void RtfReaderTest::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(rawText(rtf), expected);
}

void RtfReaderTest::characterFormats_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("bold") << QByteArray("\\b grassetto\\b0  normale") << "grassetto" << int(QTextFormat::FontWeight)
                          << QVariant(int(QFont::Bold));
    QTest::newRow("bold off") << QByteArray("\\b grassetto\\b0  normale") << "normale" << int(QTextFormat::FontWeight)
                              << QVariant();
    QTest::newRow("bold ends with its group")
        << QByteArray("{\\b grassetto} normale") << "normale" << int(QTextFormat::FontWeight) << QVariant();
    QTest::newRow("plain resets") << QByteArray("\\b\\i a\\plain  normale") << "normale" << int(QTextFormat::FontItalic)
                                  << QVariant();
    QTest::newRow("italic") << QByteArray("\\i corsivo") << "corsivo" << int(QTextFormat::FontItalic) << QVariant(true);
    QTest::newRow("underline") << QByteArray("\\ul sotto\\ulnone  no") << "sotto"
                               << int(QTextFormat::TextUnderlineStyle)
                               << QVariant(int(QTextCharFormat::SingleUnderline));
    QTest::newRow("underline none") << QByteArray("\\ul sotto\\ulnone  no") << "no"
                                    << int(QTextFormat::TextUnderlineStyle) << QVariant();
    QTest::newRow("double underline") << QByteArray("\\uldb doppio") << "doppio" << int(QTextFormat::TextUnderlineStyle)
                                      << QVariant(int(QTextCharFormat::SingleUnderline));
    QTest::newRow("strike") << QByteArray("\\strike barrato") << "barrato" << int(QTextFormat::FontStrikeOut)
                            << QVariant(true);
    QTest::newRow("superscript") << QByteArray("m\\super 2") << "2" << int(QTextFormat::TextVerticalAlignment)
                                 << QVariant(int(QTextCharFormat::AlignSuperScript));
    QTest::newRow("default font") << QByteArray("testo") << "testo" << int(QTextFormat::FontFamilies)
                                  << QVariant(QStringList{QStringLiteral("Arial")});
    QTest::newRow("another font") << QByteArray("\\f3 times") << "times" << int(QTextFormat::FontFamilies)
                                  << QVariant(QStringList{QStringLiteral("Times New Roman")});
    QTest::newRow("font family class") << QByteArray("\\f3 times") << "times" << int(QTextFormat::FontStyleHint)
                                       << QVariant(int(QFont::Serif));
    QTest::newRow("font name after a nested group")
        << QByteArray("\\f2 ce") << "ce" << int(QTextFormat::FontFamilies) << QVariant(QStringList{u"Arial CE"_qs});
    QTest::newRow("document size") << QByteArray("testo") << "testo" << int(QTextFormat::FontPointSize)
                                   << QVariant(10.0);
    QTest::newRow("half points") << QByteArray("\\fs21 testo") << "testo" << int(QTextFormat::FontPointSize)
                                 << QVariant(10.5);
    QTest::newRow("colour") << QByteArray("\\cf1 rosso") << "rosso" << int(QTextFormat::ForegroundBrush)
                            << QVariant(QBrush(QColor(255, 0, 0)));
    QTest::newRow("automatic colour") << QByteArray("\\cf1 rosso\\cf0  auto") << "auto"
                                      << int(QTextFormat::ForegroundBrush) << QVariant();
    QTest::newRow("colour outside the table")
        << QByteArray("\\cf9 nove") << "nove" << int(QTextFormat::ForegroundBrush) << QVariant();
    QTest::newRow("highlight") << QByteArray("\\highlight2 verde") << "verde" << int(QTextFormat::BackgroundBrush)
                               << QVariant(QBrush(QColor(0, 128, 0)));
}

void RtfReaderTest::characterFormats()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, probe);
    QFETCH(int, property);
    QFETCH(QVariant, expected);
    const auto document = readRtf(wordPadRtf(body));
    QCOMPARE(formatOf(*document, probe).property(property), expected);
}

void RtfReaderTest::paragraphFormats_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<qreal>("leftMargin");
    QTest::addColumn<qreal>("textIndent");
    QTest::addColumn<qreal>("topMargin");
    QTest::newRow("left") << QByteArray("testo") << "testo" << int(Qt::AlignLeft) << 0.0 << 0.0 << 0.0;
    QTest::newRow("centred") << QByteArray("\\qc centro") << "centro" << int(Qt::AlignHCenter) << 0.0 << 0.0 << 0.0;
    QTest::newRow("right") << QByteArray("\\qr destra") << "destra" << int(Qt::AlignRight) << 0.0 << 0.0 << 0.0;
    QTest::newRow("justified") << QByteArray("\\qj pieno") << "pieno" << int(Qt::AlignJustify) << 0.0 << 0.0 << 0.0;
    QTest::newRow("indents in twips become pixels")
        << QByteArray("\\li720\\fi-360 rientro") << "rientro" << int(Qt::AlignLeft) << 48.0 << -24.0 << 0.0;
    QTest::newRow("space before") << QByteArray("\\sb240 spazio") << "spazio" << int(Qt::AlignLeft) << 0.0 << 0.0
                                  << 16.0;
    QTest::newRow("formatting given at the paragraph's end")
        << QByteArray("fine\\qc") << "fine" << int(Qt::AlignHCenter) << 0.0 << 0.0 << 0.0;
    QTest::newRow("paragraph defaults reset")
        << QByteArray("\\qc\\li720 a\\par\\pard b") << "b" << int(Qt::AlignLeft) << 0.0 << 0.0 << 0.0;
    QTest::newRow("properties carry on to the next paragraph")
        << QByteArray("\\qr a\\par b") << "b" << int(Qt::AlignRight) << 0.0 << 0.0 << 0.0;
}

void RtfReaderTest::paragraphFormats()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, probe);
    QFETCH(int, alignment);
    QFETCH(qreal, leftMargin);
    QFETCH(qreal, textIndent);
    QFETCH(qreal, topMargin);
    const QTextBlockFormat format = blockFormatOf(*readRtf(wordPadRtf(body)), probe);
    QCOMPARE(int(format.alignment() & Qt::AlignHorizontal_Mask), alignment);
    QCOMPARE(format.leftMargin(), leftMargin);
    QCOMPARE(format.textIndent(), textIndent);
    QCOMPARE(format.topMargin(), topMargin);
}

void RtfReaderTest::lists_data()
{
    const QByteArray bullet = "{\\pntext\\f1\\'B7\\tab}";
    const QByteArray bulletList = "{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 ";
    const QByteArray numberList = "{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}\\fi-720\\li720 ";
    const QByteArray listTable =
        "{\\*\\listtable"
        "{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}"
        "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'02\\'01.;}{\\levelnumbers\\'01;}}\\listid100}"
        "{\\list\\listtemplateid2{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}{\\levelnumbers;}}\\listid200}"
        "{\\list\\listtemplateid3{\\listlevel\\levelnfc1\\levelstartat4{\\leveltext\\'02\\'00.;}}\\listid300}}"
        "{\\*\\listoverridetable{\\listoverride\\listid100\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid200\\listoverridecount0\\ls2}{\\listoverride\\listid300\\listoverridecount0\\ls3}}";
    const QByteArray wordItem = "{\\listtext\\pard\\plain\\f0 1.\\tab}";

    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("WordPad bullets") << wordPadRtf(bullet + bulletList + "uno\\par " + bullet + "due\\par\\pard dopo")
                                     << "disc1:uno|disc1:due|p:dopo";
    QTest::newRow("WordPad numbers") << wordPadRtf("{\\pntext\\f0 1.\\tab}" + numberList +
                                                   "primo\\par {\\pntext\\f0 2.\\tab}secondo")
                                     << "decimal1:primo|decimal1:secondo";
    QTest::newRow("a paragraph in between starts a new list")
        << wordPadRtf(bullet + bulletList + "a\\par\\pard b\\par " + bullet + bulletList + "c")
        << "disc1:a|p:b|disc2:c";
    QTest::newRow("numbering level and start")
        << wordPadRtf("{\\*\\pn\\pnlvl2\\pnlcltr\\pnstart3{\\pntxta)}}x") << "alpha1>2@3:x";
    const QByteArray wordDocument =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}" + listTable + "\\pard\\plain " + wordItem +
        "\\ls1\\ilvl0 uno\\par " + wordItem + "\\ls1\\ilvl1 sotto\\par " + wordItem + "\\ls1\\ilvl0 due\\par\\pard " +
        wordItem + "\\ls2 punto\\par\\pard " + wordItem + "\\ls3 quarto\\par\\pard " + wordItem + "\\ls9 ignoto\\par}";
    QTest::newRow("Word list tables") << wordDocument
                                      << "decimal1:uno|alpha2>2:sotto|decimal1:due|disc3:punto|ROMAN4@4:quarto|"
                                         "disc5:ignoto";
}

void RtfReaderTest::lists()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    const auto document = readRtf(rtf);
    QCOMPARE(describeLists(*document), expected);
    // A list item's indent is its list's, not a margin of its own.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.textList())
            QCOMPARE(block.blockFormat().leftMargin(), 0.0);
    }
}

void RtfReaderTest::tables_data()
{
    const QByteArray row = "\\trowd\\trgaph108\\trleft-108\\cellx1440\\cellx4320\\pard\\intbl ";
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("text");
    QTest::newRow("two by two") << wordPadRtf(row + "A1\\cell B1\\cell\\row " + row +
                                              "A2\\cell B2\\cell\\row\\pard dopo")
                                << "A1,B1;A2,B2" << u"?dopo"_qs;
    QTest::newRow("text before and after")
        << wordPadRtf("prima\\par " + row + "A1\\cell B1\\cell\\row\\pard dopo") << "A1,B1" << u"prima?dopo"_qs;
    QTest::newRow("rows of different lengths")
        << wordPadRtf(row + "A1\\cell\\row " + row + "A2\\cell B2\\cell C2\\cell\\row") << "A1,,;A2,B2,C2" << u"?"_qs;
    QTest::newRow("paragraphs in a cell")
        << wordPadRtf(row + "uno\\par due\\cell B1\\cell\\row") << "uno/due,B1" << u"?"_qs;
    QTest::newRow("empty cells") << wordPadRtf(row + "\\cell\\cell\\row") << "," << u"?"_qs;
    QTest::newRow("formatting in cells") << wordPadRtf(row + "{\\b A1}\\cell\\i B1\\cell\\row") << "A1,B1" << u"?"_qs;
    QTest::newRow("nested table flattened")
        << wordPadRtf(row +
                      "A1\\par\\itap2 x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\nestrow}\\itap1 "
                      "\\cell B1\\cell\\row")
        << "A1/x/y/,B1" << u"?"_qs;
    QTest::newRow("truncated in a row") << QByteArray("{\\rtf1\\ansi " + row + "A1\\cell B1\\cell\\row " + row +
                                                      "A2\\cell B")
                                        << "A1,B1;A2,B" << u"?"_qs;
}

void RtfReaderTest::tables()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, cells);
    QFETCH(QString, text);
    const auto document = readRtf(rtf);
    const QTextTable *table = firstTable(*document);
    QVERIFY(table);
    QCOMPARE(describeTable(*table), cells);
    // The paragraphs around the table, the table itself as "?".
    QString around;
    QTextFrame::iterator it = document->rootFrame()->begin();
    for (; !it.atEnd(); ++it)
        around += it.currentFrame() ? QStringLiteral("?") : it.currentBlock().text();
    QCOMPARE(around, text);
}

void RtfReaderTest::tableFormat()
{
    const auto document = readRtf(wordPadRtf("\\trowd\\trleft-108\\clbrdrt\\brdrs\\brdrw10 \\cellx1332\\cellx4212"
                                             "\\pard\\intbl A\\cell B\\cell\\row"
                                             "\\trowd\\trleft-108\\cellx100\\cellx200\\pard\\intbl C\\cell D\\cell\\row"
                                             "\\pard\\par"
                                             "\\trowd\\cellx1440\\pard\\intbl E\\cell\\row"));
    const QList<QTextFrame *> frames = document->rootFrame()->childFrames();
    QCOMPARE(frames.size(), 2);
    const auto *bordered = qobject_cast<QTextTable *>(frames.first());
    QCOMPARE(bordered->format().border(), 1.0);
    // The first row's cells give the columns: 1440 and 2880 twips.
    const QList<QTextLength> widths = bordered->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 2);
    QCOMPARE(widths[0].rawValue(), 96.0);
    QCOMPARE(widths[1].rawValue(), 192.0);
    const auto *plain = qobject_cast<QTextTable *>(frames.last());
    QCOMPARE(plain->format().border(), 0.0);
    QCOMPARE(describeTable(*plain), u"E"_qs);
}

void RtfReaderTest::pictures_data()
{
    const QByteArray png = encodedImage("png", 8, 6);
    const QByteArray jpeg = encodedImage("jpeg", 8, 6);
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("png at its goal size")
        << pictureGroup("\\pngblip\\picw8\\pich6\\picwgoal600\\pichgoal450", png) << png << QSizeF(40, 30);
    QTest::newRow("png at its natural size") << pictureGroup("\\pngblip", png) << png << QSizeF(8, 6);
    QTest::newRow("scaled") << pictureGroup("\\pngblip\\picwgoal600\\pichgoal450\\picscalex50\\picscaley200", png)
                            << png << QSizeF(20, 60);
    QTest::newRow("jpeg") << pictureGroup("\\jpegblip", jpeg) << jpeg << QSizeF(8, 6);
    QTest::newRow("binary data") << "{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}" << png
                                 << QSizeF(8, 6);
    QTest::newRow("Word's picture with its fallback")
        << "{\\*\\shppict" + pictureGroup("\\pngblip{\\*\\blipuid 0123456789abcdef}", png) + "}{\\nonshppict" +
               pictureGroup("\\wmetafile8", "not a metafile") + "}"
        << png << QSizeF(8, 6);
    QTest::newRow("metafile dropped") << pictureGroup("\\wmetafile8", png) << QByteArray() << QSizeF();
    QTest::newRow("damaged png dropped") << pictureGroup("\\pngblip", "no image here") << QByteArray() << QSizeF();
}

void RtfReaderTest::pictures()
{
    QFETCH(QByteArray, picture);
    QFETCH(QByteArray, bytes);
    QFETCH(QSizeF, size);
    const auto document = readRtf(wordPadRtf("prima " + picture + " dopo"));
    QCOMPARE(document->toPlainText().remove(QChar::ObjectReplacementCharacter), u"prima  dopo"_qs);
    const QStringList names = imageNames(*document);
    QCOMPARE(names.size(), bytes.isEmpty() ? 0 : 1);
    if (bytes.isEmpty())
        return;
    QCOMPARE(document->resource(QTextDocument::ImageResource, QUrl(names.first())).toByteArray(), bytes);
    QTextCursor cursor = document->find(QString(QChar::ObjectReplacementCharacter));
    const QTextImageFormat format = cursor.charFormat().toImageFormat();
    QCOMPARE(QSizeF(format.width(), format.height()), size);
}

void RtfReaderTest::fields_data()
{
    const QByteArray cliente = "{\\field{\\*\\fldinst { MERGEFIELD Cliente }}{\\fldrslt {[Cliente]}}}";
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("merge field") << "Gentile " + cliente + ", saluti"
                                 << QStringList{u"MERGEFIELD Cliente=[Cliente]"_qs};
    QTest::newRow("two adjacent fields with the same code")
        << cliente + cliente << QStringList{u"MERGEFIELD Cliente=[Cliente]"_qs, u"MERGEFIELD Cliente=[Cliente]"_qs};
    QTest::newRow("result in several formats")
        << QByteArray("{\\field{\\*\\fldinst MERGEFIELD Citta}{\\fldrslt [{\\b Cit}{\\i t\\'e0}]}} dopo")
        << QStringList{u"MERGEFIELD Citta=[Città]"_qs};
    QTest::newRow("plain inside the result")
        << QByteArray("{\\field{\\*\\fldinst DATE}{\\fldrslt \\plain\\f0 oggi}}") << QStringList{u"DATE=oggi"_qs};
    QTest::newRow("field in a table cell") << "\\trowd\\cellx1440\\pard\\intbl " + cliente + "\\cell\\row"
                                           << QStringList{u"MERGEFIELD Cliente=[Cliente]"_qs};
    QTest::newRow("field without result") << QByteArray("{\\field{\\*\\fldinst PAGE}{\\fldrslt }}x") << QStringList();
}

void RtfReaderTest::fields()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);
    const auto document = readRtf(wordPadRtf(body));
    const QString text = document->toPlainText();
    QStringList found;
    QSet<int> ids;
    for (const FieldSpan &span : findFields(*document)) {
        found << span.instruction + QLatin1Char('=') + text.mid(span.position, span.length);
        ids << span.id;
    }
    QCOMPARE(found, expected);
    QCOMPARE(ids.size(), expected.size());
}

void RtfReaderTest::hyperlinks_data()
{
    QTest::addColumn<QByteArray>("instruction");
    QTest::addColumn<QString>("href");
    QTest::newRow("address") << QByteArray("HYPERLINK \"http://www.example.com/a?b=1\"")
                             << "http://www.example.com/a?b=1";
    QTest::newRow("in nested groups") << QByteArray("{\\rtlch\\fcs1 \\af0  HYPERLINK \"mailto:a@b.it\" }")
                                      << "mailto:a@b.it";
    QTest::newRow("unquoted") << QByteArray("HYPERLINK http://x.it/") << "http://x.it/";
    QTest::newRow("bookmark") << QByteArray("HYPERLINK \\\\l \"capitolo\"") << "#capitolo";
    QTest::newRow("not a link") << QByteArray("MERGEFIELD Cliente") << QString();
}

void RtfReaderTest::hyperlinks()
{
    QFETCH(QByteArray, instruction);
    QFETCH(QString, href);
    const auto document =
        readRtf(wordPadRtf("{\\field{\\*\\fldinst " + instruction + "}{\\fldrslt {\\ul\\cf3 collegamento}}} dopo"));
    const QTextCharFormat link = formatOf(*document, QStringLiteral("collegamento"));
    QCOMPARE(link.anchorHref(), href);
    QCOMPARE(link.isAnchor(), !href.isEmpty());
    QVERIFY(!formatOf(*document, QStringLiteral("dopo")).isAnchor());
}

void RtfReaderTest::damagedInputKeepsWhatCanBeRead_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QByteArray garbage(4096, '\0');
    QRandomGenerator random(42);
    for (char &byte : garbage)
        byte = char(random.bounded(256));
    const QByteArray deep = QByteArray(100000, '{') + "profondo" + QByteArray(100000, '}');
    QTest::newRow("too many closing braces") << QByteArray("{\\rtf1 abc}}}}def") << u"abc"_qs;
    QTest::newRow("closing braces missing") << QByteArray("{\\rtf1 {\\b abc{\\i def") << u"abcdef"_qs;
    QTest::newRow("truncated in a control word") << QByteArray("{\\rtf1 abc\\ans") << u"abc"_qs;
    QTest::newRow("truncated in a hex escape") << QByteArray("{\\rtf1 abc\\'4") << u"abc"_qs;
    QTest::newRow("bad hex escape") << QByteArray("{\\rtf1 abc\\'zzdef}") << u"abczzdef"_qs;
    QTest::newRow("truncated binary data") << QByteArray("{\\rtf1 abc{\\pict\\pngblip\\bin100000 xx") << u"abc"_qs;
    QTest::newRow("truncated picture") << QByteArray("{\\rtf1 abc{\\pict\\pngblip 89504e47") << u"abc"_qs;
    QTest::newRow("truncated in a field") << QByteArray("{\\rtf1 abc{\\field{\\*\\fldinst MERGEFIELD") << u"abc"_qs;
    QTest::newRow("absurd parameters")
        << QByteArray("{\\rtf1\\fs99999999999999999 abc\\li-99999999999999\\u99999999999 \\uc-5\\f-2147483648 "
                      "def\\cf99999999999\\ansicpg-1 ghi\\par}")
        << u"abc"_qs;
    QTest::newRow("table words outside a table")
        << QByteArray("{\\rtf1 a\\cell b\\row c\\cellx100\\nestcell d}") << u"a"_qs;
    QTest::newRow("deep nesting") << "{\\rtf1 abc" + deep + "def}" << u"abcdef"_qs;
    QTest::newRow("binary garbage") << "{\\rtf1 abc\\par " + garbage << u"abc"_qs;
    QTest::newRow("only the header") << QByteArray("{\\rtf") << QString();
}

void RtfReaderTest::damagedInputKeepsWhatCanBeRead()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    const QString text = readRtf(rtf)->toPlainText().remove(QLatin1Char('\n'));
    QVERIFY2(text.startsWith(expected), qPrintable(text.left(80)));
}

// Tables and long lists are the costly parts for Qt; the reader must build
// them without doing work in proportion to their size for every row or item.
void RtfReaderTest::bigDocumentIsReadWhole()
{
    constexpr int paragraphs = 20000;
    constexpr int rows = 3000;
    constexpr int items = 5000;
    QByteArray body;
    for (int i = 0; i < paragraphs; ++i)
        body += "Paragrafo {\\b numero} \\'e8 " + QByteArray::number(i) + "\\par\r\n";
    body += "{\\*\\pn\\pnlvlblt}";
    for (int i = 0; i < items; ++i)
        body += "voce\\par\r\n";
    body += "\\pard ";
    for (int i = 0; i < rows; ++i)
        body += "\\trowd\\cellx1440\\cellx2880\\pard\\intbl riga\\cell " + QByteArray::number(i) + "\\cell\\row\r\n";
    body += "\\pard fine";
    const auto document = readRtf(wordPadRtf(body));
    const QTextTable *table = firstTable(*document);
    QVERIFY(table);
    QCOMPARE(table->rows(), rows);
    QCOMPARE(cellText(table->cellAt(rows - 1, 1)), QString::number(rows - 1));
    QCOMPARE(document->findBlockByNumber(paragraphs - 1).text(),
             QStringLiteral("Paragrafo numero è %1").arg(paragraphs - 1));
    QCOMPARE(document->lastBlock().text(), u"fine"_qs);
    int listItems = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        listItems += block.textList() ? 1 : 0;
    QCOMPARE(listItems, items);
}

void RtfReaderTest::looksLikeRtf_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("expected");
    QTest::newRow("RTF") << wordPadRtf("x") << true;
    QTest::newRow("leading blanks") << QByteArray(" \r\n\t{\\rtf1 x}") << true;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\\rtf1 x}") << true;
    QTest::newRow("HTML") << QByteArray("<html><body>{\\rtf1</body></html>") << false;
    QTest::newRow("plain text") << QByteArray("Gentile cliente") << false;
    QTest::newRow("a group that is not RTF") << QByteArray("{\\rt") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void RtfReaderTest::looksLikeRtf()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, expected);
    QCOMPARE(mrv::richtext::looksLikeRtf(data), expected);
}

void RtfReaderTest::plainTextInput_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lines") << QByteArray("riga uno\nriga due") << u"riga uno\nriga due"_qs;
    QTest::newRow("UTF-8") << QByteArray("perch\xC3\xA9") << u"perché"_qs;
    QTest::newRow("code page 1252") << QByteArray("perch\xE8 \x80") << u"perchè €"_qs;
    QTest::newRow("looks like markup") << QByteArray("a {\\b b}") << u"a {\\b b}"_qs;
}

void RtfReaderTest::plainTextInput()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(readRtf(data)->toPlainText(), expected);
}

// A plain QCoreApplication, as in the command line: the rich-text layer must
// work without a GUI.
QTEST_GUILESS_MAIN(RtfReaderTest)
#include "tst_rtfreader.moc"
