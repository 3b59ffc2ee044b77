#include "AttachmentList.h"

#include "CommandBar.h"

#include <QFileIconProvider>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeDatabase>

namespace mrv::widgets {

namespace {

constexpr int kIdRole = Qt::UserRole + 1;

} // namespace

AttachmentList::AttachmentList(QWidget *parent) : QListWidget(parent)
{
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QWidget::customContextMenuRequested, this, &AttachmentList::showPopup);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { Q_EMIT attachmentActivated(item->data(kIdRole)); });
}

// The theme's icon of the type the name suggests, or the platform's icon
// of a file.
QIcon AttachmentList::typeIcon(const QString &fileName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QIcon themed = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return themed.isNull() ? QFileIconProvider().icon(QFileIconProvider::File) : themed;
}

void AttachmentList::setAttachments(const QList<AttachmentEntry> &entries)
{
    clear();
    for (const AttachmentEntry &entry : entries) {
        auto *item =
            new QListWidgetItem(typeIcon(entry.fileName), entry.text.isEmpty() ? entry.fileName : entry.text, this);
        item->setData(kIdRole, entry.id);
        item->setToolTip(entry.fileName);
    }
}

void AttachmentList::setPopup(CommandBar *commands, qint32 menuId)
{
    m_commands = commands;
    m_popupMenu = menuId;
}

QVariant AttachmentList::currentId() const
{
    return currentItem() ? currentItem()->data(kIdRole) : QVariant();
}

QList<QVariant> AttachmentList::ids() const
{
    QList<QVariant> list;
    for (int row = 0; row < count(); ++row)
        list << item(row)->data(kIdRole);
    return list;
}

void AttachmentList::showPopup(const QPoint &position)
{
    QMenu *menu = m_commands ? m_commands->menu(m_popupMenu) : nullptr;
    if (!menu)
        return;
    m_commands->refresh();
    menu->exec(viewport()->mapToGlobal(position));
}

void AttachmentList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        Q_EMIT attachmentActivated(currentId());
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace mrv::widgets
