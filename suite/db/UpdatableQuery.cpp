#include "UpdatableQuery.h"

#include "SqlTokenizer.h"
#include "host/Failure.h"

#include <QSet>

namespace mrv::suite::db {

namespace {

using Tokens = QList<SqlToken>;

[[noreturn]] void refuse(const QString &why)
{
    throw Failure(QStringLiteral("This query cannot be opened for update: ") + why);
}

qsizetype nextSignificant(const Tokens &tokens, qsizetype from)
{
    while (from < tokens.size() && !tokens.at(from).isSignificant())
        ++from;
    return from;
}

bool isWordAt(const Tokens &tokens, qsizetype at, QLatin1String word)
{
    return at < tokens.size() && tokens.at(at).isWord(word);
}

// The position right after "SELECT [TOP n [PERCENT] | TOP (n)]".
qsizetype afterSelectHead(const Tokens &tokens, qsizetype select)
{
    qsizetype at = nextSignificant(tokens, select + 1);
    if (isWordAt(tokens, at, QLatin1String("DISTINCT")))
        refuse(QStringLiteral("DISTINCT rows have no single source row"));
    if (!isWordAt(tokens, at, QLatin1String("TOP")))
        return select + 1;
    at = nextSignificant(tokens, at + 1);
    if (at < tokens.size() && tokens.at(at).isPunctuation(QLatin1Char('('))) {
        while (at < tokens.size() && !tokens.at(at).isPunctuation(QLatin1Char(')')))
            ++at;
    }
    qsizetype end = at + 1;
    const qsizetype next = nextSignificant(tokens, end);
    if (isWordAt(tokens, next, QLatin1String("PERCENT")))
        end = next + 1;
    return end;
}

qsizetype topLevelFrom(const Tokens &tokens, qsizetype from)
{
    int depth = 0;
    for (qsizetype at = from; at < tokens.size(); ++at) {
        const SqlToken &token = tokens.at(at);
        if (token.isPunctuation(QLatin1Char('(')))
            ++depth;
        else if (token.isPunctuation(QLatin1Char(')')))
            --depth;
        else if (depth == 0 && token.isWord(QLatin1String("FROM")))
            return at;
    }
    refuse(QStringLiteral("no FROM clause"));
}

bool endsTheSource(const SqlToken &token)
{
    static const QSet<QString> clauses = {QStringLiteral("WHERE"),  QStringLiteral("ORDER"), QStringLiteral("GROUP"),
                                          QStringLiteral("HAVING"), QStringLiteral("UNION"), QStringLiteral("WITH"),
                                          QStringLiteral("OPTION"), QStringLiteral("FOR")};
    return token.kind == SqlToken::Kind::Identifier && clauses.contains(token.text.toUpper());
}

bool joinsAnotherSource(const SqlToken &token)
{
    static const QSet<QString> joins = {QStringLiteral("JOIN"),  QStringLiteral("INNER"), QStringLiteral("LEFT"),
                                        QStringLiteral("RIGHT"), QStringLiteral("FULL"),  QStringLiteral("CROSS"),
                                        QStringLiteral("OUTER")};
    return token.isPunctuation(QLatin1Char(',')) ||
           (token.kind == SqlToken::Kind::Identifier && joins.contains(token.text.toUpper()));
}

} // namespace

UpdatableQuery UpdatableQuery::fromSelect(const QString &sql, const QString &keyColumn)
{
    const Tokens tokens = tokenizeSql(sql);
    const qsizetype select = nextSignificant(tokens, 0);
    if (!isWordAt(tokens, select, QLatin1String("SELECT")))
        refuse(QStringLiteral("it is not a SELECT"));
    const qsizetype insertAt = afterSelectHead(tokens, select);

    qsizetype at = nextSignificant(tokens, topLevelFrom(tokens, insertAt) + 1);
    QString table;
    // A dotted name ("dbo.SYS_MSG") names the table by its last part.
    while (at < tokens.size() && (tokens.at(at).kind == SqlToken::Kind::Identifier ||
                                  tokens.at(at).kind == SqlToken::Kind::QuotedIdentifier)) {
        table = tokens.at(at).text;
        const qsizetype next = nextSignificant(tokens, at + 1);
        if (next < tokens.size() && tokens.at(next).isPunctuation(QLatin1Char('.')))
            at = nextSignificant(tokens, next + 1);
        else {
            at = next;
            break;
        }
    }
    if (table.isEmpty())
        refuse(QStringLiteral("the source is not a table"));

    QString reference = table;
    if (isWordAt(tokens, at, QLatin1String("AS")))
        at = nextSignificant(tokens, at + 1);
    if (at < tokens.size() && tokens.at(at).kind == SqlToken::Kind::Identifier && !endsTheSource(tokens.at(at)) &&
        !joinsAnotherSource(tokens.at(at))) {
        reference = tokens.at(at).text;
        at = nextSignificant(tokens, at + 1);
    }
    if (at < tokens.size() && joinsAnotherSource(tokens.at(at)))
        refuse(QStringLiteral("it reads more than one table"));
    for (const SqlToken &token : tokens) {
        if (token.isWord(QLatin1String("UNION")) || token.isWord(QLatin1String("GROUP")))
            refuse(QStringLiteral("its rows are not rows of one table"));
    }

    QString query;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (i == insertAt)
            query += QLatin1Char(' ') + reference + QStringLiteral(".RECORD_ID AS ") + keyColumn + QLatin1Char(',');
        query += tokens.at(i).text;
    }
    return {query, table};
}

} // namespace mrv::suite::db
