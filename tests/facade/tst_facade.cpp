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

using namespace mrv;

namespace {

// Every call a fake window or class receives, in order.
QStringList calls;

QString args(const QVariantList &values)
{
    QStringList texts;
    for (const QVariant &value : values)
        texts << value.toString();
    return texts.join(QLatin1Char(','));
}

void log(const QString &call, const QVariantList &values = {})
{
    calls << (values.isEmpty() ? call : call + QLatin1Char('(') + args(values) + QLatin1Char(')'));
}

// Answers the fakes give, set by each test.
struct Script
{
    bool openMessage = true;
    bool refuseUnload = false;
    bool selectTemplate = true;
    qint32 chosenTemplate = 0;
    qint32 templateFields = 1;
    QString linkEmail;
    bool linkFax = false;
    bool showConfig = false;
} script;

template <typename Base> class FakeWindow : public Base
{
public:
    bool isEnabled() const override { return true; }
    void focus() override { log(QStringLiteral("focus"), {this->tag()}); }
    void hide() override {}
    bool unload() override
    {
        if (script.refuseUnload)
            return false;
        WindowRegistry::instance().remove(this);
        return true;
    }
    void setErrors(std::shared_ptr<host::Errors>) override { log(QStringLiteral("setErrors")); }
    void setRecords(std::shared_ptr<host::Records>) override { log(QStringLiteral("setRecords")); }
};

template <typename Base> class FakeListedWindow : public FakeWindow<Base>
{
public:
    void setViewName(const QString &v) override { log(QStringLiteral("setViewName"), {v}); }
    void setBookmark(const QVariant &v) override { log(QStringLiteral("setBookmark"), {v}); }
    void setFilterQuery(const QString &v) override { log(QStringLiteral("setFilterQuery"), {v}); }
    void setOrderBy(const QString &v) override { log(QStringLiteral("setOrderBy"), {v}); }
};

class FakeMessageWindow : public FakeListedWindow<MessageWindow>
{
public:
    void CreateMessage(QWidget *, qint32 type, const QString &recipients, const QString &link, const QString &path,
                       qint32 id) override
    {
        log(QStringLiteral("CreateMessage"), {type, recipients, link, path, id});
    }
    bool OpenMessage(QWidget *, const QString &id, qint32 type, const QVariant &) override
    {
        log(QStringLiteral("OpenMessage"), {id, type});
        if (script.openMessage)
            setTag(QStringLiteral("SYS_MSG|") + id);
        return script.openMessage;
    }
};

class FakeFaxWindow : public FakeListedWindow<FaxWindow>
{
public:
    void OpenFax(QWidget *, const QString &key) override
    {
        log(QStringLiteral("OpenFax"), {key});
        setTag(QStringLiteral("SYS_FAX|") + key);
    }
};

class FakeHistoryWindow : public FakeWindow<HistoryWindow>
{
public:
    bool ShowHistory(QWidget *, const QString &table, const QString &key, const QString &view,
                     const QString &description) override
    {
        log(QStringLiteral("ShowHistory"), {table, key, view, description});
        setTag(QStringLiteral("frm_mrvHistory|") + table + QLatin1Char('|') + key);
        return true;
    }
};

class FakeAddressBook : public FakeWindow<AddressBookWindow>
{
public:
    void ShowAddressBook(QWidget *) override { log(QStringLiteral("ShowAddressBook")); }
    QString SelectAddressBook(QWidget *, const QString &filter, const QString &fixed) override
    {
        log(QStringLiteral("SelectAddressBook"), {filter, fixed});
        return QStringLiteral("Mario Rossi <ROSSI>");
    }
    bool SelectRecipients(QWidget *, QString &to, QString &cc, QString &ccn, qint32 field, bool email, bool fax,
                          bool server, bool toOnly, const QString &customer) override
    {
        log(QStringLiteral("SelectRecipients"), {to, cc, ccn, field, email, fax, server, toOnly, customer});
        to += QStringLiteral("; VERDI");
        cc = QStringLiteral("x@y.it");
        ccn.clear();
        return true;
    }
    QString CheckRecipients(QWidget *, const QString &codes, const QString &lookFor) override
    {
        log(QStringLiteral("CheckRecipients"), {codes, lookFor});
        return QStringLiteral("chosen");
    }
};

class FakeLinkWindow : public FakeWindow<CustomerLinkWindow>
{
public:
    QString LinkEmail(QWidget *, const QString &address) override
    {
        log(QStringLiteral("LinkEmail"), {address});
        return script.linkEmail;
    }
    bool LinkFax(QWidget *, const QString &number, const QString &customer) override
    {
        log(QStringLiteral("LinkFax"), {number, customer});
        return script.linkFax;
    }
};

class FakeTemplateSelect : public FakeWindow<TemplateSelectWindow>
{
public:
    bool SelectTemplate(QWidget *, const QString &table, qint32 &id) override
    {
        log(QStringLiteral("SelectTemplate"), {table, id});
        id = script.chosenTemplate;
        return script.selectTemplate;
    }
};

class FakeFields : public TemplateFieldsObject
{
public:
    qint32 Count() const override { return script.templateFields; }
};

class FakeTemplate : public TemplateObject
{
public:
    void setErrors(std::shared_ptr<host::Errors>) override { log(QStringLiteral("setErrors")); }
    void setRecords(std::shared_ptr<host::Records>) override { log(QStringLiteral("setRecords")); }
    std::shared_ptr<TemplateFieldsObject> ParseFromList(qint32 id, const QString &table, const QString &keys,
                                                        const QString &separator) override
    {
        log(QStringLiteral("ParseFromList"), {id, table, keys, separator});
        return std::make_shared<FakeFields>();
    }
    void ShowPreview(QWidget *, std::shared_ptr<TemplateFieldsObject>, qint32 mode, const QString &files) override
    {
        log(QStringLiteral("ShowPreview"), {mode, files});
    }
};

class FakeEmailParams : public EmailParamsObject
{
public:
    void setErrors(std::shared_ptr<host::Errors>) override { log(QStringLiteral("setErrors")); }
    void setRecords(std::shared_ptr<host::Records>) override { log(QStringLiteral("setRecords")); }
    void LoadConfig(const QString &prefix) override { log(QStringLiteral("LoadConfig"), {prefix}); }
    bool ShowConfig(QWidget *) override
    {
        log(QStringLiteral("ShowConfig"));
        return script.showConfig;
    }
    void SaveConfig(const QString &prefix, const QString &flag) override
    {
        log(QStringLiteral("SaveConfig"), {prefix, flag});
    }
};

class FakeDataBoundWindow : public testing::IdleWindow<DataBoundWindow>
{
public:
    QVariantMap boundValues() const override { return m_values; }
    void setBoundValues(const QVariantMap &values) override { m_values = values; }

private:
    QVariantMap m_values;
};

// A record controller that notes the settings it receives, in order.
class RecordingDataBound : public suite::SuiteDataBound
{
public:
    void setConnection(std::shared_ptr<host::Connection> c) override
    {
        note(QStringLiteral("Connection"));
        SuiteDataBound::setConnection(c);
    }
    void setConfigClass(std::shared_ptr<host::ConfigClass> c) override
    {
        note(QStringLiteral("ConfigClass"));
        SuiteDataBound::setConfigClass(c);
    }
    void setUserManager(std::shared_ptr<host::UserManager> u) override
    {
        note(QStringLiteral("UserManager"));
        SuiteDataBound::setUserManager(u);
    }
    void setRecords(std::shared_ptr<host::Records> r) override
    {
        note(QStringLiteral("Records"));
        SuiteDataBound::setRecords(r);
    }
    void setErrors(std::shared_ptr<host::Errors> e) override
    {
        note(QStringLiteral("Errors"));
        SuiteDataBound::setErrors(e);
    }
    void setTableName(const QString &v) override
    {
        note(QStringLiteral("TableName=") + v);
        SuiteDataBound::setTableName(v);
    }
    void setViewName(const QString &v) override
    {
        note(QStringLiteral("ViewName=") + v);
        SuiteDataBound::setViewName(v);
    }
    void setFixedKey(const QString &v) override
    {
        note(QStringLiteral("FixedKey=") + v);
        SuiteDataBound::setFixedKey(v);
    }
    void setProductName(const QString &v) override
    {
        note(QStringLiteral("ProductName=") + v);
        SuiteDataBound::setProductName(v);
    }
    void setFilterQuery(const QString &v) override
    {
        note(QStringLiteral("FilterQuery=") + v);
        SuiteDataBound::setFilterQuery(v);
    }
    void setOrderBy(const QString &v) override
    {
        note(QStringLiteral("OrderBy=") + v);
        SuiteDataBound::setOrderBy(v);
    }
    void setBookmark(const QVariant &v) override
    {
        note(QStringLiteral("Bookmark=") + v.toString());
        SuiteDataBound::setBookmark(v);
    }
    void setKeepBookmark(bool v) override
    {
        note(QStringLiteral("KeepBookmark=") + QString::number(v));
        SuiteDataBound::setKeepBookmark(v);
    }
    void setParam(qint32 i, const QVariant &v) override
    {
        note(QStringLiteral("Param%1=").arg(i) + v.toString());
        SuiteDataBound::setParam(i, v);
    }
    void setForm(host::DataBoundForm *f) override
    {
        note(QStringLiteral("Form"));
        SuiteDataBound::setForm(f);
    }

private:
    static void note(const QString &what) { calls << QStringLiteral("DataBound.") + what; }
};

class RecordingRecords : public suite::SuiteRecords
{
public:
    using SuiteRecords::SuiteRecords;
    std::shared_ptr<host::DataBound> newDataBound() override { return std::make_shared<RecordingDataBound>(); }
};

template <typename Fake> void registerFake(const QString &name)
{
    Factories::add(name, [] { return std::make_unique<Fake>(); });
}

void registerAllFakes()
{
    registerFake<FakeMessageWindow>(MessageWindow::factoryName());
    registerFake<FakeFaxWindow>(FaxWindow::factoryName());
    registerFake<FakeHistoryWindow>(HistoryWindow::factoryName());
    registerFake<FakeAddressBook>(AddressBookWindow::factoryName());
    registerFake<FakeLinkWindow>(CustomerLinkWindow::factoryName());
    registerFake<FakeTemplateSelect>(TemplateSelectWindow::factoryName());
    registerFake<FakeTemplate>(TemplateObject::factoryName());
    registerFake<FakeEmailParams>(EmailParamsObject::factoryName());
    for (const char *table : {"frmSYS_NTF", "frmSYS_NTG", "frmSYS_MST", "frmSYS_DAT"})
        registerFake<FakeDataBoundWindow>(QLatin1String(table));
}

const QStringList kFactoryNames = {QStringLiteral("frmSYS_MSG"),          QStringLiteral("frmSYS_FAX"),
                                   QStringLiteral("frm_mrvHistory"),      QStringLiteral("frm_mrvAddressBook"),
                                   QStringLiteral("frm_mrvLink_CON_TRO"), QStringLiteral("frm_mrvTemplate_Select"),
                                   QStringLiteral("mrvTemplate"),         QStringLiteral("mrvEmailParams"),
                                   QStringLiteral("frmSYS_NTF"),          QStringLiteral("frmSYS_NTG"),
                                   QStringLiteral("frmSYS_MST"),          QStringLiteral("frmSYS_DAT")};

} // namespace

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
    }

    void init()
    {
        registerAllFakes();
        script = Script();
        calls.clear();
        errors().clearRecentReports();
        m_message->setParam1(QString());
        m_message->setParam2(QString());
        m_message->setParam3(QString());
    }

    void cleanup()
    {
        script.refuseUnload = false;
        m_message->UnloadForms();
    }

    void missingWindowsAreReportedNotCrashed_data()
    {
        QTest::addColumn<QString>("procedure");
        QTest::newRow("NewRecord") << QStringLiteral("NewRecord");
        QTest::newRow("OpenRecord") << QStringLiteral("OpenRecord");
        QTest::newRow("history") << QStringLiteral("mrvShowMessageHistory");
        QTest::newRow("address book") << QStringLiteral("mrvSelectAddressBook");
        QTest::newRow("check") << QStringLiteral("mrvCheckRecipients");
        QTest::newRow("email config") << QStringLiteral("mrvShowEmailConfig");
        QTest::newRow("link e-mail") << QStringLiteral("mrvLinkEmail");
    }

    void missingWindowsAreReportedNotCrashed()
    {
        QFETCH(QString, procedure);
        for (const QString &name : kFactoryNames)
            Factories::removeFactory(name);
        bool failed = false;
        if (procedure == QLatin1String("NewRecord"))
            failed = m_message->NewRecord(nullptr, QStringLiteral("SYS_MSG")).isEmpty();
        else if (procedure == QLatin1String("OpenRecord"))
            failed = !m_message->OpenRecord(nullptr, QStringLiteral("SYS_NTF"), QStringLiteral("1"));
        else if (procedure == QLatin1String("mrvShowMessageHistory"))
            failed = !m_message->mrvShowMessageHistory(nullptr, QStringLiteral("DOC_VEN"), QStringLiteral("1"), {}, {});
        else if (procedure == QLatin1String("mrvSelectAddressBook"))
            failed = m_message->mrvSelectAddressBook(nullptr).isEmpty();
        else if (procedure == QLatin1String("mrvCheckRecipients"))
            failed = m_message->mrvCheckRecipients(nullptr, {}, QStringLiteral("x")).isEmpty();
        else if (procedure == QLatin1String("mrvShowEmailConfig"))
            failed = !m_message->mrvShowEmailConfig(nullptr);
        else
            failed = m_message->mrvLinkEmail(nullptr, QStringLiteral("nobody@nowhere.example")).isEmpty();
        QVERIFY(failed);
        QCOMPARE(WindowRegistry::instance().count(), 0);
        QCOMPARE(reportedProcedures().size(), 1);
        QVERIFY2(
            reportedProcedures().first().startsWith(QStringLiteral("mrvMessage.") + procedure + QStringLiteral(": ")),
            qPrintable(reportedProcedures().first()));
        QVERIFY(reportedProcedures().first().contains(QLatin1String("not available")));
    }

    void newRecordOfMessageTables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("create");
        QTest::newRow("message") << "SYS_MSG" << QStringList{"ROSSI", "DOC_VEN|3", "0"}
                                 << "CreateMessage(0,ROSSI,DOC_VEN|3,,0)";
        QTest::newRow("type from Param3") << "SYS_MSG" << QStringList{"ROSSI", "", "5"} << "CreateMessage(5,ROSSI,,,0)";
        QTest::newRow("task") << "SYS_TSK" << QStringList{"VERDI", "DOC_VEN|9", "7"}
                              << "CreateMessage(1,VERDI,DOC_VEN|9,,0)";
        QTest::newRow("fax table") << "AZI_FAX" << QStringList{"0212345", "", "0"} << "CreateMessage(0,0212345,,,0)";
        QTest::newRow("lower case") << "sys_fax" << QStringList{"a", "b", "1"} << "CreateMessage(1,a,b,,0)";
        QTest::newRow("file, any case") << "SYS_TSK" << QStringList{"ROSSI", "FiLe:///tmp/a b.pdf", "DOC_VEN|1"}
                                        << "CreateMessage(1,ROSSI,DOC_VEN|1,/tmp/a b.pdf,0)";
        QTest::newRow("file message") << "SYS_MSG" << QStringList{"ROSSI", "file://x.txt", "L"}
                                      << "CreateMessage(0,ROSSI,L,x.txt,0)";
    }

    void newRecordOfMessageTables()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, params);
        QFETCH(QString, create);
        m_message->setParam1(params.at(0));
        m_message->setParam2(params.at(1));
        m_message->setParam3(params.at(2));
        QCOMPARE(m_message->NewRecord(nullptr, table), QString());
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "setViewName(SYS_MSG_INB)", "setBookmark(7)", create}));
        QCOMPARE(m_message->GetForms().size(), 1);
    }

    void unknownTablesOpenNothing()
    {
        QCOMPARE(m_message->NewRecord(nullptr, QStringLiteral("SYS_EXC")), QString());
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_TSK"), QStringLiteral("1")));
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("CON_TRO"), QStringLiteral("1")));
        QVERIFY(calls.isEmpty());
        QCOMPARE(WindowRegistry::instance().count(), 0);
        QVERIFY(errors().recentReports().isEmpty());
    }

    void openRecordReusesAModelessWindowByTag()
    {
        m_message->setParam3(QStringLiteral("1"));
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QStringLiteral("12")));
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "setViewName(SYS_MSG_INB)", "setBookmark(7)",
                                     "setFilterQuery(MSFLD = 1)", "setOrderBy(MSDTS DESC)", "OpenMessage(12,1)"}));
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

    void mailboxMessageThatFailsToOpenLeavesNoWindow()
    {
        script.openMessage = false;
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_EXC"), QStringLiteral("AAA=")));
        QCOMPARE(calls.last(), QStringLiteral("OpenMessage(AAA=,2)"));
        QCOMPARE(WindowRegistry::instance().count(), 0);
        // A stored message that fails keeps its window: the window decides.
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("SYS_MSG"), QStringLiteral("1")));
        QCOMPARE(WindowRegistry::instance().count(), 1);
    }

    void faxesOpenInTheFaxWindow()
    {
        QVERIFY(!m_message->OpenRecord(nullptr, QStringLiteral("AZI_FAX"), QStringLiteral("4")));
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "setViewName(SYS_MSG_INB)", "setBookmark(7)",
                                     "setFilterQuery(MSFLD = 1)", "setOrderBy(MSDTS DESC)", "OpenFax(4)"}));
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
        QCOMPARE(
            calls,
            (QStringList{"DataBound.Connection", "DataBound.ConfigClass", "DataBound.UserManager", "DataBound.Records",
                         "DataBound.Errors", "DataBound.TableName=SYS_DAT", "DataBound.ViewName=SYS_MSG_INB",
                         "DataBound.FixedKey=FK", "DataBound.ProductName=Merovan", "DataBound.FilterQuery=MSFLD = 1",
                         "DataBound.OrderBy=MSDTS DESC", "DataBound.Bookmark=7", "DataBound.Param1=p1",
                         "DataBound.Param2=p2", "DataBound.Param3=p3", "DataBound.KeepBookmark=0", "DataBound.Form"}));
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
        QCOMPARE(m_message->GetForms().size(), 3);
        script.refuseUnload = true;
        QVERIFY(!m_message->UnloadForms());
        QCOMPARE(m_message->GetForms().size(), 3);
        script.refuseUnload = false;
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

    void addressBookOperationsDelegate()
    {
        m_message->mrvShowAddressBook(nullptr, QStringLiteral("f"), QStringLiteral("ff"));
        QCOMPARE(m_message->mrvSelectAddressBook(nullptr, QStringLiteral("f"), QStringLiteral("ff")),
                 QStringLiteral("Mario Rossi <ROSSI>"));
        QString to = QStringLiteral("ROSSI");
        QString cc;
        QString ccn = QStringLiteral("old");
        QVERIFY(
            m_message->mrvSelectRecipients(nullptr, &to, &cc, &ccn, 2, true, false, true, false, QStringLiteral("C1")));
        QCOMPARE(to, QStringLiteral("ROSSI; VERDI"));
        QCOMPARE(cc, QStringLiteral("x@y.it"));
        QCOMPARE(ccn, QString());
        QCOMPARE(m_message->mrvCheckRecipients(nullptr, QStringLiteral("'A','B'"), QStringLiteral("ros")),
                 QStringLiteral("chosen"));
        QCOMPARE(calls, (QStringList{"setErrors", "setRecords", "ShowAddressBook", "setErrors", "setRecords",
                                     "SelectAddressBook(f,ff)", "setErrors", "setRecords",
                                     "SelectRecipients(ROSSI,,old,2,true,false,true,false,C1)", "setErrors",
                                     "setRecords", "CheckRecipients('A','B',ros)"}));
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
        QTest::addColumn<QStringList>("windowCalls");
        QTest::newRow("customer's own") << QStringLiteral("info@santoro1.example.it") << QStringLiteral("C000001")
                                        << QStringList();
        QTest::newRow("a contact's") << QStringLiteral("paola@santoro1.example.it") << QStringLiteral("C000001")
                                     << QStringList();
        QTest::newRow("an agent's is no customer's")
            << QStringLiteral("paolo.fumagalli@agenti.example.it") << QStringLiteral("C000777")
            << QStringList{"setErrors", "setRecords", "LinkEmail(paolo.fumagalli@agenti.example.it)"};
        QTest::newRow("unknown, quote in it") << QStringLiteral("o'hara@x.example") << QStringLiteral("C000777")
                                              << QStringList{"setErrors", "setRecords", "LinkEmail(o'hara@x.example)"};
    }

    void linkEmailFindsTheCustomer()
    {
        QFETCH(QString, address);
        QFETCH(QString, customer);
        QFETCH(QStringList, windowCalls);
        script.linkEmail = QStringLiteral("C000777");
        QCOMPARE(m_message->mrvLinkEmail(nullptr, address), customer);
        QCOMPARE(calls, windowCalls);
        QVERIFY(errors().recentReports().isEmpty());
    }

    void linkEmailOfABranch()
    {
        auto connection = m_suite->session().connection();
        const QString branch =
            m_suite->scalar(QStringLiteral("SELECT TOP 1 RECORD_ID FROM A01_CON_SED WHERE CDCON = 'C000003'"))
                .toString();
        connection->execute(QStringLiteral("INSERT INTO A01_IND_WEB (TBNAM, TBKEY, WBTIP, WBDES, WBIND) VALUES "
                                           "('CON_SED', '%1', 'E', '@ Magazzino', 'magazzino@c3.example')")
                                .arg(branch));
        QCOMPARE(m_message->mrvLinkEmail(nullptr, QStringLiteral("magazzino@c3.example")), QStringLiteral("C000003"));
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
        const auto boxes = texts.shownBoxes();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes.at(0).text, QStringLiteral("Nessun Template disponibile per la tabella Documenti di vendita!"));
        QCOMPARE(boxes.at(1).text, QStringLiteral("Il Template \"Sollecito\" non ha prodotto nessun risultato!"));
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
        QCOMPARE(texts.shownBoxes().size(), 2);
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
