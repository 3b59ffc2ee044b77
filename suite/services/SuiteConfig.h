#pragma once

#include "host/ConfigClass.h"

#include <memory>

namespace mrv::host {
class UserManager;
}

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

// The configuration store of the suite, table SYS_CFG. A value is global,
// per application, per user, or per user within one application; a read
// takes the most specific one (see docs/configuration.md, "Scopes").
class SuiteConfig : public host::ConfigClass
{
public:
    // `application` names this program among the suite's ("mrv"); `users`
    // gives the current user of per-user values.
    SuiteConfig(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users,
                const QString &application);

    QString value(const QString &key, const QString &defaultValue = QString()) const override;
    void setValue(const QString &key, const QString &value, bool perUser = false, bool perApplication = false) override;

    QString application() const;

private:
    QString currentUser() const;

    std::shared_ptr<db::SuiteConnection> m_connection;
    std::shared_ptr<host::UserManager> m_users;
    QString m_application;
};

} // namespace mrv::suite
