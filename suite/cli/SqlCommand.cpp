#include "Cli.h"

#include "db/SuiteConnection.h"

namespace mrv::cli {

namespace {

// One row per line: control characters that would break the line are
// written as escapes, a Null as the word NULL.
QString cellText(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.metaType().id() == QMetaType::QByteArray)
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex());
    QString text = value.toString();
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

int runSql(Context &context, const QStringList &args)
{
    requireNoMoreOptions(args);
    if (args.size() != 1)
        throw UsageError{QStringLiteral("give exactly one SQL text")};
    const suite::db::QueryResult result = context.connection()->query(args.first());
    if (result.columns.isEmpty())
        return exitOk;
    QTextStream &out = context.out();
    out << result.columns.join(QLatin1Char('\t')) << '\n';
    for (const QVariantList &row : result.rows) {
        QStringList cells;
        cells.reserve(row.size());
        for (const QVariant &value : row)
            cells << cellText(value);
        out << cells.join(QLatin1Char('\t')) << '\n';
    }
    return exitOk;
}

} // namespace

Command sqlCommand()
{
    return {QStringLiteral("sql"), QStringLiteral("sql TEXT"),
            QStringLiteral("run SQL in the suite's dialect and print the rows"),
            QStringLiteral("TEXT is written in the suite's dialect (SQL Server's) and translated for the engine.\n"
                           "Rows are printed as tab-separated lines under a header line of column names;\n"
                           "NULL stands for a Null, and tab, CR, LF and backslash inside a value are written\n"
                           "\\t, \\r, \\n and \\\\. A statement without rows prints nothing. A failing statement\n"
                           "prints the engine's error on stderr and exits with 1."),
            runSql};
}

} // namespace mrv::cli
