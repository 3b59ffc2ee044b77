#pragma once

#include "facade/ComObject.h"
#include "platform/smtp/MimeMessage.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace mrv {

namespace host {
class Errors;
class Records;
} // namespace host

namespace smtp {
struct SmtpAccount;
}

class mrvEmailParams;

// Composes one e-mail and sends it over SMTP with the outgoing server of an
// account (Params, loaded from the configuration when Records is set).
//
// Configuration read by Send besides the account: "EMAIL_RECEIPT" (ask for a
// read receipt), "EMAIL_OUT_CA_FILE" (a PEM file of certificate authorities
// trusted besides the system's) and "EMAIL_OUT_TIMEOUT" (seconds to wait for
// the server, 60 when absent). See docs/transports.md.
class mrvSMTP : public QObject, public ComObject
{
    Q_OBJECT

public:
    explicit mrvSMTP(QObject *parent = nullptr);
    ~mrvSMTP() override;

    std::shared_ptr<host::Records> Records() const;
    // Also makes a new Params with the same Records and the account of the configuration.
    void setRecords(std::shared_ptr<host::Records> records);
    void setErrors(std::shared_ptr<host::Errors> errors);

    std::shared_ptr<mrvEmailParams> Params() const;
    void setParams(std::shared_ptr<mrvEmailParams> params);

    QString Subject() const;
    void setSubject(const QString &value);

    // A qd_eMessagePriority: High (1) and Low (4) are kept, anything else is Normal (0).
    qint32 Priority() const;
    void setPriority(qint32 value);

    QString BodyText() const;
    // iFormat: a qd_eMessageBodyFormat. An HTML body gets a plain-text
    // alternative (BodyTextPlain) and carries the local images it shows.
    bool SetBodyText(const QString &sValue, qint32 iFormat = 0);
    void SetBodyTextFromFile(const QString &sFileName, qint32 iFormat = 1);
    // A message body stored as RTF, sent as HTML: its pictures travel with
    // it as inline parts, shown where the text has them.
    bool setRichTextBody(const QString &rtf);

    // Whether Send asks for a read receipt when "EMAIL_RECEIPT" says so (the
    // default); transports that have no read receipts turn it off.
    void setReceiptFollowsConfiguration(bool follows) { m_receiptFollowsConfiguration = follows; }
    // Send keeps the message as it went to the server, for a transport that
    // files it in the mailbox afterwards.
    void setKeepSentMessage(bool keep) { m_keepSentMessage = keep; }
    QByteArray sentMessage() const { return m_sentMessage; }

    QString BodyTextPlain() const;
    void setBodyTextPlain(const QString &value);

    // One line per event of the conversation: "(" code ") - " text.
    QString ConnectLog() const;

    // iType: a qd_eMessageRecipientType; To when absent.
    void AddRecipient(const QString &sEmail, const QString &sName = QString(),
                      std::optional<qint32> iType = std::nullopt);
    void AddAttachment(const QString &sFileName);
    void ReplyTo(const QString &sEmail, const QString &sName = QString());

    void Reset();
    // Writes the message to a new .eml file in the temporary folder; its path.
    QString Save();
    // lResult: 0 when sent, otherwise the kind of failure (docs/transports.md).
    bool Send(qint32 *lResult = nullptr, const QString &sSendAs = QString());

Q_SIGNALS:
    void Progress(qint32 lCurrent, qint32 lMax);
    void Log(QString sText, qint32 lCode);

private:
    smtp::SmtpAccount account() const;
    QString configValue(const QString &key, const QString &defaultValue) const;
    mrvEmailParams &params() const;
    void setHtmlBody(const QString &html, const QString &baseFolder);
    void appendLog(const QString &text, qint32 code);

    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
    bool m_keepSentMessage = false;
    QByteArray m_sentMessage;
    std::shared_ptr<mrvEmailParams> m_params;
    smtp::MimeMessage m_message;
    QString m_connectLog;
    bool m_receiptFollowsConfiguration = true;
    // Addresses that AddRecipient or ReplyTo could not take: Send refuses while there are any.
    QStringList m_refusedAddresses;
};

} // namespace mrv
