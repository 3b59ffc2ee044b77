#pragma once

#include "MailboxConnection.h"
#include "platform/imap/ImapAccount.h"

#include <QHash>

#include <functional>

namespace mrv::host {
class ConfigClass;
}

namespace mrv::imap {
class ImapSession;
struct MailboxInfo;
} // namespace mrv::imap

namespace mrv::exchange {

// The user's mailbox on an IMAP server. One store: the account. Its top
// folder stands for the account's root; folders are the server's mailboxes.
//
// Entry IDs outlive renames: a folder is named by its MAILBOXID where the
// server has OBJECTID, otherwise by its UIDVALIDITY (Dovecot keeps it
// across a rename and gives each mailbox its own), and a message by its
// folder's ID and its UID. A mailbox whose UIDVALIDITY changes is a new
// folder to the mirror: its rows go and it is listed again.
class ImapMailbox : public MailboxConnection
{
public:
    // The account of a logon: by server and user, or by profile (the prefix
    // of an e-mail account saved with mrvEmailParams).
    using AccountLookup = std::function<imap::ImapAccount(const QString &user, const QString &server)>;
    using ProfileLookup = std::function<imap::ImapAccount(const QString &profile, QString &address)>;
    // Lines of the conversation, passwords masked.
    using Log = std::function<void(const QString &line)>;

    ImapMailbox(AccountLookup byServer, ProfileLookup byProfile, Log log = {});
    ~ImapMailbox() override;

    // From the configuration at the time of each logon: EXCHANGE_PASSWORD,
    // EXCHANGE_SSL and EMAIL_OUT_CA_FILE for a logon by server; the
    // incoming server of the e-mail account saved under the profile's name
    // otherwise.
    static std::unique_ptr<ImapMailbox> fromConfiguration(std::function<const host::ConfigClass *()> configuration);

    bool logonExchangeMailbox(const QString &user, const QString &server) override;
    bool logonProfile(const QString &profile) override;
    void logoff() override;
    bool loggedOn() const override;

    QString currentUserAddress() override;
    QList<MailboxStore> stores() override;
    QString defaultFolderId(const QString &storeId, qint32 number) override;
    MailboxFolder folder(const QString &folderId, const QString &storeId) override;
    QList<MailboxFolder> subfolders(const QString &folderId, const QString &storeId) override;
    FolderItems items(const QString &folderId, const QString &storeId, const QString &sinceState,
                      const ItemSink &sink) override;
    std::unique_ptr<MailboxMessage> message(const QString &entryId, const QString &storeId) override;
    void appendMessage(const QString &folderId, const QString &storeId, const QByteArray &message, bool seen) override;
    QString lastError() const override { return m_lastError; }

private:
    struct Folder;
    bool logon(const imap::ImapAccount &account, const QString &address);
    void readFolders();
    const Folder &folderById(const QString &folderId) const;
    QString storeId() const;
    QString topFolderId() const;
    FolderItems listAll(const Folder &folder, const ItemSink &sink);
    void fetchInSlices(const QString &folderId, quint32 fromUid, quint32 uidNext, qint64 total, const ItemSink &sink);

    AccountLookup m_byServer;
    ProfileLookup m_byProfile;
    Log m_log;
    std::unique_ptr<imap::ImapSession> m_session;
    QString m_address;
    QString m_lastError;
    QList<Folder> m_folders; // read once per logon
    bool m_foldersRead = false;
    bool m_resync = false; // QRESYNC enabled in this session
};

} // namespace mrv::exchange
