#pragma once

#include "platform/smtp/SmtpAccount.h"

#include <QString>

namespace mrv::imap {

// Plain, STARTTLS (then required) or TLS from the first byte: the same
// choice as for the outgoing server.
using TlsMode = smtp::TlsMode;

enum class AuthMethod {
    Automatic, // LOGIN, or AUTHENTICATE PLAIN where the server disables LOGIN
    Login,
    Plain,
    XOAuth2, // the password is the OAuth 2 access token (see tokenCommand)
};

// Where and how to reach a mailbox.
struct ImapAccount
{
    static constexpr qint32 kDefaultTimeoutSeconds = 60;

    QString server;
    qint32 port = 0; // 0: 993 for implicit TLS, 143 otherwise
    TlsMode tls = TlsMode::None;
    AuthMethod auth = AuthMethod::Automatic;
    QString user;
    QString password;
    // Where set, the login is XOAUTH2 with the token this command prints
    // (auth::runAccessTokenCommand), asked for at every login; the password
    // is not used.
    QString tokenCommand;
    // A PEM file of certificate authorities trusted besides the system's.
    QString caFile;
    // For connecting, the TLS handshake and each wait for the server.
    qint32 timeoutSeconds = kDefaultTimeoutSeconds;

    quint16 effectivePort() const { return quint16(port > 0 ? port : tls == TlsMode::Implicit ? 993 : 143); }
};

} // namespace mrv::imap
