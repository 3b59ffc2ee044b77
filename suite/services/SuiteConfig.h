#pragma once

#include "db/ContentVersion.h"
#include "host/ConfigClass.h"

#include <QHash>

#include <memory>
#include <optional>

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
//
// Sending one e-mail reads some twenty keys. The values that apply to the
// current user are read in one query and kept until the connection's
// content may have changed: a write of its own to the table, a commit of
// another connection.
class SuiteConfig : public host::ConfigClass
{
public:
    // `application` names this program among the suite's ("mrv"); `users`
    // gives the current user of per-user values.
    SuiteConfig(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users,
                const QString &application);

    QString value(const QString &key, const QString &defaultValue = QString()) const override;
    void setValue(const QString &key, const QString &value, bool perUser = false, bool perApplication = false,
                  bool createMissing = true) override;

    QString application() const;

private:
    // The values that apply to one user, by key folded to upper case.
    struct Snapshot
    {
        db::ContentVersion version;
        QString user;
        QHash<QString, QString> values;
    };

    QString currentUser() const;
    const Snapshot &currentSnapshot() const;

    std::shared_ptr<db::SuiteConnection> m_connection;
    std::shared_ptr<host::UserManager> m_users;
    QString m_application;
    mutable std::optional<Snapshot> m_snapshot;
};

} // namespace mrv::suite
