#include "SignalWatcher.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteRecords.h"

namespace mrv::suite::app {

namespace {

bool concernsMessages(const QString &payload)
{
    const QString name = RaisedSignal::fromPayload(payload).name;
    return name == QLatin1String("#NewMessage#") || name == QLatin1String("#TaskNotification#");
}

} // namespace

SignalWatcher::SignalWatcher(std::shared_ptr<db::SuiteConnection> connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection))
{
    m_connection->listen();
    connect(&m_timer, &QTimer::timeout, this, &SignalWatcher::poll);
    m_timer.start(kIntervalMs);
}

void SignalWatcher::poll()
{
    QStringList payloads;
    try {
        payloads = m_connection->waitForNotifications(0);
    } catch (const Failure &failure) {
        m_timer.stop();
        Q_EMIT watchFailed(failure.message());
        return;
    }
    if (std::any_of(payloads.cbegin(), payloads.cend(), concernsMessages))
        Q_EMIT messagesChanged();
}

} // namespace mrv::suite::app
