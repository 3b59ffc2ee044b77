#pragma once

#include "clsSYS_NTF.h"
#include "host/DataBound.h"
#include "platform/commands/CommandState.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QWidget;

namespace mrv {

namespace host {
class Connection;
class Errors;
class Records;
} // namespace host

namespace notifications {
struct FileSection;
}

// The commands the notification editor adds to the host's toolbar.
enum NotificationCommandId : qint32 {
    cmdActivateNotification = 275500,
    cmdDeactivateNotification = 275501,
    cmdExportNotification = 275502,
    cmdImportNotification = 275503,
};

// NTUPD, the state a notification shares with the notification server.
enum NotificationState : qint32 {
    ntsInactive = 0,
    ntsActive = 1,
    ntsToDeactivate = 10,
    ntsToActivate = 11,
};

// All the behaviour of the notification editor "frmSYS_NTF" that needs no
// widget: the bound fields of SYS_NTF, the conditions kept in Notification
// and their two grids, validation, the preparation and saving of a record,
// the state commands and the export file. It is the record form of a host
// DataBound, which loads and writes the bound fields and raises the events
// below; messages and dialogs go through the host, so it runs headless.
class NotificationWindowController : public host::DataBoundForm
{
public:
    NotificationWindowController();
    ~NotificationWindowController() override;

    // Before a record is opened: the conditions start again with the new Errors.
    void setErrors(std::shared_ptr<host::Errors> errors);
    void setRecords(std::shared_ptr<host::Records> records);
    // The DataBound this form belongs to; it outlives the form's use.
    void setDataBound(host::DataBound *dataBound) { m_dataBound = dataBound; }
    // The widget handed to the host to be shown; may stay null (headless).
    void setWidget(QWidget *widget) { m_widget = widget; }

    // The conditions. A new one comes with every record loaded or started.
    clsSYS_NTF &Notification() const { return *m_notification; }

    // Bound fields by column; setField is the user's edit (it marks the
    // record changed, which asks the host to edit a stored one).
    QVariant field(const QString &column) const { return m_fields.value(column); }
    void setField(const QString &column, const QVariant &value);
    // The control the last refused validation pointed at.
    QString invalidField() const { return m_invalidField; }

    // cmdDbTable: may the table change now, then the chooser, then the change.
    void cmdDbTable();
    // The first two steps alone: false (the user told why) when the table
    // of this notification may not change now.
    bool mayChangeTable();
    // Stores another table; the conditions of the old one go.
    void changeTable(const QString &table);
    // The chooser's filter of SYS_TBL: tables of seven letters users see.
    static QString tableChooserFilter();

    // The grids, rebuilt from Notification. Registry rows: RECORD_ID,
    // NCKEY, NCDES, NCV1C, NCIMP, NCNOT, NCOPE, NCV2C, NCSEL (operands as
    // CalcVarValue shows them). Active rows: NCKEY, NCDES, FORMULA.
    void RefreshGridCond();
    const QList<QVariantList> &registryRows() const { return m_registryRows; }
    const QList<QVariantList> &activeRows() const { return m_activeRows; }
    // Operand 1 or 2 of a condition as the registry shows it.
    QString CalcVarValue(const clsSYS_NTC &condition, qint32 operand) const;

    commands::CommandStates commands() const;
    // Runs an enabled command; false when it is not enabled now.
    bool runCommand(qint32 id);

    // The export file of a stored notification and the import into this
    // new record: with the host's file dialog, or given the file.
    bool mrvExportNotification(qint32 ID);
    bool mrvImportNotification();
    bool exportNotification(qint32 id, const QString &path);
    bool importNotification(const QString &path);

    // host::DataBoundForm
    QWidget *widget() override { return m_widget; }
    QVariantMap boundValues() const override { return m_fields; }
    void setBoundValues(const QVariantMap &values) override;
    void beforeShowForm() override;
    void setDefaultValue() override;
    void beforeStatusChange(qint32 newStatus, bool &cancel) override;
    void statusChanged(qint32 status) override;
    void afterLoadData() override;
    void loadUnboundData() override;
    void validate(bool &cancel) override;
    void beforeSaveData() override;
    void saveUnboundData() override;
    void toolbarUpdate() override;

private:
    host::Records &records() const;
    host::Connection &connection() const;
    host::DataBound &dataBound() const;
    QString companyCode() const;
    qint32 recordKey() const;
    qint32 integerField(const QString &column) const;
    qint32 state() const { return integerField(QStringLiteral("NTUPD")); }
    bool serverIsWorking() const;
    bool isGeneric() const;
    qint32 recordStatus() const;
    QString translate(const QString &text, const char *procedure) const;
    qint32 say(const QString &text, qint32 style) const;

    void applyField(const QString &column, const QVariant &value);
    void startNotification();
    bool commandEnabled(qint32 id) const;
    bool passesValidation();
    bool refuse(const QString &text, const QString &column);
    bool recipientsAccepted();
    void rewriteBatch(qint32 key);

    QList<notifications::FileSection> exportedSections(qint32 id) const;
    void readImport(const QString &path);
    QHash<QString, QString> insertParameters(const QList<notifications::FileSection> &sections);
    void fillFromImport(const notifications::FileSection &notification);
    void addImportedConditions(const QList<notifications::FileSection> &sections);

    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::Records> m_records;
    host::DataBound *m_dataBound = nullptr;
    QWidget *m_widget = nullptr;
    std::shared_ptr<clsSYS_NTF> m_notification;
    QVariantMap m_fields;
    QList<QVariantList> m_registryRows;
    QList<QVariantList> m_activeRows;
    QString m_invalidField;
    // The batch the last validation made for NTQRF, and the key it names.
    QString m_batch;
    qint32 m_batchKey = 0;
};

} // namespace mrv
