#include "SuiteSession.h"

#include "SuiteResources.h"
#include "SuiteRichTextStore.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "facade/ComServer.h"
#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "host/HostServices.h"

namespace mrv::suite {

std::unique_ptr<SuiteSession> SuiteSession::open(const QString &location, const QString &user, const QString &company,
                                                 const QString &pathsRoot)
{
    return open(db::SuiteConnection::connect(location), user, company, pathsRoot);
}

std::unique_ptr<SuiteSession> SuiteSession::open(std::shared_ptr<db::SuiteConnection> connection, const QString &user,
                                                 const QString &company, const QString &pathsRoot)
{
    return std::unique_ptr<SuiteSession>(new SuiteSession(std::move(connection), user, company, pathsRoot));
}

SuiteSession::SuiteSession(std::shared_ptr<db::SuiteConnection> connection, const QString &user, const QString &company,
                           const QString &pathsRoot)
    : m_connection(std::move(connection)), m_users(std::make_shared<SuiteUserManager>(m_connection, user, company)),
      m_config(std::make_shared<SuiteConfig>(m_connection, m_users, QLatin1String(kApplicationName))),
      m_errors(std::make_shared<SuiteErrors>(m_connection, m_users)),
      m_records(std::make_shared<SuiteRecords>(m_connection, m_users, m_config)),
      m_textService(std::make_shared<SuiteTextService>()), m_paths(std::make_shared<SuitePaths>(pathsRoot))
{
    m_connection->setCompanyPrefix(m_users->companyCode() + QLatin1Char('_'));
    installGlobalServices();
    createComponent();
}

std::unique_ptr<ComObject> SuiteSession::createObject(const QString &className) const
{
    void *found = nullptr;
    if (DllGetClassObject(progIdOf(className).toUtf8().constData(), &found) != hresult::ok)
        throw Failure(QStringLiteral("The component's %1 class is not available").arg(className));
    return static_cast<ClassFactory *>(found)->CreateInstance();
}

void SuiteSession::throwWrongClass(const QString &className)
{
    throw Failure(QStringLiteral("The component made an object of the wrong class for %1").arg(className));
}

void SuiteSession::createComponent()
{
    std::unique_ptr<ComObject> object = createObject(QStringLiteral("mrvMessage"));
    m_message.reset(dynamic_cast<mrvMessage *>(object.get()));
    if (!m_message)
        throwWrongClass(QStringLiteral("mrvMessage"));
    object.release();
    m_message->setConnection(m_connection);
    m_message->setUserManager(m_users);
    m_message->setConfigClass(m_config);
    m_message->setRecords(m_records);
    m_message->setErrors(m_errors);
    m_message->setProductName(QStringLiteral("Merovan"));

    std::weak_ptr<mrvMessage> component = m_message;
    m_records->setMessageSender([component](qint32 messageKey, const QVariant &replying, const QVariant &forwarding,
                                            QString &connectLog, qint32 bodyFormat) {
        auto message = component.lock();
        if (!message)
            throw Failure(QStringLiteral("The component is gone"));
        return message->SendMessage(messageKey, {}, {}, {}, {}, {}, {}, {}, replying, forwarding, mstMessage, false,
                                    &connectLog, bodyFormat);
    });
    m_records->setRecipientResolver([component](QWidget *owner, QString &list, const host::RecipientOptions &options) {
        auto message = component.lock();
        if (!message)
            throw Failure(QStringLiteral("The component is gone"));
        QString resolved;
        QString unknown;
        const bool all =
            message->ResolveRecipients(owner, list, resolved, &unknown, options.showSuggestions, options.email,
                                       options.fax, options.addressBookServer, options.useServerConfig);
        // Unknown items stay in the list, after the resolved ones, so that
        // nothing typed is lost; the result tells whether there were any.
        if (!unknown.isEmpty())
            resolved += (resolved.isEmpty() ? QString() : QStringLiteral("; ")) + unknown;
        list = resolved;
        return all;
    });
}

std::shared_ptr<mrvMessage> SuiteSession::message() const
{
    return m_message;
}

SuiteSession::~SuiteSession() = default;

void SuiteSession::installGlobalServices()
{
    host::HostServices services;
    services.valueTools = std::make_shared<db::SqlValueTools>();
    services.textService = m_textService;
    services.pathServices = m_paths;
    services.resources = std::make_shared<SuiteResources>();
    services.screenPointer = m_screenPointer;
    services.richTextStore = std::make_shared<SuiteRichTextStore>(m_connection);
    host::installHostServices(services);
}

void SuiteSession::setScreenPointer(std::shared_ptr<host::ScreenPointer> pointer)
{
    m_screenPointer = std::move(pointer);
    installGlobalServices();
}

std::shared_ptr<db::SuiteConnection> SuiteSession::connection() const
{
    return m_connection;
}

std::shared_ptr<SuiteUserManager> SuiteSession::users() const
{
    return m_users;
}

std::shared_ptr<SuiteConfig> SuiteSession::config() const
{
    return m_config;
}

std::shared_ptr<SuiteErrors> SuiteSession::errors() const
{
    return m_errors;
}

std::shared_ptr<SuiteRecords> SuiteSession::records() const
{
    return m_records;
}

std::shared_ptr<SuiteTextService> SuiteSession::textService() const
{
    return m_textService;
}

std::shared_ptr<SuitePaths> SuiteSession::paths() const
{
    return m_paths;
}

} // namespace mrv::suite
