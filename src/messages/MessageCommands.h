#pragma once

#include "platform/commands/CommandState.h"

namespace mrv {

// The commands of the message window, by id.
enum MessageCommandId : qint32 {
    cmdSend = 255000,
    cmdSave = 255001,
    cmdPrint = 255002,
    cmdAttach = 255003,
    cmdRemoveLink = 255004,
    cmdAddressBook = 255005,
    cmdHelp = 255006,
    cmdReply = 255007,
    cmdReplyAll = 255008,
    cmdForward = 255009,
    cmdPrevious = 255010,
    cmdNext = 255011,
    cmdFileMenu = 255012,
    cmdAttachmentPopup = 255013,
    cmdActionsMenu = 255014,
    cmdHelpMenu = 255015,
    cmdExit = 255016,
    cmdSaveAllAttachments = 255017,
    cmdSaveAttachment = 255018,
    cmdRemoveAttachment = 255019,
    cmdRemoveAllAttachments = 255020,
    cmdOpenAttachment = 255021,
    cmdDelete = 255022,
    cmdCheckNames = 255023,
    cmdHighPriority = 255024,
    cmdLowPriority = 255025,
    cmdAssignTask = 255026,
    cmdAcceptTask = 255027,
    cmdRejectTask = 255028,
    cmdStartTask = 255029,
    cmdCompleteTask = 255030,
    cmdReopenTask = 255031,
    cmdPostponeTask = 255032,
    cmdStatusReport = 255033,
    cmdSaveAndClose = 255034,
    cmdPublic = 255035,
    cmdAssociateCounterparty = 255036,
    cmdAssociateDocument = 255037,
};

// What the commands depend on.
struct MessageCommandState
{
    bool newMessage = true;
    qint32 messageType = 0;
    bool personalTask = false;
    qint32 folder = 0;
    qint32 taskStatus = 0;
    bool modified = false;
    bool linked = false;
    bool browsing = false; // a view to browse is known
    bool storedAttachments = false;
    qint32 priority = 1;
    bool statusReport = false;
    bool publicCopy = false;
};

// The commands as the window shows them now, in the order of their menus
// and of the "Standard" toolbar. Captions are translated and keep their "&"
// accelerators; the popup of the attachment lists is the hidden menu
// cmdAttachmentPopup.
commands::CommandStates messageCommands(const MessageCommandState &state);

} // namespace mrv
