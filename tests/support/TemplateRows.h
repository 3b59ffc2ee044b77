#pragma once

#include "facade/ComObject.h"

#include <QList>
#include <QString>

#include <memory>

namespace mrv::suite::db {
class SuiteConnection;
}

namespace mrv::testing {

std::unique_ptr<ComObject> createThroughEntryPoints(const QString &className);

// A public class of the component made the way a host makes it, through the
// entry points ("MerovanComMessage." + name); null when it is not available.
template <typename T> std::unique_ptr<T> createPublic(const QString &className)
{
    std::unique_ptr<ComObject> made = createThroughEntryPoints(className);
    std::unique_ptr<T> typed(dynamic_cast<T *>(made.get()));
    if (typed)
        made.release();
    return typed;
}

// Rows of the template tables that a test needs, written through the suite.
// Each returns the new row's key.
qint32 addDataset(suite::db::SuiteConnection &connection, const QString &table, const QString &query,
                  const QString &customerColumn = QString(), const QString &printTable = QString());
qint32 addTemplate(suite::db::SuiteConnection &connection, const QString &body, const QList<qint32> &datasets);

} // namespace mrv::testing
