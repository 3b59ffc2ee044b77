#include "mrvSMTP.h"

#include "facade/Guard.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/ValueTools.h"
#include "mail/EmailParts.h"
#include "mail/mrvEmailParams.h"
#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RtfReader.h"
#include "platform/smtp/HtmlImages.h"
#include "platform/smtp/HtmlToText.h"
#include "platform/smtp/SmtpSessionPool.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextDocument>

#include <limits>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvSMTP");

QString textSubtype(qint32 format)
{
    switch (format) {
    case eMessageBodyFormat_Text:
        return QStringLiteral("plain");
    case eMessageBodyFormat_HTML:
        return QStringLiteral("html");
    case eMessageBodyFormat_RTF:
        return QStringLiteral("rtf");
    case eMessageBodyFormat_XML:
        return QStringLiteral("xml");
    default:
        throw Failure(QStringLiteral("%1 is not a body format").arg(format), 5);
    }
}

smtp::MimeBody textBody(const QString &subtype, const QString &text)
{
    smtp::MimeBody body;
    body.subtype = subtype;
    body.text = text;
    return body;
}

// HTML files name their own encoding; other texts are UTF-8 (with or without
// a byte-order mark, or UTF-16 with one) or else Latin-1.
QString readText(const QString &fileName, bool html)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The file %1 cannot be read: %2").arg(fileName, file.errorString()), 53);
    const QByteArray bytes = file.readAll();
    if (html)
        return QStringDecoder::decoderForHtml(bytes).decode(bytes);
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(marked.value_or(QStringConverter::Utf8), QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

smtp::MailPriority priorityOf(qint32 value)
{
    switch (value) {
    case eMessageProprity_High:
        return smtp::MailPriority::High;
    case eMessageProprity_Low:
        return smtp::MailPriority::Low;
    default:
        return smtp::MailPriority::Normal;
    }
}

qint32 valueOf(smtp::MailPriority priority)
{
    switch (priority) {
    case smtp::MailPriority::High:
        return eMessageProprity_High;
    case smtp::MailPriority::Low:
        return eMessageProprity_Low;
    case smtp::MailPriority::Normal:
        break;
    }
    return eMessageProprity_Normal;
}

smtp::RecipientKind recipientKindOf(std::optional<qint32> type)
{
    switch (type.value_or(eMessageRecipient_To)) {
    case eMessageRecipient_To:
        return smtp::RecipientKind::To;
    case eMessageRecipient_Cc:
        return smtp::RecipientKind::Cc;
    case eMessageRecipient_Ccn:
        return smtp::RecipientKind::Bcc;
    default:
        throw Failure(QStringLiteral("%1 is not a recipient type").arg(*type), 5);
    }
}

qint32 clampedToInt32(qint64 value)
{
    return qint32(qMin<qint64>(value, std::numeric_limits<qint32>::max()));
}

} // namespace

mrvSMTP::mrvSMTP(QObject *parent) : QObject(parent) {}

mrvSMTP::~mrvSMTP() = default;

std::shared_ptr<host::Records> mrvSMTP::Records() const
{
    return guarded(m_errors.get(), kObjectName, "Records", std::shared_ptr<host::Records>(), [&] { return m_records; });
}

void mrvSMTP::setRecords(std::shared_ptr<host::Records> records)
{
    guardedVoid(m_errors.get(), kObjectName, "Records", [&] {
        m_records = std::move(records);
        auto params = std::make_shared<mrvEmailParams>();
        params->setErrors(m_errors);
        params->setRecords(m_records);
        params->LoadConfig();
        m_params = std::move(params);
    });
}

void mrvSMTP::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

std::shared_ptr<mrvEmailParams> mrvSMTP::Params() const
{
    return guarded(m_errors.get(), kObjectName, "Params", std::shared_ptr<mrvEmailParams>(), [&] { return m_params; });
}

void mrvSMTP::setParams(std::shared_ptr<mrvEmailParams> params)
{
    guardedVoid(m_errors.get(), kObjectName, "Params", [&] { m_params = std::move(params); });
}

QString mrvSMTP::Subject() const
{
    return guarded(m_errors.get(), kObjectName, "Subject", QString(), [&] { return m_message.subject(); });
}

void mrvSMTP::setSubject(const QString &value)
{
    guardedVoid(m_errors.get(), kObjectName, "Subject", [&] { m_message.setSubject(value); });
}

qint32 mrvSMTP::Priority() const
{
    return guarded(m_errors.get(), kObjectName, "Priority", qint32(eMessageProprity_Normal),
                   [&] { return valueOf(m_message.priority()); });
}

void mrvSMTP::setPriority(qint32 value)
{
    guardedVoid(m_errors.get(), kObjectName, "Priority", [&] { m_message.setPriority(priorityOf(value)); });
}

QString mrvSMTP::BodyText() const
{
    return guarded(m_errors.get(), kObjectName, "BodyText", QString(), [&] { return m_message.body().text; });
}

bool mrvSMTP::SetBodyText(const QString &sValue, qint32 iFormat)
{
    return guarded(m_errors.get(), kObjectName, "SetBodyText", false, [&] {
        const QString subtype = textSubtype(iFormat);
        // A body given as text has no folder of its own: only absolute image paths are local files.
        if (iFormat == eMessageBodyFormat_HTML)
            setHtmlBody(sValue, QString());
        else
            m_message.setBody(textBody(subtype, sValue));
        return true;
    });
}

void mrvSMTP::SetBodyTextFromFile(const QString &sFileName, qint32 iFormat)
{
    guardedVoid(m_errors.get(), kObjectName, "SetBodyTextFromFile", [&] {
        const QString subtype = textSubtype(iFormat);
        const bool html = iFormat == eMessageBodyFormat_HTML;
        const QString text = readText(sFileName, html);
        if (html)
            setHtmlBody(text, QFileInfo(sFileName).absolutePath());
        else
            m_message.setBody(textBody(subtype, text));
    });
}

bool mrvSMTP::setRichTextBody(const QString &rtf)
{
    return guarded(m_errors.get(), kObjectName, "SetBodyText", false, [&] {
        // Both versions from the one document read: the plain text from the
        // rich text itself, not recovered from the HTML made of it.
        const std::unique_ptr<QTextDocument> document = richtext::readRtf(rtfBytes(rtf));
        QList<richtext::InlineImage> pictures;
        smtp::MimeBody body;
        body.subtype = QStringLiteral("html");
        body.text = richtext::toHtml(*document, &pictures);
        body.alternativeText = richtext::toPlainText(*document);
        for (const richtext::InlineImage &picture : pictures)
            body.inlineImages.append({picture.fileName, picture.contentType, picture.content, picture.contentId, {}});
        m_message.setBody(body);
        return true;
    });
}

void mrvSMTP::setHtmlBody(const QString &html, const QString &baseFolder)
{
    smtp::MimeBody body = smtp::htmlBodyWithImages(html, baseFolder);
    body.alternativeText = smtp::plainTextFromHtml(html);
    m_message.setBody(body);
}

QString mrvSMTP::BodyTextPlain() const
{
    return guarded(m_errors.get(), kObjectName, "BodyTextPlain", QString(),
                   [&] { return m_message.body().alternativeText; });
}

void mrvSMTP::setBodyTextPlain(const QString &value)
{
    guardedVoid(m_errors.get(), kObjectName, "BodyTextPlain", [&] { m_message.setAlternativeText(value); });
}

QString mrvSMTP::ConnectLog() const
{
    return guarded(m_errors.get(), kObjectName, "ConnectLog", QString(), [&] { return m_connectLog; });
}

void mrvSMTP::AddRecipient(const QString &sEmail, const QString &sName, std::optional<qint32> iType)
{
    const bool added = guardedVoid(m_errors.get(), kObjectName, "AddRecipient", [&] {
        m_message.addRecipient(recipientKindOf(iType), {sName, sEmail});
    });
    if (!added)
        m_refusedAddresses << sEmail;
}

void mrvSMTP::AddAttachment(const QString &sFileName)
{
    guardedVoid(m_errors.get(), kObjectName, "AddAttachment",
                [&] { m_message.addAttachment(smtp::MimeFile::onDisk(sFileName)); });
}

void mrvSMTP::ReplyTo(const QString &sEmail, const QString &sName)
{
    const bool set = guardedVoid(m_errors.get(), kObjectName, "ReplyTo", [&] {
        const QString name = sName.isEmpty() ? QString() : QStringLiteral("''") + sName + QStringLiteral("''");
        m_message.setReplyTo({name, sEmail});
    });
    if (!set)
        m_refusedAddresses << sEmail;
}

void mrvSMTP::Reset()
{
    guardedVoid(m_errors.get(), kObjectName, "Reset", [&] {
        m_connectLog.clear();
        m_message.clear();
        m_refusedAddresses.clear();
    });
}

QString mrvSMTP::Save()
{
    return guarded(m_errors.get(), kObjectName, "Save", QString(), [&] {
        const QString path = host::pathServices().newTempFileName(QString(), QString(), QStringLiteral("eml"));
        m_message.saveTo(path);
        return path;
    });
}

bool mrvSMTP::Send(qint32 *lResult, const QString &sSendAs)
{
    return guarded(m_errors.get(), kObjectName, "Send", false, [&] {
        if (lResult)
            *lResult = smtp::srNotSendable;
        // An address left out would be a copy that silently never arrives,
        // whichever list it was meant for.
        if (!m_refusedAddresses.isEmpty()) {
            appendLog(QStringLiteral("Not sent: these addresses were refused: ") +
                          m_refusedAddresses.join(QStringLiteral(", ")),
                      0);
            return false;
        }
        const mrvEmailParams &sender = params();
        m_message.setFrom({sSendAs.isEmpty() ? sender.Name : sSendAs, sender.Email});
        const bool receipt =
            m_receiptFollowsConfiguration &&
            host::valueTools().toBoolean(configValue(QStringLiteral("EMAIL_RECEIPT"), QStringLiteral("0")));
        m_message.setReceiptTo(receipt ? sender.Email : QString());
        smtp::SmtpSender::Handlers handlers;
        handlers.log = [this](const QString &text, qint32 code) { appendLog(text, code); };
        handlers.progress = [this](qint64 sent, qint64 total) {
            Q_EMIT Progress(clampedToInt32(sent), clampedToInt32(total));
        };
        m_sentMessage.clear();
        if (m_keepSentMessage)
            handlers.encoded = [this](const char *data, qint64 size) { m_sentMessage = QByteArray(data, size); };
        const smtp::SendResult result = smtp::SmtpSessionPool::instance().send(account(), m_message, handlers);
        if (lResult)
            *lResult = result;
        return result == smtp::srSent;
    });
}

smtp::SmtpAccount mrvSMTP::account() const
{
    const mrvEmailParams &source = params();
    smtp::SmtpAccount account;
    account.server = source.ServerName_Out;
    account.port = source.ServerPort_Out;
    // With both flags set the connection starts plain and is upgraded: STARTTLS wins.
    account.tls = source.StartTLS_Out    ? smtp::TlsMode::StartTls
                  : source.ServerSSL_Out ? smtp::TlsMode::Implicit
                                         : smtp::TlsMode::None;
    account.authMode = source.ServerAuth_Out;
    account.user = source.User_Out;
    account.password = source.Password_Out;
    account.tokenCommand = source.tokenCommandOut();
    account.caFile = configValue(QStringLiteral("EMAIL_OUT_CA_FILE"), QString());
    account.timeoutSeconds = qint32(host::valueTools().toNumber(
        configValue(QStringLiteral("EMAIL_OUT_TIMEOUT"), QString::number(smtp::SmtpAccount::kDefaultTimeoutSeconds))));
    return account;
}

QString mrvSMTP::configValue(const QString &key, const QString &defaultValue) const
{
    auto config = m_records ? m_records->configClass() : nullptr;
    if (!config)
        throw Failure(QStringLiteral("The Records object is not set"), 91);
    return config->value(key, defaultValue);
}

mrvEmailParams &mrvSMTP::params() const
{
    if (!m_params)
        throw Failure(QStringLiteral("There is no account: Records (or Params) must be set before Send"), 91);
    return *m_params;
}

void mrvSMTP::appendLog(const QString &text, qint32 code)
{
    m_connectLog += QLatin1Char('(') + QString::number(code) + QStringLiteral(") - ") + text + QStringLiteral("\r\n");
    Q_EMIT Log(text, code);
}

} // namespace mrv
