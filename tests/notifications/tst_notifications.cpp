#include "DemoSuite.h"

#include "db/SuiteConnection.h"
#include "host/HostServices.h"
#include "notifications/NotificationWindowController.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteSession.h"

#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace mrv;
using namespace Qt::StringLiterals;

namespace {

const QString kRule(68, u'-');

// What ParseQuery gives: the header lines between the two rules, a blank
// line, the body.
QString batchOf(const QStringList &lines, const QString &body)
{
    QString text = u"/**/"_s + kRule + u"\r\n"_s;
    for (const QString &line : lines)
        text += u"/**/"_s + line + u"\r\n"_s;
    return text + u"/**/"_s + kRule + u"\r\n\r\n"_s + body;
}

QByteArray utf16(const QString &text)
{
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(encoder(text));
}

std::shared_ptr<clsSYS_NTC> condition(qint32 type1, const QString &op1, const QString &op, qint32 type2,
                                      const QString &op2, bool selected = false)
{
    auto made = std::make_shared<clsSYS_NTC>();
    made->setOp1Type(type1);
    made->setOp1(op1);
    made->setOperator(op);
    made->setOp2Type(type2);
    made->setOp2(op2);
    made->setSelected(selected);
    return made;
}

// The editor of frmSYS_NTF on the suite's record controller, as the window
// will have it.
struct Editor
{
    explicit Editor(suite::SuiteSession &session) : record(session.records()->newDataBound())
    {
        record->setErrors(session.errors());
        record->setTableName(u"SYS_NTF"_s);
        form.setErrors(session.errors());
        form.setRecords(session.records());
        form.setDataBound(record.get());
        record->setForm(&form);
    }
    ~Editor() { record->close(); }

    void edit(qint32 key)
    {
        QVERIFY(record->openRecord(nullptr, QString::number(key), false, false, false, false));
        record->setChanged(true);
    }

    std::shared_ptr<host::DataBound> record;
    NotificationWindowController form;
};

} // namespace

// The notification model, the editor's controller and its export file, on
// the demo suite: notification 1 generic, 2 on new customers (conditions
// 1 and 2 joined by relation 3, active), 3 on deleted sales documents.
class NotificationsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;

    suite::SuiteSession &session() const { return m_suite->session(); }
    qint64 count(const QString &sql) const { return m_suite->scalar(sql).toLongLong(); }
    QList<suite::ErrorReport> reports() const { return session().errors()->recentReports(); }
    // The message boxes of the session that installed the global services last.
    static suite::SuiteTextService &texts() { return dynamic_cast<suite::SuiteTextService &>(host::textService()); }

    QByteArray exported(qint32 id)
    {
        const QString path = m_suite->folder() + u"/%1.qdn"_s.arg(id);
        Editor editor(session());
        if (!editor.form.exportNotification(id, path))
            return {};
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { m_suite = std::make_unique<testing::DemoSuite>(); }

    void init()
    {
        session().errors()->clearRecentReports();
        texts().clearShownBoxes();
    }

    void batch_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("deleteResults");
        QTest::addColumn<QString>("expected");
        const QString notification = u"DECLARE @SYS_NTF INT\tSET @SYS_NTF = 12"_s;
        const QString deletion = u"DELETE FROM SYS_NTT WHERE IDNTF = @SYS_NTF"_s;
        const QString insert = u"INSERT INTO SYS_NTT (IDNTF, NTFLD, NTVAL) SELECT @SYS_NTF, "_s;
        QTest::newRow("nothing to rewrite")
            << u"SELECT 1\rFROM X"_s << true << batchOf({notification, deletion}, u"SELECT 1\rFROM X"_s);
        QTest::newRow("results kept") << u"SELECT 1"_s << false << batchOf({notification}, u"SELECT 1"_s);
        // Literals and comments are rewritten as the rest; what is used twice is declared once.
        QTest::newRow("parameters and labels")
            << u"SELECT(Cliente) C.CORAS -- sopra [@5@]\rFROM A01_CON_TRO C\rWHERE C.COLOC = '[@7@]' AND "
               "C.CDAGE = [@5@]\rUNION SELECT(Cliente) 'it''s' /* SELECT(Nota) */"_s
            << true
            << batchOf({notification,
                        u"DECLARE @SYS_NTG_5 NVARCHAR(4000)\tSET @SYS_NTG_5 = dbo.A01_XFN_SYS_NTG_GET(5)"_s,
                        u"DECLARE @SYS_NTG_7 NVARCHAR(4000)\tSET @SYS_NTG_7 = dbo.A01_XFN_SYS_NTG_GET(7)"_s,
                        u"DECLARE @1 NVARCHAR(255)\tSET @1 = 'Cliente'"_s,
                        u"DECLARE @2 NVARCHAR(255)\tSET @2 = 'Nota'"_s, deletion},
                       insert +
                           u"@1, C.CORAS -- sopra @SYS_NTG_5\rFROM A01_CON_TRO C\rWHERE C.COLOC = '@SYS_NTG_7' "
                           "AND C.CDAGE = @SYS_NTG_5\rUNION "_s +
                           insert + u"@1, 'it''s' /* "_s + insert + u"@2, */"_s);
        QTest::newRow("label to the end of the text")
            << u"SELECT(Aperta"_s << true
            << batchOf({notification, u"DECLARE @1 NVARCHAR(255)\tSET @1 = 'Aperta'"_s, deletion}, u"SELECT(Aperta"_s);
    }
    void batch()
    {
        QFETCH(QString, query);
        QFETCH(bool, deleteResults);
        QFETCH(QString, expected);
        clsSYS_NTF notification(session().errors());
        QCOMPARE(notification.ParseQuery(query, 12, u"A01"_s, deleteResults), expected);
        QVERIFY(reports().isEmpty());
    }

    // Texts that would put the user's text into the batch as SQL: nothing
    // is made, and the reason is reported.
    void batchRefusals_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unclosed reference") << u"SELECT X WHERE Y = [@5"_s << u"A01"_s << u"no closing \"@]\""_s;
        QTest::newRow("quote in a label")
            << u"SELECT(L'importo) DTTOT; DROP TABLE SYS_USR --)"_s << u"A01"_s << u"single quote"_s;
        QTest::newRow("parameter by name")
            << u"WHERE X = [@soglia; DROP TABLE SYS_USR@]"_s << u"A01"_s << u"by its number"_s;
        QTest::newRow("no company") << u"WHERE X = [@5@]"_s << QString() << u"company code"_s;
    }
    void batchRefusals()
    {
        QFETCH(QString, query);
        QFETCH(QString, company);
        QFETCH(QString, reason);
        clsSYS_NTF notification(session().errors());
        QCOMPARE(notification.ParseQuery(query, 1, company, true), QString());
        QCOMPARE(reports().size(), 1);
        QVERIFY2(reports().first().description.contains(reason), qPrintable(reports().first().description));
        QCOMPARE(reports().first().procedure, u"ParseQuery"_s);
    }

    void searchCfgParsKeepsFoundOnFailure()
    {
        clsSYS_NTF notification(session().errors());
        QStringList found{u"@SYS_NTG_7"_s};
        QCOMPARE(notification.SearchCfgPars(u"[@5@] [@7@] [@5@]"_s, &found),
                 (QStringList{u"@SYS_NTG_7"_s, u"@SYS_NTG_5"_s}));
        QCOMPARE(notification.SearchCfgPars(u"[@9@] [@8"_s, &found), QStringList());
        QCOMPARE(found, (QStringList{u"@SYS_NTG_7"_s, u"@SYS_NTG_5"_s}));
    }

    // Keys as column letters after the greatest key (the longest, then the
    // last as text); 27 conditions end with "AA".
    void keys_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("next");
        QTest::newRow("one letter") << QStringList{u"C"_s} << u"D"_s;
        QTest::newRow("after Z") << QStringList{u"Z"_s} << u"AA"_s;
        QTest::newRow("two letters") << QStringList{u"AB"_s} << u"AC"_s;
        QTest::newRow("carry") << QStringList{u"AZ"_s} << u"BA"_s;
        QTest::newRow("after ZZ") << QStringList{u"ZZ"_s} << u"AAA"_s;
        QTest::newRow("carry twice") << QStringList{u"AZZ"_s} << u"BAA"_s;
        QTest::newRow("longer ranks above") << QStringList{u"Z"_s, u"AA"_s, u"Y"_s} << u"AB"_s;
    }
    void keys()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, next);
        clsSYS_NTF sequence;
        QStringList given;
        for (int i = 0; i < 27; ++i) {
            sequence.AddCondition(std::make_shared<clsSYS_NTC>());
            given << sequence.NewEnum().last()->Key();
        }
        QCOMPARE(given.first(), u"A"_s);
        QCOMPARE(given.mid(25), (QStringList{u"Z"_s, u"AA"_s}));
        clsSYS_NTF notification;
        for (const QString &key : existing) {
            notification.AddCondition(std::make_shared<clsSYS_NTC>());
            notification.NewEnum().last()->setKey(key);
        }
        notification.AddCondition(std::make_shared<clsSYS_NTC>());
        QCOMPARE(notification.NewEnum().last()->Key(), next);
    }

    // Relations name conditions by ID: a stored ID replacing a temporary
    // one follows into them, a removed condition shows as "?".
    void relationsFollowTheirConditions()
    {
        clsSYS_NTF notification(session().errors());
        auto a = condition(notField, u"COLOC"_s, u"="_s, notValue, u"Milano"_s);
        auto b = condition(notField, u"CDAGE"_s, u"="_s, notValue, u"AG01"_s);
        notification.AddCondition(a);
        notification.AddCondition(b);
        QCOMPARE(b->ID(), -2);
        auto both = condition(notCondition, u"-1"_s, u"AND"_s, notCondition, u"-2"_s, true);
        auto value = condition(notValue, u"-2"_s, u"="_s, notValue, u"-2"_s, true);
        notification.AddCondition(both);
        notification.AddCondition(value);
        b->setID(57);
        b->setID(60);
        QCOMPARE(b->ID(), 57);
        QCOMPARE(both->Op2(), u"57"_s);
        QCOMPARE(value->Op1(), u"-2"_s);
        qint32 level = 0;
        QCOMPARE(both->Formula(true, level), u"(A AND B)"_s);
        QCOMPARE(level, 2);
        QCOMPARE(both->Formula(false, level), u"(-1 AND 57)"_s);
        auto either = condition(notCondition, QString::number(both->ID()), u"OR"_s, notCondition, u"-1"_s);
        notification.AddCondition(either);
        QCOMPARE(either->Formula(true, level), u"((A AND B) OR A)"_s);
        QCOMPARE(either->Level(), 3);
        QVERIFY(notification.RemoveCondition(-1));
        QVERIFY(!notification.RemoveCondition(-1));
        QVERIFY(!a->Notification());
        QCOMPARE(both->Formula(true, level), u"(? AND B)"_s);
        QCOMPARE(notification.activeConditions(), clsSYS_NTF::Conditions{value});
        both->setOp1(QString::number(either->ID())); // a relation that reaches itself
        QCOMPARE(either->Formula(true, level), QString());
        QCOMPARE(reports().size(), 1);
    }

    // The rules in order, each refusing with its message and storing
    // nothing; an accepted notification is stored as the editor prepares it.
    void validation_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("conditions");  // 0 none, 1 selected, 2 not selected, 3 a relation to one removed
        QTest::addColumn<QString>("message"); // empty: saved
        QTest::addColumn<QString>("field");
        const QString query = u"SELECT(Totale) DTTOT FROM A01_DOC_VEN WHERE DTTOT > [@1@]"_s;
        const auto row = [](const char *name, int type, const char *description, const char *recipients,
                            const char *table, const QString &query, int conditions, const char *message,
                            const char *field) {
            QTest::newRow(name) << type << QString::fromUtf8(description) << QString::fromUtf8(recipients)
                                << QString::fromUtf8(table) << query << conditions << QString::fromUtf8(message)
                                << QString::fromUtf8(field);
        };
        row("on a table", 1, "Prova", "rossi", "CON_TRO", query, 1, "", "");
        row("generic", 0, "Prova", "rossi", "", query, 1, "", "");
        row("no description", 1, "  ", "ROSSI", "CON_TRO", {}, 1, "Inserire una descrizione!", "NTDES");
        row("no recipients", 1, "Prova", "", "CON_TRO", {}, 1, "Inserire almeno un destinatario", "NTREC");
        row("unknown recipient", 1, "Prova", "ROSSI; nessuno", "CON_TRO", {}, 1, "Lista destinatari non valida!",
            "NTREC");
        row("e-mail recipient", 1, "Prova", "x@y.example.it", "CON_TRO", {}, 1, "Lista destinatari non valida!",
            "NTREC");
        row("no table", 1, "Prova", "ROSSI", "", {}, 1, "Inserire una tabella!", "NTTBL");
        row("no condition", 1, "Prova", "ROSSI", "CON_TRO", {}, 0, "Inserire almeno una condizione!", "gridCond_Ana");
        row("none selected", 1, "Prova", "ROSSI", "CON_TRO", {}, 2, "Attivare almeno una condizione!", "gridCond_Sel");
        row("relation to a removed condition", 1, "Prova", "ROSSI", "CON_TRO", {}, 3, "Attivare almeno una condizione!",
            "gridCond_Sel");
        row("generic without query", 0, "Prova", "ROSSI", "", u" "_s, 0, "Inserire la query di notifica!", "NTQRY");
        row("generic, quote in a label", 0, "Prova", "ROSSI", "", u"SELECT(L'importo) DTTOT"_s, 0,
            "La query di notifica non è valida!", "NTQRY");
    }
    void validation()
    {
        QFETCH(int, type);
        QFETCH(QString, description);
        QFETCH(QString, recipients);
        QFETCH(QString, table);
        QFETCH(QString, query);
        QFETCH(int, conditions);
        QFETCH(QString, message);
        QFETCH(QString, field);
        const qint64 before = count(u"SELECT COUNT(*) FROM SYS_NTF"_s);
        Editor editor(session());
        editor.record->newRecord(nullptr, false, false);
        NotificationWindowController &form = editor.form;
        for (const auto &[column, value] : QList<QPair<QString, QVariant>>{
                 {u"NTTIP"_s, type}, {u"NTDES"_s, description}, {u"NTREC"_s, recipients}, {u"NTQRY"_s, query}})
            form.setField(column, value);
        form.changeTable(table);
        if (conditions > 0)
            form.Notification().AddCondition(
                condition(notField, u"COLOC"_s, u"="_s, notValue, u"Milano"_s, conditions == 1));
        if (conditions == 3) {
            form.Notification().AddCondition(condition(notCondition, u"-1"_s, u"AND"_s, notCondition, u"-1"_s, true));
            form.Notification().RemoveCondition(-1);
        }
        const bool saved = editor.record->save();
        QCOMPARE(saved, message.isEmpty());
        const auto boxes = texts().shownBoxes();
        QCOMPARE(boxes.size(), message.isEmpty() ? 0 : 1);
        QCOMPARE(count(u"SELECT COUNT(*) FROM SYS_NTF"_s), before + (saved ? 1 : 0));
        if (!saved) {
            QCOMPARE(boxes.first().text, message);
            QCOMPARE(form.invalidField(), field);
            return;
        }
        const QString key = editor.record->recordKey();
        const auto row = session().connection()->query(
            u"SELECT NTREC, NTQRY, NTQRF, NTEXE, NTUPD, CDAZI FROM SYS_NTF WHERE RECORD_ID = "_s + key);
        const QVariantList stored = row.rows.first();
        QCOMPARE(stored.at(0).toString(), u"Mario Rossi <ROSSI>"_s);
        QCOMPARE(stored.at(4).toInt(), 0);
        QCOMPARE(stored.at(5).toString(), u"A01"_s);
        // A generic one drops its conditions and runs on insert; its batch names its key.
        clsSYS_NTF model;
        QCOMPARE(stored.at(1).toString(), type == 0 ? query : QString());
        QCOMPARE(stored.at(2).toString(), type == 0 ? model.ParseQuery(query, key.toInt(), u"A01"_s, true) : QString());
        QCOMPARE(count(u"SELECT COUNT(*) FROM SYS_NTC WHERE IDNTF = "_s + key), type == 0 ? 0 : 1);
    }

    // Notification 3, made active: its table cannot change; a saved change
    // asks the server to reload it; new conditions get stored IDs before the
    // relations naming them are written; generic, it loses its conditions.
    void savingAnActiveNotification()
    {
        session().connection()->query(u"UPDATE SYS_NTF SET NTUPD = 1 WHERE RECORD_ID = 3"_s);
        Editor editor(session());
        editor.edit(3);
        NotificationWindowController &form = editor.form;
        QVERIFY(!form.mayChangeTable());
        QCOMPARE(texts().shownBoxes().value(0).text,
                 u"Impossibile modificare la tabella di una notifica non disattiva.\r\nImpostare la notifica a \"Da "
                 "Disattivare\" e attendere che il server di notifica la elabori."_s);
        auto added = condition(notField, u"DTCON"_s, u"="_s, notValue, u"C000001"_s);
        form.Notification().AddCondition(added);
        const QString first = QString::number(form.Notification().ConditionFromKey(u"A"_s)->ID());
        form.Notification().AddCondition(
            condition(notCondition, first, u"OR"_s, notCondition, QString::number(added->ID()), true));
        QVERIFY(editor.record->save());
        QCOMPARE(count(u"SELECT NTUPD FROM SYS_NTF WHERE RECORD_ID = 3"_s), 11);
        const auto relation =
            session().connection()->query(u"SELECT NCV1C, NCV2C, NCLEV FROM SYS_NTC WHERE IDNTF = 3 AND NCV1T = 3"_s);
        QCOMPARE(relation.rows.first(), (QVariantList{first, QString::number(added->ID()), 2}));
        QVERIFY(added->ID() > 0);

        editor.record->setChanged(true);
        form.setField(u"NTTIP"_s, 0);
        form.setField(u"NTQRY"_s, u"SELECT(Totale) DTTOT FROM A01_DOC_VEN"_s);
        QVERIFY(editor.record->save());
        QCOMPARE(count(u"SELECT COUNT(*) FROM SYS_NTC WHERE IDNTF = 3"_s), 0);
        QCOMPARE(count(u"SELECT NTEXE FROM SYS_NTF WHERE RECORD_ID = 3"_s), 1);
    }

    // The chooser of the table asks first when conditions exist, which a
    // new table drops.
    void changingTheTable_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("chosen"); // empty: the chooser is cancelled
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("conditions");
        QTest::newRow("kept on No") << int(host::mbNo) << u"DOC_VEN"_s << u"CON_TRO"_s << 1;
        QTest::newRow("dropped with the table") << int(host::mbYes) << u"DOC_VEN"_s << u"DOC_VEN"_s << 0;
        QTest::newRow("the same table") << int(host::mbYes) << u"CON_TRO"_s << u"CON_TRO"_s << 1;
        QTest::newRow("chooser cancelled") << int(host::mbYes) << QString() << u"CON_TRO"_s << 1;
    }
    void changingTheTable()
    {
        QFETCH(int, answer);
        QFETCH(QString, chosen);
        QFETCH(QString, table);
        QFETCH(int, conditions);
        Editor editor(session());
        editor.record->newRecord(nullptr, false, false);
        editor.form.changeTable(u"CON_TRO"_s);
        editor.form.Notification().AddCondition(condition(notField, u"COLOC"_s, u"="_s, notValue, u"Milano"_s));
        editor.form.RefreshGridCond();
        auto chooser = std::dynamic_pointer_cast<suite::ScriptedInteraction>(session().records()->interaction());
        if (!chosen.isEmpty() && answer == host::mbYes)
            chooser->queueChosenRecord(host::ChosenRecord{chosen, chosen});
        texts().queueAnswers({answer});
        editor.form.cmdDbTable();
        QCOMPARE(editor.form.field(u"NTTBL"_s).toString(), table);
        QCOMPARE(editor.form.Notification().ConditionCount(), conditions);
        QCOMPARE(texts().shownBoxes().value(0).text,
                 u"Modificando la tabella scelta verranno eliminate tutte le condizioni già inserite.\r\n"
                 "Continuare comunque?"_s);
        const auto calls = chooser->calls(u"chooseRecord"_s);
        QCOMPARE(calls.size(), answer == host::mbYes ? 1 : 0);
        if (!calls.isEmpty())
            QCOMPARE(calls.first().arguments.value(2).toString(), u"LEN(TBNAM) = 7 AND TBUSV = 1"_s);
        chooser->clearCalls();
    }

    // Which state commands a state offers, and whether the record may be
    // edited at all.
    void stateCommands_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<bool>("activate");
        QTest::addColumn<bool>("deactivate");
        QTest::newRow("inactive") << 0 << true << true << false;
        QTest::newRow("to deactivate") << 10 << true << true << false;
        QTest::newRow("active") << 1 << true << false << true;
        QTest::newRow("to activate") << 11 << true << false << true;
        QTest::newRow("server working") << 12 << false << false << false;
    }
    void stateCommands()
    {
        QFETCH(int, state);
        QFETCH(bool, editable);
        QFETCH(bool, activate);
        QFETCH(bool, deactivate);
        session().connection()->query(u"UPDATE SYS_NTF SET NTUPD = %1 WHERE RECORD_ID = 1"_s.arg(state));
        Editor editor(session());
        editor.edit(1);
        QCOMPARE(editor.record->recordStatus() == host::rsEditing, editable);
        QCOMPARE(editor.record->isCommandEnabled(1026), editable);
        QHash<qint32, bool> offered;
        for (const auto &command : editor.form.commands())
            offered.insert(command.id, command.enabled);
        QCOMPARE(offered.value(cmdActivateNotification), activate);
        QCOMPARE(offered.value(cmdDeactivateNotification), deactivate);
        if (activate || deactivate) {
            QVERIFY(editor.form.runCommand(activate ? cmdActivateNotification : cmdDeactivateNotification));
            QVERIFY(editor.record->save());
        }
        const int expected = activate ? ntsToActivate : deactivate ? ntsToDeactivate : state;
        QCOMPARE(count(u"SELECT NTUPD FROM SYS_NTF WHERE RECORD_ID = 1"_s), expected);
    }

    // The file, byte for byte; read into another company, with the
    // parameter under its new key and the relation on the new conditions.
    void exportImportRoundTrip()
    {
        session().connection()->nativeQuery(u"UPDATE SYS_NTF SET NTNOT = ?, NTSUB = ? WHERE RECORD_ID = 2"_s,
                                            {u"  Riga uno\r\n\r\nRiga tre\nfine  "_s, u"Da A01_CON_TRO e X_A01"_s});
        const QString ctc = u"NCV1T=1\r\nNCOPE==\r\n"_s;
        const QString expected =
            u"[SYS_NTF]=2\r\nCDAZI=A01\r\nNTTIP=1\r\nNTEXE=1\r\nNTDES=Nuovo cliente di Milano\r\n"
            "NTNOT=Riga uno\x01\x01Riga tre\x01"
            "fine\r\nNTTBL=CON_TRO\r\nNTQRY=\r\nNTSUB=Da A01_CON_TRO e X_A01\r\n"
            "[SYS_NTC]=1\r\nNCSEL=0\r\nNCDES=Cliente di Milano\r\nNCV1C=COLOC\r\n"_s +
            ctc +
            u"NCV2C=Milano\r\nNCV2T=0\r\nNCIMP=1\r\nNCNOT=0\r\n[SYS_NTC]=2\r\nNCSEL=0\r\nNCDES=Agente di zona\r\n"
            "NCV1C=CDAGE\r\n"_s +
            ctc +
            u"NCV2C=[@2@]\r\nNCV2T=0\r\nNCIMP=1\r\nNCNOT=0\r\n[SYS_NTC]=3\r\nNCSEL=-1\r\nNCDES=A AND B\r\n"
            "NCV1C=1\r\nNCV1T=3\r\nNCOPE=AND\r\nNCV2C=2\r\nNCV2T=3\r\nNCIMP=1\r\nNCNOT=0\r\n"
            "[SYS_NTG]=2\r\nNGDES=Agente di zona\r\nNGVAL=AG01\r\n"_s;
        const QByteArray file = exported(2);
        QCOMPARE(file, utf16(expected));

        auto other = m_suite->openAs(u"VERDI"_s, u"A02"_s);
        Editor editor(*other);
        editor.record->newRecord(nullptr, false, false);
        QVERIFY(editor.form.importNotification(m_suite->folder() + u"/2.qdn"_s));
        const QString parameter = m_suite->scalar(u"SELECT MAX(RECORD_ID) FROM SYS_NTG"_s).toString();
        QCOMPARE(m_suite->scalar(u"SELECT CDAZI FROM SYS_NTG WHERE RECORD_ID = "_s + parameter).toString(), u"A02"_s);
        NotificationWindowController &form = editor.form;
        QCOMPARE(form.field(u"CDAZI"_s).toString(), u"A02"_s);
        QCOMPARE(form.field(u"NTNOT"_s).toString(), u"Riga uno\r\n\r\nRiga tre\r\nfine"_s);
        QCOMPARE(form.field(u"NTSUB"_s).toString(), u"Da A02_CON_TRO e X_A02"_s);
        const auto zone = form.Notification().ConditionFromKey(u"B"_s);
        QCOMPARE(zone->Op2(), u"[@%1@]"_s.arg(parameter));
        qint32 level = 0;
        QCOMPARE(form.Notification().ConditionFromKey(u"C"_s)->Formula(false, level), u"(-1 AND -2)"_s);
        form.setField(u"NTREC"_s, u"ROSSI"_s);
        QVERIFY(editor.record->save());
        const QString key = editor.record->recordKey();
        QCOMPARE(count(u"SELECT COUNT(*) FROM SYS_NTC WHERE IDNTF = "_s + key), 3);
        QCOMPARE(m_suite->scalar(u"SELECT NCV2C FROM SYS_NTC WHERE IDNTF = %1 AND NCV1T = 3"_s.arg(key)).toString(),
                 QString::number(zone->ID()));
    }

    // A file the export would not write is refused whole: no parameter
    // inserted, nothing filled in.
    void brokenImports_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray file = exported(1);
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        const QString text = decoder(file.mid(2));
        const QString withoutParameter = text.left(text.indexOf(u"[SYS_NTG]"_s));
        QTest::newRow("half a character") << file.chopped(1) << u"within a character"_s;
        QTest::newRow("half a line") << file.chopped(4) << u"does not end with CR LF"_s;
        QTest::newRow("half a section") << utf16(text.left(text.indexOf(u"NGDES"_s))) << u"has no NGDES"_s;
        QTest::newRow("parameter lost") << utf16(withoutParameter) << u"does not carry it"_s;
        QTest::newRow("UTF-8") << text.toUtf8() << u"not UTF-16"_s;
        QTest::newRow("no byte-order mark") << file.mid(2) << u"not UTF-16"_s;
        QTest::newRow("unknown key") << utf16(QString(text).replace(u"NTTIP="_s, u"NTFOO=1\r\nNTTIP="_s))
                                     << u"\"NTFOO\" where NTTIP was expected"_s;
        QTest::newRow("not a number") << utf16(QString(text).replace(u"NTTIP=0"_s, u"NTTIP=uno"_s))
                                      << u"NTTIP needs a whole number"_s;
    }
    void brokenImports()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString path = m_suite->folder() + u"/broken.qdn"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const qint64 parameters = count(u"SELECT COUNT(*) FROM SYS_NTG"_s);
        Editor editor(session());
        editor.record->newRecord(nullptr, false, false);
        QVERIFY(!editor.form.importNotification(path));
        QCOMPARE(reports().size(), 1);
        QVERIFY2(reports().first().description.contains(reason), qPrintable(reports().first().description));
        QCOMPARE(count(u"SELECT COUNT(*) FROM SYS_NTG"_s), parameters);
        QVERIFY(editor.form.field(u"NTDES"_s).toString().isEmpty());
    }

    // Without a company the texts stay as they are, and the user is told.
    void importWithoutCompany()
    {
        session().connection()->nativeQuery(u"UPDATE SYS_NTF SET NTSUB = ? WHERE RECORD_ID = 2"_s,
                                            {u"Da A01_CON_TRO e X_A01"_s});
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        const QString text = decoder(exported(2).mid(2));
        const QString path = m_suite->folder() + u"/nocompany.qdn"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(utf16(QString(text).replace(u"CDAZI=A01"_s, u"CDAZI="_s)));
        file.close();
        Editor editor(session());
        editor.record->newRecord(nullptr, false, false);
        QVERIFY(editor.form.importNotification(path));
        QCOMPARE(editor.form.field(u"NTSUB"_s).toString(), u"Da A01_CON_TRO e X_A01"_s);
        QCOMPARE(editor.form.field(u"CDAZI"_s).toString(), u"A01"_s);
        QCOMPARE(texts().shownBoxes().size(), 1);
    }

    // Killed again and again while it works, the server still sends one
    // message per matching change: 1,000 new customers, half of them of
    // Milan (the demo's notification 2). A second server is refused while
    // one runs, never after one was killed. On a database of its own: the
    // last test, as it installs its suite's services.
    void serverSurvivesKills()
    {
        const testing::DemoSuite suite;
        auto &connection = *suite.session().connection();
        QStringList rows;
        for (int i = 0; i < 1000; ++i)
            rows << u"('K%1', 'Cliente %1', '%2', 'AG01')"_s.arg(i).arg(i % 2 ? u"Roma"_s : u"Milano"_s);
        connection.nativeQuery(u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC, CDAGE) VALUES "_s + rows.join(u", "_s));
        const auto changesLeft = [&] { return suite.scalar(u"SELECT COUNT(*) FROM SYS_NTL"_s).toInt(); };
        QCOMPARE(changesLeft(), 1000);
        const QString program = qEnvironmentVariable("MRV_BIN") + u"/mrv"_s;
        const QStringList database{suite::db::SuiteConnection::isServerLocation(suite.databasePath()) ? u"--url"_s
                                                                                                      : u"--db"_s,
                                   suite.databasePath()};
        for (int kill = 0; kill < 8; ++kill) {
            QProcess server;
            server.start(program, database + QStringList{u"notify-server"_s, u"--interval"_s, u"0.05"_s});
            QVERIFY(server.waitForStarted());
            if (kill == 0) { // two servers would each send a change's messages
                QTRY_VERIFY_WITH_TIMEOUT(changesLeft() < 1000, 20000);
                QProcess second;
                second.start(program, database + QStringList{u"notify-server"_s, u"--once"_s});
                QVERIFY(second.waitForFinished(30000));
                QCOMPARE(second.exitCode(), 1);
                QVERIFY(second.readAllStandardError().contains("another notification server"));
            }
            QTest::qWait(150 + 97 * kill % 200);
            server.kill();
            server.waitForFinished();
        }
        QProcess last;
        last.start(program, database + QStringList{u"notify-server"_s, u"--once"_s});
        QVERIFY(last.waitForFinished(60000));
        QCOMPARE(last.exitCode(), 0);
        QCOMPARE(changesLeft(), 0);
        QCOMPARE(suite.scalar(u"SELECT COUNT(*) FROM SYS_MSG WHERE MSFLD = 2"_s).toInt(), 500);
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "tst_notifications.moc"
