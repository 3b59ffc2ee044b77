#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

namespace mrv::suite::db {

struct SqlToken
{
    enum class Kind {
        Whitespace,       // blanks, tabs, CR and LF
        Comment,          // "-- ..." up to the line end, or "/* ... */" (nested, as SQL Server allows)
        String,           // 'it''s' or N'...'
        QuotedIdentifier, // [name] or "name"
        Number,
        Identifier, // letters, digits, _ @ # $: "@PARAM", "@@IDENTITY", "#TEMP" are one token each
        Punctuation,
    };

    Kind kind = Kind::Punctuation;
    QString text;

    bool isSignificant() const { return kind != Kind::Whitespace && kind != Kind::Comment; }
    // Keywords and names of the dialect compare without regard to case.
    bool isWord(QLatin1String word) const
    {
        return kind == Kind::Identifier && text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool isPunctuation(QChar character) const
    {
        return kind == Kind::Punctuation && text.size() == 1 && text.front() == character;
    }
};

// Splits SQL of the suite's dialect into tokens. Lossless: joining the texts
// gives the input back exactly, whatever the input (an unterminated literal,
// comment or bracket runs to the end as one token).
QList<SqlToken> tokenizeSql(const QString &sql);

// The statements of a text's tokens, split at every ";" outside literals,
// quoted identifiers and comments. Statements holding nothing but blanks
// and comments are dropped.
QList<QList<SqlToken>> splitStatements(const QList<SqlToken> &tokens);

} // namespace mrv::suite::db
