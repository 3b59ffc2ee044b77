#pragma once

#include "ComponentWindow.h"
#include "host/DataBound.h"

#include <QVariant>

#include <memory>

namespace mrv {

namespace host {
class Connection;
class Errors;
class Records;
class UserManager;
} // namespace host

class MessageWindowController;

// What the facade calls on the windows and helper classes it opens. The
// windows live in the window library and register their factories under
// the names below; the facade knows them only through these interfaces.

// Windows that receive the host's Errors and Records before anything else.
class HostedWindow : public ComponentWindow
{
public:
    virtual void setErrors(std::shared_ptr<host::Errors> errors) = 0;
    virtual void setRecords(std::shared_ptr<host::Records> records) = 0;
};

// Windows that list their record within a view: context pushed by the facade.
class ListedWindow : public HostedWindow
{
public:
    virtual void setViewName(const QString &viewName) = 0;
    virtual void setBookmark(const QVariant &bookmark) = 0;
    virtual void setFilterQuery(const QString &filter) = 0;
    virtual void setOrderBy(const QString &orderBy) = 0;
};

// "frmSYS_MSG"
class MessageWindow : public ListedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frmSYS_MSG"); }

    virtual void CreateMessage(QWidget *owner, qint32 messageType, const QString &recipients, const QString &link,
                               const QString &attachmentPath = QString(), qint32 messageId = 0) = 0;
    // True when the stored item could be shown.
    virtual bool OpenMessage(QWidget *owner, const QString &messageId, qint32 messageType, const QVariant &focus) = 0;
    // What a second window of the same kind reaches through a new instance
    // (a reply prepared by the window that shows the message answered).
    virtual MessageWindowController *controller() { return nullptr; }
};

// "frmCheckNumber": confirms a fax number typed for a new fax.
class NumberCheckWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frmCheckNumber"); }

    virtual void setConnection(std::shared_ptr<host::Connection> connection) = 0;
    virtual void setUserManager(std::shared_ptr<host::UserManager> userManager) = 0;
    // The recipient text for the number, empty when the user gave up.
    virtual QString CheckNumber(QWidget *owner, const QString &number) = 0;
};

// "frmSYS_FAX"
class FaxWindow : public ListedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frmSYS_FAX"); }

    virtual void OpenFax(QWidget *owner, const QString &key) = 0;
};

// "frm_mrvHistory"
class HistoryWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvHistory"); }

    virtual bool ShowHistory(QWidget *owner, const QString &table, const QString &key, const QString &viewName,
                             const QString &description) = 0;
};

// "frm_mrvAddressBook"
class AddressBookWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvAddressBook"); }

    virtual void ShowAddressBook(QWidget *owner) = 0;
    virtual QString SelectAddressBook(QWidget *owner, const QString &filter, const QString &fixedFilter) = 0;
    virtual bool SelectRecipients(QWidget *owner, QString &to, QString &cc, QString &ccn, qint32 defaultField,
                                  bool email, bool fax, bool useServerConfig, bool showToOnly,
                                  const QString &customerCode) = 0;
    virtual QString CheckRecipients(QWidget *owner, const QString &codeList, const QString &lookFor) = 0;
};

// "frm_mrvLink_CON_TRO"
class CustomerLinkWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvLink_CON_TRO"); }

    virtual QString LinkEmail(QWidget *owner, const QString &emailAddress) = 0;
    virtual bool LinkFax(QWidget *owner, const QString &faxNumber, const QString &customerCode) = 0;
};

// "frm_mrvTemplate_Select"
class TemplateSelectWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvTemplate_Select"); }

    virtual bool SelectTemplate(QWidget *owner, const QString &tableName, qint32 &templateId) = 0;
};

// "frmSYS_NTF", "frmSYS_NTG", "frmSYS_MST", "frmSYS_DAT": windows driven by a
// host DataBound.
class DataBoundWindow : public ComponentWindow, public host::DataBoundForm
{
public:
    QWidget *widget() override { return nullptr; }

    // The window keeps its record controller alive as long as it is loaded.
    void setController(std::shared_ptr<host::DataBound> controller) { m_controller = std::move(controller); }
    std::shared_ptr<host::DataBound> controller() const { return m_controller; }

private:
    std::shared_ptr<host::DataBound> m_controller;
};

// The parsed fields of a template, as far as the facade looks at them.
class TemplateFieldsObject
{
public:
    virtual ~TemplateFieldsObject() = default;
    virtual qint32 Count() const = 0;
};

// "mrvTemplate": parses a template for keys and shows the preview.
class TemplateObject : public ComponentObject
{
public:
    static QString factoryName() { return QStringLiteral("mrvTemplate"); }

    virtual void setErrors(std::shared_ptr<host::Errors> errors) = 0;
    virtual void setRecords(std::shared_ptr<host::Records> records) = 0;
    virtual std::shared_ptr<TemplateFieldsObject> ParseFromList(qint32 templateId, const QString &tableName,
                                                                const QString &keys, const QString &separator) = 0;
    virtual void ShowPreview(QWidget *owner, std::shared_ptr<TemplateFieldsObject> fields, qint32 mode,
                             const QString &filesToAttach) = 0;
};

// "frm_mrvTemplate_Preview": the messages of a parsed template, to check
// and send.
class TemplatePreviewWindow : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvTemplate_Preview"); }

    virtual void ShowTemplatePreview(QWidget *owner, std::shared_ptr<TemplateFieldsObject> fields, qint32 mode,
                                     const QString &filesToAttach) = 0;
};

// "mrvEmailParams": one e-mail account of the configuration.
class EmailParamsObject : public ComponentObject
{
public:
    static QString factoryName() { return QStringLiteral("mrvEmailParams"); }

    virtual void setErrors(std::shared_ptr<host::Errors> errors) = 0;
    virtual void setRecords(std::shared_ptr<host::Records> records) = 0;
    virtual void LoadConfig(const QString &prefix) = 0;
    virtual bool ShowConfig(QWidget *owner) = 0;
    virtual void SaveConfig(const QString &prefix, const QString &flag) = 0;
};

} // namespace mrv
