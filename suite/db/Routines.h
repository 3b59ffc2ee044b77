#pragma once

#include "SchemaCatalog.h"
#include "host/Records.h"
#include "host/StatementBuilder.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace mrv::host {
class RecordSet;
}

namespace mrv::suite::db {

class SuiteConnection;

// A database function of the suite, defined once for every engine as a query
// in the suite's dialect. Parameters are written "@NAME" in the body. An
// engine without functions of its own expands a call "dbo.NAME(a, b)" into
// the body with each parameter replaced by the parenthesised argument text; a
// server engine keeps the function in the database (ServerRoutines.h). A
// scalar function's body is a query of one row and one column.
struct FunctionDef
{
    QString name;
    QList<ColumnDef> parameters;
    bool tableValued = false;
    QString body;

    // Reads the tables ("$P" in the body) or the rows ("$COMPANY") of the
    // current company.
    bool perCompany() const { return body.contains(QLatin1String("$P")) || body.contains(QLatin1String("$COMPANY")); }
    // The parameter that a token of the body names, or -1.
    qsizetype parameterIndex(QStringView token) const;
};

// A procedure of the suite: code that runs on a connection, so it works on
// every engine the connection supports.
using ProcedureBody =
    std::function<std::unique_ptr<host::RecordSet>(SuiteConnection &, const QList<host::ProcedureParameter> &)>;

class RoutineCatalog
{
public:
    void addFunction(FunctionDef function);
    void addProcedure(const QString &name, ProcedureBody body);

    // Names are matched without regard to case, with or without a company prefix.
    const FunctionDef *function(const QString &name) const;
    const ProcedureBody *procedure(const QString &name) const;
    QList<FunctionDef> functions() const { return m_functions.values(); }

    // The suite's standard routines (address book, fax history, list moves).
    static const RoutineCatalog &standard();

private:
    QHash<QString, FunctionDef> m_functions;
    QHash<QString, ProcedureBody> m_procedures;
};

// What XFN_IND_ALL_CHK gives for each of `texts` with these flags, in the
// function's order, by the same rules but with one query for up to 10,000
// texts (Records::searchAddressBook). A text found nowhere is left out.
QHash<QString, QList<host::AddressBookEntry>> searchAddressBook(SuiteConnection &connection, const QStringList &texts,
                                                                bool email, bool fax, bool server);

} // namespace mrv::suite::db
