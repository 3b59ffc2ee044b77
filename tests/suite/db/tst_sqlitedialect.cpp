#include "db/Dialect.h"
#include "db/Routines.h"
#include "db/SchemaCatalog.h"
#include "db/SqlTokenizer.h"
#include "host/Failure.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace mrv::suite::db;
using namespace Qt::StringLiterals;

namespace {

// Functions in the shape the suite's routines take: per-company ("$P"),
// table-valued with a TOP of their own, calling one another.
RoutineCatalog testRoutines()
{
    RoutineCatalog routines;
    routines.addFunction(
        {u"XFN_CUS_CNT"_s, {u"@TEXT"_s}, false, u"SELECT COUNT(*) FROM $PCON_TRO WHERE CORAS LIKE @TEXT"_s});
    routines.addFunction({u"XFN_CUS_LST"_s,
                          {u"TEXT"_s, u"@MAX"_s},
                          true,
                          u"SELECT TOP (@MAX) CDCON, CORAS FROM $PCON_TRO WHERE CORAS LIKE @text ORDER BY CDCON"_s});
    routines.addFunction(
        {u"XFN_CUS_ANY"_s, {u"@TEXT"_s}, false, u"SELECT CASE WHEN dbo.XFN_CUS_CNT(@TEXT) > 0 THEN 1 ELSE 0 END"_s});
    routines.addFunction({u"XFN_LITERAL"_s, {u"@CODE"_s}, false, u"SELECT '@CODE' /* @CODE */"_s});
    routines.addFunction({u"XFN_LOOP"_s, {u"@X"_s}, false, u"SELECT dbo.XFN_LOOP(@X)"_s});
    return routines;
}

QString kindLetter(SqlToken::Kind kind)
{
    switch (kind) {
    case SqlToken::Kind::Whitespace:
        return u"W"_s;
    case SqlToken::Kind::Comment:
        return u"C"_s;
    case SqlToken::Kind::String:
        return u"S"_s;
    case SqlToken::Kind::QuotedIdentifier:
        return u"Q"_s;
    case SqlToken::Kind::Number:
        return u"N"_s;
    case SqlToken::Kind::Identifier:
        return u"I"_s;
    case SqlToken::Kind::Punctuation:
        return u"P"_s;
    }
    return {};
}

QString joined(const QList<SqlToken> &tokens)
{
    QString text;
    for (const SqlToken &token : tokens)
        text += token.text;
    return text;
}

} // namespace

class SqliteDialectTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Dialect> m_dialect = makeSqliteDialect();
    RoutineCatalog m_routines = testRoutines();
    QTemporaryDir m_dir;
    QSqlDatabase m_database;

    TranslationContext context(const QVariant &scopeIdentity = {}) const
    {
        TranslationContext result;
        if (scopeIdentity.isValid())
            result.scopeIdentity = scopeIdentity.toLongLong();
        result.routines = &m_routines;
        result.companyPrefix = u"A01_"_s;
        return result;
    }

    // The table as the schema would create it, from the dialect's column types.
    void createTable(const QString &name, const QList<std::pair<QString, ColumnType>> &columns)
    {
        QStringList definitions{m_dialect->identityColumn(u"RECORD_ID"_s)};
        for (const auto &[columnName, type] : columns) {
            ColumnDef column;
            column.name = columnName;
            column.type = type;
            definitions << columnName + u' ' + m_dialect->columnType(column);
        }
        run(u"CREATE TABLE %1 (%2)"_s.arg(name, definitions.join(u", "_s)));
    }

    void createCustomers(const QString &table, const QStringList &rows)
    {
        createTable(
            table, {{u"CDCON"_s, ColumnType::Text}, {u"CORAS"_s, ColumnType::Text}, {u"COATT"_s, ColumnType::Boolean}});
        for (const QString &row : rows)
            run(u"INSERT INTO %1 (CDCON, CORAS, COATT) VALUES (%2)"_s.arg(table, row));
    }

    // Runs engine SQL; the result as a header line and one line per row, or
    // the engine's complaint, so that a comparison shows what went wrong.
    QStringList run(const QString &sql)
    {
        QSqlQuery query(m_database);
        if (!query.exec(sql))
            return {query.lastError().text(), sql};
        QStringList columns;
        for (int index = 0; index < query.record().count(); ++index)
            columns << query.record().fieldName(index);
        QStringList lines{columns.join(u',')};
        while (query.next()) {
            QStringList fields;
            for (int index = 0; index < columns.size(); ++index)
                fields << query.value(index).toString();
            lines << fields.join(u',');
        }
        return lines;
    }

    QStringList runTranslated(const QString &sql) { return run(m_dialect->translate(sql, context())); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_database = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"dialect"_s);
        m_database.setDatabaseName(m_dir.filePath(u"dialect.db"_s));
        QVERIFY2(m_database.open(), qPrintable(m_database.lastError().text()));
        createCustomers(u"A01_CON_TRO"_s, {u"'C001', 'Rossi Spa', 1"_s, u"'C002', 'Bianchi Srl', 0"_s,
                                           u"'C003', 'Verdi Snc', 1"_s, u"'C004', 'Azzurri Sas', 1"_s});
        createCustomers(u"A02_CON_TRO"_s, {u"'C001', 'Neri Spa', 1"_s, u"'C005', 'Gialli Spa', 0"_s});
    }

    void cleanupTestCase()
    {
        m_database.close();
        m_database = {};
        QSqlDatabase::removeDatabase(u"dialect"_s);
    }

    void tokenizerGivesBackItsInput_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("empty") << QString();
        QTest::newRow("statement") << u"SELECT TOP 1 TBNAM\rFROM A01_IND_WEB\r\nWHERE WBTIP = N'E' -- x\r"_s;
        QTest::newRow("unterminated literal") << u"SELECT 'it''s"_s;
        QTest::newRow("unterminated unicode literal") << u"SELECT N'abc''"_s;
        QTest::newRow("unterminated bracket") << u"SELECT [abc]]"_s;
        QTest::newRow("unterminated double quote") << u"SELECT \"abc"_s;
        QTest::newRow("unterminated nested comment") << u"SELECT /* a /* b */ c"_s;
        QTest::newRow("nested comments") << u"/* a /* b /* c */ d */ e */ SELECT 1 /**/ /*/ */"_s;
        QTest::newRow("lone characters") << u"'N[\"-/*.@"_s;
        QTest::newRow("NUL") << u"SELECT 'a\0b' \0 [\0] -- \0"_s;
        QTest::newRow("non-BMP") << u"SELECT '😀' AS 𝐀𝐁, 😀 FROM t𝐀 /* 😀 */"_s;
        QTest::newRow("lone surrogates") << QString(QChar(0xD800)) + u"x"_s + QChar(0xDC00) + u"'"_s + QChar(0xD800);
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

    void tokenizerKinds_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("literals and quoted names")
            << u"SELECT N'it''s', [a]]b], \"q\"\"x\" FROM t"_s
            << QStringList{u"I:SELECT"_s, u"S:N'it''s'"_s,   u"P:,"_s,    u"Q:[a]]b]"_s,
                           u"P:,"_s,      u"Q:\"q\"\"x\""_s, u"I:FROM"_s, u"I:t"_s};
        QTest::newRow("variables and prefixes")
            << u"@@IDENTITY @P1 #TMP $PCON_TRO"_s
            << QStringList{u"I:@@IDENTITY"_s, u"I:@P1"_s, u"I:#TMP"_s, u"I:$PCON_TRO"_s};
        QTest::newRow("dotted names") << u"A01_X.dbo.Y"_s
                                      << QStringList{u"I:A01_X"_s, u"P:."_s, u"I:dbo"_s, u"P:."_s, u"I:Y"_s};
        QTest::newRow("numbers") << u"1.5e3 .5 0x1F 12"_s
                                 << QStringList{u"N:1.5e3"_s, u"N:.5"_s, u"N:0x1F"_s, u"N:12"_s};
        QTest::newRow("operators") << u"a<>b<=c!=d||e(;)"_s
                                   << QStringList{u"I:a"_s, u"P:<>"_s, u"I:b"_s, u"P:<="_s, u"I:c"_s, u"P:!="_s,
                                                  u"I:d"_s, u"P:||"_s, u"I:e"_s, u"P:("_s,  u"P:;"_s, u"P:)"_s};
        QTest::newRow("nested comment") << u"/* a /* b */ c */x"_s << QStringList{u"C:/* a /* b */ c */"_s, u"I:x"_s};
        QTest::newRow("line comment ends at CR") << u"--x\rSELECT"_s << QStringList{u"C:--x"_s, u"I:SELECT"_s};
        QTest::newRow("unicode names") << u"città 𝐀𝐁 😀"_s << QStringList{u"I:città"_s, u"I:𝐀𝐁"_s, u"P:😀"_s};
    }

    void tokenizerKinds()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, tokens);
        QStringList actual;
        for (const SqlToken &token : tokenizeSql(sql)) {
            if (token.kind != SqlToken::Kind::Whitespace)
                actual << kindLetter(token.kind) + u':' + token.text;
        }
        QCOMPARE(actual, tokens);
    }

    void splitStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("two") << u"SELECT 1; SELECT 2"_s << QStringList{u"SELECT 1"_s, u" SELECT 2"_s};
        QTest::newRow("semicolons in literals and comments")
            << u"SELECT ';' AS [a;b]; -- ;\rSELECT \"x;\" /* ; */;"_s
            << QStringList{u"SELECT ';' AS [a;b]"_s, u" -- ;\rSELECT \"x;\" /* ; */"_s};
        QTest::newRow("only empty statements") << u";; /* nothing */ ;\r\n"_s << QStringList{};
        QTest::newRow("unterminated literal") << u"SELECT 'a;b"_s << QStringList{u"SELECT 'a;b"_s};
    }

    void splitStatements()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, statements);
        QStringList split;
        for (const auto &tokens : mrv::suite::db::splitStatements(mrv::suite::db::tokenizeSql(sql))) {
            QString statement;
            for (const auto &token : tokens)
                statement += token.text;
            split << statement;
        }
        QCOMPARE(split, statements);
    }

    void translate_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariant>("scopeIdentity");
        QTest::addColumn<QString>("expected");
        const QVariant none;

        QTest::newRow("top") << u"SELECT TOP 1 TBNAM, TBKEY\rFROM A01_IND_WEB\rWHERE WBTIP = 'E'"_s << none
                             << u"SELECT TBNAM, TBKEY\rFROM A01_IND_WEB\rWHERE WBTIP = 'E' LIMIT 1"_s;
        QTest::newRow("top before order by") << u"SELECT TOP 1 RECORD_ID FROM SYS_NTG ORDER BY RECORD_ID DESC"_s << none
                                             << u"SELECT RECORD_ID FROM SYS_NTG ORDER BY RECORD_ID DESC LIMIT 1"_s;
        QTest::newRow("top in parentheses") << u"SELECT TOP (10) A FROM T"_s << none << u"SELECT A FROM T LIMIT (10)"_s;
        QTest::newRow("distinct top") << u"select distinct top 3 A from T"_s << none
                                      << u"select distinct A from T LIMIT 3"_s;
        QTest::newRow("top 100 percent")
            << u"SELECT TOP 100 PERCENT RECORD_ID FROM SYS_MSG_INB WHERE\rMSUSR = 'mario'\rORDER BY MSDAT"_s << none
            << u"SELECT RECORD_ID FROM SYS_MSG_INB WHERE\rMSUSR = 'mario'\rORDER BY MSDAT"_s;
        QTest::newRow("top in subquery")
            << u"SELECT *,\r  (SELECT TOP 1 VLVAL\r   FROM SYS_VAL\r  ) AS FREE_DEFAULT\rFROM A01_CON_TRO"_s << none
            << u"SELECT *,\r  (SELECT VLVAL\r   FROM SYS_VAL LIMIT 1\r  ) AS FREE_DEFAULT\rFROM A01_CON_TRO"_s;
        QTest::newRow("top outside and inside")
            << u"SELECT TOP 1 * FROM (SELECT TOP 5 A FROM T ORDER BY A) DATASET"_s << none
            << u"SELECT * FROM (SELECT A FROM T ORDER BY A LIMIT 5) DATASET LIMIT 1"_s;
        QTest::newRow("top before a trailing comment")
            << u"SELECT TOP 2 A FROM T -- the first two\r"_s << none << u"SELECT A FROM T LIMIT 2 -- the first two\r"_s;
        QTest::newRow("top in first select of union")
            << u"SELECT TOP 2 A FROM T UNION SELECT B FROM U"_s << none
            << u"SELECT * FROM (SELECT A FROM T LIMIT 2) UNION SELECT B FROM U"_s;
        QTest::newRow("top in last select of union")
            << u"SELECT A FROM T UNION ALL SELECT TOP 2 B FROM U ORDER BY 1"_s << none
            << u"SELECT A FROM T UNION ALL SELECT * FROM (SELECT B FROM U LIMIT 2) ORDER BY 1"_s;
        QTest::newRow("top in two statements") << u"SELECT TOP 1 A FROM T; SELECT TOP 2 B FROM U"_s << none
                                               << u"SELECT A FROM T LIMIT 1; SELECT B FROM U LIMIT 2"_s;

        QTest::newRow("scope identity") << u"SELECT SCOPE_IDENTITY()"_s << QVariant(42) << u"SELECT 42"_s;
        QTest::newRow("scope identity without insert") << u"SELECT SCOPE_IDENTITY ( )"_s << none << u"SELECT NULL"_s;
        QTest::newRow("@@identity") << u"SELECT @@IDENTITY AS K"_s << QVariant(7) << u"SELECT 7 AS K"_s;

        QTest::newRow("delete without from")
            << u"DELETE SYS_EXC\rWHERE EXUSR = 'mario'"_s << none << u"DELETE FROM SYS_EXC\rWHERE EXUSR = 'mario'"_s;
        QTest::newRow("delete from") << u"DELETE FROM SYS_NTT WHERE IDNTF = 3"_s << none
                                     << u"DELETE FROM SYS_NTT WHERE IDNTF = 3"_s;
        QTest::newRow("delete dbo table")
            << u"delete dbo.SYS_EXC WHERE EXTYP = 4"_s << none << u"delete FROM SYS_EXC WHERE EXTYP = 4"_s;
        QTest::newRow("delete quoted table") << u"DELETE [SYS_EXC]"_s << none << u"DELETE FROM \"SYS_EXC\""_s;

        QTest::newRow("dbo table") << u"SELECT * FROM dbo.SYS_MSG, dbo.[SYS MSG]"_s << none
                                   << u"SELECT * FROM SYS_MSG, \"SYS MSG\""_s;
        QTest::newRow("scalar function") << u"SELECT dbo.XFN_CUS_CNT('Rossi%')"_s << none
                                         << u"SELECT (SELECT COUNT(*) FROM A01_CON_TRO WHERE CORAS LIKE ('Rossi%'))"_s;
        QTest::newRow("scalar function of another company")
            << u"SELECT DBO.A02_xfn_cus_cnt(N'%')"_s << none
            << u"SELECT (SELECT COUNT(*) FROM A02_CON_TRO WHERE CORAS LIKE ('%'))"_s;
        QTest::newRow("table function without alias")
            << u"SELECT * FROM dbo.XFN_CUS_LST(\r'%',\r2)\rWHERE CDCON > 'C'"_s << none
            << u"SELECT * FROM (SELECT CDCON, CORAS FROM A01_CON_TRO WHERE CORAS LIKE (\r'%') ORDER BY CDCON "
               u"LIMIT ((\r2))) XFN_CUS_LST\rWHERE CDCON > 'C'"_s;
        QTest::newRow("table function with alias")
            << u"SELECT L.CORAS FROM dbo.A02_XFN_CUS_LST('%', 1) AS L"_s << none
            << u"SELECT L.CORAS FROM (SELECT CDCON, CORAS FROM A02_CON_TRO WHERE CORAS LIKE ('%') ORDER BY CDCON "
               u"LIMIT (( 1))) AS L"_s;
        QTest::newRow("table function joined")
            << u"SELECT * FROM T JOIN dbo.XFN_CUS_LST('%', 1) ON T.A = XFN_CUS_LST.CDCON"_s << none
            << u"SELECT * FROM T JOIN (SELECT CDCON, CORAS FROM A01_CON_TRO WHERE CORAS LIKE ('%') ORDER BY CDCON "
               u"LIMIT (( 1))) XFN_CUS_LST ON T.A = XFN_CUS_LST.CDCON"_s;
        QTest::newRow("function calling a function") << u"SELECT dbo.A02_XFN_CUS_ANY('x')"_s << none
                                                     << u"SELECT (SELECT CASE WHEN (SELECT COUNT(*) FROM A02_CON_TRO "
                                                        u"WHERE CORAS LIKE (('x'))) > 0 THEN 1 ELSE 0 END)"_s;
        QTest::newRow("parameter names in literal and comment")
            << u"SELECT dbo.XFN_LITERAL(5)"_s << none << u"SELECT (SELECT '@CODE' /* @CODE */)"_s;
        QTest::newRow("unknown function")
            << u"SELECT * FROM dbo.XFN_MISSING('a')"_s << none << u"SELECT * FROM XFN_MISSING('a')"_s;
        QTest::newRow("company prefix placeholder")
            << u"SELECT * FROM $PCON_TRO"_s << none << u"SELECT * FROM A01_CON_TRO"_s;

        QTest::newRow("len") << u"SELECT LEN(MTAZI) FROM SYS_MST_DAT\rOR LEN (ISNULL(A, '')) = 0"_s << none
                             << u"SELECT LENGTH(RTRIM(MTAZI)) FROM SYS_MST_DAT\rOR LENGTH(RTRIM(IFNULL(A, ''))) = 0"_s;
        QTest::newRow("getdate and isnull")
            << u"UPDATE SYS_MSG SET MSDTR = GETDATE() WHERE ISNULL(MSSTA, 0) = 0"_s << none
            << u"UPDATE SYS_MSG SET MSDTR = datetime('now','localtime') WHERE IFNULL(MSSTA, 0) = 0"_s;
        QTest::newRow("row number alias")
            << u"SELECT TOP 100 PERCENT RECORD_ID,\r               ROW_NUMBER() OVER(ORDER BY MSDAT, RECORD_ID) "
               u"POSITION\rFROM SYS_EXC_LST"_s
            << none
            << u"SELECT RECORD_ID,\r               ROW_NUMBER() OVER(ORDER BY MSDAT, RECORD_ID) AS "
               u"POSITION\rFROM SYS_EXC_LST"_s;
        QTest::newRow("row number with as or without alias")
            << u"SELECT ROW_NUMBER() OVER(ORDER BY A) AS P, ROW_NUMBER() OVER(ORDER BY B)\rFROM T"_s << none
            << u"SELECT ROW_NUMBER() OVER(ORDER BY A) AS P, ROW_NUMBER() OVER(ORDER BY B)\rFROM T"_s;
        QTest::newRow("cast types")
            << u"SELECT CAST(A AS NVARCHAR(50)), CAST(B AS NVARCHAR(MAX)), CAST(C AS datetime), CAST(D AS BIT), "
               u"CAST((E) AS VARCHAR (10)) FROM T ORDER BY CAST(VLVAL AS INT)"_s
            << none
            << u"SELECT CAST(A AS TEXT), CAST(B AS TEXT), CAST(C AS TEXT), CAST(D AS INTEGER), CAST((E) AS TEXT) "
               u"FROM T ORDER BY CAST(VLVAL AS INT)"_s;
        QTest::newRow("concat") << u"SELECT CONCAT(A, ' ', B) FROM T"_s << none
                                << u"SELECT (IFNULL(A, '') || IFNULL( ' ', '') || IFNULL( B, '')) FROM T"_s;
        QTest::newRow("bracketed names") << u"SELECT [ORDER], [a]]b], [say \"hi\"] FROM [SYS_MSG]"_s << none
                                         << u"SELECT \"ORDER\", \"a]b\", \"say \"\"hi\"\"\" FROM \"SYS_MSG\""_s;
        QTest::newRow("NUL in literal and comments")
            << u"SELECT 'a''\0\0b' /* \0 */ -- \0"_s << none
            << u"SELECT ('a''' || char(0) || '' || char(0) || 'b') /*   */ --  "_s;
        QTest::newRow("unicode literals")
            << u"WHERE A = N'Caffè' AND B = n'x'"_s << none << u"WHERE A = 'Caffè' AND B = 'x'"_s;
        QTest::newRow("booleans") << u"UPDATE T SET A = TRUE, B = false WHERE T.TRUE = 1"_s << none
                                  << u"UPDATE T SET A = 1, B = 0 WHERE T.TRUE = 1"_s;
        QTest::newRow("names after a dot")
            << u"SELECT T.LEN, T.GETDATE, T.DELETE FROM T"_s << none << u"SELECT T.LEN, T.GETDATE, T.DELETE FROM T"_s;
        QTest::newRow("nested comment") << u"SELECT 1 /* a /* b */ c */"_s << none << u"SELECT 1 /* a /* b * / c */"_s;
        QTest::newRow("words in literals, quoted names and comments")
            << u"SELECT 'SELECT TOP 1 GETDATE() LEN(x) dbo.XFN_CUS_CNT(1) TRUE N''x'' DELETE T' AS [TOP 1 "
               u"GETDATE()] -- SELECT TOP 1 GETDATE() TRUE\r/* DELETE T dbo.X LEN( */ FROM T"_s
            << none
            << u"SELECT 'SELECT TOP 1 GETDATE() LEN(x) dbo.XFN_CUS_CNT(1) TRUE N''x'' DELETE T' AS \"TOP 1 "
               u"GETDATE()\" -- SELECT TOP 1 GETDATE() TRUE\r/* DELETE T dbo.X LEN( */ FROM T"_s;
        QTest::newRow("clauses separated by CR")
            << u"SELECT A\rFROM T\rWHERE B = 1\r"_s << none << u"SELECT A\rFROM T\rWHERE B = 1\r"_s;
    }

    void translate()
    {
        QFETCH(QString, sql);
        QFETCH(QVariant, scopeIdentity);
        QFETCH(QString, expected);
        QCOMPARE(m_dialect->translate(sql, context(scopeIdentity)), expected);
    }

    void untranslatableTextsAreRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("top percent") << u"SELECT TOP 50 PERCENT A FROM T"_s;
        QTest::newRow("function calling itself") << u"SELECT dbo.XFN_LOOP(1)"_s;
        QTest::newRow("too many arguments") << u"SELECT dbo.XFN_CUS_CNT('a', 'b')"_s;
        QTest::newRow("too few arguments") << u"SELECT dbo.XFN_CUS_CNT()"_s;
        QTest::newRow("deep parentheses") << u"SELECT "_s + QString(100000, u'(') + u"1"_s + QString(100000, u')');
        QTest::newRow("deep calls") << u"SELECT "_s + u"CONCAT(1, "_s.repeated(100000) + u"1"_s + QString(100000, u')');
    }

    void untranslatableTextsAreRefused()
    {
        QFETCH(QString, sql);
        QVERIFY_THROWS_EXCEPTION(Failure, m_dialect->translate(sql, context()));
    }

    void translatedQueriesRun_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("top with order by") << u"SELECT TOP 2 CDCON\rFROM A01_CON_TRO\rORDER BY CDCON DESC"_s
                                           << QStringList{u"CDCON"_s, u"C004"_s, u"C003"_s};
        QTest::newRow("top in subquery")
            << u"SELECT CDCON FROM A01_CON_TRO WHERE CDCON IN (SELECT TOP 1 CDCON FROM A01_CON_TRO ORDER BY CORAS)"_s
            << QStringList{u"CDCON"_s, u"C004"_s};
        QTest::newRow("top in scalar subquery")
            << u"SELECT TOP 1 (SELECT TOP 1 CORAS FROM A02_CON_TRO ORDER BY CORAS) AS OTHER, CDCON\rFROM "
               u"A01_CON_TRO\rORDER BY CDCON"_s
            << QStringList{u"OTHER,CDCON"_s, u"Gialli Spa,C001"_s};
        QTest::newRow("top in union")
            << u"SELECT TOP 1 CDCON FROM A01_CON_TRO WHERE CDCON >= 'C003' UNION ALL SELECT CDCON FROM A02_CON_TRO "
               u"ORDER BY CDCON"_s
            << QStringList{u"CDCON"_s, u"C001"_s, u"C003"_s, u"C005"_s};
        QTest::newRow("row number position")
            << u"SELECT * FROM (SELECT TOP 100 PERCENT RECORD_ID,\r               ROW_NUMBER() OVER(ORDER BY "
               u"CORAS, RECORD_ID) POSITION\rFROM A01_CON_TRO\rWHERE COATT = TRUE) L\rORDER BY RECORD_ID"_s
            << QStringList{u"RECORD_ID,POSITION"_s, u"1,2"_s, u"3,3"_s, u"4,1"_s};
        QTest::newRow("scalar functions per company")
            << u"SELECT dbo.XFN_CUS_CNT('%Spa') AS MINE, dbo.A02_XFN_CUS_CNT('%Spa') AS OTHER"_s
            << QStringList{u"MINE,OTHER"_s, u"1,2"_s};
        QTest::newRow("function calling a function")
            << u"SELECT dbo.XFN_CUS_ANY('%Srl') AS MINE, dbo.A02_XFN_CUS_ANY('%Srl') AS OTHER"_s
            << QStringList{u"MINE,OTHER"_s, u"1,0"_s};
        QTest::newRow("table function") << u"SELECT XFN_CUS_LST.CDCON FROM dbo.XFN_CUS_LST(N'%s%', 2)"_s
                                        << QStringList{u"CDCON"_s, u"C001"_s, u"C002"_s};
        QTest::newRow("table function with alias")
            << u"SELECT L.CORAS FROM dbo.A02_XFN_CUS_LST('%', 1) L"_s << QStringList{u"CORAS"_s, u"Neri Spa"_s};
        QTest::newRow("codes ignore case and len trailing blanks")
            << u"SELECT LEN('ab  ') AS L, LEN(CORAS) AS C FROM A01_CON_TRO WHERE CDCON = 'c002'"_s
            << QStringList{u"L,C"_s, u"2,11"_s};
        QTest::newRow("cast, isnull and concat")
            << u"SELECT CAST('2024-05-01 10:00:00' AS DATETIME) AS D, CAST(COATT AS BIT) AS B, ISNULL(NULL, 'x') AS "
               u"N, CONCAT(CDCON, ' - ', NULL, [CORAS]) AS T\rFROM [A01_CON_TRO] WHERE CDCON = N'C001'"_s
            << QStringList{u"D,B,N,T"_s, u"2024-05-01 10:00:00,1,x,C001 - Rossi Spa"_s};
        QTest::newRow("NUL in literal and comment")
            << u"SELECT N'a\0''b' AS V /* \0 */, 2 AS W"_s << QStringList{u"V,W"_s, u"a\0'b,2"_s};
    }

    void translatedQueriesRun()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        QCOMPARE(runTranslated(sql), rows);
    }

    void deleteWithoutFromRemovesTheRows()
    {
        createTable(u"SYS_EXC"_s, {{u"EXUSR"_s, ColumnType::Text}, {u"EXOID"_s, ColumnType::Text}});
        run(u"INSERT INTO SYS_EXC (EXUSR, EXOID) VALUES ('mario', 'a'), ('mario', 'b'), ('mario', 'c'), ('anna', "
            u"'c')"_s);
        runTranslated(u"DELETE SYS_EXC\rWHERE EXUSR = 'mario'\rAND   EXOID NOT IN ('a', 'b')"_s);
        QCOMPARE(run(u"SELECT EXUSR, EXOID FROM SYS_EXC ORDER BY RECORD_ID"_s),
                 (QStringList{u"EXUSR,EXOID"_s, u"mario,a"_s, u"mario,b"_s, u"anna,c"_s}));
    }

    void getDateGivesTheStoredDateFormat()
    {
        const QString now = runTranslated(u"SELECT GETDATE() AS NOW"_s).value(1);
        QVERIFY2(QDateTime::fromString(now, u"yyyy-MM-dd HH:mm:ss"_s).isValid(), qPrintable(now));
    }
};

QTEST_GUILESS_MAIN(SqliteDialectTest)
#include "tst_sqlitedialect.moc"
