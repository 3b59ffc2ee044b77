#pragma once

#include "TestDatabase.h"

#include <QString>
#include <QVariantList>

#include <memory>

namespace mrv::suite {
class SuiteUserManager;
namespace db {
class SuiteConnection;
}
} // namespace mrv::suite

namespace mrv::testing {

// A suite database of its own (TestDatabase): the whole schema for
// the companies "A01" and "B02", three users ("BIANCHI", "ROSSI", "VERDI";
// ROSSI and VERDI in group "VEN"), and the global host services installed
// (the suite's value tools, text service, paths under the folder, resources).
// Throws Failure when the database cannot be made.
class ServicesTestDatabase
{
public:
    ServicesTestDatabase();
    ~ServicesTestDatabase();

    QString folder() const { return m_database.folder(); }
    // The database's location (a file, or a server's URL).
    QString databasePath() const { return m_database.location(); }
    std::shared_ptr<suite::db::SuiteConnection> connection() const { return m_connection; }
    std::shared_ptr<suite::SuiteUserManager> users(const QString &user = QStringLiteral("ROSSI"),
                                                   const QString &company = QStringLiteral("A01")) const;

    // The first column of the first row of an engine-native query, invalid when
    // none.
    QVariant scalar(const QString &sql, const QVariantList &values = {}) const;

private:
    TestDatabase m_database{QStringLiteral("suite")};
    std::shared_ptr<suite::db::SuiteConnection> m_connection;
};

} // namespace mrv::testing
