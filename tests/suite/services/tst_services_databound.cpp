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

    // From each way of opening a record to saving it: the events the form
    // receives, in order, and what is stored in the end. Editing asks the form
    // first, saving lets it validate; what it refuses leaves the status or the
    // row as they were.
    void fromOpeningToSaving_data()
    {
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QStringList>("events"); // "%1" for the key saved
        QTest::addColumn<QString>("stored");     // DTDES|DTTBL|DTQRY|DTCON under that key
        const QStringList opening = {"initialize", "setFormOptions", "afterToolbarLoad", "beforeShowForm"};
        const QStringList cleared = opening + QStringList{"beforeStatusChange 1", "setBoundValues", "afterClearData"};
        const QStringList asNew = {"statusChanged 1", "toolbarUpdate", "resize"};
        const QStringList loaded =
            opening + QStringList{"beforeFindRecord",     "setBoundValues",  "afterLoadData", "loadUnboundData %1",
                                  "beforeStatusChange 3", "statusChanged 3", "toolbarUpdate", "resize"};
        const QStringList editing = {"beforeStatusChange 2", "statusChanged 2", "toolbarUpdate"};
        const QStringList saved = {"validate", "beforeSaveData", "saveUnboundData %1: Cambiato", "statusChanged 3",
                                   "toolbarUpdate"};
        const auto row = [](const char *name, const char *opening, const char *refused, const QStringList &events,
                            const char *stored) {
            QTest::newRow(name) << QString(opening) << QString(refused) << events << QString(stored);
        };
        row("new", "new", "", cleared + QStringList{"setDefaultValue"} + asNew + saved, "Cambiato|CON_TRO||");
        row("opened", "open", "", loaded + editing + saved, "Cambiato|DOC_ACQ|SELECT 1|CDCON");
        row("editing refused", "open", "editing", loaded + editing.mid(0, 1) + saved,
            "Cambiato|DOC_ACQ|SELECT 1|CDCON");
        row("validation refused", "open", "validation", loaded + editing + QStringList{"validate"},
            "Originale|DOC_ACQ|SELECT 1|CDCON");
        row("pasted", "paste", "", cleared + asNew + saved, "Cambiato|DOC_ACQ|SELECT 1|");
        row("cut", "cut", "", cleared + asNew + saved, "Cambiato|DOC_ACQ|SELECT 1|");
    }

    void fromOpeningToSaving()
    {
        QFETCH(QString, opening);
        QFETCH(QString, refused);
        QFETCH(QStringList, events);
        QFETCH(QString, stored);
        insertDataset(u"Primo"_s, u"DOC_VEN"_s);
        const QString source = insertDataset(u"Originale"_s, u"DOC_ACQ"_s);
        m->form.refuseEditing = refused == "editing"_L1;
        m->form.refuseSave = refused == "validation"_L1;
        const bool loaded = opening == "open"_L1;
        if (opening == "new"_L1)
            QCOMPARE(m->bound->newRecord(nullptr, true, false), QString());
        else
            QVERIFY(m->bound->openRecord(nullptr, source, false, opening == "paste"_L1, opening == "cut"_L1, false));
        QCOMPARE(m->bound->recordStatus(), qint32(loaded ? host::rsViewing : host::rsNew));
        QCOMPARE(m->bound->recordKey(), loaded ? source : QString());
        // Only the form's columns, under the form's names.
        QCOMPARE(m->form.values,
                 (opening == "new"_L1
                      ? QVariantMap{{"DTDES", {}}, {"DTTBL", "CON_TRO"}, {"DTQRY", {}}}
                      : QVariantMap{{"DTDES", "Originale"}, {"DTTBL", "DOC_ACQ"}, {"DTQRY", "SELECT 1"}}));

        m->bound->setChanged();
        QCOMPARE(m->bound->isChanged(), refused != "editing"_L1);
        const bool editing = loaded && refused != "editing"_L1;
        QCOMPARE(m->bound->recordStatus(), qint32(!loaded ? host::rsNew : editing ? host::rsEditing : host::rsViewing));
        m->form.values["DTDES"] = u"Cambiato"_s;
        QCOMPARE(m->bound->save(), refused != "validation"_L1);

        const QString key = m->bound->recordKey();
        QCOMPARE(m->form.events, QStringList(events).replaceInStrings("%1", key));
        QCOMPARE(QVariant(storedRow(key)).toStringList().join(u'|'), stored);
        QCOMPARE(key == source, loaded);
        QCOMPARE(storedRow(source).isEmpty(), opening == "cut"_L1);
        QCOMPARE(datasetCount(), opening == "new"_L1 || opening == "paste"_L1 ? 3 : 2);
        QCOMPARE(m->bound->recordStatus(), qint32(refused == "validation"_L1 ? host::rsEditing : host::rsViewing));
        QCOMPARE(m->bound->isChanged(), refused == "validation"_L1);
    }

    // A key that is not there opens nothing; a write that fails is reported
    // and leaves the record new.
    void failuresChangeNothing()
    {
        QVERIFY(!m->bound->openRecord(nullptr, u"4242"_s, false, false, false, false));
        QVERIFY(!m->form.events.contains("setBoundValues") && m->bound->recordKey().isEmpty());
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
