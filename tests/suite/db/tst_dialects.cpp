#include "TestDatabase.h"
#include "db/Dialect.h"
#include "db/Routines.h"
#include "db/SchemaCatalog.h"
#include "db/ServerRoutines.h"
#include "db/SqlTokenizer.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

namespace {

// Functions in the shape the suite's routines take: per-company ("$P"),
// table-valued with a TOP of their own, calling one another.
QList<ColumnDef> parameters(const QStringList &names)
{
    QList<ColumnDef> definitions;
    for (const QString &name : names)
        definitions << ColumnDef{name};
    return definitions;
}

RoutineCatalog testRoutines()
{
    RoutineCatalog routines;
    routines.addFunction({u"XFN_CUS_CNT"_s, parameters({u"@TEXT"_s}), false,
                          u"SELECT COUNT(*) FROM $PCON_TRO WHERE CORAS LIKE @TEXT"_s});
    routines.addFunction({u"XFN_CUS_LST"_s,
                          {ColumnDef{u"TEXT"_s}, ColumnDef{u"@MAX"_s, ColumnType::Integer}},
                          true,
                          u"SELECT TOP (@MAX) CDCON, CORAS FROM $PCON_TRO WHERE CORAS LIKE @text ORDER BY CDCON"_s});
    routines.addFunction({u"XFN_CUS_ANY"_s, parameters({u"@TEXT"_s}), false,
                          u"SELECT CASE WHEN dbo.XFN_CUS_CNT(@TEXT) > 0 THEN 1 ELSE 0 END"_s});
    routines.addFunction({u"XFN_LITERAL"_s, parameters({u"@CODE"_s}), false, u"SELECT '@CODE' /* @CODE */"_s});
    routines.addFunction({u"XFN_LOOP"_s, parameters({u"@X"_s}), false, u"SELECT dbo.XFN_LOOP(@X)"_s});
    return routines;
}

QString joined(const QList<SqlToken> &tokens)
{
    QString text;
    for (const SqlToken &token : tokens)
        text += token.text;
    return text;
}

} // namespace

// The translation as text (for each engine), and run on the engine of the
// test database.
class DialectsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Dialect> m_dialect = makeSqliteDialect();
    std::unique_ptr<Dialect> m_postgres = makePostgresDialect();
    RoutineCatalog m_routines = testRoutines();
    testing::TestDatabase m_database;
    std::shared_ptr<SuiteConnection> m_connection;

    TranslationContext context(const QVariant &key = {}) const
    {
        return {key.isValid() ? std::optional<qint64>(key.toLongLong()) : std::nullopt, &m_routines, u"A01_"_s};
    }

    // The customers' table as the schema would create it, from the dialect's
    // column types.
    void createCustomers(const QString &table, const QStringList &rows)
    {
        const Dialect &dialect = m_connection->dialect();
        QStringList definitions{dialect.identityColumn(u"RECORD_ID"_s)};
        for (const ColumnDef &column :
             {ColumnDef{u"CDCON"_s}, ColumnDef{u"CORAS"_s}, ColumnDef{u"COATT"_s, ColumnType::Boolean}})
            definitions << column.name + u' ' + dialect.columnType(column);
        run(u"CREATE TABLE %1 (%2)"_s.arg(table, definitions.join(u", "_s)));
        for (const QString &row : rows)
            run(u"INSERT INTO %1 (CDCON, CORAS, COATT) VALUES (%2)"_s.arg(table, row));
    }

    // Runs engine SQL; the result as a header line and one line per row, or
    // the engine's complaint, so that a comparison shows what went wrong.
    QStringList run(const QString &sql)
    {
        try {
            const QueryResult result = m_connection->nativeQuery(sql);
            QStringList lines{result.columns.join(u',')};
            for (const QVariantList &row : result.rows) {
                QStringList fields;
                for (const QVariant &field : row)
                    fields << field.toString();
                lines << fields.join(u',');
            }
            return lines;
        } catch (const Failure &failure) {
            return {failure.message(), sql};
        }
    }

    QStringList runTranslated(const QString &sql) { return run(m_connection->dialect().translate(sql, context())); }

private Q_SLOTS:
    void initTestCase()
    {
        m_connection = SuiteConnection::connect(m_database.location());
        for (const QString &statement : m_connection->dialect().schemaPreamble())
            m_connection->nativeQuery(statement);
        createCustomers(u"A01_CON_TRO"_s, {u"'C001', 'Rossi Spa', 1"_s, u"'C002', 'Bianchi Srl', 0"_s,
                                           u"'C003', 'Verdi Snc', 1"_s, u"'C004', 'Azzurri Sas', 1"_s});
        createCustomers(u"A02_CON_TRO"_s, {u"'C001', 'Neri Spa', 1"_s, u"'C005', 'Gialli Spa', 0"_s});
        if (m_connection->dialect().storesRoutines()) {
            m_connection->nativeQuery(u"CREATE SCHEMA dbo"_s);
            for (const QString &prefix : {u"A01_"_s, u"A02_"_s}) {
                for (const QString &function : {u"XFN_CUS_CNT"_s, u"XFN_CUS_LST"_s, u"XFN_CUS_ANY"_s})
                    installServerFunction(*m_connection, prefix, m_routines, function);
            }
        }
    }

    void cleanupTestCase() { m_connection.reset(); }

    void tokenizerGivesBackItsInput_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("statement") << u"SELECT TOP 1 TBNAM\rFROM A01_IND_WEB\r\nWHERE WBTIP = N'E' -- x\r"_s;
        QTest::newRow("quotes and comments") << u"SELECT N'it''s', [a]]b], \"q\"\"x\" /* a /* b */ c */ /*/ */"_s;
        QTest::newRow("lone characters") << u"'N[\"-/*.@"_s;
        QTest::newRow("NUL") << u"SELECT 'a\0b' \0 [\0] -- \0"_s;
        QTest::newRow("non-BMP and lone surrogates")
            << u"SELECT '😀' AS 𝐀𝐁, 😀 /* 😀 */"_s + QChar(0xD800) + u"x"_s + QChar(0xDC00) + u"'"_s + QChar(0xD800);
        QTest::newRow("numbers") << u"1.5e+3 .5 0x1Fg 12e 7."_s;
    }

    // Every prefix too: a text cut anywhere must still come back whole.
    void tokenizerGivesBackItsInput()
    {
        QFETCH(QString, sql);
        for (qsizetype length = 0; length <= sql.size(); ++length) {
            const QString prefix = sql.left(length);
            QCOMPARE(joined(tokenizeSql(prefix)), prefix);
        }
    }

    void splitStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("semicolons in literals and comments")
            << u"SELECT ';' AS [a;b]; -- ;\rSELECT \"x;\" /* /* ; */ ; */;"_s
            << QStringList{u"SELECT ';' AS [a;b]"_s, u" -- ;\rSELECT \"x;\" /* /* ; */ ; */"_s};
        QTest::newRow("only empty statements") << u";; /* nothing */ ;\r\n"_s << QStringList{};
        QTest::newRow("unterminated literal") << u"SELECT 'a;b"_s << QStringList{u"SELECT 'a;b"_s};
    }

    void splitStatements()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, statements);
        QStringList split;
        for (const auto &tokens : mrv::suite::db::splitStatements(tokenizeSql(sql)))
            split << joined(tokens);
        QCOMPARE(split, statements);
    }

    void translate_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariant>("scopeIdentity");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("forPostgres");
        const auto row = [](const char *name, const QString &sql, const QString &expected, const QVariant &key = {}) {
            QTest::newRow(name) << sql << key << expected << false;
        };
        // Where PostgreSQL's spelling differs from SQLite's.
        const auto postgres = [](const char *name, const QString &sql, const QString &expected) {
            QTest::newRow(name) << sql << QVariant() << expected << true;
        };
        postgres("top in last select of union, named", u"SELECT A FROM T UNION SELECT TOP 2 B FROM U"_s,
                 u"SELECT A FROM T UNION SELECT * FROM (SELECT B FROM U LIMIT 2) AS mrv_top"_s);
        postgres("getdate and isnull", u"SELECT GETDATE() WHERE ISNULL(A, 0) = 0"_s,
                 u"SELECT LOCALTIMESTAMP(0) WHERE COALESCE(A, 0) = 0"_s);
        postgres("quoted names folded, result names kept", u"SELECT [MsObj] AS [Oggetto], \"X\" FROM [SYS_MSG]"_s,
                 u"SELECT \"msobj\" AS \"Oggetto\", \"x\" FROM \"sys_msg\""_s);
        postgres("cast types", u"SELECT CAST(A AS NVARCHAR(5)), CAST(B AS DATETIME), CAST(C AS BIT), CAST(D AS INT)"_s,
                 u"SELECT CAST(A AS VARCHAR(5)), CAST(B AS TIMESTAMP(0)), CAST(C AS SMALLINT), CAST(D AS INT)"_s);
        postgres("concat left to the server", u"SELECT CONCAT(A, N'x', ISNULL(B, ''))"_s,
                 u"SELECT CONCAT(A, 'x', COALESCE(B, ''))"_s);
        postgres("nested comment kept", u"SELECT 1 /* a /* b */ c */"_s, u"SELECT 1 /* a /* b */ c */"_s);
        postgres("NUL in a literal", u"SELECT 'a\0b'"_s, QString());
        postgres("functions kept by the server, the current company's by default",
                 u"SELECT dbo.XFN_CUS_CNT(N'a%'), L.CORAS FROM dbo.A02_XFN_CUS_LST('%', 1) AS L"_s,
                 u"SELECT dbo.A01_XFN_CUS_CNT('a%'), L.CORAS FROM dbo.A02_XFN_CUS_LST('%', 1) AS L"_s);
        row("distinct top in parentheses", u"select distinct top (10) A from T"_s,
            u"select distinct A from T LIMIT (10)"_s);
        row("top 100 percent", u"SELECT TOP 100 PERCENT A FROM T\rORDER BY B"_s, u"SELECT A FROM T\rORDER BY B"_s);
        row("top outside and inside", u"SELECT TOP 1 * FROM (SELECT TOP 5 A FROM T ORDER BY A) DATASET"_s,
            u"SELECT * FROM (SELECT A FROM T ORDER BY A LIMIT 5) DATASET LIMIT 1"_s);
        row("top before a trailing comment", u"SELECT TOP 2 A FROM T -- the first two\r"_s,
            u"SELECT A FROM T LIMIT 2 -- the first two\r"_s);
        row("top in last select of union", u"SELECT A FROM T UNION ALL SELECT TOP 2 B FROM U ORDER BY 1"_s,
            u"SELECT A FROM T UNION ALL SELECT * FROM (SELECT B FROM U LIMIT 2) ORDER BY 1"_s);
        row("top in two statements", u"SELECT TOP 1 A FROM T; SELECT TOP 2 B FROM U"_s,
            u"SELECT A FROM T LIMIT 1; SELECT B FROM U LIMIT 2"_s);
        row("scope identity", u"SELECT SCOPE_IDENTITY ( ), @@IDENTITY AS K"_s, u"SELECT 42, 42 AS K"_s, 42);
        row("scope identity without insert", u"SELECT SCOPE_IDENTITY()"_s, u"SELECT NULL"_s);
        row("delete without from", u"DELETE SYS_EXC\rWHERE A = 1; delete dbo.[B]; DELETE FROM C WHERE D = 3"_s,
            u"DELETE FROM SYS_EXC\rWHERE A = 1; delete FROM \"B\"; DELETE FROM C WHERE D = 3"_s);
        row("scalar function of another company", u"SELECT DBO.A02_xfn_cus_cnt(N'%')"_s,
            u"SELECT (SELECT COUNT(*) FROM A02_CON_TRO WHERE CORAS LIKE ('%'))"_s);
        row("table function with alias", u"SELECT L.CORAS FROM dbo.A02_XFN_CUS_LST('%', 1) AS L"_s,
            u"SELECT L.CORAS FROM (SELECT CDCON, CORAS FROM A02_CON_TRO WHERE CORAS LIKE ('%') ORDER BY CDCON "
            u"LIMIT (( 1))) AS L"_s);
        row("parameter names in literal and comment", u"SELECT dbo.XFN_LITERAL(5)"_s,
            u"SELECT (SELECT '@CODE' /* @CODE */)"_s);
        row("unknown function", u"SELECT * FROM dbo.XFN_MISSING('a')"_s, u"SELECT * FROM XFN_MISSING('a')"_s);
        row("getdate and isnull", u"UPDATE SYS_MSG SET MSDTR = GETDATE() WHERE ISNULL(MSSTA, 0) = 0"_s,
            u"UPDATE SYS_MSG SET MSDTR = datetime('now','localtime') WHERE IFNULL(MSSTA, 0) = 0"_s);
        row("row number alias",
            u"SELECT ROW_NUMBER() OVER(ORDER BY A, B) POSITION, ROW_NUMBER() OVER(ORDER BY C) AS P, "
            u"ROW_NUMBER() OVER(ORDER BY D)\rFROM T"_s,
            u"SELECT ROW_NUMBER() OVER(ORDER BY A, B) AS POSITION, ROW_NUMBER() OVER(ORDER BY C) AS P, "
            u"ROW_NUMBER() OVER(ORDER BY D)\rFROM T"_s);
        row("cast types",
            u"SELECT CAST(A AS NVARCHAR(50)), CAST(B AS NVARCHAR(MAX)), CAST(C AS datetime), CAST(D AS BIT), "
            u"CAST((E) AS VARCHAR (10)) FROM T ORDER BY CAST(VLVAL AS INT)"_s,
            u"SELECT CAST(A AS TEXT), CAST(B AS TEXT), CAST(C AS TEXT), CAST(D AS INTEGER), CAST((E) AS TEXT) "
            u"FROM T ORDER BY CAST(VLVAL AS INT)"_s);
        row("bracketed names", u"SELECT [ORDER], [a]]b], [say \"hi\"] FROM [SYS_MSG]"_s,
            u"SELECT \"ORDER\", \"a]b\", \"say \"\"hi\"\"\" FROM \"SYS_MSG\""_s);
        row("booleans", u"UPDATE T SET A = TRUE, B = false WHERE T.TRUE = 1"_s,
            u"UPDATE T SET A = 1, B = 0 WHERE T.TRUE = 1"_s);
        row("names after a dot", u"SELECT T.LEN, T.GETDATE, T.DELETE FROM T"_s,
            u"SELECT T.LEN, T.GETDATE, T.DELETE FROM T"_s);
        row("nested comment", u"SELECT 1 /* a /* b */ c */"_s, u"SELECT 1 /* a /* b * / c */"_s);
        const QString untouched = u"SELECT 'SELECT TOP 1 GETDATE() LEN(x) dbo.XFN_CUS_CNT(1) TRUE N''x'' DELETE T' "
                                  u"AS %1TOP 1 GETDATE()%2 -- SELECT TOP 1 TRUE\r/* DELETE T dbo.X LEN( */ FROM T"_s;
        row("words in literals, quoted names and comments", untouched.arg(u"["_s, u"]"_s),
            untouched.arg(u"\""_s, u"\""_s));
        const QString refused; // null: the text cannot be translated
        row("top percent", u"SELECT TOP 50 PERCENT A FROM T"_s, refused);
        row("function calling itself", u"SELECT dbo.XFN_LOOP(1)"_s, refused);
        row("too many arguments", u"SELECT dbo.XFN_CUS_CNT('a', 'b')"_s, refused);
        row("too few arguments", u"SELECT dbo.XFN_CUS_CNT()"_s, refused);
        row("deep parentheses", u"SELECT "_s + QString(100000, u'(') + u"1"_s + QString(100000, u')'), refused);
        row("deep calls", u"SELECT "_s + u"CONCAT(1, "_s.repeated(100000) + u"1"_s + QString(100000, u')'), refused);
    }

    void translate()
    {
        QFETCH(QString, sql);
        QFETCH(QVariant, scopeIdentity);
        QFETCH(QString, expected);
        QFETCH(bool, forPostgres);
        const Dialect &dialect = forPostgres ? *m_postgres : *m_dialect;
        if (expected.isNull())
            QVERIFY_THROWS_EXCEPTION(Failure, dialect.translate(sql, context(scopeIdentity)));
        else
            QCOMPARE(dialect.translate(sql, context(scopeIdentity)), expected);
    }

    // On the engine: what the text comparisons cannot show.
    void translatedQueriesRun_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("top in union")
            << u"SELECT TOP 1 CDCON FROM A01_CON_TRO WHERE CDCON >= 'C003' UNION ALL SELECT CDCON FROM A02_CON_TRO "
               u"ORDER BY CDCON"_s
            << QStringList{u"CDCON"_s, u"C001"_s, u"C003"_s, u"C005"_s};
        QTest::newRow("row number position")
            << u"SELECT * FROM (SELECT TOP 100 PERCENT RECORD_ID,\r               ROW_NUMBER() OVER(ORDER BY "
               u"CORAS, RECORD_ID) POSITION\rFROM A01_CON_TRO\rWHERE COATT = TRUE) L\rORDER BY RECORD_ID"_s
            << QStringList{u"RECORD_ID,POSITION"_s, u"1,2"_s, u"3,3"_s, u"4,1"_s};
        QTest::newRow("functions per company")
            << u"SELECT dbo.XFN_CUS_CNT('%Spa') AS MINE, dbo.A02_XFN_CUS_ANY('%Srl') AS OTHER"_s
            << QStringList{u"MINE,OTHER"_s, u"1,0"_s};
        QTest::newRow("table function") << u"SELECT XFN_CUS_LST.CDCON FROM dbo.XFN_CUS_LST(n'%s%', 2)"_s
                                        << QStringList{u"CDCON"_s, u"C001"_s, u"C002"_s};
        QTest::newRow("codes ignore case and len trailing blanks")
            << u"SELECT LEN('ab  ') AS L, LEN(CORAS) AS C FROM A01_CON_TRO WHERE CDCON = 'c002'"_s
            << QStringList{u"L,C"_s, u"2,11"_s};
        QTest::newRow("cast, isnull and concat")
            << u"SELECT CAST('2024-05-01 10:00:00' AS DATETIME) AS D, CAST(COATT AS BIT) AS B, ISNULL(NULL, 'x') AS "
               u"N, CONCAT(CDCON, ' - ', NULL, [CORAS]) AS T\rFROM [A01_CON_TRO] WHERE CDCON = N'C001'"_s
            << QStringList{u"D,B,N,T"_s, u"2024-05-01 10:00:00,1,x,C001 - Rossi Spa"_s};
        if (!testing::TestDatabase::onServer()) // PostgreSQL refuses a NUL in a text
            QTest::newRow("NUL in literal and comment")
                << u"SELECT N'a\0''b' AS V /* \0 */, 2 AS W"_s << QStringList{u"V,W"_s, u"a\0'b,2"_s};
        if (testing::TestDatabase::onServer()) // SQLite adds texts as numbers
            QTest::newRow("texts added") << u"SELECT CDCON + ' ' + CORAS AS T FROM A01_CON_TRO WHERE CDCON = 'C001'"_s
                                         << QStringList{u"T"_s, u"C001 Rossi Spa"_s};
    }

    void translatedQueriesRun()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        QCOMPARE(runTranslated(sql), rows);
    }
};

QTEST_GUILESS_MAIN(DialectsTest)
#include "tst_dialects.moc"
