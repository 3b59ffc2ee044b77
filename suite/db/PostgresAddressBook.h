#pragma once

#include <QString>

namespace mrv::suite::db {

// The statement that creates (or replaces) the company's address-book
// refresh as a PostgreSQL procedure, dbo.<prefix>xsc_ind_all_lst(), e.g.
// "CALL dbo.a01_xsc_ind_all_lst()" for the prefix "A01_".
QString postgresAddressBookRefresh(const QString &companyPrefix);

} // namespace mrv::suite::db
