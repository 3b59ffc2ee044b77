#pragma once

#include "host/Records.h"

#include <QHash>
#include <QObject>
#include <QVariantList>

#include <functional>
#include <memory>

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

// What the suite does with windows and dialogs: the desktop shell answers
// with real ones, the command line and tests with a ScriptedInteraction.
class Interaction
{
public:
    virtual ~Interaction() = default;

    virtual std::optional<host::ChosenRecord> chooseRecord(QWidget *owner, const QString &table,
                                                           const QString &filter) = 0;
    virtual QString editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable) = 0;
    virtual QString fileDialog(qint32 mode, const QString &folder, const QString &fileName, const QString &filter,
                               const QString &defaultExtension) = 0;
    virtual QString chooseRecipients(QWidget *owner, const QString &codeList, const QString &item) = 0;
    virtual void openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key) = 0;
    virtual void showComponentWindow(QWidget *window, QWidget *owner) = 0;
    virtual void refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra) = 0;
    virtual void fillValueList(QObject *combo, const QString &table, const QString &column) = 0;
    virtual void bindList(QObject *grid, const QString &viewOrLayout, const QString &filter) = 0;
};

// The suite's record services. Attachments live in SYS_ATT with their
// contents (ATDAT) and the time they were stored (ATDTI).
// A signal as it travels between clients: its name, the user it concerns
// (the task's assigner, or else whoever raised it) and the message key, when
// it has one.
struct RaisedSignal
{
    QString name;
    QString user;
    QString messageKey;

    QString payload() const;
    static RaisedSignal fromPayload(const QString &payload);
};

class SuiteRecords : public QObject, public host::Records, public std::enable_shared_from_this<SuiteRecords>
{
    Q_OBJECT

public:
    // Sends a stored message through the component; wired by whoever owns
    // the component's facade.
    using MessageSender = std::function<bool(qint32 messageKey, const QVariant &replying, const QVariant &forwarding,
                                             QString &connectLog, qint32 bodyFormat)>;

    // Starts with a ScriptedInteraction holding no answers, so that every
    // dialog is cancelled until the owner installs something better.
    SuiteRecords(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users,
                 std::shared_ptr<host::ConfigClass> config, QObject *parent = nullptr);

    void setInteraction(std::shared_ptr<Interaction> interaction);
    std::shared_ptr<Interaction> interaction() const;
    void setMessageSender(MessageSender sender);
    // Resolves a typed recipient list in place; wired like the sender.
    using RecipientResolver = std::function<bool(QWidget *owner, QString &list, const host::RecipientOptions &options)>;
    void setRecipientResolver(RecipientResolver resolver);
    // How often a signal was raised, for tests and diagnostics.
    qint32 signalCount(const QString &name) const;

    std::shared_ptr<host::Connection> connection() const override;
    std::shared_ptr<host::UserManager> userManager() const override;
    std::shared_ptr<host::ConfigClass> configClass() const override;

    void openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key) override;
    void refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra) override;
    void showComponentWindow(QWidget *window, QWidget *owner) override;
    // The controller comes with this object's connection, configuration and
    // user, and with this object itself when it is owned by a shared_ptr.
    std::shared_ptr<host::DataBound> newDataBound() override;

    // Per-company tables, views and database functions get the company code
    // and "_" in front; so does a name written with a leading "_"
    // ("_CON_TRO_FAX"). Suite-wide and already prefixed names are unchanged.
    QString physicalName(const QString &logicalName, const QString &extra = QString()) const override;
    // A view's title falls back to the title of the table it lists.
    QString objectTitle(const QString &name, qint32 kind) const override;

    std::optional<host::ChosenRecord> chooseRecord(QWidget *owner, const QString &table,
                                                   const QString &filter) override;
    QString editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable) override;
    QString fileDialog(qint32 mode, const QString &folder, const QString &fileName, const QString &filter,
                       const QString &defaultExtension) override;
    // Handed to the resolver installed with setRecipientResolver (the
    // component's facade); Failure when none is installed.
    bool resolveRecipients(QWidget *owner, QString &list, const host::RecipientOptions &options) override;
    QString chooseRecipients(QWidget *owner, const QString &codeList, const QString &item) override;
    // The rules of the connection's company book, a query per 10,000 texts.
    std::optional<QHash<QString, QList<host::AddressBookEntry>>> searchAddressBook(const QStringList &texts, bool email,
                                                                                   bool fax, bool server) override;
    // An empty separator splits at "|", the separator of links and window tags.
    bool splitLink(const QString &link, const QString &separator, QString &table, QString &key) const override;

    bool sendStoredMessage(qint32 messageKey, const QVariant &replying, const QVariant &forwarding, QString &connectLog,
                           qint32 bodyFormat) override;

    // The stored name is the file's name without its folders. Throws Failure
    // when the file cannot be read.
    qint32 addAttachment(const QString &table, const QString &key, const QString &filePath) override;
    // Creates the missing folders of `filePath`; false when the attachment
    // does not exist, Failure when the file cannot be written.
    bool extractAttachment(qint32 attachmentKey, const QString &filePath) override;
    // Returns the new row's key; Failure when the attachment does not exist.
    qint32 copyAttachment(qint32 attachmentKey, const QString &table, const QString &key) override;
    // Afterwards (table, key) owns exactly the listed attachments: its rows
    // not listed are deleted, listed rows of other owners are copied to it.
    void setAttachments(const QString &table, const QString &key, const QList<qint32> &attachmentKeys) override;

    void raiseSignal(const QString &name, const QVariantList &arguments = {}) override;
    void runProcedure(const QString &name) override;

    // The reports of SuiteReports, for the session's company; the suite's
    // reports take no parameters and need no customer. Failure when the
    // report cannot be printed (the file is then left as it was).
    bool printReportToPdf(const QString &table, const QString &reportCode, const QString &keys,
                          const QVariantList &parameters, const QString &customerCode, const QString &path) override;
    // A row of SYS_RPS.
    void registerSentReport(const QString &table, const QString &reportCode, const QString &key,
                            qint32 messageKey) override;

    void fillValueList(QObject *combo, const QString &table, const QString &column) override;
    void bindList(QObject *grid, const QString &viewOrLayout, const QString &filter) override;

Q_SIGNALS:
    void signalRaised(const QString &name, const QVariantList &arguments);

private:
    bool isPerCompany(const QString &name) const;
    QString tableTitle(const QString &name) const;
    qint32 insertAttachment(const QString &table, const QString &key, const QString &name, qint64 size);
    QList<qint32> attachmentsOf(const QString &table, const QString &key) const;

    std::shared_ptr<db::SuiteConnection> m_connection;
    std::shared_ptr<host::UserManager> m_users;
    std::shared_ptr<host::ConfigClass> m_config;
    std::shared_ptr<Interaction> m_interaction;
    MessageSender m_messageSender;
    RecipientResolver m_recipientResolver;
    QHash<QString, qint32> m_signalCounts;
};

} // namespace mrv::suite
