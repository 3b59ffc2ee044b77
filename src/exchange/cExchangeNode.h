#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

namespace mrv {

class cExchangeNode;

// What the mirror keeps of a mail item besides its subject.
class cExchangeNodeExtInfo
{
public:
    QString MailTo() const { return m_mailTo; }
    void setMailTo(const QString &value) { m_mailTo = value; }
    QString MailFrom() const { return m_mailFrom; }
    void setMailFrom(const QString &value) { m_mailFrom = value; }
    bool Attachment() const { return m_attachment; }
    void setAttachment(bool value) { m_attachment = value; }
    qint32 Importance() const { return m_importance; }
    void setImportance(qint32 value) { m_importance = value; }
    qint32 Status() const { return m_status; }
    void setStatus(qint32 value) { m_status = value; }
    QDateTime DateCreation() const { return m_dateCreation; }
    void setDateCreation(const QDateTime &value) { m_dateCreation = value; }

private:
    QString m_mailTo;
    QString m_mailFrom;
    bool m_attachment = false;
    qint32 m_importance = 0;
    qint32 m_status = 0;
    QDateTime m_dateCreation;
};

// The children of a node, in the order they were added, reachable by
// position (from 1) or by ID.
class cExchangeNodes
{
public:
    explicit cExchangeNodes(cExchangeNode *parent) : m_parent(parent) {}

    cExchangeNode *Parent() const { return m_parent; }
    const QList<std::shared_ptr<cExchangeNode>> &NewEnum() const { return m_nodes; }
    // Null when there is no such node.
    std::shared_ptr<cExchangeNode> Node(qint32 position) const;
    std::shared_ptr<cExchangeNode> Node(const QString &id) const;
    qint32 Count() const { return qint32(m_nodes.size()); }

    std::shared_ptr<cExchangeNode> add(qint32 nodeType, const QString &id, const QString &description, qint32 itemType,
                                       std::shared_ptr<cExchangeNodeExtInfo> extInfo = {});
    void append(const std::shared_ptr<cExchangeNode> &node);

private:
    cExchangeNode *m_parent;
    QList<std::shared_ptr<cExchangeNode>> m_nodes;
    QHash<QString, qsizetype> m_positions;
};

// A node of a mirrored mailbox: the root (0), a store (1), a store's top
// folder (2), a folder (3) or a mail item (4).
class cExchangeNode
{
public:
    cExchangeNode() : m_nodes(this) {}
    cExchangeNode(const cExchangeNode &) = delete;
    cExchangeNode &operator=(const cExchangeNode &) = delete;

    void initialize(qint32 nodeType, const QString &id, const QString &description, qint32 itemType,
                    std::shared_ptr<cExchangeNodeExtInfo> extInfo = {});

    qint32 NodeType() const { return m_nodeType; }
    void setNodeType(qint32 value) { m_nodeType = value; }
    QString ID() const { return m_id; }
    void setID(const QString &value) { m_id = value; }
    cExchangeNodes &Nodes() { return m_nodes; }
    const cExchangeNodes &Nodes() const { return m_nodes; }
    QString Description() const { return m_description; }
    void setDescription(const QString &value) { m_description = value; }
    qint32 ExchangeItemType() const { return m_itemType; }
    void setExchangeItemType(qint32 value) { m_itemType = value; }
    std::shared_ptr<cExchangeNodeExtInfo> ExtInfo() const { return m_extInfo; }
    void setExtInfo(std::shared_ptr<cExchangeNodeExtInfo> value) { m_extInfo = std::move(value); }

private:
    qint32 m_nodeType = 0;
    QString m_id = QStringLiteral("0");
    cExchangeNodes m_nodes;
    QString m_description;
    qint32 m_itemType = 0;
    std::shared_ptr<cExchangeNodeExtInfo> m_extInfo;
};

} // namespace mrv
