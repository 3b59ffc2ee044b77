#pragma once

#include "Engine.h"

#include <QString>

namespace mrv::suite::db {

class RoutineCatalog;
class SuiteConnection;

// On an engine that keeps the suite's routines in the database, creates them
// there under the schema "dbo", so that every program reading the database
// calls the same code: with an empty prefix the suite-wide ones
// ("dbo.xfn_msg_fax_get", "dbo.sys_xsp_sys_mov_rec"), with a company's prefix
// that company's ("dbo.a01_xfn_ind_all_cnt", "dbo.a01_xsc_ind_all_lst").
// Safe to run again: an upgrade replaces what it finds.
void installServerRoutines(SuiteConnection &connection, const QString &prefix);

// Creates one function of the catalog on the server, under the prefix;
// functions it calls must exist there already.
void installServerFunction(SuiteConnection &connection, const QString &prefix, const RoutineCatalog &catalog,
                           const QString &name);

// The server's procedures, called as the suite's routines are.

// Next and previous key around `bookmark` (NULL when unknown) in the list,
// a query translated for the server: one row, NEXT and PREV, 0 for none.
QueryResult callServerMove(SuiteConnection &connection, const QString &list, const QVariant &bookmark);
// Rebuilds the current company's address book.
void callServerAddressBookRefresh(SuiteConnection &connection);

} // namespace mrv::suite::db
