#include "DemoSuite.h"
#include "db/SuiteConnection.h"
#include "facade/WindowRegistry.h"
#include "facade/mrvMessage.h"
#include "messages/HistoryController.h"
#include "messages/ui/HistoryWindow.h"
#include "platform/widgets/RecordGrid.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace mrv;
using namespace Qt::StringLiterals;

// The history of a record on the demo suite, seen by ROSSI: what is
// listed, under the view or the table, and what may be opened.
class HistoryTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;

    suite::SuiteSession &session() { return m_suite->session(); }
    std::shared_ptr<suite::ScriptedInteraction> interaction()
    {
        return std::dynamic_pointer_cast<suite::ScriptedInteraction>(session().records()->interaction());
    }

    std::unique_ptr<HistoryController> shown(const QString &table, const QString &key, const QString &view = {})
    {
        auto controller = std::make_unique<HistoryController>();
        controller->setRecords(session().records());
        controller->setErrors(session().errors());
        controller->showHistory(table, key, view, {});
        return controller;
    }

    static qsizetype rowOf(const HistoryController &controller, const QString &subject)
    {
        for (qsizetype row = 0; row < controller.rowCount(); ++row) {
            if (controller.cell(row, u"CEDES"_s).toString().trimmed() == subject)
                return row;
        }
        return -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        const QString message = u"INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSOBJ, MSDTS, MSPRY, MSLNK, MSTBL, "
                                u"MSKEY) VALUES (%1, %2, 1, '%3', '%4', '2026-01-0%5 09:00:00', %6, 1, '%7', '%8')"_s;
        for (const QStringList &row :
             QList<QStringList>{{"0", "1", "ROSSI", "  Offerta  ", "1", "1", "CON_TRO", "C000001"},
                                {"0", "2", "BIANCHI", "Prezzi riservati", "2", "2", "CON_TRO", "C000001"},
                                {"4", "4", "BIANCHI", "Circolare", "3", "0", "CON_TRO", "C000001"},
                                {"1", "1", "ROSSI", "Consegna", "4", "1", "CON_TRO", "C000001"},
                                {"3", "1", "ROSSI", "Telefonare", "5", "1", "CON_TRO", "C000001"},
                                {"0", "1", "ROSSI", "Sotto la vista", "6", "1", "CON_TRO_LST", "C000002"},
                                {"0", "1", "ROSSI", "Sotto la tabella", "7", "1", "CON_TRO", "C000002"}})
            session().connection()->execute(
                message.arg(row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7]));
        session().connection()->execute(u"INSERT INTO SYS_FAX (FXTYP, FXRAS, FXOBJ, FXDAT, FXUSR, FXPRY, FXLNK, FXTBL, "
                                        u"FXKEY) VALUES (0, 'Alfa', 'Ordine', '2026-01-08 09:00:00', 'VERDI', 1, 1, "
                                        u"'CON_TRO', 'C000001')"_s);
    }

    void init() { interaction()->clearCalls(); }

    void listsTheHistory_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QStringList>("expected"); // subject:icon image:priority image, newest first
        const QStringList everything{"Ordine:fax_inbox:",
                                     "Telefonare:activity:",
                                     "Consegna:activity_assign:",
                                     "Circolare:message_pub:row_priority_l",
                                     "Prezzi riservati:message_send:row_priority_h",
                                     "Offerta:message_read:"};
        QTest::newRow("table") << "C000001"
                               << "" << everything;
        QTest::newRow("nothing under the view: the table's") << "C000001"
                                                             << "CON_TRO_LST" << everything;
        QTest::newRow("history under the view") << "C000002"
                                                << "CON_TRO_LST" << QStringList{"Sotto la vista:message_read:"};
        QTest::newRow("no history") << "C000003"
                                    << "" << QStringList{};
    }

    void listsTheHistory()
    {
        QFETCH(QString, key);
        QFETCH(QString, view);
        QFETCH(QStringList, expected);
        const auto controller = shown(u"CON_TRO"_s, key, view);
        QStringList items;
        for (qsizetype row = 0; row < controller->rowCount(); ++row)
            items << controller->cell(row, u"CEDES"_s).toString().trimmed() + u':' + controller->iconImage(row) + u':' +
                         controller->priorityImage(row);
        QCOMPARE(items, expected);
        QCOMPARE(controller->tag(), u"frm_mrvHistory|CON_TRO|"_s + key);
    }

    void captionNamesTheRecord()
    {
        auto controller = std::make_unique<HistoryController>();
        controller->setRecords(session().records());
        QVERIFY(controller->showHistory(u"CON_TRO"_s, u"C000001"_s, u"CON_TRO_LST"_s, u"Brambilla"_s));
        QCOMPARE(controller->caption(), u"Controparti - C000001 - Brambilla"_s);
        QVERIFY(!controller->showHistory(u"NESSUNA"_s, u"1"_s, {}, {}));
    }

    void opensUnlessPrivate_data()
    {
        QTest::addColumn<QString>("allowAll");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("opened"); // table|key, or empty
        QTest::addColumn<QString>("box");
        const QString privateBox = u"Impossibile aprire il messaggio.\nIl messaggio è privato ed appartiene a Laura "
                                   u"Bianchi(BIANCHI)."_s;
        QTest::newRow("own message") << "0"
                                     << "Offerta"
                                     << "SYS_MSG"
                                     << "";
        QTest::newRow("another user's message") << "0"
                                                << "Prezzi riservati"
                                                << "" << privateBox;
        QTest::newRow("another user's, all allowed") << "1"
                                                     << "Prezzi riservati"
                                                     << "SYS_MSG"
                                                     << "";
        QTest::newRow("public message") << "0"
                                        << "Circolare"
                                        << "SYS_MSG"
                                        << "";
        QTest::newRow("another user's fax") << "0"
                                            << "Ordine"
                                            << "SYS_FAX"
                                            << "";
        QTest::newRow("empty list") << "0"
                                    << ""
                                    << ""
                                    << "";
    }

    void opensUnlessPrivate()
    {
        QFETCH(QString, allowAll);
        QFETCH(QString, subject);
        QFETCH(QString, opened);
        QFETCH(QString, box);
        session().config()->setValue(u"ALLOW_OPEN_ALL_MESSAGE"_s, allowAll);
        session().textService()->clearShownBoxes();
        const auto controller = shown(u"CON_TRO"_s, subject.isEmpty() ? u"C000003"_s : u"C000001"_s);
        const qsizetype row = rowOf(*controller, subject);
        controller->openItem(row, nullptr, "gridRow_DblClick");
        const auto calls = interaction()->calls(u"openRecordWindow"_s);
        QCOMPARE(calls.size(), opened.isEmpty() ? 0 : 1);
        if (!opened.isEmpty())
            QCOMPARE(calls.first().arguments.mid(1),
                     (QVariantList{opened, controller->cell(row, u"RECORD_ID"_s).toString()}));
        const auto boxes = session().textService()->shownBoxes();
        QCOMPARE(boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QCOMPARE(boxes.first().text + u'|' + boxes.first().title, box + u"|Cronologia Messaggi"_s);
    }

    // The window as the host opens it: rows shown, an item opened with
    // Enter, descriptions copied with the copy key, and closing unloads it.
    void windowShowsOpensAndCopies()
    {
        QVERIFY(session().message()->mrvShowMessageHistory(nullptr, u"CON_TRO"_s, u"C000001"_s, {}, {}));
        auto *window = dynamic_cast<ui::HistoryWindow *>(
            WindowRegistry::instance().findByTag(u"frm_mrvHistory|CON_TRO|C000001"_s));
        QVERIFY(window);
        window->widget()->show();
        widgets::RecordGrid *grid = window->grid();
        QCOMPARE(grid->model()->rowCount(), 6);
        QCOMPARE(interaction()->calls(u"showComponentWindow"_s).size(), 1);

        grid->selectRow(1);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(interaction()->calls(u"openRecordWindow"_s).size(), 1);
        grid->selectAll();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text().split(u'\n').last(), u"Offerta"_s);
        QCOMPARE(QApplication::clipboard()->text().count(u'\n'), 5);
        QApplication::clipboard()->clear();
        grid->clearSelection();
        grid->selectRow(0);
        window->widget()->findChild<QAction *>(u"cmd1"_s)->trigger(); // the popup's "&Copia"
        QCOMPARE(QApplication::clipboard()->text(), u"Ordine"_s);

        window->widget()->close();
        QTRY_VERIFY(!WindowRegistry::instance().findByTag(u"frm_mrvHistory|CON_TRO|C000001"_s));
        QVERIFY(!session().message()->mrvShowMessageHistory(nullptr, u"NESSUNA"_s, u"1"_s, {}, {}));
        QTRY_COMPARE(WindowRegistry::instance().count(), 0);
    }
};

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
