#include "SqlBatch.h"

#include "SqlTokenizer.h"
#include "SqlValueTools.h"
#include "SuiteConnection.h"
#include "host/Failure.h"

#include <QHash>

namespace mrv::suite::db {

namespace {

using Tokens = QList<SqlToken>;

// The index of the first token from `from` on that is no blank or comment, or -1.
qsizetype nextSignificant(const Tokens &tokens, qsizetype from)
{
    for (qsizetype i = from; i < tokens.size(); ++i) {
        if (tokens.at(i).isSignificant())
            return i;
    }
    return -1;
}

const SqlToken *firstSignificant(const Tokens &tokens)
{
    const qsizetype at = nextSignificant(tokens, 0);
    return at < 0 ? nullptr : &tokens.at(at);
}

bool beginsWith(const Tokens &statement, QLatin1String word)
{
    const SqlToken *first = firstSignificant(statement);
    return first && first->isWord(word);
}

// Whether a keyword met outside parentheses begins the next statement of a
// batch written without ";": a SET belongs to an UPDATE, and a SELECT to an
// INSERT that has no VALUES, to another SELECT (UNION) or to a WITH.
bool beginsNext(const SqlToken &token, const Tokens &current, bool valuesSeen)
{
    if (!firstSignificant(current))
        return false;
    for (const char *word : {"DECLARE", "DELETE", "INSERT", "UPDATE"}) {
        if (token.isWord(QLatin1String(word)))
            return true;
    }
    if (token.isWord(QLatin1String("SET")))
        return !beginsWith(current, QLatin1String("UPDATE"));
    if (!token.isWord(QLatin1String("SELECT")))
        return false;
    if (beginsWith(current, QLatin1String("INSERT")))
        return valuesSeen;
    return !beginsWith(current, QLatin1String("SELECT")) && !beginsWith(current, QLatin1String("WITH"));
}

QList<Tokens> batchStatements(const QString &batch)
{
    QList<Tokens> statements;
    for (const Tokens &piece : splitStatements(tokenizeSql(batch))) {
        Tokens current;
        int depth = 0;
        bool valuesSeen = false;
        for (const SqlToken &token : piece) {
            if (depth == 0 && beginsNext(token, current, valuesSeen)) {
                statements << current;
                current.clear();
                valuesSeen = false;
            }
            depth += token.isPunctuation(u'(') ? 1 : token.isPunctuation(u')') ? -1 : 0;
            valuesSeen = valuesSeen || (depth == 0 && token.isWord(QLatin1String("VALUES")));
            current << token;
        }
        statements << current;
    }
    return statements;
}

class BatchRun
{
public:
    explicit BatchRun(SuiteConnection &connection) : m_connection(connection) {}

    QueryResult run(const QString &batch)
    {
        QueryResult last;
        for (const Tokens &statement : batchStatements(batch)) {
            if (beginsWith(statement, QLatin1String("DECLARE")))
                declare(statement);
            else if (beginsWith(statement, QLatin1String("SET")))
                assign(statement);
            else
                last = m_connection.query(withValues(statement));
        }
        return last;
    }

private:
    // "DECLARE @A INT, @B NVARCHAR(10)": every variable starts as Null.
    void declare(const Tokens &statement)
    {
        int depth = 0;
        bool expectName = false;
        for (const SqlToken &token : statement) {
            depth += token.isPunctuation(u'(') ? 1 : token.isPunctuation(u')') ? -1 : 0;
            if (token.isWord(QLatin1String("DECLARE")) || (depth == 0 && token.isPunctuation(u',')))
                expectName = true;
            else if (expectName && token.isSignificant()) {
                m_values.insert(token.text.toUpper(), QVariant());
                expectName = false;
            }
        }
    }

    void assign(const Tokens &statement)
    {
        const qsizetype name = nextSignificant(statement, nextSignificant(statement, 0) + 1);
        if (name < 0 || !statement.at(name).text.startsWith(u'@'))
            return;
        const QString variable = statement.at(name).text;
        const qsizetype sign = nextSignificant(statement, name + 1);
        if (sign < 0 || !statement.at(sign).isPunctuation(u'='))
            throw Failure(QStringLiteral("Incorrect syntax near \"%1\": SET %1 needs \"=\"").arg(variable));
        requireDeclared(variable);
        const QueryResult result = m_connection.query(QStringLiteral("SELECT ") + withValues(statement.mid(sign + 1)));
        const bool none = result.rows.isEmpty() || result.rows.first().isEmpty();
        m_values.insert(variable.toUpper(), none ? QVariant() : result.rows.first().first());
    }

    QString withValues(const Tokens &statement) const
    {
        QString text;
        for (const SqlToken &token : statement) {
            const bool variable = token.kind == SqlToken::Kind::Identifier && token.text.startsWith(u'@') &&
                                  !token.text.startsWith(QLatin1String("@@"));
            if (!variable) {
                text += token.text;
                continue;
            }
            requireDeclared(token.text);
            const QVariant value = m_values.value(token.text.toUpper());
            text += m_tools.sqlLiteral(value, SuiteConnection::typeCodeOf(value));
        }
        return text;
    }

    void requireDeclared(const QString &name) const
    {
        if (!m_values.contains(name.toUpper()))
            throw Failure(QStringLiteral("Must declare the scalar variable \"%1\"").arg(name));
    }

    SuiteConnection &m_connection;
    SqlValueTools m_tools;
    QHash<QString, QVariant> m_values;
};

} // namespace

QueryResult runBatch(SuiteConnection &connection, const QString &batch)
{
    return BatchRun(connection).run(batch);
}

} // namespace mrv::suite::db
