#pragma once

#include "facade/ComObject.h"
#include "facade/Windows.h"

#include <QString>

#include <memory>

namespace mrv {

namespace host {
class ConfigClass;
class Errors;
class Records;
} // namespace host

// One e-mail account of the configuration: the sender, the incoming and the
// outgoing server. Loaded from and saved to the host's ConfigClass, per
// company when "EMAIL_CONFIG_FOR_FIRM" is 1 or under an explicit prefix.
class mrvEmailParams : public EmailParamsObject, public ComObject
{
public:
    QString Name;
    QString Email;
    qint32 ServerType_In = 0;
    QString ServerName_In;
    qint32 ServerPort_In = 0;
    bool ServerSSL_In = false;
    qint32 ServerAuth_In = 0;
    QString User_In;
    QString Password_In;
    qint32 ServerType_Out = 0;
    QString ServerName_Out;
    qint32 ServerPort_Out = 0;
    bool ServerSSL_Out = false;
    bool StartTLS_Out = false;
    qint32 ServerAuth_Out = 0;
    QString User_Out;
    QString Password_Out;

    // OAuth 2: a command that prints an access token for the incoming or
    // outgoing server ("EMAIL_IN_TOKEN_COMMAND", "EMAIL_OUT_TOKEN_COMMAND"
    // under the account's prefix). Loaded with the account but not among its
    // fields: the integrator sets them in the configuration, and SaveConfig
    // leaves them as they are.
    QString tokenCommandIn() const { return m_tokenCommandIn; }
    QString tokenCommandOut() const { return m_tokenCommandOut; }

    std::shared_ptr<host::Records> Records() const;
    void setRecords(std::shared_ptr<host::Records> records) override;
    void setErrors(std::shared_ptr<host::Errors> errors) override;

    void LoadConfig(const QString &sConfigurationPrefix = QString()) override;
    void SaveConfig(const QString &sConfigurationPrefix = QString(),
                    const QString &sConfigurationFlag = QStringLiteral("G")) override;
    bool ShowConfig(QWidget *fOwner) override;

    // The prefix every key gets: the explicit one (with "_"), or the company
    // code and "_" when "EMAIL_CONFIG_FOR_FIRM" is 1, or nothing.
    QString effectivePrefix(const QString &sConfigurationPrefix) const;
    // The account saved under `prefix` ("" or ending in "_"), from a
    // configuration given directly.
    void loadAccount(const host::ConfigClass &configuration, const QString &prefix);

private:
    host::ConfigClass &config() const;

    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
    QString m_tokenCommandIn;
    QString m_tokenCommandOut;
};

// "frm_mrvEmailParams": the account wizard.
class EmailParamsWizard : public HostedWindow
{
public:
    static QString factoryName() { return QStringLiteral("frm_mrvEmailParams"); }

    virtual void setEmailParams(mrvEmailParams *params) = 0;
    virtual bool ShowEmailConfig(QWidget *owner) = 0;
};

} // namespace mrv
