#pragma once

#include "SmtpAccount.h"

#include <QString>

#include <functional>
#include <memory>

namespace mrv::smtp {

class MimeMessage;

// What became of a send. Every kind of failure has its own code, so that a
// caller can tell a wrong password from a server that is down.
enum SendResult : qint32 {
    srSent = 0,
    srUnreachable = 1,           // no connection: refused, no route, unknown host
    srTlsFailed = 2,             // the TLS handshake or the STARTTLS upgrade failed
    srCertificateNotTrusted = 3, // the server's certificate did not verify (or the CA file is unusable)
    srLoginRefused = 4,          // the server refused the credentials or offers no usable mechanism
    srGreetingRefused = 5,       // the server turned the session down at its greeting (421, 554)
    srRecipientRefused = 6,      // a recipient was refused; nothing was sent to anybody
    srConnectionLost = 7,        // the connection broke while the message was being transferred
    srTimeout = 8,               // the server did not answer, or stopped reading, in time
    srFailed = 9,                // anything else; the log has the server's answer
    srNotSendable = 10,          // nothing was tried: no server, no sender, no recipient, unknown auth mode
};

// A short English explanation of a result, as written in the log.
QString describeResult(SendResult result);

// One SMTP client (a libcurl easy handle) for one account. Between sends
// the handle keeps its connection open, so the next send through the same
// sender skips the connection, TLS and login.
class SmtpSender
{
public:
    struct Handlers
    {
        // Every line of the conversation (see SmtpTranscript).
        std::function<void(const QString &text, qint32 code)> log;
        // Bytes of the message handed to the connection so far, of all.
        std::function<void(qint64 sent, qint64 total)> progress;
        // The message exactly as it goes to the server, before it does.
        std::function<void(const char *data, qint64 size)> encoded;
    };

    explicit SmtpSender(const SmtpAccount &account);
    ~SmtpSender();
    SmtpSender(const SmtpSender &) = delete;
    SmtpSender &operator=(const SmtpSender &) = delete;

    const SmtpAccount &account() const;

    // Sends the message from its From address to all its envelope
    // recipients, Bcc included; all of them or none. A failure ends with a
    // log line that says why (code: the server's reply code when a reply
    // caused it).
    SendResult send(const MimeMessage &message, const Handlers &handlers);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace mrv::smtp
