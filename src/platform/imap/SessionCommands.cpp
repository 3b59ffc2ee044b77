#include "SessionCommands.h"

#include "platform/auth/AccessTokenCommand.h"

namespace mrv::imap {

namespace {

AuthMethod methodFor(const ImapConnection &connection)
{
    if (!connection.account().tokenCommand.isEmpty())
        return AuthMethod::XOAuth2;
    const AuthMethod chosen = connection.account().auth;
    if (chosen != AuthMethod::Automatic)
        return chosen;
    return connection.hasCapability("LOGINDISABLED") && connection.hasCapability("AUTH=PLAIN") ? AuthMethod::Plain
                                                                                               : AuthMethod::Login;
}

QByteArray saslResponse(const ImapAccount &account, AuthMethod method, const QByteArray &secret)
{
    const QByteArray user = account.user.toUtf8();
    if (method == AuthMethod::XOAuth2)
        return ("user=" + user +
                "\x01"
                "auth=Bearer " +
                secret + "\x01\x01")
            .toBase64();
    return (QByteArray(1, '\0') + user + '\0' + secret).toBase64();
}

// AUTHENTICATE with the initial response in the command where the server
// takes it (SASL-IR), else in answer to its first challenge. Any further
// challenge is a failure report (XOAUTH2 sends its error so) and gets the
// empty answer that lets the server send its NO.
Result<Response> authenticate(ImapConnection &connection, AuthMethod method, const QByteArray &secret)
{
    const QByteArray mechanism = method == AuthMethod::XOAuth2 ? "XOAUTH2" : "PLAIN";
    if (!connection.hasCapability("AUTH=" + mechanism))
        return ImapError{
            ImapError::Kind::No,
            {},
            QStringLiteral("The server does not offer AUTHENTICATE %1").arg(QString::fromLatin1(mechanism))};
    const QByteArray initial = saslResponse(connection.account(), method, secret);
    Command command("AUTHENTICATE");
    command.raw(mechanism);
    const bool inline_ = connection.hasCapability("SASL-IR");
    if (inline_)
        command.raw(initial).hidden();
    bool answered = inline_;
    ImapConnection::Handlers handlers;
    handlers.challenge = [&](const Response &) { return std::exchange(answered, true) ? QByteArray() : initial; };
    return connection.run(command, handlers);
}

Result<Response> login(ImapConnection &connection, const QByteArray &secret)
{
    if (connection.hasCapability("LOGINDISABLED"))
        return ImapError{ImapError::Kind::No, "LOGINDISABLED",
                         QStringLiteral("The server accepts no LOGIN on this connection")};
    const ImapAccount &account = connection.account();
    return connection.run(Command("LOGIN").string(account.user.toUtf8()).string(secret).hidden());
}

// The password, or a fresh access token where the account names a command for it.
Result<QByteArray> secretOf(const ImapAccount &account)
{
    if (account.tokenCommand.isEmpty())
        return account.password.toUtf8();
    const auth::AccessToken token = auth::runAccessTokenCommand(account.tokenCommand, account.timeoutSeconds);
    if (!token.ok())
        return ImapError{ImapError::Kind::Credentials, {}, token.error};
    return token.value;
}

} // namespace

Result<void> logIn(ImapConnection &connection)
{
    if (const Result<void> ready =
            connection.require({ImapConnection::State::NotAuthenticated}, QStringLiteral("log in"));
        !ready)
        return ready;
    // open() already failed otherwise; checked again because a credential
    // in the clear cannot be taken back.
    if (connection.account().tls != TlsMode::None && !connection.isEncrypted())
        return ImapError{ImapError::Kind::Tls, {}, QStringLiteral("No credentials go over an unencrypted connection")};
    const Result<QByteArray> secret = secretOf(connection.account());
    if (!secret)
        return secret.error();
    const AuthMethod method = methodFor(connection);
    const Result<Response> done = method == AuthMethod::Login ? login(connection, secret.value())
                                                              : authenticate(connection, method, secret.value());
    if (!done)
        return done.error();
    connection.setState(ImapConnection::State::Authenticated);
    // What a server offers changes with the login.
    return connection.refreshCapabilities();
}

Result<QList<QByteArray>> enableResync(ImapConnection &connection)
{
    if (const Result<void> ready =
            connection.require({ImapConnection::State::Authenticated}, QStringLiteral("enable extensions"));
        !ready)
        return ready.error();
    const QByteArray extension = connection.hasCapability("QRESYNC")     ? "QRESYNC"
                                 : connection.hasCapability("CONDSTORE") ? "CONDSTORE"
                                                                         : QByteArray();
    if (extension.isEmpty() || !connection.hasCapability("ENABLE"))
        return QList<QByteArray>();
    QList<QByteArray> enabled;
    ImapConnection::Handlers handlers;
    handlers.untagged = [&](const Response &response) {
        if (response.keyword != "ENABLED")
            return false;
        for (const ResponseValue &value : response.values)
            enabled.append(value.textOrEmpty().toUpper());
        return true;
    };
    if (const Result<Response> done = connection.run(Command("ENABLE").raw(extension), handlers); !done)
        return done.error();
    // QRESYNC brings CONDSTORE with it.
    if (enabled.contains("QRESYNC") && !enabled.contains("CONDSTORE"))
        enabled.append("CONDSTORE");
    connection.markEnabled(enabled);
    return enabled;
}

Result<void> noop(ImapConnection &connection)
{
    const Result<Response> done = connection.run(Command("NOOP"));
    return done ? Result<void>() : done.error();
}

Result<void> logOut(ImapConnection &connection)
{
    if (connection.state() == ImapConnection::State::Disconnected)
        return {};
    connection.setState(ImapConnection::State::Logout);
    const Result<Response> done = connection.run(Command("LOGOUT"));
    connection.close();
    // A server may close right after its BYE, before the tagged OK.
    return done || done.error().kind == ImapError::Kind::Bye ? Result<void>() : done.error();
}

} // namespace mrv::imap
