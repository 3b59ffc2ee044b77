#include "RichTextSamples.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QImage>
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
using mrv::testing::field;
using mrv::testing::numbered;
using mrv::testing::picture;
using mrv::testing::rtfRow;
using mrv::testing::wordList;
using mrv::testing::wordPadRow;
using mrv::testing::wordPadRtf;

namespace {

const QString kParagraph(QChar::ParagraphSeparator);

// The top level's paragraphs, a table as "[rows]": rows joined by ";", cells by ",", paragraphs by "/".
QString describeTopLevel(const QTextDocument &document)
{
    QString text;
    for (auto it = document.rootFrame()->begin(); !it.atEnd(); ++it) {
        const auto *table = qobject_cast<QTextTable *>(it.currentFrame());
        if (!table) {
            text += it.currentBlock().text();
            continue;
        }
        for (int i = 0; i < table->rows() * table->columns(); ++i) {
            const QTextTableCell cell = table->cellAt(i / table->columns(), i % table->columns());
            QTextCursor cursor = cell.firstCursorPosition();
            cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            text += (i == 0 ? "[" : i % table->columns() ? "," : ";") + cursor.selectedText().replace(kParagraph, "/");
        }
        text += ']';
    }
    return text;
}

QString describeFormat(const QTextCharFormat &format)
{
    const auto colour = [&format](QTextFormat::Property brush) {
        return format.hasProperty(brush) ? format.brushProperty(brush).color().name() : QString();
    };
    return QStringList{firstFontFamily(format),
                       QString::number(format.fontStyleHint()),
                       QString::number(format.fontPointSize()),
                       QString::number(format.fontWeight()),
                       QString::number(format.fontItalic()),
                       QString::number(format.fontUnderline()),
                       QString::number(format.fontStrikeOut()),
                       QString::number(format.verticalAlignment()),
                       colour(QTextFormat::ForegroundBrush),
                       colour(QTextFormat::BackgroundBrush),
                       format.anchorHref()}
        .join(',');
}

QString describeParagraph(const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    QString line = u"%1 | %2 %3 %4 %5 %6 %7"_qs.arg(block.text())
                       .arg(format.alignment())
                       .arg(format.leftMargin())
                       .arg(format.rightMargin())
                       .arg(format.textIndent())
                       .arg(format.topMargin())
                       .arg(format.bottomMargin());
    if (const QTextList *list = block.textList())
        line += u" list %1 %2 %3 #%4"_qs.arg(list->format().style())
                    .arg(list->format().indent())
                    .arg(list->format().boolProperty(ListContinuation))
                    .arg(listStart(list->format()) + list->itemNumber(block));
    return line;
}

// What a round trip must keep: paragraphs, list items and runs with their formats, tables, pictures, fields.
QStringList describe(const QTextDocument &document)
{
    QStringList lines{describeTopLevel(document)};
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        lines << describeParagraph(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QTextImageFormat image = format.toImageFormat();
            const QByteArray data = document.resource(QTextDocument::ImageResource, image.name()).toByteArray();
            lines << (format.isImageFormat()
                          ? u"  picture %1x%2 %3"_qs.arg(image.width()).arg(image.height()).arg(data.size())
                          : u"  %1 [%2]"_qs.arg(it.fragment().text(), describeFormat(format)));
        }
    }
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        const auto *table = qobject_cast<QTextTable *>(frame);
        lines << u"table %1x%2 border %3"_qs.arg(table->rows()).arg(table->columns()).arg(table->format().border());
        for (const QTextLength &width : table->format().columnWidthConstraints())
            lines << u"  width %1 %2"_qs.arg(width.type()).arg(width.rawValue());
    }
    const QString text = document.toPlainText();
    for (const FieldSpan &span : findFields(document))
        lines << span.instruction + '=' + text.mid(span.position, span.length);
    return lines;
}

} // namespace

class RtfReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        rtfRow("code page 1250", "{\\rtf1\\ansi\\ansicpg1250 \\'9a\\'e8}", u"šč"_qs);
        wordPadRow("font charset 238 in a 1252 document", "{\\f2 \\'9a\\'e8}\\'e8", u"ščè"_qs);
        rtfRow("double-byte code page", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}", u"あい"_qs);
        rtfRow("Mac code page", "{\\rtf1\\mac \\'8e\\'88}", u"éà"_qs);
        wordPadRow("raw bytes in the code page", "perch\xE8 \x80", u"perchè €"_qs);
        wordPadRow("raw UTF-8", "perch\xC3\xA9 \xE2\x82\xAC {\\b s\xC3\xAC}", u"perché € sì"_qs);
        wordPadRow("escapes stay in the code page", "\\'c3\\'a8", u"Ã¨"_qs);
        wordPadRow("unicode, fallback skipped", "\\u8364?10", u"€10"_qs);
        wordPadRow("fallback as hex escape", "\\u8364\\'80 10", u"€ 10"_qs);
        wordPadRow("two-character fallback", "\\uc2\\u8364EU, ok", u"€, ok"_qs);
        wordPadRow("fallback ends with the group", "{\\uc3\\u8364 }x", u"€x"_qs);
        wordPadRow("negative code unit", "\\u-3913?", QString(QChar(0xF0B7)));
        wordPadRow("surrogate pair", "\\u-10179?\\u-8704?", u"\U0001F600"_qs);
        wordPadRow("escaped characters", "a\\{b\\}c\\\\d", u"a{b}c\\d"_qs);
        wordPadRow("typographic", "\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet", u"—–‘’“”•"_qs);
        wordPadRow("special spaces and hyphens", "a\\~b\\-c\\_d", u"a\u00A0b\u00ADc\u2011d"_qs);
        wordPadRow("unknown ignorable destination", "a{\\*\\mrvx {hidden} text}b", u"ab"_qs);
        wordPadRow("known destination", "a{\\info{\\title Titolo}}b", u"ab"_qs);
        wordPadRow("unknown control word", "a\\mrvunknown123 b", u"ab"_qs);
        wordPadRow("hidden text", "a{\\v nascosto}b", u"ab"_qs);
        wordPadRow("line break and tab", "a\\line b\\tab c", u"a\u2028b\tc"_qs);
        wordPadRow("empty paragraphs kept, the last mark adds none", "a\\par\\par", "a" + kParagraph + kParagraph);
        wordPadRow("line breaks in the source", "a\r\nb\nc", u"abc"_qs);
        wordPadRow("backslash before a line break", "a\\\r\nb", "a" + kParagraph + "b");
        rtfRow("nothing after the document", "{\\rtf1 a}b{c}", u"a"_qs);
        wordPadRow("list numbers written for old readers",
                   "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'B7}}\\li720 uno", u"uno"_qs);
    }

    void text()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const auto document = readRtf(rtf);
        QCOMPARE(document->toRawText(), expected);
        // A list item's indent is its list's, not a margin of its own.
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            QVERIFY(!block.textList() || block.blockFormat().leftMargin() == 0.0);
    }

    void tables_data()
    {
        const QByteArray row = "\\trowd\\trgaph108\\trleft-108\\cellx1440\\cellx4320\\pard\\intbl ";
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        wordPadRow("rows of different lengths", row + "A1\\cell\\row " + row + "A2\\cell B2\\cell C2\\cell\\row",
                   "[A1,,;A2,B2,C2]");
        wordPadRow("paragraphs and formatting in a cell", row + "uno\\par {\\b due}\\cell\\i B1\\cell\\row",
                   "[uno/due,B1]");
        wordPadRow("empty cells", row + "\\cell\\cell\\row", "[,]");
        wordPadRow("nested table flattened",
                   row + "A1\\par\\itap2 x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\nestrow}"
                         "\\itap1 \\cell B1\\cell\\row",
                   "[A1/x/y/,B1]");
        QTest::newRow("truncated in a row") << "{\\rtf1\\ansi " + row + "A1\\cell B1\\cell\\row " + row + "A2\\cell B"
                                            << "[A1,B1;A2,B]";
    }

    void tables()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(describeTopLevel(*readRtf(rtf)), expected);
    }

    void fields_data()
    {
        const QByteArray cliente = "{\\field{\\*\\fldinst { MERGEFIELD Cliente }}{\\fldrslt {[Cliente]}}}";
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two adjacent fields with the same code")
            << "Gentile " + cliente + cliente
            << QStringList{"MERGEFIELD Cliente=[Cliente]", "MERGEFIELD Cliente=[Cliente]"};
        QTest::newRow("result in several formats")
            << QByteArray("{\\field{\\*\\fldinst MERGEFIELD Citta}{\\fldrslt [{\\b Cit}{\\i t\\'e0}]}} dopo")
            << QStringList{u"MERGEFIELD Citta=[Città]"_qs};
        QTest::newRow("plain inside the result")
            << QByteArray("{\\field{\\*\\fldinst DATE}{\\fldrslt \\plain\\f0 oggi}}") << QStringList{"DATE=oggi"};
        QTest::newRow("field in a table cell") << "\\trowd\\cellx1440\\pard\\intbl " + cliente + "\\cell\\row"
                                               << QStringList{"MERGEFIELD Cliente=[Cliente]"};
        QTest::newRow("field without result")
            << QByteArray("{\\field{\\*\\fldinst PAGE}{\\fldrslt }}x") << QStringList();
    }

    void fields()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        const auto document = readRtf(wordPadRtf(body));
        QStringList found;
        QSet<int> ids;
        for (const FieldSpan &span : findFields(*document)) {
            found << span.instruction + '=' + document->toPlainText().mid(span.position, span.length);
            ids << span.id;
        }
        QCOMPARE(found, expected);
        QCOMPARE(ids.size(), expected.size());
    }

    // Read, written and read again, a document is what it was; written again, the RTF is the same.
    void roundTrip_data()
    {
        const QByteArray png = encodedImage("png", 8, 6), jpeg = encodedImage("jpeg", 5, 4);
        const QByteArray cell = "\\trowd\\cellx1440\\cellx4320\\pard\\intbl ";
        const QByteArray hostile = "\\{a\\} \\\\ \\\\par b\\line c\\tab d \\u915?\\u961?\\u940? \\u20013?\\u-25896? "
                                   "\\u-10179?\\u-8704? \\'e8\\'80\\'81 \\~\\-\\_\\'01";
        QByteArray longList;
        for (int i = 0; i < 150; ++i)
            longList += "voce\\par ";
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("character formats")
            << wordPadRtf("{\\b b}{\\i i}{\\ul u}{\\strike s}m\\super 2\\nosupersub{\\sub x}{\\f3 times}{\\f2 ce}"
                          "{\\fs33 big}{\\cf1\\highlight2 rosso}{\\cf3 blu}\\f1 symbol");
        QTest::newRow("paragraph formats") << wordPadRtf("\\qc c\\par\\qr\\li720\\ri360\\fi-360\\sb120\\sa240 "
                                                         "r\\par\\pard\\qj j\\par\\par\\pard\\li-300 x");
        QTest::newRow("hostile text") << wordPadRtf(hostile + "\\par " + hostile);
        QTest::newRow("fields") << wordPadRtf(
            "Gentile " + field("MERGEFIELD Cliente", "[Cliente]") + field("MERGEFIELD Cliente", "[Cliente]") +
            field("MERGEFIELD \\\\* MERGEFORMAT", "[{\\b Cit}{\\i t\\'e0}]") + field("MERGEFIELD Testo", hostile) +
            field("HYPERLINK \"http://x.it/?a=\\{1\\}\"", "\\ul sito") +
            field("MERGEFIELD Paragrafi", "uno\\par\\qc due") + " fine");
        QTest::newRow("old lists") << wordPadRtf("\\{\\par " + numbered("\\pnucrm\\pnstart4", "a\\par b\\par") +
                                                 "\\pard{\\*\\pn\\pnlvlblt}c\\par\\pard{\\*\\pn\\pnlvl2\\pnlcltr}d");
        QTest::newRow("word lists") << wordList(
            "\\ls1\\ilvl0 uno\\par\\ls1\\ilvl1 sotto\\par\\ls1\\ilvl0 due\\par\\ls2 "
            "punto\\par\\ls3 quarto\\par\\pard\\ls1 uno\\par");
        QTest::newRow("long list") << wordPadRtf(numbered("\\pndec\\pnstart0", longList) + "\\pard x\\par " +
                                                 numbered("\\pndec", longList));
        QTest::newRow("tables") << wordPadRtf(
            "\\trowd\\clbrdrt\\brdrs\\cellx1440\\cellx4320\\pard\\intbl{\\b uno}\\par\\qc due\\cell " +
            field("MERGEFIELD Cella", "[Cella]") + "\\cell\\row" + cell + "\\cell " + numbered("\\pndec", "a\\par b") +
            "\\cell\\row" + cell + "x\\cell\\row\\pard\\par " + cell + "1\\cell 2\\cell\\row\\pard tra\\par" + cell +
            "A\\cell\\row " + cell + "B\\cell C\\cell\\row");
        QTest::newRow("pictures") << wordPadRtf(
            "a" + picture("\\pngblip\\picwgoal600\\pichgoal450", png) + picture("\\jpegblip", jpeg) + "\\par " + cell +
            picture("\\pngblip\\picscalex50", png) + "\\cell " +
            field("MERGEFIELD Logo", "x" + picture("\\pngblip", png)) + "\\cell\\row");
        QTest::newRow("empty") << QByteArray("{\\rtf1\\ansi}");
        QTest::newRow("raw tab in a font name") << QByteArray("{\\rtf1 {\\fonttbl\\f\xeb\ti}X}");
        QTest::newRow("font name beyond the code page")
            << QByteArray("{\\rtf1\\pc{\\fonttbl\\f0\\fcharset0 Ar\xfb;}{\\f0 x}}");
    }

    void roundTrip()
    {
        QFETCH(QByteArray, rtf);
        const auto document = readRtf(rtf);
        const QByteArray written = writeRtf(*document);
        const auto again = readRtf(written);
        QCOMPARE(describe(*again), describe(*document));
        QCOMPARE(writeRtf(*again), written);
    }

    // As the editor leaves a document: no font set, a pasted image, links, a table Qt made, one long list.
    void editedDocumentKeepsItsContent()
    {
        QTextDocument document;
        QImage pasted(5, 4, QImage::Format_ARGB32);
        pasted.fill(Qt::blue);
        document.addResource(QTextDocument::ImageResource, QUrl(u"incollata"_qs), pasted);
        QTextCursor cursor(&document);
        cursor.insertText(u"logo "_qs);
        cursor.insertImage(u"incollata"_qs);
        QTextCharFormat link;
        link.setAnchor(true);
        for (const QString &target : {u"http://x.it/a b"_qs, u"#capitolo"_qs}) {
            link.setAnchorHref(target);
            cursor.insertText(u"sito"_qs, link);
        }
        cursor.insertTable(2, 2)->cellAt(1, 1).firstCursorPosition().insertText(u"B2"_qs);
        cursor.movePosition(QTextCursor::End);
        cursor.createList(QTextListFormat::ListUpperAlpha);
        for (int i = 0; i < 99; ++i)
            cursor.insertText(u"voce\n"_qs);
        const auto again = readRtf(writeRtf(document));
        QCOMPARE(describeTopLevel(*again), describeTopLevel(document));
        const QTextList *list = again->lastBlock().textList();
        QCOMPARE(list->format().style(), QTextListFormat::ListUpperAlpha);
        QCOMPARE(listStart(list->format()) + list->itemNumber(again->lastBlock()), 100);
        auto fragment = again->begin().begin();
        const QTextImageFormat image = (++fragment).fragment().charFormat().toImageFormat();
        QCOMPARE(QSizeF(image.width(), image.height()), QSizeF(5, 4));
        QCOMPARE((++fragment).fragment().charFormat().anchorHref(), u"http://x.it/a b"_qs);
        QCOMPARE((++fragment).fragment().charFormat().anchorHref(), u"#capitolo"_qs);
        const QImage read = QImage::fromData(again->resource(QTextDocument::ImageResource, image.name()).toByteArray());
        QCOMPARE(read.pixelColor(4, 3), QColor(Qt::blue));
    }

    void damagedInputKeepsWhatCanBeRead_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        QByteArray garbage(4096, '\0');
        QRandomGenerator random(42);
        for (char &byte : garbage)
            byte = char(random.bounded(256));
        rtfRow("closing braces missing", "{\\rtf1 {\\b abc{\\i def", u"abcdef"_qs);
        rtfRow("truncated in a control word", "{\\rtf1 abc\\ans", u"abc"_qs);
        rtfRow("truncated in a hex escape", "{\\rtf1 abc\\'4", u"abc"_qs);
        rtfRow("bad hex escape", "{\\rtf1 abc\\'zzdef}", u"abczzdef"_qs);
        rtfRow("truncated binary data", "{\\rtf1 abc{\\pict\\pngblip\\bin100000 xx", u"abc"_qs);
        rtfRow("truncated in a field", "{\\rtf1 abc{\\field{\\*\\fldinst MERGEFIELD", u"abc"_qs);
        rtfRow("absurd parameters",
               "{\\rtf1\\fs99999999999999999 abc\\li-99999999999999\\u99999999999 "
               "\\uc-5\\f-2147483648 def\\cf99999999999\\ansicpg-1 ghi\\par}",
               u"abc"_qs);
        rtfRow("table words outside a table", "{\\rtf1 a\\cell b\\row c\\cellx100\\nestcell d}", u"a"_qs);
        QTest::newRow("deep nesting") << "{\\rtf1 abc" + QByteArray(100000, '{') + "x" + QByteArray(100000, '}') +
                                             "def}"
                                      << u"abcdef"_qs;
        QTest::newRow("binary garbage") << "{\\rtf1 abc\\par " + garbage << u"abc"_qs;
        rtfRow("only the header", "{\\rtf", QString());
    }

    void damagedInputKeepsWhatCanBeRead()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        const QString text = readRtf(rtf)->toPlainText().remove('\n');
        QVERIFY2(text.startsWith(expected), qPrintable(text.left(80)));
    }

    // What does not start as RTF (after blanks or a byte-order mark) is text.
    void onlyRtfIsReadAsRtf_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("rtf");
        QTest::newRow("leading blanks") << QByteArray(" \r\n\t{\\rtf1 x}") << u"x"_qs << true;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\\rtf1 x}") << u"x"_qs << true;
        QTest::newRow("HTML") << QByteArray("<p>{\\rtf1</p>") << u"<p>{\\rtf1</p>"_qs << false;
        QTest::newRow("a group that is not RTF") << QByteArray("{\\rt") << u"{\\rt"_qs << false;
        QTest::newRow("UTF-8") << QByteArray("perch\xC3\xA9") << u"perché"_qs << false;
        QTest::newRow("code page 1252") << QByteArray("perch\xE8 \x80") << u"perchè €"_qs << false;
        QTest::newRow("empty") << QByteArray() << QString() << false;
    }

    void onlyRtfIsReadAsRtf()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QFETCH(bool, rtf);
        QCOMPARE(readRtf(data)->toPlainText(), expected);
        QCOMPARE(looksLikeRtf(data), rtf);
    }
};

// A plain QCoreApplication, as in the command line: the rich-text layer must
// work without a GUI.
QTEST_GUILESS_MAIN(RtfReaderTest)
#include "tst_rtfreader.moc"
