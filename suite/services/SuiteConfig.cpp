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

// SQL's UPPER folds ASCII letters only; so must the cache's keys.
QString foldedKey(const QString &key)
{
    QString folded = key;
    for (QChar &c : folded) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return folded;
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

const SuiteConfig::Snapshot &SuiteConfig::currentSnapshot() const
{
    const QString user = storedText(currentUser());
    const db::ContentVersion version = m_connection->contentVersion(QStringLiteral("SYS_CFG"));
    if (m_snapshot && m_snapshot->version == version && m_snapshot->user == user)
        return *m_snapshot;

    const db::QueryResult rows = m_connection->nativeQuery(
        QStringLiteral("SELECT CFKEY, CFVAL, CFUSR, CFAPP FROM SYS_CFG WHERE CFVAL IS NOT NULL "
                       "AND UPPER(CFUSR) IN ('', UPPER(?)) AND UPPER(CFAPP) IN ('', UPPER(?))"),
        {user, storedText(m_application)});
    // The version from before the read: a commit that slips in between is seen next time.
    Snapshot snapshot{version, user, {}};
    QHash<QString, int> ranks;
    for (const QVariantList &row : rows.rows) {
        const QString key = foldedKey(row.at(0).toString());
        const int rank = specificity(row.at(2).toString(), row.at(3).toString());
        if (rank > ranks.value(key, -1)) {
            ranks.insert(key, rank);
            snapshot.values.insert(key, row.at(1).toString());
        }
    }
    m_snapshot = std::move(snapshot);
    return *m_snapshot;
}

QString SuiteConfig::value(const QString &key, const QString &defaultValue) const
{
    const Snapshot &snapshot = currentSnapshot();
    const auto found = snapshot.values.constFind(foldedKey(key));
    return found == snapshot.values.constEnd() ? defaultValue : *found;
}

void SuiteConfig::setValue(const QString &key, const QString &value, bool perUser, bool perApplication,
                           bool createMissing)
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
    } else if (createMissing) {
        m_connection->nativeQuery(
            QStringLiteral("INSERT INTO SYS_CFG (CFKEY, CFUSR, CFAPP, CFVAL) VALUES (?, ?, ?, ?)"),
            owner + QVariantList{storedText(value)});
    }
    transaction.commit();
}

} // namespace mrv::suite
