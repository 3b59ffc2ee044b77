#include "MessageWindow.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "host/HostServices.h"
#include "host/TextService.h"
#include "platform/widgets/AttachmentList.h"
#include "platform/widgets/CommandBar.h"
#include "platform/widgets/HtmlView.h"
#include "platform/widgets/Icons.h"
#include "platform/widgets/PdfViewer.h"
#include "platform/widgets/Printing.h"
#include "platform/widgets/RichTextEditor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>

namespace mrv::ui {

namespace {

const QString kObject = MessageWindow::factoryName();

// The window's top-level widget: asks before it closes, and tells its
// owner when it did.
class MessageForm : public QMainWindow
{
public:
    MessageForm(std::function<bool()> mayClose, std::function<void()> closed)
        : m_mayClose(std::move(mayClose)), m_closed(std::move(closed))
    {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (!m_mayClose()) {
            event->ignore();
            return;
        }
        event->accept();
        m_closed();
    }

private:
    std::function<bool()> m_mayClose;
    std::function<void()> m_closed;
};

[[maybe_unused]] const bool kRegistered = [] {
    Factories::add(mrv::MessageWindow::factoryName(), [] { return std::make_unique<MessageWindow>(); });
    return true;
}();

QString caption(const char *text)
{
    return host::textService().translate(QString::fromUtf8(text), kObject + QStringLiteral(" > Form_Load"));
}

QLabel *label(const char *text, QWidget *buddy)
{
    auto *made = new QLabel(caption(text));
    made->setBuddy(buddy);
    return made;
}

// Dates are typed and shown with four-digit years, whatever the locale's
// short format says.
QString dateFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString dateText(const QDate &date)
{
    return date.isValid() ? QLocale().toString(date, dateFormat()) : QString();
}

// Setting the same text again would move the cursor of a box being typed in.
void setText(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

QLineEdit *readOnlyBox(const QString &name)
{
    auto *box = new QLineEdit;
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFrame(false);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    box->setPalette(palette);
    return box;
}

QLabel *linkLabel(const QString &name)
{
    auto *link = new QLabel;
    link->setObjectName(name);
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    return link;
}

QString anchor(const QString &text)
{
    return QStringLiteral("<a href=\"#\">") + text.toHtmlEscaped() + QStringLiteral("</a>");
}

void setVisible(const QList<QWidget *> &widgets, bool visible)
{
    for (QWidget *widget : widgets)
        widget->setVisible(visible);
}

} // namespace

MessageWindow::MessageWindow()
{
    build();
    bindController();
    showState();
}

MessageWindow::~MessageWindow()
{
    // A window still loaded when the process ends goes after the
    // application object, when widgets can no longer be destroyed.
    if (QCoreApplication::instance())
        delete m_form;
}

// ---------------------------------------------------------------------------
// Building

void MessageWindow::build()
{
    m_form = new MessageForm([this] { return mayClose(); }, [this] { leaveRegistryLater(); });
    m_form->setObjectName(kObject);
    m_commands = new widgets::CommandBar([this] { return m_controller.commands(); },
                                         [this](qint32 id) { runCommand(id); }, m_form);
    m_commands->fillMenuBar(m_form->menuBar());
    QToolBar *toolBar = m_commands->toolBar();
    toolBar->setWindowTitle(caption("Standard"));
    toolBar->setIconSize(QSize(20, 20));
    m_form->addToolBar(toolBar);

    auto *central = new QWidget(m_form);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(buildComposeHeader());
    layout->addWidget(buildStoredHeader());
    layout->addWidget(buildLinks());
    layout->addWidget(buildTaskPanel());
    buildAttachmentLists(layout);
    buildBody(layout);
    m_form->setCentralWidget(central);
    m_form->resize(820, 600);

    m_controller.setWidget(m_form);
    m_controller.setFileOpener([this](const QString &path) { return widgets::openFile(path, m_form); });
}

QWidget *MessageWindow::buildComposeHeader()
{
    m_composeHeader = new QWidget;
    auto *grid = new QGridLayout(m_composeHeader);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    const char *boxes[] = {"A", "Cc", "Ccn"};
    for (int box = 0; box < 3; ++box) {
        m_addresses[box] = new QLineEdit;
        m_addresses[box]->setObjectName(QStringLiteral("txtAddress%1").arg(box));
        QObject::connect(m_addresses[box], &QLineEdit::textEdited, m_form,
                         [this, box](const QString &text) { m_controller.setAddress(box, text); });
        // The boxes' captions open the address book, as the command does.
        m_addressButtons[box] = new QPushButton(caption(boxes[box]));
        m_addressButtons[box]->setObjectName(QStringLiteral("cmdAddress%1").arg(box));
        QObject::connect(m_addressButtons[box], &QPushButton::clicked, m_form,
                         [this] { m_commands->action(cmdAddressBook)->trigger(); });
        grid->addWidget(m_addressButtons[box], box, 0);
        grid->addWidget(m_addresses[box], box, 1);
    }
    m_subject = new QLineEdit;
    m_subject->setObjectName(QStringLiteral("txtObject"));
    QObject::connect(m_subject, &QLineEdit::textEdited, m_form,
                     [this](const QString &text) { m_controller.setSubject(text); });
    grid->addWidget(label("Oggetto:", m_subject), 3, 0);
    grid->addWidget(m_subject, 3, 1);
    return m_composeHeader;
}

QWidget *MessageWindow::buildStoredHeader()
{
    m_storedHeader = new QWidget;
    auto *grid = new QGridLayout(m_storedHeader);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->setColumnStretch(1, 1);
    for (int box = 0; box < int(m_information.size()); ++box)
        m_information[box] = readOnlyBox(QStringLiteral("txtInformation%1").arg(box));
    QFont bold = m_information[3]->font();
    bold.setBold(true);
    m_information[3]->setFont(bold);
    QList<QLabel *> labels{label("Da:", m_information[0]), label("A:", m_information[1]),
                           label("Cc:", m_information[2]), label("Oggetto:", m_information[3]),
                           label("Inviato:", m_information[4])};
    grid->addWidget(labels[0], 0, 0);
    grid->addWidget(m_information[0], 0, 1);
    grid->addWidget(labels[4], 0, 2);
    grid->addWidget(m_information[4], 0, 3);
    for (int row = 1; row <= 3; ++row) {
        grid->addWidget(labels[row], row, 0);
        grid->addWidget(m_information[row], row, 1, 1, 3);
    }
    m_details = new QLabel;
    m_details->setObjectName(QStringLiteral("lblDetails"));
    m_details->setWordWrap(true);
    grid->addWidget(m_details, 4, 0, 1, 4);
    m_senderRow = {labels[0], m_information[0], labels[4], m_information[4]};
    m_ccRow = {labels[2], m_information[2]};
    return m_storedHeader;
}

QWidget *MessageWindow::buildLinks()
{
    m_links = new QWidget;
    auto *row = new QHBoxLayout(m_links);
    row->setContentsMargins(0, 0, 0, 0);
    m_link = linkLabel(QStringLiteral("lblInformationLink"));
    m_link->setText(anchor(caption("Link")));
    m_association = linkLabel(QStringLiteral("lblAss"));
    QObject::connect(m_link, &QLabel::linkActivated, m_form, [this] { m_controller.openLink(); });
    QObject::connect(m_association, &QLabel::linkActivated, m_form, [this] { m_controller.openAssociation(); });
    row->addWidget(m_link);
    row->addWidget(m_association);
    row->addStretch();
    return m_links;
}

QWidget *MessageWindow::buildTaskPanel()
{
    m_taskPanel = new QWidget;
    auto *grid = new QGridLayout(m_taskPanel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    for (int column : {1, 3, 5})
        grid->setColumnStretch(column, 1);
    m_assignedBy = readOnlyBox(QStringLiteral("txtTask0"));
    m_created = readOnlyBox(QStringLiteral("txtTask1"));
    m_dates = {DateBox{nullptr, &TaskPanel::due, &MessageWindowController::setTaskDue},
               DateBox{nullptr, &TaskPanel::started, &MessageWindowController::setTaskStarted},
               DateBox{nullptr, &TaskPanel::finished, &MessageWindowController::setTaskFinished}};
    for (int box = 0; box < int(m_dates.size()); ++box)
        m_dates[box].edit = dateBox(box);

    m_taskStatus = new QComboBox;
    m_taskStatus->setObjectName(QStringLiteral("cmbTask"));
    QObject::connect(m_taskStatus, &QComboBox::activated, m_form,
                     [this](int status) { m_controller.setTaskStatus(status); });
    m_completion = new QSlider(Qt::Horizontal);
    m_completion->setObjectName(QStringLiteral("sliderTask"));
    m_completion->setRange(0, TaskPanel::kCompletionMaximum);
    QObject::connect(m_completion, &QSlider::valueChanged, m_form,
                     [this](int value) { m_controller.setTaskCompletion(value); });
    m_completionText = new QLabel;
    m_notifyMe = new QCheckBox(caption("Avvisami"));
    m_notifyMe->setObjectName(QStringLiteral("chkCheck"));
    QObject::connect(m_notifyMe, &QCheckBox::clicked, m_form, [this](bool on) { m_controller.setNotifyMe(on); });

    auto *status = label("Stato:", m_taskStatus);
    auto *started = label("Iniziata il:", m_dates[1].edit);
    auto *finished = label("Completata il:", m_dates[2].edit);
    auto *completion = label("Completamento:", m_completion);
    const QList<QList<QWidget *>> rows{{label("Assegnata da:", m_assignedBy), m_assignedBy,
                                        label("Creata il:", m_created), m_created, label("Scadenza:", m_dates[0].edit),
                                        m_dates[0].edit},
                                       {status, m_taskStatus, started, m_dates[1].edit, finished, m_dates[2].edit}};
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < rows[row].size(); ++column)
            grid->addWidget(rows[row][column], row, column);
    }
    auto *progress = new QHBoxLayout;
    progress->addWidget(m_completion, 1);
    progress->addWidget(m_completionText);
    grid->addWidget(completion, 2, 0);
    grid->addLayout(progress, 2, 1, 1, 3);
    grid->addWidget(m_notifyMe, 2, 4, 1, 2);
    m_receivedTaskOnly = {status,          m_taskStatus, started,      m_dates[1].edit, finished,
                          m_dates[2].edit, completion,   m_completion, m_completionText};
    return m_taskPanel;
}

QLineEdit *MessageWindow::dateBox(int box)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("txtTask%1").arg(box + 2));
    edit->setPlaceholderText(dateFormat().toLower());
    QObject::connect(edit, &QLineEdit::textEdited, m_form, [this, box] { commitDate(m_dates[box]); });
    // What was typed and is no date goes back to the date kept.
    QObject::connect(edit, &QLineEdit::editingFinished, m_form, [this] { showTask(); });
    return edit;
}

void MessageWindow::commitDate(const DateBox &box)
{
    const QString text = box.edit->text().trimmed();
    const QDate date = QLocale().toDate(text, dateFormat());
    if ((text.isEmpty() || date.isValid()) && date != m_controller.task().*box.value)
        (m_controller.*box.set)(date);
}

void MessageWindow::buildAttachmentLists(QVBoxLayout *layout)
{
    m_composeAttachments = new widgets::AttachmentList;
    m_composeAttachments->setObjectName(QStringLiteral("lstAttachment"));
    m_storedAttachments = new widgets::AttachmentList;
    m_storedAttachments->setObjectName(QStringLiteral("lstInformationAttachment"));
    for (widgets::AttachmentList *list : {m_composeAttachments, m_storedAttachments}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setFlow(QListView::LeftToRight);
        list->setWrapping(true);
        list->setResizeMode(QListView::Adjust);
        list->setSpacing(2);
        list->setMaximumHeight(2 * list->fontMetrics().height() + 20);
        list->setPopup(m_commands, cmdAttachmentPopup);
        QObject::connect(list, &widgets::AttachmentList::attachmentActivated, m_form,
                         [this](const QVariant &row) { m_controller.OpenAttachment(row.toInt()); });
        QObject::connect(list, &QListWidget::currentRowChanged, m_form,
                         [this](int row) { m_controller.setSelectedAttachment(row); });
        layout->addWidget(list);
    }
    // The popup saves all attachments through the File menu's command,
    // under a shorter caption.
    QMenu *popup = m_commands->menu(cmdAttachmentPopup);
    QAction *saveAll = new QAction(caption("Salva tutti..."), popup);
    const QList<QAction *> entries = popup->actions();
    popup->insertAction(entries.value(entries.indexOf(m_commands->action(cmdSaveAttachment)) + 1), saveAll);
    QObject::connect(popup, &QMenu::aboutToShow, saveAll,
                     [this, saveAll] { saveAll->setEnabled(m_commands->action(cmdSaveAllAttachments)->isEnabled()); });
    QObject::connect(saveAll, &QAction::triggered, m_form,
                     [this] { m_commands->action(cmdSaveAllAttachments)->trigger(); });
}

void MessageWindow::buildBody(QVBoxLayout *layout)
{
    m_editor = new widgets::RichTextEditor;
    m_editor->setObjectName(QStringLiteral("textMessage"));
    m_editor->setDocument(m_controller.document());
    QObject::connect(m_controller.document(), &QTextDocument::contentsChanged, m_form,
                     [this] { m_controller.bodyEdited(); });
    m_idleDocument = new QTextDocument(m_form);
    m_web = new widgets::HtmlView;
    m_web->setObjectName(QStringLiteral("webMail"));
    QObject::connect(m_web, &widgets::HtmlView::linkClicked, m_form, [this](const QUrl &url) { followLink(url); });
    layout->addWidget(m_editor, 1);
    layout->addWidget(m_web, 1);
}

void MessageWindow::bindController()
{
    using Controller = MessageWindowController;
    QObject::connect(&m_controller, &Controller::changed, m_form, [this] { showState(); });
    QObject::connect(&m_controller, &Controller::captionChanged, m_form, &QWidget::setWindowTitle);
    QObject::connect(&m_controller, &Controller::attachmentsChanged, m_form, [this] { showAttachments(); });
    QObject::connect(&m_controller, &Controller::tagChanged, m_form, [this](const QString &tag) { setTag(tag); });
    QObject::connect(&m_controller, &Controller::printRequested, m_form, [this] { print(); });
    QObject::connect(&m_controller, &Controller::closeRequested, m_form, &QWidget::close);
    QObject::connect(&m_controller, &Controller::focusRequested, m_form, [this](Controller::Focus target) {
        if (target == Controller::Focus::ToBox)
            m_addresses[0]->setFocus();
        else
            m_editor->textEdit()->setFocus();
    });
}

// ---------------------------------------------------------------------------
// The facade's calls

void MessageWindow::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = errors;
    m_controller.setErrors(std::move(errors));
    m_editor->setHost(m_controller.Records(), m_errors);
}

void MessageWindow::setRecords(std::shared_ptr<host::Records> records)
{
    m_controller.setRecords(std::move(records));
    m_editor->setHost(m_controller.Records(), m_errors);
    m_controller.fillTaskStatusList(m_taskStatus);
    if (m_taskStatus->count() == 0)
        m_taskStatus->addItems(m_controller.taskStatusCaptions());
    restoreToolbars();
}

void MessageWindow::setViewName(const QString &viewName)
{
    m_controller.setViewName(viewName);
}

void MessageWindow::setBookmark(const QVariant &bookmark)
{
    m_controller.setBookmark(bookmark);
}

void MessageWindow::setFilterQuery(const QString &filter)
{
    m_controller.setFilterQuery(filter);
}

void MessageWindow::setOrderBy(const QString &orderBy)
{
    m_controller.setOrderBy(orderBy);
}

// While a body loads the editor lets go of the document: following the
// load it would lay out the whole body to keep its cursor in sight.
template <typename Operation> auto MessageWindow::loading(Operation &&operation)
{
    struct Reattach
    {
        widgets::RichTextEditor *editor;
        QTextDocument *document;
        ~Reattach() { editor->setDocument(document); }
    } reattach{m_editor, m_controller.document()};
    m_editor->setDocument(m_idleDocument);
    return operation();
}

void MessageWindow::CreateMessage(QWidget *owner, qint32 messageType, const QString &recipients, const QString &link,
                                  const QString &attachmentPath, qint32 messageId)
{
    loading([&] { m_controller.CreateMessage(owner, messageType, recipients, link, attachmentPath, messageId); });
}

bool MessageWindow::OpenMessage(QWidget *owner, const QString &messageId, qint32 messageType, const QVariant &focus)
{
    // A window with nothing to show does not stay loaded.
    const bool shown = loading([&] { return m_controller.OpenMessage(owner, messageId, messageType, focus); });
    if (!shown)
        leaveRegistryLater();
    return shown;
}

void MessageWindow::runCommand(qint32 id)
{
    if (id == cmdPrevious || id == cmdNext)
        loading([&] { m_controller.execute(id); });
    else
        m_controller.execute(id);
}

// ---------------------------------------------------------------------------
// Showing the controller's state

void MessageWindow::showState()
{
    const bool composing = m_controller.NewMessage();
    m_composeHeader->setVisible(composing);
    m_storedHeader->setVisible(!composing);
    if (composing)
        showRecipients();
    else
        showStoredHeader();
    showLinks();
    showTask();
    showBody();
    showAttachmentStrips();
    if (m_iconKey != m_controller.windowIconKey()) {
        m_iconKey = m_controller.windowIconKey();
        m_form->setWindowIcon(widgets::resourceIcon(m_iconKey));
    }
    m_commands->refresh();
    for (QPushButton *button : m_addressButtons)
        button->setEnabled(m_commands->action(cmdAddressBook)->isEnabled());
}

void MessageWindow::showRecipients()
{
    for (int box = 0; box < int(m_addresses.size()); ++box)
        setText(m_addresses[box], m_controller.address(box));
    setText(m_subject, m_controller.subject());
}

void MessageWindow::showStoredHeader()
{
    const MessageHeader header = m_controller.header();
    const QStringList values{header.from, header.to, header.cc, header.subject, header.sent};
    for (int box = 0; box < values.size(); ++box) {
        setText(m_information[box], values[box]);
        m_information[box]->setCursorPosition(0);
    }
    QLineEdit *sent = m_information[4];
    sent->setMinimumWidth(sent->fontMetrics().horizontalAdvance(header.sent) +
                          2 * sent->fontMetrics().averageCharWidth());
    // A task's panel shows who assigned it and when.
    setVisible(m_senderRow, m_controller.MessageType() != mstTask);
    setVisible(m_ccRow, !header.cc.isEmpty());
    m_details->setText(m_controller.details());
    m_details->setVisible(!m_details->text().isEmpty());
}

void MessageWindow::showLinks()
{
    const QString link = m_controller.Link();
    const QString association = m_controller.associationText();
    m_link->setVisible(!link.isEmpty());
    m_link->setToolTip(link);
    m_association->setText(anchor(association));
    m_association->setVisible(!association.isEmpty());
    m_links->setVisible(!link.isEmpty() || !association.isEmpty());
}

void MessageWindow::showTask()
{
    m_taskPanel->setVisible(m_controller.MessageType() == mstTask);
    const TaskPanel &task = m_controller.task();
    m_taskStatus->setCurrentIndex(task.status);
    setText(m_assignedBy, task.assignedBy);
    setText(m_created, dateText(task.created));
    for (const DateBox &box : m_dates) {
        if (!box.edit->hasFocus())
            setText(box.edit, dateText(task.*box.value));
    }
    {
        const QSignalBlocker quiet(m_completion);
        m_completion->setValue(task.completion);
    }
    m_completionText->setText(QStringLiteral("%1%").arg(task.completion));
    m_notifyMe->setChecked(task.notifyMe);
    setVisible(m_receivedTaskOnly, m_controller.showsReceivedTaskBoxes());
    m_notifyMe->setVisible(m_controller.NewMessage());
    for (QWidget *box : {static_cast<QWidget *>(m_dates[1].edit), static_cast<QWidget *>(m_dates[2].edit),
                         static_cast<QWidget *>(m_completion)})
        box->setEnabled(task.datesEnabled);
}

void MessageWindow::showBody()
{
    const bool web = m_controller.showsWebView();
    m_editor->setVisible(!web);
    m_web->setVisible(web);
    if (web && m_webFile != m_controller.webFilePath()) {
        m_webFile = m_controller.webFilePath();
        m_web->showFile(m_webFile);
    }
    // A received task's text is written back when the task is saved.
    const bool editable = m_controller.NewMessage() || m_controller.MessageType() == mstTask;
    m_editor->setReadOnly(!editable);
    m_editor->formatBar()->setVisible(editable);
}

void MessageWindow::showAttachments()
{
    const auto entries = [](const QList<AttachmentRow> &rows) {
        QList<widgets::AttachmentEntry> list;
        for (const AttachmentRow &row : rows) {
            const QString text =
                row.sizeText.isEmpty() ? row.name : row.name + QStringLiteral(" (") + row.sizeText + QLatin1Char(')');
            list.append({row.name, text, qint32(list.size())});
        }
        return list;
    };
    m_composeAttachments->setAttachments(entries(m_controller.composeAttachments()));
    m_storedAttachments->setAttachments(entries(m_controller.storedAttachments()));
    showAttachmentStrips();
}

void MessageWindow::showAttachmentStrips()
{
    const bool composing = m_controller.NewMessage();
    m_composeAttachments->setVisible(composing && m_composeAttachments->count() > 0);
    m_storedAttachments->setVisible(!composing && m_storedAttachments->count() > 0);
}

// A link in an e-mail or notification: the controller opens the records it
// names; web and mail addresses go to the user's own programs.
void MessageWindow::followLink(const QUrl &url)
{
    // The target as written in the page: a "table|key" one comes back from
    // QUrl with its bar percent-encoded.
    if (m_controller.webNavigation(QUrl::fromPercentEncoding(url.toEncoded())))
        return;
    if (QStringList{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")}.contains(
            url.scheme().toLower()))
        QDesktopServices::openUrl(url);
}

// ---------------------------------------------------------------------------
// Printing, toolbars, closing

bool MessageWindow::print(const QString &pdfPath)
{
    std::unique_ptr<QTextDocument> document;
    if (m_controller.printsFromHtml()) {
        const QString html = m_controller.PrintEmail();
        if (html.isEmpty())
            return false;
        document = std::make_unique<QTextDocument>();
        document->setHtml(html);
    } else {
        document = m_controller.TextForPrintHeader();
    }
    return document && widgets::printDocument(*document, m_form, pdfPath);
}

void MessageWindow::restoreToolbars()
{
    guardedVoid(m_errors.get(), kObject, "Form_Load", [&] {
        if (m_controller.keepsToolbarLayout())
            m_form->restoreState(QByteArray::fromBase64(m_controller.toolbarLayout().toLatin1()));
    });
}

void MessageWindow::storeToolbars()
{
    guardedVoid(m_errors.get(), kObject, "Form_Unload",
                [&] { m_controller.storeToolbarLayout(QString::fromLatin1(m_form->saveState().toBase64())); });
}

bool MessageWindow::mayClose()
{
    if (!m_controller.queryClose())
        return false;
    storeToolbars();
    return true;
}

bool MessageWindow::isEnabled() const
{
    return m_form && m_form->isEnabled();
}

void MessageWindow::focus()
{
    m_form->show();
    m_form->raise();
    m_form->activateWindow();
}

void MessageWindow::hide()
{
    m_form->hide();
}

bool MessageWindow::unload()
{
    if (!mayClose())
        return false;
    WindowRegistry::instance().remove(this);
    return true;
}

QWidget *MessageWindow::widget()
{
    return m_form;
}

// The registry owns the window and destroys it on removal, which cannot
// happen inside the window's own close event or call: it leaves once they
// are over.
void MessageWindow::leaveRegistryLater()
{
    QPointer<QMainWindow> form = m_form;
    QTimer::singleShot(0, [this, form] {
        if (form)
            WindowRegistry::instance().remove(this);
    });
}

} // namespace mrv::ui
