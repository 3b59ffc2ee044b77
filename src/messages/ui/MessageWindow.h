#pragma once

#include "facade/Windows.h"
#include "messages/MessageWindowController.h"

#include <QDate>
#include <QPointer>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QSlider;
class QTextDocument;
class QUrl;
class QVBoxLayout;

namespace mrv::widgets {
class AttachmentList;
class CommandBar;
class HtmlView;
class RichTextEditor;
} // namespace mrv::widgets

namespace mrv::ui {

// The message window frmSYS_MSG: the controls of composing (recipients,
// subject, attachments), of a stored item (its header, details, links),
// the task panel and the body, bound to a MessageWindowController, which
// decides everything.
class MessageWindow : public mrv::MessageWindow
{
public:
    MessageWindow();
    ~MessageWindow() override;

    void setErrors(std::shared_ptr<host::Errors> errors) override;
    void setRecords(std::shared_ptr<host::Records> records) override;
    void setViewName(const QString &viewName) override;
    void setBookmark(const QVariant &bookmark) override;
    void setFilterQuery(const QString &filter) override;
    void setOrderBy(const QString &orderBy) override;
    void CreateMessage(QWidget *owner, qint32 messageType, const QString &recipients, const QString &link,
                       const QString &attachmentPath = QString(), qint32 messageId = 0) override;
    bool OpenMessage(QWidget *owner, const QString &messageId, qint32 messageType, const QVariant &focus) override;
    MessageWindowController *controller() override { return &m_controller; }

    bool isEnabled() const override;
    void focus() override;
    void hide() override;
    bool unload() override;
    QWidget *widget() override;

    // Prints the item with its header: into the PDF file when a path is
    // given, else on the printer the user picks. False when nothing was printed.
    bool print(const QString &pdfPath = QString());

private:
    // A task date box: the value it shows and how the controller takes a new one.
    struct DateBox
    {
        QLineEdit *edit = nullptr;
        QDate TaskPanel::*value = nullptr;
        void (MessageWindowController::*set)(const QDate &) = nullptr;
    };

    void build();
    QWidget *buildComposeHeader();
    QWidget *buildStoredHeader();
    QWidget *buildLinks();
    QWidget *buildTaskPanel();
    void buildAttachmentLists(QVBoxLayout *layout);
    void buildBody(QVBoxLayout *layout);
    void bindController();
    // Runs a controller operation that may load another body.
    template <typename Operation> auto loading(Operation &&operation);
    void runCommand(qint32 id);
    QLineEdit *dateBox(int box);
    void commitDate(const DateBox &box);

    void showState();
    void showRecipients();
    void showStoredHeader();
    void showLinks();
    void showTask();
    void showBody();
    void showAttachments();
    void showAttachmentStrips();
    void followLink(const QUrl &url);
    void restoreToolbars();
    void storeToolbars();
    bool mayClose();
    void leaveRegistryLater();

    MessageWindowController m_controller;
    std::shared_ptr<host::Errors> m_errors;
    QPointer<QMainWindow> m_form;
    widgets::CommandBar *m_commands = nullptr;
    QString m_iconKey;
    QString m_webFile;
    QTextDocument *m_idleDocument = nullptr; // the editor's while a body loads

    QWidget *m_composeHeader = nullptr;
    std::array<QPushButton *, 3> m_addressButtons{};
    std::array<QLineEdit *, 3> m_addresses{};
    QLineEdit *m_subject = nullptr;

    QWidget *m_storedHeader = nullptr;
    std::array<QLineEdit *, 5> m_information{}; // from, To, Cc, subject, sent
    QList<QWidget *> m_senderRow;
    QList<QWidget *> m_ccRow;
    QLabel *m_details = nullptr;
    QWidget *m_links = nullptr;
    QLabel *m_link = nullptr;
    QLabel *m_association = nullptr;

    QWidget *m_taskPanel = nullptr;
    QList<QWidget *> m_receivedTaskOnly; // status, started, finished, completion
    QComboBox *m_taskStatus = nullptr;
    QLineEdit *m_assignedBy = nullptr;
    QLineEdit *m_created = nullptr;
    std::array<DateBox, 3> m_dates{}; // due, started, finished
    QSlider *m_completion = nullptr;
    QLabel *m_completionText = nullptr;
    QCheckBox *m_notifyMe = nullptr;

    widgets::AttachmentList *m_composeAttachments = nullptr;
    widgets::AttachmentList *m_storedAttachments = nullptr;
    widgets::RichTextEditor *m_editor = nullptr;
    widgets::HtmlView *m_web = nullptr;
};

} // namespace mrv::ui
