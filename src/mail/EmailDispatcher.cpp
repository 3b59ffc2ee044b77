#include "EmailDispatcher.h"

#include "SendingFolder.h"
#include "exchange/MailboxConnection.h"
#include "exchange/mrvExchange.h"

#include "facade/Guard.h"
#include "facade/Types.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "mail/EmailParts.h"
#include "mail/mrvEmailParams.h"
#include "mail/mrvSMTP.h"
#include "messages/MessageStore.h"
#include "messages/SendingPipeline.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvMessage");

const QHash<char16_t, const char *> &namedEntities()
{
    static const QHash<char16_t, const char *> entities = [] {
        static const char *const latin1[] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
            "ordf",   "laquo",  "not",    nullptr,  "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
            "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
            "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
            "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
            "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
            "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
            "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
            "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        QHash<char16_t, const char *> map;
        for (char16_t c = 0xA0; c <= 0xFF; ++c) {
            if (latin1[c - 0xA0]) // the soft hyphen stays as it is
                map.insert(c, latin1[c - 0xA0]);
        }
        const QList<QPair<char16_t, const char *>> typographic = {
            {0x0152, "OElig"}, {0x0153, "oelig"},  {0x0160, "Scaron"}, {0x0161, "scaron"}, {0x0178, "Yuml"},
            {0x0192, "fnof"},  {0x02C6, "circ"},   {0x2018, "lsquo"},  {0x2019, "rsquo"},  {0x201A, "sbquo"},
            {0x201C, "ldquo"}, {0x201D, "rdquo"},  {0x201E, "bdquo"},  {0x2020, "dagger"}, {0x2021, "Dagger"},
            {0x2022, "bull"},  {0x2026, "hellip"}, {0x2030, "permil"}, {0x2039, "lsaquo"}, {0x203A, "rsaquo"},
            {0x20AC, "euro"},  {0x2122, "trade"}};
        for (const auto &[c, name] : typographic)
            map.insert(c, name);
        return map;
    }();
    return entities;
}

// A word for the shell, quoted so that nothing in it is interpreted.
QString shellWord(const QString &word)
{
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

EmailDispatcher::EmailDispatcher(std::shared_ptr<host::Connection> connection,
                                 std::shared_ptr<host::ConfigClass> config, std::shared_ptr<host::UserManager> users,
                                 std::shared_ptr<host::Records> records, std::shared_ptr<host::Errors> errors)
    : m_connection(std::move(connection)), m_config(std::move(config)), m_users(std::move(users)),
      m_records(std::move(records)), m_errors(std::move(errors))
{}

QString EmailDispatcher::ConvertHTMLEntities(const QString &sText)
{
    const auto &entities = namedEntities();
    QString result;
    result.reserve(sText.size() + sText.size() / 8);
    for (const QChar c : sText) {
        const auto found = entities.constFind(c.unicode());
        if (found == entities.constEnd())
            result += c;
        else
            result += QLatin1Char('&') + QLatin1String(*found) + QLatin1Char(';');
    }
    return result;
}

QString EmailDispatcher::prepareHtmlBody(const QString &html)
{
    QString text = html;
    text.replace(QLatin1Char('>'), QStringLiteral(">\r\n"));
    text.replace(QLatin1Char('<'), QStringLiteral("\r\n<"));
    return ConvertHTMLEntities(text);
}

QString EmailDispatcher::setting(const QString &key, const QString &defaultValue) const
{
    return m_config ? m_config->value(key, defaultValue) : defaultValue;
}

bool EmailDispatcher::SendEmail(const OutgoingEmail &email, QString &connectLog)
{
    return guarded(m_errors.get(), kObjectName, "SendEmail", false, [&] {
        if (email.to.isEmpty() && email.cc.isEmpty() && email.ccn.isEmpty())
            return false;
        const bool html = !email.htmlBody.isEmpty();
        const QString body = html ? prepareHtmlBody(email.htmlBody) : email.rtfBody;
        const QString mode = setting(QStringLiteral("EXCHANGE_MODE"), QString()).toUpper();
        if (mode == QLatin1String("OUTLOOK_EXT"))
            return SendEmail_MailClient(email, body, html);
        if (mode == QLatin1String("EXCHANGE") || mode == QLatin1String("OUTLOOK"))
            return SendEmail_Exchange(email, body, html, connectLog);
        if (mode == QLatin1String("ACCOUNT"))
            return SendEmail_SMTP(email, body, html, connectLog);
        if (mode == QLatin1String("CDO"))
            return SendEmail_CDO(email, connectLog);
        return false;
    });
}

QStringList EmailDispatcher::attachmentFiles(const QString &attachmentIds, SendingFolder &folder)
{
    QStringList files;
    if (attachmentIds.trimmed().isEmpty())
        return files;
    const host::ValueTools &values = host::valueTools();
    auto set = m_connection->open(QStringLiteral("SELECT RECORD_ID, ATNAM FROM SYS_ATT WHERE RECORD_ID IN (") +
                                  attachmentIds + QLatin1Char(')'));
    for (; !set->eof(); set->moveNext()) {
        // The stored name may hold anything: it never leaves the sending's folder.
        const QString name = values.cleanFileName(values.nullSafe(set->field(QStringLiteral("ATNAM"))).toString());
        const QString path = folder.placeFor(name);
        if (m_records->extractAttachment(qint32(values.toNumber(set->field(QStringLiteral("RECORD_ID")))), path))
            files << path;
    }
    return files;
}

void EmailDispatcher::compose(mrvSMTP &smtp, const OutgoingEmail &email, const QString &body, bool isHtml,
                              SendingFolder &folder, std::shared_ptr<mrvEmailParams> account)
{
    smtp.setErrors(m_errors);
    smtp.setRecords(m_records);
    if (account)
        smtp.setParams(std::move(account));
    addRecipients(smtp, email.to, email.cc, email.ccn);
    smtp.setSubject(email.subject);
    if (isHtml)
        smtp.SetBodyText(body, email.bodyFormat);
    else
        smtp.setRichTextBody(body);
    smtp.setPriority(emailPriority(email.priority));
    for (const QString &file : attachmentFiles(email.attachmentIds, folder))
        smtp.AddAttachment(file);
    if (!email.replyToAddress.isEmpty())
        smtp.ReplyTo(email.replyToAddress, email.replyToName);
}

bool EmailDispatcher::SendEmail_SMTP(const OutgoingEmail &email, const QString &body, bool isHtml, QString &connectLog)
{
    return guarded(m_errors.get(), kObjectName, "SendEmail_SMTP", false, [&] {
        mrvSMTP smtp;
        SendingFolder folder;
        compose(smtp, email, body, isHtml, folder);
        qint32 result = -1;
        smtp.Send(&result, email.sendAs);
        connectLog = smtp.ConnectLog();
        return result == 0;
    });
}

bool EmailDispatcher::SendEmail_CDO(const OutgoingEmail &email, QString &connectLog)
{
    return guarded(m_errors.get(), kObjectName, "SendEmail_CDO", false, [&] {
        mrvSMTP smtp;
        smtp.setErrors(m_errors);
        smtp.setRecords(m_records);
        // Read receipts belong to the account and mailbox transports only.
        smtp.setReceiptFollowsConfiguration(false);
        auto account = std::make_shared<mrvEmailParams>();
        account->setRecords(m_records);
        account->setErrors(m_errors);
        const host::ValueTools &values = host::valueTools();
        account->Name = setting(QStringLiteral("CDO_NAME"), QString());
        account->Email = setting(QStringLiteral("CDO_EMAIL"), QString());
        account->User_Out = setting(QStringLiteral("CDO_USER"), QString());
        account->Password_Out = setting(QStringLiteral("CDO_PASSWORD"), QString());
        account->ServerName_Out = setting(QStringLiteral("CDO_SMTP_SERVER"), QString());
        account->ServerPort_Out =
            qint32(values.toNumber(setting(QStringLiteral("CDO_SMTP_PORT"), QStringLiteral("0"))));
        account->ServerSSL_Out = values.toBoolean(setting(QStringLiteral("CDO_SSL"), QStringLiteral("0")));
        account->ServerType_Out = eEmailServerOut_SMTP;
        account->ServerAuth_Out =
            account->User_Out.isEmpty() ? eEmailServerOutAuth_None : eEmailServerOutAuth_AUTH_LOGIN;
        smtp.setParams(account);
        addRecipients(smtp, email.to, email.cc, email.ccn);
        smtp.setSubject(email.subject);
        smtp.setRichTextBody(email.rtfBody);
        SendingFolder folder;
        for (const QString &file : attachmentFiles(email.attachmentIds, folder))
            smtp.AddAttachment(file);
        qint32 result = -1;
        smtp.Send(&result, QString());
        connectLog = smtp.ConnectLog();
        return result == 0;
    });
}

// The user's mailbox has no outbox on an IMAP server: the message goes
// through the account's SMTP server (in "OUTLOOK" mode that of the profile's
// account), then is filed in the mailbox's Sent folder as read. Each step
// runs once; a message that went out but could not be filed is reported as
// a failure that says so.
bool EmailDispatcher::SendEmail_Exchange(const OutgoingEmail &email, const QString &body, bool isHtml,
                                         QString &connectLog)
{
    return guarded(m_errors.get(), kObjectName, "SendEmail_Exchange", false, [&] {
        std::shared_ptr<mrvEmailParams> account;
        if (setting(QStringLiteral("EXCHANGE_MODE"), QString()).toUpper() == QLatin1String("OUTLOOK")) {
            account = std::make_shared<mrvEmailParams>();
            account->setRecords(m_records);
            account->setErrors(m_errors);
            account->loadAccount(*m_config, setting(QStringLiteral("EXCHANGE_PROFILE"), QStringLiteral("Outlook")) +
                                                QLatin1Char('_'));
        }
        mrvSMTP smtp;
        SendingFolder folder;
        compose(smtp, email, body, isHtml, folder, account);
        smtp.setKeepSentMessage(true);
        qint32 result = -1;
        smtp.Send(&result, email.sendAs);
        connectLog = smtp.ConnectLog();
        if (result != 0)
            return false;
        try {
            fileInSent(smtp.sentMessage());
        } catch (const Failure &failure) {
            connectLog += failure.message() + QStringLiteral("\r\n");
            throw;
        }
        return true;
    });
}

void EmailDispatcher::fileInSent(const QByteArray &message)
{
    mrvExchange exchange;
    exchange.setConnection(m_connection);
    exchange.setErrors(m_errors);
    exchange.setUserManager(m_users);
    exchange.setConfigClass(m_config);
    const QString notFiled = QStringLiteral("The message was sent, but not filed in the mailbox's Sent folder: ");
    if (!exchange.Logon())
        throw Failure(notFiled + exchange.mailbox().lastError());
    struct Logoff
    {
        mrvExchange &exchange;
        ~Logoff() { exchange.Logoff(); }
    } logoff{exchange};
    try {
        exchange::MailboxConnection &mailbox = exchange.mailbox();
        const QString store = mailbox.stores().value(0).entryId;
        const QString sent = mailbox.defaultFolderId(store, 5);
        if (sent.isEmpty())
            throw Failure(QStringLiteral("the mailbox has no Sent folder"));
        mailbox.appendMessage(sent, store, message, true);
    } catch (const Failure &failure) {
        throw Failure(notFiled + failure.message());
    }
}

bool EmailDispatcher::SendEmail_MailClient(const OutgoingEmail &email, const QString &body, bool isHtml)
{
    return guarded(m_errors.get(), kObjectName, "SendEmail_MailClient", false, [&] {
        MessageStore store(*m_connection, m_config.get());
        MailClientEntry entry;
        entry.messageId = email.messageId;
        entry.subject = email.subject;
        entry.bodyIsRtf = !isHtml;
        entry.to = email.to;
        entry.cc = email.cc;
        entry.ccn = email.ccn;
        entry.importance = email.priority;
        entry.replyToAddress = email.replyToAddress;
        entry.replyToName = email.replyToName;
        entry.sendAs = email.sendAs;
        entry.queuedBy = m_users->userCode();
        entry.queuedAt = QDateTime::currentDateTime();
        entry.state = 0;

        QString queuedBody = body;
        QList<QPair<QString, QString>> files; // path, content id
        SendingFolder folder;
        if (isHtml) {
            const host::ValueTools &values = host::valueTools();
            for (qint32 key : store.attachmentKeys(email.messageId, QStringLiteral("SYS_MSG_MSTXT"))) {
                const auto names = store.attachmentNames({key});
                if (names.isEmpty())
                    continue;
                const QString name = names.first().second;
                const QRegularExpression source(QStringLiteral("(<img\\b[^>]*\\bsrc\\s*=\\s*[\"']?)") +
                                                    QRegularExpression::escape(name) + QStringLiteral("([\"'\\s>])"),
                                                QRegularExpression::CaseInsensitiveOption);
                if (!source.match(queuedBody).hasMatch())
                    continue;
                const QString path = folder.placeFor(values.cleanFileName(name));
                if (!m_records->extractAttachment(key, path))
                    continue;
                queuedBody.replace(source, QStringLiteral("\\1cid:") + name + QStringLiteral("\\2"));
                files.append({path, name});
            }
        }
        entry.body = queuedBody;
        for (const QString &file : attachmentFiles(email.attachmentIds, folder))
            files.append({file, QString()});

        const qint32 queueId = store.queueMail(entry);
        for (const auto &[path, contentId] : files)
            store.queueMailFile(queueId, path, contentId);
        store.setQueueState(queueId, 1);
        folder.handOver();

        const host::ValueTools &values = host::valueTools();
        const bool x64 = values.toBoolean(setting(QStringLiteral("OUTLOOK_64BIT"), QStringLiteral("0")));
        const QString program =
            QDir(host::pathServices().productFolder(QStringLiteral("Bin.NET")))
                .filePath(QStringLiteral("MailClient_") + (x64 ? QStringLiteral("x64") : QStringLiteral("x86")));
        QStringList arguments = {QStringLiteral("-c"), m_connection->connectionText(), QStringLiteral("-u"),
                                 m_users->userCode()};
        if (setting(QStringLiteral("EXCHANGE_MODE"), QString()).toUpper() == QLatin1String("OUTLOOK_EXT"))
            arguments << QStringLiteral("-p") << QStringLiteral("\"OUTLOOK\"");
        arguments << QStringLiteral("--profile")
                  << setting(QStringLiteral("EXCHANGE_PROFILE"), QStringLiteral("Outlook"));

        const bool showCall = values.toBoolean(setting(QStringLiteral("MAILCLIENT_SHOW_CALL"), QStringLiteral("0")));
        QStringList command = {shellWord(program)};
        for (const QString &argument : arguments)
            command << shellWord(argument);
        const QString script =
            host::pathServices().newTempFileName(QStringLiteral("mrv"), QString(), QStringLiteral("sh"));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            throw Failure(QStringLiteral("The mail-client script %1 cannot be written").arg(script));
        file.write("#!/bin/sh\n");
        file.write((command.join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8());
        if (showCall)
            file.write("printf 'Premere Invio per continuare...'; read _\n");
        file.close();
        if (!QProcess::startDetached(QStringLiteral("/bin/sh"), {script}))
            throw Failure(QStringLiteral("The mail client could not be started"));
        return true;
    });
}

} // namespace mrv
