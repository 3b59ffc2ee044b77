#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

namespace mrv::suite {

class SuiteSession;

// States of a notification (NTUPD): the editor's requests and the server's
// own. The server moves 11 through 13 to 1 and 10 through 12 to 0; it holds
// 2 while a generic notification's batch runs and puts a notification it
// cannot run in 3, the reason in the error log.
enum NotificationState : qint32 {
    nsInactive = 0,
    nsActive = 1,
    nsRunning = 2,
    nsFailed = 3,
    nsToDeactivate = 10,
    nsToActivate = 11,
    nsDeactivating = 12,
    nsActivating = 13,
};

// The notification server: one round at a time, it answers the requests of
// the editor, runs the generic notifications that are due and consumes the
// changes the watched tables recorded in SYS_NTL, sending each message as
// the session's user through the component's SendMessage.
//
// A change is deleted in the transaction that writes the messages it gives,
// and a generic notification's time of run is written with its message:
// killed at any point, the server loses nothing and sends nothing twice.
class NotificationServer
{
public:
    // The seconds between two runs of a generic notification, from the
    // configuration key of that name (default an hour).
    static constexpr const char *kGenericIntervalKey = "NOTIFY_GENERIC_INTERVAL";

    explicit NotificationServer(SuiteSession &session);
    ~NotificationServer();

    struct Round
    {
        int sent = 0;   // messages
        int failed = 0; // notifications put in state 3
    };
    Round runRound();

private:
    struct Rule;
    struct Change;

    void answerRequests(Round &round);
    void activate(qint32 id, Round &round);
    void loadConditions(Rule &rule);
    void runDueGeneric(Round &round);
    void runGeneric(Rule &rule, Round &round);
    // The oldest changes up to `last`, one transaction; false when none is left.
    bool consumeChanges(qint64 last, Round &round);
    QList<std::pair<const Rule *, const Change *>> deliveries(const QList<Change> &changes, Round &round,
                                                              QHash<qint32, bool> &results);
    void recordResults(const QHash<qint32, bool> &results);
    void send(const Rule &rule, const QString &body);
    void fail(qint32 id, const QString &procedure, const QString &reason, Round &round);
    void setState(qint32 id, NotificationState state);
    QString withParameters(const QString &text, const QString &company, bool asLiterals);

    SuiteSession &m_session;
    QHash<qint32, std::shared_ptr<Rule>> m_rules;
    QHash<qint32, bool> m_recorded; // NCVAL by condition, as this server last wrote it
    qint64 m_genericInterval;
};

} // namespace mrv::suite
