#include "mrvExchange.h"

#include "ImapMailbox.h"
#include "MailboxConnection.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/TreeControl.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

#include <QSet>

#include <algorithm>
#include <functional>

namespace mrv {

namespace {

const QString kObject = QStringLiteral("mrvExchange");
const QString kCR = QStringLiteral("\r");

enum NodeType : qint32 { ntRoot = 0, ntStore = 1, ntTopFolder = 2, ntFolder = 3, ntItem = 4 };

// The default folders in the order they are looked for.
constexpr qint32 kDefaultFolders[] = {3, 23, 22, 21, 20, 18, 19, 16, 13, 12, 11, 10, 9, 6, 5, 4};
// Unsent messages, calendar, contacts, journal, notes and tasks: not mail.
const QSet<qint32> kHiddenFolders = {16, 9, 10, 11, 12, 13};

QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

qint32 iconOf(const cExchangeNode &node)
{
    if (node.NodeType() == ntStore)
        return eiiStore;
    switch (node.ExchangeItemType()) {
    case 6:
        return eiiInBox;
    case 5:
        return eiiSent;
    case 3:
        return eiiTrash;
    case 4:
        return eiiOutBox;
    case 23:
        return eiiJunk;
    default:
        return eiiFolder;
    }
}

std::shared_ptr<cExchangeNodeExtInfo> extInfoOf(const exchange::MailboxItem &item)
{
    auto info = std::make_shared<cExchangeNodeExtInfo>();
    info->setAttachment(item.attachmentCount >= 1);
    info->setDateCreation(item.date);
    info->setImportance(item.importance);
    info->setMailTo(item.to);
    info->setMailFrom(item.from);
    info->setStatus(0);
    return info;
}

// The entry IDs, each as SQL text, joined with ",".
QString idList(const QStringList &ids)
{
    QStringList literals;
    for (const QString &id : ids)
        literals << literal(id);
    return literals.join(QLatin1Char(','));
}

// Logs on for the length of an operation unless the mailbox already is.
class LogonScope
{
public:
    explicit LogonScope(mrvExchange &exchange) : m_exchange(exchange)
    {
        m_loggedOnHere = !exchange.mailbox().loggedOn() && exchange.Logon();
    }
    ~LogonScope()
    {
        if (m_loggedOnHere)
            m_exchange.Logoff();
    }
    LogonScope(const LogonScope &) = delete;
    LogonScope &operator=(const LogonScope &) = delete;

    bool loggedOn() const { return m_exchange.mailbox().loggedOn(); }

private:
    mrvExchange &m_exchange;
    bool m_loggedOnHere = false;
};

} // namespace

mrvExchange::mrvExchange() : m_mailbox(exchange::ImapMailbox::fromConfiguration([this] { return m_config.get(); })) {}

mrvExchange::mrvExchange(std::unique_ptr<exchange::MailboxConnection> mailbox) : m_mailbox(std::move(mailbox)) {}

mrvExchange::~mrvExchange() = default;

void mrvExchange::setConfigClass(std::shared_ptr<host::ConfigClass> config)
{
    m_config = std::move(config);
    m_server.clear();
    m_user.clear();
    m_profile.clear();
    if (!m_config)
        return;
    const QString mode = m_config->value(QStringLiteral("EXCHANGE_MODE")).toUpper();
    if (mode == QLatin1String("EXCHANGE")) {
        m_server = m_config->value(QStringLiteral("EXCHANGE_SERVER"));
        m_user = m_config->value(QStringLiteral("EXCHANGE_USER"));
    } else if (mode == QLatin1String("OUTLOOK")) {
        m_profile = m_config->value(QStringLiteral("EXCHANGE_PROFILE"), QStringLiteral("Outlook"));
    }
}

bool mrvExchange::IsOn(const host::ConfigClass *config) const
{
    if (!config)
        return false;
    const QString mode = config->value(QStringLiteral("EXCHANGE_MODE")).toUpper();
    return mode == QLatin1String("EXCHANGE") || mode == QLatin1String("OUTLOOK");
}

bool mrvExchange::Logon()
{
    return guarded(m_errors.get(), kObject, "Logon", false, [&] {
        BusyPointer busy;
        if (!m_server.isEmpty() && !m_user.isEmpty()) {
            if (m_mailbox->logonExchangeMailbox(m_user, m_server) && m_mailbox->loggedOn())
                m_logonState = 2;
        } else if (!m_profile.isEmpty()) {
            if (m_mailbox->logonProfile(m_profile) && m_mailbox->loggedOn())
                m_logonState = 1;
        }
        return m_mailbox->loggedOn();
    });
}

void mrvExchange::Logoff()
{
    guardedVoid(m_errors.get(), kObject, "Logoff", [&] {
        BusyPointer busy;
        m_logonState = 0;
        m_mailbox->logoff();
    });
}

QString mrvExchange::userLiteral() const
{
    return literal(m_users->userCode());
}

bool mrvExchange::GetStructure(host::TreeControl &treeStructure, bool Synchronize)
{
    return guarded(m_errors.get(), kObject, "GetStructure", false, [&] {
        if (!IsOn(m_config.get()))
            return false;
        std::shared_ptr<cExchangeNode> root;
        const bool stored =
            !m_connection->open(QStringLiteral("SELECT RECORD_ID FROM SYS_EXC WHERE EXUSR = ") + userLiteral())->eof();
        if (!stored || Synchronize) {
            BusyPointer busy;
            LogonScope logon(*this);
            if (logon.loggedOn()) {
                root = ReadStructure(false);
                SyncFolders(*root);
            }
        }
        if (!root)
            root = ReadStructureFromDb();
        if (!root)
            return false;
        treeStructure.clear();
        BrowseStructure(treeStructure, *root, QString());
        return true;
    });
}

std::shared_ptr<cExchangeNode> mrvExchange::ReadStructure(bool includeItems)
{
    auto root = std::make_shared<cExchangeNode>();
    root->initialize(ntRoot, QStringLiteral("0"), m_mailbox->currentUserAddress(), -1);
    for (const exchange::MailboxStore &store : m_mailbox->stores()) {
        const auto storeNode = root->Nodes().add(ntStore, store.entryId, store.name, -1);
        storeNode->Nodes().append(ReadSubFolders(store.entryId, ntTopFolder, includeItems, store.rootFolderId));
    }
    return root;
}

std::shared_ptr<cExchangeNode> mrvExchange::ReadSubFolders(const QString &storeId, qint32 nodeType, bool includeItems,
                                                           const QString &folderId)
{
    const exchange::MailboxFolder folder = m_mailbox->folder(folderId, storeId);
    auto node = std::make_shared<cExchangeNode>();
    node->initialize(nodeType, folder.entryId, folder.name, IsDefaultFolder(storeId, folder.entryId));
    for (const exchange::MailboxFolder &subfolder : m_mailbox->subfolders(folder.entryId, storeId))
        node->Nodes().append(ReadSubFolders(storeId, ntFolder, includeItems, subfolder.entryId));
    if (includeItems) {
        // Only what came since the folder's last listing: new messages are
        // among those, and an unchanged folder costs the server one answer.
        m_mailbox->items(folder.entryId, storeId, storedItemsState(folder.entryId),
                         [&node](const QList<exchange::MailboxItem> &items, qint64) {
                             for (const exchange::MailboxItem &item : items)
                                 node->Nodes().add(ntItem, item.entryId, item.subject, 0, extInfoOf(item));
                         });
    }
    return node;
}

qint32 mrvExchange::IsDefaultFolder(const QString &storeId, const QString &folderId)
{
    for (const qint32 number : kDefaultFolders) {
        if (m_mailbox->defaultFolderId(storeId, number) == folderId)
            return number;
    }
    return -1;
}

QString mrvExchange::GetFolderListID(const cExchangeNode &root) const
{
    QStringList ids;
    const std::function<void(const cExchangeNode &)> collect = [&](const cExchangeNode &node) {
        if (node.NodeType() == ntItem)
            return;
        ids << node.ID();
        for (const auto &child : node.Nodes().NewEnum())
            collect(*child);
    };
    collect(root);
    return idList(ids);
}

void mrvExchange::startCounting(qint64 total)
{
    m_done = 0;
    m_total = total;
}

void mrvExchange::advance(const QString &unit)
{
    ++m_done;
    if (m_progress)
        m_progress(unit, m_done, m_total);
}

void mrvExchange::SyncFolders(const cExchangeNode &root)
{
    const QString list = GetFolderListID(root);
    m_connection->execute(QStringLiteral("DELETE SYS_EXC") + kCR + QStringLiteral("WHERE EXUSR = ") + userLiteral() +
                          kCR + QStringLiteral("AND   EXOID NOT IN (") + list + QStringLiteral(")") + kCR +
                          QStringLiteral("AND   EXPAR NOT IN (") + list + QStringLiteral(")"));
    // A folder gone from directly under a listed one (the top folder) still
    // has its parent in the list: it goes too, with its messages.
    m_connection->execute(QStringLiteral("DELETE SYS_EXC WHERE EXUSR = ") + userLiteral() +
                          QStringLiteral(" AND ((EXTYP <> 4 AND EXOID NOT IN (") + list +
                          QStringLiteral(")) OR (EXTYP = 4 AND EXPAR NOT IN (") + list + QStringLiteral(")))"));
    startCounting(list.count(u',') + 1);
    RefreshFolders(root, QString());
}

void mrvExchange::RefreshFolders(const cExchangeNode &node, const QString &parentId)
{
    if (node.NodeType() == ntItem)
        return;
    for (const auto &child : node.Nodes().NewEnum())
        RefreshFolders(*child, node.ID());
    advance(QStringLiteral("folder"));
    const qint32 synchronise = node.NodeType() == ntFolder ? 1 : 0;
    auto row = m_connection->open(QStringLiteral("SELECT * FROM SYS_EXC WHERE EXOID = ") + literal(node.ID()) +
                                      QStringLiteral(" AND EXUSR = ") + userLiteral(),
                                  host::rsUpdatable);
    if (row->eof()) {
        row->close();
        m_connection->execute(nodeRowInsert(node, synchronise, parentId)->build(host::skInsert));
        return;
    }
    row->setField(QStringLiteral("EXDES"), node.Description());
    row->setField(QStringLiteral("EXTYP"), node.NodeType());
    row->setField(QStringLiteral("EXETP"), node.ExchangeItemType());
    row->setField(QStringLiteral("EXDAT"), QDateTime::currentDateTime());
    row->setField(QStringLiteral("EXPAR"), parentId.isEmpty() ? QVariant() : QVariant(parentId));
    row->setField(QStringLiteral("EXSYN"), synchronise);
    row->update();
    row->close();
}

std::shared_ptr<cExchangeNode> mrvExchange::ReadStructureFromDb()
{
    auto set = m_connection->open(QStringLiteral("SELECT EXTYP, EXOID, EXDES, EXETP FROM SYS_EXC") + kCR +
                                  QStringLiteral("WHERE EXUSR = ") + userLiteral() + kCR +
                                  QStringLiteral("AND   EXTYP = ") + QString::number(ntRoot));
    if (set->eof())
        return nullptr;
    const host::ValueTools &values = host::valueTools();
    auto root = std::make_shared<cExchangeNode>();
    root->initialize(qint32(values.toNumber(set->field(QStringLiteral("EXTYP")))),
                     values.nullSafe(set->field(QStringLiteral("EXOID"))).toString(),
                     values.nullSafe(set->field(QStringLiteral("EXDES"))).toString(),
                     qint32(values.toNumber(set->field(QStringLiteral("EXETP")))));
    set->close();
    ReadSubFoldersFromDb(*root);
    return root;
}

// Children in the order their rows were made (the mailbox's order when
// first mirrored): the query has no order, and a server engine gives its
// rows in any.
void mrvExchange::ReadSubFoldersFromDb(cExchangeNode &node)
{
    const host::ValueTools &values = host::valueTools();
    struct Row
    {
        double key;
        std::shared_ptr<cExchangeNode> node;
    };
    QList<Row> rows;
    for (auto set =
             m_connection->open(QStringLiteral("SELECT * FROM SYS_EXC") + kCR + QStringLiteral("WHERE EXUSR = ") +
                                userLiteral() + kCR + QStringLiteral("AND   EXPAR = ") + literal(node.ID()) + kCR +
                                QStringLiteral("AND   EXTYP <> ") + QString::number(ntItem));
         !set->eof(); set->moveNext()) {
        auto child = std::make_shared<cExchangeNode>();
        child->initialize(qint32(values.toNumber(set->field(QStringLiteral("EXTYP")))),
                          values.nullSafe(set->field(QStringLiteral("EXOID"))).toString(),
                          values.nullSafe(set->field(QStringLiteral("EXDES"))).toString(),
                          qint32(values.toNumber(set->field(QStringLiteral("EXETP")))));
        rows.append({values.toNumber(set->field(QStringLiteral("RECORD_ID"))), child});
    }
    std::sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.key < b.key; });
    for (const Row &row : std::as_const(rows)) {
        node.Nodes().append(row.node);
        ReadSubFoldersFromDb(*row.node);
    }
}

void mrvExchange::BrowseStructure(host::TreeControl &treeStructure, const cExchangeNode &node, const QString &parentKey)
{
    if (node.NodeType() == ntItem)
        return;
    QString key = parentKey;
    const bool ownNode = node.NodeType() == ntStore || node.NodeType() == ntFolder;
    if (ownNode) {
        if (kHiddenFolders.contains(node.ExchangeItemType()))
            return;
        key = node.ID();
        treeStructure.addNode(parentKey, key, node.Description());
        if (treeStructure.hasImageList())
            treeStructure.setImage(key, iconOf(node));
    }
    for (const auto &child : node.Nodes().NewEnum())
        BrowseStructure(treeStructure, *child, key);
    if (ownNode)
        treeStructure.setExpanded(key, true);
}

bool mrvExchange::RefreshMessages(const QString &FolderID, const QString &StoreID, const QString &StoreName,
                                  bool bForce)
{
    return guarded(m_errors.get(), kObject, "RefreshMessages", false, [&] {
        auto row = m_connection->open(QStringLiteral("SELECT RECORD_ID, EXSYN, EXDAT FROM SYS_EXC WHERE EXOID = ") +
                                          literal(FolderID) + QStringLiteral(" AND EXUSR = ") + userLiteral(),
                                      host::rsUpdatable);
        if (row->eof())
            return true;
        const bool rebuild = host::valueTools().toNumber(row->field(QStringLiteral("EXSYN"))) == 1;
        if (!rebuild && !bForce)
            return true;
        BusyPointer busy;
        LogonScope logon(*this);
        if (!logon.loggedOn())
            return m_config && m_config->value(QStringLiteral("EXCHANGE_MODE")).toUpper() == QLatin1String("NONE");
        try {
            m_mailbox->folder(FolderID, StoreID);
        } catch (const Failure &) {
            // The store's ID may have changed since the tree was read.
            ResyncStore(StoreName);
            m_mailbox->folder(FolderID, StoreID);
        }
        // A folder to rebuild is listed whole; a forced refresh of one in
        // step asks only for what changed since its last listing.
        refreshFolderItems(FolderID, StoreID, rebuild ? QString() : storedItemsState(FolderID));
        row->setField(QStringLiteral("EXDAT"), QDateTime::currentDateTime());
        row->setField(QStringLiteral("EXSYN"), 0);
        row->update();
        row->close();
        return true;
    });
}

void mrvExchange::refreshFolderItems(const QString &folderId, const QString &storeId, const QString &knownState)
{
    // Everything is listed before anything is written, and the folder's rows
    // are then one unit of work: a connection lost while listing changes no
    // row, and the folder stays marked for the next refresh.
    QList<exchange::MailboxItem> items;
    const exchange::FolderItems listed = m_mailbox->items(
        folderId, storeId, knownState, [&items](const QList<exchange::MailboxItem> &slice, qint64) { items += slice; });
    host::Work work(*m_connection);
    QStringList listedIds;
    startCounting(items.size());
    constexpr qsizetype kRowsPerSlice = 5000;
    for (qsizetype from = 0; from < items.size(); from += kRowsPerSlice) {
        cExchangeNode slice;
        slice.initialize(ntFolder, folderId, QString(), -1);
        for (qsizetype i = from; i < std::min(items.size(), from + kRowsPerSlice); ++i) {
            slice.Nodes().add(ntItem, items.at(i).entryId, items.at(i).subject, 0, extInfoOf(items.at(i)));
            listedIds << items.at(i).entryId;
        }
        insertMissingRows(slice);
    }
    if (!listed.delta)
        SyncMessages(folderId, listedIds);
    else if (!listed.vanished.isEmpty())
        m_connection->execute(QStringLiteral("DELETE SYS_EXC") + kCR + QStringLiteral("WHERE EXUSR = ") +
                              userLiteral() + kCR + QStringLiteral("AND   EXPAR = ") + literal(folderId) + kCR +
                              QStringLiteral("AND   EXTYP = ") + QString::number(ntItem) + kCR +
                              QStringLiteral("AND   EXOID IN (") + idList(listed.vanished) + QStringLiteral(")"));
    storeItemsState(folderId, listed.state);
    work.end();
}

// The rows of the messages that left the folder go; an empty list deletes
// nothing. The rows of those listed are written before (insertMissingRows):
// with unique entry IDs the order makes no difference.
void mrvExchange::SyncMessages(const QString &folderId, const QStringList &listedIds)
{
    if (listedIds.isEmpty())
        return;
    m_connection->execute(QStringLiteral("DELETE SYS_EXC") + kCR + QStringLiteral("WHERE EXUSR = ") + userLiteral() +
                          kCR + QStringLiteral("AND   EXPAR = ") + literal(folderId) + kCR +
                          QStringLiteral("AND   EXTYP = ") + QString::number(ntItem) + kCR +
                          QStringLiteral("AND   EXOID NOT IN (") + idList(listedIds) + QStringLiteral(")"));
}

// A row for each item of the folder node that has none; rows that exist are
// left as they are.
void mrvExchange::insertMissingRows(const cExchangeNode &folder)
{
    const QSet<QString> existing = existingMessageRows(folder.Nodes().NewEnum());
    for (const auto &item : folder.Nodes().NewEnum()) {
        if (item->NodeType() == ntItem && !existing.contains(item->ID()))
            insertMessageRow(*item, folder.ID());
        advance(QStringLiteral("message"));
    }
}

// Which items have a row already, by EXOID alone as the check of each item
// would ask, but for hundreds of items a query.
QSet<QString> mrvExchange::existingMessageRows(const QList<std::shared_ptr<cExchangeNode>> &items)
{
    constexpr qsizetype kIdsPerQuery = 500;
    const host::ValueTools &values = host::valueTools();
    QSet<QString> existing;
    for (qsizetype from = 0; from < items.size(); from += kIdsPerQuery) {
        QStringList ids;
        for (qsizetype i = from; i < std::min(items.size(), from + kIdsPerQuery); ++i)
            ids << items.at(i)->ID();
        for (auto set = m_connection->open(QStringLiteral("SELECT EXOID FROM SYS_EXC WHERE EXOID IN (") + idList(ids) +
                                           QStringLiteral(")"));
             !set->eof(); set->moveNext())
            existing.insert(values.nullSafe(set->field(QStringLiteral("EXOID"))).toString());
    }
    return existing;
}

// The columns every new row of a node has; EXPAR only under a parent.
std::unique_ptr<host::StatementBuilder> mrvExchange::nodeRowInsert(const cExchangeNode &node, qint32 synchronise,
                                                                   const QString &parentId)
{
    auto statement = m_connection->newStatement();
    statement->initialize(QStringLiteral("SYS_EXC"), QString());
    statement->addColumn(QStringLiteral("EXUSR"), m_users->userCode(), host::tcShortText);
    statement->addColumn(QStringLiteral("EXOID"), node.ID(), host::tcShortText);
    statement->addColumn(QStringLiteral("EXDES"), node.Description(), host::tcShortText);
    statement->addColumn(QStringLiteral("EXTYP"), node.NodeType(), host::tcInt16);
    statement->addColumn(QStringLiteral("EXETP"), node.ExchangeItemType(), host::tcInt16);
    statement->addColumn(QStringLiteral("EXDAT"), QDateTime::currentDateTime(), host::tcDateTime);
    statement->addColumn(QStringLiteral("EXSYN"), synchronise, host::tcInt16);
    if (!parentId.isEmpty())
        statement->addColumn(QStringLiteral("EXPAR"), parentId, host::tcShortText);
    return statement;
}

void mrvExchange::insertMessageRow(const cExchangeNode &item, const QString &folderId)
{
    auto statement = nodeRowInsert(item, 0, folderId);
    if (const auto info = item.ExtInfo()) {
        statement->addColumn(QStringLiteral("EXITO"), info->MailTo(), host::tcShortText);
        statement->addColumn(QStringLiteral("EXIFR"), info->MailFrom(), host::tcShortText);
        statement->addColumn(QStringLiteral("EXIAT"), info->Attachment(), host::tcBoolean);
        statement->addColumn(QStringLiteral("EXIDC"), info->DateCreation(), host::tcDateTime);
        statement->addColumn(QStringLiteral("EXIIM"), info->Importance(), host::tcInt16);
        statement->addColumn(QStringLiteral("EXIST"), info->Status(), host::tcInt16);
    }
    m_connection->execute(statement->build(host::skInsert));
}

qint32 mrvExchange::CheckNewMessages(const QString &StoreID, const QString &StoreName)
{
    return guarded(m_errors.get(), kObject, "CheckNewMessages", -1, [&] {
        LogonScope logon(*this);
        if (!logon.loggedOn())
            return -1;
        const auto root = ReadStructure(true);
        if (const auto store = root->Nodes().Node(StoreID))
            return RefreshNewMessages(*store);
        if (m_resyncing)
            return 0;
        m_resyncing = true;
        ResyncStore(StoreName);
        const qint32 count = CheckNewMessages(StoreID, StoreName);
        m_resyncing = false;
        return count;
    });
}

qint32 mrvExchange::RefreshNewMessages(const cExchangeNode &store)
{
    qint32 count = 0;
    for (const auto &folder : store.Nodes().NewEnum()) {
        if (folder->NodeType() == ntItem)
            continue;
        auto row =
            m_connection->open(QStringLiteral("SELECT EXDAT FROM SYS_EXC") + kCR + QStringLiteral("WHERE EXUSR = ") +
                                   userLiteral() + kCR + QStringLiteral("AND   EXSYN = ") + QString::number(0) + kCR +
                                   QStringLiteral("AND   EXOID = ") + literal(folder->ID()),
                               host::rsUpdatable);
        if (!row->eof()) {
            const qint64 synchronised = row->field(QStringLiteral("EXDAT")).toDateTime().toSecsSinceEpoch();
            QList<std::shared_ptr<cExchangeNode>> newer;
            for (const auto &item : folder->Nodes().NewEnum()) {
                if (item->NodeType() == ntItem && item->ExtInfo() &&
                    item->ExtInfo()->DateCreation().toSecsSinceEpoch() > synchronised)
                    newer << item;
            }
            const QSet<QString> existing = existingMessageRows(newer);
            for (const auto &item : std::as_const(newer)) {
                if (!existing.contains(item->ID())) {
                    insertMessageRow(*item, folder->ID());
                    ++count;
                }
            }
            row->setField(QStringLiteral("EXDAT"), QDateTime::currentDateTime());
            row->update();
        }
        row->close();
        count += RefreshNewMessages(*folder);
    }
    return count;
}

void mrvExchange::ResyncStore(const QString &storeName)
{
    Q_UNUSED(storeName);
    const QList<exchange::MailboxStore> stores = m_mailbox->stores();
    const host::ValueTools &values = host::valueTools();
    QList<QPair<QString, QString>> moves;
    for (auto set = m_connection->open(QStringLiteral("SELECT * FROM SYS_EXC WHERE EXTYP = ") +
                                       QString::number(ntStore) + QStringLiteral(" AND EXUSR = ") + userLiteral());
         !set->eof(); set->moveNext()) {
        const QString oldId = values.nullSafe(set->field(QStringLiteral("EXOID"))).toString();
        const QString name = values.nullSafe(set->field(QStringLiteral("EXDES"))).toString();
        for (const exchange::MailboxStore &store : stores) {
            if (store.name == name && store.entryId != oldId)
                moves.append({oldId, store.entryId});
        }
    }
    for (const auto &[oldId, newId] : moves) {
        for (const QString &column : {QStringLiteral("EXOID"), QStringLiteral("EXPAR")}) {
            auto statement = m_connection->newStatement();
            statement->initialize(QStringLiteral("SYS_EXC"), QString());
            statement->addColumn(column, newId, host::tcShortText);
            statement->setWhere(QStringLiteral("WHERE ") + column + QStringLiteral(" = ") + literal(oldId) +
                                QStringLiteral(" AND EXUSR = ") + userLiteral());
            m_connection->execute(statement->build(host::skUpdate));
        }
    }
}

QList<std::shared_ptr<cExchangeNode>> mrvExchange::ReadParentsFromDb(qint32 recordId)
{
    const host::ValueTools &values = host::valueTools();
    QList<std::shared_ptr<cExchangeNode>> chain;
    QSet<qint32> seen;
    for (qint32 id = recordId; id > 0 && !seen.contains(id);) {
        seen.insert(id);
        auto row = m_connection->open(QStringLiteral("SELECT * FROM SYS_EXC WHERE RECORD_ID = ") + QString::number(id));
        if (row->eof())
            break;
        auto node = std::make_shared<cExchangeNode>();
        node->initialize(qint32(values.toNumber(row->field(QStringLiteral("EXTYP")))),
                         values.nullSafe(row->field(QStringLiteral("EXOID"))).toString(),
                         values.nullSafe(row->field(QStringLiteral("EXDES"))).toString(),
                         qint32(values.toNumber(row->field(QStringLiteral("EXETP")))));
        chain.prepend(node);
        const QVariant parent = row->field(QStringLiteral("EXPAR"));
        row->close();
        if (parent.isNull() || !parent.isValid())
            break;
        auto parentRow = m_connection->open(QStringLiteral("SELECT RECORD_ID FROM SYS_EXC WHERE EXOID = ") +
                                            literal(parent.toString()));
        id = parentRow->eof() ? 0 : qint32(values.toNumber(parentRow->field(QStringLiteral("RECORD_ID"))));
    }
    return chain;
}

std::unique_ptr<exchange::MailboxMessage> mrvExchange::GetMessageFromDb(qint32 RecordID, qint32 *lPublicMessageId)
{
    std::unique_ptr<exchange::MailboxMessage> message;
    guardedVoid(m_errors.get(), kObject, "GetMessageFromDb", [&] {
        QString storeId;
        QString folderId;
        QString messageId;
        for (const auto &node : ReadParentsFromDb(RecordID)) {
            if (node->NodeType() == ntStore)
                storeId = node->ID();
            else if (node->NodeType() == ntTopFolder || node->NodeType() == ntFolder)
                folderId = node->ID();
            else if (node->NodeType() == ntItem)
                messageId = node->ID();
        }
        if (storeId.isEmpty() || folderId.isEmpty() || messageId.isEmpty())
            return;
        LogonScope logon(*this);
        if (!logon.loggedOn())
            return;
        message = m_mailbox->message(messageId, storeId);
        if (!message)
            return;
        auto row = m_connection->open(QStringLiteral("SELECT EXIST,EXPUB FROM SYS_EXC WHERE RECORD_ID = ") +
                                          QString::number(RecordID),
                                      host::rsUpdatable);
        if (row->eof())
            return;
        if (lPublicMessageId)
            *lPublicMessageId = qint32(host::valueTools().toNumber(row->field(QStringLiteral("EXPUB"))));
        if (host::valueTools().toNumber(row->field(QStringLiteral("EXIST"))) == 0) {
            row->setField(QStringLiteral("EXIST"), 1);
            row->update();
        }
        row->close();
    });
    return message;
}

void mrvExchange::ChangeMessageStatus(qint32 RecordID, qint32 NewStatus)
{
    guardedVoid(m_errors.get(), kObject, "ChangeMessageStatus", [&] {
        auto row = m_connection->open(QStringLiteral("SELECT EXIST FROM SYS_EXC WHERE RECORD_ID = ") +
                                          QString::number(RecordID),
                                      host::rsUpdatable);
        if (row->eof())
            return;
        row->setField(QStringLiteral("EXIST"), NewStatus);
        row->update();
        row->close();
    });
}

QString mrvExchange::storedItemsState(const QString &folderId)
{
    auto set = m_connection->open(QStringLiteral("SELECT EXSTA FROM SYS_EXS WHERE EXUSR = ") + userLiteral() +
                                  QStringLiteral(" AND EXOID = ") + literal(folderId));
    return set->eof() ? QString() : host::valueTools().nullSafe(set->field(QStringLiteral("EXSTA"))).toString();
}

void mrvExchange::storeItemsState(const QString &folderId, const QString &state)
{
    m_connection->execute(QStringLiteral("DELETE SYS_EXS WHERE EXUSR = ") + userLiteral() +
                          QStringLiteral(" AND EXOID = ") + literal(folderId));
    if (state.isEmpty())
        return;
    auto statement = m_connection->newStatement();
    statement->initialize(QStringLiteral("SYS_EXS"), QString());
    statement->addColumn(QStringLiteral("EXUSR"), m_users->userCode(), host::tcShortText);
    statement->addColumn(QStringLiteral("EXOID"), folderId, host::tcShortText);
    statement->addColumn(QStringLiteral("EXSTA"), state, host::tcShortText);
    m_connection->execute(statement->build(host::skInsert));
}

} // namespace mrv
