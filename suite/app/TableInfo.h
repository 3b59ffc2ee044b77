#pragma once

#include "db/Engine.h"

#include <QString>

namespace mrv::suite {
class SuiteSession;
}

namespace mrv::suite::app {

// What the shell needs to know of a table of the suite, from its catalog.

// The table a view lists ("SYS_MSG_INB" lists "SYS_MSG"); a table is its own.
QString tableOf(const QString &tableOrView);
// The column users know a record by: the table's single-column unique key
// ("CDCON", "CDUSR", "TBNAM"), else RECORD_ID.
QString keyColumnOf(const QString &table);
// The first text column after the key, which describes a record.
QString textColumnOf(const QString &table);
// The column's Italian caption, else its name.
QString captionOf(const QString &table, const QString &column);

// A value of a row read, by column name in any case (engines spell the
// columns of "SELECT *" their own way); invalid when there is none.
QVariant fieldOf(const db::QueryResult &result, int row, const QString &column);

// Every column of the record whose key column (keyColumnOf) holds `key`, in
// the session's company; no row when there is none.
db::QueryResult readRecord(SuiteSession &session, const QString &table, const QString &key);

} // namespace mrv::suite::app
