#pragma once

#include "cExchangeNode.h"
#include "facade/ComObject.h"

#include <QSet>
#include <QString>

#include <functional>

#include <memory>

namespace mrv {

namespace host {
class ConfigClass;
class Connection;
class Errors;
class StatementBuilder;
class TreeControl;
class UserManager;
} // namespace host

namespace exchange {
class MailboxConnection;
struct MailboxMessage;
} // namespace exchange

// The mirror of the user's mailbox in SYS_EXC: the tree of stores and
// folders (read from the mailbox when asked to synchronise or when the user
// has no rows yet, else from the table), the message rows of each folder,
// the count of new messages, and a mirrored message opened from its row.
// Every operation reports failures through Errors ("mrvExchange" and its
// name) and returns False, -1 or nothing.
class mrvExchange : public ComObject
{
public:
    // Reaches the user's mailbox server as the configuration says.
    mrvExchange();
    explicit mrvExchange(std::unique_ptr<exchange::MailboxConnection> mailbox);
    ~mrvExchange() override;

    std::shared_ptr<host::Connection> Connection() const { return m_connection; }
    void setConnection(std::shared_ptr<host::Connection> connection) { m_connection = std::move(connection); }
    std::shared_ptr<host::Errors> Errors() const { return m_errors; }
    void setErrors(std::shared_ptr<host::Errors> errors) { m_errors = std::move(errors); }
    std::shared_ptr<host::UserManager> UserManager() const { return m_users; }
    void setUserManager(std::shared_ptr<host::UserManager> users) { m_users = std::move(users); }
    std::shared_ptr<host::ConfigClass> ConfigClass() const { return m_config; }
    // Reads the mode, server, user and profile.
    void setConfigClass(std::shared_ptr<host::ConfigClass> config);

    bool IsOn(const host::ConfigClass *config) const;
    bool GetStructure(host::TreeControl &treeStructure, bool Synchronize = false);
    bool RefreshMessages(const QString &FolderID, const QString &StoreID, const QString &StoreName,
                         bool bForce = false);
    qint32 CheckNewMessages(const QString &StoreID, const QString &StoreName);
    std::unique_ptr<exchange::MailboxMessage> GetMessageFromDb(qint32 RecordID, qint32 *lPublicMessageId = nullptr);
    void ChangeMessageStatus(qint32 RecordID, qint32 NewStatus);

    // Told as folders are written by a structure synchronisation and
    // messages by a refresh: what is counted, how many so far, of how many.
    using Progress = std::function<void(const QString &unit, qint64 done, qint64 total)>;
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // For the component's own transport: log on, work on the mailbox, log off.
    bool Logon();
    void Logoff();
    exchange::MailboxConnection &mailbox() const { return *m_mailbox; }

private:
    void BrowseStructure(host::TreeControl &treeStructure, const cExchangeNode &node, const QString &parentKey);
    std::shared_ptr<cExchangeNode> ReadStructure(bool includeItems);
    std::shared_ptr<cExchangeNode> ReadSubFolders(const QString &storeId, qint32 nodeType, bool includeItems,
                                                  const QString &folderId);
    void SyncFolders(const cExchangeNode &root);
    void RefreshFolders(const cExchangeNode &node, const QString &parentId);
    QString GetFolderListID(const cExchangeNode &root) const;
    std::shared_ptr<cExchangeNode> ReadStructureFromDb();
    void ReadSubFoldersFromDb(cExchangeNode &node);
    qint32 IsDefaultFolder(const QString &storeId, const QString &folderId);

    void SyncMessages(const QString &folderId, const QStringList &listedIds);
    void insertMissingRows(const cExchangeNode &folder);
    qint32 RefreshNewMessages(const cExchangeNode &store);
    void ResyncStore(const QString &storeName);
    QList<std::shared_ptr<cExchangeNode>> ReadParentsFromDb(qint32 recordId);

    // The steps of RefreshMessages once the folder is found.
    void refreshFolderItems(const QString &folderId, const QString &storeId, const QString &knownState);
    void insertMessageRow(const cExchangeNode &item, const QString &folderId);
    std::unique_ptr<host::StatementBuilder> nodeRowInsert(const cExchangeNode &node, qint32 synchronise,
                                                          const QString &parentId);
    QSet<QString> existingMessageRows(const QList<std::shared_ptr<cExchangeNode>> &items);
    QString storedItemsState(const QString &folderId);
    void storeItemsState(const QString &folderId, const QString &state);
    QString userLiteral() const;
    void startCounting(qint64 total);
    void advance(const QString &unit);

    std::shared_ptr<host::Connection> m_connection;
    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::UserManager> m_users;
    std::shared_ptr<host::ConfigClass> m_config;
    QString m_server;
    QString m_user;
    QString m_profile;
    std::unique_ptr<exchange::MailboxConnection> m_mailbox;
    qint32 m_logonState = 0; // 0 none, 1 through a profile, 2 to a mailbox by server and user
    bool m_resyncing = false;
    Progress m_progress;
    qint64 m_done = 0; // of the counting under way
    qint64 m_total = 0;
};

} // namespace mrv
