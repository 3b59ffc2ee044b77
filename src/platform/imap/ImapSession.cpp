#include "ImapSession.h"

#include "SessionCommands.h"

#include <QMutex>
#include <QWaitCondition>

#include <deque>
#include <functional>
#include <future>
#include <thread>

namespace mrv::imap {

// Runs jobs one by one on a thread of its own, in the order posted.
//
// A joined std::thread rather than a QThread: QThread::wait() returns
// before the thread has run its thread-local destructors (OpenSSL frees its
// per-thread state there), and the host may unload the component, or the
// process end, while they still run. join() returns when the thread is gone.
class JobThread
{
public:
    JobThread() : m_thread([this] { run(); }) {}

    ~JobThread()
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_stopping = true;
        }
        m_wake.wakeAll();
        m_thread.join();
    }

    void post(std::function<void()> job)
    {
        {
            const QMutexLocker lock(&m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.wakeAll();
    }

private:
    void run()
    {
        for (;;) {
            std::function<void()> job;
            {
                QMutexLocker lock(&m_mutex);
                while (m_jobs.empty() && !m_stopping)
                    m_wake.wait(&m_mutex);
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    QMutex m_mutex;
    QWaitCondition m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    // Last: started once the members it uses exist.
    std::thread m_thread;
};

struct ImapSession::Private
{
    Private(const ImapAccount &account, ImapTranscript::LineHandler log) : transcript(std::move(log))
    {
        // The connection and its socket belong to the thread that uses them.
        worker.post([this, account] { connection = std::make_unique<ImapConnection>(account, transcript); });
    }

    ~Private()
    {
        worker.post([this] { connection.reset(); });
    }

    ImapTranscript transcript;
    std::unique_ptr<ImapConnection> connection;
    // Declared last: destroyed first, after it has run the jobs still queued.
    JobThread worker;
};

template <typename Work> auto ImapSession::call(Work work)
{
    using Answer = std::invoke_result_t<Work, ImapConnection &>;
    std::promise<Answer> promise;
    std::future<Answer> answer = promise.get_future();
    d->worker.post([&] { promise.set_value(work(*d->connection)); });
    return answer.get();
}

ImapSession::ImapSession(const ImapAccount &account, ImapTranscript::LineHandler log)
    : d(std::make_unique<Private>(account, std::move(log)))
{}

ImapSession::~ImapSession() = default;

Result<void> ImapSession::connectAndLogIn()
{
    return call([](ImapConnection &connection) -> Result<void> {
        if (const Result<void> opened = connection.open(); !opened)
            return opened;
        if (connection.state() == ImapConnection::State::Authenticated)
            return {};
        const Result<void> loggedIn = logIn(connection);
        if (!loggedIn)
            connection.close();
        return loggedIn;
    });
}

Result<QList<QByteArray>> ImapSession::enableResync()
{
    return call([](ImapConnection &connection) { return imap::enableResync(connection); });
}

QList<QByteArray> ImapSession::capabilities()
{
    return call([](ImapConnection &connection) { return connection.capabilities(); });
}

bool ImapSession::isConnected()
{
    return call([](ImapConnection &connection) { return connection.state() != ImapConnection::State::Disconnected; });
}

Result<QList<MailboxInfo>> ImapSession::list()
{
    return call([](ImapConnection &connection) { return listMailboxes(connection); });
}

Result<MailboxStatus> ImapSession::status(const MailboxName &name)
{
    return call([&](ImapConnection &connection) { return mailboxStatus(connection, name); });
}

Result<SelectedMailbox> ImapSession::select(const MailboxName &name, const SelectOptions &options)
{
    return call([&](ImapConnection &connection) { return selectMailbox(connection, name, options); });
}

SelectedMailbox ImapSession::selectedMailbox()
{
    return call([](ImapConnection &connection) { return connection.mailbox().state(); });
}

Result<void> ImapSession::create(const MailboxName &name)
{
    return call([&](ImapConnection &connection) { return createMailbox(connection, name); });
}

Result<void> ImapSession::remove(const MailboxName &name)
{
    return call([&](ImapConnection &connection) { return deleteMailbox(connection, name); });
}

Result<void> ImapSession::rename(const MailboxName &from, const MailboxName &to)
{
    return call([&](ImapConnection &connection) { return renameMailbox(connection, from, to); });
}

Result<QList<FetchedMessage>> ImapSession::fetch(const FetchRequest &request)
{
    return call([&](ImapConnection &connection) { return fetchMessages(connection, request); });
}

Result<QList<FetchedMessage>> ImapSession::store(const UidSet &uids, FlagChange change, const QList<QByteArray> &flags)
{
    return call([&](ImapConnection &connection) { return storeFlags(connection, uids, change, flags); });
}

Result<AppendResult> ImapSession::append(const MailboxName &mailbox, const QByteArray &message,
                                         const QList<QByteArray> &flags, const QDateTime &internalDate)
{
    return call(
        [&](ImapConnection &connection) { return appendMessage(connection, mailbox, message, flags, internalDate); });
}

Result<void> ImapSession::move(const UidSet &uids, const MailboxName &to)
{
    return call([&](ImapConnection &connection) { return moveMessages(connection, uids, to); });
}

Result<void> ImapSession::expunge(const UidSet &uids)
{
    return call([&](ImapConnection &connection) { return expungeMessages(connection, uids); });
}

Result<void> ImapSession::noop()
{
    return call([](ImapConnection &connection) { return imap::noop(connection); });
}

Result<void> ImapSession::logOut()
{
    return call([](ImapConnection &connection) { return imap::logOut(connection); });
}

} // namespace mrv::imap
