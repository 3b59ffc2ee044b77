#pragma once

#include <QList>
#include <QString>

namespace mrv::suite::db {
class SuiteConnection;
}

namespace mrv::testing {

// Rows of the template tables that a test needs, written through the suite.
// Each returns the new row's key.
qint32 addDataset(suite::db::SuiteConnection &connection, const QString &table, const QString &query,
                  const QString &customerColumn = QString(), const QString &printTable = QString());
qint32 addTemplate(suite::db::SuiteConnection &connection, const QString &body, const QList<qint32> &datasets);

} // namespace mrv::testing
