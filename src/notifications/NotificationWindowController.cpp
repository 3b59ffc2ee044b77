#include "NotificationWindowController.h"

#include "ConditionRows.h"
#include "FieldValues.h"
#include "NotificationBatch.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "host/Connection.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "host/UserManager.h"

namespace mrv {

using namespace notifications;

namespace {

const QString kObject = QStringLiteral("frmSYS_NTF");
const QString kTable = QStringLiteral("SYS_NTF");
const QString kKey = QStringLiteral("RECORD_ID");
const QString kDescription = QStringLiteral("NTDES");
const QString kType = QStringLiteral("NTTIP");
const QString kObservedTable = QStringLiteral("NTTBL");
const QString kExecution = QStringLiteral("NTEXE");
const QString kRecipients = QStringLiteral("NTREC");
const QString kQuery = QStringLiteral("NTQRY");
const QString kBatch = QStringLiteral("NTQRF");
const QString kState = QStringLiteral("NTUPD");
const QString kCompany = QStringLiteral("CDAZI");
const QString kConditionsPage = QStringLiteral("Condizioni");
const QString kRegistryGrid = QStringLiteral("gridCond_Ana");
const QString kActiveGrid = QStringLiteral("gridCond_Sel");

// States in which the notification server is working on the notification.
const QList<qint32> kServerStates = {2, 3, 12, 13};
// The host's standard record commands the server's states lock as well.
const QList<qint32> kLockedHostCommands = {1026, 1028};

struct CommandDef
{
    qint32 id;
    const char *caption;
    const char *iconKey;
};

const CommandDef kCommands[] = {
    {cmdActivateNotification, "&Attiva Notifica", "start"},
    {cmdDeactivateNotification, "&Disattiva Notifica", "stop_red"},
    {cmdExportNotification, "&Esporta", "sys_ntf_export"},
    {cmdImportNotification, "&Importa", "sys_ntf_import"},
};

} // namespace

NotificationWindowController::NotificationWindowController() : m_notification(std::make_shared<clsSYS_NTF>())
{
    for (const QString &column : {kKey, kDescription, kType, kObservedTable, kExecution, kRecipients,
                                  QStringLiteral("NTSUB"), QStringLiteral("NTNOT"), kQuery, kBatch, kState, kCompany})
        m_fields.insert(column, QVariant());
}

NotificationWindowController::~NotificationWindowController() = default;

void NotificationWindowController::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
    startNotification();
}

void NotificationWindowController::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

// ---------------------------------------------------------------------------
// Small services

host::Records &NotificationWindowController::records() const
{
    return host::requireRecords(m_records);
}

host::Connection &NotificationWindowController::connection() const
{
    return host::requireConnection(m_records);
}

host::DataBound &NotificationWindowController::dataBound() const
{
    if (!m_dataBound)
        throw Failure(QStringLiteral("The notification window has no record controller"));
    return *m_dataBound;
}

QString NotificationWindowController::companyCode() const
{
    auto users = records().userManager();
    if (!users)
        throw Failure(QStringLiteral("The host has no current company"), 91);
    return users->companyCode();
}

qint32 NotificationWindowController::recordKey() const
{
    return m_dataBound ? m_dataBound->recordKey().toInt() : 0;
}

qint32 NotificationWindowController::recordStatus() const
{
    return m_dataBound ? m_dataBound->recordStatus() : 0;
}

qint32 NotificationWindowController::integerField(const QString &column) const
{
    return integerOf(m_fields.value(column));
}

bool NotificationWindowController::serverIsWorking() const
{
    return kServerStates.contains(state());
}

bool NotificationWindowController::isGeneric() const
{
    return integerField(kType) == 0;
}

QString NotificationWindowController::translate(const QString &text, const char *procedure) const
{
    return host::textService().translate(text, kObject + QStringLiteral(" > ") + QLatin1String(procedure));
}

qint32 NotificationWindowController::say(const QString &text, qint32 style) const
{
    return host::textService().messageBox(text, {}, style, QString());
}

void NotificationWindowController::startNotification()
{
    m_notification = std::make_shared<clsSYS_NTF>(m_errors);
}

// ---------------------------------------------------------------------------
// Fields

void NotificationWindowController::applyField(const QString &column, const QVariant &value)
{
    m_fields.insert(column, value);
    if (column == kType && m_dataBound)
        m_dataBound->showTab(kConditionsPage, integerOf(value) == 1);
    else if (column == kExecution)
        m_notification->setExecutionStatus(integerOf(value));
}

void NotificationWindowController::setField(const QString &column, const QVariant &value)
{
    if (!m_fields.contains(column))
        throw Failure(QStringLiteral("The notification window has no field %1").arg(column));
    applyField(column, value);
    if (m_dataBound)
        m_dataBound->setChanged(true);
}

QString NotificationWindowController::tableChooserFilter()
{
    return QStringLiteral("LEN(TBNAM) = ") + numberLiteral(7) + QStringLiteral(" AND TBUSV = ") +
           host::valueTools().sqlLiteral(true, host::tcBoolean);
}

bool NotificationWindowController::mayChangeTable()
{
    if (recordStatus() == host::rsEditing &&
        integerOf(connection().lookup(kTable, kKey, recordKey(), host::kkNumber, kState)) != ntsInactive) {
        say(QStringLiteral("Impossibile modificare la tabella di una notifica non disattiva.\r\n"
                           "Impostare la notifica a \"Da Disattivare\" e attendere che il server di notifica la "
                           "elabori."),
            host::mbOkOnly | host::mbExclamation);
        return false;
    }
    return m_registryRows.isEmpty() ||
           say(QStringLiteral("Modificando la tabella scelta verranno eliminate tutte le condizioni già inserite.\r\n"
                              "Continuare comunque?"),
               host::mbYesNo | host::mbQuestion) == host::mbYes;
}

void NotificationWindowController::changeTable(const QString &table)
{
    const bool hadConditions = !m_registryRows.isEmpty();
    setField(kObservedTable, table);
    if (hadConditions) {
        m_notification->Clear();
        RefreshGridCond();
    }
}

void NotificationWindowController::cmdDbTable()
{
    guardedVoid(m_errors.get(), kObject, "cmdDbTable_Click", [&] {
        if (!mayChangeTable())
            return;
        const auto chosen = records().chooseRecord(m_widget, QStringLiteral("SYS_TBL"), tableChooserFilter());
        if (chosen && chosen->key != textOf(m_fields.value(kObservedTable)))
            changeTable(chosen->key);
    });
}

// ---------------------------------------------------------------------------
// Grids

QString NotificationWindowController::CalcVarValue(const clsSYS_NTC &condition, qint32 operand) const
{
    const QString text = operand == 1 ? condition.Op1() : condition.Op2();
    switch (operand == 1 ? condition.Op1Type() : condition.Op2Type()) {
    case notField:
    case notFieldBefore:
        return u'"' + text + u'"';
    case notQuery:
        return QStringLiteral("(Query)");
    case notCondition: {
        if (text.isEmpty())
            return {};
        const auto referred = m_notification->Condition(text.toInt());
        return referred ? referred->Key() : QStringLiteral("?");
    }
    default:
        return text;
    }
}

void NotificationWindowController::RefreshGridCond()
{
    m_registryRows.clear();
    m_activeRows.clear();
    for (const auto &condition : m_notification->NewEnum()) {
        const bool compared = !condition->Operator().isEmpty() && !condition->Op2().isEmpty();
        m_registryRows << QVariantList{condition->ID(),
                                       condition->Key(),
                                       condition->Description(),
                                       CalcVarValue(*condition, 1),
                                       condition->ImplicitChecks(),
                                       condition->Reversed(),
                                       compared ? condition->Operator() : QString(),
                                       compared ? CalcVarValue(*condition, 2) : QString(),
                                       condition->Selected()};
    }
    for (const auto &condition : m_notification->activeConditions()) {
        qint32 level = 1;
        m_activeRows << QVariantList{condition->Key(), condition->Description(), condition->Formula(true, level)};
    }
}

// ---------------------------------------------------------------------------
// Commands

bool NotificationWindowController::commandEnabled(qint32 id) const
{
    const bool viewing = recordStatus() == host::rsViewing;
    switch (id) {
    case cmdActivateNotification:
        return !viewing && (state() == ntsInactive || state() == ntsToDeactivate);
    case cmdDeactivateNotification:
        return !viewing && (state() == ntsActive || state() == ntsToActivate);
    case cmdExportNotification:
        return viewing && recordKey() > 0;
    case cmdImportNotification:
        return recordStatus() == host::rsNew;
    default:
        return false;
    }
}

commands::CommandStates NotificationWindowController::commands() const
{
    commands::CommandStates states;
    for (const CommandDef &def : kCommands) {
        commands::CommandState command;
        command.id = def.id;
        command.caption = translate(QString::fromUtf8(def.caption), "m_DataBound_AfterToolbarLoad");
        command.iconKey = QLatin1String(def.iconKey);
        command.enabled = commandEnabled(def.id);
        command.onToolbar = true;
        states << command;
    }
    return states;
}

bool NotificationWindowController::runCommand(qint32 id)
{
    if (!commandEnabled(id))
        return false;
    switch (id) {
    case cmdActivateNotification:
        if (!passesValidation())
            return false;
        setField(kState, ntsToActivate);
        return true;
    case cmdDeactivateNotification:
        setField(kState, ntsToDeactivate);
        return true;
    case cmdExportNotification:
        if (!mrvExportNotification(recordKey()))
            return false;
        say(QStringLiteral("Notifica esportata correttamente."), host::mbOkOnly | host::mbInformation);
        return true;
    case cmdImportNotification:
        return mrvImportNotification();
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Validation

bool NotificationWindowController::refuse(const QString &text, const QString &column)
{
    say(text, host::mbOkOnly | host::mbExclamation);
    m_invalidField = column;
    return false;
}

// The host's recipient check: users and groups only, written back resolved.
bool NotificationWindowController::recipientsAccepted()
{
    QString list = textOf(m_fields.value(kRecipients));
    host::RecipientOptions options;
    options.email = false;
    options.fax = false;
    if (!records().resolveRecipients(m_widget, list, options))
        return false;
    applyField(kRecipients, list);
    return true;
}

// The rules in order; the first that fails tells the user and refuses. A
// generic notification's batch is made here, so that a query that cannot
// become one is refused like any other rule.
bool NotificationWindowController::passesValidation()
{
    return guarded(m_errors.get(), kObject, "cmdRec_Click", false, [&] {
        m_invalidField.clear();
        RefreshGridCond();
        if (textOf(m_fields.value(kDescription)).trimmed().isEmpty())
            return refuse(QStringLiteral("Inserire una descrizione!"), kDescription);
        if (textOf(m_fields.value(kRecipients)).trimmed().isEmpty())
            return refuse(QStringLiteral("Inserire almeno un destinatario"), kRecipients);
        if (!recipientsAccepted())
            return refuse(QStringLiteral("Lista destinatari non valida!"), kRecipients);
        if (!isGeneric()) {
            if (textOf(m_fields.value(kObservedTable)).trimmed().isEmpty())
                return refuse(QStringLiteral("Inserire una tabella!"), kObservedTable);
            if (m_registryRows.isEmpty())
                return refuse(QStringLiteral("Inserire almeno una condizione!"), kRegistryGrid);
            if (m_activeRows.isEmpty())
                return refuse(QStringLiteral("Attivare almeno una condizione!"), kActiveGrid);
            return true;
        }
        const QString query = textOf(m_fields.value(kQuery));
        if (query.trimmed().isEmpty())
            return refuse(QStringLiteral("Inserire la query di notifica!"), kQuery);
        m_batchKey = recordKey();
        m_batch = m_notification->ParseQuery(query, m_batchKey, companyCode(), true);
        if (m_batch.isEmpty())
            return refuse(QStringLiteral("La query di notifica non è valida!"), kQuery);
        return true;
    });
}

// ---------------------------------------------------------------------------
// DataBound events

void NotificationWindowController::setBoundValues(const QVariantMap &values)
{
    for (auto value = values.constBegin(); value != values.constEnd(); ++value)
        applyField(value.key(), value.value());
}

void NotificationWindowController::beforeShowForm()
{
    if (m_dataBound)
        m_dataBound->showTab(kConditionsPage, integerField(kType) == 1);
}

void NotificationWindowController::setDefaultValue()
{
    applyField(kType, 1);
    applyField(kExecution, 1);
    applyField(kState, ntsInactive);
}

void NotificationWindowController::beforeStatusChange(qint32 newStatus, bool &cancel)
{
    if (newStatus == host::rsEditing && serverIsWorking())
        cancel = true;
}

void NotificationWindowController::statusChanged(qint32 status)
{
    guardedVoid(m_errors.get(), kObject, "m_DataBound_StatusChanged", [&] {
        if (status != host::rsNew)
            return;
        startNotification();
        RefreshGridCond();
        applyField(kCompany, companyCode());
        applyField(kState, ntsInactive);
    });
}

void NotificationWindowController::afterLoadData()
{
    startNotification();
    m_notification->setExecutionStatus(integerField(kExecution));
}

void NotificationWindowController::loadUnboundData()
{
    guardedVoid(m_errors.get(), kObject, "m_DataBound_LoadUnboundData", [&] {
        m_notification->setID(recordKey());
        loadConditions(connection(), *m_notification, recordKey());
        RefreshGridCond();
    });
}

void NotificationWindowController::validate(bool &cancel)
{
    cancel = !passesValidation();
}

void NotificationWindowController::beforeSaveData()
{
    guardedVoid(m_errors.get(), kObject, "m_DataBound_BeforeSaveData", [&] {
        BusyPointer busy;
        if (isGeneric()) {
            m_notification->Clear();
            RefreshGridCond();
            applyField(kExecution, 1);
            applyField(kBatch, m_batch);
        } else {
            applyField(kQuery, QString());
            applyField(kBatch, QString());
        }
        // The server reloads an active notification that changed.
        if (state() == ntsActive)
            applyField(kState, ntsToActivate);
    });
}

void NotificationWindowController::saveUnboundData()
{
    guardedVoid(m_errors.get(), kObject, "m_DataBound_SaveUnboundData", [&] {
        const qint32 key = recordKey();
        m_fields.insert(kKey, key);
        m_notification->setID(key);
        saveConditions(connection(), records().configClass().get(), *m_notification, key);
        if (isGeneric() && m_batchKey != key)
            rewriteBatch(key);
        RefreshGridCond();
    });
}

// A notification's first save makes its batch before its key exists: the
// batch is made again with the key, or the server would file its results
// under notification 0.
void NotificationWindowController::rewriteBatch(qint32 key)
{
    m_batchKey = key;
    m_batch = notificationBatch(textOf(m_fields.value(kQuery)), key, companyCode(), true);
    auto statement = connection().newStatement();
    statement->initialize(kTable);
    statement->addColumn(kBatch, m_batch, host::tcLongText);
    statement->setWhere(QStringLiteral("WHERE RECORD_ID = ") + numberLiteral(key));
    connection().execute(statement->build(host::skUpdate));
    m_fields.insert(kBatch, m_batch);
}

void NotificationWindowController::toolbarUpdate()
{
    if (!m_dataBound)
        return;
    for (const qint32 command : kLockedHostCommands)
        m_dataBound->enableCommand(command, !serverIsWorking());
}

} // namespace mrv
