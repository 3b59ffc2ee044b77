#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace mrv::suite::db {

class SuiteConnection;

struct Company
{
    QString code; // letters and digits, a letter first: it prefixes object names
    QString name;
};

// Builds the database the schema catalog describes, on the connection's
// engine, and brings older databases up to date. Every operation runs in one
// transaction: it either completes or leaves the database as it found it.
class SchemaManager
{
public:
    // An empty database: every suite-wide object once, the per-company ones
    // for each company, the reference data and the version. Throws Failure
    // when the database already holds a schema.
    static void create(SuiteConnection &connection, const QList<Company> &companies);

    // Any older database, any number of times: creates what is missing
    // (tables, columns, indexes), rebuilds the views, runs the data steps of
    // the versions in between and completes the reference data. Throws
    // Failure for a database newer than this program.
    static void upgrade(SuiteConnection &connection);

    // Registers the company (or renames it) and creates what it lacks.
    static void addCompany(SuiteConnection &connection, const QString &code, const QString &name);

    // 0 for a database without a schema.
    static int installedVersion(SuiteConnection &connection);

    // The codes of SYS_AZI, in code order.
    static QStringList companyCodes(SuiteConnection &connection);

    // "A01" gives "A01_". Throws Failure for a code that cannot prefix names.
    static QString companyPrefix(const QString &code);
};

} // namespace mrv::suite::db
