#pragma once

#include <QtGlobal>

namespace mrv::suite::db {

// Moves whenever what a connection reads from one table may have changed:
// with every write of its own to the table (or to a table it cannot name),
// and with every commit of another connection. Small tables read over and
// over (configuration) are cached against it.
struct ContentVersion
{
    quint64 ownWrites = 0;
    qint64 othersCommits = -1;
    bool operator==(const ContentVersion &) const = default;
};

} // namespace mrv::suite::db
