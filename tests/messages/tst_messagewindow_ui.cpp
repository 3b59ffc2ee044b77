#include "DemoSuite.h"
#include "ReceivedMessages.h"
#include "RichTextSamples.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/mrvMessage.h"
#include "messages/MessageStore.h"
#include "messages/ui/MessageWindow.h"
#include "platform/widgets/AttachmentList.h"
#include "platform/widgets/HtmlView.h"
#include "platform/widgets/RichTextEditor.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace Qt::StringLiterals;

// The message window as its user drives it: opened through the facade on
// the demo suite, typed into, its commands run from their actions.
class MessageWindowUiTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    QTemporaryDir m_files;

    suite::SuiteSession &session() { return m_suite->session(); }
    suite::ScriptedInteraction &dialogs()
    {
        return dynamic_cast<suite::ScriptedInteraction &>(*session().records()->interaction());
    }
    static ui::MessageWindow *window()
    {
        return dynamic_cast<ui::MessageWindow *>(WindowRegistry::instance().windows().last());
    }
    template <typename T> static T *control(const QString &name) { return window()->widget()->findChild<T *>(name); }
    static QString text(const char *box) { return control<QLineEdit>(QLatin1String(box))->text(); }
    static void run(qint32 id)
    {
        QAction *action = control<QAction>(u"cmd%1"_s.arg(id));
        QVERIFY2(action->isEnabled() && action->isVisible(), qPrintable(action->text()));
        action->trigger();
    }
    static void type(const char *box, const QString &keys)
    {
        QTest::keyClicks(control<QWidget>(QLatin1String(box)), keys);
    }
    static QTextEdit *editor() { return control<widgets::RichTextEditor>(u"textMessage"_s)->textEdit(); }
    QString row(const QString &sql)
    {
        const auto result = session().connection()->query(sql);
        return result.rows.isEmpty() ? QString() : QVariant(result.rows.first()).toStringList().join(u'|');
    }
    QString reports()
    {
        QStringList texts;
        for (const auto &report : session().errors()->recentReports())
            texts << report.procedure + u": "_s + report.description;
        return texts.join(u'\n');
    }
    QVariantList lastRecordOpened() { return dialogs().calls(u"openRecordWindow"_s).value(0).arguments.mid(1); }
    void openRecord(qint32 id)
    {
        session().message()->OpenRecord(nullptr, u"SYS_MSG"_s, QString::number(id), false, false, false, nullptr);
    }
    // A copy in ROSSI's inbox sent by VERDI, linked to a customer.
    qint32 received(qint32 type, std::optional<qint32> origin = {})
    {
        MessageCopy copy = testing::receivedByRossi(type);
        copy.priority = mspHigh;
        copy.linked = true;
        copy.linkTable = u"CON_TRO"_s;
        copy.linkKey = u"C000001"_s;
        copy.origin = origin;
        return MessageStore(*session().connection(), session().config().get()).insert(copy);
    }

private Q_SLOTS:
    void init() { m_suite = std::make_unique<testing::DemoSuite>(); }
    void cleanup()
    {
        while (WindowRegistry::instance().count() > 0)
            WindowRegistry::instance().remove(WindowRegistry::instance().windows().first());
        m_suite.reset();
    }

    void composingAndSending()
    {
        testing::writeFile(m_files.path(), u"a.txt"_s, "uno");
        testing::writeFile(m_files.path(), u"b.txt"_s, "due");
        session().message()->NewRecord(nullptr, u"SYS_MSG"_s, false, {});
        QCOMPARE(window()->widget()->windowTitle(), u"Messaggio senza titolo"_s);
        type("txtAddress0", u"verdi"_s);
        type("txtObject", u"Riunione"_s);
        QTest::keyClicks(editor(), u"Lunedi alle 9"_s);
        run(cmdCheckNames);
        QCOMPARE(text("txtAddress0"), u"Giuseppe Verdi <VERDI>"_s);
        run(cmdHighPriority);
        QVERIFY(control<QAction>(u"cmd%1"_s.arg(cmdHighPriority))->isChecked());
        dialogs().queueFilePath(m_files.path() + u"|a.txt|b.txt"_s);
        run(cmdAttach);
        auto *attachments = control<widgets::AttachmentList>(u"lstAttachment"_s);
        attachments->setCurrentRow(0);
        run(cmdRemoveAttachment);
        QCOMPARE(attachments->item(0)->text(), u"b.txt"_s);
        run(cmdSave);
        QCOMPARE(row(u"SELECT MSFLD, MSOBJ FROM SYS_MSG"_s), u"0|Riunione"_s);
        QVERIFY(window()->print(m_files.filePath(u"bozza.pdf"_s)));
        QVERIFY(QFileInfo(m_files.filePath(u"bozza.pdf"_s)).size() > 0);

        run(cmdSend);
        QTRY_COMPARE(WindowRegistry::instance().count(), 0);
        QCOMPARE(row(u"SELECT MSFLD, MSPRY, MSDES, ATNAM FROM SYS_MSG JOIN SYS_ATT ON ATKEY = "
                     "CAST(SYS_MSG.RECORD_ID AS VARCHAR(20)) AND ATTBL = 'SYS_MSG' WHERE MSUSR = 'ROSSI'"_s),
                 u"2|2|Giuseppe Verdi <VERDI>|b.txt"_s);
        QVERIFY(row(u"SELECT MSTXT FROM SYS_MSG WHERE MSUSR = 'VERDI'"_s).contains(u"Lunedi alle 9"_s));
        QCOMPARE(reports(), QString());
    }

    void aReceivedTaskIsDoneAndReported()
    {
        const qint32 assigner = received(mstTask);
        const qint32 id = received(mstTask, assigner);
        openRecord(id);
        auto *status = control<QComboBox>(u"cmbTask"_s);
        QCOMPARE(status->count(), 7);
        QCOMPARE(status->currentText(), u"Sconosciuto"_s);
        QVERIFY(!control<QAction>(u"cmd%1"_s.arg(cmdStartTask))->isEnabled());
        run(cmdAcceptTask);
        QCOMPARE(status->currentText(), u"Accettata"_s);
        run(cmdStartTask);
        QCOMPARE(text("txtTask3"), text("txtTask1")); // started today, the day it was sent
        control<QSlider>(u"sliderTask"_s)->setValue(40);
        type("txtTask2", text("txtTask1"));
        QTest::keyClicks(editor(), u"Fatto. "_s);
        run(cmdSave);
        for (qint32 copy : {id, assigner}) {
            QCOMPARE(row(u"SELECT TKSTA, TKCPL FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(copy)), u"2|40"_s);
            for (const char *date : {"TKDTS", "TKDTI"})
                QCOMPARE(m_suite->scalar(u"SELECT %1 FROM SYS_MSG WHERE RECORD_ID = %2"_s.arg(date).arg(copy))
                             .toDateTime()
                             .date(),
                         QDate::currentDate());
        }
        QVERIFY(row(u"SELECT MSTXT FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(assigner)).contains(u"Fatto."_s));
        QVERIFY(!control<QAction>(u"cmd%1"_s.arg(cmdSave))->isEnabled());
        QCOMPARE(reports(), QString());
    }

    void aStoredMessageWithAttachments()
    {
        const qint32 id = received(mstMessage);
        for (const char *name : {"a.txt", "b.txt"})
            session().records()->addAttachment(
                u"SYS_MSG"_s, QString::number(id),
                testing::writeFile(m_files.path(), QLatin1String(name), QByteArray(name).left(1)));
        openRecord(id);
        QCOMPARE(text("txtInformation0"), u"Giuseppe Verdi <VERDI>"_s);
        QCOMPARE(control<QLabel>(u"lblDetails"_s)->text(), u"Messaggio con priorità Alta."_s);
        auto *attachments = control<widgets::AttachmentList>(u"lstInformationAttachment"_s);
        QVERIFY(attachments->item(1)->text().startsWith(u"b.txt ("_s));
        QString opened;
        window()->controller()->setFileOpener([&](const QString &path) { return !(opened = path).isEmpty(); });
        attachments->setCurrentRow(1);
        QTest::keyClick(attachments, Qt::Key_Return);
        QFile file(opened);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "b");

        openRecord(id); // the window showing it is reused
        QCOMPARE(WindowRegistry::instance().count(), 1);
        Q_EMIT control<QLabel>(u"lblInformationLink"_s)->linkActivated(u"#"_s);
        QCOMPARE(lastRecordOpened(), (QVariantList{u"CON_TRO"_s, u"C000001"_s}));
        run(cmdReply);
        QCOMPARE(WindowRegistry::instance().count(), 2);
        QCOMPARE(text("txtAddress0"), u"Giuseppe Verdi <VERDI>"_s);
        QCOMPARE(text("txtObject"), u"R: Preventivo"_s);
    }

    void aNotificationShowsItsHtml()
    {
        const qint32 id = received(mstNotification);
        session().connection()->query(
            u"UPDATE SYS_MSG SET MSTXT = '<html><body><p>Scadenza <a href=\"CON_TRO|C000002\">"
            "Rossi</a></p></body></html>' WHERE RECORD_ID = %1"_s.arg(id));
        openRecord(id);
        auto *web = control<widgets::HtmlView>(u"webMail"_s);
        QVERIFY(!web->isHidden() && control<QWidget>(u"textMessage"_s)->isHidden());
        QCOMPARE(web->toPlainText(), u"Scadenza Rossi"_s);
        Q_EMIT web->anchorClicked(QUrl(u"CON_TRO|C000002"_s));
        QCOMPARE(lastRecordOpened(), (QVariantList{u"CON_TRO"_s, u"C000002"_s}));
        QVERIFY(window()->print(m_files.filePath(u"notifica.pdf"_s)));
        QVERIFY(QFileInfo(m_files.filePath(u"notifica.pdf"_s)).size() > 0);
    }

    // A task deleted by another user while it is shown: saving says so and
    // keeps the window and its changes; closing asks; reopening it says so.
    void aMessageDeletedElsewhere()
    {
        const qint32 id = received(mstTask);
        openRecord(id);
        suite::db::SuiteConnection::connect(m_suite->databasePath())
            ->query(u"DELETE FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(id));
        control<QSlider>(u"sliderTask"_s)->setValue(50);
        run(cmdSave);
        QVERIFY(reports().contains(u"The message %1 no longer exists"_s.arg(id)));
        auto &answers = *session().textService();
        answers.queueAnswers({host::mbCancel});
        QVERIFY(!window()->widget()->close());
        QCOMPARE(answers.shownBoxes().last().text, u"Salvare le modifiche a \"Preventivo\"?"_s);
        answers.queueAnswers({host::mbNo});
        QVERIFY(window()->widget()->close());
        QTRY_COMPARE(WindowRegistry::instance().count(), 0);

        openRecord(id);
        QCOMPARE(answers.shownBoxes().last().text, u"Errore imprevisto!"_s);
        QTRY_COMPARE(WindowRegistry::instance().count(), 0);
    }
};

QTEST_MAIN(MessageWindowUiTest)
#include "tst_messagewindow_ui.moc"
