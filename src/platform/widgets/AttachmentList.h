#pragma once

#include <QListWidget>
#include <QVariant>

namespace mrv::widgets {

class CommandBar;

// One row of an AttachmentList.
struct AttachmentEntry
{
    QString fileName; // picks the type icon
    QString text;     // what the row shows; the file name when empty
    QVariant id;      // the caller's key of the attachment
};

// A list of attachments with the icons of their file types. The right
// button opens a popup menu of the caller's commands.
class AttachmentList : public QListWidget
{
    Q_OBJECT

public:
    explicit AttachmentList(QWidget *parent = nullptr);

    void setAttachments(const QList<AttachmentEntry> &entries);
    // The popup: a menu of the command bar, refreshed before it shows.
    void setPopup(CommandBar *commands, qint32 menuId);

    QVariant currentId() const;
    QList<QVariant> ids() const;

    static QIcon typeIcon(const QString &fileName);

Q_SIGNALS:
    // Double click or Enter on an attachment.
    void attachmentActivated(const QVariant &id);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showPopup(const QPoint &position);

    CommandBar *m_commands = nullptr;
    qint32 m_popupMenu = 0;
};

} // namespace mrv::widgets
