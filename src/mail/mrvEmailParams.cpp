#include "mrvEmailParams.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/WindowRegistry.h"
#include "host/ConfigClass.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

#include <functional>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvEmailParams");

// One field of the account: its key after the prefix, its default and how it
// converts between the configuration's text and the field.
struct Field
{
    const char *key;
    const char *defaultValue;
    std::function<void(mrvEmailParams &, const QString &)> load;
    std::function<QString(const mrvEmailParams &)> save;
};

Field text(const char *key, QString mrvEmailParams::*member)
{
    return {key, "", [member](mrvEmailParams &p, const QString &v) { p.*member = v; },
            [member](const mrvEmailParams &p) { return p.*member; }};
}

Field number(const char *key, const char *defaultValue, qint32 mrvEmailParams::*member)
{
    return {key, defaultValue,
            [member](mrvEmailParams &p, const QString &v) { p.*member = qint32(host::valueTools().toNumber(v)); },
            [member](const mrvEmailParams &p) { return QString::number(p.*member); }};
}

Field flag(const char *key, bool mrvEmailParams::*member)
{
    return {key, "0", [member](mrvEmailParams &p, const QString &v) { p.*member = host::valueTools().toBoolean(v); },
            [member](const mrvEmailParams &p) { return (p.*member) ? QStringLiteral("-1") : QStringLiteral("0"); }};
}

// In the order the account is read and written.
const QList<Field> &fields()
{
    using P = mrvEmailParams;
    static const QList<Field> list = {
        text("EMAIL_NAME", &P::Name),
        text("EMAIL", &P::Email),
        number("EMAIL_IN_TYPE", "0", &P::ServerType_In),
        text("EMAIL_IN_SERVER", &P::ServerName_In),
        number("EMAIL_IN_PORT", "0", &P::ServerPort_In),
        flag("EMAIL_IN_SSL", &P::ServerSSL_In),
        number("EMAIL_IN_AUTH", "0", &P::ServerAuth_In),
        text("EMAIL_IN_USER", &P::User_In),
        text("EMAIL_IN_PASS", &P::Password_In),
        number("EMAIL_OUT_TYPE", "0", &P::ServerType_Out),
        text("EMAIL_OUT_SERVER", &P::ServerName_Out),
        number("EMAIL_OUT_PORT", "0", &P::ServerPort_Out),
        flag("EMAIL_OUT_SSL", &P::ServerSSL_Out),
        flag("EMAIL_OUT_STARTTLS", &P::StartTLS_Out),
        number("EMAIL_OUT_AUTH", "1", &P::ServerAuth_Out),
        text("EMAIL_OUT_USER", &P::User_Out),
        text("EMAIL_OUT_PASS", &P::Password_Out),
    };
    return list;
}

const bool registered = [] {
    Factories::add(EmailParamsObject::factoryName(), [] { return std::make_unique<mrvEmailParams>(); });
    return true;
}();

} // namespace

std::shared_ptr<host::Records> mrvEmailParams::Records() const
{
    return m_records;
}

void mrvEmailParams::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void mrvEmailParams::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

host::ConfigClass &mrvEmailParams::config() const
{
    if (!m_records)
        throw Failure(QStringLiteral("The Records object is not set"), 91);
    auto config = m_records->configClass();
    if (!config)
        throw Failure(QStringLiteral("The host has no configuration"), 91);
    return *config;
}

QString mrvEmailParams::effectivePrefix(const QString &sConfigurationPrefix) const
{
    QString prefix = sConfigurationPrefix;
    if (prefix.isEmpty() && host::valueTools().toNumber(
                                config().value(QStringLiteral("EMAIL_CONFIG_FOR_FIRM"), QStringLiteral("0"))) == 1) {
        auto users = m_records->userManager();
        if (!users)
            throw Failure(QStringLiteral("The host has no current company"), 91);
        prefix = users->companyCode() + QLatin1Char('_');
    }
    if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('_')))
        prefix += QLatin1Char('_');
    return prefix;
}

void mrvEmailParams::LoadConfig(const QString &sConfigurationPrefix)
{
    guardedVoid(m_errors.get(), kObjectName, "LoadConfig",
                [&] { loadAccount(config(), effectivePrefix(sConfigurationPrefix)); });
}

void mrvEmailParams::loadAccount(const host::ConfigClass &configuration, const QString &prefix)
{
    for (const Field &field : fields())
        field.load(*this, configuration.value(prefix + QLatin1String(field.key), QLatin1String(field.defaultValue)));
    m_tokenCommandIn = configuration.value(prefix + QStringLiteral("EMAIL_IN_TOKEN_COMMAND"));
    m_tokenCommandOut = configuration.value(prefix + QStringLiteral("EMAIL_OUT_TOKEN_COMMAND"));
}

void mrvEmailParams::SaveConfig(const QString &sConfigurationPrefix, const QString &sConfigurationFlag)
{
    guardedVoid(m_errors.get(), kObjectName, "SaveConfig", [&] {
        const QString prefix = effectivePrefix(sConfigurationPrefix);
        const bool perUser = sConfigurationFlag == QLatin1String("U");
        const bool perApplication = sConfigurationFlag == QLatin1String("A");
        host::ConfigClass &configuration = config();
        for (const Field &field : fields())
            configuration.setValue(prefix + QLatin1String(field.key), field.save(*this), perUser, perApplication, true);
    });
}

bool mrvEmailParams::ShowConfig(QWidget *fOwner)
{
    return guarded(m_errors.get(), kObjectName, "ShowConfig", false, [&] {
        std::unique_ptr<EmailParamsWizard> wizard =
            Factories::create<EmailParamsWizard>(EmailParamsWizard::factoryName());
        EmailParamsWizard *loaded = wizard.get();
        WindowRegistry::instance().add(std::move(wizard));
        loaded->setEmailParams(this);
        return loaded->ShowEmailConfig(fOwner);
    });
}

} // namespace mrv
