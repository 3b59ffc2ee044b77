#include "TableInfo.h"

#include "db/SchemaCatalog.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"

namespace mrv::suite::app {

namespace {

const QString kRecordId = QStringLiteral("RECORD_ID");

} // namespace

QString tableOf(const QString &tableOrView)
{
    if (db::SchemaCatalog::table(tableOrView))
        return tableOrView.toUpper();
    // Views are named after the table they list and a suffix.
    for (qsizetype end = tableOrView.lastIndexOf(QLatin1Char('_')); end > 0;
         end = tableOrView.lastIndexOf(QLatin1Char('_'), end - 1)) {
        if (db::SchemaCatalog::table(tableOrView.left(end)))
            return tableOrView.left(end).toUpper();
    }
    return tableOrView.toUpper();
}

QString keyColumnOf(const QString &table)
{
    const db::TableDef *def = db::SchemaCatalog::table(table);
    if (!def)
        return kRecordId;
    for (const db::IndexDef &index : def->indexes) {
        if (index.unique && index.columns.size() == 1)
            return index.columns.first();
    }
    return kRecordId;
}

QString textColumnOf(const QString &table)
{
    const db::TableDef *def = db::SchemaCatalog::table(table);
    const QString key = keyColumnOf(table);
    if (def) {
        for (const db::ColumnDef &column : def->columns) {
            if (column.type == db::ColumnType::Text && column.name != key)
                return column.name;
        }
    }
    return key;
}

QString captionOf(const QString &table, const QString &column)
{
    if (const db::TableDef *def = db::SchemaCatalog::table(table)) {
        for (const db::ColumnDef &candidate : def->columns) {
            if (candidate.name.compare(column, Qt::CaseInsensitive) == 0 && !candidate.caption.isEmpty())
                return candidate.caption;
        }
    }
    return column;
}

QVariant fieldOf(const db::QueryResult &result, int row, const QString &column)
{
    for (qsizetype at = 0; at < result.columns.size(); ++at) {
        if (result.columns.at(at).compare(column, Qt::CaseInsensitive) == 0)
            return result.rows.value(row).value(at);
    }
    return {};
}

db::QueryResult readRecord(SuiteSession &session, const QString &table, const QString &key)
{
    const QString keyColumn = keyColumnOf(table);
    const QString keyValue = keyColumn == kRecordId ? QString::number(key.toInt()) : db::SqlValueTools::quoted(key);
    return session.connection()->query(QStringLiteral("SELECT * FROM %1\rWHERE %2 = %3")
                                           .arg(session.records()->physicalName(table), keyColumn, keyValue));
}

} // namespace mrv::suite::app
