#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace mrv::exchange {

struct MailboxStore
{
    QString entryId;
    QString name;
    QString rootFolderId;
};

struct MailboxFolder
{
    QString entryId;
    QString name;
};

// A mail item as the mirror lists it.
struct MailboxItem
{
    QString entryId;
    QString subject;
    QString to;   // the recipients, as the mailbox shows them
    QString from; // the sender's name, or address when it has none
    int attachmentCount = 0;
    qint32 importance = 1; // 0 low, 1 normal, 2 high
    QDateTime date;
};

// How a folder's listing went: all of its items, or only what changed
// since the state the caller kept from the last listing.
struct FolderItems
{
    bool delta = false;   // false: the items given were the whole folder
    QStringList vanished; // entry IDs gone since that state (delta only)
    QString state;        // what to hand over next time; opaque
};

// Receives a folder's items a slice at a time, with how many the folder
// has (or how many changed) in all.
using ItemSink = std::function<void(const QList<MailboxItem> &items, qint64 total)>;

struct MailboxAddress
{
    QString name;
    QString address;
};

struct MailboxAttachment
{
    QString name;
    qint64 size = 0;
    QString contentId;
    QByteArray content;
};

// A mail item opened: what the message window shows of it.
struct MailboxMessage
{
    QString entryId;
    QString subject;
    MailboxAddress from;
    QList<MailboxAddress> to;
    QList<MailboxAddress> cc;
    QDateTime sent;
    QDateTime received;
    qint32 importance = 1;
    QString textBody;
    QString htmlBody;
    QList<MailboxAttachment> attachments;
};

// The user's mailbox as the mirror reaches it: stores, their folders and
// default folders, and the items of a folder, each by an entry ID that
// stays the same while the thing it names exists. Calls that cannot be
// answered throw Failure with the reason.
class MailboxConnection
{
public:
    virtual ~MailboxConnection() = default;

    virtual bool logonExchangeMailbox(const QString &user, const QString &server) = 0;
    virtual bool logonProfile(const QString &profile) = 0;
    virtual void logoff() = 0;
    virtual bool loggedOn() const = 0;

    virtual QString currentUserAddress() = 0;
    virtual QList<MailboxStore> stores() = 0;
    // Empty when the store has no such folder.
    virtual QString defaultFolderId(const QString &storeId, qint32 number) = 0;
    virtual MailboxFolder folder(const QString &folderId, const QString &storeId) = 0;
    virtual QList<MailboxFolder> subfolders(const QString &folderId, const QString &storeId) = 0;
    // sinceState empty: the whole folder. The next slice may be on its way
    // from the server while the sink works on one.
    virtual FolderItems items(const QString &folderId, const QString &storeId, const QString &sinceState,
                              const ItemSink &sink) = 0;
    // Null when the item is not there; opening marks it seen.
    virtual std::unique_ptr<MailboxMessage> message(const QString &entryId, const QString &storeId) = 0;
    // Files a message (RFC 5322 text) in a folder.
    virtual void appendMessage(const QString &folderId, const QString &storeId, const QByteArray &message,
                               bool seen) = 0;
    // Why the last logon failed.
    virtual QString lastError() const = 0;
};

} // namespace mrv::exchange
