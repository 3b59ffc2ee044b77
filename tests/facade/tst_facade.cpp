#include "DemoSuite.h"
#include "IdleWindow.h"
#include "db/SuiteConnection.h"
#include "facade/Factories.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/Windows.h"
#include "facade/mrvMessage.h"
#include "services/SuiteDataBound.h"
#include "services/SuiteSession.h"

#include <QTest>

#include <stdexcept>

using namespace mrv;
using namespace Qt::StringLiterals;

namespace {

// Every call a fake receives, in order; the answers each test gives them by
// call name; the window that refuses to unload.
QStringList calls;
QVariantMap answers;
const ComponentWindow *refusingToUnload = nullptr;

// Notes a call with its arguments and gives the answer set for it.
template <typename Answer = bool> Answer noted(const QString &call, const QVariantList &arguments = {})
{
    QStringList texts;
    for (const QVariant &argument : arguments)
        texts << argument.toString();
    calls << call + (arguments.isEmpty() ? QString() : '(' + texts.join(',') + ')');
    if constexpr (!std::is_void_v<Answer>)
        return answers.value(call).template value<Answer>();
}

// clang-format off
// An override of `Name` that notes its call and gives the answer set for it.
#define FAKE(Result, Name, Parameters, ...) \
    Result Name Parameters override { return noted<Result>(#Name, {__VA_ARGS__}); }
// An override of `Name` that notes its call and opens a window tagged `Tag`
// when the answer set for it is yes.
#define OPENING(Name, Parameters, Tag, ...) \
    bool Name Parameters override { return opened(#Name, {__VA_ARGS__}, Tag); }
// An override of the controller's `Setter` that notes the setting, then hands it on.
#define NOTED_SETTING(Setter, Type) \
    void Setter(Type value) override { noted<void>(#Setter, shown(value)); SuiteDataBound::Setter(value); }
// clang-format on

template <typename Base> class Hosted : public Base
{
public:
    FAKE(void, setErrors, (std::shared_ptr<host::Errors>))
    FAKE(void, setRecords, (std::shared_ptr<host::Records>))
};

template <typename Base> class FakeWindow : public Hosted<testing::IdleWindow<Base>>
{
public:
    FAKE(void, focus, (), this->tag())
    bool unload() override { return this != refusingToUnload && testing::IdleWindow<Base>::unload(); }
    // Notes the call and, when the window opened, tags it for reuse.
    bool opened(const QString &call, const QVariantList &arguments, const QString &tag)
    {
        const bool opens = noted(call, arguments);
        if (opens)
            this->setTag(tag);
        return opens;
    }
};

template <typename Base> class FakeListedWindow : public FakeWindow<Base>
{
public:
    FAKE(void, setViewName, (const QString &v), v)
    FAKE(void, setBookmark, (const QVariant &v), v)
    FAKE(void, setFilterQuery, (const QString &v), v)
    FAKE(void, setOrderBy, (const QString &v), v)
};

class FakeMessageWindow : public FakeListedWindow<MessageWindow>
{
public:
    FAKE(void, CreateMessage,
         (QWidget *, qint32 type, const QString &to, const QString &link, const QString &path, qint32 id), type, to,
         link, path, id)
    OPENING(OpenMessage, (QWidget *, const QString &id, qint32 type, const QVariant &), "SYS_MSG|" + id, id, type)
};

class FakeFaxWindow : public FakeListedWindow<FaxWindow>
{
public:
    void OpenFax(QWidget *, const QString &key) override { opened(u"OpenFax"_s, {key}, "SYS_FAX|" + key); }
};

class FakeHistoryWindow : public FakeWindow<HistoryWindow>
{
public:
    OPENING(ShowHistory,
            (QWidget *, const QString &table, const QString &key, const QString &view, const QString &text),
            "frm_mrvHistory|" + table + '|' + key, table, key, view, text)
};

class FakeAddressBook : public FakeWindow<AddressBookWindow>
{
public:
    FAKE(void, ShowAddressBook, (QWidget *))
    FAKE(QString, SelectAddressBook, (QWidget *, const QString &, const QString &))
    FAKE(QString, CheckRecipients, (QWidget *, const QString &, const QString &))
    bool SelectRecipients(QWidget *, QString &to, QString &cc, QString &ccn, qint32 field, bool email, bool fax,
                          bool server, bool toOnly, const QString &customer) override
    {
        noted<void>(u"SelectRecipients"_s, {to, cc, ccn, field, email, fax, server, toOnly, customer});
        to += u"; VERDI"_s;
        cc = u"x@y.it"_s;
        ccn.clear();
        return true;
    }
};

class FakeLinkWindow : public FakeWindow<CustomerLinkWindow>
{
public:
    FAKE(QString, LinkEmail, (QWidget *, const QString &address), address)
    FAKE(bool, LinkFax, (QWidget *, const QString &number, const QString &customer), number, customer)
};

class FakeTemplateSelect : public FakeWindow<TemplateSelectWindow>
{
public:
    bool SelectTemplate(QWidget *, const QString &table, qint32 &id) override
    {
        return noted(u"SelectTemplate"_s, {table, std::exchange(id, answers.value("chosen").toInt())});
    }
};

class FakeFields : public TemplateFieldsObject
{
public:
    qint32 Count() const override { return answers.value(u"Count"_s).toInt(); }
};

class FakeTemplate : public Hosted<TemplateObject>
{
public:
    std::shared_ptr<TemplateFieldsObject> ParseFromList(qint32 id, const QString &table, const QString &keys,
                                                        const QString &separator) override
    {
        noted<void>(u"ParseFromList"_s, {id, table, keys, separator});
        return std::make_shared<FakeFields>();
    }
    FAKE(void, ShowPreview, (QWidget *, std::shared_ptr<TemplateFieldsObject>, qint32 mode, const QString &files), mode,
         files)
};

class FakeEmailParams : public Hosted<EmailParamsObject>
{
public:
    FAKE(void, LoadConfig, (const QString &prefix), prefix)
    FAKE(bool, ShowConfig, (QWidget *))
    FAKE(void, SaveConfig, (const QString &prefix, const QString &flag), prefix, flag)
};

class FakeDataBoundWindow : public testing::IdleWindow<DataBoundWindow>
{
public:
    QVariantMap boundValues() const override { return {}; }
    void setBoundValues(const QVariantMap &) override {}
};

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
        noted<void>(u"setParam%1"_s.arg(index), {value});
        SuiteDataBound::setParam(index, value);
    }

private:
    static QVariantList shown(const QString &value) { return {value}; }
    static QVariantList shown(const QVariant &value) { return {value}; }
    static QVariantList shown(bool value) { return {value}; }
    template <typename HostObject> static QVariantList shown(const HostObject &) { return {}; }
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
            {"frmSYS_DAT", made<FakeDataBoundWindow>}};
}

// One row of a data table, its values in the order of the columns.
template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace

Q_DECLARE_METATYPE(Factories::Factory)

// The facade: the table-to-window map, the reuse rule, the order in which
// context reaches a window, and the operations that work on the database.
class FacadeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::DemoSuite> m_suite;
    mrvMessage *m_message = nullptr;

    suite::SuiteErrors &errors() { return *m_suite->session().errors(); }
    void setParams(const QStringList &params)
    {
        m_message->setParam1(params.value(0));
        m_message->setParam2(params.value(1));
        m_message->setParam3(params.value(2));
    }
    qint32 inserted(const QString &sql)
    {
        m_suite->session().connection()->execute(sql);
        return m_suite->scalar(u"SELECT SCOPE_IDENTITY()"_s).toInt();
    }

    // Calls an operation by name; true when it answered as a failure does.
    bool failed(const QString &operation)
    {
        if (operation == QLatin1String("NewRecord"))
            return m_message->NewRecord(nullptr, u"SYS_MSG"_s).isEmpty();
        if (operation == QLatin1String("OpenRecord"))
            return !m_message->OpenRecord(nullptr, u"SYS_NTF"_s, u"1"_s);
        if (operation == QLatin1String("mrvShowEmailConfig"))
            return !m_message->mrvShowEmailConfig(nullptr);
        if (operation == QLatin1String("mrvPreviewTemplate"))
            m_message->mrvPreviewTemplate(nullptr, u"DOC_VEN"_s, u"1"_s);
        else
            m_message->mrvShowAddressBook(nullptr);
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_message = m_suite->session().message().get();
        m_message->setViewName(u"SYS_MSG_INB"_s);
        m_message->setBookmark(7);
        m_message->setFilterQuery(u"MSFLD = 1"_s);
        m_message->setOrderBy(u"MSDTS DESC"_s);
        m_message->setFixedKey(u"FK"_s);
        m_suite->session().connection()->execute(
            u"INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) SELECT TOP 1 'CON_SED', "
            "RECORD_ID, 'E', '@ Magazzino', 'magazzino@c3.example' FROM A01_CON_SED WHERE CDCON = 'C000003'"_s);
    }

    void init()
    {
        for (const auto &[name, factory] : fakes())
            Factories::add(name, factory);
        answers = {{"OpenMessage", true}, {"OpenFax", true}, {"ShowHistory", true}, {"SelectTemplate", true}};
        calls.clear();
        errors().clearRecentReports();
        setParams({});
    }

    void cleanup()
    {
        refusingToUnload = nullptr;
        m_message->UnloadForms();
    }

    // Whatever a window's factory throws, or when nobody registered one,
    // the operation reports it under its name and fails.
    void failuresAreReportedNotThrown_data()
    {
        QTest::addColumn<Factories::Factory>("factory");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("description");
        const Factories::Factory none;
        row("no message window", none, "NewRecord", "The window frmSYS_MSG is not available");
        row("no data-bound window", none, "OpenRecord", "The window frmSYS_NTF is not available");
        row("no e-mail parameters", none, "mrvShowEmailConfig", "The window mrvEmailParams is not available");
        row("no template selection, not \"no template\"", none, "mrvPreviewTemplate",
            "The window " + TemplateSelectWindow::factoryName() + " is not available");
        row("a standard exception",
            Factories::Factory([]() -> std::unique_ptr<ComponentObject> { throw std::runtime_error("boom"); }),
            "NewRecord", "boom");
        row("anything else, without a result",
            Factories::Factory([]() -> std::unique_ptr<ComponentObject> { throw 42; }), "mrvShowAddressBook",
            "Unknown error");
    }

    void failuresAreReportedNotThrown()
    {
        QFETCH(Factories::Factory, factory);
        QFETCH(QString, operation);
        QFETCH(QString, description);
        for (const auto &fake : fakes())
            factory ? Factories::add(fake.first, factory) : Factories::removeFactory(fake.first);
        QVERIFY(failed(operation));
        QCOMPARE(WindowRegistry::instance().count(), 0);
        const auto reports = errors().recentReports();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().object + '.' + reports.first().procedure + ": " + reports.first().description,
                 "mrvMessage." + operation + ": " + description);
    }

    // Each table opens its window with the context in the order that window
    // expects (Param1 to Param3 as given, separated by ";"). A mailbox message
    // that fails to open leaves no window; a stored message keeps its window,
    // which decides.
    void recordsOpenInTheWindowOfTheirTable_data()
    {
        QTest::addColumn<bool>("opening");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("params");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("windows");
        row("new message, type from Param3", false, "SYS_MSG", "ROSSI;DOC_VEN|3;5", true,
            "CreateMessage(5,ROSSI,DOC_VEN|3,,0)", 1);
        row("new task", false, "SYS_TSK", "VERDI;DOC_VEN|9;7", true, "CreateMessage(1,VERDI,DOC_VEN|9,,0)", 1);
        row("new fax, lower case", false, "azi_fax", "0212345;;1", true, "CreateMessage(1,0212345,,,0)", 1);
        row("new task with a file, any case", false, "SYS_TSK", "ROSSI;FiLe:///tmp/a b.pdf;DOC_VEN|1", true,
            "CreateMessage(1,ROSSI,DOC_VEN|1,/tmp/a b.pdf,0)", 1);
        row("new message with a file", false, "SYS_MSG", "ROSSI;file://x.txt;L", true,
            "CreateMessage(0,ROSSI,L,x.txt,0)", 1);
        row("new mailbox message", false, "SYS_EXC", ";;1", true, "", 0);
        row("stored message that fails", true, "SYS_MSG", ";;1", false, "OpenMessage(12,1)", 1);
        row("mailbox message that fails", true, "SYS_EXC", ";;1", false, "OpenMessage(12,2)", 0);
        row("fax", true, "AZI_FAX", ";;1", true, "OpenFax(12)", 1);
        row("task, as any other table", true, "SYS_TSK", ";;1", true, "", 0);
    }

    void recordsOpenInTheWindowOfTheirTable()
    {
        QFETCH(bool, opening);
        QFETCH(QString, table);
        QFETCH(QString, params);
        QFETCH(bool, opens);
        QFETCH(QString, call);
        QFETCH(int, windows);
        setParams(params.split(QLatin1Char(';')));
        answers[u"OpenMessage"_s] = opens;
        QVERIFY(opening ? !m_message->OpenRecord(nullptr, table, u"12"_s)
                        : m_message->NewRecord(nullptr, table).isEmpty());
        QStringList expected{"setErrors", "setRecords", "setViewName(SYS_MSG_INB)", "setBookmark(7)"};
        if (opening)
            expected << "setFilterQuery(MSFLD = 1)"
                     << "setOrderBy(MSDTS DESC)";
        QCOMPARE(calls, call.isEmpty() ? QStringList() : expected << call);
        QCOMPARE(m_message->GetForms().size(), windows);
        QVERIFY(errors().recentReports().isEmpty());
    }

    // A data-bound window gets its controller with the context in order,
    // and the caller who asks for the controller gets it.
    void dataBoundWindowsGetTheirController()
    {
        m_message->setRecords(std::make_shared<RecordingRecords>(
            m_suite->session().connection(), m_suite->session().users(), m_suite->session().config()));
        setParams({"p1", "p2", "p3"});
        QCOMPARE(m_message->NewRecord(nullptr, u"SYS_DAT"_s), QString()); // not saved: no key
        m_message->setRecords(m_suite->session().records());
        QCOMPARE(calls, (QStringList{"setConnection", "setConfigClass", "setUserManager", "setRecords", "setErrors",
                                     "setTableName(SYS_DAT)", "setViewName(SYS_MSG_INB)", "setFixedKey(FK)",
                                     "setProductName(Merovan)", "setFilterQuery(MSFLD = 1)", "setOrderBy(MSDTS DESC)",
                                     "setBookmark(7)", "setParam1(p1)", "setParam2(p2)", "setParam3(p3)",
                                     "setKeepBookmark(false)", "setForm"}));
        QCOMPARE(WindowRegistry::instance().count(), 1);

        const QString key =
            QString::number(inserted(u"INSERT INTO SYS_DAT (DTDES, DTTBL) VALUES ('Clienti', 'CON_TRO')"_s));
        QVariant controller(true);
        QVERIFY(m_message->OpenRecord(nullptr, u"SYS_DAT"_s, key, false, false, false, &controller));
        const auto dataBound = controller.value<std::shared_ptr<host::DataBound>>();
        QVERIFY(dataBound && dataBound->recordKey() == key);
        QVariant notAsked(false);
        QVERIFY(m_message->OpenRecord(nullptr, u"SYS_DAT"_s, key, true, false, false, &notAsked));
        QCOMPARE(notAsked, QVariant(false));
        QVERIFY(errors().recentReports().isEmpty());
    }

    // A modeless window is found again by its tag, compared as written; a
    // modal one is always a window of its own. Unloading stops at a window
    // that refuses.
    void windowsAreReusedByTagAndUnloaded()
    {
        QVERIFY(m_message->mrvShowMessageHistory(nullptr, u"DOC_VEN"_s, u"3"_s, u"LST_DOC_VEN"_s, u"Fattura 3"_s));
        QVERIFY(m_message->mrvShowMessageHistory(nullptr, u"DOC_VEN"_s, u"3"_s, {}, {}));
        QCOMPARE(calls, (QStringList{"setRecords", "setErrors", "ShowHistory(DOC_VEN,3,LST_DOC_VEN,Fattura 3)",
                                     "focus(frm_mrvHistory|DOC_VEN|3)"}));
        QVERIFY(!m_message->OpenRecord(nullptr, u"SYS_MSG"_s, u"12"_s));
        QVERIFY(m_message->OpenRecord(nullptr, u"SYS_MSG"_s, u"12"_s));
        QVERIFY(!m_message->OpenRecord(nullptr, u"SYS_MSG"_s, u"12"_s, true));
        QVERIFY(!m_message->OpenRecord(nullptr, u"sys_msg"_s, u"13"_s));
        QCOMPARE(calls.filter(u"focus"_s).last(), u"focus(SYS_MSG|12)"_s);
        QCOMPARE(m_message->GetForms().size(), 4);
        refusingToUnload = m_message->GetForms().first();
        QVERIFY(!m_message->UnloadForms());
        QCOMPARE(m_message->GetForms().size(), 4);
        refusingToUnload = nullptr;
        QVERIFY(m_message->UnloadForms());
        QVERIFY(m_message->GetForms().isEmpty());
    }

    void selectedRecipientsComeBackThroughTheLists()
    {
        QString to = u"ROSSI"_s, cc, ccn = u"old"_s;
        QVERIFY(m_message->mrvSelectRecipients(nullptr, &to, &cc, &ccn, 2, true, false, true, false, u"C1"_s));
        QCOMPARE(QStringList({to, cc, ccn}), (QStringList{"ROSSI; VERDI", "x@y.it", ""}));
        QCOMPARE(calls.last(), u"SelectRecipients(ROSSI,,old,2,true,false,true,false,C1)"_s);
    }

    // The command line's own tests set a message's status.
    void faxStatusWritesTheStoredRow()
    {
        const qint32 fax = inserted(u"INSERT INTO SYS_FAX (FXTYP, FXSTA) VALUES (0, 0)"_s);
        m_message->ChangeFaxStatus(fax, true);
        QCOMPARE(m_suite->scalar(u"SELECT FXSTA FROM SYS_FAX WHERE RECORD_ID = %1"_s.arg(fax)).toInt(), 1);
        QVERIFY(errors().recentReports().isEmpty());
    }

    // An address or number of the customer needs no window; the window
    // decides for anything else.
    void linksFindTheCustomer_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("faxCustomer"); // empty for an e-mail address
        QTest::addColumn<QString>("linked");
        QTest::addColumn<bool>("asked");
        row("customer's own", "info@santoro1.example.it", "", "C000001", false);
        row("a branch's", "magazzino@c3.example", "", "C000003", false);
        row("an agent's is no customer's", "paolo.fumagalli@agenti.example.it", "", "C000777", true);
        row("unknown, quote in it", "o'hara@x.example", "", "C000777", true);
        row("customer's fax", "02 4000038", "C000001", "true", false);
        row("a telephone, not a fax", "02 4000037", "C000001", "true", true);
        row("another customer's fax", "02 4000038", "C000002", "true", true);
    }

    void linksFindTheCustomer()
    {
        QFETCH(QString, address);
        QFETCH(QString, faxCustomer);
        QFETCH(QString, linked);
        QFETCH(bool, asked);
        answers = {{"LinkEmail", "C000777"}, {"LinkFax", true}};
        const bool email = faxCustomer.isEmpty();
        QCOMPARE(email ? m_message->mrvLinkEmail(nullptr, address)
                       : QVariant(m_message->mrvLinkFax(nullptr, address, faxCustomer)).toString(),
                 linked);
        const QString window = email ? "LinkEmail(" + address + ')' : "LinkFax(" + address + ',' + faxCustomer + ')';
        QCOMPARE(calls, (asked ? QStringList{"setErrors", "setRecords", window} : QStringList()));
        QVERIFY(errors().recentReports().isEmpty());
    }

    void previewTemplateTellsWhenNothingCameOut()
    {
        auto &texts = *m_suite->session().textService();
        texts.clearShownBoxes();
        // No template for the table.
        answers[u"SelectTemplate"_s] = false;
        m_message->mrvPreviewTemplate(nullptr, u"DOC_VEN"_s, u"1,2"_s);
        // A template that yields nothing.
        const qint32 chosen = inserted(u"INSERT INTO SYS_MST (MTDES) VALUES ('Sollecito')"_s);
        answers = {{"SelectTemplate", true}, {"chosen", chosen}, {"Count", 0}};
        m_message->mrvPreviewTemplate(nullptr, u"DOC_VEN"_s, u"1;2"_s, u";"_s);
        // A template with results goes to the preview, in this order.
        calls.clear();
        answers[u"Count"_s] = 3;
        m_message->mrvPreviewTemplate(nullptr, u"DOC_VEN"_s, u"1"_s, u","_s, 2, u"/tmp/a.pdf"_s);
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "SelectTemplate(DOC_VEN,0)", "setErrors", "setRecords",
                                     u"ParseFromList(%1,DOC_VEN,1,,)"_s.arg(chosen), "ShowPreview(2,/tmp/a.pdf)"}));
        // Cancelled after choosing: no message.
        answers[u"SelectTemplate"_s] = false;
        m_message->mrvPreviewTemplate(nullptr, u"DOC_VEN"_s, u"1"_s);
        QStringList shown;
        for (const auto &box : texts.shownBoxes())
            shown << box.text;
        QCOMPARE(shown, (QStringList{"Nessun Template disponibile per la tabella Documenti di vendita!",
                                     "Il Template \"Sollecito\" non ha prodotto nessun risultato!"}));
        QVERIFY(errors().recentReports().isEmpty());
    }

    void emailConfigIsSavedWhateverTheWizardSays()
    {
        for (const bool shown : {true, false}) {
            calls.clear();
            answers[u"ShowConfig"_s] = shown;
            std::shared_ptr<EmailParamsObject> params;
            QCOMPARE(m_message->mrvShowEmailConfig(nullptr, u"CDO"_s, u"U"_s, &params), shown);
            QVERIFY(dynamic_cast<FakeEmailParams *>(params.get()));
            QCOMPARE(calls,
                     (QStringList{"setErrors", "setRecords", "LoadConfig(CDO)", "ShowConfig", "SaveConfig(CDO,U)"}));
        }
    }
};

QTEST_GUILESS_MAIN(FacadeTest)
#include "tst_facade.moc"
