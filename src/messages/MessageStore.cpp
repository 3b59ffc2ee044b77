#include "MessageStore.h"

#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

#include <functional>

namespace mrv {

namespace {

const QChar kCR(13);

QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

QDateTime dateOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString();
    if (text.isEmpty())
        return {};
    QDateTime date = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return date.isValid() ? date : QDateTime::fromString(text, Qt::ISODate);
}

std::optional<qint32> optionalInteger(const QVariant &value)
{
    if (!value.isValid() || value.isNull() || value.toString().isEmpty())
        return std::nullopt;
    return qint32(host::valueTools().toNumber(value));
}

// How one column of a row maps to a member of its struct: its type code for
// the statement builder and the conversions both ways.
template <typename Row> struct ColumnMap
{
    const char *name;
    qint32 typeCode;
    std::function<QVariant(const Row &)> get;
    std::function<void(Row &, const QVariant &)> set;
};

template <typename Row> ColumnMap<Row> textColumn(const char *name, qint32 typeCode, QString Row::*member)
{
    return {name, typeCode, [member](const Row &row) { return QVariant(row.*member); },
            [member](Row &row, const QVariant &value) { row.*member = value.isNull() ? QString() : value.toString(); }};
}

template <typename Row> ColumnMap<Row> integerColumn(const char *name, qint32 typeCode, qint32 Row::*member)
{
    return {name, typeCode, [member](const Row &row) { return QVariant(row.*member); },
            [member](Row &row, const QVariant &value) { row.*member = optionalInteger(value).value_or(0); }};
}

template <typename Row>
ColumnMap<Row> optionalColumn(const char *name, qint32 typeCode, std::optional<qint32> Row::*member)
{
    return {name, typeCode, [member](const Row &row) { return (row.*member) ? QVariant(*(row.*member)) : mrv::null(); },
            [member](Row &row, const QVariant &value) { row.*member = optionalInteger(value); }};
}

template <typename Row> ColumnMap<Row> booleanColumn(const char *name, bool Row::*member)
{
    return {name, host::tcBoolean, [member](const Row &row) { return QVariant(row.*member); },
            [member](Row &row, const QVariant &value) { row.*member = host::valueTools().toBoolean(value); }};
}

template <typename Row> ColumnMap<Row> dateColumn(const char *name, QDateTime Row::*member)
{
    return {name, host::tcDateTime,
            [member](const Row &row) { return (row.*member).isValid() ? QVariant(row.*member) : mrv::null(); },
            [member](Row &row, const QVariant &value) { row.*member = dateOf(value); }};
}

const QList<ColumnMap<MessageCopy>> &messageColumns()
{
    using M = MessageCopy;
    static const QList<ColumnMap<M>> columns = {
        integerColumn<M>("MSTYP", host::tcInt16, &M::type),
        integerColumn<M>("MSFLD", host::tcInt16, &M::folder),
        integerColumn<M>("MSSTA", host::tcInt16, &M::status),
        textColumn<M>("MSUSR", host::tcShortText, &M::user),
        textColumn<M>("MSMIT", host::tcShortText, &M::sender),
        textColumn<M>("MSDES", host::tcText, &M::to),
        textColumn<M>("MSDCC", host::tcText, &M::cc),
        textColumn<M>("MSDCN", host::tcText, &M::ccn),
        integerColumn<M>("MSNOT", host::tcInt16, &M::notified),
        dateColumn<M>("MSDTS", &M::sentAt),
        dateColumn<M>("MSDTR", &M::readAt),
        booleanColumn<M>("MSATT", &M::hasAttachments),
        textColumn<M>("MSOBJ", host::tcShortText, &M::subject),
        textColumn<M>("MSTXT", host::tcLongText, &M::body),
        booleanColumn<M>("MSLNK", &M::linked),
        textColumn<M>("MSTBL", host::tcShortText, &M::linkTable),
        textColumn<M>("MSKEY", host::tcShortText, &M::linkKey),
        integerColumn<M>("MSPRY", host::tcInt16, &M::priority),
        optionalColumn<M>("MSSND", host::tcInt32, &M::origin),
        optionalColumn<M>("MSTHR", host::tcInt32, &M::thread),
        dateColumn<M>("MSDTF", &M::answeredAt),
        textColumn<M>("MSRTN", host::tcShortText, &M::replyToName),
        textColumn<M>("MSRTE", host::tcShortText, &M::replyToAddress),
        textColumn<M>("MSSAS", host::tcShortText, &M::sendAs),
        optionalColumn<M>("TKSTA", host::tcInt16, &M::taskStatus),
        dateColumn<M>("TKDTS", &M::taskDue),
        booleanColumn<M>("TKNOT", &M::taskNotify),
        dateColumn<M>("TKDTI", &M::taskStarted),
        dateColumn<M>("TKDTF", &M::taskFinished),
        optionalColumn<M>("TKCPL", host::tcInt16, &M::taskComplete),
        optionalColumn<M>("MSPUB", host::tcInt32, &M::publicCopy),
        dateColumn<M>("MSDAT", &M::publishedAt),
        dateColumn<M>("MSDIR", &M::answerStampedAt),
        optionalColumn<M>("MSASS", host::tcInt16, &M::associated),
        textColumn<M>("MSATB", host::tcShortText, &M::associatedTable),
        textColumn<M>("MSAKE", host::tcShortText, &M::associatedKey),
    };
    return columns;
}

const QList<ColumnMap<MailClientEntry>> &mailClientColumns()
{
    using E = MailClientEntry;
    static const QList<ColumnMap<E>> columns = {
        integerColumn<E>("IDMSG", host::tcInt16, &E::messageId),
        textColumn<E>("MCSUB", host::tcText, &E::subject),
        textColumn<E>("MCBOD", host::tcText, &E::body),
        booleanColumn<E>("MCRTF", &E::bodyIsRtf),
        textColumn<E>("MCDTO", host::tcText, &E::to),
        textColumn<E>("MCDCC", host::tcText, &E::cc),
        textColumn<E>("MCDCN", host::tcText, &E::ccn),
        integerColumn<E>("MCIMP", host::tcInt16, &E::importance),
        textColumn<E>("MCRTE", host::tcText, &E::replyToAddress),
        textColumn<E>("MCRTN", host::tcText, &E::replyToName),
        textColumn<E>("MCSAS", host::tcText, &E::sendAs),
        textColumn<E>("USINS", host::tcText, &E::queuedBy),
        dateColumn<E>("DTINS", &E::queuedAt),
        integerColumn<E>("MCSTA", host::tcInt16, &E::state),
    };
    return columns;
}

template <typename Row>
QString buildStatement(host::Connection &connection, const QString &table, const QList<ColumnMap<Row>> &columns,
                       const Row &row, qint32 kind, const QString &where = QString())
{
    auto statement = connection.newStatement();
    statement->initialize(table, QString());
    for (const auto &column : columns)
        statement->addColumn(QLatin1String(column.name), column.get(row), column.typeCode);
    if (!where.isEmpty())
        statement->setWhere(where);
    return statement->build(kind);
}

QString whereKey(qint32 id)
{
    return QStringLiteral("WHERE RECORD_ID = ") + QString::number(id);
}

} // namespace

MessageStore::MessageStore(host::Connection &connection, host::ConfigClass *config)
    : m_connection(connection), m_config(config)
{}

QString MessageStore::readMessageSql(qint32 id)
{
    return QStringLiteral("SELECT * FROM SYS_MSG") + kCR + whereKey(id);
}

QString MessageStore::threadAndOriginSql(qint32 id)
{
    return QStringLiteral("SELECT MSTHR, MSSND FROM SYS_MSG WHERE RECORD_ID = ") + QString::number(id);
}

QString MessageStore::threadSql(qint32 id)
{
    return QStringLiteral("SELECT MSTHR FROM SYS_MSG WHERE RECORD_ID = ") + QString::number(id);
}

QString MessageStore::statusSql(qint32 id)
{
    return QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = ") + QString::number(id);
}

QString MessageStore::attachmentsSql(qint32 messageId, const QString &owner)
{
    return QStringLiteral("SELECT RECORD_ID FROM SYS_ATT") + kCR + QStringLiteral("WHERE ATTBL = ") + literal(owner) +
           QStringLiteral(" AND") + kCR + QStringLiteral("      ATKEY = ") + literal(QString::number(messageId));
}

QString MessageStore::attachmentNamesSql(const QList<qint32> &attachmentKeys)
{
    QStringList keys;
    for (qint32 key : attachmentKeys)
        keys << QString::number(key);
    return QStringLiteral("SELECT RECORD_ID, ATNAM FROM SYS_ATT WHERE RECORD_ID IN (") + keys.join(QLatin1Char(',')) +
           QLatin1Char(')');
}

QString MessageStore::groupMembersSql(const QString &group)
{
    return QStringLiteral("SELECT * FROM SYS_USG") + kCR + QStringLiteral("WHERE CDGRU = ") + literal(group);
}

QString MessageStore::scopeIdentitySql()
{
    return QStringLiteral("SELECT SCOPE_IDENTITY()");
}

QString MessageStore::maxKeySql(const QString &table, const QString &keyFilter)
{
    return QStringLiteral("SELECT MAX(RECORD_ID) FROM ") + table +
           (keyFilter.isEmpty() ? QString() : QStringLiteral(" WHERE ") + keyFilter);
}

qint32 MessageStore::firstInteger(const QString &sql)
{
    auto set = m_connection.open(sql);
    const QVariant value = set->eof() ? QVariant() : set->field(0);
    set->close();
    if (!value.isValid() || value.isNull())
        throw Failure(QStringLiteral("The new key could not be read (%1)").arg(sql));
    return qint32(host::valueTools().toNumber(value));
}

qint32 MessageStore::newKey(const QString &table, const QString &keyFilter)
{
    if (!m_useScopeIdentity) {
        const QString setting =
            m_config ? m_config->value(QStringLiteral("USE_SCOPE_IDENTITY"), QStringLiteral("1")) : QStringLiteral("1");
        m_useScopeIdentity = host::valueTools().toBoolean(setting);
    }
    return firstInteger(*m_useScopeIdentity ? scopeIdentitySql() : maxKeySql(table, keyFilter));
}

qint32 MessageStore::insert(const MessageCopy &message, KeyRead keyRead)
{
    const QString table = QStringLiteral("SYS_MSG");
    m_connection.execute(buildStatement(m_connection, table, messageColumns(), message, host::skInsert));
    return keyRead == KeyRead::Max ? firstInteger(maxKeySql(table)) : newKey(table);
}

void MessageStore::update(const MessageCopy &message)
{
    m_connection.execute(buildStatement(m_connection, QStringLiteral("SYS_MSG"), messageColumns(), message,
                                        host::skUpdate, whereKey(message.id)));
}

void MessageStore::remove(qint32 id)
{
    auto statement = m_connection.newStatement();
    statement->initialize(QStringLiteral("SYS_MSG"), QString());
    statement->setWhere(whereKey(id));
    m_connection.execute(statement->build(host::skDelete));
}

std::optional<MessageCopy> MessageStore::read(qint32 id)
{
    auto set = m_connection.open(readMessageSql(id));
    if (set->eof())
        return std::nullopt;
    MessageCopy message;
    message.id = qint32(host::valueTools().toNumber(set->field(QStringLiteral("RECORD_ID"))));
    for (const auto &column : messageColumns())
        column.set(message, set->field(QLatin1String(column.name)));
    set->close();
    return message;
}

std::optional<QPair<std::optional<qint32>, std::optional<qint32>>> MessageStore::threadAndOrigin(qint32 id)
{
    auto set = m_connection.open(threadAndOriginSql(id));
    if (set->eof())
        return std::nullopt;
    const QPair<std::optional<qint32>, std::optional<qint32>> result{
        optionalInteger(set->field(QStringLiteral("MSTHR"))), optionalInteger(set->field(QStringLiteral("MSSND")))};
    set->close();
    return result;
}

std::optional<qint32> MessageStore::thread(qint32 id)
{
    auto set = m_connection.open(threadSql(id));
    if (set->eof())
        return std::nullopt;
    const std::optional<qint32> thread = optionalInteger(set->field(QStringLiteral("MSTHR")));
    set->close();
    return thread;
}

void MessageStore::setStatus(qint32 id, qint32 status)
{
    auto set = m_connection.open(statusSql(id), host::rsUpdatable);
    set->setField(QStringLiteral("MSSTA"), status);
    set->update();
    set->close();
}

void MessageStore::setThread(qint32 id, std::optional<qint32> thread)
{
    updateColumns(QStringLiteral("SYS_MSG"), id,
                  {{QStringLiteral("MSTHR"), thread ? QVariant(*thread) : mrv::null(), host::tcInt32}});
}

void MessageStore::setQueueState(qint32 queueId, qint32 state)
{
    updateColumns(QStringLiteral("SYS_MCL"), queueId, {{QStringLiteral("MCSTA"), state, host::tcInt16}});
}

QString MessageStore::columnsStatement(const QString &table, const QList<ColumnValue> &columns, qint32 kind,
                                       const QString &where)
{
    auto statement = m_connection.newStatement();
    statement->initialize(table, QString());
    for (const ColumnValue &column : columns)
        statement->addColumn(column.name, column.value, column.typeCode);
    if (!where.isEmpty())
        statement->setWhere(where);
    return statement->build(kind);
}

qint32 MessageStore::insertColumns(const QString &table, const QList<ColumnValue> &columns, const QString &keyFilter)
{
    m_connection.execute(columnsStatement(table, columns, host::skInsert));
    return newKey(table, keyFilter);
}

void MessageStore::updateColumns(const QString &table, qint32 id, const QList<ColumnValue> &columns)
{
    m_connection.execute(columnsStatement(table, columns, host::skUpdate, whereKey(id)));
}

QList<qint32> MessageStore::attachmentKeys(qint32 messageId, const QString &owner)
{
    QList<qint32> keys;
    for (auto set = m_connection.open(attachmentsSql(messageId, owner)); !set->eof(); set->moveNext())
        keys << qint32(host::valueTools().toNumber(set->field(QStringLiteral("RECORD_ID"))));
    return keys;
}

QList<QPair<qint32, QString>> MessageStore::attachmentNames(const QList<qint32> &attachmentKeys)
{
    QList<QPair<qint32, QString>> names;
    if (attachmentKeys.isEmpty())
        return names;
    for (auto set = m_connection.open(attachmentNamesSql(attachmentKeys)); !set->eof(); set->moveNext())
        names.append({qint32(host::valueTools().toNumber(set->field(QStringLiteral("RECORD_ID")))),
                      host::valueTools().nullSafe(set->field(QStringLiteral("ATNAM"))).toString()});
    return names;
}

bool MessageStore::isGroup(const QString &code)
{
    const QVariant found = m_connection.lookup(QStringLiteral("SYS_GRU"), QStringLiteral("CDGRU"), code, host::kkText,
                                               QStringLiteral("CDGRU"));
    return found.isValid() && !found.isNull();
}

QStringList MessageStore::groupMembers(const QString &group)
{
    QStringList members;
    for (auto set = m_connection.open(groupMembersSql(group)); !set->eof(); set->moveNext())
        members << host::valueTools().nullSafe(set->field(QStringLiteral("CDUSR"))).toString();
    return members;
}

qint32 MessageStore::queueMail(const MailClientEntry &entry)
{
    m_connection.execute(
        buildStatement(m_connection, QStringLiteral("SYS_MCL"), mailClientColumns(), entry, host::skInsert));
    return firstInteger(scopeIdentitySql());
}

void MessageStore::queueMailFile(qint32 queueId, const QString &path, const QString &contentId)
{
    m_connection.execute(columnsStatement(QStringLiteral("SYS_MCA"),
                                          {{QStringLiteral("IDMCL"), queueId, host::tcInt16},
                                           {QStringLiteral("MCFIL"), path, host::tcText},
                                           {QStringLiteral("MCCID"), contentId, host::tcText}},
                                          host::skInsert));
}

} // namespace mrv
