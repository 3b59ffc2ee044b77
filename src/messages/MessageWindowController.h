#pragma once

#include "AttachmentFiles.h"
#include "MessageCommands.h"
#include "MessageHeaderText.h"
#include "MessageStore.h"
#include "TaskPanel.h"

#include <QDateTime>
#include <QObject>
#include <QTextDocument>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>

class QTemporaryDir;
class QWidget;

namespace mrv {

namespace exchange {
struct MailboxMessage;
}

namespace host {
class Connection;
class Errors;
class Records;
class RichTextStore;
} // namespace host

// All the behaviour of the message window "frmSYS_MSG": composing, saving
// and sending a message or task, showing a stored one, browsing, the task
// panel, public copies, attachments, printing and the command table. The
// widget binds its controls to the getters, setters and signals; every
// dialog goes through the host, so the controller runs headless.
class MessageWindowController : public QObject
{
    Q_OBJECT

public:
    enum class Focus { ToBox, Editor };

    explicit MessageWindowController(QObject *parent = nullptr);
    ~MessageWindowController() override;

    // Host objects and the view the window was opened from.
    void setErrors(std::shared_ptr<host::Errors> errors);
    void setRecords(std::shared_ptr<host::Records> records);
    void setRichTextStore(std::shared_ptr<host::RichTextStore> store);
    std::shared_ptr<host::Errors> Errors() const { return m_errors; }
    std::shared_ptr<host::Records> Records() const { return m_records; }
    std::shared_ptr<host::RichTextStore> richTextStore() const { return m_richText; }
    // The widget handed to the host to be shown; may stay null (headless).
    void setWidget(QWidget *widget) { m_widget = widget; }
    // Opens a file with the program its type belongs to; false when none.
    // Without one (headless) no file is ever opened.
    void setFileOpener(std::function<bool(const QString &path)> opener) { m_fileOpener = std::move(opener); }

    QString ViewName() const { return m_viewName; }
    void setViewName(const QString &name) { m_viewName = name; }
    QVariant Bookmark() const { return m_bookmark; }
    void setBookmark(const QVariant &bookmark) { m_bookmark = bookmark; }
    QString FilterQuery() const { return m_filterQuery; }
    void setFilterQuery(const QString &filter) { m_filterQuery = filter; }
    QString OrderBy() const { return m_orderBy; }
    void setOrderBy(const QString &orderBy) { m_orderBy = orderBy; }

    // Public members of the window.
    qint32 MessageType() const { return m_messageType; }
    bool NewMessage() const { return m_newMessage; }
    QVariant IdOriginalMessage() const { return m_idOriginalMessage; }
    QVariant Replying() const { return m_replying; }
    void setReplying(const QVariant &id) { m_replying = id; }
    QVariant Forwarding() const { return m_forwarding; }
    void setForwarding(const QVariant &id) { m_forwarding = id; }
    QString Link() const { return m_link; }
    void setLink(const QString &link);
    qint32 MessageStatus() const { return m_messageStatus; }
    QString MessageID() const { return m_messageId; }
    qint32 PublicMessageID() const { return m_publicMessageId; }
    void setFocusOnMessage(bool focus);
    void setObject(const QString &subject);
    // The window's tag while it shows a stored row ("SYS_MSG|12").
    QString windowTag() const { return m_windowTag; }

    // Compose (new messages, drafts, replies, forwards).
    void CreateMessage(QWidget *owner, qint32 messageType, const QString &recipients, const QString &link,
                       const QString &attachmentPath = QString(), qint32 messageId = 0);
    void ReplyToMessage(const QString &recipients, bool forward);
    void TextForReply(const MessageHeader &header, const QTextDocument &quoted);
    void ResolveAddresses(bool showDialog, bool &ok);
    void AddAttachment(const QString &path);
    void SaveMessage(bool send, bool &ok);
    void SaveNewMessage(bool send, bool &ok, QString &htmlBody);
    // Asked before the window closes; false keeps it open.
    bool queryClose();

    // Stored items.
    bool OpenMessage(QWidget *owner, const QString &messageId, qint32 messageType, const QVariant &focus = {});
    bool OpenDbMessage();
    bool OpenEmail();
    void showEmailBody(const exchange::MailboxMessage &message);
    std::unique_ptr<exchange::MailboxMessage> fetchEmail(qint32 *publicId);
    qint32 saveEmailAsPublic();
    void storeAssociation(const QString &table, const QString &key);
    void listEmailAttachments(const exchange::MailboxMessage &message);
    void MoveMessage(const QString &viewName, qint32 direction);
    // Both return whether the row was saved.
    bool SaveOpenedMessage();
    bool SaveOpenedTask();
    void SaveAsPublic(qint32 &newPublicId);
    void RemovePublicMessage();
    void OpenAttachment(qint32 row);
    void SaveAttachment(qint32 row);
    void SaveAllAttachment();
    void associateCounterparty();
    void associateDocument();
    void openAssociation();
    void openLink();
    // A navigation of the web view; true when it is cancelled (the host
    // opened the record it names instead).
    bool webNavigation(const QString &target);

    // Printing: the document of a message or task, or the HTML of an e-mail,
    // public message or notification, each with its header.
    bool printsFromHtml() const;
    std::unique_ptr<QTextDocument> TextForPrintHeader();
    QString PrintEmail();

    // Toolbar layout kept in the configuration.
    bool keepsToolbarLayout() const;
    QString toolbarLayout() const;
    void storeToolbarLayout(const QString &layout);

    // Commands.
    commands::CommandStates commands() const;
    commands::CommandState command(qint32 id) const;
    // False when the command is not enabled now (nothing is done).
    bool execute(qint32 id);

    // The boxes.
    QString caption() const { return m_caption; }
    // The image of the window itself.
    QString windowIconKey() const
    {
        return m_messageType == 1 ? QStringLiteral("activity") : QStringLiteral("message");
    }
    bool isModified() const { return m_modified; }
    QString address(qint32 box) const { return m_addresses.at(box); }
    void setAddress(qint32 box, const QString &text);
    QString resolvedAddress(qint32 box) const { return m_resolved.at(box); }
    QString subject() const { return m_subject; }
    void setSubject(const QString &subject);
    qint32 priority() const { return m_priority; }
    bool personalTask() const { return m_personalTask; }
    qint32 folder() const { return m_folder; }
    QTextDocument *document() { return &m_document; }
    // The editor reports edits of the body through this.
    void bodyEdited();
    bool showsWebView() const { return m_showsWebView; }
    QString webFilePath() const { return m_webFile; }
    const TaskPanel &task() const { return m_task; }
    // The boxes of who assigned a task and when only a received task fills.
    bool showsReceivedTaskBoxes() const { return !m_newMessage; }
    // Has the host fill the status list with the captions of the task states.
    void fillTaskStatusList(QObject *combo);
    // The captions of the task states, in mrv_eTaskStatus order, for a list
    // the host left empty.
    QStringList taskStatusCaptions() const;
    void setTaskStatus(qint32 status);
    void setTaskCompletion(qint32 value);
    void setTaskDue(const QDate &due);
    void setTaskStarted(const QDate &started);
    void setTaskFinished(const QDate &finished);
    void setNotifyMe(bool notify);
    // The header of a stored item: from, sent, To, Cc, subject, priority line.
    MessageHeader header() const { return m_header; }
    QString details() const { return m_details; }
    QString associationText() const;
    QList<AttachmentRow> composeAttachments() const { return m_composeAttachments; }
    QList<AttachmentRow> storedAttachments() const { return m_storedAttachments; }
    // The row the attachment popups act on, in the list the window shows.
    void setSelectedAttachment(qint32 row) { m_selectedAttachment = row; }

Q_SIGNALS:
    void changed();
    void captionChanged(const QString &caption);
    void attachmentsChanged();
    void focusRequested(mrv::MessageWindowController::Focus target);
    void closeRequested();
    void tagChanged(const QString &tag);
    void helpRequested();
    void printRequested();

private:
    host::Records &hostRecords() const;
    host::RichTextStore &bodies() const;
    host::Connection &connection() const;
    MessageStore store() const;
    QString translate(const QString &text, const char *procedure) const;
    qint32 ask(const QString &text, const QStringList &values, qint32 style, const QString &title = QString()) const;
    void setCaption(const QString &caption);
    void markModified();
    void clearModified();
    void showWindow();
    qint32 id() const;

    void prepareFaxRecipients(const QString &recipients);
    void loadDraft(qint32 id);
    void readBody(const QString &rtf);
    void startBody();
    void insertSignature(QTextCursor &cursor);
    void listStoredAttachmentsForCompose(qint32 messageId);
    QList<ColumnValue> newRowColumns(bool send) const;
    bool attachmentFilesExist();
    void storeAttachments(qint32 id);
    void saveBody(qint32 id);
    QString exportHtmlBody(bool &ok);
    void sendSaved(bool &ok, qint32 bodyFormat);

    void showHeader(const MessageCopy &row);
    void showBody(const MessageCopy &row);
    QString priorityText(qint32 priority) const;
    QString detailsOf(const MessageCopy &row) const;
    void showTask(const MessageCopy &row);
    void markRead(const MessageCopy &row);
    void listStoredAttachments(qint32 messageId);
    QString moveListSql(const QString &viewName) const;
    void requireRow(qint32 id);
    void writeTaskRow(qint32 id, bool reportDue);
    QList<ColumnValue> taskColumns() const;
    QString replyRecipients(bool all) const;
    void executeCommand(qint32 id);
    void changePriority(qint32 priority);
    void toggleAssignment();
    void removeLink();
    void chooseRecipients();
    void deleteMessage();
    void togglePublic();
    void removeAttachment(bool all);
    AttachmentRow selectedRow(qint32 row) const;
    QString extractToTemp(const AttachmentRow &row);

    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::RichTextStore> m_richText;
    QWidget *m_widget = nullptr;
    QWidget *m_owner = nullptr;
    std::function<bool(const QString &)> m_fileOpener;

    QString m_viewName;
    QVariant m_bookmark;
    QString m_filterQuery;
    QString m_orderBy;

    qint32 m_messageType = 0;
    bool m_newMessage = true;
    QVariant m_idOriginalMessage;
    QVariant m_replying;
    QVariant m_forwarding;
    QString m_link;
    qint32 m_messageStatus = 1;
    QString m_messageId = QStringLiteral("0");
    qint32 m_publicMessageId = 0;
    QString m_windowTag;

    QString m_caption;
    bool m_modified = false;
    bool m_personalTask = false;
    qint32 m_priority = 1;
    qint32 m_folder = 0;
    std::array<QString, 3> m_addresses;
    std::array<QString, 3> m_resolved;
    QString m_subject;
    QTextDocument m_document;
    bool m_showsWebView = false;
    QString m_webFile;
    // A mirrored e-mail's attachments, written out as it is opened.
    std::unique_ptr<QTemporaryDir> m_emailFiles;
    TaskPanel m_task;
    MessageHeader m_header;
    QString m_details;
    qint32 m_associated = 0;
    QString m_associatedTable;
    QString m_associatedKey;
    QString m_associatedText;
    QList<AttachmentRow> m_composeAttachments;
    QList<AttachmentRow> m_storedAttachments;
    qint32 m_selectedAttachment = -1;
};

} // namespace mrv
