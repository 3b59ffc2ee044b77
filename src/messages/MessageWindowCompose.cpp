#include "HtmlBodyExport.h"
#include "MessageWindowController.h"
#include "MessageWindowShared.h"

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
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace mrv {

using namespace messagewindow;

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
    readBody(row->body);
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

// One edit for the whole body: a view of the document lays it out once, not
// paragraph by paragraph as they are read.
void MessageWindowController::readBody(const QString &rtf)
{
    QTextCursor edit(&m_document);
    edit.beginEditBlock();
    richtext::readRtf(rtf.toUtf8(), &m_document);
    edit.endEditBlock();
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
    bodies().save(QString::fromUtf8(richtext::writeRtf(m_document)), QStringLiteral("MSTXT"), kTable,
                  QStringLiteral("RECORD_ID"), messageId, kKeyKind, kRichTextFormat);
}

QString MessageWindowController::exportHtmlBody(bool &ok)
{
    const HtmlBodyExport exported = mrv::exportHtmlBody(m_document);
    ok = exported.ok();
    if (!ok)
        ask(QStringLiteral("Impossibile inviare il messaggio corrente!") + kCR + exported.failure,
            {exported.failedFile}, host::mbOkOnly | host::mbExclamation);
    return exported.html;
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
        // The sender's copy went with its attachments: the next save stores
        // the files again from disk.
        for (AttachmentRow &row : m_composeAttachments) {
            if (QFileInfo(row.path).isFile())
                row.id = 0;
        }
        markModified();
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

} // namespace mrv
