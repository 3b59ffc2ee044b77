#pragma once

#include <QByteArray>
#include <QList>
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

class mrvTemplate;
class mrvTemplateFields;
class TemplateFieldsObject;

// One message of a parsed template as the preview holds it: filled from the
// template on its first visit, then as the user corrected it.
struct TemplateMessage
{
    qint32 number = 0; // within the parse result, from 1
    QString to;
    QString cc;
    QString ccn;
    QString subject; // plain text on one line
    QByteArray body; // RTF
    QStringList attachments;
    QString reportFile;
    QString reportCode;
    QString reportTable;
    QString reportKeys;
    bool loaded = false;
};

// Remembers which messages of a bulk send were handed to the transport, so
// that the same send, run again after an interruption, hands none twice.
class TemplateSendJournal
{
public:
    virtual ~TemplateSendJournal() = default;
    // False when an earlier run handed message `number` to the transport.
    // `identity` tells the message apart from another that took its number.
    virtual bool mayHand(qint32 number, const QString &identity) = 0;
    // Told before the transport gets the stored message, then its answer.
    virtual void handing(qint32 number, const QString &identity, qint32 messageId) = 0;
    virtual void answered(qint32 number, bool sent) = 0;
};

// The behaviour of the template preview "frm_mrvTemplate_Preview" behind its
// controls: one record per message still to send, the message shown, and the
// sending (or checking) of one message or all of them. Every question and
// message box goes through the host, so it runs without a window.
class TemplateSendController : public QObject
{
    Q_OBJECT

public:
    explicit TemplateSendController(QObject *parent = nullptr);
    ~TemplateSendController() override;

    void setErrors(std::shared_ptr<host::Errors> errors);
    void setRecords(std::shared_ptr<host::Records> records);
    // Not owned; none by default.
    void setJournal(TemplateSendJournal *journal) { m_journal = journal; }

    // Keeps the parse result, the mode (2 the e-mail To list, 3 the fax one,
    // otherwise each customer's preferred channel) and the files attached to
    // every message, and shows message 1.
    void start(std::shared_ptr<TemplateFieldsObject> fields, qint32 mode, const QStringList &filesToAttach);

    QString templateDescription() const { return m_description; }
    qint32 count() const { return qint32(m_messages.size()); }
    // The record shown, from 1; 0 when none is left.
    qint32 currentIndex() const { return m_current; }
    const TemplateMessage &message(qint32 index) const { return m_messages.at(index - 1); }
    // "Messaggio @1 di @2" for the record shown.
    QString pageText() const;
    void showMessage(qint32 index);

    // The controls stored into the record shown.
    void setRecipients(const QString &to, const QString &cc, const QString &ccn);
    void setSubject(const QString &subject);
    void setBody(const QByteArray &rtf);

    // Sends (or, checking, resolves only) the record `index`, every record
    // when 0. A send-all asks nobody to choose among suggestions. Sent
    // records leave the window. True when every message went (or checked).
    bool Send(qint32 index, bool checkOnly, bool sendAll);
    // Stores the record as a sent message; its id, 0 when it could not.
    qint32 SaveMessageAsSent(const TemplateMessage &message);

Q_SIGNALS:
    void progress(qint32 done, qint32 total, const QString &text);
    void messageChecked(qint32 number);
    void messageSent(qint32 number, qint32 messageId);
    // Handed to the transport by an earlier run (the journal's word).
    void messageSkipped(qint32 number);
    void messageFailed(qint32 number, const QString &reason);
    void currentChanged();
    void closeRequested();

private:
    // Per message, from the first: the To list the mode chooses, Cc, Ccn.
    struct Recipients
    {
        QStringList to;
        QStringList cc;
        QStringList ccn;
    };

    struct Stored
    {
        qint32 id = 0;
        qint32 bodyFormat = 0;
    };

    QString translate(const QString &text, const char *procedure) const;
    qint32 ask(const QString &text, const QStringList &values, qint32 style) const;
    qint32 positionOf(qint32 number) const;
    QString identity(qint32 number) const;
    Recipients recipientsOfAll() const;
    void load(TemplateMessage &message);
    QStringList templateAttachments();
    bool resolve(TemplateMessage &message, bool sendAll, QString &problem);
    bool sendOne(TemplateMessage &message);
    bool attachmentsExist(const TemplateMessage &message) const;
    Stored saveAsSent(const TemplateMessage &message);
    void drop(qint32 number);
    static void removeReport(const TemplateMessage &message);
    void afterSend(bool checkOnly);

    std::shared_ptr<host::Errors> m_errors;
    std::shared_ptr<host::Records> m_records;
    std::unique_ptr<mrvTemplate> m_template;
    std::shared_ptr<mrvTemplateFields> m_fields;
    TemplateSendJournal *m_journal = nullptr;
    qint32 m_mode = 1;
    QStringList m_filesToAttach;
    QString m_description;
    QString m_replyToName;
    QString m_replyToAddress;
    QString m_sendAs;
    bool m_sendAsText = false;
    Recipients m_recipients;
    QList<TemplateMessage> m_messages;
    qint32 m_current = 0;
    // The template's own attachments, written out once for all messages;
    // the folder goes when the preview does.
    std::optional<QStringList> m_templateFiles;
    QStringList m_writtenFolders;
};

} // namespace mrv
