#include "TemplateBatch.h"

#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"

#include <QDateTime>

namespace mrv::suite {

namespace {

QString now()
{
    return db::SqlValueTools::dateTimeText(QDateTime::currentDateTime());
}

} // namespace

TemplateBatch::TemplateBatch(db::SuiteConnection &connection, const QString &name, qint32 templateId,
                             const QString &table, const QString &keys)
    : m_connection(connection), m_name(name)
{
    const db::QueryResult started = m_connection.nativeQuery(
        QStringLiteral("SELECT IDMST, MBTBL, MBKEY FROM SYS_MTB WHERE MBNAM = ? AND MBNUM = 0"), {name});
    if (started.rows.isEmpty()) {
        m_connection.nativeQuery(
            QStringLiteral("INSERT INTO SYS_MTB (MBNAM, IDMST, MBTBL, MBKEY, MBNUM, MBDAT) VALUES (?, ?, ?, ?, 0, ?)"),
            {name, templateId, table, keys, now()});
        return;
    }
    const QVariantList &row = started.rows.first();
    if (row.at(0).toInt() != templateId || row.at(1).toString() != table || row.at(2).toString() != keys)
        throw Failure(QStringLiteral("batch %1 was started for template %2 on %3 with the keys %4")
                          .arg(name, row.at(0).toString(), row.at(1).toString(), row.at(2).toString()));
}

std::optional<TemplateBatch::Entry> TemplateBatch::entry(qint32 number) const
{
    const db::QueryResult found = m_connection.nativeQuery(
        QStringLiteral("SELECT MBSTA, IDMSG FROM SYS_MTB WHERE MBNAM = ? AND MBNUM = ?"), {m_name, number});
    if (found.rows.isEmpty())
        return std::nullopt;
    return Entry{found.rows.first().at(0).toInt(), found.rows.first().at(1).toInt()};
}

// A message that took another's number (the dataset's rows moved since the
// batch started) stops the batch: skipping it would lose it, sending it
// might send the other twice.
bool TemplateBatch::mayHand(qint32 number, const QString &identity)
{
    const db::QueryResult found = m_connection.nativeQuery(
        QStringLiteral("SELECT MBIDN FROM SYS_MTB WHERE MBNAM = ? AND MBNUM = ?"), {m_name, number});
    if (found.rows.isEmpty())
        return true;
    if (found.rows.first().first().toString() != identity)
        throw Failure(QStringLiteral("message %1 of batch %2 is not the one handed over before: the template's "
                                     "dataset gives other rows than when the batch started")
                          .arg(number)
                          .arg(m_name));
    return false;
}

void TemplateBatch::handing(qint32 number, const QString &identity, qint32 messageId)
{
    m_connection.nativeQuery(QStringLiteral("INSERT INTO SYS_MTB (MBNAM, MBNUM, MBIDN, IDMSG, MBSTA, MBDAT) "
                                            "VALUES (?, ?, ?, ?, ?, ?)"),
                             {m_name, number, identity, messageId, qint32(Handing), now()});
}

void TemplateBatch::answered(qint32 number, bool sent)
{
    if (sent)
        m_connection.nativeQuery(
            QStringLiteral("UPDATE SYS_MTB SET MBSTA = ?, MBDAT = ? WHERE MBNAM = ? AND MBNUM = ?"),
            {qint32(Sent), now(), m_name, number});
    else
        m_connection.nativeQuery(QStringLiteral("DELETE FROM SYS_MTB WHERE MBNAM = ? AND MBNUM = ?"), {m_name, number});
}

} // namespace mrv::suite
