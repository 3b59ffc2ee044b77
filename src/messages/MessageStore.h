#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace mrv {

namespace host {
class ConfigClass;
class Connection;
class RecordSet;
} // namespace host

// One copy of a message in one user's mailbox: a SYS_MSG row. Null columns
// are empty optionals and invalid dates.
struct MessageCopy
{
    qint32 id = 0;                      // RECORD_ID
    qint32 type = 0;                    // MSTYP, mrv_eMessageType
    qint32 folder = 0;                  // MSFLD, mrv_eMessageFolder (4 on public copies)
    qint32 status = 0;                  // MSSTA, mrv_eMessageStatus (4 on public copies)
    QString user;                       // MSUSR
    QString sender;                     // MSMIT
    QString to;                         // MSDES
    QString cc;                         // MSDCC
    QString ccn;                        // MSDCN
    qint32 notified = 1;                // MSNOT
    QDateTime sentAt;                   // MSDTS
    QDateTime readAt;                   // MSDTR
    bool hasAttachments = false;        // MSATT
    QString subject;                    // MSOBJ
    QString body;                       // MSTXT
    bool linked = false;                // MSLNK
    QString linkTable;                  // MSTBL
    QString linkKey;                    // MSKEY
    qint32 priority = 1;                // MSPRY, mrv_eMessagePriority
    std::optional<qint32> origin;       // MSSND
    std::optional<qint32> thread;       // MSTHR
    QDateTime answeredAt;               // MSDTF
    QString replyToName;                // MSRTN
    QString replyToAddress;             // MSRTE
    QString sendAs;                     // MSSAS
    std::optional<qint32> taskStatus;   // TKSTA, mrv_eTaskStatus
    QDateTime taskDue;                  // TKDTS
    bool taskNotify = false;            // TKNOT
    QDateTime taskStarted;              // TKDTI
    QDateTime taskFinished;             // TKDTF
    std::optional<qint32> taskComplete; // TKCPL, per cent
    std::optional<qint32> publicCopy;   // MSPUB
    QDateTime publishedAt;              // MSDAT
    QDateTime answerStampedAt;          // MSDIR
    std::optional<qint32> associated;   // MSASS
    QString associatedTable;            // MSATB
    QString associatedKey;              // MSAKE
};

// An e-mail handed to the default mail client: a SYS_MCL row.
struct MailClientEntry
{
    qint32 id = 0;          // RECORD_ID
    qint32 messageId = 0;   // IDMSG
    QString subject;        // MCSUB
    QString body;           // MCBOD
    bool bodyIsRtf = false; // MCRTF
    QString to;             // MCDTO
    QString cc;             // MCDCC
    QString ccn;            // MCDCN
    qint32 importance = 0;  // MCIMP
    QString replyToAddress; // MCRTE
    QString replyToName;    // MCRTN
    QString sendAs;         // MCSAS
    QString queuedBy;       // USINS
    QDateTime queuedAt;     // DTINS
    qint32 state = 0;       // MCSTA
};

// One column of a statement written column by column.
struct ColumnValue
{
    QString name;
    QVariant value;
    qint32 typeCode = 0;
};

// The SQL of the message tables and the reads and writes built on it. Every
// write goes through the host's statement builder; every value through the
// host's value formatter; clauses are separated by CR.
class MessageStore
{
public:
    // config may be null: every setting then has its default.
    MessageStore(host::Connection &connection, host::ConfigClass *config);

    // The key of the row just inserted into `table`: "SELECT SCOPE_IDENTITY()"
    // unless "USE_SCOPE_IDENTITY" is false, then "SELECT MAX(RECORD_ID) FROM"
    // the table, narrowed by `keyFilter` ("IDNTF = 5") when one is given.
    qint32 newKey(const QString &table, const QString &keyFilter = QString());

    // How the key of a new row is read: as the configuration says, or always
    // with "SELECT MAX(RECORD_ID) FROM" the table.
    enum class KeyRead { AsConfigured, Max };

    qint32 insert(const MessageCopy &message, KeyRead keyRead = KeyRead::AsConfigured);
    void update(const MessageCopy &message);
    // A row of `table` written with only the given columns; its key is read
    // as newKey reads it.
    qint32 insertColumns(const QString &table, const QList<ColumnValue> &columns, const QString &keyFilter = QString());
    void updateColumns(const QString &table, qint32 id, const QList<ColumnValue> &columns);
    void remove(qint32 id);
    std::optional<MessageCopy> read(qint32 id);
    // MSTHR and MSSND of a message; nothing when it does not exist.
    std::optional<QPair<std::optional<qint32>, std::optional<qint32>>> threadAndOrigin(qint32 id);
    // MSTHR of a message; nothing when it does not exist or has no thread
    // (threadAndOrigin tells the two apart).
    std::optional<qint32> thread(qint32 id);
    void setStatus(qint32 id, qint32 status);
    // MSTHR of one message; Null when `thread` is empty.
    void setThread(qint32 id, std::optional<qint32> thread);

    // The attachment rows of a message: its files ("SYS_MSG") or the objects
    // embedded in its body ("SYS_MSG_MSTXT").
    QList<qint32> attachmentKeys(qint32 messageId, const QString &owner = QStringLiteral("SYS_MSG"));
    QList<QPair<qint32, QString>> attachmentNames(const QList<qint32> &attachmentKeys);

    bool isGroup(const QString &code);
    QStringList groupMembers(const QString &group);

    // Queues an e-mail for the mail client; the key is always read with
    // "SELECT SCOPE_IDENTITY()".
    qint32 queueMail(const MailClientEntry &entry);
    void queueMailFile(qint32 queueId, const QString &path, const QString &contentId);
    void setQueueState(qint32 queueId, qint32 state);

    // The texts, as run.
    static QString readMessageSql(qint32 id);
    static QString threadAndOriginSql(qint32 id);
    static QString threadSql(qint32 id);
    static QString statusSql(qint32 id);
    static QString attachmentsSql(qint32 messageId, const QString &owner = QStringLiteral("SYS_MSG"));
    static QString attachmentNamesSql(const QList<qint32> &attachmentKeys);
    static QString groupMembersSql(const QString &group);
    static QString scopeIdentitySql();
    static QString maxKeySql(const QString &table, const QString &keyFilter = QString());

private:
    qint32 firstInteger(const QString &sql);
    QString columnsStatement(const QString &table, const QList<ColumnValue> &columns, qint32 kind,
                             const QString &where = QString());

    host::Connection &m_connection;
    host::ConfigClass *m_config;
    // "USE_SCOPE_IDENTITY", read at the first new key: a store lives for one operation.
    std::optional<bool> m_useScopeIdentity;
};

} // namespace mrv
