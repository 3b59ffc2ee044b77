#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

namespace mrv::suite::db {
class SuiteConnection;
}

namespace mrv::suite::app {

// Tells when another client of the database sent a message or reported on a
// task. Polls the connection from a timer without waiting, so the windows
// never block on it.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 500;

    SignalWatcher(std::shared_ptr<db::SuiteConnection> connection, QObject *parent = nullptr);

    // Reads the signals that arrived since the last poll, without waiting.
    void poll();

Q_SIGNALS:
    void messagesChanged();
    // The signals can no longer be read; polling stops.
    void watchFailed(const QString &reason);

private:
    std::shared_ptr<db::SuiteConnection> m_connection;
    QTimer m_timer;
};

} // namespace mrv::suite::app
