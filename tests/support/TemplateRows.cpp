#include "TemplateRows.h"

#include "db/SuiteConnection.h"
#include "host/HostServices.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

namespace mrv::testing {

namespace {

QString text(const QString &value)
{
    return host::valueTools().sqlLiteral(value, host::tcShortText);
}

qint32 newKey(suite::db::SuiteConnection &connection, const QString &insert, const QString &table)
{
    connection.query(insert);
    return connection.query(QStringLiteral("SELECT MAX(RECORD_ID) FROM ") + table).rows.first().first().toInt();
}

} // namespace

qint32 addDataset(suite::db::SuiteConnection &connection, const QString &table, const QString &query,
                  const QString &customerColumn, const QString &printTable)
{
    return newKey(connection,
                  QStringLiteral("INSERT INTO SYS_DAT (DTDES, DTQRY, DTTBL, DTTBP, DTCON) VALUES (%1, %2, %3, %4, %5)")
                      .arg(text(table), text(query), text(table), text(printTable), text(customerColumn)),
                  QStringLiteral("SYS_DAT"));
}

qint32 addTemplate(suite::db::SuiteConnection &connection, const QString &body, const QList<qint32> &datasets)
{
    const qint32 key =
        newKey(connection, QStringLiteral("INSERT INTO SYS_MST (MTDES, MTTEM) VALUES ('Test', %1)").arg(text(body)),
               QStringLiteral("SYS_MST"));
    for (const qint32 dataset : datasets)
        connection.query(QStringLiteral("INSERT INTO SYS_MTD (IDMST, IDDAT) VALUES (%1, %2)").arg(key).arg(dataset));
    return key;
}

} // namespace mrv::testing
