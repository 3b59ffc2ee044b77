#pragma once

#include "ComObject.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class QWidget;

namespace mrv {

namespace host {
class Connection;
class ConfigClass;
class DataBound;
class Errors;
class Records;
class UserManager;
} // namespace host

class ComponentWindow;
class EmailParamsObject;

// The component's public entry class. The host hands it its five host
// objects and a few context strings, then calls it to open record windows by
// table name, change the read state of messages and faxes, resolve typed
// recipients and open the auxiliary windows. Every operation runs inside the
// error trap: failures are reported through Errors ("mrvMessage" and the
// operation's name) and the operation returns False or an empty string.
class mrvMessage : public ComObject
{
public:
    mrvMessage();
    ~mrvMessage() override;

    // Host objects, set by reference.
    std::shared_ptr<host::Connection> Connection() const;
    void setConnection(std::shared_ptr<host::Connection> connection);
    std::shared_ptr<host::UserManager> UserManager() const;
    void setUserManager(std::shared_ptr<host::UserManager> userManager);
    std::shared_ptr<host::ConfigClass> ConfigClass() const;
    void setConfigClass(std::shared_ptr<host::ConfigClass> configClass);
    std::shared_ptr<host::Records> Records() const;
    void setRecords(std::shared_ptr<host::Records> records);
    std::shared_ptr<host::Errors> Errors() const;
    void setErrors(std::shared_ptr<host::Errors> errors);

    // Context passed on to the windows.
    QString ProductName() const;
    void setProductName(const QString &value);
    QVariant Bookmark() const;
    void setBookmark(const QVariant &value);
    QString FilterQuery() const;
    void setFilterQuery(const QString &value);
    QString FixedKey() const;
    void setFixedKey(const QString &value);
    QString ViewName() const;
    void setViewName(const QString &value);
    QString OrderBy() const;
    void setOrderBy(const QString &value);
    QString Param1() const;
    void setParam1(const QString &value);
    QString Param2() const;
    void setParam2(const QString &value);
    QString Param3() const;
    void setParam3(const QString &value);

    // Windows.
    QList<ComponentWindow *> GetForms();
    bool UnloadForms();
    QString NewRecord(QWidget *fOwner, const QString &sTableName, bool bModalForm = false,
                      const QString &sFixedKey = QString());
    // vGetDataBound: when it holds True on entry, it receives the data-bound
    // record controller (a std::shared_ptr<host::DataBound>) on return.
    bool OpenRecord(QWidget *fOwner, const QString &sTableName, const QString &sKeysValue, bool bModalForm = false,
                    bool bPasteRecord = false, bool bCutRecord = false, QVariant *vGetDataBound = nullptr);

    // Recipients.
    bool ResolveRecipients(QWidget *fOwner, const QString &sRecipients, QString &sRecipients_Resolved,
                           QString *sRecipients_Unknown = nullptr, bool bShowSuggestions = false, bool bEmail = true,
                           bool bFax = true, bool bAddressBookServer = false, bool bUseServerConfig = false);
    QString mrvCheckRecipients(QWidget *fOwner, const QString &sCodeList, const QString &sLookFor);

    // Delivers a message to its users and groups, fax numbers and e-mail
    // addresses; with lSentMessageID <= 0 the sender's copy is written first
    // from the other arguments.
    bool SendMessage(qint32 lSentMessageID, const QString &sObject = QString(), const QString &sTextRTF = QString(),
                     const QString &sTo = QString(), const QString &sCc = QString(), const QString &sCcn = QString(),
                     const QString &sLink = QString(), const QString &sAttachmentsList = QString(),
                     const QVariant &vReplying = QVariant(), const QVariant &vForwarding = QVariant(),
                     qint32 lMessageType = 0, bool bTextIsHTML = false, QString *sConnectLog = nullptr,
                     qint32 iMessageBodyFormat = 1);

    // Stored messages and faxes.
    void ChangeMessageStatus(qint32 RecordID, qint32 NewStatus);
    void ChangeFaxStatus(qint32 RecordID, bool Readed);

    // Customers.
    QString mrvLinkEmail(QWidget *fOwner, const QString &sEmailAddress);
    bool mrvLinkFax(QWidget *fOwner, const QString &sFaxNumber, const QString &sCON_TRO);

    // Auxiliary windows.
    bool mrvShowMessageHistory(QWidget *fOwner, const QString &sTable, const QString &sKey, const QString &sViewName,
                               const QString &sDescription);
    void mrvShowAddressBook(QWidget *fOwner, const QString &sFilter = QString(),
                            const QString &sFixedFilter = QString());
    QString mrvSelectAddressBook(QWidget *fOwner, const QString &sFilter = QString(),
                                 const QString &sFixedFilter = QString());
    bool mrvSelectRecipients(QWidget *fOwner, QString *sTo = nullptr, QString *sCc = nullptr, QString *sCcn = nullptr,
                             qint32 iDefaultField = 1, bool bEmail = true, bool bFax = true,
                             bool bUseServerConfig = false, bool bShowToOnly = false,
                             const QString &sCustomerCode = QString());
    bool mrvSelectTemplate(QWidget *fOwner, const QString &sTableName, qint32 &lTemplateId);
    void mrvPreviewTemplate(QWidget *fOwner, const QString &sTableName, const QString &sKeysList,
                            const QString &sKeysSep = QStringLiteral(","), qint32 iMode = 1,
                            const QString &sFilesToAttach = QString());
    bool mrvShowEmailConfig(QWidget *fOwner, const QString &sConfigurationPrefix = QString(),
                            const QString &sConfigurationFlag = QStringLiteral("G"),
                            std::shared_ptr<EmailParamsObject> *objEmailParams = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace mrv

Q_DECLARE_METATYPE(std::shared_ptr<mrv::host::DataBound>)
