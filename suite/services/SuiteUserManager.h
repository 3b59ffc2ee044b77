#pragma once

#include "host/UserManager.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

struct SuiteUser
{
    QString code;
    QString name;
};

struct SuiteGroup
{
    QString code;
    QString description;
};

// The logged-in user and the company worked in, checked against the suite's
// tables when the session starts so that a mistyped code fails at once rather
// than on the first message written for nobody.
class SuiteUserManager : public host::UserManager
{
public:
    // An empty user or company code picks the first one by code, which is
    // what a single-user installation wants. Throws Failure when the user is
    // not in SYS_USR or the company not in SYS_AZI.
    SuiteUserManager(std::shared_ptr<db::SuiteConnection> connection, const QString &userCode,
                     const QString &companyCode);

    QString userCode() const override;
    QString userName() const override;
    QString companyCode() const override;

    QList<SuiteUser> users() const;
    QList<SuiteGroup> groups() const;
    // The user codes of a group's members, by code.
    QStringList members(const QString &groupCode) const;

private:
    std::shared_ptr<db::SuiteConnection> m_connection;
    QString m_userCode;
    QString m_userName;
    QString m_companyCode;
};

} // namespace mrv::suite
