#include "RichTextSamples.h"
#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RtfReader.h"

#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

const QByteArray kBullets =
    "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 "
    "uno\\par {\\pntext\\f1\\'B7\\tab}due\\par\\pard ";
const QByteArray kTable = "\\trowd\\trleft-108\\clbrdrt\\brdrs\\brdrw10 \\cellx1332\\cellx4212\\pard\\intbl A1\\cell "
                          "B1\\cell\\row\\trowd\\trleft-108\\cellx1332\\cellx4212\\pard\\intbl A2\\cell B2\\cell\\row";

QString rtfToHtml(const QByteArray &rtf, QList<InlineImage> *images = nullptr)
{
    return toHtml(*readRtf(rtf), images);
}

} // namespace

class HtmlWriterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void markup_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("fragment");
        wordPadRow("bold ends with its group", "{\\b grassetto} normale", "<b>grassetto</b> normale");
        wordPadRow("plain resets", "\\b\\i a\\plain  normale", "<b><i>a</i></b></span> normale");
        wordPadRow("underline none", "\\ul sotto\\ulnone  no", "<u>sotto</u> no");
        wordPadRow("double underline", "\\uldb doppio", "<u>doppio</u>");
        wordPadRow("font name after a nested group", "testo di base \\f2 ce",
                   "<span style=\"font-family:'Arial CE',sans-serif\">ce</span>");
        wordPadRow("half points", "testo di base \\fs21 x", "<span style=\"font-size:10.5pt\">x</span>");
        wordPadRow("colour outside the table", "\\cf9 nove", "<p style=\"margin:0\">nove</p>");
        wordPadRow("justified", "\\qj pieno", "<p style=\"margin:0;text-align:justify\">pieno</p>");
        wordPadRow("formatting given at the paragraph's end", "fine\\qc",
                   "<p style=\"margin:0;text-align:center\">fine</p>");
        wordPadRow("paragraph defaults reset", "\\qc\\li720 a\\par\\pard b", "<p style=\"margin:0\">b</p>");
        wordPadRow("properties carry on to the next paragraph", "\\qr a\\par b",
                   "<p style=\"margin:0;text-align:right\">b</p>");
        wordPadRow("strike", "\\strike barrato", "<s>barrato</s>");
        wordPadRow("superscript", "m\\super 2\\nosupersub  x", "m<sup>2</sup> x");
        wordPadRow("combined", "\\b\\i entrambi\\i0  solo", "<b><i>entrambi</i></b><b> solo</b>");
        wordPadRow("accents kept as characters", "Citt\\'e0 \\u8364?", u"Città €"_qs);
        wordPadRow("markup characters escaped", "a < b & c > d", "a &lt; b &amp; c &gt; d");
        wordPadRow("non-breaking space", "a\\~b", "a&nbsp;b");
        wordPadRow("runs of spaces", "a   b", "a &nbsp;&nbsp;b");
        wordPadRow("leading space", " a", "<p style=\"margin:0\">&nbsp;a</p>");
        wordPadRow("line break", "a\\line b", "a<br>b");
        wordPadRow("line break ending a paragraph", "a\\line", "a<br><br></p>");
        wordPadRow("empty paragraph", "a\\par\\par b", "<p style=\"margin:0\"><br></p>");
        wordPadRow("tab", "a\\tab b", "a&nbsp;&nbsp;&nbsp;&nbsp;b");
        wordPadRow("indents", "\\li720\\fi-360 x", "<p style=\"margin:0 0 0 48px;text-indent:-24px\">x</p>");
        wordPadRow("spacing", "\\sb120\\sa240 x", "<p style=\"margin:8px 0 16px 0\">x</p>");
        wordPadRow("colour", "\\cf1 rosso\\cf0  nero", "<span style=\"color:#ff0000\">rosso</span> nero");
        wordPadRow("highlight", "\\highlight2 verde", "<span style=\"background-color:#008000\">verde</span>");
        wordPadRow("another font", "\\f3 times\\f0  arial",
                   "<span style=\"font-family:'Times New Roman',serif\">times</span> arial");
        rtfRow("font name cannot break out",
               "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Ev\\'27il\\'22>\\{x;}}\\f0 testo di base\\f1 z}",
               "<span style=\"font-family:'Evilx'\">z</span>");
        wordPadRow("bullets", kBullets + "dopo",
                   "<ul>\n<li>uno</li>\n<li>due</li>\n</ul>\n<p style=\"margin:0\">dopo</p>");
        wordPadRow("numbers", numbered("\\pndec", "primo\\par secondo"),
                   "<ol>\n<li>primo</li>\n<li>secondo</li>\n</ol>");
        wordPadRow("numbers from four in roman", numbered("\\pnucrm\\pnstart4", "quarto"),
                   "<ol start=\"4\" style=\"list-style-type:upper-roman\">");
        QTest::newRow("nested list")
            << wordList("\\ls1\\ilvl0 uno\\par\\ls1\\ilvl1 sotto\\par\\ls1\\ilvl0 due\\par")
            << "<ol>\n<li>uno<ol "
               "style=\"list-style-type:lower-alpha\">\n<li>sotto</li>\n</ol>\n</li>\n<li>due</li>\n</ol>";
        wordPadRow("hyperlink", field("HYPERLINK \"http://example.com/?a=1&b=2\"", "\\ul\\cf3 sito"),
                   "<a href=\"http://example.com/?a=1&amp;b=2\"><span style=\"color:#0000ff\"><u>sito</u></span></a>");
        wordPadRow("link in nested groups",
                   field("{\\rtlch\\fcs1 \\af0  HYPERLINK \"mailto:a@b.it\" }", "posta") + " dopo",
                   "<a href=\"mailto:a@b.it\">posta</a> dopo");
        wordPadRow("unquoted link", field("HYPERLINK http://x.it/", "x"), "<a href=\"http://x.it/\">x</a>");
        wordPadRow("bookmark", field("HYPERLINK \\\\l \"capitolo\"", "su"), "<a href=\"#capitolo\">su</a>");
        wordPadRow("merge field shows its result", "Gentile " + field("MERGEFIELD Cliente", "[Cliente]"),
                   "Gentile [Cliente]");
        wordPadRow("table", "prima\\par " + kTable + "\\pard dopo",
                   "<p style=\"margin:0\">prima</p>\n"
                   "<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" style=\"border-collapse:collapse\">\n"
                   "<tr><td valign=\"top\" width=\"96\"><p style=\"margin:0\">A1</p>\n</td>"
                   "<td valign=\"top\" width=\"192\"><p style=\"margin:0\">B1</p>\n</td></tr>\n"
                   "<tr><td valign=\"top\"><p style=\"margin:0\">A2</p>\n</td>"
                   "<td valign=\"top\"><p style=\"margin:0\">B2</p>\n</td></tr>\n</table>\n"
                   "<p style=\"margin:0\">dopo</p>");
        wordPadRow("table without borders", "\\trowd\\cellx1440\\pard\\intbl E\\cell\\row",
                   "<table cellspacing=\"0\" cellpadding=\"2\">");
        wordPadRow("no empty paragraphs around a table", kTable,
                   "<div style=\"font-family:'Arial',sans-serif;font-size:10pt\">\n<table");
        wordPadRow("nothing after the last table", kTable, "</table>\n</div>");
        rtfRow("empty document", "{\\rtf1\\ansi}",
               "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head><body>\n"
               "<div>\n</div>\n</body></html>");
    }

    void markup()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, fragment);
        const QString html = rtfToHtml(rtf);
        QVERIFY2(html.contains(fragment), qPrintable(html));
        // Nothing mail clients choke on, nothing that gives away Qt's own HTML export.
        for (const char *foreign :
             {"-qt-", "<!DOCTYPE", "qrichtext", "<style", "class=", "font-weight:", "margin-top:"})
            QVERIFY2(!html.contains(QLatin1String(foreign)), foreign);
    }

    void bodyFont_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("bodyStyle");
        QTest::addColumn<QString>("span");
        QTest::newRow("the document's font")
            << QByteArray("molto testo \\fs28 poco") << "font-family:'Arial',sans-serif;font-size:10pt"
            << "<span style=\"font-size:14pt\">poco</span>";
        QTest::newRow("most of the text decides")
            << QByteArray("\\f3 molto testo in Times \\f0 poco") << "font-family:'Times New Roman',serif;font-size:10pt"
            << "<span style=\"font-family:'Arial',sans-serif\">poco</span>";
        QTest::newRow("table text counts")
            << QByteArray("x\\par\\trowd\\cellx1440\\pard\\intbl\\fs28 molto testo\\cell\\row")
            << "font-family:'Arial',sans-serif;font-size:14pt"
            << "<p style=\"margin:0\"><span style=\"font-size:10pt\">x</span></p>";
    }

    void bodyFont()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, bodyStyle);
        QFETCH(QString, span);
        const QString html = rtfToHtml(wordPadRtf(body));
        QVERIFY2(html.contains(u"<div style=\"%1\">"_qs.arg(bodyStyle)), qPrintable(html));
        QVERIFY2(html.contains(span), qPrintable(html));
    }

    // Pictures travel as inline images at their shown size; the ones mail
    // clients cannot show, or that cannot be read, are left out.
    void images_data()
    {
        const QByteArray png = encodedImage("png", 8, 6);
        const QByteArray jpeg = encodedImage("jpeg", 8, 6);
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("size");
        const auto row = [](const char *name, const QByteArray &picture, const QByteArray &content,
                            const char *contentType = "", const char *size = "width=\"8\" height=\"6\"") {
            QTest::newRow(name) << picture << content << QString(contentType) << QString(content.isEmpty() ? "" : size);
        };
        row("png at its goal size", picture("\\pngblip\\picwgoal600\\pichgoal450", png), png, "image/png",
            "width=\"40\" height=\"30\"");
        row("scaled", picture("\\pngblip\\picwgoal600\\pichgoal450\\picscalex50\\picscaley200", png), png, "image/png",
            "width=\"20\" height=\"60\"");
        row("jpeg at its natural size", picture("\\jpegblip", jpeg), jpeg, "image/jpeg");
        row("binary data", "{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}", png,
            "image/png");
        row("Word's picture with its fallback",
            "{\\*\\shppict" + picture("\\pngblip{\\*\\blipuid 0123456789abcdef}", png) + "}{\\nonshppict" +
                picture("\\wmetafile8", "not a metafile") + "}",
            png, "image/png");
        row("metafile dropped", picture("\\wmetafile8", png), QByteArray());
        row("damaged png dropped", picture("\\pngblip", "no image here"), QByteArray());
    }

    void images()
    {
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, content);
        QFETCH(QString, contentType);
        QFETCH(QString, size);
        const QByteArray rtf = wordPadRtf("logo: " + picture + " fine");
        QList<InlineImage> images;
        const QString html = rtfToHtml(rtf, &images);
        QCOMPARE(images.size(), content.isEmpty() ? 0 : 1);
        const InlineImage image = images.value(0);
        QCOMPARE(image.content, content);
        QCOMPARE(image.contentType, contentType);
        QVERIFY(content.isEmpty() || image.contentId.startsWith(image.fileName.section('.', 0, 0) + '.'));
        QVERIFY(image.fileName.endsWith(contentType.section('/', 1).replace("jpeg", "jpg")));
        const QString shown =
            content.isEmpty() ? "&nbsp;" : u"<img src=\"cid:%1\" %2 alt=\"\"> "_qs.arg(image.contentId, size);
        QVERIFY2(html.contains("logo: " + shown + "fine"), qPrintable(html));
        // Without a collector the picture is left out.
        QVERIFY(rtfToHtml(rtf).contains(u"logo: &nbsp;fine"_qs));
    }

    // The editor inserts pictures as QImage resources, not as encoded bytes.
    void editorImagesTravelAsPng()
    {
        QTextDocument document;
        QImage pasted(5, 4, QImage::Format_ARGB32);
        pasted.fill(Qt::blue);
        document.addResource(QTextDocument::ImageResource, QUrl(u"incollata"_qs), pasted);
        QTextCursor(&document).insertImage(u"incollata"_qs);
        QList<InlineImage> images;
        const QString html = toHtml(document, &images);
        QCOMPARE(images.size(), 1);
        QCOMPARE(images.first().contentType, u"image/png"_qs);
        const QImage sent = QImage::fromData(images.first().content, "png");
        QCOMPARE(sent.size(), pasted.size());
        QCOMPARE(sent.pixelColor(0, 0), QColor(Qt::blue));
        QVERIFY(html.contains(u"src=\"cid:%1\""_qs.arg(images.first().contentId)));
    }

    void plainText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        wordPadRow("paragraphs and line breaks", "uno\\par due\\line tre", "uno\ndue\ntre");
        wordPadRow("bullets", kBullets + "dopo", "- uno\n- due\ndopo");
        wordPadRow("numbers", numbered("\\pndec", "a\\par b"), "1. a\n2. b");
        wordPadRow("letters", numbered("\\pnlcltr\\pnstart26", "z\\par aa"), "z. z\naa. aa");
        wordPadRow("roman numbers", numbered("\\pnucrm\\pnstart4", "a\\par b"), "IV. a\nV. b");
        wordPadRow("non-breaking space, picture left out",
                   "a\\~b" + picture("\\pngblip", encodedImage("png", 2, 2)) + "c", "a bc");
        wordPadRow("a paragraph in between starts a new list",
                   numbered("\\pndec", "a\\par\\pard b\\par ") + numbered("\\pndec", "c"), "1. a\nb\n1. c");
        wordPadRow("numbering level and start", "{\\*\\pn\\pnlvl2\\pnlcltr\\pnstart3{\\pntxta)}}x", "c. x");
        rtfRow("Word list tables",
               wordList("{\\listtext 1.\\tab}\\ls1\\ilvl0 uno\\par\\ls1\\ilvl1 sotto\\par\\ls1\\ilvl0 "
                        "due\\par\\pard\\ls2 punto\\par"
                        "\\pard\\ls3 quarto\\par\\pard\\ls9 ignoto\\par"),
               "1. uno\na. sotto\n2. due\n- punto\nIV. quarto\n- ignoto");
        wordPadRow("table cells one per line", kTable, "A1\nB1\nA2\nB2");
    }

    void plainText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QCOMPARE(toPlainText(*readRtf(rtf)), expected);
    }

    // Tables and long lists are the costly parts for Qt; the reader builds them in
    // parts, which must leave every paragraph, row and item in its place, and
    // readers of the HTML and of the text must not see the seams.
    void bigDocumentIsReadWhole()
    {
        constexpr int paragraphs = 20000, items = 5000, rows = 3000;
        QByteArray body, list;
        for (int i = 0; i < paragraphs; ++i)
            body += "Paragrafo {\\b numero} \\'e8 " + QByteArray::number(i) + "\\par\r\n";
        for (int i = 1; i <= items; ++i)
            list += "voce " + QByteArray::number(i) + "\\par ";
        body += numbered("\\pndec", list) + "\\pard ";
        for (int i = 0; i < rows; ++i)
            body += "\\trowd\\cellx1440\\cellx2880\\pard\\intbl riga\\cell " + QByteArray::number(i) + "\\cell\\row ";
        const auto document = readRtf(wordPadRtf(body + "\\pard fine"));
        const QString html = toHtml(*document);
        QCOMPARE(html.count(u"<ol"_qs) + html.count(u"<table"_qs), 2);
        QCOMPARE(html.count(u"<li>"_qs), items);
        const QStringList lines = toPlainText(*document).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), paragraphs + items + 2 * rows + 1);
        QCOMPARE(lines.at(paragraphs - 1), u"Paragrafo numero è %1"_qs.arg(paragraphs - 1));
        for (int i = 1; i <= items; ++i)
            QCOMPARE(lines.at(paragraphs + i - 1), u"%1. voce %1"_qs.arg(i));
        QCOMPARE(lines.mid(lines.size() - 3), (QStringList{u"riga"_qs, QString::number(rows - 1), u"fine"_qs}));
    }
};

// A plain QCoreApplication, as in the command line: the rich-text layer must
// work without a GUI.
QTEST_GUILESS_MAIN(HtmlWriterTest)
#include "tst_htmlwriter.moc"
