#include "cExchangeNode.h"

namespace mrv {

std::shared_ptr<cExchangeNode> cExchangeNodes::Node(qint32 position) const
{
    return position >= 1 && position <= m_nodes.size() ? m_nodes.at(position - 1) : nullptr;
}

std::shared_ptr<cExchangeNode> cExchangeNodes::Node(const QString &id) const
{
    const auto found = m_positions.constFind(id);
    return found == m_positions.constEnd() ? nullptr : m_nodes.at(*found);
}

std::shared_ptr<cExchangeNode> cExchangeNodes::add(qint32 nodeType, const QString &id, const QString &description,
                                                   qint32 itemType, std::shared_ptr<cExchangeNodeExtInfo> extInfo)
{
    auto node = std::make_shared<cExchangeNode>();
    node->initialize(nodeType, id, description, itemType, std::move(extInfo));
    append(node);
    return node;
}

void cExchangeNodes::append(const std::shared_ptr<cExchangeNode> &node)
{
    // The first node of an ID stays the one found by it.
    if (!m_positions.contains(node->ID()))
        m_positions.insert(node->ID(), m_nodes.size());
    m_nodes.append(node);
}

void cExchangeNode::initialize(qint32 nodeType, const QString &id, const QString &description, qint32 itemType,
                               std::shared_ptr<cExchangeNodeExtInfo> extInfo)
{
    m_nodeType = nodeType;
    m_id = id;
    m_description = description;
    m_itemType = itemType;
    m_extInfo = std::move(extInfo);
}

} // namespace mrv
