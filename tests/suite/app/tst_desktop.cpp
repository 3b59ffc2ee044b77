#include "DemoSuite.h"

#include "app/DesktopInteraction.h"
#include "app/Icons.h"
#include "app/MainWindow.h"
#include "app/WindowRun.h"
#include "db/SuiteConnection.h"
#include "facade/ComponentWindow.h"
#include "facade/mrvMessage.h"
#include "services/SuiteSession.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace mrv;
using namespace mrv::suite;
using namespace mrv::suite::app;
using namespace Qt::StringLiterals;

// The desktop shell on the demo suite: its folders and lists, their paging,
// live refresh from another client, and the program's pictures.
class DesktopTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::DemoSuite> m_suite;
    std::shared_ptr<DesktopInteraction> m_interaction;

    void send(const QString &from, const QString &subject) const
    {
        const auto sender = m_suite->openAs(from);
        QVERIFY(sender->message()->SendMessage(0, subject, u"{\\rtf1 x}"_s, u"ROSSI"_s));
    }

    int inboxRows() const
    {
        return m_suite->scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSUSR = 'ROSSI' AND MSFLD = 1"_s).toInt();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_interaction = DesktopInteraction::install(m_suite->session(), DesktopInteraction::Mode::Unattended);
        send(u"VERDI"_s, u"Offerta da rivedere"_s);
        send(u"BIANCHI"_s, u"Pranzo"_s);
    }

    void showsTheUsersFolders()
    {
        MainWindow window(m_suite->session(), *m_interaction);
        QStringList captions;
        for (const FolderEntry &entry : window.entries())
            captions << entry.caption;
        QCOMPARE(captions,
                 QStringList({u"Posta in arrivo"_s, u"Attività"_s, u"Bozze"_s, u"Posta inviata"_s, u"Posta eliminata"_s,
                              u"Messaggi pubblici"_s, u"Clienti"_s, u"Documenti di vendita"_s}));
        for (const FolderEntry &entry : window.entries())
            QVERIFY2(!iconOf(entry.iconKey).isNull(), qPrintable(entry.iconKey));
        for (const QAction *command : window.findChildren<QAction *>()) {
            if (command->property("commandId").isValid())
                QVERIFY2(!command->icon().isNull(), qPrintable(command->text()));
        }
        PagedViewModel *inbox = window.model(0);
        QCOMPARE(inbox->rowCount(), inboxRows());
        QCOMPARE(inbox->data(inbox->index(0, 3)).toString(), u"Pranzo"_s); // newest first
        QVERIFY(inbox->data(inbox->index(0, 3), Qt::FontRole).value<QFont>().bold());
        // Another user's copies stay out of ROSSI's sent folder.
        QCOMPARE(window.model(3)->rowCount(), 0);
    }

    void readsLargeViewsByPages()
    {
        constexpr int kRows = 1234;
        auto &connection = *m_suite->session().connection();
        {
            db::SuiteConnection::Transaction work(connection);
            auto insert = connection.prepare(
                u"INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSOBJ, MSPRY) VALUES (0, 1, 1, 'ROSSI', ?, 1)"_s);
            for (int i = 0; i < kRows; ++i)
                insert.run({u"Generato %1"_s.arg(i)});
            work.commit();
        }
        MainWindow window(m_suite->session(), *m_interaction);
        PagedViewModel *inbox = window.model(0);
        QCOMPARE(inbox->rowCount(), int(PagedViewModel::kPageSize));
        QVERIFY(inbox->canFetchMore());
        QList<qint32> keys;
        while (inbox->canFetchMore())
            inbox->fetchMore();
        for (int row = 0; row < inbox->rowCount(); ++row)
            keys << inbox->recordId(row);
        QCOMPARE(keys.size(), inboxRows());
        QVERIFY(std::is_sorted(keys.crbegin(), keys.crend()));
        QCOMPARE(QSet<qint32>(keys.cbegin(), keys.cend()).size(), keys.size());
    }

    void showsMessagesOfOtherClientsKeepingTheSelection()
    {
        MainWindow window(m_suite->session(), *m_interaction);
        auto *grid = window.findChild<QTableView *>();
        grid->selectRow(1);
        const qint32 selected = window.model(0)->recordId(1);
        send(u"VERDI"_s, u"Nuovo arrivo"_s);
        QTRY_COMPARE(window.model(0)->data(window.model(0)->index(0, 3)).toString(), u"Nuovo arrivo"_s);
        QCOMPARE(window.model(0)->recordId(grid->currentIndex().row()), selected);
    }

    // The component asks for a view to be read again at a record of its own.
    void refreshesAViewAtTheBookmark()
    {
        MainWindow window(m_suite->session(), *m_interaction);
        auto &connection = *m_suite->session().connection();
        const auto store = [&connection](const QString &subject) {
            connection.query(u"INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR, MSOBJ) VALUES (0, 1, 0, 'ROSSI', '"_s +
                             subject + u"')"_s);
            return connection.query(u"SELECT MAX(RECORD_ID) FROM SYS_MSG"_s).rows.first().first().toInt();
        };
        const qint32 bookmark = store(u"Da rileggere"_s);
        store(u"Più recente"_s);
        m_suite->session().records()->refreshView(u"SYS_MSG_INB"_s, -1, bookmark, QString());
        const auto *grid = window.findChild<QTableView *>();
        QCOMPARE(grid->currentIndex().row(), 1);
        QCOMPARE(window.model(0)->recordId(1), bookmark);
    }

    // The history opens as a host opens it: the customer's code, not its row.
    void opensTheHistoryOfTheSelectedRecord()
    {
        MainWindow window(m_suite->session(), *m_interaction);
        window.showEntry(6);
        auto *grid = window.findChild<QTableView *>();
        grid->selectRow(2);
        const QString customer = window.model(6)->value(2, u"CDCON"_s).toString();
        findCommand(&window, cmdHistory)->trigger();
        const QList<ComponentWindow *> forms = m_suite->session().message()->GetForms();
        QVERIFY(!forms.isEmpty());
        QCOMPARE(forms.last()->tag(), u"frm_mrvHistory|CON_TRO|"_s + customer);
        m_suite->session().message()->UnloadForms();
    }

    void takesPictures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("main window") << QStringList{u"--user"_s, u"ROSSI"_s, u"--main"_s} << 0 << QString();
        QTest::newRow("unknown user") << QStringList{u"--user"_s, u"NESSUNO"_s, u"--main"_s} << 1 << u"NESSUNO"_s;
        QTest::newRow("missing command") << QStringList{u"--main"_s, u"--command"_s, u"99"_s} << 1 << u"99"_s;
        QTest::newRow("disabled command")
            << QStringList{u"--main"_s, u"--command"_s, QString::number(cmdHistory)} << 1 << u"not enabled"_s;
    }

    void takesPictures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        const QString location = m_suite->databasePath();
        const QString picture = m_suite->folder() + u"/picture.png"_s;
        QFile::remove(picture);
        QProcess program;
        program.start(qEnvironmentVariable("MRV_BIN") + u"/mrv-suite"_s,
                      QStringList{db::SuiteConnection::isServerLocation(location) ? u"--url"_s : u"--db"_s, location,
                                  u"--grab"_s, picture, u"--size"_s, u"640x480"_s} +
                          arguments);
        QVERIFY(program.waitForFinished(60000));
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitCode(), exitCode);
        QVERIFY2(errors.contains(reason), qPrintable(errors));
        const QImage image(picture);
        QCOMPARE(image.isNull(), exitCode != 0);
        QVERIFY(image.isNull() || image.size() == QSize(640, 480));
    }

    void choosesRecords_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("customer by its code")
            << u"CON_TRO"_s << QString() << u"gatti"_s << u"C000012"_s << u"Gatti Forniture S.n.c."_s;
        QTest::newRow("user, filtered") << u"SYS_USR"_s << u"CDUSR <> 'VERDI'"_s << u"verdi"_s << QString()
                                        << QString();
        QTest::newRow("table by its name")
            << u"SYS_TBL"_s << u"TBUSV = 1"_s << u"con_tro"_s << u"CON_TRO"_s << u"Controparti"_s;
    }

    // The chooser as a user works it: typing narrows the rows, OK takes the first.
    void choosesRecords()
    {
        QFETCH(QString, table);
        QFETCH(QString, filter);
        QFETCH(QString, typed);
        QFETCH(QString, key);
        QFETCH(QString, text);
        DesktopInteraction interaction(m_suite->session(), DesktopInteraction::Mode::Interactive);
        QTimer::singleShot(0, [typed] {
            QWidget *dialog = QApplication::activeModalWidget();
            dialog->findChild<QLineEdit *>()->setText(typed);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const auto chosen = interaction.chooseRecord(nullptr, table, filter);
        QCOMPARE(chosen.has_value(), !key.isEmpty());
        QCOMPARE(chosen.value_or(host::ChosenRecord{}).key, key);
        QCOMPARE(chosen.value_or(host::ChosenRecord{}).text, text);
    }

    void fillsValueLists_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("task states") << u"SYS_MSG"_s << u"TKSTA"_s
                                     << QStringList{u"Sconosciuto"_s, u"Accettata"_s, u"In Corso"_s, u"Completata"_s,
                                                    u"In Attesa"_s,   u"Rinviata"_s,  u"Rifiutata"_s};
        QTest::newRow("codes beyond 9") << u"SYS_NTF"_s << u"NTUPD"_s << QStringList{u"Disattiva"_s,
                                                                                     u"Attiva"_s,
                                                                                     u"In Esecuzione"_s,
                                                                                     u"In Errore"_s,
                                                                                     u"Da Disattivare"_s,
                                                                                     u"Da Attivare"_s,
                                                                                     u"Disattivazione in Corso"_s,
                                                                                     u"Attivazione in Corso"_s};
    }

    void fillsValueLists()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QStringList, captions);
        QComboBox combo;
        combo.addItem(u"left from before"_s);
        m_interaction->fillValueList(&combo, table, column);
        QStringList shown;
        for (int i = 0; i < combo.count(); ++i)
            shown << combo.itemText(i);
        QCOMPARE(shown, captions);
        QCOMPARE(combo.findData(2), 2);
    }

    void convertsFileFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("spelled") << u"Tutti i file (*.*)|*.*"_s << QStringList{u"Tutti i file (*.*)"_s};
        QTest::newRow("bare, two patterns") << u"Immagini|*.png;*.jpg|Tutti i file (*.*)|*.*"_s
                                            << QStringList{u"Immagini (*.png *.jpg)"_s, u"Tutti i file (*.*)"_s};
        QTest::newRow("empty") << QString() << QStringList();
    }

    void convertsFileFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(qtNameFilters(filter), expected);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
