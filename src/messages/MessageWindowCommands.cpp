#include "MessageWindowController.h"
#include "MessageWindowShared.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/Types.h"
#include "facade/Windows.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

namespace mrv {

using namespace messagewindow;

// ---------------------------------------------------------------------------
// Commands

commands::CommandStates MessageWindowController::commands() const
{
    MessageCommandState state;
    state.newMessage = m_newMessage;
    state.messageType = m_messageType;
    state.personalTask = m_personalTask;
    state.folder = m_folder;
    state.taskStatus = m_task.status;
    state.modified = m_modified;
    state.linked = !m_link.isEmpty();
    state.browsing = !m_viewName.isEmpty();
    state.storedAttachments = !m_storedAttachments.isEmpty();
    state.priority = m_priority;
    state.statusReport = m_task.statusReport;
    state.publicCopy = m_publicMessageId > 0;
    return messageCommands(state);
}

commands::CommandState MessageWindowController::command(qint32 commandId) const
{
    for (const commands::CommandState &command : commands()) {
        if (command.id == commandId)
            return command;
    }
    commands::CommandState unknown;
    unknown.enabled = unknown.visible = false;
    return unknown;
}

bool MessageWindowController::execute(qint32 commandId)
{
    const commands::CommandState found = command(commandId);
    if (!found.enabled || !found.visible)
        return false;
    return guardedVoid(m_errors.get(), kObject, "mnuMessage_Execute", [&] { executeCommand(commandId); });
}

void MessageWindowController::executeCommand(qint32 commandId)
{
    bool ok = false;
    switch (commandId) {
    case cmdSend:
    case cmdSaveAndClose:
        SaveMessage(true, ok);
        if (ok)
            Q_EMIT closeRequested();
        break;
    case cmdSave:
        SaveMessage(false, ok);
        break;
    case cmdPrint:
        Q_EMIT printRequested();
        break;
    case cmdAttach:
        AddAttachment(QString());
        break;
    case cmdRemoveLink:
        removeLink();
        break;
    case cmdAddressBook:
        chooseRecipients();
        break;
    case cmdHelp:
        Q_EMIT helpRequested();
        break;
    case cmdReply:
        ReplyToMessage(replyRecipients(false), false);
        break;
    case cmdReplyAll:
        ReplyToMessage(replyRecipients(true), false);
        break;
    case cmdForward:
        ReplyToMessage(QString(), true);
        break;
    case cmdPrevious:
    case cmdNext:
        MoveMessage(m_viewName, commandId == cmdNext ? 2 : 1);
        break;
    case cmdExit:
        Q_EMIT closeRequested();
        break;
    case cmdSaveAllAttachments:
        SaveAllAttachment();
        break;
    case cmdSaveAttachment:
        SaveAttachment(m_selectedAttachment);
        break;
    case cmdRemoveAttachment:
    case cmdRemoveAllAttachments:
        removeAttachment(commandId == cmdRemoveAllAttachments);
        break;
    case cmdOpenAttachment:
        OpenAttachment(m_selectedAttachment);
        break;
    case cmdDelete:
        deleteMessage();
        break;
    case cmdCheckNames:
        ResolveAddresses(true, ok);
        break;
    case cmdHighPriority:
    case cmdLowPriority:
        changePriority(commandId == cmdHighPriority ? mspHigh : mspLow);
        break;
    case cmdAssignTask:
        toggleAssignment();
        break;
    case cmdAcceptTask:
    case cmdReopenTask:
        m_task.accept();
        markModified();
        break;
    case cmdRejectTask:
        m_task.reject();
        markModified();
        break;
    case cmdStartTask:
        m_task.start();
        markModified();
        break;
    case cmdCompleteTask:
        m_task.complete();
        markModified();
        break;
    case cmdPostponeTask:
        m_task.postpone();
        markModified();
        break;
    case cmdStatusReport:
        m_task.statusReport = !m_task.statusReport;
        markModified();
        break;
    case cmdPublic:
        togglePublic();
        break;
    case cmdAssociateCounterparty:
        associateCounterparty();
        break;
    case cmdAssociateDocument:
        associateDocument();
        break;
    default:
        break; // the menus open themselves
    }
}

QString MessageWindowController::replyRecipients(bool all) const
{
    QStringList recipients{m_header.from};
    if (!all)
        return m_header.from;
    const QString own = QLatin1Char('<') + hostRecords().userManager()->userCode().toLower() + QLatin1Char('>');
    for (const QString &item : (m_header.to + QLatin1Char(';') + m_header.cc).split(QLatin1Char(';'))) {
        const QString address = item.trimmed();
        if (!address.isEmpty() && !address.toLower().contains(own))
            recipients << address;
    }
    return recipients.join(QLatin1Char(';'));
}

void MessageWindowController::changePriority(qint32 priority)
{
    m_priority = m_priority == priority ? mspNormal : priority;
    markModified();
}

void MessageWindowController::toggleAssignment()
{
    m_personalTask = !m_personalTask;
    m_addresses.at(0) = m_personalTask ? hostRecords().userManager()->userCode() : QString();
    markModified();
}

void MessageWindowController::removeLink()
{
    if (ask(QStringLiteral("Rimuovere il collegamento a \"@1\"?"), {m_link}, host::mbYesNo | host::mbQuestion) !=
        host::mbYes)
        return;
    m_link.clear();
    markModified();
}

void MessageWindowController::chooseRecipients()
{
    std::unique_ptr<AddressBookWindow> book = Factories::create<AddressBookWindow>(AddressBookWindow::factoryName());
    book->setErrors(m_errors);
    book->setRecords(m_records);
    QString customer, table, key;
    if (hostRecords().splitLink(m_link, QStringLiteral("|"), table, key) && table == QLatin1String("CON_TRO"))
        customer = host::valueTools()
                       .nullSafe(connection().lookup(hostRecords().physicalName(table), QStringLiteral("RECORD_ID"),
                                                     key, host::kkNumber, QStringLiteral("DTCON")))
                       .toString();
    auto &[to, cc, ccn] = m_addresses;
    const bool email = m_messageType != mstTask && m_messageType != mstNotification;
    if (book->SelectRecipients(m_owner, to, cc, ccn, 1, email, true, false, false, customer))
        markModified();
}

void MessageWindowController::deleteMessage()
{
    const QString title = translate(QStringLiteral("Messaggio"), "mnuMessage_Execute");
    if (m_folder != msfTrash) {
        if (ask(QStringLiteral("Spostare il messaggio nel cestino?"), {}, host::mbYesNo | host::mbQuestion, title) !=
            host::mbYes)
            return;
        requireRow(id());
        store().updateColumns(kTable, id(), {{QStringLiteral("MSFLD"), msfTrash, host::tcInt16}});
        hostRecords().refreshView(kTable, -1, m_bookmark, QString());
    } else {
        if (ask(QStringLiteral("Eliminare in maniera definitiva il messaggio?"), {}, host::mbYesNo | host::mbQuestion,
                title) != host::mbYes)
            return;
        connection().deleteRow(kTable, id());
        hostRecords().refreshView(QStringLiteral("SYS_MSG_DEL"), -1, m_bookmark, QString());
    }
    Q_EMIT closeRequested();
}

void MessageWindowController::togglePublic()
{
    if (m_publicMessageId > 0) {
        RemovePublicMessage();
        return;
    }
    qint32 copy = 0;
    SaveAsPublic(copy);
}

} // namespace mrv
