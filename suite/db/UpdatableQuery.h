#pragma once

#include <QString>

namespace mrv::suite::db {

// An updatable record set needs to know which row each of its rows is: the
// query is rewritten to return the row's RECORD_ID under a hidden name
// beside the columns asked for. Only single-table SELECTs qualify; anything
// else (joins, DISTINCT, UNION, grouping) is refused with a Failure.
struct UpdatableQuery
{
    QString query; // the SELECT with the key column added first
    QString table; // the table rows are written back to

    static UpdatableQuery fromSelect(const QString &sql, const QString &keyColumn);
};

} // namespace mrv::suite::db
