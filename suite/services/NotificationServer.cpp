#include "NotificationServer.h"

#include "ChangeConditions.h"
#include "PlainTextRtf.h"
#include "SuiteSession.h"
#include "db/SqlBatch.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "notifications/ConditionRows.h"
#include "notifications/clsSYS_NTF.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <utility>

namespace mrv::suite {

namespace {

// Changes taken at once: each batch is one transaction.
constexpr int kChangesPerTransaction = 100;
constexpr int kDefaultGenericInterval = 3600;
const QString kObject = QStringLiteral("NotificationServer");

QVariantMap rowOf(const QVariant &json)
{
    QVariantMap row;
    const QVariantMap parsed = QJsonDocument::fromJson(json.toString().toUtf8()).object().toVariantMap();
    for (auto it = parsed.cbegin(); it != parsed.cend(); ++it)
        row.insert(it.key().toUpper(), it.value());
    return row;
}

// SQLite gives a stamp as its text, PostgreSQL as a date and time.
QDateTime stampOf(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    return QDateTime::fromString(value.toString().left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool isOneOf(qint32 state, NotificationState first, NotificationState second)
{
    return state == first || state == second;
}

} // namespace

struct NotificationServer::Rule
{
    qint32 id = 0;
    QString company;
    qint32 type = 1;
    QString table;
    qint32 execution = 1;
    QString recipients;
    QString subject;
    QString content;
    QString batch;
    QDateTime lastRun;
    std::unique_ptr<clsSYS_NTF> model; // on a table
};

struct NotificationServer::Change
{
    qint64 id = 0;
    QString company;
    QString table;
    ChangedRow row;
};

NotificationServer::NotificationServer(SuiteSession &session)
    : m_session(session),
      m_genericInterval(session.config()
                            ->value(QLatin1String(kGenericIntervalKey), QString::number(kDefaultGenericInterval))
                            .toLongLong())
{}

NotificationServer::~NotificationServer() = default;

NotificationServer::Round NotificationServer::runRound()
{
    Round round;
    answerRequests(round);
    runDueGeneric(round);
    // The changes there are now: under a steady stream of changes a round
    // still ends, and the next answers the requests that came meanwhile.
    const qint64 last = m_session.connection()
                            ->nativeQuery(QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_NTL"))
                            .rows.value(0)
                            .value(0)
                            .toLongLong();
    while (consumeChanges(last, round)) {
    }
    return round;
}

// Every notification the server should run, whatever state a kill left it
// in: 2 is active, 12 and 13 are requests taken and not finished.
void NotificationServer::answerRequests(Round &round)
{
    const db::QueryResult listed = m_session.connection()->nativeQuery(
        QStringLiteral("SELECT RECORD_ID, NTUPD FROM SYS_NTF WHERE NTUPD NOT IN (0, 3) ORDER BY RECORD_ID"));
    QSet<qint32> running;
    for (const QVariantList &row : listed.rows) {
        const qint32 id = row.at(0).toInt();
        const qint32 state = row.at(1).toInt();
        if (isOneOf(state, nsToDeactivate, nsDeactivating)) {
            setState(id, nsDeactivating);
            setState(id, nsInactive);
            continue;
        }
        const bool requested = isOneOf(state, nsToActivate, nsActivating);
        if (requested) {
            setState(id, nsActivating);
            m_rules.remove(id);
        }
        if (!m_rules.contains(id))
            activate(id, round);
        if (!m_rules.contains(id))
            continue;
        if (requested) {
            // Activated or changed: a generic notification runs at once.
            m_session.connection()->nativeQuery(
                QStringLiteral("UPDATE SYS_NTF SET NTUPD = ?, NTLST = NULL WHERE RECORD_ID = ?"), {nsActive, id});
            m_rules[id]->lastRun = QDateTime();
        }
        running.insert(id);
    }
    for (auto it = m_rules.begin(); it != m_rules.end();)
        it = running.contains(it.key()) ? std::next(it) : m_rules.erase(it);
}

void NotificationServer::activate(qint32 id, Round &round)
{
    auto &connection = *m_session.connection();
    try {
        const db::QueryResult found = connection.nativeQuery(
            QStringLiteral("SELECT CDAZI, NTTIP, NTTBL, NTEXE, NTREC, NTSUB, NTNOT, NTQRF, NTLST FROM SYS_NTF "
                           "WHERE RECORD_ID = ?"),
            {id});
        if (found.rows.isEmpty())
            return;
        const QVariantList &row = found.rows.first();
        auto rule = std::make_shared<Rule>();
        rule->id = id;
        rule->company = row.at(0).toString();
        rule->type = row.at(1).toInt();
        rule->table = row.at(2).toString();
        rule->execution = row.at(3).toInt();
        rule->recipients = row.at(4).toString();
        rule->subject = withParameters(row.at(5).toString(), rule->company, false);
        rule->content = withParameters(row.at(6).toString(), rule->company, false);
        rule->batch = row.at(7).toString();
        rule->lastRun = stampOf(row.at(8));
        if (rule->recipients.trimmed().isEmpty())
            throw Failure(QStringLiteral("the notification has no recipients"));
        if (rule->type == 0 && rule->batch.trimmed().isEmpty())
            throw Failure(QStringLiteral("the generic notification has no batch to run"));
        if (rule->type == 1)
            loadConditions(*rule);
        m_rules.insert(id, rule);
        // The editor's save wrote False into every condition's NCVAL.
        if (rule->model) {
            for (const auto &condition : rule->model->NewEnum())
                m_recorded.remove(condition->ID());
        }
    } catch (const Failure &failure) {
        fail(id, QStringLiteral("Activate"), failure.message(), round);
    }
}

// The conditions with their parameters read once, as the rule is loaded.
void NotificationServer::loadConditions(Rule &rule)
{
    rule.model = std::make_unique<clsSYS_NTF>(m_session.errors());
    rule.model->setID(rule.id);
    rule.model->setExecutionStatus(rule.execution);
    notifications::loadConditions(*m_session.connection(), *rule.model, rule.id);
    const auto resolved = [&](qint32 type, const QString &operand) {
        return type == notValue || type == notQuery ? withParameters(operand, rule.company, type == notQuery) : operand;
    };
    for (const auto &condition : rule.model->NewEnum()) {
        condition->setOp1(resolved(condition->Op1Type(), condition->Op1()));
        condition->setOp2(resolved(condition->Op2Type(), condition->Op2()));
    }
}

void NotificationServer::runDueGeneric(Round &round)
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<std::shared_ptr<Rule>> due;
    for (const auto &rule : std::as_const(m_rules)) {
        if (rule->type == 0 && (!rule->lastRun.isValid() || rule->lastRun.addSecs(m_genericInterval) <= now))
            due << rule;
    }
    std::sort(due.begin(), due.end(), [](const auto &a, const auto &b) { return a->id < b->id; });
    for (const auto &rule : due)
        runGeneric(*rule, round);
}

// The batch fills SYS_NTT; its rows go into the message under the
// notification's content, a line each.
void NotificationServer::runGeneric(Rule &rule, Round &round)
{
    auto &connection = *m_session.connection();
    setState(rule.id, nsRunning);
    try {
        db::SuiteConnection::Transaction transaction(connection);
        db::runBatch(connection, rule.batch);
        const db::QueryResult results = connection.nativeQuery(
            QStringLiteral("SELECT NTFLD, NTVAL FROM SYS_NTT WHERE IDNTF = ? ORDER BY RECORD_ID"), {rule.id});
        if (!results.rows.isEmpty()) {
            QStringList lines{rule.content, QString()};
            for (const QVariantList &row : results.rows)
                lines << row.at(0).toString() + QStringLiteral(": ") + row.at(1).toString();
            send(rule, lines.join(QStringLiteral("\r\n")));
        }
        const QDateTime now = QDateTime::currentDateTime();
        connection.nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = ?, NTLST = ? WHERE RECORD_ID = ?"),
                               {nsActive, db::SqlValueTools::dateTimeText(now), rule.id});
        transaction.commit();
        rule.lastRun = now;
        round.sent += results.rows.isEmpty() ? 0 : 1;
    } catch (const Failure &failure) {
        fail(rule.id, QStringLiteral("RunGeneric"), failure.message(), round);
    }
}

bool NotificationServer::consumeChanges(qint64 last, Round &round)
{
    auto &connection = *m_session.connection();
    const db::QueryResult taken =
        connection.nativeQuery(QStringLiteral("SELECT RECORD_ID, CDAZI, NLTBL, NLEXE, NLNEW, NLOLD FROM SYS_NTL WHERE "
                                              "RECORD_ID <= ? ORDER BY RECORD_ID LIMIT %1")
                                   .arg(kChangesPerTransaction),
                               {last});
    if (taken.rows.isEmpty())
        return false;
    QList<Change> changes;
    QStringList ids;
    for (const QVariantList &row : taken.rows) {
        const int kind = row.at(3).toInt();
        const QVariantMap before = rowOf(row.at(5));
        changes.append({row.at(0).toLongLong(), row.at(1).toString(), row.at(2).toString(),
                        ChangedRow{kind, kind == 3 ? before : rowOf(row.at(4)), before}});
        ids << row.at(0).toString();
    }
    // A notification whose message cannot be sent fails alone: the changes
    // are taken again without it.
    for (;;) {
        QHash<qint32, bool> results;
        const auto toSend = deliveries(changes, round, results);
        const Rule *sending = nullptr;
        QString reason;
        {
            db::SuiteConnection::Transaction transaction(connection);
            try {
                for (const auto &delivery : toSend) {
                    sending = delivery.first;
                    send(*sending, sending->content);
                }
                sending = nullptr;
            } catch (const Failure &failure) {
                reason = failure.message();
            }
            if (!sending) {
                recordResults(results);
                connection.nativeQuery(
                    QStringLiteral("DELETE FROM SYS_NTL WHERE RECORD_ID IN (%1)").arg(ids.join(QStringLiteral(", "))));
                transaction.commit();
                m_recorded.insert(results);
                round.sent += int(toSend.size());
                return true;
            }
        }
        fail(sending->id, QStringLiteral("SendMessage"), reason, round);
    }
}

QList<std::pair<const NotificationServer::Rule *, const NotificationServer::Change *>>
NotificationServer::deliveries(const QList<Change> &changes, Round &round, QHash<qint32, bool> &results)
{
    auto &connection = *m_session.connection();
    const QueryValue queryValue = [&connection](const QString &query) {
        const db::QueryResult result = connection.query(query);
        return result.rows.isEmpty() || result.rows.first().isEmpty() ? QVariant() : result.rows.first().first();
    };
    QList<std::shared_ptr<Rule>> rules;
    for (const auto &rule : std::as_const(m_rules)) {
        if (rule->type == 1)
            rules << rule;
    }
    std::sort(rules.begin(), rules.end(), [](const auto &a, const auto &b) { return a->id < b->id; });
    QList<std::pair<const Rule *, const Change *>> found;
    for (const Change &change : changes) {
        for (const auto &rule : std::as_const(rules)) {
            if (!m_rules.contains(rule->id) || rule->execution != change.row.kind ||
                rule->table.compare(change.table, Qt::CaseInsensitive) != 0 ||
                rule->company.compare(change.company, Qt::CaseInsensitive) != 0)
                continue;
            try {
                if (conditionsHold(*rule->model, change.row, queryValue, &results))
                    found.append({rule.get(), &change});
            } catch (const Failure &failure) {
                fail(rule->id, QStringLiteral("Evaluate"), failure.message(), round);
            }
        }
    }
    // A rule failed on a later change sends nothing for the earlier ones.
    found.removeIf([&](const auto &delivery) { return !m_rules.contains(delivery.first->id); });
    return found;
}

// NCVAL: what each condition gave on the last change it was evaluated for,
// written with the messages of that change and only where it moved, so
// that a steady stream of changes costs few writes.
void NotificationServer::recordResults(const QHash<qint32, bool> &results)
{
    for (auto it = results.cbegin(); it != results.cend(); ++it) {
        const auto recorded = m_recorded.constFind(it.key());
        if (recorded != m_recorded.cend() && *recorded == it.value())
            continue;
        m_session.connection()->nativeQuery(QStringLiteral("UPDATE SYS_NTC SET NCVAL = ? WHERE RECORD_ID = ?"),
                                            {it.value() ? 1 : 0, it.key()});
    }
}

void NotificationServer::send(const Rule &rule, const QString &body)
{
    SuiteErrors &errors = *m_session.errors();
    errors.clearRecentReports();
    QString log;
    const bool sent = m_session.message()->SendMessage(0, rule.subject, plainTextAsRtf(body), rule.recipients, {}, {},
                                                       {}, {}, {}, {}, mstNotification, false, &log);
    if (sent)
        return;
    const QList<ErrorReport> reports = errors.recentReports();
    throw Failure(QStringLiteral("the message could not be sent: ") +
                  (reports.isEmpty() ? log.trimmed() : reports.last().description));
}

void NotificationServer::fail(qint32 id, const QString &procedure, const QString &reason, Round &round)
{
    m_session.errors()->report(QStringLiteral("Notification %1: %2").arg(id).arg(reason), 0, kObject, procedure);
    setState(id, nsFailed);
    m_rules.remove(id);
    ++round.failed;
}

void NotificationServer::setState(qint32 id, NotificationState state)
{
    m_session.connection()->nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = ? WHERE RECORD_ID = ?"),
                                        {qint32(state), id});
}

// "[@5@]" becomes the value of parameter 5 of the company: as a literal in
// a query, as it is in a text.
QString NotificationServer::withParameters(const QString &text, const QString &company, bool asLiterals)
{
    QString result;
    qsizetype from = 0;
    for (qsizetype open = text.indexOf(QLatin1String("[@")); open >= 0;
         open = text.indexOf(QLatin1String("[@"), from)) {
        const qsizetype close = text.indexOf(QLatin1String("@]"), open + 2);
        if (close < 0)
            throw Failure(QStringLiteral("a parameter reference \"[@\" has no \"@]\""));
        bool number = false;
        const qint32 key = text.mid(open + 2, close - open - 2).toInt(&number);
        if (!number)
            throw Failure(
                QStringLiteral("a parameter is named by its number: \"%1\"").arg(text.mid(open, close - open + 2)));
        const db::QueryResult value =
            m_session.connection()->query(QStringLiteral("SELECT dbo.%1_XFN_SYS_NTG_GET(%2)").arg(company).arg(key));
        const QVariant found = value.rows.isEmpty() ? QVariant() : value.rows.first().first();
        result += text.mid(from, open - from) + (!asLiterals      ? found.toString()
                                                 : found.isNull() ? QStringLiteral("NULL")
                                                                  : db::SqlValueTools::quoted(found.toString()));
        from = close + 2;
    }
    return result + text.mid(from);
}

} // namespace mrv::suite
