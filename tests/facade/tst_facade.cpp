#include "DemoSuite.h"
#include "IdleWindow.h"
#include "db/SuiteConnection.h"
#include "facade/Factories.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/Windows.h"
#include "facade/mrvMessage.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteDataBound.h"
#include "services/SuiteSession.h"

#include <QTest>

#include <stdexcept>

using namespace mrv;

namespace {

// Every call a fake window or class receives, in order.
QStringList calls;

// Notes a call with its arguments and gives the fake's answer.
template <typename Answer = bool> Answer logged(const char *call, const QVariantList &arguments, Answer answer = {})
{
    QStringList texts;
    for (const QVariant &argument : arguments)
        texts << argument.toString();
    calls << (arguments.isEmpty() ? QString::fromLatin1(call)
                                  : QString::fromLatin1(call) + '(' + texts.join(',') + ')');
    return answer;
}

// Answers the fakes give, set by each test.
struct Script
{
    bool openMessage = true;
    const ComponentWindow *refusingToUnload = nullptr;
    bool selectTemplate = true;
    qint32 chosenTemplate = 0;
    qint32 templateFields = 1;
    QString linkEmail;
    bool linkFax = false;
    bool showConfig = false;
} script;

template <typename Base> class FakeHosted : public Base
{
public:
    void setErrors(std::shared_ptr<host::Errors>) override { logged("setErrors", {}); }
    void setRecords(std::shared_ptr<host::Records>) override { logged("setRecords", {}); }
};

template <typename Base> class FakeWindow : public FakeHosted<Base>
{
public:
    bool isEnabled() const override { return true; }
    void focus() override { logged("focus", {this->tag()}); }
    void hide() override {}
    bool unload() override
    {
        if (this == script.refusingToUnload)
            return false;
        WindowRegistry::instance().remove(this);
        return true;
    }
    // Notes the call and, when the window opened, tags it for reuse.
    bool opened(const char *call, const QVariantList &arguments, const QString &tag, bool opens = true)
    {
        if (opens)
            this->setTag(tag);
        return logged(call, arguments, opens);
    }
};

template <typename Base> class FakeListedWindow : public FakeWindow<Base>
{
public:
    void setViewName(const QString &v) override { logged("setViewName", {v}); }
    void setBookmark(const QVariant &v) override { logged("setBookmark", {v}); }
    void setFilterQuery(const QString &v) override { logged("setFilterQuery", {v}); }
    void setOrderBy(const QString &v) override { logged("setOrderBy", {v}); }
};

class FakeMessageWindow : public FakeListedWindow<MessageWindow>
{
public:
    void CreateMessage(QWidget *, qint32 type, const QString &to, const QString &link, const QString &path,
                       qint32 id) override
    {
        logged("CreateMessage", {type, to, link, path, id});
    }
    bool OpenMessage(QWidget *, const QString &id, qint32 type, const QVariant &) override
    {
        return opened("OpenMessage", {id, type}, "SYS_MSG|" + id, script.openMessage);
    }
};

class FakeFaxWindow : public FakeListedWindow<FaxWindow>
{
public:
    void OpenFax(QWidget *, const QString &key) override { opened("OpenFax", {key}, "SYS_FAX|" + key); }
};

class FakeHistoryWindow : public FakeWindow<HistoryWindow>
{
public:
    bool ShowHistory(QWidget *, const QString &table, const QString &key, const QString &view,
                     const QString &text) override
    {
        return opened("ShowHistory", {table, key, view, text}, "frm_mrvHistory|" + table + '|' + key);
    }
};

class FakeAddressBook : public FakeWindow<AddressBookWindow>
{
public:
    void ShowAddressBook(QWidget *) override {}
    QString SelectAddressBook(QWidget *, const QString &, const QString &) override { return {}; }
    QString CheckRecipients(QWidget *, const QString &, const QString &) override { return {}; }
    bool SelectRecipients(QWidget *, QString &to, QString &cc, QString &ccn, qint32 field, bool email, bool fax,
                          bool server, bool toOnly, const QString &customer) override
    {
        logged("SelectRecipients", {to, cc, ccn, field, email, fax, server, toOnly, customer});
        to += QStringLiteral("; VERDI");
        cc = QStringLiteral("x@y.it");
        ccn.clear();
        return true;
    }
};

class FakeLinkWindow : public FakeWindow<CustomerLinkWindow>
{
public:
    QString LinkEmail(QWidget *, const QString &address) override
    {
        return logged("LinkEmail", {address}, script.linkEmail);
    }
    bool LinkFax(QWidget *, const QString &number, const QString &customer) override
    {
        return logged("LinkFax", {number, customer}, script.linkFax);
    }
};

class FakeTemplateSelect : public FakeWindow<TemplateSelectWindow>
{
public:
    bool SelectTemplate(QWidget *, const QString &table, qint32 &id) override
    {
        logged("SelectTemplate", {table, std::exchange(id, script.chosenTemplate)});
        return script.selectTemplate;
    }
};

class FakeFields : public TemplateFieldsObject
{
public:
    qint32 Count() const override { return script.templateFields; }
};

class FakeTemplate : public FakeHosted<TemplateObject>
{
public:
    std::shared_ptr<TemplateFieldsObject> ParseFromList(qint32 id, const QString &table, const QString &keys,
                                                        const QString &separator) override
    {
        return logged<std::shared_ptr<TemplateFieldsObject>>("ParseFromList", {id, table, keys, separator},
                                                             std::make_shared<FakeFields>());
    }
    void ShowPreview(QWidget *, std::shared_ptr<TemplateFieldsObject>, qint32 mode, const QString &files) override
    {
        logged("ShowPreview", {mode, files});
    }
};

class FakeEmailParams : public FakeHosted<EmailParamsObject>
{
public:
    void LoadConfig(const QString &prefix) override { logged("LoadConfig", {prefix}); }
    bool ShowConfig(QWidget *) override { return logged("ShowConfig", {}, script.showConfig); }
    void SaveConfig(const QString &prefix, const QString &flag) override { logged("SaveConfig", {prefix, flag}); }
};

class FakeDataBoundWindow : public testing::IdleWindow<DataBoundWindow>
{
public:
    QVariantMap boundValues() const override { return {}; }
    void setBoundValues(const QVariantMap &) override {}
};

// Notes the setting in the call log, then hands it on.
#define NOTED_SETTING(Setter, Type)                                                                                    \
    void Setter(Type value) override                                                                                   \
    {                                                                                                                  \
        calls << QStringLiteral(#Setter) + shown(value);                                                               \
        SuiteDataBound::Setter(value);                                                                                 \
    }

// A record controller that notes the settings it receives, in order: texts
// and values as they are, host objects and the form by name only.
class RecordingDataBound : public suite::SuiteDataBound
{
public:
    NOTED_SETTING(setConnection, std::shared_ptr<host::Connection>)
    NOTED_SETTING(setConfigClass, std::shared_ptr<host::ConfigClass>)
    NOTED_SETTING(setUserManager, std::shared_ptr<host::UserManager>)
    NOTED_SETTING(setRecords, std::shared_ptr<host::Records>)
    NOTED_SETTING(setErrors, std::shared_ptr<host::Errors>)
    NOTED_SETTING(setTableName, const QString &)
    NOTED_SETTING(setViewName, const QString &)
    NOTED_SETTING(setFixedKey, const QString &)
    NOTED_SETTING(setProductName, const QString &)
    NOTED_SETTING(setFilterQuery, const QString &)
    NOTED_SETTING(setOrderBy, const QString &)
    NOTED_SETTING(setBookmark, const QVariant &)
    NOTED_SETTING(setKeepBookmark, bool)
    NOTED_SETTING(setForm, host::DataBoundForm *)
    void setParam(qint32 index, const QVariant &value) override
    {
        calls << QStringLiteral("setParam%1").arg(index) + shown(value);
        SuiteDataBound::setParam(index, value);
    }

private:
    static QString shown(const QString &value) { return '=' + value; }
    static QString shown(const QVariant &value) { return '=' + value.toString(); }
    static QString shown(bool value) { return '=' + QString::number(value); }
    template <typename HostObject> static QString shown(const HostObject &) { return {}; }
};

class RecordingRecords : public suite::SuiteRecords
{
public:
    using SuiteRecords::SuiteRecords;
    std::shared_ptr<host::DataBound> newDataBound() override { return std::make_shared<RecordingDataBound>(); }
};

template <typename Fake> std::unique_ptr<ComponentObject> made()
{
    return std::make_unique<Fake>();
}

// Every fake by the name the facade asks its factory for.
QList<QPair<QString, Factories::Factory>> fakes()
{
    return {{MessageWindow::factoryName(), made<FakeMessageWindow>},
            {FaxWindow::factoryName(), made<FakeFaxWindow>},
            {HistoryWindow::factoryName(), made<FakeHistoryWindow>},
            {AddressBookWindow::factoryName(), made<FakeAddressBook>},
            {CustomerLinkWindow::factoryName(), made<FakeLinkWindow>},
            {TemplateSelectWindow::factoryName(), made<FakeTemplateSelect>},
            {TemplateObject::factoryName(), made<FakeTemplate>},
            {EmailParamsObject::factoryName(), made<FakeEmailParams>},
            {"frmSYS_NTF", made<FakeDataBoundWindow>},
            {"frmSYS_NTG", made<FakeDataBoundWindow>},
            {"frmSYS_MST", made<FakeDataBoundWindow>},
            {"frmSYS_DAT", made<FakeDataBoundWindow>}};
}

using FacadeCall = std::function<bool(mrvMessage &)>;

} // namespace

Q_DECLARE_METATYPE(FacadeCall)
Q_DECLARE_METATYPE(Factories::Factory)

// The facade: the table-to-window map, the reuse rule, the order in which
// context reaches a window, and the operations that work on the database.
class FacadeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    mrvMessage *m_message = nullptr;

    suite::SuiteErrors &errors() { return *m_suite->session().errors(); }
    QStringList reportedProcedures()
    {
        QStringList procedures;
        for (const auto &report : errors().recentReports())
            procedures << report.object + QLatin1Char('.') + report.procedure + QStringLiteral(": ") +
                              report.description;
        return procedures;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_message = m_suite->session().message().get();
        m_message->setViewName(QStringLiteral("SYS_MSG_INB"));
        m_message->setBookmark(7);
        m_message->setFilterQuery(QStringLiteral("MSFLD = 1"));
        m_message->setOrderBy(QStringLiteral("MSDTS DESC"));
        m_message->setFixedKey(QStringLiteral("FK"));
        const QString branch =
            m_suite->scalar(QStringLiteral("SELECT TOP 1 RECORD_ID FROM A01_CON_SED WHERE CDCON = 'C000003'"))
                .toString();
        m_suite->session().connection()->execute(
            QStringLiteral("INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) VALUES "
                           "('CON_SED', '%1', 'E', '@ Magazzino', 'magazzino@c3.example')")
                .arg(branch));
    }

    void init()
    {
        for (const auto &[name, factory] : fakes())
            Factories::add(name, factory);
        script = Script();
        calls.clear();
        errors().clearRecentReports();
        m_message->setParam1(QString());
        m_message->setParam2(QString());
        m_message->setParam3(QString());
    }

    void cleanup()
    {
        script.refusingToUnload = nullptr;
        m_message->UnloadForms();
    }

    // Whatever a window's factory throws, or when nobody registered one,
    // the operation reports it under its name and fails.
    void failuresAreReportedNotThrown_data()
    {
        QTest::addColumn<Factories::Factory>("factory");
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<FacadeCall>("fails");
        QTest::addColumn<QString>("description");
        const FacadeCall newRecord = [](mrvMessage &m) {
            return m.NewRecord(nullptr, QStringLiteral("SYS_MSG")).isEmpty();
        };
        QTest::newRow("no message window")
            << Factories::Factory() << "NewRecord" << newRecord << "The window frmSYS_MSG is not available";
        QTest::newRow("no data-bound window") << Factories::Factory() << "OpenRecord" << FacadeCall([](mrvMessage &m) {
            return !m.OpenRecord(nullptr, QStringLiteral("SYS_NTF"), QStringLiteral("1"));
        }) << "The window frmSYS_NTF is not available";
        QTest::newRow("no e-mail parameters")
            << Factories::Factory() << "mrvShowEmailConfig"
            << FacadeCall([](mrvMessage &m) { return !m.mrvShowEmailConfig(nullptr); })
            << "The window mrvEmailParams is not available";
        QTest::newRow("no template selection, not \"no template\"")
            << Factories::Factory() << "mrvPreviewTemplate" << FacadeCall([](mrvMessage &m) {
                   m.mrvPreviewTemplate(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1"));
                   return true;
               })
            << "The window " + TemplateSelectWindow::factoryName() + " is not available";
        QTest::newRow("a standard exception")
            << Factories::Factory([]() -> std::unique_ptr<ComponentObject> { throw std::runtime_error("boom"); })
            << "NewRecord" << newRecord << "boom";
        QTest::newRow("anything else, without a result")
            << Factories::Factory([]() -> std::unique_ptr<ComponentObject> { throw 42; }) << "mrvShowAddressBook"
            << FacadeCall([](mrvMessage &m) {
                   m.mrvShowAddressBook(nullptr);
                   return true;
               })
            << "Unknown error";
    }

    void failuresAreReportedNotThrown()
    {
        QFETCH(Factories::Factory, factory);
        QFETCH(QString, procedure);
        QFETCH(FacadeCall, fails);
        QFETCH(QString, description);
        for (const auto &fake : fakes())
            factory ? Factories::add(fake.first, factory) : Factories::removeFactory(fake.first);
        QVERIFY(fails(*m_message));
        QCOMPARE(WindowRegistry::instance().count(), 0);
        QCOMPARE(reportedProcedures(), QStringList{"mrvMessage." + procedure + ": " + description});
    }

    // Each table opens its window with the context in the order that window
    // expects. A mailbox message that fails to open leaves no window; a stored
    // message keeps its window, which decides.
    void recordsOpenInTheWindowOfTheirTable_data()
    {
        QTest::addColumn<bool>("opening");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("windows");
        const QStringList listed{"setErrors", "setRecords", "setViewName(SYS_MSG_INB)", "setBookmark(7)"};
        const QStringList opened = listed + QStringList{"setFilterQuery(MSFLD = 1)", "setOrderBy(MSDTS DESC)"};
        const auto created = [&](const QString &call) { return listed + QStringList{call}; };
        const auto opening = [&](const QString &call) { return opened + QStringList{call}; };
        const QStringList type1{"", "", "1"};
        QTest::newRow("new message, type from Param3") << false << "SYS_MSG" << QStringList{"ROSSI", "DOC_VEN|3", "5"}
                                                       << true << created("CreateMessage(5,ROSSI,DOC_VEN|3,,0)") << 1;
        QTest::newRow("new task") << false << "SYS_TSK" << QStringList{"VERDI", "DOC_VEN|9", "7"} << true
                                  << created("CreateMessage(1,VERDI,DOC_VEN|9,,0)") << 1;
        QTest::newRow("new fax, lower case") << false << "azi_fax" << QStringList{"0212345", "", "1"} << true
                                             << created("CreateMessage(1,0212345,,,0)") << 1;
        QTest::newRow("new task with a file, any case")
            << false << "SYS_TSK" << QStringList{"ROSSI", "FiLe:///tmp/a b.pdf", "DOC_VEN|1"} << true
            << created("CreateMessage(1,ROSSI,DOC_VEN|1,/tmp/a b.pdf,0)") << 1;
        QTest::newRow("new message with a file") << false << "SYS_MSG" << QStringList{"ROSSI", "file://x.txt", "L"}
                                                 << true << created("CreateMessage(0,ROSSI,L,x.txt,0)") << 1;
        QTest::newRow("new mailbox message") << false << "SYS_EXC" << type1 << true << QStringList() << 0;
        QTest::newRow("stored message") << true << "SYS_MSG" << type1 << true << opening("OpenMessage(12,1)") << 1;
        QTest::newRow("stored message that fails")
            << true << "SYS_MSG" << type1 << false << opening("OpenMessage(12,1)") << 1;
        QTest::newRow("mailbox message that fails")
            << true << "SYS_EXC" << type1 << false << opening("OpenMessage(12,2)") << 0;
        QTest::newRow("fax") << true << "AZI_FAX" << type1 << true << opening("OpenFax(12)") << 1;
        QTest::newRow("task") << true << "SYS_TSK" << type1 << true << QStringList() << 0;
        QTest::newRow("not a table of messages") << true << "CON_TRO" << type1 << true << QStringList() << 0;
    }

    void recordsOpenInTheWindowOfTheirTable()
    {
        QFETCH(bool, opening);
        QFETCH(QString, table);
        QFETCH(QStringList, params);
        QFETCH(bool, opens);
        QFETCH(QStringList, expected);
        QFETCH(int, windows);
        m_message->setParam1(params.at(0));
        m_message->setParam2(params.at(1));
        m_message->setParam3(params.at(2));
        script.openMessage = opens;
        QVERIFY(opening ? !m_message->OpenRecord(nullptr, table, QStringLiteral("12"))
                        : m_message->NewRecord(nullptr, table).isEmpty());
        QCOMPARE(calls, expected);
        QCOMPARE(m_message->GetForms().size(), windows);
        QVERIFY(errors().recentReports().isEmpty());
    }

    void openRecordReusesAModelessWindowByTag()
    {
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QStringLiteral("12")));
        calls.clear();
        QVERIFY(m_message->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QStringLiteral("12")));
        QCOMPARE(calls, QStringList{"focus(SYS_MSG|12)"});
        QCOMPARE(WindowRegistry::instance().count(), 1);
        // Modal: always a window of its own.
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QStringLiteral("12"), true));
        QCOMPARE(WindowRegistry::instance().count(), 2);
        // The tag is compared as written: another key is another window.
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("sys_msg"), QStringLiteral("13")));
        QCOMPARE(WindowRegistry::instance().count(), 3);
    }

    void dataBoundWindowsGetTheirControllerInOrder()
    {
        auto records = std::make_shared<RecordingRecords>(m_suite->session().connection(), m_suite->session().users(),
                                                          m_suite->session().config());
        m_message->setRecords(records);
        m_message->setParam1(QStringLiteral("p1"));
        m_message->setParam2(QStringLiteral("p2"));
        m_message->setParam3(QStringLiteral("p3"));
        const QString key = m_message->NewRecord(nullptr, QStringLiteral("SYS_DAT"));
        m_message->setRecords(m_suite->session().records());
        QCOMPARE(calls, (QStringList{"setConnection", "setConfigClass", "setUserManager", "setRecords", "setErrors",
                                     "setTableName=SYS_DAT", "setViewName=SYS_MSG_INB", "setFixedKey=FK",
                                     "setProductName=Merovan", "setFilterQuery=MSFLD = 1", "setOrderBy=MSDTS DESC",
                                     "setBookmark=7", "setParam1=p1", "setParam2=p2", "setParam3=p3",
                                     "setKeepBookmark=0", "setForm"}));
        QVERIFY2(errors().recentReports().isEmpty(), qPrintable(reportedProcedures().join(QLatin1Char('\n'))));
        QCOMPARE(key, QString()); // the form was not saved: no record, no key
        QCOMPARE(WindowRegistry::instance().count(), 1);
    }

    void openRecordCanHandBackTheController()
    {
        m_suite->session().connection()->execute(
            QStringLiteral("INSERT INTO SYS_DAT (DTDES, DTTBL) VALUES ('Clienti', 'CON_TRO')"));
        const QString key = m_suite->scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toString();
        QVariant controller(true);
        QVERIFY(m_message->OpenRecord(nullptr, QStringLiteral("SYS_DAT"), key, false, false, false, &controller));
        auto dataBound = controller.value<std::shared_ptr<host::DataBound>>();
        QVERIFY(dataBound);
        QCOMPARE(dataBound->recordKey(), key);
        QVariant notAsked(false);
        QVERIFY(m_message->OpenRecord(nullptr, QStringLiteral("SYS_DAT"), key, true, false, false, &notAsked));
        QCOMPARE(notAsked, QVariant(false));
    }

    void unloadFormsStopsAtAWindowThatRefuses()
    {
        for (const char *key : {"1", "2", "3"})
            m_message->OpenRecord(nullptr, QStringLiteral("SYS_FAX"), QLatin1String(key));
        script.refusingToUnload = m_message->GetForms().first();
        QVERIFY(!m_message->UnloadForms());
        QCOMPARE(m_message->GetForms().size(), 3);
        script.refusingToUnload = nullptr;
        QVERIFY(m_message->UnloadForms());
        QVERIFY(m_message->GetForms().isEmpty());
    }

    void historyWindowIsReusedByTag()
    {
        QVERIFY(m_message->mrvShowMessageHistory(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("3"),
                                                 QStringLiteral("LST_DOC_VEN"), QStringLiteral("Fattura 3")));
        QVERIFY(m_message->mrvShowMessageHistory(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("3"), {}, {}));
        QCOMPARE(calls, (QStringList{"setRecords", "setErrors", "ShowHistory(DOC_VEN,3,LST_DOC_VEN,Fattura 3)",
                                     "focus(frm_mrvHistory|DOC_VEN|3)"}));
    }

    void selectedRecipientsComeBackThroughTheLists()
    {
        QString to = QStringLiteral("ROSSI");
        QString cc;
        QString ccn = QStringLiteral("old");
        QVERIFY(
            m_message->mrvSelectRecipients(nullptr, &to, &cc, &ccn, 2, true, false, true, false, QStringLiteral("C1")));
        QCOMPARE(QStringList({to, cc, ccn}), (QStringList{"ROSSI; VERDI", "x@y.it", ""}));
        QCOMPARE(calls.last(), QStringLiteral("SelectRecipients(ROSSI,,old,2,true,false,true,false,C1)"));
    }

    void statusChangesWriteTheStoredRow()
    {
        auto connection = m_suite->session().connection();
        connection->execute(
            QStringLiteral("INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR) VALUES (0, 1, 0, 'ROSSI')"));
        const qint32 message = m_suite->scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toInt();
        connection->execute(QStringLiteral("INSERT INTO SYS_FAX (FXTYP, FXSTA) VALUES (0, 0)"));
        const qint32 fax = m_suite->scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toInt();
        m_message->ChangeMessageStatus(message, mssReplied);
        m_message->ChangeFaxStatus(fax, true);
        QCOMPARE(m_suite->scalar(QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = %1").arg(message)).toInt(),
                 3);
        QCOMPARE(m_suite->scalar(QStringLiteral("SELECT FXSTA FROM SYS_FAX WHERE RECORD_ID = %1").arg(fax)).toInt(), 1);
        QVERIFY(errors().recentReports().isEmpty());
        m_message->ChangeMessageStatus(999999, mssReaded);
        m_message->ChangeFaxStatus(999999, false);
        QCOMPARE(reportedProcedures().size(), 2);
        QVERIFY(reportedProcedures().at(0).startsWith(QLatin1String("mrvMessage.ChangeMessageStatus: ")));
        QVERIFY(reportedProcedures().at(1).startsWith(QLatin1String("mrvMessage.ChangeFaxStatus: ")));
    }

    void linkEmailFindsTheCustomer_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("customer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("customer's own") << "info@santoro1.example.it"
                                        << "C000001" << false;
        QTest::newRow("a contact's") << "paola@santoro1.example.it"
                                     << "C000001" << false;
        QTest::newRow("a branch's") << "magazzino@c3.example"
                                    << "C000003" << false;
        QTest::newRow("an agent's is no customer's") << "paolo.fumagalli@agenti.example.it"
                                                     << "C000777" << true;
        QTest::newRow("unknown, quote in it") << "o'hara@x.example"
                                              << "C000777" << true;
    }

    void linkEmailFindsTheCustomer()
    {
        QFETCH(QString, address);
        QFETCH(QString, customer);
        QFETCH(bool, asked);
        script.linkEmail = QStringLiteral("C000777");
        QCOMPARE(m_message->mrvLinkEmail(nullptr, address), customer);
        QCOMPARE(calls, (asked ? QStringList{"setErrors", "setRecords", "LinkEmail(" + address + ")"} : QStringList()));
        QVERIFY(errors().recentReports().isEmpty());
    }

    void linkFaxChecksTheCustomersNumbers()
    {
        QVERIFY(m_message->mrvLinkFax(nullptr, QStringLiteral("02 4000038"), QStringLiteral("C000001")));
        QVERIFY(calls.isEmpty());
        // A telephone, not a fax, and a number of another customer: the window decides.
        script.linkFax = true;
        QVERIFY(m_message->mrvLinkFax(nullptr, QStringLiteral("02 4000037"), QStringLiteral("C000001")));
        QVERIFY(m_message->mrvLinkFax(nullptr, QStringLiteral("02 4000038"), QStringLiteral("C000002")));
        QCOMPARE(calls.filter(QStringLiteral("LinkFax")),
                 (QStringList{"LinkFax(02 4000037,C000001)", "LinkFax(02 4000038,C000002)"}));
    }

    void previewTemplateTellsWhenNothingCameOut()
    {
        auto &texts = *m_suite->session().textService();
        texts.clearShownBoxes();
        // No template for the table.
        script.selectTemplate = false;
        m_message->mrvPreviewTemplate(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1,2"));
        // A template that yields nothing.
        m_suite->session().connection()->execute(QStringLiteral("INSERT INTO SYS_MST (MTDES) VALUES ('Sollecito')"));
        script.selectTemplate = true;
        script.chosenTemplate = m_suite->scalar(QStringLiteral("SELECT SCOPE_IDENTITY()")).toInt();
        script.templateFields = 0;
        m_message->mrvPreviewTemplate(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1;2"), QStringLiteral(";"));
        // A template with results goes to the preview, in this order.
        calls.clear();
        script.templateFields = 3;
        m_message->mrvPreviewTemplate(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1"), QStringLiteral(","), 2,
                                      QStringLiteral("/tmp/a.pdf"));
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "SelectTemplate(DOC_VEN,0)", "setErrors", "setRecords",
                                     QStringLiteral("ParseFromList(%1,DOC_VEN,1,,)").arg(script.chosenTemplate),
                                     "ShowPreview(2,/tmp/a.pdf)"}));
        // Cancelled after choosing: no message.
        script.selectTemplate = false;
        m_message->mrvPreviewTemplate(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1"));
        QStringList shown;
        for (const auto &box : texts.shownBoxes())
            shown << box.text;
        QCOMPARE(shown, (QStringList{"Nessun Template disponibile per la tabella Documenti di vendita!",
                                     "Il Template \"Sollecito\" non ha prodotto nessun risultato!"}));
        QVERIFY(errors().recentReports().isEmpty());
    }

    void emailConfigIsSavedWhateverTheWizardSays_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }

    void emailConfigIsSavedWhateverTheWizardSays()
    {
        QFETCH(bool, shown);
        script.showConfig = shown;
        std::shared_ptr<EmailParamsObject> params;
        QCOMPARE(m_message->mrvShowEmailConfig(nullptr, QStringLiteral("CDO"), QStringLiteral("U"), &params), shown);
        QVERIFY(dynamic_cast<FakeEmailParams *>(params.get()));
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "LoadConfig(CDO)", "ShowConfig", "SaveConfig(CDO,U)"}));
    }
};

QTEST_GUILESS_MAIN(FacadeTest)
#include "tst_facade.moc"
