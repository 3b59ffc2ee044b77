#include "DemoSuite.h"
#include "platform/richtext/RichTextModel.h"
#include "platform/widgets/HtmlView.h"
#include "platform/widgets/PdfViewer.h"
#include "platform/widgets/Printing.h"
#include "platform/widgets/RecordGrid.h"
#include "platform/widgets/RichTextEditor.h"
#include "services/SuiteSession.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QPdfDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace mrv;
using namespace Qt::StringLiterals;

// The shared widgets where a fault would go unseen: remote content in
// e-mails, fields cut in half, layouts lost, pages missing.
class WidgetsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;

    // "Gentile [Cliente], grazie" with the field on "[Cliente]" (8 to 17).
    static void writeLetter(QTextDocument &document)
    {
        QTextCursor cursor(&document);
        cursor.insertText(u"Gentile "_s);
        QTextCharFormat field;
        field.setProperty(richtext::FieldInstruction, u"MERGEFIELD Cliente"_s);
        field.setProperty(richtext::FieldId, 1);
        cursor.insertText(u"[Cliente]"_s, field);
        cursor.insertText(u", grazie"_s, QTextCharFormat());
    }

    static QString fieldsOf(const QTextDocument &document)
    {
        QStringList fields;
        QSet<int> ids;
        for (const richtext::FieldSpan &span : richtext::findFields(document)) {
            fields << u"%1@%2+%3"_s.arg(span.instruction).arg(span.position).arg(span.length);
            ids.insert(span.id);
        }
        return ids.size() == fields.size() ? fields.join(u' ') : u"ids shared"_s;
    }

private Q_SLOTS:
    void initTestCase() { m_suite = std::make_unique<testing::DemoSuite>(); }

    void htmlLoadsNothingFromOutside_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("http picture") << "http://example.com/pixel.gif" << false;
        QTest::newRow("https picture") << "https://example.com/logo.png" << false;
        QTest::newRow("data URL") << "data:image/png;base64,UE5H" << true;
        QTest::newRow("relative, in the folder") << "logo.png" << true;
        QTest::newRow("file URL, in the folder") << "file://%1/logo.png" << true;
        QTest::newRow("out of the folder") << "../secret.png" << false;
        QTest::newRow("link out of the folder") << "link.png" << false;
        QTest::newRow("system file") << "file:///etc/passwd" << false;
    }

    void htmlLoadsNothingFromOutside()
    {
        QFETCH(QString, url);
        QFETCH(bool, loaded);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkdir(u"mail"_s));
        const QString folder = root.filePath(u"mail"_s);
        for (const QString &name : {folder + u"/logo.png"_s, root.filePath(u"secret.png"_s)}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("PNG") == 3);
        }
        QVERIFY(QFile::link(root.filePath(u"secret.png"_s), folder + u"/link.png"_s));
        widgets::HtmlView view;
        view.showHtml(u"<p>x</p>"_s, folder);
        const QVariant contents =
            view.loadResource(QTextDocument::ImageResource, QUrl(QString(url).replace(u"%1"_s, folder)));
        QCOMPARE(contents.toByteArray(), loaded ? QByteArray("PNG") : QByteArray());
    }

    void fieldsStayWhole_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("keys"); // typed: "<" Backspace, ">" Delete, "^" copy all and paste at the end
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fields");
        const QString letter = u"Gentile [Cliente], grazie"_s;
        const QString field = u"MERGEFIELD Cliente@8+9"_s;
        QTest::newRow("typing inside lands after") << 12 << "X" << u"Gentile [Cliente]X, grazie"_s << field;
        QTest::newRow("typing right after stays out") << 17 << "X" << u"Gentile [Cliente]X, grazie"_s << field;
        QTest::newRow("typing right before stays out")
            << 8 << "X" << u"Gentile X[Cliente], grazie"_s << u"MERGEFIELD Cliente@9+9"_s;
        QTest::newRow("backspace takes it all") << 17 << "<" << u"Gentile , grazie"_s << "";
        QTest::newRow("delete takes it all") << 8 << ">" << u"Gentile , grazie"_s << "";
        QTest::newRow("pasted copy is a field of its own")
            << 0 << "^" << letter + letter << field + u" MERGEFIELD Cliente@33+9"_s;
    }

    void fieldsStayWhole()
    {
        QFETCH(int, position);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QString, fields);
        QTextDocument document;
        writeLetter(document);
        widgets::RichTextEditor editor;
        editor.setDocument(&document);
        QTextEdit *edit = editor.textEdit();
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
        for (const QChar key : keys) {
            if (key == u'<')
                QTest::keyClick(edit, Qt::Key_Backspace);
            else if (key == u'>')
                QTest::keyClick(edit, Qt::Key_Delete);
            else if (key == u'^') {
                edit->selectAll();
                edit->copy();
                edit->moveCursor(QTextCursor::End);
                edit->paste();
            } else
                QTest::keyClicks(edit, key);
        }
        QCOMPARE(document.toPlainText(), text);
        QCOMPARE(fieldsOf(document), fields);
    }

    // Order, widths and hidden columns come back for the same columns; a
    // layout saved for other columns is not forced on them.
    void gridLayoutComesBack()
    {
        auto config = m_suite->session().config();
        const QList<widgets::GridColumn> columns{{u"A"_s, u"Uno"_s, {}, 0, false, {}},
                                                 {u"B"_s, u"Due"_s, {}, 0, false, {}},
                                                 {u"C"_s, u"Tre"_s, {}, 0, false, {}}};
        {
            widgets::RecordGrid grid;
            grid.setColumns(columns);
            grid.setLayoutName(config, u"PROVA"_s);
            grid.horizontalHeader()->moveSection(2, 0);
            grid.horizontalHeader()->resizeSection(0, 123);
            grid.setColumnHidden(1, true);
            grid.sortByColumn(0, Qt::DescendingOrder);
        }
        widgets::RecordGrid again;
        again.setColumns(columns);
        again.setLayoutName(config, u"PROVA"_s);
        QHeaderView *header = again.horizontalHeader();
        QCOMPARE((QList<int>{header->visualIndex(0), header->visualIndex(2), header->sectionSize(0)}),
                 (QList<int>{1, 0, 123}));
        QVERIFY(again.isColumnHidden(1));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

        widgets::RecordGrid other;
        other.setColumns(columns.mid(0, 2));
        other.setLayoutName(config, u"PROVA"_s);
        QVERIFY(!other.isColumnHidden(1));
        QCOMPARE(other.horizontalHeader()->visualIndex(0), 0);
    }

    // The printed file is then shown in the viewer of our own.
    void printsEveryPageToPdf()
    {
        QTemporaryDir folder;
        QTextDocument document;
        document.setPlainText(u"Riga di prova\n"_s.repeated(300));
        const QString path = folder.filePath(u"stampa.pdf"_s);
        QVERIFY(widgets::printDocument(document, nullptr, path));
        QPdfDocument pdf;
        QCOMPARE(pdf.load(path), QPdfDocument::Error::None);
        QVERIFY(pdf.pageCount() > 3);

        QWidget owner;
        QVERIFY(widgets::openFile(path, &owner));
        auto *viewer = owner.findChild<widgets::PdfViewer *>();
        QVERIFY(viewer && viewer->isWindow());
        QCOMPARE(viewer->pageCount(), pdf.pageCount());
    }
};

QTEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
