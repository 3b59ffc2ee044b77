#include "SuiteRichTextStore.h"

#include "facade/Types.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/ValueTools.h"

namespace mrv::suite {

namespace {

qint32 literalKind(qint32 keyKind)
{
    return keyKind == host::kkNumber ? host::tcInt32 : host::tcShortText;
}

} // namespace

SuiteRichTextStore::SuiteRichTextStore(std::shared_ptr<host::Connection> connection)
    : m_connection(std::move(connection))
{}

QString SuiteRichTextStore::load(const QString &column, const QString &table, const QString &keyColumn,
                                 const QVariant &key, qint32 keyKind, qint32 /*format*/)
{
    const QVariant value = m_connection->lookup(table, keyColumn, key, keyKind, column);
    return value.isValid() && !mrv::isNull(value) ? value.toString() : QString();
}

void SuiteRichTextStore::save(const QString &text, const QString &column, const QString &table,
                              const QString &keyColumn, const QVariant &key, qint32 keyKind, qint32 /*format*/)
{
    const QString where = keyColumn + QStringLiteral(" = ") + host::valueTools().sqlLiteral(key, literalKind(keyKind));
    auto rows = m_connection->open(QStringLiteral("SELECT COUNT(*) AS ROWS_FOUND FROM ") + table +
                                   QStringLiteral(" WHERE ") + where);
    if (rows->field(QStringLiteral("ROWS_FOUND")).toLongLong() == 0)
        throw Failure(QStringLiteral("No row of %1 has %2 = %3").arg(table, keyColumn, key.toString()));
    auto statement = m_connection->newStatement();
    statement->initialize(table);
    statement->addColumn(column, text, host::tcLongText);
    statement->setWhere(QStringLiteral("WHERE ") + where);
    m_connection->execute(statement->build(host::skUpdate));
}

} // namespace mrv::suite
