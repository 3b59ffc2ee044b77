#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

// Thrown for a command line that cannot be understood; the programs print
// the text with their usage and exit with 2.
struct UsageError
{
    QString message;
};

// Which database a program works on, and as whom: the options every program
// of the suite takes (--db, --url, --user, --company).
struct SessionOptions
{
    QString databasePath; // --db
    QString url;          // --url, or MRV_DATABASE_URL
    QString user;         // --user
    QString company;      // --company

    // Takes the four options out of args. Without --db and --url the
    // environment's MRV_DATABASE_URL applies, and else the demo database.
    // Throws UsageError for an empty value, both --db and --url, or a URL
    // that names no PostgreSQL server.
    static SessionOptions take(QStringList &args);

    // The database to open: the server's URL, or else the file.
    QString location() const { return url.isEmpty() ? databasePath : url; }
    // The same as shown to users: a URL without its password.
    QString shownLocation() const;

    // The connection, with the company prefix of --company (or of the first
    // company) set. Throws Failure when the file does not exist (only "mrv
    // init" creates one), holds no mrv schema or one newer than this program.
    std::shared_ptr<db::SuiteConnection> openConnection(bool readOnly = false) const;
};

// The default database: the demo database in the user's data folder.
QString defaultDatabasePath();

// Takes "--name VALUE" out of args; empty when absent. Throws UsageError
// when the option is given without a value.
QString takeOption(QStringList &args, const QString &name);
bool takeFlag(QStringList &args, const QString &name);

} // namespace mrv::suite
