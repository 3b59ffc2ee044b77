#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace mrv {

namespace host {
class ConfigClass;
class Connection;
class Records;
class UserManager;
} // namespace host

class MessageStore;
struct MessageCopy;

// What SendMessage was given.
struct OutgoingMessage
{
    qint32 sentMessageId = 0; // the sender's copy already stored, or 0 to write it
    QString subject;
    QString body; // RTF, or HTML when bodyIsHtml
    QString to;
    QString cc;
    QString ccn;
    QString link;        // "table|key"
    QString attachments; // file paths separated by "|"
    QVariant replying;   // RECORD_ID answered, or invalid
    QVariant forwarding; // RECORD_ID forwarded, or invalid
    qint32 messageType = 0;
    bool bodyIsHtml = false;
    qint32 bodyFormat = 1;
};

// The e-mail the pipeline hands to the dispatcher, as the dispatcher takes it.
struct OutgoingEmail
{
    qint32 messageId = 0;
    QString subject;
    QString rtfBody;
    QString to; // addresses separated by "|"
    QString cc;
    QString ccn;
    qint32 priority = 1;
    QString attachmentIds; // SYS_ATT keys separated by ","
    QString htmlBody;
    QString replyToName;
    QString replyToAddress;
    QString sendAs;
    qint32 bodyFormat = 1;
};

// Delivers one message: the sender's copy, inbox copies for users and
// groups, outgoing fax rows, the e-mail addresses handed to the dispatcher,
// the linked document stamped, the answered or forwarded message marked.
class SendingPipeline
{
public:
    // Sends the e-mail part; fills the connection log; true on success.
    using EmailDispatch = std::function<bool(const OutgoingEmail &email, QString &connectLog)>;

    SendingPipeline(host::Connection &connection, host::ConfigClass *config, host::UserManager &users,
                    host::Records &records, EmailDispatch dispatch);

    bool send(const OutgoingMessage &message, QString &connectLog);

    // The customer record owning a fax recipient written as a name and a
    // number in angle brackets: table and key, both empty when none.
    void GetFaxRef(const QString &sFax, QString &sTable, QString &sKey);

private:
    struct Recipients;

    qint32 writeSenderCopy(const OutgoingMessage &message, MessageStore &store);
    void attachFiles(qint32 messageId, const QString &files);
    Recipients classify(const QString &to, const QString &cc, const QString &ccn, MessageStore &store);
    // embeddedObjects: the body's objects of the sender's copy; senderThreaded:
    // whether an earlier copy of this sending already set the sender's thread.
    qint32 deliverToUser(const QString &user, const MessageCopy &stored, const OutgoingMessage &message,
                         const QList<qint32> &embeddedObjects, bool &senderThreaded, MessageStore &store);
    qint32 deliverToFax(QString fax, const MessageCopy &stored, MessageStore &store);
    void copyAttachments(const QList<qint32> &attachments, const QString &table, qint32 newKey);
    bool dispatchEmail(const QStringList &addresses, const MessageCopy &stored, const OutgoingMessage &message,
                       const QList<qint32> &fileAttachments, QString &connectLog);
    void stampLinkedDocument(const MessageCopy &stored, bool faxes);
    void markAnswered(const OutgoingMessage &message);
    // Everything but taking the sender's copy back; `senderId` is the copy's key once written.
    bool deliver(const OutgoingMessage &message, qint32 &senderId, MessageStore &store, QString &connectLog);
    void takeBackSenderCopy(qint32 senderId, MessageStore &store);

    host::Connection &m_connection;
    host::ConfigClass *m_config;
    host::UserManager &m_users;
    host::Records &m_records;
    EmailDispatch m_dispatch;
};

} // namespace mrv
