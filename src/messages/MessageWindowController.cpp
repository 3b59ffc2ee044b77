#include "MessageWindowController.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "facade/Types.h"
#include "facade/WindowRegistry.h"
#include "facade/Windows.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/RichTextStore.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QUrl>

namespace mrv {

namespace {

const QString kObject = QStringLiteral("frmSYS_MSG");
const QString kTable = QStringLiteral("SYS_MSG");
const QChar kCR(13);
const QString kCRLF = QStringLiteral("\r\n");
// Records::fileDialog: a folder is chosen rather than a file.
constexpr qint32 kFolderDialog = 4;
// RichTextStore: the key is a number; the body is rich text.
constexpr qint32 kKeyKind = 2;
constexpr qint32 kRichTextFormat = 5;

QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

qint32 toInteger(const QVariant &value)
{
    const QVariant safe = host::valueTools().nullSafe(value);
    return safe.toString().isEmpty() ? 0 : qint32(host::valueTools().toNumber(safe));
}

QVariant dateOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date.startOfDay()) : mrv::null();
}

QString sentText(const QDateTime &sent)
{
    const QLocale locale;
    return sent.isValid() ? locale.toString(sent, QStringLiteral("dddd ") + locale.dateFormat(QLocale::ShortFormat) +
                                                      QStringLiteral(" hh:mm"))
                          : QString();
}

// The type a stored MSTYP stands for in the window, and whether it is the
// user's own task.
QPair<qint32, bool> windowType(qint32 storedType)
{
    return storedType == mstPersonalTask ? qMakePair(qint32(mstTask), true) : qMakePair(storedType, false);
}

// ATKEY holds text: the key goes in as a text literal, which every engine
// compares without a cast.
QString attachmentsOfSql(qint32 messageId)
{
    return QStringLiteral("SELECT * FROM SYS_ATT") + kCR + QStringLiteral("WHERE ATTBL = ") + literal(kTable) +
           QStringLiteral(" AND") + kCR + QStringLiteral("      ATKEY = ") + literal(QString::number(messageId));
}

} // namespace

MessageWindowController::MessageWindowController(QObject *parent) : QObject(parent)
{
    m_fileOpener = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

MessageWindowController::~MessageWindowController()
{
    if (!m_webFile.isEmpty())
        QFile::remove(m_webFile);
}

void MessageWindowController::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

void MessageWindowController::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void MessageWindowController::setRichTextStore(std::shared_ptr<host::RichTextStore> store)
{
    m_richText = std::move(store);
}

// ---------------------------------------------------------------------------
// Small services

host::Records &MessageWindowController::hostRecords() const
{
    if (!m_records)
        throw Failure(QStringLiteral("The Records object is not set"), 91);
    return *m_records;
}

host::Connection &MessageWindowController::connection() const
{
    auto connection = hostRecords().connection();
    if (!connection)
        throw Failure(QStringLiteral("The host gave no connection"), 91);
    return *connection;
}

MessageStore MessageWindowController::store() const
{
    return MessageStore(connection(), hostRecords().configClass().get());
}

QString MessageWindowController::translate(const QString &text, const char *procedure) const
{
    return host::textService().translate(text, kObject + QStringLiteral(" > ") + QLatin1String(procedure));
}

qint32 MessageWindowController::ask(const QString &text, const QStringList &values, qint32 style,
                                    const QString &title) const
{
    return host::textService().messageBox(text, values, style, title);
}

qint32 MessageWindowController::id() const
{
    return m_messageId.toInt();
}

void MessageWindowController::setCaption(const QString &caption)
{
    m_caption = caption;
    Q_EMIT captionChanged(caption);
}

void MessageWindowController::markModified()
{
    m_modified = true;
    Q_EMIT changed();
}

void MessageWindowController::clearModified()
{
    m_modified = false;
    Q_EMIT changed();
}

void MessageWindowController::showWindow()
{
    hostRecords().showComponentWindow(m_widget, m_owner);
}

// ---------------------------------------------------------------------------
// Boxes

void MessageWindowController::setLink(const QString &link)
{
    m_link = link;
    Q_EMIT changed();
}

void MessageWindowController::setFocusOnMessage(bool focus)
{
    if (focus)
        Q_EMIT focusRequested(Focus::Editor);
}

void MessageWindowController::setObject(const QString &subject)
{
    m_subject = subject;
    setCaption(host::textService().substitute(translate(QStringLiteral("@1 - Messaggio"), "Object"), {subject}));
    clearModified();
}

void MessageWindowController::setAddress(qint32 box, const QString &text)
{
    m_addresses.at(box) = text;
    markModified();
}

void MessageWindowController::setSubject(const QString &subject)
{
    m_subject = subject;
    markModified();
}

void MessageWindowController::bodyEdited()
{
    markModified();
}

void MessageWindowController::setTaskStatus(qint32 status)
{
    m_task.chooseStatus(status);
    markModified();
}

void MessageWindowController::setTaskCompletion(qint32 value)
{
    m_task.setCompletion(value);
    markModified();
}

void MessageWindowController::setTaskDue(const QDate &due)
{
    m_task.due = due;
    markModified();
}

void MessageWindowController::setTaskStarted(const QDate &started)
{
    m_task.started = started;
    markModified();
}

void MessageWindowController::setTaskFinished(const QDate &finished)
{
    m_task.finished = finished;
    markModified();
}

void MessageWindowController::setNotifyMe(bool notify)
{
    m_task.notifyMe = notify;
    markModified();
}

QString MessageWindowController::associationText() const
{
    if (m_associated != 1)
        return QString();
    return m_associatedText.isEmpty() ? m_associatedTable + QLatin1Char('|') + m_associatedKey : m_associatedText;
}

// ---------------------------------------------------------------------------
// Compose

void MessageWindowController::CreateMessage(QWidget *owner, qint32 messageType, const QString &recipients,
                                            const QString &link, const QString &attachmentPath, qint32 messageId)
{
    guardedVoid(m_errors.get(), kObject, "CreateMessage", [&] {
        m_owner = owner;
        const auto [type, personal] = windowType(messageType);
        m_messageType = type == mstTask ? type : mstMessage;
        m_personalTask = personal;
        m_task = TaskPanel();
        m_newMessage = true;
        m_messageId = QString::number(messageId);
        m_idOriginalMessage = QVariant();
        m_messageStatus = mssReaded;
        m_link = link;
        m_priority = mspNormal;
        m_showsWebView = false;
        m_composeAttachments.clear();
        setCaption(translate(m_messageType == mstTask ? QStringLiteral("Attività senza titolo")
                                                      : QStringLiteral("Messaggio senza titolo"),
                             "CreateMessage"));
        prepareFaxRecipients(recipients);
        if (messageId > 0)
            loadDraft(messageId);
        if (!attachmentPath.isEmpty())
            AddAttachment(attachmentPath);
        if (m_forwarding.isValid() && !m_forwarding.isNull())
            listStoredAttachmentsForCompose(toInteger(m_forwarding));
        if (messageId <= 0)
            startBody();
        if (m_messageType == mstTask) {
            auto users = hostRecords().userManager();
            m_task.assignedBy = users->userName() + QStringLiteral(" (") + users->userCode() + QLatin1Char(')');
            m_task.created = QDate::currentDate();
        }
        clearModified();
        showWindow();
        bool ok = true;
        ResolveAddresses(true, ok);
    });
}

void MessageWindowController::prepareFaxRecipients(const QString &recipients)
{
    QString to = recipients;
    if (recipients.startsWith(QLatin1String("faxto://"))) {
        setCaption(translate(QStringLiteral("Invio fax"), "CreateMessage"));
        std::unique_ptr<NumberCheckWindow> check =
            Factories::create<NumberCheckWindow>(NumberCheckWindow::factoryName());
        check->setConnection(hostRecords().connection());
        check->setUserManager(hostRecords().userManager());
        check->setErrors(m_errors);
        check->setRecords(m_records);
        to = QLatin1Char('"') + check->CheckNumber(m_widget, recipients.mid(8)) + QLatin1Char('"');
    } else if (recipients.startsWith(QLatin1String("faxto_recipients://"))) {
        setCaption(translate(QStringLiteral("Invio fax"), "CreateMessage"));
        to = recipients.mid(19);
    }
    m_addresses = {to, QString(), QString()};
}

void MessageWindowController::loadDraft(qint32 messageId)
{
    const std::optional<MessageCopy> row = store().read(messageId);
    if (!row)
        throw Failure(QStringLiteral("The message %1 does not exist").arg(messageId));
    m_idOriginalMessage = row->origin ? QVariant(*row->origin) : QVariant();
    m_addresses = {row->to, row->cc, row->ccn};
    m_subject = row->subject;
    m_link = row->linked ? row->linkTable + QLatin1Char('|') + row->linkKey : QString();
    richtext::readRtf(row->body.toUtf8(), &m_document);
    m_priority = row->priority;
    m_task.due = row->taskDue.date();
    m_task.notifyMe = row->taskNotify;
    listStoredAttachmentsForCompose(messageId);
}

// Stored attachments listed for composing: each written out to the
// temporary folder, so that the user may open it, and kept by its key.
void MessageWindowController::listStoredAttachmentsForCompose(qint32 messageId)
{
    const QString folder = host::pathServices().productFolder(QStringLiteral("Temp"));
    for (auto set = connection().open(attachmentsOfSql(messageId)); !set->eof(); set->moveNext()) {
        const QString name = host::valueTools().nullSafe(set->field(QStringLiteral("ATNAM"))).toString();
        const QString path = QDir(folder).filePath(safeAttachmentName(name));
        QFile::remove(path);
        const qint32 key = toInteger(set->field(QStringLiteral("RECORD_ID")));
        hostRecords().extractAttachment(key, path);
        m_composeAttachments.append({name, QString(), path, key, fileTypeIconKey(name)});
    }
    Q_EMIT attachmentsChanged();
}

void MessageWindowController::startBody()
{
    m_document.clear();
    QTextCursor cursor(&m_document);
    QTextCharFormat arial;
    arial.setFontFamilies({QStringLiteral("Arial")});
    arial.setFontWeight(QFont::Normal);
    cursor.insertText(QStringLiteral("  "), arial);
    insertSignature(cursor);
}

void MessageWindowController::insertSignature(QTextCursor &cursor)
{
    auto config = hostRecords().configClass();
    if (!config)
        return;
    const auto &tools = host::valueTools();
    QString suffix;
    if (tools.toBoolean(config->value(QStringLiteral("EMAIL_CONFIG_FOR_FIRM"), QStringLiteral("0"))))
        suffix = QLatin1Char('_') + hostRecords().userManager()->companyCode();
    if (!tools.toBoolean(config->value(QStringLiteral("MESSAGE_SIGNATURE") + suffix, QStringLiteral("0"))))
        return;
    const QString rtf = config->value(QStringLiteral("MESSAGE_SIGNATURE_RTF") + suffix);
    if (!rtf.isEmpty() && rtf != QLatin1String("0")) {
        cursor.insertFragment(QTextDocumentFragment(richtext::readRtf(rtf.toUtf8()).get()));
        return;
    }
    QTextCharFormat arial;
    arial.setFontFamilies({QStringLiteral("Arial")});
    cursor.insertText(config->value(QStringLiteral("MESSAGE_SIGNATURE_TEXT") + suffix), arial);
}

void MessageWindowController::ReplyToMessage(const QString &recipients, bool forward)
{
    guardedVoid(m_errors.get(), kObject, "ReplyToMessage", [&] {
        std::unique_ptr<MessageWindow> made = Factories::create<MessageWindow>(MessageWindow::factoryName());
        MessageWindow *window = made.get();
        WindowRegistry::instance().add(std::move(made));
        MessageWindowController *answer = window->controller();
        if (!answer)
            throw Failure(QStringLiteral("The message window offers no controller"));
        window->setErrors(m_errors);
        window->setRecords(m_records);
        window->setViewName(m_viewName);
        window->setBookmark(m_bookmark);
        answer->setRichTextStore(m_richText);
        if (m_messageType != mstPublic)
            (forward ? answer->m_forwarding : answer->m_replying) = m_messageId;
        window->CreateMessage(m_owner, m_messageType, recipients, m_link);
        answer->setObject((forward ? QStringLiteral("I: ") : QStringLiteral("R: ")) + m_header.subject);
        answer->TextForReply(m_header, m_document);
        answer->setFocusOnMessage(true);
    });
}

void MessageWindowController::TextForReply(const MessageHeader &header, const QTextDocument &quoted)
{
    guardedVoid(m_errors.get(), kObject, "TextForReply", [&] {
        QTextCursor cursor(&m_document);
        cursor.movePosition(QTextCursor::End);
        QTextCharFormat tahoma;
        tahoma.setFontFamilies({QStringLiteral("Tahoma")});
        tahoma.setFontPointSize(10);
        cursor.setCharFormat(tahoma);
        cursor.insertBlock();
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("--------"), tahoma);
        cursor.insertBlock();
        writeHeaderLines(cursor, header, QStringLiteral("TextForReply"));
        cursor.insertBlock();
        cursor.insertFragment(QTextDocumentFragment(&quoted));
    });
}

void MessageWindowController::ResolveAddresses(bool showDialog, bool &ok)
{
    ok = false;
    ok = guarded(m_errors.get(), kObject, "ResolveAddresses", false, [&] {
        host::RecipientOptions options;
        options.showSuggestions = showDialog;
        options.email = m_messageType != mstTask && m_messageType != mstNotification;
        bool allFound = true;
        for (qsizetype box = 0; box < 3; ++box) {
            QString list = m_addresses.at(box);
            if (!list.trimmed().isEmpty())
                allFound = hostRecords().resolveRecipients(m_owner, list, options) && allFound;
            m_addresses.at(box) = list;
            m_resolved.at(box) = list;
        }
        Q_EMIT changed();
        return allFound;
    });
}

void MessageWindowController::AddAttachment(const QString &path)
{
    guardedVoid(m_errors.get(), kObject, "AddAttachment", [&] {
        QStringList files{path};
        if (path.isEmpty()) {
            const QString chosen = hostRecords().fileDialog(
                2, QString(), QString(), translate(QStringLiteral("Tutti i file (*.*)|*.*"), "AddAttachment"),
                QString());
            // Several files come as the folder followed by the names, "|" between.
            const QStringList parts = chosen.split(QLatin1Char('|'), Qt::SkipEmptyParts);
            files = parts.size() > 1 ? QStringList() : parts;
            for (qsizetype i = 1; i < parts.size(); ++i)
                files << QDir(parts.first()).filePath(parts.at(i));
        }
        for (const QString &file : std::as_const(files)) {
            const QString name = QFileInfo(file).fileName();
            m_composeAttachments.append({name, QString(), file, 0, fileTypeIconKey(name)});
        }
        if (!files.isEmpty()) {
            markModified();
            Q_EMIT attachmentsChanged();
        }
    });
}

// ---------------------------------------------------------------------------
// Save

QList<ColumnValue> MessageWindowController::newRowColumns(bool send) const
{
    auto users = hostRecords().userManager();
    const QDateTime now = QDateTime::currentDateTime();
    QList<ColumnValue> columns{
        {QStringLiteral("MSTYP"), m_personalTask ? qint32(mstPersonalTask) : m_messageType, host::tcInt16},
        {QStringLiteral("MSFLD"), !send ? msfDraft : (m_personalTask ? msfInBox : msfSent), host::tcInt16},
        {QStringLiteral("MSSTA"), mssReaded, host::tcInt16},
        {QStringLiteral("MSUSR"), users->userCode(), host::tcShortText},
        {QStringLiteral("MSMIT"), users->userName() + QStringLiteral(" (") + users->userCode() + QLatin1Char(')'),
         host::tcShortText},
    };
    const std::array<QString, 3> &lists = send ? m_resolved : m_addresses;
    columns << ColumnValue{QStringLiteral("MSDES"), lists.at(0), host::tcText}
            << ColumnValue{QStringLiteral("MSDCC"), lists.at(1), host::tcText}
            << ColumnValue{QStringLiteral("MSDCN"), lists.at(2), host::tcText};
    if (m_messageStatus == mssReplied || m_messageStatus == mssForwarded)
        columns << ColumnValue{QStringLiteral("MSDIR"), now, host::tcDateTime};
    if (send)
        columns << ColumnValue{QStringLiteral("MSNOT"), 1, host::tcInt16}
                << ColumnValue{QStringLiteral("MSDTS"), now, host::tcDateTime}
                << ColumnValue{QStringLiteral("MSDTR"), now, host::tcDateTime};
    QString linkTable, linkKey;
    const bool linked = !m_link.isEmpty() && hostRecords().splitLink(m_link, QStringLiteral("|"), linkTable, linkKey);
    columns << ColumnValue{QStringLiteral("MSATT"), !m_composeAttachments.isEmpty(), host::tcBoolean}
            << ColumnValue{QStringLiteral("MSPRY"), m_priority, host::tcInt16}
            << ColumnValue{QStringLiteral("MSOBJ"), m_subject, host::tcShortText}
            << ColumnValue{QStringLiteral("MSLNK"), linked, host::tcBoolean};
    if (linked)
        columns << ColumnValue{QStringLiteral("MSTBL"), linkTable, host::tcShortText}
                << ColumnValue{QStringLiteral("MSKEY"), linkKey, host::tcShortText};
    if (m_messageType == mstTask) {
        const bool own = m_personalTask;
        columns << ColumnValue{QStringLiteral("TKSTA"), own ? tksInProgress : tksUnknown, host::tcInt16}
                << ColumnValue{QStringLiteral("TKDTS"), dateOrNull(m_task.due), host::tcDateTime}
                << ColumnValue{QStringLiteral("TKNOT"), m_task.notifyMe, host::tcBoolean};
        if (own)
            columns << ColumnValue{QStringLiteral("TKDTI"), now, host::tcDateTime};
    }
    return columns;
}

bool MessageWindowController::attachmentFilesExist()
{
    for (const AttachmentRow &row : std::as_const(m_composeAttachments)) {
        if (row.id == 0 && !QFileInfo(row.path).isFile()) {
            ask(QStringLiteral("Impossibile recuperare l'allegato @1!"), {row.name},
                host::mbOkOnly | host::mbExclamation);
            return false;
        }
    }
    return true;
}

void MessageWindowController::storeAttachments(qint32 messageId)
{
    QList<qint32> kept;
    for (const AttachmentRow &row : std::as_const(m_composeAttachments)) {
        if (row.id > 0)
            kept << row.id;
    }
    const QString key = QString::number(messageId);
    hostRecords().setAttachments(kTable, key, kept);
    for (AttachmentRow &row : m_composeAttachments) {
        if (row.id == 0)
            row.id = hostRecords().addAttachment(kTable, key, row.path);
    }
}

// The one place the body is written back as RTF.
void MessageWindowController::saveBody(qint32 messageId)
{
    if (!m_richText)
        throw Failure(QStringLiteral("The rich-text store is not set"), 91);
    m_richText->save(QString::fromUtf8(richtext::writeRtf(m_document)), QStringLiteral("MSTXT"), kTable,
                     QStringLiteral("RECORD_ID"), messageId, kKeyKind, kRichTextFormat);
}

QString MessageWindowController::exportHtmlBody(bool &ok)
{
    auto &paths = host::pathServices();
    const QString exported = paths.newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    const QString converted = paths.newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    QFile file(exported);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(richtext::toHtml(m_document).toUtf8()) >= 0;
    file.close();
    QString html;
    if (!written)
        ok = false;
    else if (!QFile::copy(exported, converted) || !paths.convertToUtf8(converted))
        ok = false;
    QFile result(converted);
    if (ok && result.open(QIODevice::ReadOnly))
        html = QString::fromUtf8(result.readAll());
    if (!ok)
        ask(QStringLiteral("Impossibile inviare il messaggio corrente!") + kCR +
                (written
                     ? QStringLiteral("Non è stato possibile generare il file \"@1\" di tipo HTML in codifica UTF8.")
                     : QStringLiteral("Non è stato possibile generare il file \"@1\" di tipo HTML in codifica ANSI.")),
            {written ? converted : exported}, host::mbOkOnly | host::mbExclamation);
    QFile::remove(exported);
    QFile::remove(converted);
    return html;
}

void MessageWindowController::SaveNewMessage(bool send, bool &ok, QString &htmlBody)
{
    ok = false;
    ok = guarded(m_errors.get(), kObject, "SaveNewMessage", false, [&] {
        if (send) {
            bool resolved = true;
            ResolveAddresses(true, resolved);
            if (std::all_of(m_addresses.begin(), m_addresses.end(),
                            [](const QString &a) { return a.trimmed().isEmpty(); })) {
                ask(QStringLiteral("Specificare almeno un nome o una lista di distribuzione nelle caselle A, Cc, Ccn."),
                    {}, host::mbOkOnly | host::mbExclamation,
                    translate(QStringLiteral("Nuovo messaggio"), "SaveNewMessage"));
                Q_EMIT focusRequested(Focus::ToBox);
                return false;
            }
        }
        if (!attachmentFilesExist())
            return false;
        MessageStore messages = store();
        const QList<ColumnValue> columns = newRowColumns(send);
        if (id() > 0)
            messages.updateColumns(kTable, id(), columns);
        else
            m_messageId = QString::number(messages.insertColumns(kTable, columns));
        saveBody(id());
        storeAttachments(id());
        bool exported = true;
        auto config = hostRecords().configClass();
        if (config &&
            host::valueTools().toBoolean(config->value(QStringLiteral("EMAIL_BODYTEXT_HTML"), QStringLiteral("1"))))
            htmlBody = exportHtmlBody(exported);
        return exported;
    });
}

void MessageWindowController::SaveMessage(bool send, bool &ok)
{
    ok = false;
    ok = guarded(m_errors.get(), kObject, "SaveMessage", false, [&] {
        BusyPointer busy;
        bool saved = false;
        if (!m_newMessage)
            return m_messageType == mstTask ? SaveOpenedTask() : SaveOpenedMessage();
        QString html;
        SaveNewMessage(send, saved, html);
        if (saved)
            clearModified();
        if (!send || !saved || m_personalTask) {
            hostRecords().refreshView(QStringLiteral("SYS_MSG_DFT"), -1, m_bookmark, QString());
            return saved;
        }
        sendSaved(saved, html.isEmpty() ? eMessageBodyFormat_RTF : eMessageBodyFormat_HTML);
        return saved;
    });
}

void MessageWindowController::sendSaved(bool &ok, qint32 bodyFormat)
{
    QString log;
    ok = hostRecords().sendStoredMessage(id(), m_replying, m_forwarding, log, bodyFormat);
    if (!ok) {
        QString text = QStringLiteral(
            "Impossibile inviare il messaggio, verificare la configurazione dell'account di posta e riprovare.");
        if (!log.isEmpty()) {
            QString single = log;
            single.replace(kCRLF + kCRLF, kCRLF);
            text += kCRLF + kCRLF + QStringLiteral("Il log di connessione ha restituito:") + kCRLF + single;
        }
        ask(text, {}, host::mbOkOnly | host::mbExclamation, QCoreApplication::applicationName());
        m_messageId = QStringLiteral("0");
    }
    hostRecords().refreshView(QStringLiteral("SYS_MSG_OUT"), -1, m_bookmark, QString());
}

bool MessageWindowController::queryClose()
{
    return guarded(m_errors.get(), kObject, "Form_QueryUnload", false, [&] {
        if (!m_modified)
            return true;
        const QString title =
            m_subject.isEmpty() ? translate(QStringLiteral("Messaggio senza titolo"), "Form_QueryUnload") : m_subject;
        const qint32 answer =
            ask(QStringLiteral("Salvare le modifiche a \"@1\"?"), {title}, host::mbYesNoCancel | host::mbQuestion);
        if (answer == host::mbCancel)
            return false;
        if (answer == host::mbNo)
            return true;
        bool ok = false;
        SaveMessage(false, ok);
        return ok;
    });
}

// ---------------------------------------------------------------------------
// Stored items

bool MessageWindowController::OpenMessage(QWidget *owner, const QString &messageId, qint32 messageType,
                                          const QVariant &)
{
    return guarded(m_errors.get(), kObject, "OpenMessage", false, [&] {
        m_owner = owner;
        m_newMessage = false;
        m_messageId = messageId;
        m_messageType = messageType;
        const bool shown = messageType == mstEmail ? OpenEmail() : OpenDbMessage();
        if (!shown)
            return false;
        if (m_newMessage)
            return true; // a draft, reopened for editing
        m_windowTag = QStringLiteral("SYS_MSG|") + messageId;
        Q_EMIT tagChanged(m_windowTag);
        clearModified();
        showWindow();
        return true;
    });
}

bool MessageWindowController::OpenDbMessage()
{
    return guarded(m_errors.get(), kObject, "OpenDbMessage", false, [&] {
        const std::optional<MessageCopy> row = store().read(id());
        if (!row) {
            ask(QStringLiteral("Errore imprevisto!"), {}, host::mbOkOnly | host::mbCritical);
            return false;
        }
        m_idOriginalMessage = row->origin ? QVariant(*row->origin) : QVariant();
        m_publicMessageId = row->publicCopy.value_or(0);
        std::tie(m_messageType, m_personalTask) = windowType(row->type);
        if (row->folder == msfDraft) {
            CreateMessage(m_owner, row->type, QString(), QString(), QString(), row->id);
            return true;
        }
        m_folder = row->folder;
        m_messageStatus = row->status;
        m_priority = row->priority;
        showHeader(*row);
        m_header.priority = priorityText(row->priority);
        showBody(*row);
        m_details = detailsOf(*row);
        if (m_messageType == mstTask)
            showTask(*row);
        markRead(*row);
        listStoredAttachments(row->id);
        return true;
    });
}

void MessageWindowController::showHeader(const MessageCopy &row)
{
    m_header = {row.sender, sentText(row.sentAt), row.to, row.cc, row.subject, QString()};
    m_subject = row.subject;
    const char *kind = m_messageType == mstMessage ? "Messaggio" : m_messageType == mstTask ? "Attività" : "Email";
    const QString subject =
        row.subject.isEmpty() ? translate(QStringLiteral("Senza titolo"), "OpenDbMessage") : row.subject;
    setCaption(subject + QStringLiteral(" - ") + translate(QString::fromUtf8(kind), "OpenDbMessage"));
    m_link = row.linked ? row.linkTable + QLatin1Char('|') + row.linkKey : QString();
    m_associated = row.associated.value_or(0);
    m_associatedTable = row.associatedTable;
    m_associatedKey = row.associatedKey;
    m_associatedText.clear();
}

void MessageWindowController::showBody(const MessageCopy &row)
{
    if (m_messageType != mstNotification) {
        if (!m_richText)
            throw Failure(QStringLiteral("The rich-text store is not set"), 91);
        const QString body = m_richText->load(QStringLiteral("MSTXT"), kTable, QStringLiteral("RECORD_ID"), row.id,
                                              kKeyKind, kRichTextFormat);
        richtext::readRtf(body.toUtf8(), &m_document);
        m_showsWebView = false;
        return;
    }
    if (!m_webFile.isEmpty())
        QFile::remove(m_webFile);
    m_webFile = host::pathServices().newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    QFile file(m_webFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(row.body.toUtf8()) < 0)
        throw Failure(QStringLiteral("The notification could not be written to %1").arg(m_webFile));
    m_showsWebView = true;
}

QString MessageWindowController::priorityText(qint32 priority) const
{
    if (priority == mspLow)
        return translate(QStringLiteral("Messaggio con priorità Bassa."), "OpenDbMessage");
    if (priority == mspHigh)
        return translate(QStringLiteral("Messaggio con priorità Alta."), "OpenDbMessage");
    return QString();
}

QString MessageWindowController::detailsOf(const MessageCopy &row) const
{
    QString details = priorityText(row.priority);
    auto line = [&](const char *text, const QDateTime &date) {
        const QString so_far = details.isEmpty() ? QString() : details + QLatin1Char('\n');
        details = host::textService().substitute(translate(QString::fromUtf8(text), "OpenDbMessage"),
                                                 {so_far, sentText(date)});
    };
    if (row.status == mssForwarded)
        line("@1Messaggio inoltrato in data @2", row.answeredAt);
    else if (row.status == mssReplied)
        line("@1Risposta inviata in data @2", row.answeredAt);
    if (row.publicCopy)
        line("@1Messaggio reso pubblico in data @2", row.publishedAt);
    return details;
}

void MessageWindowController::showTask(const MessageCopy &row)
{
    m_task = TaskPanel();
    m_task.chooseStatus(row.taskStatus.value_or(tksUnknown));
    m_task.assignedBy = row.sender;
    m_task.created = row.sentAt.date();
    m_task.due = row.taskDue.date();
    m_task.started = row.taskStarted.date();
    m_task.finished = row.taskFinished.date();
    m_task.completion = row.taskComplete.value_or(0);
    m_task.notifyFlag = row.taskNotify;
    m_task.statusReport = row.taskNotify;
}

void MessageWindowController::markRead(const MessageCopy &row)
{
    QList<ColumnValue> columns;
    if (row.status == mssNotReaded)
        columns << ColumnValue{QStringLiteral("MSSTA"), mssReaded, host::tcInt16}
                << ColumnValue{QStringLiteral("MSDTR"), QDateTime::currentDateTime(), host::tcDateTime};
    columns << ColumnValue{QStringLiteral("MSNOT"), 1, host::tcInt16};
    store().updateColumns(kTable, row.id, columns);
    if (row.status == mssNotReaded)
        m_messageStatus = mssReaded;
    hostRecords().refreshView(kTable, -1, m_bookmark, QString());
}

void MessageWindowController::listStoredAttachments(qint32 messageId)
{
    m_storedAttachments.clear();
    for (auto set = connection().open(attachmentsOfSql(messageId)); !set->eof(); set->moveNext()) {
        const QString name = host::valueTools().nullSafe(set->field(QStringLiteral("ATNAM"))).toString();
        const qint64 size = toInteger(set->field(QStringLiteral("ATSIZ")));
        m_storedAttachments.append({name, kilobytesText(size), QString(),
                                    toInteger(set->field(QStringLiteral("RECORD_ID"))), fileTypeIconKey(name)});
    }
    Q_EMIT attachmentsChanged();
}

bool MessageWindowController::OpenEmail()
{
    return guarded(m_errors.get(), kObject, "OpenEmail", false,
                   [&]() -> bool { throw Failure(QStringLiteral("The mailbox mirror is not available")); });
}

QString MessageWindowController::moveListSql(const QString &viewName) const
{
    const QString user = literal(hostRecords().userManager()->userCode());
    if (m_messageType != mstEmail) {
        QString sql = QStringLiteral("SELECT TOP 100 PERCENT RECORD_ID FROM ") + viewName + QStringLiteral(" WHERE") +
                      kCR + QStringLiteral("MSUSR = ") + user;
        if (!m_filterQuery.isEmpty())
            sql += kCR + QStringLiteral(" AND ") + m_filterQuery;
        if (!m_orderBy.isEmpty())
            sql += kCR + QStringLiteral("ORDER BY ") + m_orderBy;
        return sql;
    }
    auto set = connection().open(QStringLiteral("SELECT EXPAR FROM ") + viewName +
                                 QStringLiteral(" WHERE RECORD_ID = ") + m_messageId);
    if (set->eof())
        throw Failure(QStringLiteral("The e-mail %1 no longer exists").arg(m_messageId));
    const QString folder = host::valueTools().nullSafe(set->field(QStringLiteral("EXPAR"))).toString();
    const QString order = m_orderBy.isEmpty() ? QStringLiteral("RECORD_ID") : m_orderBy + QStringLiteral(", RECORD_ID");
    QString sql = QStringLiteral("SELECT TOP 100 PERCENT RECORD_ID,") + kCR +
                  QStringLiteral("               ROW_NUMBER() OVER(ORDER BY ") + order + QStringLiteral(") POSITION") +
                  kCR + QStringLiteral("FROM ") + viewName + kCR + QStringLiteral("WHERE EXUSR = ") + user +
                  QStringLiteral(" AND") + kCR + QStringLiteral("      EXPAR = ") + folder;
    if (!m_filterQuery.isEmpty())
        sql += QStringLiteral(" AND") + m_filterQuery;
    return sql;
}

void MessageWindowController::MoveMessage(const QString &viewName, qint32 direction)
{
    guardedVoid(m_errors.get(), kObject, "MoveMessage", [&] {
        auto statement = connection().newStatement();
        statement->addParameter(QStringLiteral("@SQL"), moveListSql(viewName), host::tcText, 1024);
        statement->addParameter(QStringLiteral("@BOOKMARK"), m_bookmark, host::tcInt32);
        auto set = connection().runProcedure(QStringLiteral("SYS_XSP_SYS_MOV_REC"), statement->parameters());
        const bool next = direction == 2;
        const qint32 neighbour =
            set && !set->eof() ? toInteger(set->field(next ? QStringLiteral("NEXT") : QStringLiteral("PREV"))) : 0;
        if (neighbour <= 0) {
            ask(next ? QStringLiteral("E' stata raggiunta la fine dell'archivio!")
                     : QStringLiteral("E' stato raggiunto l'inizio dell'archivio!"),
                {}, host::mbOkOnly | host::mbInformation, QCoreApplication::applicationName());
            return;
        }
        m_bookmark = neighbour;
        qint32 type = mstEmail;
        if (m_messageType != mstEmail)
            type = toInteger(connection().lookup(kTable, QStringLiteral("RECORD_ID"), neighbour, host::kkNumber,
                                                 QStringLiteral("MSTYP")));
        OpenMessage(m_owner, QString::number(neighbour), type);
    });
}

// A row another session deleted while the window showed it.
void MessageWindowController::requireRow(qint32 messageId)
{
    const QVariant found = connection().lookup(kTable, QStringLiteral("RECORD_ID"), messageId, host::kkNumber,
                                               QStringLiteral("RECORD_ID"));
    if (!found.isValid() || found.isNull())
        throw Failure(QStringLiteral("The message %1 no longer exists: it was deleted while the window showed it")
                          .arg(messageId));
}

bool MessageWindowController::SaveOpenedMessage()
{
    return guardedVoid(m_errors.get(), kObject, "SaveOpenedMessage", [&] {
        requireRow(id());
        store().updateColumns(kTable, id(),
                              {{QStringLiteral("MSATT"), !m_storedAttachments.isEmpty(), host::tcBoolean}});
        QList<qint32> kept;
        for (const AttachmentRow &row : std::as_const(m_storedAttachments))
            kept << row.id;
        hostRecords().setAttachments(kTable, m_messageId, kept);
        clearModified();
    });
}

QList<ColumnValue> MessageWindowController::taskColumns() const
{
    return {{QStringLiteral("TKSTA"), m_task.status, host::tcInt16},
            {QStringLiteral("TKDTS"), dateOrNull(m_task.due), host::tcDateTime},
            {QStringLiteral("TKDTI"), dateOrNull(m_task.started), host::tcDateTime},
            {QStringLiteral("TKDTF"), dateOrNull(m_task.finished), host::tcDateTime},
            {QStringLiteral("TKCPL"), m_task.completion, host::tcInt16}};
}

void MessageWindowController::writeTaskRow(qint32 rowId, bool reportDue)
{
    QList<ColumnValue> columns = taskColumns();
    if (reportDue)
        columns << ColumnValue{QStringLiteral("MSSTA"), mssNotReaded, host::tcInt16}
                << ColumnValue{QStringLiteral("MSNOT"), 0, host::tcInt16};
    store().updateColumns(kTable, rowId, columns);
    saveBody(rowId);
}

bool MessageWindowController::SaveOpenedTask()
{
    return guardedVoid(m_errors.get(), kObject, "SaveOpenedTask", [&] {
        requireRow(id());
        if (!SaveOpenedMessage())
            return;
        writeTaskRow(id(), false);
        const qint32 assigner = toInteger(m_idOriginalMessage);
        if (assigner <= 0)
            return;
        const bool reportDue = m_task.reportDue();
        writeTaskRow(assigner, reportDue);
        if (!reportDue)
            return;
        auto set = connection().open(QStringLiteral("SELECT MSUSR FROM SYS_MSG WHERE RECORD_ID = ") +
                                     QString::number(assigner));
        const QString user = set->eof() ? QString() : set->field(QStringLiteral("MSUSR")).toString();
        hostRecords().raiseSignal(QStringLiteral("#TaskNotification#"), {user, assigner});
    });
}

void MessageWindowController::SaveAsPublic(qint32 &newPublicId)
{
    newPublicId = 0;
    newPublicId = guarded(m_errors.get(), kObject, "SaveAsPublic", 0, [&] {
        if (m_messageType == mstEmail)
            throw Failure(QStringLiteral("The mailbox mirror is not available"));
        MessageStore messages = store();
        std::optional<MessageCopy> row = messages.read(id());
        if (!row)
            throw Failure(QStringLiteral("The message %1 no longer exists").arg(m_messageId));
        row->type = row->folder = row->status = mstPublic;
        row->publishedAt = QDateTime::currentDateTime();
        row->publicCopy = id();
        const qint32 copy = messages.insert(*row, MessageStore::KeyRead::Max);
        for (qint32 attachment : messages.attachmentKeys(id()))
            hostRecords().copyAttachment(attachment, kTable, QString::number(copy));
        messages.updateColumns(kTable, id(), {{QStringLiteral("MSPUB"), copy, host::tcInt32}});
        m_publicMessageId = copy;
        hostRecords().openRecordWindow(m_owner, QStringLiteral("SYS_MSG_PUB"), QString::number(copy));
        Q_EMIT closeRequested();
        return copy;
    });
}

void MessageWindowController::RemovePublicMessage()
{
    guardedVoid(m_errors.get(), kObject, "RemovePublicMessage", [&] {
        if (ask(QStringLiteral("Confermi la Rimozione del Messaggio Pubblico collegato?"), {},
                host::mbYesNo | host::mbQuestion) != host::mbYes)
            return;
        if (m_messageType == mstEmail)
            throw Failure(QStringLiteral("The mailbox mirror is not available"));
        connection().deleteRow(kTable, m_publicMessageId);
        store().updateColumns(kTable, id(), {{QStringLiteral("MSPUB"), mrv::null(), host::tcInt32}});
        m_publicMessageId = 0;
        Q_EMIT changed();
    });
}

// ---------------------------------------------------------------------------
// Attachments of a stored item

AttachmentRow MessageWindowController::selectedRow(qint32 row) const
{
    const QList<AttachmentRow> &list = m_newMessage ? m_composeAttachments : m_storedAttachments;
    if (row < 0 || row >= list.size())
        throw Failure(QStringLiteral("No attachment is selected"));
    return list.at(row);
}

QString MessageWindowController::extractToTemp(const AttachmentRow &row)
{
    if (row.id == 0)
        return row.path;
    const QString path = attachmentPathIn(host::pathServices().productFolder(QStringLiteral("Temp")), row.name);
    if (!hostRecords().extractAttachment(row.id, path))
        throw Failure(QStringLiteral("The attachment %1 no longer exists").arg(row.id));
    return path;
}

void MessageWindowController::OpenAttachment(qint32 row)
{
    guardedVoid(m_errors.get(), kObject, "OpenAttachment", [&] {
        if (!m_fileOpener(extractToTemp(selectedRow(row))))
            ask(QStringLiteral(
                    "Impossibile aprire il file! Non è stato trovato un programma compatibile con il file in "
                    "questione."),
                {}, host::mbOkOnly | host::mbExclamation);
    });
}

void MessageWindowController::SaveAttachment(qint32 row)
{
    guardedVoid(m_errors.get(), kObject, "SaveAttachment", [&] {
        const AttachmentRow attachment = selectedRow(row);
        const QString path =
            hostRecords().fileDialog(3, QString(), safeAttachmentName(attachment.name),
                                     translate(QStringLiteral("Tutti i file (*.*)|*.*"), "SaveAttachment"), QString());
        if (path.isEmpty())
            return;
        const bool saved = attachment.id > 0 ? hostRecords().extractAttachment(attachment.id, path)
                                             : QFile::copy(attachment.path, path);
        if (!saved)
            ask(QStringLiteral("Impossibile salvare il file."), {}, host::mbOkOnly | host::mbExclamation);
    });
}

void MessageWindowController::SaveAllAttachment()
{
    guardedVoid(m_errors.get(), kObject, "SaveAllAttachment", [&] {
        const QString folder = hostRecords().fileDialog(
            kFolderDialog, QString(), QString(),
            translate(QStringLiteral("Scegliere la cartella in cui salvare gli allegati."), "SaveAllAttachment"),
            QString());
        if (folder.isEmpty())
            return;
        bool saved = QFileInfo(folder).isDir();
        for (const AttachmentRow &row : std::as_const(m_storedAttachments)) {
            if (saved)
                saved = hostRecords().extractAttachment(row.id, attachmentPathIn(folder, row.name));
        }
        if (!saved)
            ask(QStringLiteral("Impossibile salvare gli allegati."), {}, host::mbOkOnly | host::mbExclamation);
    });
}

void MessageWindowController::removeAttachment(bool all)
{
    if (all) {
        m_composeAttachments.clear();
        m_storedAttachments.clear();
    } else {
        selectedRow(m_selectedAttachment);
        (m_newMessage ? m_composeAttachments : m_storedAttachments).removeAt(m_selectedAttachment);
    }
    markModified();
    Q_EMIT attachmentsChanged();
}

// ---------------------------------------------------------------------------
// Association, links, notification links

void MessageWindowController::associateCounterparty()
{
    guardedVoid(m_errors.get(), kObject, "mnuMessage_Execute", [&] {
        const auto chosen = hostRecords().chooseRecord(m_owner, QStringLiteral("CON_TRO"), QString());
        if (!chosen)
            return;
        store().updateColumns(kTable, id(),
                              {{QStringLiteral("MSASS"), 1, host::tcInt16},
                               {QStringLiteral("MSATB"), QStringLiteral("CON_TRO"), host::tcShortText},
                               {QStringLiteral("MSAKE"), chosen->key, host::tcShortText}});
        m_associated = 1;
        m_associatedTable = QStringLiteral("CON_TRO");
        m_associatedKey = chosen->key;
        m_associatedText = chosen->text;
        Q_EMIT changed();
    });
}

void MessageWindowController::associateDocument()
{
    guardedVoid(m_errors.get(), kObject, "mnuMessage_Execute", [&] {
        QString filter;
        if (m_associated == 1 && m_associatedTable == QLatin1String("CON_TRO")) {
            const QVariant code =
                connection().lookup(hostRecords().physicalName(QStringLiteral("CON_TRO")), QStringLiteral("RECORD_ID"),
                                    m_associatedKey, host::kkNumber, QStringLiteral("DTCON"));
            if (code.isValid() && !code.isNull())
                filter = QStringLiteral("DTCON = ") + literal(code);
        }
        const QString table = QStringLiteral("DOC_BASE");
        const auto chosen = hostRecords().chooseRecord(m_owner, table, filter);
        if (!chosen)
            return;
        store().updateColumns(kTable, id(),
                              {{QStringLiteral("MSASS"), 1, host::tcInt16},
                               {QStringLiteral("MSATB"), table, host::tcShortText},
                               {QStringLiteral("MSAKE"), chosen->key, host::tcShortText}});
        m_associated = 1;
        m_associatedTable = table;
        m_associatedKey = chosen->key;
        m_associatedText = chosen->text;
        Q_EMIT changed();
    });
}

void MessageWindowController::openAssociation()
{
    guardedVoid(m_errors.get(), kObject, "lblAss_Click", [&] {
        if (m_associated == 1)
            hostRecords().openRecordWindow(m_owner, m_associatedTable, m_associatedKey);
    });
}

void MessageWindowController::openLink()
{
    guardedVoid(m_errors.get(), kObject, "imgLink_Click", [&] {
        QString table, key;
        if (hostRecords().splitLink(m_link, QStringLiteral("|"), table, key))
            hostRecords().openRecordWindow(m_owner, table, key);
    });
}

bool MessageWindowController::webNavigation(const QString &target)
{
    return guarded(m_errors.get(), kObject, "webMail_BeforeNavigate2", false, [&] {
        QString table, key;
        if (m_messageType != mstNotification || !hostRecords().splitLink(target, QStringLiteral("|"), table, key))
            return false;
        hostRecords().openRecordWindow(m_owner, table, key);
        return true;
    });
}

// ---------------------------------------------------------------------------
// Printing and toolbar

bool MessageWindowController::printsFromHtml() const
{
    return m_messageType == mstEmail || m_messageType == mstPublic || m_messageType == mstNotification;
}

std::unique_ptr<QTextDocument> MessageWindowController::TextForPrintHeader()
{
    std::unique_ptr<QTextDocument> document;
    guardedVoid(m_errors.get(), kObject, "TextForPrintHeader", [&] { document = printDocument(m_header, m_document); });
    return document;
}

QString MessageWindowController::PrintEmail()
{
    return guarded(m_errors.get(), kObject, "PrintEmail", QString(), [&] {
        QString html = richtext::toHtml(m_document);
        QFile file(m_webFile);
        if (m_showsWebView && file.open(QIODevice::ReadOnly))
            html = QString::fromUtf8(file.readAll());
        return withPrintHeader(html, m_header, hostRecords().userManager()->userName());
    });
}

bool MessageWindowController::keepsToolbarLayout() const
{
    auto config = m_records ? m_records->configClass() : nullptr;
    return config &&
           host::valueTools().toBoolean(config->value(QStringLiteral("GUI_OPTIONS_SAVE_TOOLBAR"), QStringLiteral("0")));
}

QString MessageWindowController::toolbarLayout() const
{
    return keepsToolbarLayout() ? m_records->configClass()->value(QStringLiteral("TOOLBARS_MESSAGE")) : QString();
}

void MessageWindowController::storeToolbarLayout(const QString &layout)
{
    if (keepsToolbarLayout())
        m_records->configClass()->setValue(QStringLiteral("TOOLBARS_MESSAGE"), layout, true);
}

// ---------------------------------------------------------------------------
// Commands

QList<MessageCommand> MessageWindowController::commands() const
{
    MessageCommandState state;
    state.newMessage = m_newMessage;
    state.messageType = m_messageType;
    state.personalTask = m_personalTask;
    state.folder = m_folder;
    state.taskStatus = m_task.status;
    state.modified = m_modified;
    state.linked = !m_link.isEmpty();
    state.browsing = !m_viewName.isEmpty();
    state.storedAttachments = !m_storedAttachments.isEmpty();
    state.priority = m_priority;
    state.statusReport = m_task.statusReport;
    state.publicCopy = m_publicMessageId > 0;
    return messageCommands(state);
}

MessageCommand MessageWindowController::command(qint32 commandId) const
{
    for (const MessageCommand &command : commands()) {
        if (command.id == commandId)
            return command;
    }
    return {};
}

bool MessageWindowController::execute(qint32 commandId)
{
    const MessageCommand found = command(commandId);
    if (!found.enabled || !found.visible)
        return false;
    return guardedVoid(m_errors.get(), kObject, "mnuMessage_Execute", [&] { executeCommand(commandId); });
}

void MessageWindowController::executeCommand(qint32 commandId)
{
    bool ok = false;
    switch (commandId) {
    case cmdSend:
    case cmdSaveAndClose:
        SaveMessage(true, ok);
        if (ok)
            Q_EMIT closeRequested();
        break;
    case cmdSave:
        SaveMessage(false, ok);
        break;
    case cmdPrint:
        Q_EMIT printRequested();
        break;
    case cmdAttach:
        AddAttachment(QString());
        break;
    case cmdRemoveLink:
        removeLink();
        break;
    case cmdAddressBook:
        chooseRecipients();
        break;
    case cmdHelp:
        Q_EMIT helpRequested();
        break;
    case cmdReply:
        ReplyToMessage(replyRecipients(false), false);
        break;
    case cmdReplyAll:
        ReplyToMessage(replyRecipients(true), false);
        break;
    case cmdForward:
        ReplyToMessage(QString(), true);
        break;
    case cmdPrevious:
    case cmdNext:
        MoveMessage(m_viewName, commandId == cmdNext ? 2 : 1);
        break;
    case cmdExit:
        Q_EMIT closeRequested();
        break;
    case cmdSaveAllAttachments:
        SaveAllAttachment();
        break;
    case cmdSaveAttachment:
        SaveAttachment(m_selectedAttachment);
        break;
    case cmdRemoveAttachment:
    case cmdRemoveAllAttachments:
        removeAttachment(commandId == cmdRemoveAllAttachments);
        break;
    case cmdOpenAttachment:
        OpenAttachment(m_selectedAttachment);
        break;
    case cmdDelete:
        deleteMessage();
        break;
    case cmdCheckNames:
        ResolveAddresses(true, ok);
        break;
    case cmdHighPriority:
    case cmdLowPriority:
        changePriority(commandId == cmdHighPriority ? mspHigh : mspLow);
        break;
    case cmdAssignTask:
        toggleAssignment();
        break;
    case cmdAcceptTask:
    case cmdReopenTask:
        m_task.accept();
        markModified();
        break;
    case cmdRejectTask:
        m_task.reject();
        markModified();
        break;
    case cmdStartTask:
        m_task.start();
        markModified();
        break;
    case cmdCompleteTask:
        m_task.complete();
        markModified();
        break;
    case cmdPostponeTask:
        m_task.postpone();
        markModified();
        break;
    case cmdStatusReport:
        m_task.statusReport = !m_task.statusReport;
        markModified();
        break;
    case cmdPublic:
        togglePublic();
        break;
    case cmdAssociateCounterparty:
        associateCounterparty();
        break;
    case cmdAssociateDocument:
        associateDocument();
        break;
    default:
        break; // the menus open themselves
    }
}

QString MessageWindowController::replyRecipients(bool all) const
{
    QStringList recipients{m_header.from};
    if (!all)
        return m_header.from;
    const QString own = QLatin1Char('<') + hostRecords().userManager()->userCode().toLower() + QLatin1Char('>');
    for (const QString &item : (m_header.to + QLatin1Char(';') + m_header.cc).split(QLatin1Char(';'))) {
        const QString address = item.trimmed();
        if (!address.isEmpty() && !address.toLower().contains(own))
            recipients << address;
    }
    return recipients.join(QLatin1Char(';'));
}

void MessageWindowController::changePriority(qint32 priority)
{
    m_priority = m_priority == priority ? mspNormal : priority;
    markModified();
}

void MessageWindowController::toggleAssignment()
{
    m_personalTask = !m_personalTask;
    m_addresses.at(0) = m_personalTask ? hostRecords().userManager()->userCode() : QString();
    markModified();
}

void MessageWindowController::removeLink()
{
    if (ask(QStringLiteral("Rimuovere il collegamento a \"@1\"?"), {m_link}, host::mbYesNo | host::mbQuestion) !=
        host::mbYes)
        return;
    m_link.clear();
    markModified();
}

void MessageWindowController::chooseRecipients()
{
    std::unique_ptr<AddressBookWindow> book = Factories::create<AddressBookWindow>(AddressBookWindow::factoryName());
    book->setErrors(m_errors);
    book->setRecords(m_records);
    QString customer, table, key;
    if (hostRecords().splitLink(m_link, QStringLiteral("|"), table, key) && table == QLatin1String("CON_TRO"))
        customer = host::valueTools()
                       .nullSafe(connection().lookup(hostRecords().physicalName(table), QStringLiteral("RECORD_ID"),
                                                     key, host::kkNumber, QStringLiteral("DTCON")))
                       .toString();
    auto &[to, cc, ccn] = m_addresses;
    const bool email = m_messageType != mstTask && m_messageType != mstNotification;
    if (book->SelectRecipients(m_owner, to, cc, ccn, 1, email, true, false, false, customer))
        markModified();
}

void MessageWindowController::deleteMessage()
{
    const QString title = translate(QStringLiteral("Messaggio"), "mnuMessage_Execute");
    if (m_folder != msfTrash) {
        if (ask(QStringLiteral("Spostare il messaggio nel cestino?"), {}, host::mbYesNo | host::mbQuestion, title) !=
            host::mbYes)
            return;
        requireRow(id());
        store().updateColumns(kTable, id(), {{QStringLiteral("MSFLD"), msfTrash, host::tcInt16}});
        hostRecords().refreshView(kTable, -1, m_bookmark, QString());
    } else {
        if (ask(QStringLiteral("Eliminare in maniera definitiva il messaggio?"), {}, host::mbYesNo | host::mbQuestion,
                title) != host::mbYes)
            return;
        connection().deleteRow(kTable, id());
        hostRecords().refreshView(QStringLiteral("SYS_MSG_DEL"), -1, m_bookmark, QString());
    }
    Q_EMIT closeRequested();
}

void MessageWindowController::togglePublic()
{
    if (m_publicMessageId > 0) {
        RemovePublicMessage();
        return;
    }
    qint32 copy = 0;
    SaveAsPublic(copy);
}

} // namespace mrv
