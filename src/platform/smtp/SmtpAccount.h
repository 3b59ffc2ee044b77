#pragma once

#include <QString>

namespace mrv::smtp {

enum class TlsMode {
    None,     // plain SMTP, no TLS at all
    StartTls, // plain connection upgraded with STARTTLS; sending fails when the server cannot
    Implicit, // TLS from the first byte (SMTPS, usually port 465)
};

// Where and how to send: the outgoing server of an account.
struct SmtpAccount
{
    static constexpr qint32 kDefaultTimeoutSeconds = 60;

    QString server;
    qint32 port = 0; // 0: the usual port of the TLS mode
    TlsMode tls = TlsMode::None;
    // A qd_eEmailServerOutAuthType value. None with a user lets the client
    // pick the best mechanism the server offers; any mode without a user
    // sends without logging in.
    qint32 authMode = 0;
    QString user;
    QString password;
    // Where set (and authMode is not none), the login is XOAUTH2 with the
    // token this command prints (auth::runAccessTokenCommand), asked for at
    // every new connection; the password is not used.
    QString tokenCommand;
    // A PEM file of certificate authorities trusted besides the system's.
    QString caFile;
    // For connecting, for every server reply and for a stalled upload.
    qint32 timeoutSeconds = kDefaultTimeoutSeconds;

    bool operator==(const SmtpAccount &other) const = default;
};

} // namespace mrv::smtp
