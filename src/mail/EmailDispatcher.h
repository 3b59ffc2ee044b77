#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace mrv {

class SendingFolder;
class mrvEmailParams;
class mrvSMTP;

namespace host {
class ConfigClass;
class Connection;
class Errors;
class Records;
class UserManager;
} // namespace host

struct OutgoingEmail;

// Hands one e-mail to the transport the configuration names in
// "EXCHANGE_MODE": "ACCOUNT" (SMTP with the configured account), "CDO" (SMTP
// with the account of the "CDO_" keys), "OUTLOOK_EXT" (the queue read by the
// mail-client program), "EXCHANGE"/"OUTLOOK" (the user's mailbox). Failures
// are reported as the facade's ("mrvMessage" and the transport's name).
class EmailDispatcher
{
public:
    EmailDispatcher(std::shared_ptr<host::Connection> connection, std::shared_ptr<host::ConfigClass> config,
                    std::shared_ptr<host::UserManager> users, std::shared_ptr<host::Records> records,
                    std::shared_ptr<host::Errors> errors);

    bool SendEmail(const OutgoingEmail &email, QString &connectLog);

    // Characters from U+00A0 to U+00FF (but the soft hyphen) and the
    // typographic ones of HTML 4 as named entities; markup is left alone.
    static QString ConvertHTMLEntities(const QString &sText);
    // ">" followed by CR LF, CR LF before "<", then the entities.
    static QString prepareHtmlBody(const QString &html);

private:
    bool SendEmail_SMTP(const OutgoingEmail &email, const QString &body, bool isHtml, QString &connectLog);
    bool SendEmail_CDO(const OutgoingEmail &email, QString &connectLog);
    bool SendEmail_MailClient(const OutgoingEmail &email, const QString &body, bool isHtml);
    bool SendEmail_Exchange(const OutgoingEmail &email, const QString &body, bool isHtml, QString &connectLog);
    void fileInSent(const QByteArray &message);
    // The message of an SMTP-account transport, its attachments written
    // into the sending's folder.
    // account: another than the configuration's.
    void compose(mrvSMTP &smtp, const OutgoingEmail &email, const QString &body, bool isHtml, SendingFolder &folder,
                 std::shared_ptr<mrvEmailParams> account = {});

    QString setting(const QString &key, const QString &defaultValue) const;
    // The message's attachments written under their stored names into the
    // sending's own folder.
    QStringList attachmentFiles(const QString &attachmentIds, SendingFolder &folder);

    std::shared_ptr<host::Connection> m_connection;
    std::shared_ptr<host::ConfigClass> m_config;
    std::shared_ptr<host::UserManager> m_users;
    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
};

} // namespace mrv
