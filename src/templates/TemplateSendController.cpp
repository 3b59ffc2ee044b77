#include "TemplateSendController.h"

#include "TemplateMessages.h"

#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/RichTextStore.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "messages/AttachmentFiles.h"
#include "messages/HtmlBodyExport.h"
#include "messages/MessageStore.h"
#include "mrvTemplate.h"
#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RtfReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("frm_mrvTemplate_Preview");
const QString kMessages = QStringLiteral("SYS_MSG");
const QChar kCR(13);
const QString kCRLF = QStringLiteral("\r\n");
// RichTextStore: the key is a number; the body is rich text.
constexpr qint32 kKeyKind = 2;
constexpr qint32 kRichTextFormat = 5;

QString literal(const QVariant &value, qint32 typeCode)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

bool truth(const QVariant &value)
{
    const QVariant safe = host::valueTools().nullSafe(value);
    return !safe.toString().isEmpty() && host::valueTools().toBoolean(safe);
}

// A subject is one header line: the line breaks a field brought in become
// spaces before anything can take them for the start of another header.
QString subjectLine(const QByteArray &rtf)
{
    QString line = richtext::toPlainText(*richtext::readRtf(rtf));
    for (QChar &c : line) {
        if (c == u'\r' || c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return line.trimmed();
}

bool namesNobody(const TemplateMessage &message)
{
    QString all = message.to + message.cc + message.ccn;
    return all.remove(u';').trimmed().isEmpty();
}

} // namespace

TemplateSendController::TemplateSendController(QObject *parent) : QObject(parent) {}

TemplateSendController::~TemplateSendController()
{
    for (const TemplateMessage &message : std::as_const(m_messages))
        removeReport(message);
    for (const QString &folder : std::as_const(m_writtenFolders))
        QDir(folder).removeRecursively();
}

// A report was printed for this preview alone: once its message is sent (the
// message holds a copy) or the preview closes, the file and its folder go.
void TemplateSendController::removeReport(const TemplateMessage &message)
{
    if (message.reportFile.isEmpty())
        return;
    QFile::remove(message.reportFile);
    QDir().rmdir(QFileInfo(message.reportFile).path()); // only when nothing else is in it
}

void TemplateSendController::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

void TemplateSendController::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

QString TemplateSendController::translate(const QString &source, const char *procedure) const
{
    return host::textService().translate(source, kObjectName + QStringLiteral(" > ") + QLatin1String(procedure));
}

qint32 TemplateSendController::ask(const QString &source, const QStringList &values, qint32 style) const
{
    return host::textService().messageBox(source, values, style, QCoreApplication::applicationName());
}

void TemplateSendController::start(std::shared_ptr<TemplateFieldsObject> fields, qint32 mode,
                                   const QStringList &filesToAttach)
{
    guardedVoid(m_errors.get(), kObjectName, "ShowTemplatePreview", [&] {
        m_fields = std::dynamic_pointer_cast<mrvTemplateFields>(fields);
        if (!m_fields)
            throw Failure(QStringLiteral("The fields were not parsed by mrvTemplate"), 91);
        m_template = std::make_unique<mrvTemplate>();
        m_template->setRecords(m_records);
        m_template->setErrors(m_errors);
        m_mode = mode;
        m_filesToAttach = filesToAttach;
        auto row = host::requireConnection(m_records).open(
            QStringLiteral("SELECT MTDES, MTRTN, MTRTE, MTSAS, MTTXT FROM SYS_MST WHERE RECORD_ID = ") +
            literal(m_fields->Template(), host::tcInt32));
        if (row->eof())
            throw Failure(QStringLiteral("The template %1 does not exist").arg(m_fields->Template()));
        m_description = nullSafeText(row->field(QStringLiteral("MTDES")));
        m_replyToName = nullSafeText(row->field(QStringLiteral("MTRTN")));
        m_replyToAddress = nullSafeText(row->field(QStringLiteral("MTRTE")));
        m_sendAs = nullSafeText(row->field(QStringLiteral("MTSAS")));
        m_sendAsText = truth(row->field(QStringLiteral("MTTXT")));
        m_recipients = recipientsOfAll();
        m_messages.clear();
        for (qint32 number = 1; number <= m_fields->Count(); ++number) {
            m_messages.append(TemplateMessage());
            m_messages.last().number = number;
        }
        m_current = 0;
        if (!m_messages.isEmpty())
            showMessage(1);
    });
}

QString TemplateSendController::pageText() const
{
    return host::textService().substitute(translate(QStringLiteral("Messaggio @1 di @2"), "LoadMessage"),
                                          {QString::number(m_current), QString::number(count())});
}

void TemplateSendController::showMessage(qint32 index)
{
    guardedVoid(m_errors.get(), kObjectName, "LoadMessage", [&] {
        if (index < 1 || index > count())
            return;
        m_current = index;
        TemplateMessage &shown = m_messages[index - 1];
        if (!shown.loaded)
            load(shown);
        Q_EMIT currentChanged();
    });
}

void TemplateSendController::setRecipients(const QString &to, const QString &cc, const QString &ccn)
{
    if (m_current == 0)
        return;
    TemplateMessage &shown = m_messages[m_current - 1];
    shown.to = to;
    shown.cc = cc;
    shown.ccn = ccn;
}

void TemplateSendController::setSubject(const QString &subject)
{
    if (m_current > 0)
        m_messages[m_current - 1].subject = subject;
}

void TemplateSendController::setBody(const QByteArray &rtf)
{
    if (m_current > 0)
        m_messages[m_current - 1].body = rtf;
}

// Body, subject, recipients and attachments as the template gives them.
void TemplateSendController::load(TemplateMessage &message)
{
    const qint32 number = message.number;
    QList<QByteArray> bodies, subjects;
    m_template->GetTemplates(m_fields.get(), bodies, number);
    m_template->GetSubjects(m_fields.get(), subjects, number);
    message.body = bodies.value(0);
    message.subject = subjectLine(subjects.value(0));
    message.to = m_recipients.to.value(number - 1);
    message.cc = m_recipients.cc.value(number - 1);
    message.ccn = m_recipients.ccn.value(number - 1);
    // For one message the report's keys are that message's print key.
    QStringList reports;
    m_template->GetReports(m_fields.get(), reports, {}, message.reportCode, message.reportTable, message.reportKeys,
                           number);
    message.reportFile = reports.value(0);
    message.attachments = templateAttachments() + m_filesToAttach;
    if (!message.reportFile.isEmpty())
        message.attachments << message.reportFile;
    message.loaded = true;
}

// The lists of every message found at once, as the lists of all the
// messages of a parse are found set-based: message by message they would
// cost a dozen statements each.
TemplateSendController::Recipients TemplateSendController::recipientsOfAll() const
{
    QStringList to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax;
    if (!m_template->GetRecipients(m_fields.get(), to, toEmail, toFax, cc, ccEmail, ccFax, ccn, ccnEmail, ccnFax, 0))
        return {};
    return {m_mode == 2 ? toEmail : m_mode == 3 ? toFax : to, cc, ccn};
}

// Written once into a folder of their own under the product's "Temp", named
// by the time as every message's folder is.
QStringList TemplateSendController::templateAttachments()
{
    if (m_templateFiles)
        return *m_templateFiles;
    m_templateFiles = QStringList();
    auto rows = host::requireConnection(m_records).open(
        QStringLiteral("SELECT RECORD_ID, ATNAM FROM SYS_ATT") + kCR + QStringLiteral("WHERE ATTBL = ") +
        literal(QStringLiteral("SYS_MST"), host::tcShortText) + kCR + QStringLiteral("AND   ATKEY = ") +
        literal(QString::number(m_fields->Template()), host::tcShortText));
    if (rows->eof())
        return *m_templateFiles;
    const QString folder = QDir(host::pathServices().productFolder(QStringLiteral("Temp")))
                               .filePath(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")));
    if (!QDir(folder).exists() && !host::pathServices().createFolder(folder))
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(folder));
    m_writtenFolders << folder;
    for (; !rows->eof(); rows->moveNext()) {
        const QString path = attachmentPathIn(folder, nullSafeText(rows->field(QStringLiteral("ATNAM"))));
        if (m_records->extractAttachment(qint32(host::valueTools().toNumber(rows->field(QStringLiteral("RECORD_ID")))),
                                         path))
            *m_templateFiles << path;
    }
    return *m_templateFiles;
}

qint32 TemplateSendController::positionOf(qint32 number) const
{
    for (qint32 i = 0; i < count(); ++i) {
        if (m_messages.at(i).number == number)
            return i + 1;
    }
    return 0;
}

// The values of the fields that link the message to records: the same
// message whatever its number, another one when the data moved.
QString TemplateSendController::identity(qint32 number) const
{
    QStringList values;
    for (const mrvTemplateField &field : m_fields->Fields(number)) {
        if (field.Linked() != eDatasetLinkedField_None)
            values << field.Value();
    }
    return values.join(QChar(0x1f));
}

bool TemplateSendController::Send(qint32 index, bool checkOnly, bool sendAll)
{
    return guarded(m_errors.get(), kObjectName, "Send", false, [&] {
        BusyPointer busy;
        QList<qint32> numbers;
        for (qint32 i = 1; i <= count(); ++i) {
            if (index == 0 || i == index)
                numbers << m_messages.at(i - 1).number;
        }
        const qint32 total = qint32(numbers.size());
        bool allWent = true;
        for (qint32 done = 0; done < total; ++done) {
            const qint32 number = numbers.at(done);
            const QString step = index != 0 && !checkOnly ? QStringLiteral("Invio messaggio in corso...")
                                 : checkOnly              ? QStringLiteral("Verifica messaggio @1 di @2 in corso...")
                                                          : QStringLiteral("Invio messaggio @1 di @2 in corso...");
            Q_EMIT progress(done, total,
                            host::textService().substitute(translate(step, "Send"),
                                                           {QString::number(done + 1), QString::number(total)}));
            if (!checkOnly && m_journal && !m_journal->mayHand(number, identity(number))) {
                drop(number);
                Q_EMIT messageSkipped(number);
                continue;
            }
            TemplateMessage &message = m_messages[positionOf(number) - 1];
            if (!message.loaded)
                load(message);
            QString problem;
            if (!resolve(message, sendAll, problem)) {
                allWent = false;
                Q_EMIT messageFailed(number, problem);
                continue;
            }
            if (checkOnly)
                Q_EMIT messageChecked(number);
            else
                allWent = sendOne(message) && allWent;
        }
        Q_EMIT progress(total, total, QString());
        afterSend(checkOnly);
        return allWent;
    });
}

// Each list looked up in the address book; outside a send-all, a list that
// changed or failed is looked up again with the user choosing among
// suggestions.
bool TemplateSendController::resolve(TemplateMessage &message, bool sendAll, QString &problem)
{
    host::RecipientOptions options;
    options.addressBookServer = true;
    host::RecipientOptions suggesting = options;
    suggesting.showSuggestions = true;
    const QList<std::pair<const char *, QString *>> lists = {
        {"To", &message.to}, {"Cc", &message.cc}, {"Ccn", &message.ccn}};
    for (const auto &[name, list] : lists) {
        if (list != &message.to && list->trimmed().isEmpty())
            continue;
        QString resolved = *list;
        bool found = m_records->resolveRecipients(nullptr, resolved, options);
        if ((!found || resolved != *list) && !sendAll) {
            resolved = *list;
            found = m_records->resolveRecipients(nullptr, resolved, suggesting);
        }
        *list = resolved;
        if (!found && problem.isEmpty())
            problem = QStringLiteral("the %1 list holds unknown recipients: %2").arg(QLatin1String(name), resolved);
    }
    if (problem.isEmpty() && namesNobody(message))
        problem = QStringLiteral("the message names no recipient");
    return problem.isEmpty();
}

bool TemplateSendController::sendOne(TemplateMessage &message)
{
    const qint32 number = message.number;
    const Stored stored =
        guarded(m_errors.get(), kObjectName, "SaveMessageAsSent", Stored(), [&] { return saveAsSent(message); });
    if (stored.id == 0) {
        Q_EMIT messageFailed(number, QStringLiteral("the message could not be stored as sent"));
        return false;
    }
    if (m_journal)
        m_journal->handing(number, identity(number), stored.id);
    QString log;
    const bool sent = m_records->sendStoredMessage(stored.id, QVariant(), QVariant(), log, stored.bodyFormat);
    if (m_journal)
        m_journal->answered(number, sent);
    if (!sent) {
        QString shown = QStringLiteral(
            "Impossibile inviare il messaggio, verificare la configurazione dell'account di posta e riprovare.");
        if (!log.isEmpty())
            shown += kCRLF + kCRLF + QStringLiteral("Il log di connessione ha restituito:") + kCRLF + log;
        ask(shown, {}, host::mbOkOnly | host::mbExclamation);
        const QString lastLine = log.trimmed().section(QLatin1Char('\n'), -1).trimmed();
        Q_EMIT messageFailed(number, lastLine.isEmpty() ? QStringLiteral("the transport did not send it") : lastLine);
        return false;
    }
    if (!message.reportFile.isEmpty())
        m_records->registerSentReport(message.reportTable, message.reportCode, message.reportKeys, stored.id);
    drop(number);
    Q_EMIT messageSent(number, stored.id);
    return true;
}

qint32 TemplateSendController::SaveMessageAsSent(const TemplateMessage &message)
{
    return guarded(m_errors.get(), kObjectName, "SaveMessageAsSent", 0, [&] { return saveAsSent(message).id; });
}

// A missing file stops the message before anything is written.
bool TemplateSendController::attachmentsExist(const TemplateMessage &message) const
{
    for (const QString &path : message.attachments) {
        if (QFileInfo(path).isFile())
            continue;
        const bool report = path == message.reportFile;
        ask(QStringLiteral("Impossibile inviare il template corrente!") + kCR +
                QStringLiteral("Impossibile salvare l'allegato al messaggio inviato!") + kCR +
                (report ? QStringLiteral("Non è possibile trovare il report \"@1\".")
                        : QStringLiteral("Non è possibile trovare il file \"@1\".")),
            {path}, host::mbOkOnly | host::mbExclamation);
        return false;
    }
    return true;
}

TemplateSendController::Stored TemplateSendController::saveAsSent(const TemplateMessage &message)
{
    if (!attachmentsExist(message))
        return {};
    Stored stored{.id = 0, .bodyFormat = m_sendAsText ? eMessageBodyFormat_Text : eMessageBodyFormat_RTF};
    auto config = m_records->configClass();
    const bool html = !m_sendAsText && (!config || host::valueTools().toBoolean(config->value(
                                                       QStringLiteral("EMAIL_BODYTEXT_HTML"), QStringLiteral("1"))));
    if (html) {
        const HtmlBodyExport exported = exportHtmlBody(*richtext::readRtf(message.body));
        if (!exported.ok()) {
            ask(QStringLiteral("Impossibile inviare il template corrente!") + kCR + exported.failure,
                {exported.failedFile}, host::mbOkOnly | host::mbExclamation);
            return {};
        }
        stored.bodyFormat = eMessageBodyFormat_HTML;
    }
    auto users = m_records->userManager();
    const QDateTime now = QDateTime::currentDateTime();
    const QString table = m_fields->Table();
    const QString key = linkedValue(m_fields->Fields(message.number), eDatasetLinkedField_PrintKey);
    const QList<ColumnValue> columns{
        {QStringLiteral("MSTYP"), qint32(mstMessage), host::tcInt16},
        {QStringLiteral("MSFLD"), qint32(msfSent), host::tcInt16},
        {QStringLiteral("MSSTA"), qint32(mssReaded), host::tcInt16},
        {QStringLiteral("MSUSR"), users->userCode(), host::tcShortText},
        {QStringLiteral("MSMIT"), users->userName() + QStringLiteral(" (") + users->userCode() + QLatin1Char(')'),
         host::tcShortText},
        {QStringLiteral("MSDES"), message.to, host::tcText},
        {QStringLiteral("MSDCC"), message.cc, host::tcText},
        {QStringLiteral("MSDCN"), message.ccn, host::tcText},
        {QStringLiteral("MSNOT"), 1, host::tcInt16},
        {QStringLiteral("MSDTS"), now, host::tcDateTime},
        {QStringLiteral("MSDTR"), now, host::tcDateTime},
        {QStringLiteral("MSRTN"), m_replyToName, host::tcShortText},
        {QStringLiteral("MSRTE"), m_replyToAddress, host::tcShortText},
        {QStringLiteral("MSSAS"), m_sendAs, host::tcShortText},
        {QStringLiteral("MSATT"), !message.attachments.isEmpty(), host::tcBoolean},
        {QStringLiteral("MSPRY"), qint32(mspNormal), host::tcInt16},
        {QStringLiteral("MSOBJ"), message.subject, host::tcShortText},
        {QStringLiteral("MSLNK"), true, host::tcBoolean},
        {QStringLiteral("MSTBL"), table, host::tcShortText},
        {QStringLiteral("MSKEY"), key, host::tcShortText},
    };
    MessageStore store(host::requireConnection(m_records), config.get());
    stored.id = store.insertColumns(kMessages, columns);
    host::richTextStore().save(QString::fromUtf8(message.body), QStringLiteral("MSTXT"), kMessages,
                               QStringLiteral("RECORD_ID"), stored.id, kKeyKind, kRichTextFormat);
    for (const QString &path : message.attachments)
        m_records->addAttachment(kMessages, QString::number(stored.id), path);
    return stored;
}

void TemplateSendController::drop(qint32 number)
{
    const qint32 position = positionOf(number);
    if (position == 0)
        return;
    removeReport(m_messages.at(position - 1));
    m_messages.removeAt(position - 1);
}

// The window closes with the last record; otherwise it shows the record it
// showed when that is still there, or the first.
void TemplateSendController::afterSend(bool checkOnly)
{
    if (m_messages.isEmpty()) {
        m_current = 0;
        Q_EMIT closeRequested();
        return;
    }
    if (m_current < 1 || m_current > count() || checkOnly)
        showMessage(m_current >= 1 && m_current <= count() ? m_current : 1);
    else
        Q_EMIT currentChanged();
}

} // namespace mrv
