#include "Dialect.h"

#include "Routines.h"
#include "SchemaCatalog.h"
#include "SqlTokenizer.h"
#include "host/Failure.h"

#include <QHash>
#include <QSet>

#include <algorithm>

// The suite's SQL adapted to SQLite and to PostgreSQL by one translator; the
// engines differ in a handful of spellings (Flavour).
//
// What the translation cannot do token by token, and so leaves as written:
// "+" between texts (SQLite adds them as numbers; only the types tell a sum
// from a concatenation; CONCAT() is translated and is the portable choice;
// PostgreSQL's schema gets a "+" operator for texts),
// "TOP n PERCENT" below 100 (refused), and "TOP" in a select of a UNION when
// the union's own ORDER BY is meant to choose its rows: that select gets its
// first n rows in no particular order, as SQL Server gives them.

namespace mrv::suite::db {

namespace {

using Kind = SqlToken::Kind;

// How deep a translation already is. Database functions may call one
// another, and one that calls itself, directly or not, would be expanded
// forever; every parenthesis is a recursion of the translator, and a
// hostile text must not exhaust the stack (SQLite itself refuses
// expressions nested deeper than 1000).
struct Depth
{
    int expansions = 0;
    int nesting = 0;
};

constexpr int maximumExpansions = 16;
constexpr int maximumNesting = 1000;

void requireShallowNesting(int nesting)
{
    if (nesting > maximumNesting)
        throw Failure(QStringLiteral("The statement nests parentheses or function calls too deeply"));
}

// Words that can follow a table source or a window call without being an
// alias of it.
bool isClauseWord(const SqlToken &token)
{
    static const QSet<QString> words = {
        QStringLiteral("FROM"),    QStringLiteral("WHERE"), QStringLiteral("GROUP"),  QStringLiteral("ORDER"),
        QStringLiteral("HAVING"),  QStringLiteral("UNION"), QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT"),
        QStringLiteral("JOIN"),    QStringLiteral("INNER"), QStringLiteral("LEFT"),   QStringLiteral("RIGHT"),
        QStringLiteral("FULL"),    QStringLiteral("CROSS"), QStringLiteral("OUTER"),  QStringLiteral("NATURAL"),
        QStringLiteral("ON"),      QStringLiteral("USING"), QStringLiteral("LIMIT"),  QStringLiteral("OFFSET"),
        QStringLiteral("WINDOW"),  QStringLiteral("INTO"),  QStringLiteral("WITH"),   QStringLiteral("OPTION"),
        QStringLiteral("FOR"),     QStringLiteral("THEN"),  QStringLiteral("ELSE"),   QStringLiteral("END"),
        QStringLiteral("WHEN"),    QStringLiteral("AND"),   QStringLiteral("OR"),     QStringLiteral("IS"),
        QStringLiteral("NOT"),     QStringLiteral("IN"),    QStringLiteral("LIKE"),   QStringLiteral("BETWEEN"),
        QStringLiteral("COLLATE"), QStringLiteral("ASC"),   QStringLiteral("DESC"),
    };
    return token.kind == Kind::Identifier && words.contains(token.text.toUpper());
}

bool isSetOperator(const SqlToken &token)
{
    return token.isWord(QLatin1String("UNION")) || token.isWord(QLatin1String("EXCEPT")) ||
           token.isWord(QLatin1String("INTERSECT"));
}

// What differs between the engines' spellings.
struct Flavour
{
    bool postgres = false;
};

// The SQLite type for a type of SQL Server in CAST, or an empty text when it
// can stay. DATETIME matters most: SQLite would cast '2024-05-01 10:00:00'
// with numeric affinity, to 2024.
QString sqliteCastType(const SqlToken &token)
{
    static const QHash<QString, QString> types = {
        {QStringLiteral("NVARCHAR"), QStringLiteral("TEXT")},      {QStringLiteral("VARCHAR"), QStringLiteral("TEXT")},
        {QStringLiteral("NCHAR"), QStringLiteral("TEXT")},         {QStringLiteral("CHAR"), QStringLiteral("TEXT")},
        {QStringLiteral("DATETIME"), QStringLiteral("TEXT")},      {QStringLiteral("DATE"), QStringLiteral("TEXT")},
        {QStringLiteral("SMALLDATETIME"), QStringLiteral("TEXT")}, {QStringLiteral("BIT"), QStringLiteral("INTEGER")},
    };
    return token.kind == Kind::Identifier ? types.value(token.text.toUpper()) : QString();
}

// The PostgreSQL type for a type of SQL Server in CAST, or an empty text
// when it can stay.
QString postgresCastType(const SqlToken &token)
{
    static const QHash<QString, QString> types = {
        {QStringLiteral("NVARCHAR"), QStringLiteral("VARCHAR")},
        {QStringLiteral("NCHAR"), QStringLiteral("CHAR")},
        {QStringLiteral("DATETIME"), QStringLiteral("TIMESTAMP(0)")},
        {QStringLiteral("SMALLDATETIME"), QStringLiteral("TIMESTAMP(0)")},
        {QStringLiteral("BIT"), QStringLiteral("SMALLINT")},
        {QStringLiteral("TINYINT"), QStringLiteral("SMALLINT")},
        {QStringLiteral("FLOAT"), QStringLiteral("DOUBLE PRECISION")},
        {QStringLiteral("NTEXT"), QStringLiteral("TEXT")},
    };
    return token.kind == Kind::Identifier ? types.value(token.text.toUpper()) : QString();
}

// N'text' is SQL Server's Unicode literal; every SQLite text is Unicode.
// SQLite stops reading a statement at a NUL character, so a literal holding
// one is joined from its pieces and char(0). Doubled quotes never span a
// NUL, so every piece stays a well-formed literal.
QString sqliteLiteral(const QString &literal)
{
    const QString text = literal.startsWith(u'N') || literal.startsWith(u'n') ? literal.mid(1) : literal;
    if (!text.contains(QChar(0)) || text.size() < 2 || !text.endsWith(u'\''))
        return text;
    QStringList pieces;
    for (const QString &piece : text.mid(1, text.size() - 2).split(QChar(0)))
        pieces << u'\'' + piece + u'\'';
    return u'(' + pieces.join(QStringLiteral(" || char(0) || ")) + u')';
}

// "[na]]me]" as "na]me" in standard double quotes. Inside the brackets "]"
// is doubled, so an odd number of "]" at the end means the closing one is
// there; an unterminated identifier is left for the engine to report.
QString doubleQuotedIdentifier(const QString &identifier)
{
    if (!identifier.startsWith(u'['))
        return identifier;
    const qsizetype trailingBrackets =
        std::distance(identifier.crbegin(),
                      std::find_if(identifier.crbegin(), identifier.crend() - 1, [](QChar c) { return c != u']'; }));
    if (trailingBrackets % 2 == 0)
        return identifier;
    QString name = identifier.mid(1, identifier.size() - 2);
    name.replace(QStringLiteral("]]"), QStringLiteral("]")).replace(u'"', QStringLiteral("\"\""));
    return u'"' + name + u'"';
}

// N'text' is SQL Server's Unicode literal; every PostgreSQL text is Unicode,
// and none can hold a NUL character.
QString postgresLiteral(const QString &literal)
{
    if (literal.contains(QChar(0)))
        throw Failure(QStringLiteral("PostgreSQL cannot store the character U+0000 in a text"));
    return literal.startsWith(u'N') || literal.startsWith(u'n') ? literal.mid(1) : literal;
}

// A quoted name for PostgreSQL: SQL Server ignores the case of names, and
// the schema's unquoted names are folded to lower case, so a quoted name is
// too, unless it names a result column ("AS [Totale]"), whose case shows.
QString postgresQuotedIdentifier(const QString &identifier, bool alias)
{
    const QString standard = doubleQuotedIdentifier(identifier);
    return alias || !standard.startsWith(u'"') ? standard : standard.toLower();
}

// SQL Server nests block comments, SQLite ends one at the first "*/": the
// inner closings are broken up so that the comment stays one comment. A NUL
// would silently end the whole statement for SQLite: it becomes a blank.
QString sqliteComment(QString comment)
{
    comment.replace(QChar(0), u' ');
    if (!comment.startsWith(QStringLiteral("/*")) || comment.indexOf(QStringLiteral("/*"), 2) < 0)
        return comment;
    QString result;
    int depth = 0;
    for (qsizetype pos = 0; pos < comment.size();) {
        const QStringView rest = QStringView(comment).mid(pos);
        if (rest.startsWith(u"/*")) {
            ++depth;
            result += QStringLiteral("/*");
            pos += 2;
        } else if (rest.startsWith(u"*/")) {
            result += --depth > 0 ? QStringLiteral("* /") : QStringLiteral("*/");
            pos += 2;
        } else {
            result += comment.at(pos++);
        }
    }
    return result;
}

// Requires the count of "TOP n PERCENT" to be a whole table: SQLite's LIMIT
// takes a number of rows only.
void requireWholeTable(const QString &percentage)
{
    QString number = percentage;
    number.remove(u'(').remove(u')');
    bool ok = false;
    if (number.trimmed().toDouble(&ok) < 100 || !ok)
        throw Failure(QStringLiteral("SELECT TOP %1 PERCENT cannot be translated for SQLite: only TOP 100 PERCENT is "
                                     "supported")
                          .arg(percentage));
}

// The tokens of one text and, for every "(", the index of its ")" (the end
// of the text when it has none), found once so that no call scans for it.
struct TokenText
{
    explicit TokenText(QList<SqlToken> tokenList) : tokens(std::move(tokenList)), closeOf(tokens.size(), tokens.size())
    {
        QList<qsizetype> open;
        for (qsizetype index = 0; index < tokens.size(); ++index) {
            if (tokens.at(index).isPunctuation(u'('))
                open.append(index);
            else if (tokens.at(index).isPunctuation(u')') && !open.isEmpty())
                closeOf[open.takeLast()] = index;
        }
    }

    const QList<SqlToken> tokens;
    QList<qsizetype> closeOf;
};

// The tokens [begin, end) of a text.
struct TokenRange
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

// One pass over the tokens of a text, writing the engine's text. Parentheses
// are translated recursively, each level keeping the state of its own
// selects, so a "TOP" inside a subquery ends that subquery.
class Translator
{
public:
    Translator(Flavour flavour, const TokenText &text, TokenRange range, const TranslationContext &context, Depth depth)
        : m_flavour(flavour), m_text(text), m_tokens(text.tokens), m_begin(range.begin), m_end(range.end),
          m_context(context), m_depth(depth), m_pos(range.begin)
    {}

    QString translate()
    {
        translateGroup(GroupKind::Statements);
        return m_out;
    }

private:
    enum class GroupKind { Statements, Parenthesized, CastArguments };

    // A "SELECT TOP n" waiting for the end of its select to become "LIMIT n".
    struct PendingLimit
    {
        QString count;
        qsizetype selectStart = 0; // in m_out
    };

    // The selects of one level: a statement, or the inside of parentheses.
    struct SelectLevel
    {
        std::optional<PendingLimit> limit;
        bool compound = false; // a UNION, EXCEPT or INTERSECT was seen
    };

    using Handler = void (Translator::*)(qsizetype next);

    // Token access; indexes out of range answer false.

    bool isValid(qsizetype index) const { return index >= m_begin && index < m_end; }
    bool isWordAt(qsizetype index, const char *word) const
    {
        return isValid(index) && m_tokens.at(index).isWord(QLatin1String(word));
    }
    bool isPunctuationAt(qsizetype index, QChar character) const
    {
        return isValid(index) && m_tokens.at(index).isPunctuation(character);
    }
    bool isKindAt(qsizetype index, Kind kind) const { return isValid(index) && m_tokens.at(index).kind == kind; }

    qsizetype nextSignificant(qsizetype index) const
    {
        while (index < m_end && !m_tokens.at(index).isSignificant())
            ++index;
        return index;
    }
    qsizetype previousSignificant(qsizetype index) const
    {
        do
            --index;
        while (index >= m_begin && !m_tokens.at(index).isSignificant());
        return index;
    }
    qsizetype matchingClose(qsizetype open) const { return std::min(m_text.closeOf.at(open), m_end); }
    qsizetype after(qsizetype close) const { return std::min(close + 1, m_end); }

    // A name after a dot is a column or table of that qualifier ("T.LEN"), never a keyword.
    bool followsDot(qsizetype index) const { return isPunctuationAt(previousSignificant(index), u'.'); }

    bool aliasFollows(qsizetype index) const
    {
        const qsizetype next = nextSignificant(index);
        return isKindAt(next, Kind::QuotedIdentifier) ||
               (isKindAt(next, Kind::Identifier) && !isClauseWord(m_tokens.at(next)));
    }

    // Output. m_significantEnd is where a LIMIT goes: after the last token
    // that is not a blank or a comment, so that it never ends in a comment.

    void write(const QString &text)
    {
        m_out += text;
        m_significantEnd = m_out.size();
    }
    void copyToken()
    {
        const SqlToken &token = m_tokens.at(m_pos++);
        if (token.isSignificant())
            write(token.text);
        else
            m_out += token.text;
    }
    void replaceToken(const QString &text)
    {
        write(text);
        ++m_pos;
    }

    // Levels and selects.

    void translateGroup(GroupKind kind)
    {
        SelectLevel level;
        while (m_pos < m_end) {
            const SqlToken &token = m_tokens.at(m_pos);
            if (token.isPunctuation(u')') && kind != GroupKind::Statements)
                break;
            if (token.isPunctuation(u';')) {
                closeSelect(level);
                level = {};
                copyToken();
            } else if (isSetOperator(token)) {
                level.compound = true;
                closeSelect(level);
                copyToken();
            } else if (level.compound && token.isWord(QLatin1String("ORDER")) &&
                       isWordAt(nextSignificant(m_pos + 1), "BY")) {
                // The ORDER BY of a union sorts the union: it is outside its last select.
                closeSelect(level);
                copyToken();
            } else if (token.isWord(QLatin1String("SELECT")) && !followsDot(m_pos)) {
                translateSelect(level);
            } else {
                translateToken(kind);
            }
        }
        closeSelect(level);
    }

    void translateParenthesized(GroupKind kind)
    {
        requireShallowNesting(++m_depth.nesting);
        copyToken();
        translateGroup(kind);
        if (m_pos < m_end)
            copyToken();
        --m_depth.nesting;
    }

    void translateSelect(SelectLevel &level)
    {
        // A second select on the same level without a set operator between
        // them is a new statement (SQL Server does not require the ";").
        closeSelect(level);
        const qsizetype selectStart = m_out.size();
        qsizetype top = nextSignificant(m_pos + 1);
        if (isWordAt(top, "DISTINCT") || isWordAt(top, "ALL"))
            top = nextSignificant(top + 1);
        if (!isWordAt(top, "TOP")) {
            copyToken();
            return;
        }
        while (m_pos < top)
            copyToken();
        if (const std::optional<QString> count = readTopCount())
            level.limit = PendingLimit{*count, selectStart};
    }

    // Reads "TOP n", "TOP (n)" or "TOP 100 PERCENT" and the blanks after it:
    // the row count for LIMIT, or none when every row is wanted.
    std::optional<QString> readTopCount()
    {
        const qsizetype countIndex = nextSignificant(m_pos + 1);
        QString count;
        qsizetype end = 0;
        if (isKindAt(countIndex, Kind::Number)) {
            count = m_tokens.at(countIndex).text;
            end = countIndex + 1;
        } else if (isPunctuationAt(countIndex, u'(')) {
            const qsizetype close = matchingClose(countIndex);
            count = u'(' + translateNested({countIndex + 1, close}) + u')';
            end = after(close);
        } else {
            copyToken(); // not a row count: left for the engine to reject
            return std::nullopt;
        }
        const qsizetype percent = nextSignificant(end);
        const bool wholeTable = isWordAt(percent, "PERCENT");
        if (wholeTable) {
            requireWholeTable(count);
            end = percent + 1;
        }
        while (isKindAt(end, Kind::Whitespace))
            ++end;
        m_pos = end;
        return wholeTable ? std::nullopt : std::optional<QString>(count);
    }

    void closeSelect(SelectLevel &level)
    {
        if (!level.limit)
            return;
        const QString limit = QStringLiteral(" LIMIT ") + level.limit->count;
        if (level.compound) {
            // No LIMIT inside a compound select but in a subquery, which
            // PostgreSQL wants named.
            const QString subqueryStart = QStringLiteral("SELECT * FROM (");
            const QString subqueryEnd = m_flavour.postgres ? QStringLiteral(") AS mrv_top") : QStringLiteral(")");
            m_out.insert(m_significantEnd, limit + subqueryEnd);
            m_out.insert(level.limit->selectStart, subqueryStart);
            m_significantEnd += subqueryStart.size() + limit.size() + subqueryEnd.size();
        } else {
            m_out.insert(m_significantEnd, limit);
            m_significantEnd += limit.size();
        }
        level.limit.reset();
    }

    // Single tokens.

    void translateToken(GroupKind kind)
    {
        const SqlToken &token = m_tokens.at(m_pos);
        switch (token.kind) {
        case Kind::Comment:
            // PostgreSQL nests block comments as SQL Server does.
            m_out += m_flavour.postgres ? QString(token.text).replace(QChar(0), u' ') : sqliteComment(token.text);
            ++m_pos;
            return;
        case Kind::String:
            replaceToken(m_flavour.postgres ? postgresLiteral(token.text) : sqliteLiteral(token.text));
            return;
        case Kind::QuotedIdentifier:
            replaceToken(quotedIdentifier(m_pos));
            return;
        case Kind::Identifier:
            translateIdentifier(kind);
            return;
        case Kind::Punctuation:
            if (token.isPunctuation(u'('))
                translateParenthesized(GroupKind::Parenthesized);
            else
                copyToken();
            return;
        case Kind::Whitespace:
        case Kind::Number:
            copyToken();
            return;
        }
    }

    void translateIdentifier(GroupKind kind)
    {
        if (followsDot(m_pos)) {
            copyToken();
            return;
        }
        const qsizetype next = nextSignificant(m_pos + 1);
        if (kind == GroupKind::CastArguments && isWordAt(previousSignificant(m_pos), "AS"))
            return translateCastType(next);
        const QString word = m_tokens.at(m_pos).text.toUpper();
        if (const Handler handler = wordHandler(word))
            return (this->*handler)(next);
        if (const Handler handler = callHandler(word); handler && isPunctuationAt(next, u'('))
            return (this->*handler)(next);
        replaceToken(withCompanyPrefix(m_tokens.at(m_pos).text));
    }

    static Handler wordHandler(const QString &word)
    {
        static const QHash<QString, Handler> handlers = {
            {QStringLiteral("DELETE"), &Translator::translateDelete},
            {QStringLiteral("DBO"), &Translator::translateSchemaName},
            {QStringLiteral("@@IDENTITY"), &Translator::translateIdentity},
            {QStringLiteral("TRUE"), &Translator::translateTrue},
            {QStringLiteral("FALSE"), &Translator::translateFalse},
            {QStringLiteral("$COMPANY"), &Translator::translateCompany},
        };
        return handlers.value(word);
    }

    // Functions, recognised only when a "(" follows the name.
    static Handler callHandler(const QString &word)
    {
        static const QHash<QString, Handler> handlers = {
            {QStringLiteral("SCOPE_IDENTITY"), &Translator::translateIdentityCall},
            {QStringLiteral("GETDATE"), &Translator::translateNow},
            {QStringLiteral("ISNULL"), &Translator::translateIsNull},
            {QStringLiteral("LEN"), &Translator::translateLength},
            {QStringLiteral("CAST"), &Translator::translateCast},
            {QStringLiteral("OVER"), &Translator::translateWindow},
            {QStringLiteral("CONCAT"), &Translator::translateConcat},
        };
        return handlers.value(word);
    }

    // "$PNAME" in the suite's own texts is NAME of the current company.
    QString withCompanyPrefix(const QString &name) const
    {
        if (!name.startsWith(QStringLiteral("$P")) || m_context.companyPrefix.isEmpty())
            return name;
        return m_context.companyPrefix + name.mid(2);
    }

    // "$COMPANY" in the suite's own texts is the current company's code, as a text.
    void translateCompany(qsizetype)
    {
        if (m_context.companyPrefix.isEmpty())
            throw Failure(QStringLiteral("$COMPANY needs a current company"));
        replaceToken(u'\'' + m_context.companyPrefix.chopped(1) + u'\'');
    }

    QString identityLiteral() const
    {
        return m_context.scopeIdentity ? QString::number(*m_context.scopeIdentity) : QStringLiteral("NULL");
    }

    void translateIdentity(qsizetype) { replaceToken(identityLiteral()); }
    void translateTrue(qsizetype) { replaceToken(QStringLiteral("1")); }
    void translateFalse(qsizetype) { replaceToken(QStringLiteral("0")); }
    void translateIsNull(qsizetype)
    {
        replaceToken(m_flavour.postgres ? QStringLiteral("COALESCE") : QStringLiteral("IFNULL"));
    }

    QString quotedIdentifier(qsizetype index) const
    {
        const QString &text = m_tokens.at(index).text;
        if (!m_flavour.postgres)
            return doubleQuotedIdentifier(text);
        return postgresQuotedIdentifier(text, isWordAt(previousSignificant(index), "AS"));
    }

    void translateIdentityCall(qsizetype open)
    {
        write(identityLiteral());
        m_pos = after(matchingClose(open));
    }

    // Dates are local, to the second, as the value tools write them.
    void translateNow(qsizetype open)
    {
        write(m_flavour.postgres ? QStringLiteral("LOCALTIMESTAMP(0)") : QStringLiteral("datetime('now','localtime')"));
        m_pos = after(matchingClose(open));
    }

    // SQL Server's LEN does not count trailing blanks.
    void translateLength(qsizetype open)
    {
        write(QStringLiteral("LENGTH(RTRIM"));
        m_pos = open;
        translateParenthesized(GroupKind::Parenthesized);
        write(QStringLiteral(")"));
    }

    void translateCast(qsizetype open)
    {
        copyToken();
        m_pos = open;
        translateParenthesized(GroupKind::CastArguments);
    }

    void translateCastType(qsizetype next)
    {
        const QString type =
            m_flavour.postgres ? postgresCastType(m_tokens.at(m_pos)) : sqliteCastType(m_tokens.at(m_pos));
        if (type.isEmpty()) {
            copyToken();
            return;
        }
        write(type);
        if (!isPunctuationAt(next, u'(')) {
            ++m_pos;
            return;
        }
        // SQLite's types take no length; PostgreSQL's keep a number, not MAX.
        const qsizetype length = nextSignificant(next + 1);
        if (m_flavour.postgres && isKindAt(length, Kind::Number) && !type.contains(u'('))
            write(u'(' + m_tokens.at(length).text + u')');
        m_pos = after(matchingClose(next));
    }

    // "ROW_NUMBER() OVER(...) POSITION": the alias gets its AS.
    void translateWindow(qsizetype open)
    {
        copyToken();
        m_pos = open;
        translateParenthesized(GroupKind::Parenthesized);
        if (aliasFollows(m_pos) && !isWordAt(nextSignificant(m_pos), "AS"))
            write(QStringLiteral(" AS"));
    }

    // SQL Server's CONCAT takes NULL as an empty text; SQLite's "||" would
    // give NULL. PostgreSQL's own CONCAT does as SQL Server's.
    void translateConcat(qsizetype open)
    {
        if (m_flavour.postgres) {
            copyToken();
            return;
        }
        const qsizetype close = matchingClose(open);
        QStringList parts;
        for (const TokenRange &argument : splitArguments(open + 1, close))
            parts << QStringLiteral("IFNULL(") + translateNested(argument) + QStringLiteral(", '')");
        write(u'(' + parts.join(QStringLiteral(" || ")) + u')');
        m_pos = after(close);
    }

    // "DELETE TABLE WHERE ..." is SQL Server's short form of DELETE FROM.
    void translateDelete(qsizetype next)
    {
        const qsizetype previous = previousSignificant(m_pos);
        const bool startsStatement = !isValid(previous) || isPunctuationAt(previous, u';');
        const bool namesTable = isKindAt(next, Kind::QuotedIdentifier) ||
                                (isKindAt(next, Kind::Identifier) && !isWordAt(next, "FROM") && !isWordAt(next, "TOP"));
        copyToken();
        if (startsStatement && namesTable)
            write(QStringLiteral(" FROM"));
    }

    // "dbo.NAME": SQLite has no schema of that name. A call of one of the
    // suite's database functions is expanded in place there and names the
    // server's own function on PostgreSQL; anything else keeps its name
    // alone, and an unknown function is left for the engine to report.
    void translateSchemaName(qsizetype dot)
    {
        const qsizetype name = nextSignificant(dot + 1);
        if (!isPunctuationAt(dot, u'.') ||
            !(isKindAt(name, Kind::Identifier) || isKindAt(name, Kind::QuotedIdentifier))) {
            copyToken();
            return;
        }
        m_pos = name;
        if (isKindAt(name, Kind::QuotedIdentifier))
            return replaceToken(quotedIdentifier(name));
        const QString calledName = withCompanyPrefix(m_tokens.at(name).text);
        const qsizetype open = nextSignificant(name + 1);
        const FunctionDef *function =
            isPunctuationAt(open, u'(') && m_context.routines ? m_context.routines->function(calledName) : nullptr;
        if (!function)
            replaceToken(calledName);
        else if (m_flavour.postgres)
            callServerFunction(*function, calledName, open);
        else
            expandCall(*function, calledName, open);
    }

    QList<TokenRange> callArguments(const FunctionDef &function, const QString &calledName, qsizetype open) const
    {
        const QList<TokenRange> arguments = splitArguments(open + 1, matchingClose(open));
        if (arguments.size() != function.parameters.size())
            throw Failure(QStringLiteral("The database function %1 takes %2 arguments, not %3")
                              .arg(calledName)
                              .arg(function.parameters.size())
                              .arg(arguments.size()));
        return arguments;
    }

    // The server keeps the function, one for each company when it reads the
    // company's tables: a call without a company names the current one's.
    void callServerFunction(const FunctionDef &function, const QString &calledName, qsizetype open)
    {
        QStringList arguments;
        for (const TokenRange &argument : callArguments(function, calledName, open))
            arguments << translateNested(argument);
        const bool prefixNeeded = function.perCompany() && calledName.size() == function.name.size();
        write(QStringLiteral("dbo.") + (prefixNeeded ? m_context.companyPrefix : QString()) + calledName + u'(' +
              arguments.join(u',') + u')');
        m_pos = after(matchingClose(open));
        // The rows go by the name the function was called with.
        if (prefixNeeded && function.tableValued && !aliasFollows(m_pos))
            write(u' ' + calledName);
    }

    void expandCall(const FunctionDef &function, const QString &calledName, qsizetype open)
    {
        const qsizetype close = matchingClose(open);
        const QList<TokenRange> arguments = callArguments(function, calledName, open);
        write(u'(' + expandBody(function, calledName, arguments) + u')');
        m_pos = after(close);
        // SQL Server names the rows of a table function after the function.
        if (function.tableValued && !aliasFollows(m_pos))
            write(u' ' + calledName);
    }

    QString expandBody(const FunctionDef &function, const QString &calledName, const QList<TokenRange> &arguments) const
    {
        if (m_depth.expansions >= maximumExpansions)
            throw Failure(
                QStringLiteral("The database function %1 is nested too deeply (does it call itself?)").arg(calledName));
        TranslationContext context = m_context;
        if (calledName.size() > function.name.size())
            context.companyPrefix = calledName.left(calledName.size() - function.name.size());
        const Depth inner{m_depth.expansions + 1, m_depth.nesting + 1};
        requireShallowNesting(inner.nesting);
        const TokenText body(substituteParameters(function, arguments));
        return Translator(m_flavour, body, {0, body.tokens.size()}, context, inner).translate();
    }

    // The body's tokens with each "@PARAMETER" replaced by its argument in parentheses.
    QList<SqlToken> substituteParameters(const FunctionDef &function, const QList<TokenRange> &arguments) const
    {
        QList<SqlToken> result;
        for (const SqlToken &token : tokenizeSql(function.body)) {
            const qsizetype index = token.kind == Kind::Identifier ? function.parameterIndex(token.text) : -1;
            if (index < 0) {
                result << token;
                continue;
            }
            const TokenRange argument = arguments.at(index);
            result << SqlToken{Kind::Punctuation, QStringLiteral("(")}
                   << m_tokens.mid(argument.begin, argument.end - argument.begin)
                   << SqlToken{Kind::Punctuation, QStringLiteral(")")};
        }
        return result;
    }

    // The arguments between begin and end, split at the commas outside parentheses.
    QList<TokenRange> splitArguments(qsizetype begin, qsizetype end) const
    {
        QList<TokenRange> arguments;
        if (nextSignificant(begin) >= end)
            return arguments;
        qsizetype start = begin;
        for (qsizetype index = begin; index < end; ++index) {
            if (m_tokens.at(index).isPunctuation(u'(')) {
                index = matchingClose(index); // the commas inside are a nested call's
            } else if (m_tokens.at(index).isPunctuation(u',')) {
                arguments.append({start, index});
                start = index + 1;
            }
        }
        arguments.append({start, end});
        return arguments;
    }

    QString translateNested(TokenRange range) const
    {
        const Depth inner{m_depth.expansions, m_depth.nesting + 1};
        requireShallowNesting(inner.nesting);
        return Translator(m_flavour, m_text, range, m_context, inner).translate();
    }

    const Flavour m_flavour;
    const TokenText &m_text;
    const QList<SqlToken> &m_tokens;
    const qsizetype m_begin;
    const qsizetype m_end;
    const TranslationContext &m_context;
    Depth m_depth;
    qsizetype m_pos;
    QString m_out;
    qsizetype m_significantEnd = 0;
};

// The translation the engines share; each engine adds its column types.
class TranslatingDialect : public Dialect
{
public:
    explicit TranslatingDialect(Flavour flavour) : m_flavour(flavour) {}

    QString translate(const QString &sql, const TranslationContext &context) const override
    {
        return translate(tokenizeSql(sql), context);
    }

    QString translate(QList<SqlToken> tokens, const TranslationContext &context) const override
    {
        const TokenText text(std::move(tokens));
        return Translator(m_flavour, text, {0, text.tokens.size()}, context, Depth{}).translate();
    }

private:
    const Flavour m_flavour;
};

class SqliteDialect : public TranslatingDialect
{
public:
    SqliteDialect() : TranslatingDialect(Flavour{false}) {}

    QString name() const override { return QStringLiteral("sqlite"); }

    QString columnType(const ColumnDef &column) const override
    {
        switch (column.type) {
        case ColumnType::SmallInt:
        case ColumnType::Integer:
        case ColumnType::BigInt:
        case ColumnType::Boolean:
            return QStringLiteral("INTEGER");
        case ColumnType::Double:
            return QStringLiteral("REAL");
        case ColumnType::DateTime:
            // 'yyyy-MM-dd HH:mm:ss' text: sorts and compares as the dates do.
            return QStringLiteral("TEXT");
        case ColumnType::Text:
            // SQL Server's default collation ignores case, and the suite
            // relies on it: a code typed "c001" finds the customer "C001".
            return QStringLiteral("TEXT COLLATE NOCASE");
        case ColumnType::SearchKey:
            return QStringLiteral("TEXT");
        case ColumnType::LongText:
            return QStringLiteral("TEXT");
        case ColumnType::Blob:
            return QStringLiteral("BLOB");
        }
        Q_UNREACHABLE();
        return {};
    }

    QString identityColumn(const QString &name) const override
    {
        return name + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    }

    // A trigger per kind of change; the WHEN clause keeps a table that no
    // notification watches as fast to write as without one.
    QStringList changeCapture(const QString &company, const QString &table, const QString &objectName,
                              const QStringList &columns) const override
    {
        QStringList statements;
        for (const ChangeKind kind : {ChangeKind::Insert, ChangeKind::Update, ChangeKind::Delete}) {
            const QString trigger = QStringLiteral("%1_NTL_%2").arg(objectName).arg(int(kind));
            const QString event = kind == ChangeKind::Insert   ? QStringLiteral("INSERT")
                                  : kind == ChangeKind::Update ? QStringLiteral("UPDATE")
                                                               : QStringLiteral("DELETE");
            statements << QStringLiteral("DROP TRIGGER IF EXISTS ") + trigger
                       << QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3\n"
                                         "WHEN EXISTS (SELECT 1 FROM SYS_NTF WHERE NTTIP = 1 AND NTEXE = %4 AND "
                                         "NTTBL = '%5' AND CDAZI = '%6' AND NTUPD NOT IN (0, 3))\n"
                                         "BEGIN INSERT INTO SYS_NTL (CDAZI, NLTBL, NLEXE, NLNEW, NLOLD) "
                                         "VALUES ('%6', '%5', %4, %7, %8); END")
                              .arg(trigger, event, objectName)
                              .arg(int(kind))
                              .arg(table, company,
                                   kind == ChangeKind::Delete ? QStringLiteral("NULL") : rowAsJson("NEW", columns),
                                   kind == ChangeKind::Insert ? QStringLiteral("NULL") : rowAsJson("OLD", columns));
        }
        return statements;
    }

private:
    static QString rowAsJson(const char *row, const QStringList &columns)
    {
        QStringList pairs;
        for (const QString &column : columns)
            pairs << QStringLiteral("'%1', %2.%1").arg(column, QLatin1String(row));
        return QStringLiteral("json_object(") + pairs.join(QStringLiteral(", ")) + u')';
    }
};

class PostgresDialect : public TranslatingDialect
{
public:
    PostgresDialect() : TranslatingDialect(Flavour{true}) {}

    QString name() const override { return QStringLiteral("postgresql"); }

    QString columnType(const ColumnDef &column) const override
    {
        switch (column.type) {
        case ColumnType::SmallInt:
        case ColumnType::Boolean:
            return QStringLiteral("SMALLINT");
        case ColumnType::Integer:
            return QStringLiteral("INTEGER");
        case ColumnType::BigInt:
            return QStringLiteral("BIGINT");
        case ColumnType::Double:
            return QStringLiteral("DOUBLE PRECISION");
        case ColumnType::DateTime:
            return QStringLiteral("TIMESTAMP(0)");
        case ColumnType::Text:
            // Compared without regard to case, as SQL Server's default
            // collation does (see the SQLite dialect).
            return QStringLiteral("CITEXT");
        case ColumnType::SearchKey:
            return QStringLiteral("TEXT COLLATE \"C\"");
        case ColumnType::LongText:
            return QStringLiteral("TEXT");
        case ColumnType::Blob:
            return QStringLiteral("BYTEA");
        }
        Q_UNREACHABLE();
        return {};
    }

    QString identityColumn(const QString &name) const override
    {
        return name + QStringLiteral(" INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    }

    bool storesRoutines() const override { return true; }

    // Texts compared without regard to case (citext, a trusted extension
    // that the database's owner may create), "+" between texts as SQL
    // Server's concatenation: NULL when either side is, and a text key
    // compared with a number as SQL Server compares them ("TBKEY IN (SELECT
    // RECORD_ID ...)" finds the contacts and sites that own an address).
    QStringList schemaPreamble() const override
    {
        return {QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"),
                QStringLiteral("CREATE OR REPLACE FUNCTION mrv_text_plus(a TEXT, b TEXT) RETURNS TEXT LANGUAGE sql "
                               "IMMUTABLE STRICT AS 'SELECT a || b'"),
                QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_operator WHERE oprname = '+' AND oprleft "
                               "= 'text'::regtype AND oprright = 'text'::regtype) THEN CREATE OPERATOR + (LEFTARG = "
                               "TEXT, RIGHTARG = TEXT, FUNCTION = mrv_text_plus); END IF; END $$"),
                QStringLiteral("CREATE OR REPLACE FUNCTION mrv_citext_eq_int(a citext, b INTEGER) RETURNS BOOLEAN "
                               "LANGUAGE sql IMMUTABLE STRICT AS 'SELECT a = b::text::citext'"),
                QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_operator WHERE oprname = '=' AND oprleft "
                               "= 'citext'::regtype AND oprright = 'integer'::regtype) THEN CREATE OPERATOR = "
                               "(LEFTARG = citext, RIGHTARG = INTEGER, FUNCTION = mrv_citext_eq_int); END IF; END $$"),
                QStringLiteral(
                    "CREATE OR REPLACE FUNCTION mrv_capture_change() RETURNS trigger LANGUAGE plpgsql AS $$\n"
                    "DECLARE kind INTEGER := CASE TG_OP WHEN 'INSERT' THEN 1 WHEN 'UPDATE' THEN 2 ELSE 3 END;\n"
                    "BEGIN\n"
                    "  IF EXISTS (SELECT 1 FROM sys_ntf WHERE nttip = 1 AND ntexe = kind AND nttbl = TG_ARGV[1]\n"
                    "             AND cdazi = TG_ARGV[0] AND ntupd NOT IN (0, 3)) THEN\n"
                    "    INSERT INTO sys_ntl (cdazi, nltbl, nlexe, nlnew, nlold) VALUES (TG_ARGV[0], TG_ARGV[1], "
                    "kind,\n"
                    "      CASE WHEN TG_OP <> 'DELETE' THEN row_to_json(NEW)::text END,\n"
                    "      CASE WHEN TG_OP <> 'INSERT' THEN row_to_json(OLD)::text END);\n"
                    "  END IF;\n"
                    "  RETURN NULL;\n"
                    "END $$")};
    }

    // One function for every table; row_to_json names the columns in lower
    // case, which the server reads without regard to case.
    QStringList changeCapture(const QString &company, const QString &table, const QString &objectName,
                              const QStringList &) const override
    {
        const QString trigger = objectName + QStringLiteral("_NTL");
        return {QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(trigger, objectName),
                QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE ON %2 FOR EACH ROW "
                               "EXECUTE FUNCTION mrv_capture_change('%3', '%4')")
                    .arg(trigger, objectName, company, table)};
    }
};

} // namespace

std::unique_ptr<Dialect> makeSqliteDialect()
{
    return std::make_unique<SqliteDialect>();
}

std::unique_ptr<Dialect> makePostgresDialect()
{
    return std::make_unique<PostgresDialect>();
}

} // namespace mrv::suite::db
