#include "MessageWindowController.h"
#include "MessageWindowShared.h"

#include "exchange/MailboxConnection.h"
#include "exchange/mrvExchange.h"
#include "facade/Guard.h"
#include "facade/Types.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/RichTextStore.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTextDocument>

namespace mrv {

using namespace messagewindow;

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
        const QString body = bodies().load(QStringLiteral("MSTXT"), kTable, QStringLiteral("RECORD_ID"), row.id,
                                           kKeyKind, kRichTextFormat);
        readBody(body);
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

namespace {

// "Name (address)", or the one of them there is.
QString personText(const exchange::MailboxAddress &person)
{
    if (person.name.isEmpty() || person.address.isEmpty() || person.name == person.address)
        return person.name.isEmpty() ? person.address : person.name;
    return person.name + QStringLiteral(" (") + person.address + QLatin1Char(')');
}

QString peopleText(const QList<exchange::MailboxAddress> &people)
{
    QStringList shown;
    for (const exchange::MailboxAddress &person : people)
        shown << personText(person);
    return shown.join(QStringLiteral("; "));
}

// One page the web view shows without reaching out: pictures the message
// carries by Content-ID go inside it as data.
QString emailPage(const exchange::MailboxMessage &message)
{
    if (message.htmlBody.isEmpty())
        return QStringLiteral("<html><body><pre style=\"white-space: pre-wrap\">") + message.textBody.toHtmlEscaped() +
               QStringLiteral("</pre></body></html>");
    QString page = message.htmlBody;
    const QMimeDatabase types;
    for (const exchange::MailboxAttachment &part : message.attachments) {
        if (part.contentId.isEmpty())
            continue;
        const QString type = types.mimeTypeForFileNameAndData(part.name, part.content).name();
        page.replace(QStringLiteral("cid:") + part.contentId,
                     QStringLiteral("data:") + type + QStringLiteral(";base64,") +
                         QString::fromLatin1(part.content.toBase64()),
                     Qt::CaseInsensitive);
    }
    return page;
}

} // namespace

// The mirrored e-mail of this window from the mailbox; null, the user told
// why, when it cannot be had.
std::unique_ptr<exchange::MailboxMessage> MessageWindowController::fetchEmail(qint32 *publicId)
{
    host::Records &records = hostRecords();
    mrvExchange exchange;
    exchange.setConnection(records.connection());
    exchange.setErrors(m_errors);
    exchange.setUserManager(records.userManager());
    exchange.setConfigClass(records.configClass());
    std::unique_ptr<exchange::MailboxMessage> message = exchange.GetMessageFromDb(id(), publicId);
    if (message)
        return message;
    if (exchange.IsOn(records.configClass().get()))
        ask(QStringLiteral("Impossibile aprire il messaggio. Rieseguire la sincronizzazione."), {},
            host::mbOkOnly | host::mbExclamation);
    else
        ask(QStringLiteral("E' necessario attivare il servizio di messaggistica per@1poter visualizzare i "
                           "messaggi di posta elettronica."),
            {QStringLiteral("\r\n")}, host::mbOkOnly | host::mbExclamation);
    return nullptr;
}

// A row of the mailbox mirror: the message comes from the mailbox itself.
bool MessageWindowController::OpenEmail()
{
    return guarded(m_errors.get(), kObject, "OpenEmail", false, [&] {
        host::Records &records = hostRecords();
        qint32 publicId = 0;
        const std::unique_ptr<exchange::MailboxMessage> message = fetchEmail(&publicId);
        if (!message)
            return false;
        m_publicMessageId = publicId;
        m_priority = message->importance;
        m_subject = message->subject;
        m_header = {personText(message->from), sentText(message->sent), peopleText(message->to),
                    peopleText(message->cc),   message->subject,        priorityText(message->importance)};
        const QString subject =
            message->subject.isEmpty() ? translate(QStringLiteral("Senza titolo"), "OpenEmail") : message->subject;
        setCaption(translate(QStringLiteral("@1 - Email"), "OpenEmail").replace(QStringLiteral("@1"), subject));
        showEmailBody(*message);
        listEmailAttachments(*message);
        records.refreshView(QStringLiteral("SYS_EXC"), -1, m_bookmark, QString());
        return true;
    });
}

void MessageWindowController::showEmailBody(const exchange::MailboxMessage &message)
{
    if (!m_webFile.isEmpty())
        QFile::remove(m_webFile);
    m_webFile = host::pathServices().newTempFileName(QStringLiteral("msg"), QString(), QStringLiteral("html"));
    QFile file(m_webFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(emailPage(message).toUtf8()) < 0)
        throw Failure(QStringLiteral("The e-mail could not be written to %1").arg(m_webFile));
    m_showsWebView = true;
}

// Written out once, so that opening and saving them works as for any file.
void MessageWindowController::listEmailAttachments(const exchange::MailboxMessage &message)
{
    m_emailFiles = std::make_unique<QTemporaryDir>();
    m_storedAttachments.clear();
    for (const exchange::MailboxAttachment &part : message.attachments) {
        if (!part.contentId.isEmpty() && message.htmlBody.contains(part.contentId))
            continue; // a picture of the text, shown there
        const QString path = attachmentPathIn(m_emailFiles->path(), part.name);
        QFile file(path);
        if (!file.open(QIODevice::NewOnly) || file.write(part.content) != part.content.size())
            throw Failure(QStringLiteral("The attachment %1 could not be written out").arg(part.name));
        m_storedAttachments.append({part.name, kilobytesText(part.size), path, 0, fileTypeIconKey(part.name)});
    }
    Q_EMIT attachmentsChanged();
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
            return saveEmailAsPublic();
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

// The public copy of a mirrored e-mail: a message row of its own, with the
// body and the attachments, associated with the counterparty the window
// holds for it; without one no copy is made.
qint32 MessageWindowController::saveEmailAsPublic()
{
    if (m_associatedTable.compare(QLatin1String("CON_TRO"), Qt::CaseInsensitive) != 0 || m_associatedKey.isEmpty())
        return 0;
    const std::unique_ptr<exchange::MailboxMessage> message = fetchEmail(nullptr);
    if (!message)
        return 0;
    MessageCopy copy;
    copy.type = copy.folder = copy.status = mstPublic;
    copy.user = hostRecords().userManager()->userCode();
    copy.notified = 0;
    copy.sender = personText(message->from);
    copy.to = peopleText(message->to);
    copy.cc = peopleText(message->cc);
    copy.sentAt = message->sent;
    copy.publishedAt = QDateTime::currentDateTime();
    copy.readAt = message->received;
    copy.subject = message->subject;
    copy.priority = message->importance;
    copy.associated = 1;
    copy.associatedTable = QStringLiteral("CON_TRO");
    copy.associatedKey = m_associatedKey;
    copy.hasAttachments = !message->attachments.isEmpty();
    copy.publicCopy = id();
    QTextDocument body;
    if (message->htmlBody.isEmpty())
        body.setPlainText(message->textBody);
    else
        body.setHtml(message->htmlBody);
    copy.body = QString::fromLatin1(richtext::writeRtf(body));
    MessageStore messages = store();
    const qint32 key = messages.insert(copy);
    QTemporaryDir files;
    for (const exchange::MailboxAttachment &attachment : message->attachments) {
        const QString path = attachmentPathIn(files.path(), attachment.name);
        QFile file(path);
        if (!file.open(QIODevice::NewOnly) || file.write(attachment.content) != attachment.content.size())
            throw Failure(QStringLiteral("The attachment %1 could not be written out").arg(attachment.name));
        file.close();
        hostRecords().addAttachment(kTable, QString::number(key), path);
    }
    messages.updateColumns(QStringLiteral("SYS_EXC"), id(), {{QStringLiteral("EXPUB"), key, host::tcInt32}});
    m_publicMessageId = key;
    hostRecords().openRecordWindow(m_owner, QStringLiteral("SYS_MSG_PUB"), QString::number(key));
    Q_EMIT closeRequested();
    return key;
}

void MessageWindowController::RemovePublicMessage()
{
    guardedVoid(m_errors.get(), kObject, "RemovePublicMessage", [&] {
        if (ask(QStringLiteral("Confermi la Rimozione del Messaggio Pubblico collegato?"), {},
                host::mbYesNo | host::mbQuestion) != host::mbYes)
            return;
        connection().deleteRow(kTable, m_publicMessageId);
        if (m_messageType == mstEmail)
            store().updateColumns(QStringLiteral("SYS_EXC"), id(),
                                  {{QStringLiteral("EXPUB"), mrv::null(), host::tcInt32}});
        else
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
            const QString target = attachmentPathIn(folder, row.name);
            if (saved)
                saved = row.id > 0 ? hostRecords().extractAttachment(row.id, target) : QFile::copy(row.path, target);
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

// A mirrored e-mail has no message row: the window holds its association,
// for the public copy it may make.
void MessageWindowController::storeAssociation(const QString &table, const QString &key)
{
    if (m_messageType == mstEmail)
        return;
    store().updateColumns(kTable, id(),
                          {{QStringLiteral("MSASS"), 1, host::tcInt16},
                           {QStringLiteral("MSATB"), table, host::tcShortText},
                           {QStringLiteral("MSAKE"), key, host::tcShortText}});
}

void MessageWindowController::associateCounterparty()
{
    guardedVoid(m_errors.get(), kObject, "mnuMessage_Execute", [&] {
        const auto chosen = hostRecords().chooseRecord(m_owner, QStringLiteral("CON_TRO"), QString());
        if (!chosen)
            return;
        storeAssociation(QStringLiteral("CON_TRO"), chosen->key);
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
        storeAssociation(table, chosen->key);
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

} // namespace mrv
