#include "SuiteUserManager.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"

namespace mrv::suite {

namespace {

// The row of `code` in a table of codes, or its first row by code when `code`
// is empty. `what` names the kind of code in the message of a missing one.
QVariantList rowOfCode(db::SuiteConnection &connection, const QString &table, const QString &codeColumn,
                       const QString &columns, const QString &code, const QString &what)
{
    QString sql = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + table;
    QVariantList values;
    if (!code.isEmpty()) {
        sql += QStringLiteral(" WHERE UPPER(") + codeColumn + QStringLiteral(") = UPPER(?)");
        values << code;
    }
    sql += QStringLiteral(" ORDER BY ") + codeColumn;
    const db::QueryResult result = connection.nativeQuery(sql, values);
    if (!result.rows.isEmpty())
        return result.rows.first();
    if (code.isEmpty())
        throw Failure(QStringLiteral("The database has no %1 (table %2 is empty)").arg(what, table));
    throw Failure(QStringLiteral("The %1 \"%2\" does not exist in %3").arg(what, code, table));
}

} // namespace

SuiteUserManager::SuiteUserManager(std::shared_ptr<db::SuiteConnection> connection, const QString &userCode,
                                   const QString &companyCode)
    : m_connection(std::move(connection))
{
    const QVariantList user = rowOfCode(*m_connection, QStringLiteral("SYS_USR"), QStringLiteral("CDUSR"),
                                        QStringLiteral("CDUSR, USNAM"), userCode.trimmed(), QStringLiteral("user"));
    m_userCode = user.at(0).toString();
    m_userName = user.at(1).toString();
    const QVariantList company = rowOfCode(*m_connection, QStringLiteral("SYS_AZI"), QStringLiteral("CDAZI"),
                                           QStringLiteral("CDAZI"), companyCode.trimmed(), QStringLiteral("company"));
    m_companyCode = company.at(0).toString();
}

QString SuiteUserManager::userCode() const
{
    return m_userCode;
}

QString SuiteUserManager::userName() const
{
    return m_userName;
}

QString SuiteUserManager::companyCode() const
{
    return m_companyCode;
}

QList<SuiteUser> SuiteUserManager::users() const
{
    QList<SuiteUser> users;
    const auto result = m_connection->nativeQuery(QStringLiteral("SELECT CDUSR, USNAM FROM SYS_USR ORDER BY CDUSR"));
    for (const QVariantList &row : result.rows)
        users.append({row.at(0).toString(), row.at(1).toString()});
    return users;
}

QList<SuiteGroup> SuiteUserManager::groups() const
{
    QList<SuiteGroup> groups;
    const auto result = m_connection->nativeQuery(QStringLiteral("SELECT CDGRU, GRDES FROM SYS_GRU ORDER BY CDGRU"));
    for (const QVariantList &row : result.rows)
        groups.append({row.at(0).toString(), row.at(1).toString()});
    return groups;
}

QStringList SuiteUserManager::members(const QString &groupCode) const
{
    QStringList codes;
    const auto result = m_connection->nativeQuery(
        QStringLiteral("SELECT CDUSR FROM SYS_USG WHERE UPPER(CDGRU) = UPPER(?) ORDER BY CDUSR"), {groupCode});
    for (const QVariantList &row : result.rows)
        codes << row.at(0).toString();
    return codes;
}

} // namespace mrv::suite
