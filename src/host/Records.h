#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class QObject;
class QWidget;

namespace mrv::host {

class Connection;
class ConfigClass;
class DataBound;
class UserManager;

// What the host's record chooser returns.
struct ChosenRecord
{
    QString key;
    QString text;
};

// Options of the host's recipient resolution (the counterpart of
// mrvMessage::ResolveRecipients).
struct RecipientOptions
{
    bool showSuggestions = false;
    bool email = true;
    bool fax = true;
    bool addressBookServer = false;
    bool useServerConfig = false;
};

// An address-book entry found for a searched text: the recipient text to
// use (IND of "XFN_IND_ALL_CHK") and the entry's code (COD).
struct AddressBookEntry
{
    QString address;
    QString code;
};

// The host's record services lent to the component.
class Records
{
public:
    virtual ~Records() = default;

    virtual std::shared_ptr<Connection> connection() const = 0;
    virtual std::shared_ptr<UserManager> userManager() const = 0;
    virtual std::shared_ptr<ConfigClass> configClass() const = 0;

    // Windows.
    virtual void openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key) = 0;
    virtual void refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra) = 0;
    virtual void showComponentWindow(QWidget *window, QWidget *owner) = 0;
    // A new record-form controller for a data-bound window.
    virtual std::shared_ptr<DataBound> newDataBound() = 0;

    // Names: the physical name of a logical table, view or function for the
    // current company ("IND_WEB" -> "A01_IND_WEB"); suite-wide names come back unchanged.
    virtual QString physicalName(const QString &logicalName, const QString &extra = QString()) const = 0;
    // The title of a view (kind 4) or table, empty when it has none.
    virtual QString objectTitle(const QString &name, qint32 kind) const = 0;

    // Dialogs.
    virtual std::optional<ChosenRecord> chooseRecord(QWidget *owner, const QString &table, const QString &filter) = 0;
    virtual QString editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable) = 0;
    // mode 2 open, 3 save; empty when cancelled.
    virtual QString fileDialog(qint32 mode, const QString &folder, const QString &fileName, const QString &filter,
                               const QString &defaultExtension) = 0;

    // Recipients: resolves `list` in place; true when every item was found.
    virtual bool resolveRecipients(QWidget *owner, QString &list, const RecipientOptions &options) = 0;
    // The recipient chooser: the candidate address-book codes (quoted text
    // literals separated by ","; empty when none matched) and the typed item;
    // returns the chosen recipients text, empty when nothing was chosen.
    virtual QString chooseRecipients(QWidget *owner, const QString &codeList, const QString &item) = 0;
    // The entries "XFN_IND_ALL_CHK" gives for each of `texts` with these
    // flags, in its order, all searched at once: resolving the lists of
    // thousands of messages would otherwise call the function once per item.
    // A text found nowhere has no entries. nullopt when the host cannot
    // search in bulk; the caller then calls the function for each text.
    virtual std::optional<QHash<QString, QList<AddressBookEntry>>> searchAddressBook(const QStringList &texts,
                                                                                     bool email, bool fax, bool server);
    // Splits "table|key" at the separator; false when there is no separator.
    virtual bool splitLink(const QString &link, const QString &separator, QString &table, QString &key) const = 0;

    // Sends the stored message `messageKey` through the component's pipeline.
    virtual bool sendStoredMessage(qint32 messageKey, const QVariant &replying, const QVariant &forwarding,
                                   QString &connectLog, qint32 bodyFormat) = 0;

    // Attachments (rows of SYS_ATT with their contents). Keys are RECORD_IDs.
    virtual qint32 addAttachment(const QString &table, const QString &key, const QString &filePath) = 0;
    virtual bool extractAttachment(qint32 attachmentKey, const QString &filePath) = 0;
    virtual qint32 copyAttachment(qint32 attachmentKey, const QString &table, const QString &key) = 0;
    virtual void setAttachments(const QString &table, const QString &key, const QList<qint32> &attachmentKeys) = 0;

    // Signals to the other clients of the suite: "#NewMessage#" (no
    // arguments) and "#TaskNotification#" (user code, message key).
    virtual void raiseSignal(const QString &name, const QVariantList &arguments = {}) = 0;

    // Runs a database procedure of the suite (for example "XSC_IND_ALL_LST").
    virtual void runProcedure(const QString &name) = 0;

    // Reports.
    virtual bool printReportToPdf(const QString &table, const QString &reportCode, const QString &keys,
                                  const QVariantList &parameters, const QString &customerCode, const QString &path) = 0;
    virtual void registerSentReport(const QString &table, const QString &reportCode, const QString &key,
                                    qint32 messageKey) = 0;

    // Lists bound to widgets of the component's windows.
    virtual void fillValueList(QObject *combo, const QString &table, const QString &column) = 0;
    virtual void bindList(QObject *grid, const QString &viewOrLayout, const QString &filter) = 0;
};

// The Records object a component object was given, and the connection it
// lends; each throws Failure 91 (object not set) when the host gave none.
Records &requireRecords(const std::shared_ptr<Records> &records);
Connection &requireConnection(const std::shared_ptr<Records> &records);

} // namespace mrv::host
