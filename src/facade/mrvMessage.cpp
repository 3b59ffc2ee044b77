#include "mrvMessage.h"

#include "Factories.h"
#include "Guard.h"
#include "ScreenPointer.h"
#include "Types.h"
#include "WindowRegistry.h"
#include "Windows.h"
#include "host/Connection.h"
#include "host/DataBound.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"
#include "mail/EmailDispatcher.h"
#include "messages/MessageStore.h"
#include "messages/SendingPipeline.h"
#include "recipients/RecipientResolver.h"

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvMessage");
const QChar kCR(13);

enum class TableKind { Message, Task, Fax, Mailbox, DataBound, Unknown };

TableKind kindOf(const QString &upperTable)
{
    if (upperTable == QLatin1String("SYS_MSG"))
        return TableKind::Message;
    if (upperTable == QLatin1String("SYS_TSK"))
        return TableKind::Task;
    if (upperTable == QLatin1String("SYS_FAX") || upperTable == QLatin1String("AZI_FAX"))
        return TableKind::Fax;
    if (upperTable == QLatin1String("SYS_EXC"))
        return TableKind::Mailbox;
    if (upperTable == QLatin1String("SYS_NTF") || upperTable == QLatin1String("SYS_NTG") ||
        upperTable == QLatin1String("SYS_MST") || upperTable == QLatin1String("SYS_DAT"))
        return TableKind::DataBound;
    return TableKind::Unknown;
}

// Opens a new window of the component: made by its factory and loaded, so
// that GetForms lists it from now on.
template <typename Window> Window *loadWindow(const QString &name = Window::factoryName())
{
    std::unique_ptr<Window> window = Factories::create<Window>(name);
    Window *loaded = window.get();
    WindowRegistry::instance().add(std::move(window));
    return loaded;
}

// Focuses a loaded window with this tag; true when there was one.
bool focusWindowTagged(const QString &tag)
{
    ComponentWindow *window = WindowRegistry::instance().findByTag(tag);
    if (!window)
        return false;
    if (window->isEnabled()) {
        try {
            window->focus();
        } catch (...) {
            // A window that cannot take the focus is still the one asked for.
        }
    }
    return true;
}

QString literal(const QVariant &value, qint32 typeCode = host::tcShortText)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

qint32 numberOf(const QString &text)
{
    return qint32(host::valueTools().toNumber(text));
}

// "AND   (TBNAM = 'CON_TRO' ... OR TBNAM = 'CON_SED')": the owners an address
// or number of a customer may belong to.
QString customerOwnersClause()
{
    return QStringLiteral("AND   (TBNAM = ") + literal(QStringLiteral("CON_TRO")) + kCR +
           QStringLiteral("    OR TBNAM = ") + literal(QStringLiteral("CON_RIF")) + kCR +
           QStringLiteral("    OR TBNAM = ") + literal(QStringLiteral("CON_SED")) + QLatin1Char(')') + kCR;
}

} // namespace

struct mrvMessage::Private
{
    std::shared_ptr<host::Connection> connection;
    std::shared_ptr<host::UserManager> userManager;
    std::shared_ptr<host::ConfigClass> configClass;
    std::shared_ptr<host::Records> records;
    std::shared_ptr<host::Errors> errors;
    QString productName;
    QVariant bookmark;
    QString filterQuery;
    QString fixedKey;
    QString viewName;
    QString orderBy;
    QString param1;
    QString param2;
    QString param3;

    host::Connection &requireConnection() const
    {
        if (!connection)
            throw Failure(QStringLiteral("The Connection object is not set"), 91);
        return *connection;
    }

    host::Records &requireRecords() const { return host::requireRecords(records); }

    template <typename Window> void hostWindow(Window *window) const
    {
        window->setErrors(errors);
        window->setRecords(records);
    }

    bool selectTemplate(QWidget *owner, const QString &tableName, qint32 &templateId, BusyPointer &busy) const
    {
        TemplateSelectWindow *window = loadWindow<TemplateSelectWindow>();
        hostWindow(window);
        busy.release();
        return window->SelectTemplate(owner, tableName, templateId);
    }

    // The first four settings of a listed window, in the order it expects them.
    template <typename Window> void pushListContext(Window *window) const
    {
        hostWindow(window);
        window->setViewName(viewName);
        window->setBookmark(bookmark);
    }

    template <typename Window> void pushOpenContext(Window *window) const
    {
        pushListContext(window);
        window->setFilterQuery(filterQuery);
        window->setOrderBy(orderBy);
    }

    void createMessage(QWidget *owner, TableKind kind) const
    {
        MessageWindow *window = loadWindow<MessageWindow>();
        pushListContext(window);
        const qint32 type = kind == TableKind::Task ? mstTask : mstMessage;
        if (param2.left(7).toLower() == QLatin1String("file://"))
            window->CreateMessage(owner, type, param1, param3, param2.mid(7));
        else if (kind == TableKind::Task)
            window->CreateMessage(owner, mstTask, param1, param2);
        else
            window->CreateMessage(owner, numberOf(param3), param1, param2);
    }

    std::shared_ptr<host::DataBound> newDataBound(const QString &tableName) const
    {
        auto window = loadWindow<DataBoundWindow>(QStringLiteral("frm") + tableName.toUpper());
        std::shared_ptr<host::DataBound> dataBound = requireRecords().newDataBound();
        if (!dataBound)
            throw Failure(QStringLiteral("The host gave no record controller for %1").arg(tableName));
        dataBound->setConnection(connection);
        dataBound->setConfigClass(configClass);
        dataBound->setUserManager(userManager);
        dataBound->setRecords(records);
        dataBound->setErrors(errors);
        dataBound->setTableName(tableName);
        dataBound->setViewName(viewName);
        dataBound->setFixedKey(fixedKey);
        dataBound->setProductName(productName);
        dataBound->setFilterQuery(filterQuery);
        dataBound->setOrderBy(orderBy);
        dataBound->setBookmark(bookmark);
        dataBound->setParam(1, param1);
        dataBound->setParam(2, param2);
        dataBound->setParam(3, param3);
        dataBound->setKeepBookmark(false);
        dataBound->setForm(window);
        window->setController(dataBound);
        return dataBound;
    }

    void openStoredMessage(QWidget *owner, const QString &key, qint32 type, bool unloadOnFailure) const
    {
        MessageWindow *window = loadWindow<MessageWindow>();
        pushOpenContext(window);
        if (!window->OpenMessage(owner, key, type, QVariant()) && unloadOnFailure)
            WindowRegistry::instance().remove(window);
    }

    void openFax(QWidget *owner, const QString &key) const
    {
        FaxWindow *window = loadWindow<FaxWindow>();
        pushOpenContext(window);
        window->OpenFax(owner, key);
    }

    // Reads one field of the first row of a read-only query; nothing when no row.
    std::optional<QVariant> firstField(const QString &sql, const QString &field) const
    {
        auto set = requireConnection().open(sql, host::rsReadOnly);
        if (set->eof())
            return std::nullopt;
        const QVariant value = set->field(field);
        set->close();
        return value;
    }

    // The text service translates and fills the message itself.
    void showMessage(const QString &text, const QString &value) const
    {
        host::textService().messageBox(text, {value}, host::mbOkOnly | host::mbExclamation, QString());
    }
};

mrvMessage::mrvMessage() : d(std::make_unique<Private>()) {}

mrvMessage::~mrvMessage() = default;

std::shared_ptr<host::Connection> mrvMessage::Connection() const
{
    return d->connection;
}
void mrvMessage::setConnection(std::shared_ptr<host::Connection> connection)
{
    d->connection = std::move(connection);
}
std::shared_ptr<host::UserManager> mrvMessage::UserManager() const
{
    return d->userManager;
}
void mrvMessage::setUserManager(std::shared_ptr<host::UserManager> userManager)
{
    d->userManager = std::move(userManager);
}
std::shared_ptr<host::ConfigClass> mrvMessage::ConfigClass() const
{
    return d->configClass;
}
void mrvMessage::setConfigClass(std::shared_ptr<host::ConfigClass> configClass)
{
    d->configClass = std::move(configClass);
}
std::shared_ptr<host::Records> mrvMessage::Records() const
{
    return d->records;
}
void mrvMessage::setRecords(std::shared_ptr<host::Records> records)
{
    d->records = std::move(records);
}
std::shared_ptr<host::Errors> mrvMessage::Errors() const
{
    return d->errors;
}
void mrvMessage::setErrors(std::shared_ptr<host::Errors> errors)
{
    d->errors = std::move(errors);
}

QString mrvMessage::ProductName() const
{
    return d->productName;
}
void mrvMessage::setProductName(const QString &value)
{
    d->productName = value;
}
QVariant mrvMessage::Bookmark() const
{
    return d->bookmark;
}
void mrvMessage::setBookmark(const QVariant &value)
{
    d->bookmark = value;
}
QString mrvMessage::FilterQuery() const
{
    return d->filterQuery;
}
void mrvMessage::setFilterQuery(const QString &value)
{
    d->filterQuery = value;
}
QString mrvMessage::FixedKey() const
{
    return d->fixedKey;
}
void mrvMessage::setFixedKey(const QString &value)
{
    d->fixedKey = value;
}
QString mrvMessage::ViewName() const
{
    return d->viewName;
}
void mrvMessage::setViewName(const QString &value)
{
    d->viewName = value;
}
QString mrvMessage::OrderBy() const
{
    return d->orderBy;
}
void mrvMessage::setOrderBy(const QString &value)
{
    d->orderBy = value;
}
QString mrvMessage::Param1() const
{
    return d->param1;
}
void mrvMessage::setParam1(const QString &value)
{
    d->param1 = value;
}
QString mrvMessage::Param2() const
{
    return d->param2;
}
void mrvMessage::setParam2(const QString &value)
{
    d->param2 = value;
}
QString mrvMessage::Param3() const
{
    return d->param3;
}
void mrvMessage::setParam3(const QString &value)
{
    d->param3 = value;
}

QList<ComponentWindow *> mrvMessage::GetForms()
{
    return guarded(d->errors.get(), kObjectName, "GetForms", QList<ComponentWindow *>(),
                   [] { return WindowRegistry::instance().windows(); });
}

bool mrvMessage::UnloadForms()
{
    return guarded(d->errors.get(), kObjectName, "UnloadForms", false, [] {
        WindowRegistry &registry = WindowRegistry::instance();
        for (ComponentWindow *window : registry.windows()) {
            const qsizetype before = registry.count();
            try {
                window->hide();
                window->unload();
            } catch (...) {
                // A window failing to close is judged by the count below.
            }
            if (registry.count() >= before)
                break;
        }
        return registry.count() == 0;
    });
}

QString mrvMessage::NewRecord(QWidget *fOwner, const QString &sTableName, bool bModalForm, const QString &)
{
    return guarded(d->errors.get(), kObjectName, "NewRecord", QString(), [&] {
        BusyPointer busy;
        const TableKind kind = kindOf(sTableName.toUpper());
        switch (kind) {
        case TableKind::Message:
        case TableKind::Task:
        case TableKind::Fax:
            d->createMessage(fOwner, kind);
            return QString();
        case TableKind::DataBound: {
            auto dataBound = d->newDataBound(sTableName);
            if (bModalForm)
                busy.release();
            return dataBound->newRecord(fOwner, bModalForm, false);
        }
        default:
            return QString();
        }
    });
}

bool mrvMessage::OpenRecord(QWidget *fOwner, const QString &sTableName, const QString &sKeysValue, bool bModalForm,
                            bool bPasteRecord, bool bCutRecord, QVariant *vGetDataBound)
{
    return guarded(d->errors.get(), kObjectName, "OpenRecord", false, [&] {
        BusyPointer busy;
        if (!bModalForm && focusWindowTagged(sTableName + QLatin1Char('|') + sKeysValue))
            return true;
        switch (kindOf(sTableName.toUpper())) {
        case TableKind::Message:
            d->openStoredMessage(fOwner, sKeysValue, numberOf(d->param3), false);
            return false;
        case TableKind::Mailbox:
            d->openStoredMessage(fOwner, sKeysValue, mstEmail, true);
            return false;
        case TableKind::Fax:
            d->openFax(fOwner, sKeysValue);
            return false;
        case TableKind::DataBound: {
            auto dataBound = d->newDataBound(sTableName);
            busy.release();
            const bool wantController = vGetDataBound && host::valueTools().toBoolean(*vGetDataBound);
            const bool opened =
                dataBound->openRecord(fOwner, sKeysValue, bModalForm, bPasteRecord, bCutRecord, wantController);
            if (wantController)
                *vGetDataBound = QVariant::fromValue(dataBound);
            return opened;
        }
        default:
            return false;
        }
    });
}

bool mrvMessage::ResolveRecipients(QWidget *fOwner, const QString &sRecipients, QString &sRecipients_Resolved,
                                   QString *sRecipients_Unknown, bool bShowSuggestions, bool bEmail, bool bFax,
                                   bool bAddressBookServer, bool bUseServerConfig)
{
    QString unknown = sRecipients_Unknown ? *sRecipients_Unknown : QString();
    const bool resolved = guarded(d->errors.get(), kObjectName, "ResolveRecipients", false, [&] {
        BusyPointer busy;
        RecipientResolver resolver(d->requireConnection(), d->configClass.get(), d->requireRecords());
        RecipientResolver::Options options;
        options.showSuggestions = bShowSuggestions;
        options.email = bEmail;
        options.fax = bFax;
        options.addressBookServer = bAddressBookServer;
        options.useServerConfig = bUseServerConfig;
        return resolver.resolve(fOwner, sRecipients, sRecipients_Resolved, unknown, options);
    });
    if (sRecipients_Unknown)
        *sRecipients_Unknown = unknown;
    return resolved;
}

QString mrvMessage::mrvCheckRecipients(QWidget *fOwner, const QString &sCodeList, const QString &sLookFor)
{
    return guarded(d->errors.get(), kObjectName, "mrvCheckRecipients", QString(), [&] {
        BusyPointer busy;
        AddressBookWindow *window = loadWindow<AddressBookWindow>();
        d->hostWindow(window);
        return window->CheckRecipients(fOwner, sCodeList, sLookFor);
    });
}

bool mrvMessage::SendMessage(qint32 lSentMessageID, const QString &sObject, const QString &sTextRTF, const QString &sTo,
                             const QString &sCc, const QString &sCcn, const QString &sLink,
                             const QString &sAttachmentsList, const QVariant &vReplying, const QVariant &vForwarding,
                             qint32 lMessageType, bool bTextIsHTML, QString *sConnectLog, qint32 iMessageBodyFormat)
{
    QString log;
    const bool sent = guarded(d->errors.get(), kObjectName, "SendMessage", false, [&] {
        BusyPointer busy;
        if (!d->userManager)
            throw Failure(QStringLiteral("The UserManager object is not set"), 91);
        OutgoingMessage message;
        message.sentMessageId = lSentMessageID;
        message.subject = sObject;
        message.body = sTextRTF;
        message.to = sTo;
        message.cc = sCc;
        message.ccn = sCcn;
        message.link = sLink;
        message.attachments = sAttachmentsList;
        message.replying = vReplying;
        message.forwarding = vForwarding;
        message.messageType = lMessageType;
        message.bodyIsHtml = bTextIsHTML;
        message.bodyFormat = iMessageBodyFormat;
        EmailDispatcher dispatcher(d->connection, d->configClass, d->userManager, d->records, d->errors);
        SendingPipeline pipeline(d->requireConnection(), d->configClass.get(), *d->userManager, d->requireRecords(),
                                 [&dispatcher](const OutgoingEmail &email, QString &connectLog) {
                                     return dispatcher.SendEmail(email, connectLog);
                                 });
        return pipeline.send(message, log);
    });
    if (sConnectLog)
        *sConnectLog = log;
    return sent;
}

void mrvMessage::ChangeMessageStatus(qint32 RecordID, qint32 NewStatus)
{
    guardedVoid(d->errors.get(), kObjectName, "ChangeMessageStatus",
                [&] { MessageStore(d->requireConnection(), d->configClass.get()).setStatus(RecordID, NewStatus); });
}

void mrvMessage::ChangeFaxStatus(qint32 RecordID, bool Readed)
{
    guardedVoid(d->errors.get(), kObjectName, "ChangeFaxStatus", [&] {
        auto set = d->requireConnection().open(QStringLiteral("SELECT FXSTA FROM SYS_FAX WHERE RECORD_ID = ") +
                                                   QString::number(RecordID),
                                               host::rsUpdatable);
        set->setField(QStringLiteral("FXSTA"), Readed);
        set->update();
        set->close();
    });
}

QString mrvMessage::mrvLinkEmail(QWidget *fOwner, const QString &sEmailAddress)
{
    return guarded(d->errors.get(), kObjectName, "mrvLinkEmail", QString(), [&] {
        BusyPointer busy;
        const QString sql = QStringLiteral("SELECT TOP 1 TBNAM, TBKEY") + kCR + QStringLiteral("FROM ") +
                            d->requireRecords().physicalName(QStringLiteral("IND_WEB")) + kCR +
                            QStringLiteral("WHERE WBTIP = ") + literal(QStringLiteral("E")) + kCR +
                            customerOwnersClause() + QStringLiteral("AND   WBIND = ") + literal(sEmailAddress) + kCR;
        auto set = d->requireConnection().open(sql, host::rsReadOnly);
        if (set->eof()) {
            set->close();
            CustomerLinkWindow *window = loadWindow<CustomerLinkWindow>();
            d->hostWindow(window);
            busy.release();
            return window->LinkEmail(fOwner, sEmailAddress);
        }
        const QString owner = set->field(QStringLiteral("TBNAM")).toString();
        const QString key = set->field(QStringLiteral("TBKEY")).toString();
        set->close();
        if (owner == QLatin1String("CON_TRO"))
            return key;
        const auto customer =
            d->firstField(QStringLiteral("SELECT CDCON FROM ") + d->requireRecords().physicalName(owner) + kCR +
                              QStringLiteral("WHERE RECORD_ID = ") + key,
                          QStringLiteral("CDCON"));
        return customer ? customer->toString() : QString();
    });
}

bool mrvMessage::mrvLinkFax(QWidget *fOwner, const QString &sFaxNumber, const QString &sCON_TRO)
{
    return guarded(d->errors.get(), kObjectName, "mrvLinkFax", false, [&] {
        BusyPointer busy;
        const QString sql = QStringLiteral("SELECT TOP 1 TBNAM, TBKEY") + kCR + QStringLiteral("FROM ") +
                            d->requireRecords().physicalName(QStringLiteral("NUM_TEL")) + kCR +
                            QStringLiteral("WHERE NRDES LIKE ") + literal(QStringLiteral("%fax%")) + kCR +
                            customerOwnersClause() + QStringLiteral("AND   NRTEL = ") + literal(sFaxNumber) + kCR +
                            QStringLiteral("AND   TBKEY = ") + literal(sCON_TRO) + kCR;
        auto set = d->requireConnection().open(sql, host::rsReadOnly);
        const bool known = !set->eof();
        set->close();
        if (known)
            return true;
        CustomerLinkWindow *window = loadWindow<CustomerLinkWindow>();
        d->hostWindow(window);
        busy.release();
        return window->LinkFax(fOwner, sFaxNumber, sCON_TRO);
    });
}

bool mrvMessage::mrvShowMessageHistory(QWidget *fOwner, const QString &sTable, const QString &sKey,
                                       const QString &sViewName, const QString &sDescription)
{
    return guarded(d->errors.get(), kObjectName, "mrvShowMessageHistory", false, [&] {
        BusyPointer busy;
        if (focusWindowTagged(QStringLiteral("frm_mrvHistory|") + sTable + QLatin1Char('|') + sKey))
            return true;
        HistoryWindow *window = loadWindow<HistoryWindow>();
        // This window takes Records first.
        window->setRecords(d->records);
        window->setErrors(d->errors);
        return window->ShowHistory(fOwner, sTable, sKey, sViewName, sDescription);
    });
}

void mrvMessage::mrvShowAddressBook(QWidget *fOwner, const QString &, const QString &)
{
    guardedVoid(d->errors.get(), kObjectName, "mrvShowAddressBook", [&] {
        BusyPointer busy;
        AddressBookWindow *window = loadWindow<AddressBookWindow>();
        d->hostWindow(window);
        window->ShowAddressBook(fOwner);
    });
}

QString mrvMessage::mrvSelectAddressBook(QWidget *fOwner, const QString &sFilter, const QString &sFixedFilter)
{
    return guarded(d->errors.get(), kObjectName, "mrvSelectAddressBook", QString(), [&] {
        BusyPointer busy;
        AddressBookWindow *window = loadWindow<AddressBookWindow>();
        d->hostWindow(window);
        return window->SelectAddressBook(fOwner, sFilter, sFixedFilter);
    });
}

bool mrvMessage::mrvSelectRecipients(QWidget *fOwner, QString *sTo, QString *sCc, QString *sCcn, qint32 iDefaultField,
                                     bool bEmail, bool bFax, bool bUseServerConfig, bool bShowToOnly,
                                     const QString &sCustomerCode)
{
    return guarded(d->errors.get(), kObjectName, "mrvSelectRecipients", false, [&] {
        BusyPointer busy;
        QString to = sTo ? *sTo : QString();
        QString cc = sCc ? *sCc : QString();
        QString ccn = sCcn ? *sCcn : QString();
        AddressBookWindow *window = loadWindow<AddressBookWindow>();
        d->hostWindow(window);
        const bool chosen = window->SelectRecipients(fOwner, to, cc, ccn, iDefaultField, bEmail, bFax, bUseServerConfig,
                                                     bShowToOnly, sCustomerCode);
        for (auto [target, value] : {std::pair{sTo, &to}, std::pair{sCc, &cc}, std::pair{sCcn, &ccn}}) {
            if (target)
                *target = *value;
        }
        return chosen;
    });
}

bool mrvMessage::mrvSelectTemplate(QWidget *fOwner, const QString &sTableName, qint32 &lTemplateId)
{
    return guarded(d->errors.get(), kObjectName, "mrvSelectTemplate", false, [&] {
        BusyPointer busy;
        return d->selectTemplate(fOwner, sTableName, lTemplateId, busy);
    });
}

void mrvMessage::mrvPreviewTemplate(QWidget *fOwner, const QString &sTableName, const QString &sKeysList,
                                    const QString &sKeysSep, qint32 iMode, const QString &sFilesToAttach)
{
    guardedVoid(d->errors.get(), kObjectName, "mrvPreviewTemplate", [&] {
        BusyPointer busy;
        qint32 templateId = 0;
        // Not through mrvSelectTemplate: a selection window that cannot open
        // is this operation's failure, not a table without templates.
        if (d->selectTemplate(fOwner, sTableName, templateId, busy)) {
            std::unique_ptr<TemplateObject> filler = Factories::create<TemplateObject>(TemplateObject::factoryName());
            filler->setErrors(d->errors);
            filler->setRecords(d->records);
            auto fields = filler->ParseFromList(templateId, sTableName, sKeysList, sKeysSep);
            if (!fields || fields->Count() < 1) {
                const QVariant description =
                    d->requireConnection().lookup(QStringLiteral("SYS_MST"), QStringLiteral("RECORD_ID"), templateId,
                                                  host::kkNumber, QStringLiteral("MTDES"));
                d->showMessage(QStringLiteral("Il Template \"@1\" non ha prodotto nessun risultato!"),
                               description.toString());
            } else {
                filler->ShowPreview(fOwner, fields, iMode, sFilesToAttach);
            }
        } else if (templateId == 0) {
            const QVariant description = d->requireConnection().lookup(
                QStringLiteral("SYS_TBL"), QStringLiteral("TBNAM"), sTableName, host::kkText, QStringLiteral("TBDES"));
            d->showMessage(QStringLiteral("Nessun Template disponibile per la tabella @1!"), description.toString());
        }
    });
}

bool mrvMessage::mrvShowEmailConfig(QWidget *fOwner, const QString &sConfigurationPrefix,
                                    const QString &sConfigurationFlag,
                                    std::shared_ptr<EmailParamsObject> *objEmailParams)
{
    return guarded(d->errors.get(), kObjectName, "mrvShowEmailConfig", false, [&] {
        BusyPointer busy;
        std::shared_ptr<EmailParamsObject> params =
            Factories::create<EmailParamsObject>(EmailParamsObject::factoryName());
        if (objEmailParams)
            *objEmailParams = params;
        params->setErrors(d->errors);
        params->setRecords(d->records);
        params->LoadConfig(sConfigurationPrefix);
        const bool shown = params->ShowConfig(fOwner);
        params->SaveConfig(sConfigurationPrefix, sConfigurationFlag);
        return shown;
    });
}

} // namespace mrv
