#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace mrv::suite::db {

// Column types of the catalog. Every table's key is an identity column
// RECORD_ID, added by the DDL generator (not listed among the columns).
enum class ColumnType {
    SmallInt,  // type code 1
    Integer,   // type code 2
    BigInt,
    Double,    // amounts
    DateTime,  // type code 6
    Boolean,   // type code 7, stored as 1/0
    Text,      // type code 12, `length` characters
    LongText,  // type codes 0 and 8
    Blob,      // file contents
};

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Text;
    int length = 0;          // Text only
    QString defaultValue;    // an SQL literal of the suite's dialect, or empty
};

struct IndexDef
{
    QStringList columns;
    bool unique = false;
};

// Suite-wide objects keep their name; per-company objects are created once
// per company with the company code and "_" in front of the name.
enum class Scope { Suite, Company };

struct TableDef
{
    QString name;
    Scope scope = Scope::Suite;
    QList<ColumnDef> columns;
    QList<IndexDef> indexes;
    // The schema version that introduced the table (for upgrades).
    int since = 1;
};

// A view's query is written in the suite's dialect; in per-company views
// (and suite views reading per-company tables of one company) the text
// "$P" stands for the company prefix ("A01_").
struct ViewDef
{
    QString name;
    Scope scope = Scope::Suite;
    QString query;
};

class SchemaCatalog
{
public:
    // The current schema version: bump it whenever a table, column, index or
    // view changes, and add the matching step to SchemaManager's upgrades.
    static int version();

    static const QList<TableDef> &tables();
    static const QList<ViewDef> &views();

    static const TableDef *table(const QString &name);
};

} // namespace mrv::suite::db
