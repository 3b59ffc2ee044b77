#pragma once

#include "SmtpSender.h"

#include <QDeadlineTimer>
#include <QMutex>

#include <memory>
#include <vector>

namespace mrv::smtp {

// Keeps the connections of recent successful sends open for a while, so
// that a run of e-mails through one account (a template sent to many
// customers, a message to many addresses) logs in once. Every e-mail is
// composed by a new object; this is what lets them share a connection.
class SmtpSessionPool
{
public:
    // How long an idle connection is kept: below libcurl's own limit for
    // reusing a connection and well below the five minutes servers wait.
    static constexpr int kIdleSeconds = 60;
    static constexpr std::size_t kMaxIdleSenders = 4;

    static SmtpSessionPool &instance();

    // Sends through an idle sender of the same account when there is one,
    // otherwise through a new one. The sender is kept only after a success:
    // after a failure the state of its connection is unknown.
    SendResult send(const SmtpAccount &account, const MimeMessage &message, const SmtpSender::Handlers &handlers);

private:
    struct IdleSender
    {
        std::unique_ptr<SmtpSender> sender;
        QDeadlineTimer expiry;
    };

    std::unique_ptr<SmtpSender> take(const SmtpAccount &account);
    void keep(std::unique_ptr<SmtpSender> sender);
    void dropExpired();

    QMutex m_mutex;
    std::vector<IdleSender> m_idle;
};

} // namespace mrv::smtp
