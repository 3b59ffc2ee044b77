#pragma once

#include <QString>

namespace mrv::host {

// The host's tree control, as the mailbox mirror fills it: nodes by key,
// under a parent's key or at the top, each with a text and, when the tree
// has pictures, an icon (mrv_eExchangeItemsIcon) shown selected or not.
class TreeControl
{
public:
    virtual ~TreeControl() = default;

    virtual void clear() = 0;
    // parentKey empty: a root node.
    virtual void addNode(const QString &parentKey, const QString &key, const QString &text) = 0;
    virtual bool hasImageList() const = 0;
    virtual void setImage(const QString &key, qint32 icon) = 0;
    virtual void setExpanded(const QString &key, bool expanded) = 0;
};

} // namespace mrv::host
