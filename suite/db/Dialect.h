#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace mrv::suite::db {

class RoutineCatalog;
struct ColumnDef;
struct SqlToken;

// What a translation needs to know about the connection it runs on.
struct TranslationContext
{
    // The key of the last successful INSERT on this connection, whatever
    // table; "SCOPE_IDENTITY()" becomes this literal (NULL when none).
    std::optional<qint64> scopeIdentity;
    // Database functions called as "dbo.NAME(...)" are expanded from here.
    const RoutineCatalog *routines = nullptr;
    // Company prefix ("A01_") for per-company routines called without one.
    QString companyPrefix;
};

// The suite's SQL (SQL Server's dialect, as the component writes it) adapted
// to one engine. Translation works on tokens: string literals, quoted
// identifiers and comments are never changed.
class Dialect
{
public:
    virtual ~Dialect() = default;

    virtual QString name() const = 0;
    virtual QString translate(const QString &sql, const TranslationContext &context) const = 0;
    // The same for one statement already split into tokens (SqlTokenizer).
    virtual QString translate(QList<SqlToken> tokens, const TranslationContext &context) const = 0;

    // DDL pieces for the schema catalog.
    virtual QString columnType(const ColumnDef &column) const = 0;
    virtual QString identityColumn(const QString &name) const = 0;
    // Statements that make the engine ready for the schema, each safe to run
    // again (a database upgraded runs them once more).
    virtual QStringList schemaPreamble() const { return {}; }
    // The engine keeps the suite's routines in the database, where other
    // programs call them too (ServerRoutines.h), rather than having this
    // process expand or run them.
    virtual bool storesRoutines() const { return false; }

    // Statements that make every insert, update and delete on a company's
    // table (`objectName`, holding `columns`) write a row to the change table
    // SYS_NTL while a notification of the company watches that kind of
    // change on the table (its state neither 0 nor 3), replacing what an
    // earlier schema made: columns may have changed since.
    virtual QStringList changeCapture(const QString &company, const QString &table, const QString &objectName,
                                      const QStringList &columns) const = 0;
};

// The kinds of change a notification on a table runs on (NTEXE, NLEXE).
enum class ChangeKind : int { Insert = 1, Update = 2, Delete = 3 };

std::unique_ptr<Dialect> makeSqliteDialect();
std::unique_ptr<Dialect> makePostgresDialect();

} // namespace mrv::suite::db
