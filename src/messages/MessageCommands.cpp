#include "MessageCommands.h"

#include "facade/Types.h"
#include "host/HostServices.h"
#include "host/TextService.h"

#include <functional>

namespace mrv {

namespace {

using Rule = std::function<bool(const MessageCommandState &)>;

struct CommandDef
{
    qint32 id;
    const char *caption;
    const char *toolbarCaption; // nullptr: as the menu's
    const char *iconKey;
    Rule enabled;
    Rule visible; // nullptr: always shown
    Rule checked; // nullptr: never ticked
};

bool always(const MessageCommandState &)
{
    return true;
}

bool composing(const MessageCommandState &s)
{
    return s.newMessage;
}

bool notEmailWindow(const MessageCommandState &s)
{
    return s.messageType != mstEmail;
}

bool answerable(const MessageCommandState &s)
{
    return !s.newMessage && s.messageType != mstTask;
}

bool receivedTask(const MessageCommandState &s)
{
    return !s.newMessage && s.messageType == mstTask && s.folder == msfInBox && !s.personalTask;
}

Rule receivedTaskIn(std::initializer_list<qint32> statuses)
{
    const QList<qint32> allowed(statuses);
    return [allowed](const MessageCommandState &s) { return receivedTask(s) && allowed.contains(s.taskStatus); };
}

bool storedWithAttachments(const MessageCommandState &s)
{
    return !s.newMessage && s.storedAttachments;
}

const QList<CommandDef> &definitions()
{
    static const QList<CommandDef> defs = {
        {cmdSend, "&Invia", nullptr, "message_send", composing, composing, nullptr},
        {cmdSave, "&Salva", nullptr, "save",
         [](const MessageCommandState &s) {
             return s.messageType != mstNotification && s.messageType != mstEmail && s.modified;
         },
         nullptr, nullptr},
        {cmdPrint, "Stam&pa...", "Stam&pa", "print", always, nullptr, nullptr},
        {cmdAttach, "&Allega...", "&Allega", "row_attachment", composing, composing, nullptr},
        {cmdRemoveLink, "Rimuovi &collegamento", nullptr, "link", [](const MessageCommandState &s) { return s.linked; },
         nullptr, nullptr},
        {cmdAddressBook, "&Rubrica", nullptr, "address_book", notEmailWindow, nullptr, nullptr},
        {cmdHelp, "&Guida", nullptr, "help", always, nullptr, nullptr},
        {cmdReply, "&Rispondi", nullptr, "message_awr", answerable, nullptr, nullptr},
        {cmdReplyAll, "Rispondi a t&utti", nullptr, "message_awr_all", answerable, nullptr, nullptr},
        {cmdForward, "Ino&ltra", nullptr, "message_forward", answerable, nullptr, nullptr},
        {cmdPrevious, "Messaggio Precedente", nullptr, "message_up",
         [](const MessageCommandState &s) { return s.browsing; }, nullptr, nullptr},
        {cmdNext, "Messaggio Successivo", nullptr, "message_down",
         [](const MessageCommandState &s) { return s.browsing; }, nullptr, nullptr},
        {cmdFileMenu, "&File", nullptr, "", always, nullptr, nullptr},
        {cmdActionsMenu, "A&zioni", nullptr, "", always, nullptr, nullptr},
        {cmdHelpMenu, "&?", nullptr, "", always, nullptr, nullptr},
        {cmdExit, "&Esci", nullptr, "", always, nullptr, nullptr},
        {cmdSaveAllAttachments, "&Salva tutti gli allegati...", nullptr, "", storedWithAttachments, nullptr, nullptr},
        {cmdSaveAttachment, "Salva con nome...", nullptr, "attachment_save", storedWithAttachments, nullptr, nullptr},
        {cmdRemoveAttachment, "Rimuovi", nullptr, "attachment_remove", notEmailWindow, nullptr, nullptr},
        {cmdRemoveAllAttachments, "Rimuovi tutti", nullptr, "", notEmailWindow, nullptr, nullptr},
        {cmdOpenAttachment, "Apri", nullptr, "", [](const MessageCommandState &s) { return s.storedAttachments; },
         nullptr, nullptr},
        {cmdDelete, "&Elimina", nullptr, "delete",
         [](const MessageCommandState &s) { return !s.newMessage && s.messageType != mstEmail; }, nullptr, nullptr},
        {cmdCheckNames, "Controlla &nomi", nullptr, "check_names", composing, composing, nullptr},
        {cmdHighPriority, "&Priorità alta", nullptr, "priority_high", composing, composing,
         [](const MessageCommandState &s) { return s.priority == mspHigh; }},
        {cmdLowPriority, "Priorità &bassa", nullptr, "priority_low", composing, composing,
         [](const MessageCommandState &s) { return s.priority == mspLow; }},
        {cmdAssignTask, "Assegna a&ttività", nullptr, "activity_assign",
         [](const MessageCommandState &s) { return s.newMessage && s.messageType == mstTask; },
         [](const MessageCommandState &s) { return s.newMessage && s.messageType == mstTask; },
         [](const MessageCommandState &s) { return !s.personalTask; }},
        {cmdAcceptTask, "&Accetta", nullptr, "check", receivedTaskIn({tksUnknown}), receivedTask, nullptr},
        {cmdRejectTask, "&Rifiuta", nullptr, "forbidden", receivedTaskIn({tksUnknown}), receivedTask, nullptr},
        {cmdStartTask, "&Inizia", nullptr, "start", receivedTaskIn({tksAccepted, tksPostponed}), receivedTask, nullptr},
        {cmdCompleteTask, "&Completa", nullptr, "end", receivedTaskIn({tksAccepted, tksInProgress, tksPostponed}),
         receivedTask, nullptr},
        {cmdReopenTask, "&Riapri", nullptr, "restart", receivedTaskIn({tksInProgress, tksCompleted}), receivedTask,
         nullptr},
        {cmdPostponeTask, "&Rinvia", nullptr, "forward", receivedTaskIn({tksAccepted, tksInProgress}), receivedTask,
         nullptr},
        {cmdStatusReport, "Invia &rapporto di stato", nullptr, "activity_send", receivedTask, receivedTask,
         [](const MessageCommandState &s) { return s.statusReport; }},
        {cmdSaveAndClose, "Sal&va e chiudi", nullptr, "save", composing, composing, nullptr},
        {cmdPublic, "Rendi &pubblica", "Rendi Pubblico", "message_pub", answerable, nullptr, nullptr},
        {cmdAssociateCounterparty, "Associa a &Controparte", nullptr, "con_tro",
         [](const MessageCommandState &s) { return !s.newMessage; }, nullptr, nullptr},
        {cmdAssociateDocument, "Associa a &Documento", nullptr, "doc_base",
         [](const MessageCommandState &s) { return !s.newMessage; }, nullptr, nullptr},
    };
    return defs;
}

QString translated(const char *text)
{
    return host::textService().translate(QString::fromUtf8(text), QStringLiteral("frmSYS_MSG > mnuMessage_Update"));
}

// The captions that change with the state.
const char *captionFor(const CommandDef &def, const MessageCommandState &s)
{
    if (def.id == cmdSave && s.newMessage && s.messageType == mstTask && !s.personalTask)
        return "&Salva come bozza";
    if (def.id == cmdAssignTask)
        return s.personalTask ? "Assegna A&ttività" : "Ann&ulla Assegnazione";
    if (def.id == cmdPublic && s.publicCopy)
        return "Rimuovi Messaggio Pubblico";
    return def.caption;
}

} // namespace

QList<MessageCommand> messageCommands(const MessageCommandState &state)
{
    QList<MessageCommand> commands;
    for (const CommandDef &def : definitions()) {
        const char *caption = captionFor(def, state);
        const bool varies = caption != def.caption;
        commands.append({def.id, translated(caption),
                         translated(def.toolbarCaption && !varies ? def.toolbarCaption : caption),
                         QString::fromLatin1(def.iconKey), def.enabled(state), !def.visible || def.visible(state),
                         def.checked && def.checked(state)});
    }
    return commands;
}

} // namespace mrv
