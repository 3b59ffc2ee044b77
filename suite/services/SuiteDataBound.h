#pragma once

#include "host/DataBound.h"

#include <QSet>
#include <QString>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>

namespace mrv::suite {

// What the owner of a record form handed it before opening.
struct DataBoundSettings
{
    QString tableName;
    QString viewName;
    QString fixedKey;
    QString productName;
    QString filterQuery;
    QString orderBy;
    QVariant bookmark;
    bool keepBookmark = false;
    std::array<QVariant, 3> params;
};

// The suite's record-form controller: loads the form's bound columns from
// the row of its table whose RECORD_ID is the key, writes them back, and
// raises the form's events in the documented order. The window is handed to
// Records to be shown when it has a widget; without one (command line,
// tests) the record is only loaded.
//
// Statuses: a new record is rsNew until saved; an opened or saved record is
// rsViewing; marking it changed asks for rsEditing, which the form may
// refuse in beforeStatusChange. Pasting opens a copy of the record as a new
// one; cutting does the same and deletes the original once the copy is saved.
class SuiteDataBound : public host::DataBound
{
public:
    static constexpr qint32 kNoRecord = 0;

    void setConnection(std::shared_ptr<host::Connection> connection) override;
    void setConfigClass(std::shared_ptr<host::ConfigClass> config) override;
    void setUserManager(std::shared_ptr<host::UserManager> users) override;
    void setRecords(std::shared_ptr<host::Records> records) override;
    void setErrors(std::shared_ptr<host::Errors> errors) override;
    void setTableName(const QString &table) override;
    void setViewName(const QString &view) override;
    void setFixedKey(const QString &key) override;
    void setProductName(const QString &product) override;
    void setFilterQuery(const QString &filter) override;
    void setOrderBy(const QString &orderBy) override;
    void setBookmark(const QVariant &bookmark) override;
    void setKeepBookmark(bool keep) override;
    void setParam(qint32 index, const QVariant &value) override;
    void setForm(host::DataBoundForm *form) override;

    QString newRecord(QWidget *owner, bool modal, bool flag) override;
    bool openRecord(QWidget *owner, const QString &key, bool modal, bool paste, bool cut, bool flag) override;
    bool save() override;
    void close() override;

    qint32 recordStatus() const override;
    QString recordKey() const override;
    void enableCommand(qint32 id, bool enabled) override;
    bool isCommandEnabled(qint32 id) const override;
    void showTab(const QString &name, bool visible) override;
    void setChanged(bool changed = true) override;
    bool isChanged() const override;
    qint32 nextKey() override;

    // The toolbar's status commands (edit, view); false when the form refused.
    bool changeStatus(qint32 status);
    bool isTabVisible(const QString &name) const;
    const DataBoundSettings &settings() const;

private:
    host::DataBoundForm &form() const;
    QString physicalTable() const;
    QString keyLiteral(const QString &key) const;
    qint32 typeCodeOf(const QString &column, const QVariant &value) const;

    void raiseOpeningEvents();
    bool startNewRecord(const QVariantMap &values);
    bool loadRecord(const QString &key);
    void show(QWidget *owner);
    void enterSavedStatus();
    std::optional<QVariantMap> readRow(const QString &key) const;
    QVariantMap boundPart(const QVariantMap &row) const;
    void writeBoundColumns();
    qint64 lastSqliteSequence() const;
    void report(const QString &description, qint32 number, const QString &procedure) const;

    std::shared_ptr<host::Connection> m_connection;
    std::shared_ptr<host::ConfigClass> m_config;
    std::shared_ptr<host::UserManager> m_users;
    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
    DataBoundSettings m_settings;
    host::DataBoundForm *m_form = nullptr;

    qint32 m_status = kNoRecord;
    QString m_key;
    QString m_cutSource;
    bool m_changed = false;
    QSet<qint32> m_disabledCommands;
    QSet<QString> m_hiddenTabs;
};

} // namespace mrv::suite
