#include "SendingPipeline.h"

#include "MessageStore.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

#include <QFileInfo>
#include <QSet>

namespace mrv {

namespace {

const QChar kCR(13);
const QString kFaxMarker = QStringLiteral("//fax");

QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

// The text between the first `open` and the last `close`, when both are there in that order.
std::optional<QString> between(const QString &text, QChar open, QChar close)
{
    const qsizetype from = text.indexOf(open);
    const qsizetype to = text.lastIndexOf(close);
    if (from < 0 || to <= from)
        return std::nullopt;
    return text.mid(from + 1, to - from - 1);
}

QString emailAddressOf(const QString &item)
{
    QString address = between(item, QLatin1Char('<'), QLatin1Char('>')).value_or(item);
    address = between(address, QLatin1Char('('), QLatin1Char(')')).value_or(address);
    return address.trimmed();
}

bool isNumericText(const QString &text)
{
    const host::ValueTools &values = host::valueTools();
    return values.isNumeric(text) || values.isPhoneNumber(text);
}

QString unquoted(const QString &text)
{
    QString result = text.trimmed();
    result.remove(QLatin1Char('"'));
    return result.trimmed();
}

bool isAnswer(const QVariant &value)
{
    return value.isValid() && !value.isNull() && !value.toString().isEmpty();
}

QString whereKey(const QVariant &key)
{
    return QStringLiteral("WHERE RECORD_ID = ") + literal(key, host::tcInt32);
}

} // namespace

struct SendingPipeline::Recipients
{
    QStringList merged; // in order of first appearance, without duplicates
    bool users = false;
    bool faxes = false;
    bool emails = false;

    void add(const QString &recipient)
    {
        if (!m_seen.contains(recipient)) {
            m_seen.insert(recipient);
            merged << recipient;
        }
    }

private:
    QSet<QString> m_seen;
};

SendingPipeline::SendingPipeline(host::Connection &connection, host::ConfigClass *config, host::UserManager &users,
                                 host::Records &records, EmailDispatch dispatch)
    : m_connection(connection), m_config(config), m_users(users), m_records(records), m_dispatch(std::move(dispatch))
{}

qint32 SendingPipeline::writeSenderCopy(const OutgoingMessage &message, MessageStore &store)
{
    const QDateTime now = QDateTime::currentDateTime();
    MessageCopy copy;
    copy.type = mstMessage;
    copy.folder = msfSent;
    copy.status = mssReaded;
    copy.user = m_users.userCode();
    copy.sender = m_users.userName() + QStringLiteral(" (") + m_users.userCode() + QLatin1Char(')');
    copy.to = message.to;
    copy.cc = message.cc;
    copy.ccn = message.ccn;
    copy.notified = 1;
    copy.sentAt = now;
    copy.readAt = now;
    copy.hasAttachments = !message.attachments.isEmpty();
    copy.subject = message.subject;
    copy.body = message.body;
    copy.linked = !message.link.isEmpty();
    if (copy.linked)
        m_records.splitLink(message.link, QStringLiteral("|"), copy.linkTable, copy.linkKey);
    return store.insert(copy);
}

void SendingPipeline::attachFiles(qint32 messageId, const QString &files)
{
    for (const QString &file : files.split(QLatin1Char('|'))) {
        if (!file.isEmpty() && QFileInfo(file).isFile())
            m_records.addAttachment(QStringLiteral("SYS_MSG"), QString::number(messageId), file);
    }
}

SendingPipeline::Recipients SendingPipeline::classify(const QString &to, const QString &cc, const QString &ccn,
                                                      MessageStore &store)
{
    Recipients recipients;
    for (const QString &typed : (to + QLatin1Char(';') + cc + QLatin1Char(';') + ccn).split(QLatin1Char(';'))) {
        const QString item = typed.trimmed();
        if (item.isEmpty())
            continue;
        if (item.contains(QLatin1Char('@'))) {
            recipients.add(emailAddressOf(item));
            recipients.emails = true;
        } else if (item.count(QLatin1Char('"')) < 2 && !isNumericText(item)) {
            QString code = between(item, QLatin1Char('<'), QLatin1Char('>')).value_or(item);
            code.remove(QLatin1Char('"'));
            code.remove(QLatin1Char('<'));
            code.remove(QLatin1Char('>'));
            const QStringList users = store.isGroup(code) ? store.groupMembers(code) : QStringList{code};
            for (const QString &user : users)
                recipients.add(user);
            recipients.users = recipients.users || !users.isEmpty();
        } else {
            recipients.add(item + kFaxMarker);
            recipients.faxes = true;
        }
    }
    return recipients;
}

qint32 SendingPipeline::deliverToUser(const QString &user, const MessageCopy &stored, const OutgoingMessage &message,
                                      const QList<qint32> &embeddedObjects, bool &senderThreaded, MessageStore &store)
{
    MessageCopy copy;
    copy.type = stored.type;
    copy.folder = msfInBox;
    copy.status = mssNotReaded;
    copy.origin = stored.id;
    copy.user = user;
    copy.sender = stored.sender;
    copy.to = stored.to;
    copy.cc = stored.cc;
    copy.ccn = stored.ccn;
    copy.sentAt = stored.sentAt;
    copy.hasAttachments = stored.hasAttachments;
    copy.linked = stored.linked;
    copy.priority = stored.priority;
    copy.subject = stored.subject;
    copy.body = stored.body;
    copy.linkTable = stored.linkTable;
    copy.linkKey = stored.linkKey;
    copy.taskStatus = stored.taskStatus;
    copy.taskDue = stored.taskDue;
    copy.taskNotify = stored.taskNotify;
    copy.notified = 0;
    const qint32 key = store.insert(copy);

    for (qint32 embedded : embeddedObjects)
        m_records.copyAttachment(embedded, QStringLiteral("SYS_MSG_MSTXT"), QString::number(key));

    if (!isAnswer(message.replying)) {
        store.setThread(key, key);
        // The same value for every copy: one write is enough for a group of a thousand.
        if (!senderThreaded)
            store.setThread(stored.id, stored.id);
        senderThreaded = true;
    } else {
        const auto answered = store.threadAndOrigin(qint32(host::valueTools().toNumber(message.replying)));
        store.setThread(key, answered ? answered->first : std::nullopt);
        std::optional<qint32> senderThread;
        if (answered && answered->second)
            senderThread = store.thread(*answered->second);
        store.setThread(stored.id, senderThread);
    }
    return key;
}

void SendingPipeline::GetFaxRef(const QString &sFax, QString &sTable, QString &sKey)
{
    sTable.clear();
    sKey.clear();
    const qsizetype open = sFax.indexOf(QLatin1Char('<'));
    if (open < 0)
        return;
    const QString name = unquoted(sFax.left(open));
    const QString company = m_users.companyCode();
    struct Source
    {
        const char *view;
        const char *nameColumn;
        const char *table;
    };
    for (const Source &source :
         {Source{"_CON_RIF_FAX", "RFNOM", "CON_RIF"}, Source{"_CON_SED_FAX", "SERAS", "CON_SED_FAX"},
          Source{"_CON_TRO_FAX", "CORAS", "CON_TRO"}}) {
        const QString column = QLatin1String(source.nameColumn);
        auto set =
            m_connection.open(QStringLiteral("SELECT *") + kCR + QStringLiteral("FROM ") + company +
                              QLatin1String(source.view) + kCR + QStringLiteral("WHERE ") + column +
                              QStringLiteral(" = ") + literal(name) + kCR + QStringLiteral("ORDER BY ") + column);
        if (set->eof())
            continue;
        sTable = QLatin1String(source.table);
        const host::ValueTools &values = host::valueTools();
        if (sTable == QLatin1String("CON_RIF"))
            sKey = values.nullSafe(set->field(QStringLiteral("RECORD_ID"))).toString();
        else if (sTable == QLatin1String("CON_SED_FAX"))
            sKey = values.nullSafe(set->field(QStringLiteral("CDCON"))).toString() + QLatin1Char('|') +
                   values.nullSafe(set->field(QStringLiteral("CDSED"))).toString();
        else
            sKey = values.nullSafe(set->field(QStringLiteral("CDCON"))).toString();
        return;
    }
}

qint32 SendingPipeline::deliverToFax(QString fax, const MessageCopy &stored, MessageStore &store)
{
    fax.chop(kFaxMarker.size());
    QString table;
    QString key;
    GetFaxRef(fax, table, key);
    // "Name <number>": the correspondent and the number, without the
    // quotes the address book writes around either.
    const qsizetype open = fax.indexOf(QLatin1Char('<'));
    const qsizetype close = fax.lastIndexOf(QLatin1Char('>'));
    const bool named = open >= 0 && close > open;
    const QString correspondent = unquoted(named ? fax.left(open) : fax);
    const QString faxNumber = unquoted(named ? fax.mid(open + 1, close - open - 1) : fax);

    auto statement = m_connection.newStatement();
    statement->initialize(QStringLiteral("SYS_FAX"), QString());
    statement->addColumn(QStringLiteral("CDAZI"), m_users.companyCode(), host::tcShortText);
    if (!table.isEmpty() && !key.isEmpty()) {
        statement->addColumn(QStringLiteral("TBNAM"), table, host::tcShortText);
        statement->addColumn(QStringLiteral("TBKEY"), key, host::tcShortText);
    }
    statement->addColumn(QStringLiteral("FXPRY"), stored.priority, host::tcInt16);
    statement->addColumn(QStringLiteral("FXRAS"), correspondent, host::tcShortText);
    statement->addColumn(QStringLiteral("FXNUM"), faxNumber, host::tcShortText);
    statement->addColumn(QStringLiteral("FXOBJ"), stored.subject, host::tcShortText);
    statement->addColumn(QStringLiteral("FXTXT"), stored.body, host::tcLongText);
    statement->addColumn(QStringLiteral("FXTYP"), 3, host::tcInt16);
    statement->addColumn(QStringLiteral("FXSTA"), true, host::tcBoolean);
    statement->addColumn(QStringLiteral("FXUSR"), m_users.userCode(), host::tcShortText);
    statement->addColumn(QStringLiteral("FXDTR"), QDateTime::currentDateTime(), host::tcDateTime);
    statement->addColumn(QStringLiteral("FXLNK"), stored.linked, host::tcBoolean);
    statement->addColumn(QStringLiteral("FXTBL"), stored.linkTable, host::tcShortText);
    statement->addColumn(QStringLiteral("FXKEY"), stored.linkKey, host::tcShortText);
    m_connection.execute(statement->build(host::skInsert));
    return store.newKey(QStringLiteral("SYS_FAX"));
}

void SendingPipeline::copyAttachments(const QList<qint32> &attachments, const QString &table, qint32 newKey)
{
    for (qint32 attachment : attachments)
        m_records.copyAttachment(attachment, table, QString::number(newKey));
}

bool SendingPipeline::dispatchEmail(const QStringList &addresses, const MessageCopy &stored,
                                    const OutgoingMessage &message, const QList<qint32> &fileAttachments,
                                    QString &connectLog)
{
    QStringList to;
    QStringList cc;
    QStringList ccn;
    for (const QString &address : addresses) {
        if (stored.cc.contains(address))
            cc << address;
        else if (stored.ccn.contains(address))
            ccn << address;
        else
            to << address;
    }
    QStringList attachmentIds;
    for (qint32 key : fileAttachments)
        attachmentIds << QString::number(key);
    OutgoingEmail email;
    email.messageId = stored.id;
    email.subject = stored.subject;
    email.rtfBody = stored.body;
    email.to = to.join(QLatin1Char('|'));
    email.cc = cc.join(QLatin1Char('|'));
    email.ccn = ccn.join(QLatin1Char('|'));
    email.priority = stored.priority;
    email.attachmentIds = attachmentIds.join(QLatin1Char(','));
    email.htmlBody = message.bodyIsHtml ? stored.body : QString();
    email.replyToName = stored.replyToName;
    email.replyToAddress = stored.replyToAddress;
    email.sendAs = stored.sendAs;
    email.bodyFormat = message.bodyFormat;
    return m_dispatch(email, connectLog);
}

void SendingPipeline::stampLinkedDocument(const MessageCopy &stored, bool faxes)
{
    static const QStringList documents = {QStringLiteral("DOC_VEN"), QStringLiteral("DOC_ACQ"),
                                          QStringLiteral("DOC_CTL"), QStringLiteral("DOC_ICO")};
    if (!documents.contains(stored.linkTable.left(7)))
        return;
    auto statement = m_connection.newStatement();
    statement->initialize(m_records.physicalName(stored.linkTable), QString());
    statement->addColumn(QStringLiteral("DTSND"), faxes ? 2 : 1, host::tcInt16);
    statement->setWhere(whereKey(stored.linkKey));
    m_connection.execute(statement->build(host::skUpdate));
}

void SendingPipeline::markAnswered(const OutgoingMessage &message)
{
    if (message.messageType == mstPublic)
        return;
    const bool replying = isAnswer(message.replying);
    if (!replying && !isAnswer(message.forwarding))
        return;
    auto statement = m_connection.newStatement();
    statement->initialize(QStringLiteral("SYS_MSG"), QString());
    statement->addColumn(QStringLiteral("MSSTA"), replying ? mssReplied : mssForwarded, host::tcInt16);
    statement->addColumn(QStringLiteral("MSDTF"), QDateTime::currentDateTime(), host::tcDateTime);
    statement->setWhere(whereKey(replying ? message.replying : message.forwarding));
    m_connection.execute(statement->build(host::skUpdate));
}

void SendingPipeline::takeBackSenderCopy(qint32 senderId, MessageStore &store)
{
    const QString key = QString::number(senderId);
    // Its files and pictures go with it: nobody could ever reach them again.
    m_records.setAttachments(QStringLiteral("SYS_MSG"), key, {});
    m_records.setAttachments(QStringLiteral("SYS_MSG_MSTXT"), key, {});
    store.remove(senderId);
}

bool SendingPipeline::deliver(const OutgoingMessage &message, qint32 &senderId, MessageStore &store,
                              QString &connectLog)
{
    // The rows go in as one unit, but not the e-mail: other users must be
    // able to write while the server is being talked to.
    host::Work copies(m_connection);
    if (senderId <= 0) {
        senderId = writeSenderCopy(message, store);
        if (!message.attachments.isEmpty())
            attachFiles(senderId, message.attachments);
    }
    const std::optional<MessageCopy> stored = store.read(senderId);
    if (!stored)
        return false;

    const Recipients recipients = classify(stored->to, stored->cc, stored->ccn, store);
    // The copies only add objects of their own: the sender's stay as read here.
    const QList<qint32> embeddedObjects =
        recipients.users ? store.attachmentKeys(stored->id, QStringLiteral("SYS_MSG_MSTXT")) : QList<qint32>();
    // Likewise the sender's files: copies are made for other owners only.
    const QList<qint32> fileAttachments = stored->hasAttachments ? store.attachmentKeys(stored->id) : QList<qint32>();
    bool senderThreaded = false;
    for (const QString &recipient : recipients.merged) {
        if (recipient.contains(QLatin1Char('@')))
            continue;
        const bool fax = recipient.endsWith(kFaxMarker);
        const qint32 key = fax ? deliverToFax(recipient, *stored, store)
                               : deliverToUser(recipient, *stored, message, embeddedObjects, senderThreaded, store);
        if (key > 0)
            copyAttachments(fileAttachments, fax ? QStringLiteral("SYS_FAX") : QStringLiteral("SYS_MSG"), key);
    }
    copies.end();

    bool result = true;
    if (recipients.emails) {
        QStringList addresses;
        for (const QString &recipient : recipients.merged) {
            if (recipient.contains(QLatin1Char('@')))
                addresses << recipient;
        }
        result = dispatchEmail(addresses, *stored, message, fileAttachments, connectLog);
    }
    host::Work marks(m_connection);
    if (recipients.faxes || recipients.emails)
        stampLinkedDocument(*stored, recipients.faxes);
    markAnswered(message);
    marks.end();
    if (recipients.users)
        m_records.raiseSignal(QStringLiteral("#NewMessage#"));
    return result;
}

bool SendingPipeline::send(const OutgoingMessage &message, QString &connectLog)
{
    MessageStore store(m_connection, m_config);
    qint32 senderId = message.sentMessageId;
    // An error leaves through here, and every row written so far stays: the
    // sender's copy goes only when the sending itself answered no.
    const bool result = deliver(message, senderId, store, connectLog);
    if (!result && senderId > 0)
        takeBackSenderCopy(senderId, store);
    return result;
}

} // namespace mrv
