#include "DemoSuite.h"
#include "IdleWindow.h"
#include "ReceivedMessages.h"
#include "db/SuiteConnection.h"
#include "facade/Factories.h"
#include "facade/Types.h"
#include "facade/Windows.h"
#include "messages/MessageStore.h"
#include "messages/MessageWindowController.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteRichTextStore.h"
#include "services/SuiteSession.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<host::RichTextStore> g_bodies;

// The message window without its widget: what the facade and a reply reach.
class HeadlessMessageWindow : public testing::IdleWindow<MessageWindow>
{
public:
    HeadlessMessageWindow()
    {
        m_controller.setRichTextStore(g_bodies);
        QObject::connect(&m_controller, &MessageWindowController::tagChanged, [this](const QString &t) { setTag(t); });
    }
    void setErrors(std::shared_ptr<host::Errors> e) override { m_controller.setErrors(e); }
    void setRecords(std::shared_ptr<host::Records> r) override { m_controller.setRecords(r); }
    void setViewName(const QString &v) override { m_controller.setViewName(v); }
    void setBookmark(const QVariant &b) override { m_controller.setBookmark(b); }
    void setFilterQuery(const QString &f) override { m_controller.setFilterQuery(f); }
    void setOrderBy(const QString &o) override { m_controller.setOrderBy(o); }
    void CreateMessage(QWidget *owner, qint32 type, const QString &to, const QString &link, const QString &path,
                       qint32 id) override
    {
        m_controller.CreateMessage(owner, type, to, link, path, id);
    }
    bool OpenMessage(QWidget *owner, const QString &id, qint32 type, const QVariant &focus) override
    {
        return m_controller.OpenMessage(owner, id, type, focus);
    }
    MessageWindowController *controller() override { return &m_controller; }

private:
    MessageWindowController m_controller;
};

} // namespace

// The message window's behaviour on the demo suite, with the user's answers
// scripted: composing and sending, drafts, replies, the read mark, tasks,
// public copies, browsing, commands, closing and attachments.
class MessageWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    std::shared_ptr<suite::ScriptedInteraction> m_dialogs;
    QTemporaryDir m_files;

    suite::SuiteSession &session() { return m_suite->session(); }
    QVariant scalar(const QString &sql) { return m_suite->scalar(sql); }
    // The first row of a query, its values joined by "|"; empty when no row.
    QString row(const QString &sql)
    {
        const auto result = session().connection()->query(sql);
        return result.rows.isEmpty() ? QString() : QVariant(result.rows.first()).toStringList().join(u'|');
    }
    QVariant column(const QString &name, qint32 id)
    {
        return scalar(u"SELECT %1 FROM SYS_MSG WHERE RECORD_ID = %2"_s.arg(name).arg(id));
    }
    QStringList boxes()
    {
        QStringList texts;
        for (const auto &box : session().textService()->shownBoxes())
            texts << box.text;
        return texts;
    }
    QStringList reports()
    {
        QStringList texts;
        for (const auto &report : session().errors()->recentReports())
            texts << report.procedure + u": "_s + report.description;
        return texts;
    }

    MessageWindowController &window()
    {
        auto made = Factories::create<MessageWindow>(MessageWindow::factoryName());
        MessageWindow *window = made.get();
        WindowRegistry::instance().add(std::move(made));
        window->setErrors(session().errors());
        window->setRecords(session().records());
        return *window->controller();
    }
    MessageWindowController &lastWindow()
    {
        return *dynamic_cast<MessageWindow *>(WindowRegistry::instance().windows().last())->controller();
    }

    // A copy in ROSSI's inbox sent by VERDI, unread.
    qint32 received(qint32 type = mstMessage, const QString &cc = QString(), qint32 priority = mspNormal)
    {
        MessageCopy copy = testing::receivedByRossi(type);
        copy.cc = cc;
        copy.notified = 0;
        copy.priority = priority;
        return MessageStore(*session().connection(), session().config().get()).insert(copy);
    }
    qint32 attach(qint32 message, const QString &name)
    {
        const QString path = m_files.filePath(u"source.txt"_s);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("contenuto");
        file.close();
        const qint32 key = session().records()->addAttachment(u"SYS_MSG"_s, QString::number(message), path);
        session().connection()->query(u"UPDATE SYS_ATT SET ATNAM = '%1' WHERE RECORD_ID = %2"_s.arg(name).arg(key));
        return key;
    }
    MessageWindowController &opened(qint32 id, qint32 type = mstMessage)
    {
        MessageWindowController &controller = window();
        controller.OpenMessage(nullptr, QString::number(id), type);
        return controller;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Factories::add(MessageWindow::factoryName(), [] { return std::make_unique<HeadlessMessageWindow>(); });
    }

    void cleanup()
    {
        while (WindowRegistry::instance().count() > 0)
            WindowRegistry::instance().windows().first()->unload();
        g_bodies.reset();
    }

    void init()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        g_bodies = std::make_shared<suite::SuiteRichTextStore>(session().connection());
        m_dialogs = std::make_shared<suite::ScriptedInteraction>();
        session().records()->setInteraction(m_dialogs);
    }

    void createMessageNormalisesItsType_data()
    {
        QTest::addColumn<qint32>("type");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<qint32>("windowType");
        QTest::addColumn<bool>("personal");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("to");
        QTest::newRow("message") << 0 << u"VERDI"_s << 0 << false << u"Messaggio senza titolo"_s
                                 << u"Giuseppe Verdi <VERDI>"_s;
        QTest::newRow("task") << 1 << u""_s << 1 << false << u"Attività senza titolo"_s << u""_s;
        QTest::newRow("personal task") << 3 << u""_s << 1 << true << u"Attività senza titolo"_s << u""_s;
        QTest::newRow("e-mail composes a message") << 2 << u""_s << 0 << false << u"Messaggio senza titolo"_s << u""_s;
        QTest::newRow("notification") << 5 << u""_s << 0 << false << u"Messaggio senza titolo"_s << u""_s;
        const QString fax = u"\"Santoro Meccanica S.r.l.\" <02 4000038>"_s;
        QTest::newRow("fax recipients") << 0 << "faxto_recipients://" + fax << 0 << false << u"Invio fax"_s << fax;
    }
    void createMessageNormalisesItsType()
    {
        QFETCH(qint32, type);
        QFETCH(QString, recipients);
        QFETCH(QString, to);
        m_dialogs->queueChosenRecipients(to); // an item the book does not know is chosen by the user
        MessageWindowController &controller = window();
        controller.CreateMessage(nullptr, type, recipients, QString());
        QTEST(controller.MessageType(), "windowType");
        QTEST(controller.personalTask(), "personal");
        QTEST(controller.caption(), "caption");
        QVERIFY(controller.NewMessage());
        QVERIFY(!controller.isModified());
        QCOMPARE(controller.address(0), to);
        QVERIFY(reports().isEmpty());
    }

    void aFaxNumberNeedsTheNumberCheckWindow()
    {
        window().CreateMessage(nullptr, mstMessage, u"faxto://02 4000038"_s, QString());
        QCOMPARE(session().errors()->recentReports().size(), 1);
        QCOMPARE(session().errors()->recentReports().first().procedure, u"CreateMessage"_s);
    }

    // Sending through the window: what is written, what is handed to the
    // pipeline, and what the user is told when nothing may be written.
    void sending_data()
    {
        QTest::addColumn<qint32>("type");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("vanishedFile");
        QTest::addColumn<QString>("shown");
        // Rows of the sender, as MSTYP|MSFLD|TKSTA|TKDTI set; then inbox copies for VERDI.
        QTest::addColumn<QString>("written");
        QTest::addColumn<qint32>("copies");
        QTest::newRow("message") << 0 << u"VERDI"_s << false << u""_s << u"0|2||0"_s << 1;
        QTest::newRow("personal task") << 3 << u""_s << false << u""_s << u"3|1|2|1"_s << 0;
        QTest::newRow("no recipients")
            << 0 << u""_s << false
            << u"Specificare almeno un nome o una lista di distribuzione nelle caselle A, Cc, Ccn."_s << u""_s << 0;
        QTest::newRow("vanished attachment")
            << 0 << u"VERDI"_s << true << u"Impossibile recuperare l'allegato sparito.txt!"_s << u""_s << 0;
    }
    void sending()
    {
        QFETCH(qint32, type);
        QFETCH(QString, to);
        QFETCH(bool, vanishedFile);
        MessageWindowController &controller = window();
        controller.CreateMessage(nullptr, type, to, QString(), QString());
        controller.setSubject(u"Riunione"_s);
        if (type == mstPersonalTask)
            controller.setAddress(0, u"ROSSI"_s);
        if (vanishedFile)
            controller.AddAttachment(m_files.filePath(u"sparito.txt"_s));
        const qint32 before = scalar(u"SELECT COUNT(*) FROM SYS_MSG"_s).toInt();
        QVERIFY(controller.execute(cmdSend));
        QTEST(boxes().join(u'\n'), "shown");
        const QString written =
            row(u"SELECT MSTYP, MSFLD, TKSTA, CASE WHEN TKDTI IS NULL THEN 0 ELSE 1 END FROM SYS_MSG "
                "WHERE MSUSR = 'ROSSI' AND MSOBJ = 'Riunione'"_s);
        QTEST(written, "written");
        QTEST(scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSUSR = 'VERDI'"_s).toInt(), "copies");
        QCOMPARE(controller.MessageID() != u"0"_s, !written.isEmpty());
        if (written.isEmpty())
            QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG"_s).toInt(), before);
        QVERIFY(reports().isEmpty());
    }

    void aFailedSendingKeepsTheWindowAndItsFiles()
    {
        session().config()->setValue(u"EXCHANGE_MODE"_s, u"NESSUNO"_s); // no transport: every e-mail fails
        const QString file = m_files.filePath(u"offerta.txt"_s);
        QFile(file).open(QIODevice::WriteOnly);
        MessageWindowController &controller = window();
        controller.CreateMessage(nullptr, mstMessage, u"cliente@x.example"_s, QString(), file);
        controller.setSubject(u"Offerta"_s);
        QVERIFY(controller.execute(cmdSend));
        QVERIFY(boxes().last().startsWith(u"Impossibile inviare il messaggio, verificare"_s));
        QCOMPARE(controller.MessageID(), u"0"_s);
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_MSG"_s).toInt(), 0);
        QVERIFY(controller.execute(cmdSave));
        const qint32 draft = controller.MessageID().toInt();
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATKEY = '%1'"_s.arg(draft)).toInt(), 1);
        QVERIFY(reports().isEmpty());
    }

    void aDraftIsInsertedOnceAndReopensForEditing()
    {
        const QString file = m_files.filePath(u"offerta.txt"_s);
        QFile(file).open(QIODevice::WriteOnly);
        MessageWindowController &controller = window();
        controller.CreateMessage(nullptr, mstMessage, u"VERDI"_s, QString(), file);
        controller.setSubject(u"Bozza"_s);
        QVERIFY(controller.execute(cmdSave));
        controller.setSubject(u"Bozza rivista"_s);
        QVERIFY(controller.execute(cmdSave));
        QVERIFY(!controller.isModified());
        QCOMPARE(row(u"SELECT COUNT(*), MAX(MSOBJ), MAX(MSFLD) FROM SYS_MSG"_s), u"1|Bozza rivista|0"_s);
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATTBL = 'SYS_MSG'"_s).toInt(), 1);

        MessageWindowController &draft = opened(controller.MessageID().toInt());
        QVERIFY(draft.NewMessage());
        QCOMPARE(draft.subject(), u"Bozza rivista"_s);
        QCOMPARE(draft.composeAttachments().size(), 1);
        QVERIFY(draft.composeAttachments().first().id > 0);
        QVERIFY(QFileInfo::exists(draft.composeAttachments().first().path));
        QVERIFY(reports().isEmpty());
    }

    // Reply, reply to all and forward of a message that names the user in
    // Cc, whatever the case of the login.
    void answers_data()
    {
        QTest::addColumn<qint32>("command");
        QTest::addColumn<QString>("cc");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("ccLine");
        QTest::newRow("reply") << qint32(cmdReply) << u""_s << u"R: Preventivo"_s << u"Giuseppe Verdi <VERDI>"_s
                               << false;
        QTest::newRow("reply to all") << qint32(cmdReplyAll) << u"Mario Rossi <rossi>; Anna <anna@x.example>"_s
                                      << u"R: Preventivo"_s << u"Giuseppe Verdi <VERDI>; anna@x.example"_s << true;
        QTest::newRow("forward") << qint32(cmdForward) << u"Mario Rossi <Rossi>"_s << u"I: Preventivo"_s << u""_s
                                 << true;
    }
    void answers()
    {
        QFETCH(qint32, command);
        QFETCH(QString, cc);
        const qint32 original = received(mstMessage, cc);
        const qint32 attachment = attach(original, u"listino.txt"_s);
        m_dialogs->queueChosenRecipients(u"anna@x.example"_s); // Anna is not in the address book
        MessageWindowController &shown = opened(original);
        QVERIFY(shown.execute(command));
        MessageWindowController &answer = lastWindow();
        QVERIFY(&answer != &shown);
        QTEST(answer.subject(), "subject");
        QTEST(answer.address(0), "to");
        QCOMPARE(answer.Replying(), command == cmdForward ? QVariant() : QVariant(QString::number(original)));
        QCOMPARE(answer.Forwarding(), command == cmdForward ? QVariant(QString::number(original)) : QVariant());
        const QString text = answer.document()->toPlainText();
        QVERIFY(text.contains(u"--------\nDa: Giuseppe Verdi <VERDI>\nInviato: "_s));
        QVERIFY(text.contains(u"Oggetto: Preventivo\n\nTesto originale"_s));
        QTEST(text.contains(u"Cc: "_s), "ccLine");
        QVERIFY(!text.contains(u"Priorità: "_s));
        const QList<AttachmentRow> copies = answer.composeAttachments();
        QCOMPARE(copies.size(), command == cmdForward ? 1 : 0);
        if (!copies.isEmpty())
            QCOMPARE(copies.first().id, attachment);
        QVERIFY(reports().isEmpty());
    }

    void openingMarksReadOnceAndNotifiedAlways()
    {
        const qint32 id = received();
        opened(id);
        const QVariant readAt = column(u"MSDTR"_s, id);
        QCOMPARE(column(u"MSSTA"_s, id).toInt() * 10 + column(u"MSNOT"_s, id).toInt(), 11);
        QVERIFY(!readAt.isNull());
        session().connection()->query(u"UPDATE SYS_MSG SET MSNOT = 0 WHERE RECORD_ID = %1"_s.arg(id));
        QTest::qWait(5);
        opened(id);
        QCOMPARE(column(u"MSDTR"_s, id), readAt);
        QCOMPARE(column(u"MSNOT"_s, id).toInt(), 1);
    }

    // The status commands a received task offers, and where each leads.
    void taskCommands_data()
    {
        QTest::addColumn<qint32>("status");
        QTest::addColumn<qint32>("command");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<qint32>("newStatus");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("finished");
        QTest::newRow("accept new") << 0 << qint32(cmdAcceptTask) << true << 1 << false << false;
        QTest::newRow("reject new") << 0 << qint32(cmdRejectTask) << true << 6 << false << false;
        QTest::newRow("start new") << 0 << qint32(cmdStartTask) << false << 0 << false << false;
        QTest::newRow("start accepted") << 1 << qint32(cmdStartTask) << true << 2 << true << false;
        QTest::newRow("complete postponed") << 5 << qint32(cmdCompleteTask) << true << 3 << true << true;
        QTest::newRow("reopen completed") << 3 << qint32(cmdReopenTask) << true << 1 << false << false;
        QTest::newRow("postpone completed") << 3 << qint32(cmdPostponeTask) << false << 3 << false << false;
    }
    void taskCommands()
    {
        QFETCH(qint32, status);
        QFETCH(qint32, command);
        const qint32 id = received(mstTask);
        session().connection()->query(u"UPDATE SYS_MSG SET TKSTA = %1 WHERE RECORD_ID = %2"_s.arg(status).arg(id));
        MessageWindowController &task = opened(id);
        QVERIFY(task.command(command).visible);
        QTEST(task.execute(command), "enabled");
        QTEST(task.task().status, "newStatus");
        QTEST(task.task().started.isValid(), "started");
        QTEST(task.task().finished.isValid(), "finished");
    }

    void sliderAndPersonalTask()
    {
        MessageWindowController &task = opened(received(mstTask));
        task.setTaskCompletion(TaskPanel::kCompletionMaximum);
        QCOMPARE(task.task().status, qint32(tksCompleted));
        task.setTaskCompletion(40);
        QCOMPARE(task.task().status, qint32(tksInProgress));
        QVERIFY(task.task().started.isValid() && !task.task().finished.isValid());

        const qint32 own = received(mstPersonalTask);
        MessageWindowController &personal = opened(own);
        QVERIFY(personal.personalTask());
        for (qint32 id = cmdAcceptTask; id <= cmdStatusReport; ++id)
            QVERIFY(!personal.command(id).visible);
    }

    // Saving a received task: the assigner's row follows it, and is marked
    // unread and notified only when a report is due.
    void savingAReceivedTask_data()
    {
        QTest::addColumn<bool>("notify");
        QTest::addColumn<bool>("report");
        QTest::addColumn<qint32>("command");
        QTest::addColumn<QString>("assigner");
        QTest::addColumn<qint32>("signals");
        QTest::newRow("no report") << false << false << qint32(cmdStartTask) << u"2|1|1"_s << 0;
        QTest::newRow("report asked") << false << true << qint32(cmdStartTask) << u"2|0|0"_s << 1;
        QTest::newRow("notify, accepted") << true << false << qint32(cmdAcceptTask) << u"1|0|0"_s << 1;
    }
    void savingAReceivedTask()
    {
        QFETCH(bool, notify);
        QFETCH(bool, report);
        QFETCH(qint32, command);
        const qint32 assigner = received(mstTask);
        session().connection()->query(
            u"UPDATE SYS_MSG SET MSUSR = 'VERDI', MSFLD = 2, MSSTA = 1, MSNOT = 1 WHERE RECORD_ID = %1"_s.arg(
                assigner));
        const qint32 id = received(mstTask);
        session().connection()->query(
            u"UPDATE SYS_MSG SET MSSND = %1, TKNOT = %2, TKSTA = %3 WHERE RECORD_ID = %4"_s.arg(assigner)
                .arg(notify ? 1 : 0)
                .arg(command == cmdStartTask ? 1 : 0)
                .arg(id));
        MessageWindowController &task = opened(id);
        QCOMPARE(task.command(cmdStatusReport).checked, notify);
        if (report != notify)
            QVERIFY(task.execute(cmdStatusReport));
        QVERIFY(task.execute(command));
        QVERIFY(task.execute(cmdSave));
        QTEST(row(u"SELECT TKSTA, MSSTA, MSNOT FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(assigner)), "assigner");
        QCOMPARE(column(u"TKSTA"_s, id), column(u"TKSTA"_s, assigner));
        QTEST(session().records()->signalCount(u"#TaskNotification#"_s), "signals");
        QVERIFY(reports().isEmpty());
    }

    void publicCopyAndItsRemoval()
    {
        const qint32 id = received();
        attach(id, u"listino.txt"_s);
        MessageWindowController &shown = opened(id);
        QVERIFY(shown.execute(cmdPublic));
        const qint32 copy = shown.PublicMessageID();
        QCOMPARE(column(u"MSPUB"_s, id).toInt(), copy);
        QCOMPARE(row(u"SELECT MSTYP, MSFLD, MSSTA, MSPUB, MSOBJ FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(copy)),
                 u"4|4|4|%1|Preventivo"_s.arg(id));
        QCOMPARE(scalar(u"SELECT COUNT(*) FROM SYS_ATT WHERE ATKEY = '%1'"_s.arg(copy)).toInt(), 1);
        QCOMPARE(shown.command(cmdPublic).caption, u"Rimuovi Messaggio Pubblico"_s);
        session().textService()->queueAnswers({host::mbYes});
        QVERIFY(shown.execute(cmdPublic));
        QVERIFY(column(u"MSPUB"_s, id).isNull());
        QVERIFY(!column(u"RECORD_ID"_s, copy).isValid());
        QCOMPARE(shown.command(cmdPublic).caption, u"Rendi &pubblica"_s);
    }

    void browsingStopsAtTheEnds()
    {
        const qint32 first = received();
        const qint32 last = received();
        MessageWindowController &controller = window();
        controller.setViewName(u"SYS_MSG_INB"_s);
        controller.setOrderBy(u"RECORD_ID"_s);
        controller.setBookmark(last);
        controller.OpenMessage(nullptr, QString::number(last), mstMessage);
        QVERIFY(controller.execute(cmdNext));
        QCOMPARE(boxes(), QStringList{u"E' stata raggiunta la fine dell'archivio!"_s});
        QCOMPARE(controller.MessageID(), QString::number(last));
        QVERIFY(controller.execute(cmdPrevious));
        QCOMPARE(controller.MessageID(), QString::number(first));
        QCOMPARE(controller.windowTag(), u"SYS_MSG|%1"_s.arg(first));
    }

    // What the commands offer for each kind of window.
    void commandRules_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<qint32>("type");
        QTest::addColumn<qint32>("command");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("caption");
        QTest::newRow("send composing") << false << 0 << qint32(cmdSend) << true << u"&Invia"_s;
        QTest::newRow("send stored") << true << 0 << qint32(cmdSend) << false << u"&Invia"_s;
        QTest::newRow("save unchanged") << false << 0 << qint32(cmdSave) << false << u"&Salva"_s;
        QTest::newRow("save assigned task") << false << 1 << qint32(cmdSave) << false << u"&Salva come bozza"_s;
        QTest::newRow("reply composing") << false << 0 << qint32(cmdReply) << false << u"&Rispondi"_s;
        QTest::newRow("reply to a task") << true << 1 << qint32(cmdReply) << false << u"&Rispondi"_s;
        QTest::newRow("reply stored") << true << 0 << qint32(cmdReply) << true << u"&Rispondi"_s;
        QTest::newRow("browse without view") << true << 0 << qint32(cmdNext) << false << u"Messaggio Successivo"_s;
        QTest::newRow("assign") << false << 1 << qint32(cmdAssignTask) << true << u"Ann&ulla Assegnazione"_s;
        QTest::newRow("delete stored") << true << 0 << qint32(cmdDelete) << true << u"&Elimina"_s;
        QTest::newRow("public task") << true << 1 << qint32(cmdPublic) << false << u"Rendi &pubblica"_s;
    }
    void commandRules()
    {
        QFETCH(bool, stored);
        QFETCH(qint32, type);
        QFETCH(qint32, command);
        MessageWindowController &controller = stored ? opened(received(type)) : window();
        if (!stored)
            controller.CreateMessage(nullptr, type, QString(), QString());
        QTEST(controller.command(command).enabled, "enabled");
        QTEST(controller.command(command).caption, "caption");
        if (!controller.command(command).enabled)
            QVERIFY(!controller.execute(command));
    }

    void closingWithChanges_data()
    {
        QTest::addColumn<qint32>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<qint32>("drafts");
        QTest::newRow("yes") << qint32(host::mbYes) << true << 1;
        QTest::newRow("no") << qint32(host::mbNo) << true << 0;
        QTest::newRow("cancel") << qint32(host::mbCancel) << false << 0;
    }
    void closingWithChanges()
    {
        QFETCH(qint32, answer);
        MessageWindowController &controller = window();
        controller.CreateMessage(nullptr, mstMessage, QString(), QString());
        QVERIFY(controller.queryClose());
        controller.setSubject(u"Appunti"_s);
        session().textService()->queueAnswers({answer});
        QTEST(controller.queryClose(), "closes");
        QCOMPARE(boxes().last(), u"Salvare le modifiche a \"Appunti\"?"_s);
        QTEST(scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 0"_s).toInt(), "drafts");
    }

    void attachmentsAreSavedOnlyInsideTheChosenFolder()
    {
        const qint32 id = received();
        for (const QString &name : {u"../../x"_s, u"/etc/passwd"_s, u"con"_s, u"x"_s})
            attach(id, name);
        MessageWindowController &shown = opened(id);
        QTemporaryDir target(m_files.filePath(u"scelta-XXXXXX"_s));
        m_dialogs->queueFilePath(target.path());
        QVERIFY(shown.execute(cmdSaveAllAttachments));
        QStringList saved = QDir(target.path()).entryList(QDir::Files);
        saved.sort();
        QCOMPARE(saved, (QStringList{u"_con"_s, u"passwd"_s, u"x"_s, u"x (2)"_s}));
        QCOMPARE(QDir(m_files.path()).entryList({u"x*"_s}), QStringList());
        QVERIFY(boxes().isEmpty());
    }

    // A notification is shown and printed from its HTML; a link in it opens
    // the record it names. A message prints from its header and body.
    void notificationsAndPrinting()
    {
        const qint32 id = received(mstNotification, u"Anna <anna@x.example>"_s, mspHigh);
        session().connection()->query(
            u"UPDATE SYS_MSG SET MSTXT = '<!DOCTYPE html>\n<html>\n<head></head>\n<body>Scadenza</body></html>' "
            "WHERE RECORD_ID = %1"_s.arg(id));
        MessageWindowController &notification = opened(id, mstNotification);
        QVERIFY(notification.showsWebView() && notification.printsFromHtml());
        QStringList lines = notification.PrintEmail().split(u'\n');
        QCOMPARE(lines.mid(0, 4), (QStringList{u"<!DOCTYPE html>"_s, u"<html>"_s, u"<head></head>"_s,
                                               u"<div><font face=3D\"Arial, Verdana\">"_s}));
        QCOMPARE(lines.filter(u"<tr><td>"_s).size(), 7);
        QVERIFY(lines.contains(u"<tr><td><font size=3D2><b>Priorità:</b></font></td><td><font size=3D2>"
                               "Messaggio con priorità Alta.</font></td></tr>"_s));
        QVERIFY(notification.webNavigation(u"CON_TRO|C000001"_s));
        QVERIFY(!notification.webNavigation(u"https://example.com"_s));
        QCOMPARE(m_dialogs->calls(u"openRecordWindow"_s).size(), 1);

        MessageWindowController &message = opened(received());
        const auto printed = message.TextForPrintHeader();
        QVERIFY(printed->toPlainText().contains(u"Da: Giuseppe Verdi <VERDI>\nInviato: "_s));
        QVERIFY(printed->toPlainText().endsWith(u"Oggetto: Preventivo\nTesto originale"_s));
    }

    void aMessageDeletedElsewhereIsReportedNotSaved()
    {
        const qint32 id = received(mstTask);
        MessageWindowController &task = opened(id);
        m_suite->openAs(u"VERDI"_s)->connection()->query(u"DELETE FROM SYS_MSG WHERE RECORD_ID = %1"_s.arg(id));
        task.setTaskCompletion(50);
        bool saved = true;
        task.SaveMessage(false, saved);
        QVERIFY(!saved);
        QVERIFY(reports().join(u'\n').contains(u"SaveOpenedTask: The message %1 no longer exists"_s.arg(id)));
        QVERIFY(!column(u"RECORD_ID"_s, id).isValid());
        QVERIFY(task.isModified());
    }
};

QTEST_MAIN(MessageWindowTest)
#include "tst_messagewindow.moc"
