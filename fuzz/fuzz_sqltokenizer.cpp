// libFuzzer target for the SQL dialect's tokenizer and the translations for
// SQLite and PostgreSQL.
// Not part of the default build; build and run it by hand from the
// repository root, for example:
//
//   clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DQT_NO_KEYWORDS \
//       -Isrc -Isuite $(pkg-config --cflags Qt6Core) fuzz/fuzz_sqltokenizer.cpp \
//       suite/db/SqlTokenizer.cpp suite/db/Dialects.cpp suite/db/Routines.cpp \
//       $(pkg-config --libs Qt6Core) -o /tmp/fuzz_sqltokenizer
//   /tmp/fuzz_sqltokenizer -max_len=4096
//
// Any input must come back whole from the tokenizer, and translation must
// either give a text or refuse with Failure: never crash, hang or throw
// anything else.

#include "db/Dialect.h"
#include "db/Routines.h"
#include "db/SqlTokenizer.h"
#include "host/Failure.h"

#include <cstdlib>

using namespace mrv;
using namespace mrv::suite::db;

namespace {

RoutineCatalog fuzzRoutines()
{
    RoutineCatalog routines;
    FunctionDef scalar;
    scalar.name = QStringLiteral("XFN_ONE");
    scalar.parameters = {ColumnDef{QStringLiteral("@A")}};
    scalar.body = QStringLiteral("SELECT TOP 1 X FROM $PT WHERE Y = @A");
    routines.addFunction(scalar);
    FunctionDef table;
    table.name = QStringLiteral("XFN_TWO");
    table.parameters = {ColumnDef{QStringLiteral("@A")}, ColumnDef{QStringLiteral("@B"), ColumnType::Integer}};
    table.tableValued = true;
    table.body = QStringLiteral("SELECT * FROM dbo.XFN_TWO(@B, @A) UNION SELECT dbo.XFN_ONE(@A)");
    routines.addFunction(table);
    return routines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const RoutineCatalog routines = fuzzRoutines();
    static const std::unique_ptr<Dialect> dialects[] = {makeSqliteDialect(), makePostgresDialect()};

    const QString sql = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<SqlToken> tokens = tokenizeSql(sql);
    QString joined;
    for (const SqlToken &token : tokens)
        joined += token.text;
    if (joined != sql)
        std::abort();
    const QList<QList<SqlToken>> statements = splitStatements(tokens);

    TranslationContext context;
    context.routines = &routines;
    context.companyPrefix = QStringLiteral("A01_");
    for (const QList<SqlToken> &statement : statements) {
        for (const std::unique_ptr<Dialect> &dialect : dialects) {
            try {
                dialect->translate(statement, context);
            } catch (const Failure &) {
            }
        }
    }
    return 0;
}
