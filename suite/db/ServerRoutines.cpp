#include "ServerRoutines.h"

#include "Dialect.h"
#include "PostgresAddressBook.h"
#include "Routines.h"
#include "SqlTokenizer.h"
#include "SuiteConnection.h"

namespace mrv::suite::db {

namespace {

// Dollar quotes around routine bodies: no body of the catalog contains the tag.
const QString bodyQuote = QStringLiteral("$mrv_routine$");

// A parameter "@TEXT" is "p_text" on the server: a name no column of the
// schema has, so that the body's column names keep their meaning.
QString serverParameterName(const ColumnDef &parameter)
{
    QString name = parameter.name.toLower();
    return QStringLiteral("p_") + name.remove(u'@');
}

// The body in the server's SQL, its parameters named as the function's.
QString serverBody(const SuiteConnection &connection, const RoutineCatalog &catalog, const FunctionDef &function,
                   const QString &prefix)
{
    QList<SqlToken> tokens = tokenizeSql(function.body);
    for (SqlToken &token : tokens) {
        const qsizetype index = token.kind == SqlToken::Kind::Identifier ? function.parameterIndex(token.text) : -1;
        if (index >= 0)
            token.text = serverParameterName(function.parameters.at(index));
    }
    return connection.dialect().translate(tokens, {std::nullopt, &catalog, prefix});
}

QString parameterList(const Dialect &dialect, const FunctionDef &function, bool withTypes)
{
    QStringList parameters;
    for (const ColumnDef &parameter : function.parameters) {
        parameters << serverParameterName(parameter) + (withTypes ? u' ' + dialect.columnType(parameter) : QString());
    }
    return parameters.join(QStringLiteral(", "));
}

// The columns of the body's result with their server types ("hstyp citext,
// ..."), read off a view of the body applied to typed NULL arguments.
QString resultColumns(SuiteConnection &connection, const FunctionDef &function, const QString &body)
{
    QStringList arguments;
    for (const ColumnDef &parameter : function.parameters) {
        arguments << QStringLiteral("CAST(NULL AS %1) AS %2")
                         .arg(connection.dialect().columnType(parameter), serverParameterName(parameter));
    }
    const QString view = QStringLiteral("mrv_routine_shape");
    connection.nativeQuery(QStringLiteral("CREATE TEMPORARY VIEW %1 AS SELECT mrv_body.* FROM (SELECT %2) "
                                          "mrv_arguments CROSS JOIN LATERAL (%3) mrv_body")
                               .arg(view, arguments.join(QStringLiteral(", ")), body));
    const QueryResult columns = connection.nativeQuery(
        QStringLiteral("SELECT quote_ident(attname) || ' ' || format_type(atttypid, atttypmod) FROM pg_attribute "
                       "WHERE attrelid = 'pg_temp.%1'::regclass AND attnum > 0 ORDER BY attnum")
            .arg(view));
    connection.nativeQuery(QStringLiteral("DROP VIEW pg_temp.") + view);
    return firstColumnOf(columns).join(QStringLiteral(", "));
}

void createFunction(SuiteConnection &connection, const RoutineCatalog &catalog, const FunctionDef &function,
                    const QString &prefix)
{
    const QString name = QStringLiteral("dbo.") + prefix + function.name;
    const QString body = serverBody(connection, catalog, function, prefix);
    const QString columns = resultColumns(connection, function, body);
    // A changed result type cannot be replaced in place.
    connection.nativeQuery(QStringLiteral("DROP FUNCTION IF EXISTS ") + name);
    const QString result =
        function.tableValued ? QStringLiteral("TABLE(") + columns + u')' : columns.mid(columns.indexOf(u' ') + 1);
    // PL/pgSQL keeps the plan of its query for the session, made once for
    // any argument: an SQL function, or a plan made for each argument, is
    // planned anew at every call, which cost the address-book search two to
    // four times its run. The body's own columns come before the names of
    // the result's.
    const QString code = function.tableValued ? QStringLiteral("RETURN QUERY %1;") : QStringLiteral("RETURN (%1);");
    connection.nativeQuery(
        QStringLiteral("CREATE FUNCTION %1(%2) RETURNS %3 LANGUAGE plpgsql STABLE SET plan_cache_mode = "
                       "force_generic_plan AS %4\n#variable_conflict "
                       "use_column\nBEGIN\n%5\nEND\n%4")
            .arg(name, parameterList(connection.dialect(), function, true), result, bodyQuote, code.arg(body)));
}

// The keys of the list in list order (by a POSITION column when it has
// one, else as it comes), the columns found whatever their case. A list
// without RECORD_ID fails as soon as it has a row; an empty one has no
// neighbours to give anyway.
const QString moveFunction =
    QStringLiteral(R"(CREATE OR REPLACE FUNCTION dbo.sys_xsp_sys_mov_rec(p_sql TEXT, p_bookmark BIGINT)
RETURNS TABLE(next BIGINT, prev BIGINT) LANGUAGE plpgsql AS $mrv_routine$
DECLARE
    keys BIGINT[];
    missing BOOLEAN;
    found INTEGER;
BEGIN
    EXECUTE 'SELECT array_agg(mrv_key ORDER BY mrv_position, mrv_row), bool_or(NOT mrv_keyed) FROM (
        SELECT (SELECT e.value FROM jsonb_each_text(r.mrv_row_data) e WHERE lower(e.key) = ''record_id'')::BIGINT AS mrv_key,
               EXISTS (SELECT 1 FROM jsonb_object_keys(r.mrv_row_data) k WHERE lower(k) = ''record_id'') AS mrv_keyed,
               COALESCE((SELECT e.value FROM jsonb_each_text(r.mrv_row_data) e WHERE lower(e.key) = ''position'')::BIGINT, 0) AS mrv_position,
               r.mrv_row
        FROM (SELECT to_jsonb(mrv_list) AS mrv_row_data, row_number() OVER () AS mrv_row FROM (' || p_sql || ') mrv_list) r) s'
    INTO keys, missing;
    IF missing THEN
        RAISE EXCEPTION 'The list of SYS_XSP_SYS_MOV_REC must return RECORD_ID';
    END IF;
    found := CASE WHEN p_bookmark IS NULL THEN NULL ELSE array_position(keys, p_bookmark) END;
    RETURN QUERY SELECT COALESCE(keys[found + 1], 0), COALESCE(keys[found - 1], 0);
END
$mrv_routine$)");

} // namespace

void installServerRoutines(SuiteConnection &connection, const QString &prefix)
{
    if (!connection.dialect().storesRoutines())
        return;
    connection.nativeQuery(QStringLiteral("CREATE SCHEMA IF NOT EXISTS dbo"));
    for (const FunctionDef &function : RoutineCatalog::standard().functions()) {
        // Functions that read no company table are also called without a
        // company, under their own name.
        if (!prefix.isEmpty() || !function.perCompany())
            createFunction(connection, RoutineCatalog::standard(), function, prefix);
    }
    if (prefix.isEmpty())
        connection.nativeQuery(moveFunction);
    else
        connection.nativeQuery(postgresAddressBookRefresh(prefix));
}

void installServerFunction(SuiteConnection &connection, const QString &prefix, const RoutineCatalog &catalog,
                           const QString &name)
{
    createFunction(connection, catalog, *catalog.function(name), prefix);
}

QueryResult callServerMove(SuiteConnection &connection, const QString &list, const QVariant &bookmark)
{
    return connection.nativeQuery(
        QStringLiteral("SELECT next AS \"NEXT\", prev AS \"PREV\" FROM dbo.sys_xsp_sys_mov_rec(?, ?)"),
        {list, bookmark});
}

void callServerAddressBookRefresh(SuiteConnection &connection)
{
    const QString prefix = connection.companyPrefix();
    connection.nativeQuery(QStringLiteral("CALL dbo.") + prefix + QStringLiteral("XSC_IND_ALL_LST()"));
    // Rebuilt tables planned with the figures of the old ones would be read
    // the slow way until the server's own statistics come round.
    connection.nativeQuery(QStringLiteral("ANALYZE %1IND_ALL, %1IND_KEY").arg(prefix));
}

} // namespace mrv::suite::db
