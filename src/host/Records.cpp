#include "Records.h"

#include "Failure.h"

namespace mrv::host {

std::optional<QHash<QString, QList<AddressBookEntry>>> Records::searchAddressBook(const QStringList &, bool, bool, bool)
{
    return std::nullopt;
}

Records &requireRecords(const std::shared_ptr<Records> &records)
{
    if (!records)
        throw Failure(QStringLiteral("The Records object is not set"), 91);
    return *records;
}

Connection &requireConnection(const std::shared_ptr<Records> &records)
{
    auto connection = requireRecords(records).connection();
    if (!connection)
        throw Failure(QStringLiteral("The host has no database connection"), 91);
    return *connection;
}

} // namespace mrv::host
