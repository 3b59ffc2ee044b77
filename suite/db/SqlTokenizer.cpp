#include "SqlTokenizer.h"

namespace mrv::suite::db {

namespace {

using Kind = SqlToken::Kind;

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool startsIdentifier(char32_t codePoint)
{
    return QChar::isLetter(codePoint) || codePoint == U'_' || codePoint == U'@' || codePoint == U'#' ||
           codePoint == U'$';
}

bool continuesIdentifier(char32_t codePoint)
{
    return startsIdentifier(codePoint) || QChar::isLetterOrNumber(codePoint);
}

// Every scan consumes at least one character, so tokenizing always ends.
class SqlScanner
{
public:
    explicit SqlScanner(const QString &sql) : m_sql(sql) {}

    QList<SqlToken> tokens() const
    {
        QList<SqlToken> result;
        qsizetype start = 0;
        while (start < m_sql.size()) {
            const auto [kind, end] = scanAt(start);
            result.append({kind, m_sql.mid(start, end - start)});
            start = end;
        }
        return result;
    }

private:
    struct Scanned
    {
        Kind kind;
        qsizetype end;
    };

    Scanned scanAt(qsizetype pos) const
    {
        const QChar c = m_sql.at(pos);
        if (c.isSpace())
            return {Kind::Whitespace, whitespaceEnd(pos)};
        if (startsWith(pos, u"--"))
            return {Kind::Comment, lineEnd(pos)};
        if (startsWith(pos, u"/*"))
            return {Kind::Comment, blockCommentEnd(pos)};
        if (c == u'\'')
            return {Kind::String, quotedEnd(pos + 1, u'\'')};
        if ((c == u'N' || c == u'n') && charAt(pos + 1) == u'\'')
            return {Kind::String, quotedEnd(pos + 2, u'\'')};
        if (c == u'[')
            return {Kind::QuotedIdentifier, quotedEnd(pos + 1, u']')};
        if (c == u'"')
            return {Kind::QuotedIdentifier, quotedEnd(pos + 1, u'"')};
        if (isAsciiDigit(c) || (c == u'.' && isAsciiDigit(charAt(pos + 1))))
            return {Kind::Number, numberEnd(pos)};
        if (startsIdentifier(codePointAt(pos)))
            return {Kind::Identifier, identifierEnd(pos)};
        return {Kind::Punctuation, operatorEnd(pos)};
    }

    QChar charAt(qsizetype pos) const { return pos < m_sql.size() ? m_sql.at(pos) : QChar(); }

    // Every token that begins with two fixed characters (comments, operators,
    // binary literals): checked here, inline, at every position of the text.
    bool startsWith(qsizetype pos, const char16_t (&pair)[3]) const
    {
        return charAt(pos) == QChar(pair[0]) && charAt(pos + 1) == QChar(pair[1]);
    }

    // Width in UTF-16 units of the character at pos: 2 for a well-formed surrogate pair.
    qsizetype widthAt(qsizetype pos) const
    {
        return m_sql.at(pos).isHighSurrogate() && charAt(pos + 1).isLowSurrogate() ? 2 : 1;
    }

    char32_t codePointAt(qsizetype pos) const
    {
        return widthAt(pos) == 2 ? QChar::surrogateToUcs4(m_sql.at(pos), m_sql.at(pos + 1)) : m_sql.at(pos).unicode();
    }

    qsizetype whitespaceEnd(qsizetype pos) const
    {
        while (pos < m_sql.size() && m_sql.at(pos).isSpace())
            ++pos;
        return pos;
    }

    qsizetype lineEnd(qsizetype pos) const
    {
        while (pos < m_sql.size() && m_sql.at(pos) != u'\n' && m_sql.at(pos) != u'\r')
            ++pos;
        return pos;
    }

    qsizetype blockCommentEnd(qsizetype pos) const
    {
        int depth = 0;
        while (pos < m_sql.size()) {
            if (startsWith(pos, u"/*")) {
                ++depth;
                pos += 2;
            } else if (startsWith(pos, u"*/")) {
                pos += 2;
                if (--depth == 0)
                    return pos;
            } else {
                ++pos;
            }
        }
        return pos;
    }

    // From just after the opening character; a doubled closing character is part of the text.
    qsizetype quotedEnd(qsizetype pos, QChar closing) const
    {
        while (pos < m_sql.size()) {
            if (m_sql.at(pos) == closing) {
                if (charAt(pos + 1) != closing)
                    return pos + 1;
                ++pos;
            }
            ++pos;
        }
        return pos;
    }

    qsizetype digitsEnd(qsizetype pos) const
    {
        while (pos < m_sql.size() && isAsciiDigit(m_sql.at(pos)))
            ++pos;
        return pos;
    }

    qsizetype numberEnd(qsizetype pos) const
    {
        if (startsWith(pos, u"0x") || startsWith(pos, u"0X"))
            return identifierEnd(pos + 2); // binary literal: hexadecimal digits
        pos = digitsEnd(pos);
        if (charAt(pos) == u'.')
            pos = digitsEnd(pos + 1);
        if (charAt(pos) == u'e' || charAt(pos) == u'E') {
            const qsizetype exponent = (charAt(pos + 1) == u'+' || charAt(pos + 1) == u'-') ? pos + 2 : pos + 1;
            if (isAsciiDigit(charAt(exponent)))
                pos = digitsEnd(exponent);
        }
        return pos;
    }

    qsizetype identifierEnd(qsizetype pos) const
    {
        while (pos < m_sql.size() && continuesIdentifier(codePointAt(pos)))
            pos += widthAt(pos);
        return pos;
    }

    qsizetype operatorEnd(qsizetype pos) const
    {
        static constexpr char16_t kTwoCharacterOperators[][3] = {u"<>", u"<=", u">=", u"!=", u"!<", u"!>", u"||"};
        for (const auto &twoCharacters : kTwoCharacterOperators) {
            if (startsWith(pos, twoCharacters))
                return pos + 2;
        }
        return pos + widthAt(pos);
    }

    const QString &m_sql;
};

} // namespace

QList<SqlToken> tokenizeSql(const QString &sql)
{
    return SqlScanner(sql).tokens();
}

QList<QList<SqlToken>> splitStatements(const QList<SqlToken> &tokens)
{
    QList<QList<SqlToken>> statements;
    QList<SqlToken> current;
    bool significant = false;
    const auto finishStatement = [&] {
        if (significant)
            statements << current;
        current.clear();
        significant = false;
    };
    for (const SqlToken &token : tokens) {
        if (token.isPunctuation(u';')) {
            finishStatement();
            continue;
        }
        current << token;
        significant = significant || token.isSignificant();
    }
    finishStatement();
    return statements;
}

} // namespace mrv::suite::db
