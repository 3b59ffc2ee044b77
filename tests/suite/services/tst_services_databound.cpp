#include "ServicesTestDatabase.h"

#include "db/SuiteConnection.h"
#include "services/SuiteDataBound.h"
#include "services/SuiteErrors.h"
#include "services/SuiteRecords.h"
#include "services/SuiteUserManager.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite;
using namespace Qt::StringLiterals;

namespace {

// A windowless record form that writes down every event it receives, with
// the key the controller showed it and, on saving, the description stored.
class RecordingForm : public host::DataBoundForm
{
public:
    host::DataBound *bound = nullptr;
    const testing::ServicesTestDatabase *database = nullptr;
    QStringList events;
    QVariantMap values{{"DTDES", {}}, {"DTTBL", {}}, {"DTQRY", {}}};
    bool refuseEditing = false;
    bool refuseSave = false;

    QWidget *widget() override { return nullptr; }
    QVariantMap boundValues() const override { return values; }
    void setBoundValues(const QVariantMap &loaded) override
    {
        events << "setBoundValues";
        values = loaded;
    }
    void initialize() override { events << "initialize"; }
    void setFormOptions() override { events << "setFormOptions"; }
    void setDefaultValue() override
    {
        events << "setDefaultValue";
        values["DTTBL"] = u"CON_TRO"_s;
    }
    void afterToolbarLoad() override { events << "afterToolbarLoad"; }
    void beforeShowForm() override { events << "beforeShowForm"; }
    void afterLoadData() override { events << "afterLoadData"; }
    void loadUnboundData() override { events << "loadUnboundData " + bound->recordKey(); }
    void beforeFindRecord() override { events << "beforeFindRecord"; }
    void beforeStatusChange(qint32 status, bool &cancel) override
    {
        events << u"beforeStatusChange %1"_s.arg(status);
        cancel = refuseEditing && status == host::rsEditing;
    }
    void statusChanged(qint32 status) override { events << u"statusChanged %1"_s.arg(status); }
    void validate(bool &cancel) override
    {
        events << "validate";
        cancel = refuseSave;
    }
    void beforeSaveData() override { events << "beforeSaveData"; }
    void saveUnboundData() override
    {
        const QString key = bound->recordKey();
        const QVariant stored = database->scalar(u"SELECT DTDES FROM SYS_DAT WHERE RECORD_ID = ?"_s, {key});
        events << "saveUnboundData " + key + ": " + stored.toString();
    }
    void afterClearData() override { events << "afterClearData"; }
    void toolbarUpdate() override { events << "toolbarUpdate"; }
    void resize() override { events << "resize"; }
};

const QStringList kOpeningEvents = {"initialize", "setFormOptions", "afterToolbarLoad", "beforeShowForm"};

// A controller of the dataset table, wired to a recording form; members
// are destroyed in reverse order, the controller first.
struct Fixture
{
    testing::ServicesTestDatabase database;
    std::shared_ptr<SuiteRecords> records =
        std::make_shared<SuiteRecords>(database.connection(), database.users(), nullptr);
    std::shared_ptr<SuiteErrors> errors = std::make_shared<SuiteErrors>(database.connection(), database.users());
    RecordingForm form;
    std::shared_ptr<SuiteDataBound> bound = std::dynamic_pointer_cast<SuiteDataBound>(records->newDataBound());

    Fixture()
    {
        form.bound = bound.get();
        form.database = &database;
        bound->setRecords(records);
        bound->setErrors(errors);
        bound->setTableName(u"SYS_DAT"_s);
        bound->setForm(&form);
    }
};

} // namespace

// The record-form controller on the real dataset table: the order of the
// events, loading and saving the bound columns, statuses, copies.
class ServiceDataBoundTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Fixture> m;

    QString insertDataset(const QString &description, const QString &table)
    {
        m->database.connection()->nativeQuery(
            u"INSERT INTO SYS_DAT (DTDES, DTTBL, DTQRY, DTCON) VALUES (?, ?, 'SELECT 1', 'CDCON')"_s,
            {description, table});
        return m->database.scalar(u"SELECT MAX(RECORD_ID) FROM SYS_DAT"_s).toString();
    }

    QVariantList storedRow(const QString &key) const
    {
        return m->database.connection()
            ->nativeQuery(u"SELECT DTDES, DTTBL, DTQRY, DTCON FROM SYS_DAT WHERE RECORD_ID = ?"_s, {key})
            .rows.value(0);
    }

    int datasetCount() const { return m->database.scalar(u"SELECT COUNT(*) FROM SYS_DAT"_s).toInt(); }

private Q_SLOTS:
    void init()
    {
        m = std::make_unique<Fixture>();
        QVERIFY(m->bound);
    }

    void cleanup() { m.reset(); }

    void newRecordThenSaveInserts()
    {
        QCOMPARE(m->bound->newRecord(nullptr, true, false), QString());
        QCOMPARE(m->form.events,
                 (kOpeningEvents + QStringList{"beforeStatusChange 1", "setBoundValues", "afterClearData",
                                               "setDefaultValue", "statusChanged 1", "toolbarUpdate", "resize"}));
        QCOMPARE(m->bound->recordStatus(), qint32(host::rsNew));
        QCOMPARE(m->form.values.value("DTTBL").toString(), u"CON_TRO"_s);

        m->form.events.clear();
        m->form.values["DTDES"] = u"Clienti con l'e-mail"_s;
        m->form.values["DTQRY"] = u"SELECT * FROM A01_CON_TRO"_s;
        QVERIFY(m->bound->save());
        const QString key = m->bound->recordKey();
        QCOMPARE(key, m->database.scalar(u"SELECT MAX(RECORD_ID) FROM SYS_DAT"_s).toString());
        QCOMPARE(m->form.events,
                 (QStringList{"validate", "beforeSaveData", "saveUnboundData " + key + ": Clienti con l'e-mail",
                              "statusChanged 3", "toolbarUpdate"}));
        QCOMPARE(storedRow(key).mid(0, 3),
                 (QVariantList{"Clienti con l'e-mail", "CON_TRO", "SELECT * FROM A01_CON_TRO"}));
        QCOMPARE(m->bound->recordStatus(), qint32(host::rsViewing));
        QVERIFY(!m->bound->isChanged());
    }

    void openRecordLoadsTheBoundColumns()
    {
        QVERIFY(!m->bound->openRecord(nullptr, u"4242"_s, false, false, false, false));
        QVERIFY(!m->form.events.contains("setBoundValues") && m->bound->recordKey().isEmpty());
        m->form.events.clear();
        insertDataset(u"Primo"_s, u"DOC_VEN"_s);
        const QString key = insertDataset(u"Secondo"_s, u"CON_TRO"_s);
        QVERIFY(m->bound->openRecord(nullptr, key, false, false, false, false));
        QCOMPARE(m->form.events, (kOpeningEvents + QStringList{"beforeFindRecord", "setBoundValues", "afterLoadData",
                                                               "loadUnboundData " + key, "beforeStatusChange 3",
                                                               "statusChanged 3", "toolbarUpdate", "resize"}));
        // Only the form's columns, under the form's names.
        QCOMPARE(m->form.values, (QVariantMap{{"DTDES", "Secondo"}, {"DTTBL", "CON_TRO"}, {"DTQRY", "SELECT 1"}}));
        QCOMPARE(m->bound->recordKey(), key);
        QCOMPARE(m->bound->recordStatus(), qint32(host::rsViewing));
    }

    // Editing asks the form first, saving lets it validate; what it refuses
    // leaves the status or the row as they were.
    void editingAndSaving_data()
    {
        QTest::addColumn<bool>("refuseEditing");
        QTest::addColumn<bool>("refuseSave");
        QTest::newRow("accepted") << false << false;
        QTest::newRow("editing refused") << true << false;
        QTest::newRow("validation refused") << false << true;
    }

    void editingAndSaving()
    {
        QFETCH(bool, refuseEditing);
        QFETCH(bool, refuseSave);
        const QString key = insertDataset(u"Fermo"_s, u"DOC_VEN"_s);
        QVERIFY(m->bound->openRecord(nullptr, key, false, false, false, false));
        m->form.refuseEditing = refuseEditing;
        m->form.refuseSave = refuseSave;
        m->form.events.clear();
        m->bound->setChanged();
        const QStringList editing{"beforeStatusChange 2", "statusChanged 2", "toolbarUpdate"};
        QCOMPARE(m->form.events, refuseEditing ? editing.mid(0, 1) : editing);
        QCOMPARE(m->bound->isChanged(), !refuseEditing);
        QCOMPARE(m->bound->recordStatus(), qint32(refuseEditing ? host::rsViewing : host::rsEditing));
        m->form.values["DTDES"] = u"Cambiato"_s;
        m->form.events.clear();
        QCOMPARE(m->bound->save(), !refuseSave);
        QCOMPARE(m->form.events.contains("beforeSaveData"), !refuseSave);
        QCOMPARE(storedRow(key), (QVariantList{refuseSave ? "Fermo" : "Cambiato", "DOC_VEN", "SELECT 1", "CDCON"}));
        QCOMPARE(datasetCount(), 1);
        QCOMPARE(m->bound->recordKey(), key);
    }

    void pasteAndCutCopyTheRecord_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("paste") << false;
        QTest::newRow("cut") << true;
    }

    void pasteAndCutCopyTheRecord()
    {
        QFETCH(bool, cut);
        const QString source = insertDataset(u"Originale"_s, u"DOC_ACQ"_s);
        QVERIFY(m->bound->openRecord(nullptr, source, false, !cut, cut, false));
        QCOMPARE(m->bound->recordStatus(), qint32(host::rsNew));
        QVERIFY(m->bound->recordKey().isEmpty());
        QVERIFY(!m->form.events.contains("setDefaultValue"));
        QCOMPARE(m->form.values.value("DTDES").toString(), u"Originale"_s);
        QVERIFY(m->bound->save());
        const QString copy = m->bound->recordKey();
        QVERIFY(copy != source);
        QCOMPARE(storedRow(copy).mid(0, 3), (QVariantList{"Originale", "DOC_ACQ", "SELECT 1"}));
        QCOMPARE(storedRow(source).isEmpty(), cut);
    }

    void aFailedWriteIsReported()
    {
        QVERIFY(m->bound->newRecord(nullptr, false, false).isEmpty());
        m->form.values["DTNOPE"] = 1;
        QVERIFY(!m->bound->save());
        QCOMPARE(datasetCount(), 0);
        QCOMPARE(m->bound->recordStatus(), qint32(host::rsNew));
        const auto reports = m->errors->recentReports();
        QVERIFY(reports.size() == 1 && reports.first().description.contains(u"DTNOPE"_s));
        QCOMPARE(reports.first().object + u'.' + reports.first().procedure, u"DataBound.Save"_s);
    }
};

QTEST_MAIN(ServiceDataBoundTest)
#include "tst_services_databound.moc"
