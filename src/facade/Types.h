#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

namespace mrv {

// Null as the platform's Variant knows it, distinct from Empty (an invalid QVariant).
inline QVariant null()
{
    return QVariant::fromValue(nullptr);
}

inline bool isNull(const QVariant &value)
{
    return value.isValid() && (value.isNull() || value.metaType() == QMetaType::fromType<std::nullptr_t>());
}

// The kind of an internal message.
enum mrv_eMessageType : qint32 {
    mstMessage = 0,
    mstTask = 1,
    mstEmail = 2,
    mstPersonalTask = 3,
    mstPublic = 4,
    mstNotification = 5,
};

enum mrv_eMessagePriority : qint32 { mspLow = 0, mspNormal = 1, mspHigh = 2 };

// Folder of a message copy.
enum mrv_eMessageFolder : qint32 { msfDraft = 0, msfInBox = 1, msfSent = 2, msfTrash = 3 };

// Reading status of a message copy.
enum mrv_eMessageStatus : qint32 { mssNotReaded = 0, mssReaded = 1, mssForwarded = 2, mssReplied = 3 };

enum mrv_eTaskStatus : qint32 {
    tksUnknown = 0,
    tksAccepted = 1,
    tksInProgress = 2,
    tksCompleted = 3,
    tksWaiting = 4,
    tksPostponed = 5,
    tksRejected = 6,
};

// Kind and icon of a node of a mirrored mailbox tree; 0 is not a node kind.
enum mrv_eExchangeItemsIcon : qint32 {
    eiiStore = 1,
    eiiInBox = 2,
    eiiSent = 3,
    eiiFolder = 4,
    eiiTrash = 5,
    eiiOutBox = 6,
    eiiJunk = 7,
};

enum qd_eEmailServerInType : qint32 {
    eEmailServerIn_None = 0,
    eEmailServerIn_POP3 = 1,
    eEmailServerIn_IMAP4 = 2,
    eEmailServerIn_Outlook = 91,
    eEmailServerIn_Exchange = 92,
};

enum qd_eEmailServerOutType : qint32 {
    eEmailServerOut_None = 0,
    eEmailServerOut_SMTP = 3,
    eEmailServerOut_Outlook = 91,
    eEmailServerOut_Exchange = 92,
};

enum qd_eEmailServerOutAuthType : qint32 {
    eEmailServerOutAuth_None = 0,
    eEmailServerOutAuth_AUTH_LOGIN = 1,
    eEmailServerOutAuth_CRAM_MD5 = 2,
    eEmailServerOutAuth_NTLM = 4,
};

enum qd_eEmailServerInAuthType_IMAP : qint32 {
    eEmailServerInAuth_IMAP_None = 0,
    eEmailServerInAuth_IMAP_AUTH_LOGIN = 1,
    eEmailServerInAuth_IMAP_CRAM_MD5 = 2,
    eEmailServerInAuth_IMAP_NTLM = 4,
};

enum qd_eEmailServerInAuthType_POP : qint32 {
    eEmailServerInAuth_POP_Simple = 0,
    eEmailServerInAuth_POP_APOP = 16,
    eEmailServerInAuth_POP_Automatic = 256,
};

// Role of a linked field of a dataset; None (-1) is distinct from Customer (0).
enum qd_eDatasetLinkedFields : qint32 {
    eDatasetLinkedField_None = -1,
    eDatasetLinkedField_Customer = 0,
    eDatasetLinkedField_PrintKey = 1,
    eDatasetLinkedField_Agent = 2,
    eDatasetLinkedField_Attachment = 3,
};

enum qd_eMessageBodyFormat : qint32 {
    eMessageBodyFormat_Text = 0,
    eMessageBodyFormat_HTML = 1,
    eMessageBodyFormat_RTF = 2,
    eMessageBodyFormat_XML = 8,
};

// E-mail priority; the values differ from mrv_eMessagePriority.
enum qd_eMessagePriority : qint32 {
    eMessageProprity_Normal = 0,
    eMessageProprity_High = 1,
    eMessageProprity_Low = 4,
};

enum qd_eMessageRecipientType : qint32 {
    eMessageRecipient_To = 1,
    eMessageRecipient_Cc = 2,
    eMessageRecipient_Ccn = 3,
};

// One recipient type offered by a template.
struct mrv_tRecipientType
{
    qint32 Code = 0;
    QString Description;
    bool Selected = false;
    QString Table;
    QString Field;
    QString Field2;
};

// Booleans cross the public boundary as the automation Boolean (true is -1).
inline qint16 toAutomationBoolean(bool value)
{
    return value ? -1 : 0;
}

} // namespace mrv
