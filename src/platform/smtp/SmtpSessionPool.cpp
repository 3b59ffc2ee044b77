#include "SmtpSessionPool.h"

#include <QMutexLocker>

#include <algorithm>

namespace mrv::smtp {

SmtpSessionPool &SmtpSessionPool::instance()
{
    static SmtpSessionPool pool;
    return pool;
}

SendResult SmtpSessionPool::send(const SmtpAccount &account, const MimeMessage &message,
                                 const SmtpSender::Handlers &handlers)
{
    std::unique_ptr<SmtpSender> sender = take(account);
    const SendResult result = sender->send(message, handlers);
    if (result == srSent)
        keep(std::move(sender));
    return result;
}

std::unique_ptr<SmtpSender> SmtpSessionPool::take(const SmtpAccount &account)
{
    QMutexLocker locker(&m_mutex);
    dropExpired();
    const auto found = std::find_if(m_idle.begin(), m_idle.end(),
                                    [&](const IdleSender &idle) { return idle.sender->account() == account; });
    if (found == m_idle.end())
        return std::make_unique<SmtpSender>(account);
    std::unique_ptr<SmtpSender> sender = std::move(found->sender);
    m_idle.erase(found);
    return sender;
}

void SmtpSessionPool::keep(std::unique_ptr<SmtpSender> sender)
{
    QMutexLocker locker(&m_mutex);
    dropExpired();
    if (m_idle.size() >= kMaxIdleSenders)
        m_idle.erase(m_idle.begin());
    m_idle.push_back({std::move(sender), QDeadlineTimer(std::chrono::seconds(kIdleSeconds))});
}

void SmtpSessionPool::dropExpired()
{
    std::erase_if(m_idle, [](const IdleSender &idle) { return idle.expiry.hasExpired(); });
}

} // namespace mrv::smtp
