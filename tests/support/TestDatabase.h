#pragma once

#include <QString>
#include <QTemporaryDir>

namespace mrv::testing {

// An empty database of a test's own, on the engine the run is for: an
// SQLite file in a temporary folder, or, when MRV_TEST_DATABASE is
// "postgresql", a new database on the server at MRV_TEST_POSTGRES_URL
// (scripts/test.sh starts one), dropped afterwards. Throws Failure when it
// cannot be made: a run meant for a server never falls back to a file.
class TestDatabase
{
public:
    explicit TestDatabase(const QString &name = QStringLiteral("test"));
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // What SuiteConnection::connect opens: a file path or a URL.
    QString location() const { return m_location; }
    // A temporary folder of the test's own, for files beside the database.
    QString folder() const { return m_dir.path(); }

    static bool onServer();
    // The engine's name as SuiteConnection::engine() gives it.
    static QString engine();
    // Native statements after which every INSERT into the table fails with
    // the message, as a database that refuses a row does.
    static QStringList refusingInserts(const QString &table, const QString &message);
    // On the server: native statements after which an INSERT into the table
    // makes the server end the session, as a restart in mid-statement does.
    static QStringList endingTheSessionOnInsert(const QString &table);

private:
    QTemporaryDir m_dir;
    QString m_location;
    QString m_serverDatabase;
};

} // namespace mrv::testing
