#include "SuiteConfig.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "host/UserManager.h"

namespace mrv::suite {

namespace {

// Codes are compared without regard to case, as SQL Server's default
// collation does, on every engine. "Any user" and "any application" are ''.
const QString kSameRow =
    QStringLiteral("UPPER(CFKEY) = UPPER(?) AND UPPER(CFUSR) = UPPER(?) AND UPPER(CFAPP) = UPPER(?)");

// QtSql binds a null QString as NULL, which the owner columns refuse.
QString storedText(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

// User and application together outrank the user alone, which outranks the
// application alone, which outranks the global value.
int specificity(const QString &user, const QString &application)
{
    return (user.isEmpty() ? 0 : 2) + (application.isEmpty() ? 0 : 1);
}

} // namespace

SuiteConfig::SuiteConfig(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users,
                         const QString &application)
    : m_connection(std::move(connection)), m_users(std::move(users)), m_application(application)
{}

QString SuiteConfig::application() const
{
    return m_application;
}

QString SuiteConfig::currentUser() const
{
    return m_users ? m_users->userCode() : QString();
}

QString SuiteConfig::value(const QString &key, const QString &defaultValue) const
{
    const db::QueryResult rows = m_connection->nativeQuery(
        QStringLiteral("SELECT CFVAL, CFUSR, CFAPP FROM SYS_CFG WHERE UPPER(CFKEY) = UPPER(?) AND CFVAL IS NOT NULL "
                       "AND UPPER(CFUSR) IN ('', UPPER(?)) AND UPPER(CFAPP) IN ('', UPPER(?))"),
        {key, storedText(currentUser()), storedText(m_application)});
    int best = -1;
    QString found = defaultValue;
    for (const QVariantList &row : rows.rows) {
        const int rank = specificity(row.at(1).toString(), row.at(2).toString());
        if (rank > best) {
            best = rank;
            found = row.at(0).toString();
        }
    }
    return found;
}

void SuiteConfig::setValue(const QString &key, const QString &value, bool perUser, bool perApplication)
{
    if (key.trimmed().isEmpty())
        throw Failure(QStringLiteral("A configuration value needs a key"));
    const QString user = perUser ? currentUser() : QString();
    if (perUser && user.isEmpty())
        throw Failure(QStringLiteral("The per-user value \"%1\" needs a current user").arg(key));
    const QVariantList owner = {key, storedText(user), storedText(perApplication ? m_application : QString())};

    db::SuiteConnection::SeparateScope scope(*m_connection);
    db::SuiteConnection::Transaction transaction(*m_connection);
    const db::QueryResult existing =
        m_connection->nativeQuery(QStringLiteral("SELECT COUNT(*) FROM SYS_CFG WHERE ") + kSameRow, owner);
    if (existing.rows.first().first().toLongLong() > 0) {
        m_connection->nativeQuery(QStringLiteral("UPDATE SYS_CFG SET CFVAL = ? WHERE ") + kSameRow,
                                  QVariantList{storedText(value)} + owner);
    } else {
        m_connection->nativeQuery(
            QStringLiteral("INSERT INTO SYS_CFG (CFKEY, CFUSR, CFAPP, CFVAL) VALUES (?, ?, ?, ?)"),
            owner + QVariantList{storedText(value)});
    }
    transaction.commit();
}

} // namespace mrv::suite
