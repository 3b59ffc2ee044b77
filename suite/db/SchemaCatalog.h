#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace mrv::suite::db {

// Column types of the catalog. Every table's key is an identity column
// RECORD_ID, added by the DDL generator (not listed among the columns).
enum class ColumnType {
    SmallInt, // type code 1
    Integer,  // type code 2
    BigInt,
    Double,   // amounts
    DateTime, // type code 6
    Boolean,  // type code 7, stored as 1/0
    Text,     // type code 12, `length` characters
    // Text kept in a normal form (lower case) and compared byte for byte,
    // so that an index serves equality and prefix ranges on every engine.
    SearchKey,
    LongText, // type codes 0 and 8
    Blob,     // file contents
};

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Text;
    int length = 0;       // Text only
    QString defaultValue; // an SQL literal of the suite's dialect, or empty
    QString caption;      // Italian, for the field dictionary; empty for internal columns
    bool nullable = true; // a NOT NULL column needs a default, or upgrades cannot add it
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
    // Italian title, written to the table dictionary SYS_TBL.
    QString caption;
    // Offered to users as the table of datasets and notifications, with its
    // fields described in the field dictionary SYS_GRD_GRD.
    bool userVisible = false;
};

// A view's query is written in the suite's dialect; in per-company views
// (and suite views reading per-company tables of one company) the text
// "$P" stands for the company prefix ("A01_").
struct ViewDef
{
    QString name;
    Scope scope = Scope::Suite;
    QString query;
    QString caption; // Italian title, written to SYS_TBL
};

class SchemaCatalog
{
public:
    // The current schema version: bump it whenever a table, column, index or
    // view changes, and add the matching step to SchemaManager's upgrades.
    static int version();

    static const QList<TableDef> &tables();
    static const QList<ViewDef> &views();

    // Logical names, without regard to case; null when the catalog has none.
    static const TableDef *table(const QString &name);
    static const ViewDef *view(const QString &name);
};

} // namespace mrv::suite::db
