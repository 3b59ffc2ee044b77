#pragma once

#include "Engine.h"

#include <QString>

namespace mrv::suite::db {

class SuiteConnection;

// Runs a batch of the suite's dialect as SQL Server runs one: statements
// follow one another with or without ";", and "DECLARE @NAME TYPE" and
// "SET @NAME = expression" hold values that the statements after them use.
// A variable is a literal of its value by the time a statement reaches the
// engine, so the batch runs on every engine the dialect translates for.
// Other SET statements (session options such as NOCOUNT) change nothing
// here and are skipped. Returns the rows of the last statement; throws
// Failure with the engine's message, or for a variable used undeclared.
QueryResult runBatch(SuiteConnection &connection, const QString &batch);

} // namespace mrv::suite::db
