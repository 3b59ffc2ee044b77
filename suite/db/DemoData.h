#pragma once

#include <QString>

namespace mrv::suite::db {

class SuiteConnection;

// A believable Italian suite to try the component on: two companies, users
// and groups, customers with contacts, branches, e-mail addresses and fax
// numbers, agents and sales documents. The data is the same on every run.
class DemoData
{
public:
    // Loads the demo suite into a database created by SchemaManager; false
    // (and nothing written) when it already holds users or companies.
    static bool seed(SuiteConnection &connection);

    // Adds `count` generated customers to a company, each with a contact,
    // e-mail addresses and a fax number, every third with a branch; then
    // refreshes the company's address book. For benchmarks.
    static void addCustomers(SuiteConnection &connection, const QString &company, int count);

    static QString firstCompany();
};

} // namespace mrv::suite::db
