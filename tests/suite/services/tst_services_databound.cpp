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

// A windowless record form that writes down every event it receives and
// what the controller showed it at the moments that matter.
class RecordingForm : public host::DataBoundForm
{
public:
    explicit RecordingForm(db::SuiteConnection &connection) : m_connection(connection) {}

    host::DataBound *bound = nullptr;
    QStringList events;
    QVariantMap values{{"DTDES", {}}, {"DTTBL", {}}, {"DTQRY", {}}};
    bool refuseEditing = false;
    bool refuseSave = false;
    QString keyAtLoadUnbound;
    QString keyAtSaveUnbound;
    QString descriptionStoredAtSaveUnbound;

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
    void loadUnboundData() override
    {
        events << "loadUnboundData";
        keyAtLoadUnbound = bound->recordKey();
    }
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
        events << "saveUnboundData";
        keyAtSaveUnbound = bound->recordKey();
        descriptionStoredAtSaveUnbound =
            m_connection.nativeQuery(u"SELECT DTDES FROM SYS_DAT WHERE RECORD_ID = ?"_s, {keyAtSaveUnbound})
                .rows.value(0)
                .value(0)
                .toString();
    }
    void afterClearData() override { events << "afterClearData"; }
    void toolbarUpdate() override { events << "toolbarUpdate"; }
    void resize() override { events << "resize"; }

private:
    db::SuiteConnection &m_connection;
};

const QStringList kOpeningEvents = {"initialize", "setFormOptions", "afterToolbarLoad", "beforeShowForm"};

} // namespace

// The record-form controller on the real dataset table: the order of the
// events, loading and saving the bound columns, statuses, copies.
class ServiceDataBoundTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::ServicesTestDatabase> m_database;
    std::shared_ptr<SuiteRecords> m_records;
    std::shared_ptr<SuiteErrors> m_errors;
    std::unique_ptr<RecordingForm> m_form;
    std::shared_ptr<SuiteDataBound> m_bound;

    QString insertDataset(const QString &description, const QString &table)
    {
        m_database->connection()->nativeQuery(
            u"INSERT INTO SYS_DAT (DTDES, DTTBL, DTQRY, DTCON) VALUES (?, ?, 'SELECT 1', 'CDCON')"_s,
            {description, table});
        return m_database->scalar(u"SELECT MAX(RECORD_ID) FROM SYS_DAT"_s).toString();
    }

    QVariantList storedRow(const QString &key) const
    {
        return m_database->connection()
            ->nativeQuery(u"SELECT DTDES, DTTBL, DTQRY, DTCON FROM SYS_DAT WHERE RECORD_ID = ?"_s, {key})
            .rows.value(0);
    }

    int datasetCount() const { return m_database->scalar(u"SELECT COUNT(*) FROM SYS_DAT"_s).toInt(); }

private Q_SLOTS:
    void init()
    {
        m_database = std::make_unique<testing::ServicesTestDatabase>();
        const auto users = m_database->users();
        m_records = std::make_shared<SuiteRecords>(m_database->connection(), users, nullptr);
        m_errors = std::make_shared<SuiteErrors>(m_database->connection(), users);
        m_bound = std::dynamic_pointer_cast<SuiteDataBound>(m_records->newDataBound());
        QVERIFY(m_bound);
        m_form = std::make_unique<RecordingForm>(*m_database->connection());
        m_form->bound = m_bound.get();
        m_bound->setRecords(m_records);
        m_bound->setErrors(m_errors);
        m_bound->setTableName(u"SYS_DAT"_s);
        m_bound->setForm(m_form.get());
    }

    void cleanup()
    {
        m_bound.reset();
        m_form.reset();
        m_errors.reset();
        m_records.reset();
        m_database.reset();
    }

    void newRecordThenSaveInserts()
    {
        QCOMPARE(m_bound->newRecord(nullptr, true, false), QString());
        QCOMPARE(m_form->events,
                 (kOpeningEvents + QStringList{"beforeStatusChange 1", "setBoundValues", "afterClearData",
                                               "setDefaultValue", "statusChanged 1", "toolbarUpdate", "resize"}));
        QCOMPARE(m_bound->recordStatus(), qint32(host::rsNew));
        QCOMPARE(m_form->values.value("DTTBL").toString(), u"CON_TRO"_s);

        m_form->events.clear();
        m_form->values["DTDES"] = u"Clienti con l'e-mail"_s;
        m_form->values["DTQRY"] = u"SELECT * FROM A01_CON_TRO"_s;
        QVERIFY(m_bound->save());
        QCOMPARE(m_form->events,
                 (QStringList{"validate", "beforeSaveData", "saveUnboundData", "statusChanged 3", "toolbarUpdate"}));
        const QString key = m_bound->recordKey();
        QCOMPARE(key, m_database->scalar(u"SELECT MAX(RECORD_ID) FROM SYS_DAT"_s).toString());
        QCOMPARE(m_form->keyAtSaveUnbound, key);
        QCOMPARE(m_form->descriptionStoredAtSaveUnbound, u"Clienti con l'e-mail"_s);
        QCOMPARE(storedRow(key).mid(0, 3),
                 (QVariantList{"Clienti con l'e-mail", "CON_TRO", "SELECT * FROM A01_CON_TRO"}));
        QCOMPARE(m_bound->recordStatus(), qint32(host::rsViewing));
        QVERIFY(!m_bound->isChanged());
    }

    void openRecordLoadsTheBoundColumns()
    {
        insertDataset(u"Primo"_s, u"DOC_VEN"_s);
        const QString key = insertDataset(u"Secondo"_s, u"CON_TRO"_s);
        QVERIFY(m_bound->openRecord(nullptr, key, false, false, false, false));
        QCOMPARE(m_form->events,
                 (kOpeningEvents + QStringList{"beforeFindRecord", "setBoundValues", "afterLoadData", "loadUnboundData",
                                               "beforeStatusChange 3", "statusChanged 3", "toolbarUpdate", "resize"}));
        QCOMPARE(m_form->keyAtLoadUnbound, key);
        // Only the form's columns, under the form's names.
        QCOMPARE(m_form->values, (QVariantMap{{"DTDES", "Secondo"}, {"DTTBL", "CON_TRO"}, {"DTQRY", "SELECT 1"}}));
        QCOMPARE(m_bound->recordKey(), key);
        QCOMPARE(m_bound->recordStatus(), qint32(host::rsViewing));
    }

    void openingAMissingRecordFails()
    {
        QVERIFY(!m_bound->openRecord(nullptr, u"4242"_s, false, false, false, false));
        QVERIFY(!m_form->events.contains("setBoundValues"));
        QCOMPARE(m_bound->recordKey(), QString());
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
        QVERIFY(m_bound->openRecord(nullptr, key, false, false, false, false));
        m_form->refuseEditing = refuseEditing;
        m_form->refuseSave = refuseSave;
        m_form->events.clear();
        m_bound->setChanged();
        const QStringList editing{"beforeStatusChange 2", "statusChanged 2", "toolbarUpdate"};
        QCOMPARE(m_form->events, refuseEditing ? editing.mid(0, 1) : editing);
        QCOMPARE(m_bound->isChanged(), !refuseEditing);
        QCOMPARE(m_bound->recordStatus(), qint32(refuseEditing ? host::rsViewing : host::rsEditing));
        m_form->values["DTDES"] = u"Cambiato"_s;
        m_form->events.clear();
        QCOMPARE(m_bound->save(), !refuseSave);
        QCOMPARE(m_form->events.contains("beforeSaveData"), !refuseSave);
        QCOMPARE(storedRow(key), (QVariantList{refuseSave ? "Fermo" : "Cambiato", "DOC_VEN", "SELECT 1", "CDCON"}));
        QCOMPARE(datasetCount(), 1);
        QCOMPARE(m_bound->recordKey(), key);
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
        QVERIFY(m_bound->openRecord(nullptr, source, false, !cut, cut, false));
        QCOMPARE(m_bound->recordStatus(), qint32(host::rsNew));
        QVERIFY(m_bound->recordKey().isEmpty());
        QVERIFY(!m_form->events.contains("setDefaultValue"));
        QCOMPARE(m_form->values.value("DTDES").toString(), u"Originale"_s);
        QVERIFY(m_bound->save());
        const QString copy = m_bound->recordKey();
        QVERIFY(copy != source);
        QCOMPARE(storedRow(copy).mid(0, 3), (QVariantList{"Originale", "DOC_ACQ", "SELECT 1"}));
        QCOMPARE(storedRow(source).isEmpty(), cut);
    }

    void aFailedWriteIsReported()
    {
        QVERIFY(m_bound->newRecord(nullptr, false, false).isEmpty());
        m_form->values["DTNOPE"] = 1;
        QVERIFY(!m_bound->save());
        QCOMPARE(datasetCount(), 0);
        QCOMPARE(m_bound->recordStatus(), qint32(host::rsNew));
        const auto reports = m_errors->recentReports();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().object, u"DataBound"_s);
        QCOMPARE(reports.first().procedure, u"Save"_s);
        QVERIFY(reports.first().description.contains(u"DTNOPE"_s));
    }
};

QTEST_MAIN(ServiceDataBoundTest)
#include "tst_services_databound.moc"
