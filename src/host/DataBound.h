#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QWidget;

namespace mrv::host {

class Connection;
class ConfigClass;
class Errors;
class Records;
class UserManager;

// Record statuses reported by DataBound.
enum RecordStatus : qint32 { rsNew = 1, rsEditing = 2, rsViewing = 3 };

// The window side of a data-bound record form: DataBound raises these
// events in the order documented on DataBound, and reads and writes the bound
// columns through boundValues/setBoundValues.
class DataBoundForm
{
public:
    virtual ~DataBoundForm() = default;

    virtual QWidget *widget() = 0;
    // Column name -> value of every bound control.
    virtual QVariantMap boundValues() const = 0;
    virtual void setBoundValues(const QVariantMap &values) = 0;

    virtual void initialize() {}
    virtual void setFormOptions() {}
    virtual void setDefaultValue() {}
    virtual void afterToolbarLoad() {}
    virtual void beforeShowForm() {}
    virtual void afterLoadData() {}
    virtual void loadUnboundData() {}
    virtual void beforeFindRecord() {}
    virtual void beforeStatusChange(qint32 /*newStatus*/, bool & /*cancel*/) {}
    virtual void statusChanged(qint32 /*status*/) {}
    virtual void validate(bool & /*cancel*/) {}
    virtual void beforeSaveData() {}
    virtual void saveUnboundData() {}
    virtual void afterClearData() {}
    virtual void toolbarUpdate() {}
    virtual void resize() {}
};

// The host's record-form controller, one per data-bound window.
//
// Order of events relied on: initialize, setFormOptions, afterToolbarLoad,
// beforeShowForm; for a new record setDefaultValue; for an existing one
// beforeFindRecord, the bound columns loaded, afterLoadData, loadUnboundData
// (the key known). On save: validate (may refuse), beforeSaveData, the bound
// columns written, saveUnboundData (the key exists), statusChanged.
class DataBound
{
public:
    virtual ~DataBound() = default;

    virtual void setConnection(std::shared_ptr<Connection> connection) = 0;
    virtual void setConfigClass(std::shared_ptr<ConfigClass> config) = 0;
    virtual void setUserManager(std::shared_ptr<UserManager> users) = 0;
    virtual void setRecords(std::shared_ptr<Records> records) = 0;
    virtual void setErrors(std::shared_ptr<Errors> errors) = 0;
    virtual void setTableName(const QString &table) = 0;
    virtual void setViewName(const QString &view) = 0;
    virtual void setFixedKey(const QString &key) = 0;
    virtual void setProductName(const QString &product) = 0;
    virtual void setFilterQuery(const QString &filter) = 0;
    virtual void setOrderBy(const QString &orderBy) = 0;
    virtual void setBookmark(const QVariant &bookmark) = 0;
    // Whether the form keeps its position in the list after a save (the flag after Bookmark).
    virtual void setKeepBookmark(bool keep) = 0;
    virtual void setParam(qint32 index, const QVariant &value) = 0; // 1..3
    virtual void setForm(DataBoundForm *form) = 0;

    // Opens the form on a new record; returns the new record's key (empty when not saved).
    virtual QString newRecord(QWidget *owner, bool modal, bool flag) = 0;
    virtual bool openRecord(QWidget *owner, const QString &key, bool modal, bool paste, bool cut, bool flag) = 0;

    // Saves the form's record; false when validation refused or the write failed.
    virtual bool save() = 0;
    virtual void close() = 0;

    virtual qint32 recordStatus() const = 0;
    virtual QString recordKey() const = 0;
    virtual void enableCommand(qint32 id, bool enabled) = 0;
    virtual bool isCommandEnabled(qint32 id) const = 0;
    virtual void showTab(const QString &name, bool visible) = 0;
    virtual void setChanged(bool changed = true) = 0;
    virtual bool isChanged() const = 0;
    // The next RECORD_ID a new record of the table will receive.
    virtual qint32 nextKey() = 0;
};

} // namespace mrv::host
