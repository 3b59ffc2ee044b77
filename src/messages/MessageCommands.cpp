#include "MessageCommands.h"

#include "facade/Types.h"
#include "host/HostServices.h"
#include "host/TextService.h"

#include <functional>

namespace mrv {

namespace {

using Rule = std::function<bool(const MessageCommandState &)>;

// Where a command sits: its menu, whether the "Standard" toolbar carries
// it, and whether a separator comes before it.
enum Place : quint8 { InMenu = 0, OnToolbar = 1, AfterSeparator = 2 };

struct CommandDef
{
    qint32 id;
    const char *caption;
    const char *iconKey;
    qint32 menu;
    quint8 place;
    Rule enabled;
    Rule visible; // nullptr: always shown
    Rule checked; // nullptr: not a toggle
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

bool stored(const MessageCommandState &s)
{
    return !s.newMessage;
}

bool composingTask(const MessageCommandState &s)
{
    return s.newMessage && s.messageType == mstTask;
}

bool browsable(const MessageCommandState &s)
{
    return s.browsing;
}

// Browsing and answering are offered for stored items only: from a window
// being composed they would drop the text written so far.
const QList<CommandDef> &definitions()
{
    static const QList<CommandDef> defs = {
        {cmdFileMenu, "&File", "", 0, InMenu, always, nullptr, nullptr},
        {cmdSend, "&Invia", "message_send", cmdFileMenu, OnToolbar, composing, composing, nullptr},
        {cmdSave, "&Salva", "save", cmdFileMenu, OnToolbar,
         [](const MessageCommandState &s) {
             return s.messageType != mstNotification && s.messageType != mstEmail && s.modified;
         },
         nullptr, nullptr},
        {cmdSaveAndClose, "Sal&va e chiudi", "save", cmdFileMenu, InMenu, composing, composing, nullptr},
        {cmdAttach, "&Allega...", "row_attachment", cmdFileMenu, OnToolbar | AfterSeparator, composing, composing,
         nullptr},
        {cmdSaveAllAttachments, "&Salva tutti gli allegati...", "", cmdFileMenu, InMenu, storedWithAttachments, nullptr,
         nullptr},
        {cmdPrint, "Stam&pa...", "print", cmdFileMenu, OnToolbar | AfterSeparator, always, nullptr, nullptr},
        {cmdDelete, "&Elimina", "delete", cmdFileMenu, OnToolbar | AfterSeparator,
         [](const MessageCommandState &s) { return !s.newMessage && s.messageType != mstEmail; }, stored, nullptr},
        {cmdExit, "&Esci", "", cmdFileMenu, AfterSeparator, always, nullptr, nullptr},

        {cmdActionsMenu, "A&zioni", "", 0, InMenu, always, nullptr, nullptr},
        {cmdReply, "&Rispondi", "message_awr", cmdActionsMenu, OnToolbar | AfterSeparator, answerable, answerable,
         nullptr},
        {cmdReplyAll, "Rispondi a t&utti", "message_awr_all", cmdActionsMenu, OnToolbar, answerable, answerable,
         nullptr},
        {cmdForward, "Ino&ltra", "message_forward", cmdActionsMenu, OnToolbar, answerable, answerable, nullptr},
        {cmdPrevious, "Messaggio Precedente", "message_up", cmdActionsMenu, OnToolbar | AfterSeparator, browsable,
         stored, nullptr},
        {cmdNext, "Messaggio Successivo", "message_down", cmdActionsMenu, OnToolbar, browsable, stored, nullptr},
        {cmdAddressBook, "&Rubrica", "address_book", cmdActionsMenu, AfterSeparator, notEmailWindow, nullptr, nullptr},
        {cmdCheckNames, "Controlla &nomi", "check_names", cmdActionsMenu, OnToolbar, composing, composing, nullptr},
        {cmdRemoveLink, "Rimuovi &collegamento", "link", cmdActionsMenu, InMenu,
         [](const MessageCommandState &s) { return s.linked; }, nullptr, nullptr},
        {cmdHighPriority, "&Priorità alta", "priority_high", cmdActionsMenu, OnToolbar | AfterSeparator, composing,
         composing, [](const MessageCommandState &s) { return s.priority == mspHigh; }},
        {cmdLowPriority, "Priorità &bassa", "priority_low", cmdActionsMenu, OnToolbar, composing, composing,
         [](const MessageCommandState &s) { return s.priority == mspLow; }},
        {cmdAssignTask, "Assegna a&ttività", "activity_assign", cmdActionsMenu, OnToolbar | AfterSeparator,
         composingTask, composingTask, [](const MessageCommandState &s) { return !s.personalTask; }},
        {cmdAcceptTask, "&Accetta", "check", cmdActionsMenu, OnToolbar | AfterSeparator, receivedTaskIn({tksUnknown}),
         receivedTask, nullptr},
        {cmdRejectTask, "&Rifiuta", "forbidden", cmdActionsMenu, OnToolbar, receivedTaskIn({tksUnknown}), receivedTask,
         nullptr},
        {cmdStartTask, "&Inizia", "start", cmdActionsMenu, OnToolbar, receivedTaskIn({tksAccepted, tksPostponed}),
         receivedTask, nullptr},
        {cmdCompleteTask, "&Completa", "end", cmdActionsMenu, OnToolbar,
         receivedTaskIn({tksAccepted, tksInProgress, tksPostponed}), receivedTask, nullptr},
        {cmdReopenTask, "&Riapri", "restart", cmdActionsMenu, OnToolbar, receivedTaskIn({tksInProgress, tksCompleted}),
         receivedTask, nullptr},
        {cmdPostponeTask, "&Rinvia", "forward", cmdActionsMenu, OnToolbar, receivedTaskIn({tksAccepted, tksInProgress}),
         receivedTask, nullptr},
        {cmdStatusReport, "Invia &rapporto di stato", "activity_send", cmdActionsMenu, OnToolbar, receivedTask,
         receivedTask, [](const MessageCommandState &s) { return s.statusReport; }},
        {cmdPublic, "Rendi &pubblica", "message_pub", cmdActionsMenu, AfterSeparator, answerable, nullptr, nullptr},
        {cmdAssociateCounterparty, "Associa a &Controparte", "con_tro", cmdActionsMenu, InMenu, stored, nullptr,
         nullptr},
        {cmdAssociateDocument, "Associa a &Documento", "doc_base", cmdActionsMenu, InMenu, stored, nullptr, nullptr},

        {cmdHelpMenu, "&?", "", 0, InMenu, always, nullptr, nullptr},
        {cmdHelp, "&Guida", "help", cmdHelpMenu, InMenu, always, nullptr, nullptr},

        {cmdAttachmentPopup, "", "", 0, InMenu, always, [](const MessageCommandState &) { return false; }, nullptr},
        {cmdOpenAttachment, "Apri", "", cmdAttachmentPopup, InMenu,
         [](const MessageCommandState &s) { return s.storedAttachments; }, stored, nullptr},
        {cmdSaveAttachment, "Salva con nome...", "attachment_save", cmdAttachmentPopup, InMenu, storedWithAttachments,
         nullptr, nullptr},
        {cmdRemoveAttachment, "Rimuovi", "attachment_remove", cmdAttachmentPopup, AfterSeparator, notEmailWindow,
         nullptr, nullptr},
        {cmdRemoveAllAttachments, "Rimuovi tutti", "", cmdAttachmentPopup, InMenu, notEmailWindow, nullptr, nullptr},
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

commands::CommandStates messageCommands(const MessageCommandState &state)
{
    commands::CommandStates commands;
    for (const CommandDef &def : definitions()) {
        commands::CommandState command;
        command.id = def.id;
        command.caption = def.caption[0] ? translated(captionFor(def, state)) : QString();
        command.iconKey = QString::fromLatin1(def.iconKey);
        command.enabled = def.enabled(state);
        command.visible = !def.visible || def.visible(state);
        command.checkable = def.checked != nullptr;
        command.checked = command.checkable && def.checked(state);
        command.menu = def.menu;
        command.onToolbar = def.place & OnToolbar;
        command.separatorBefore = def.place & AfterSeparator;
        commands.append(command);
    }
    return commands;
}

} // namespace mrv
