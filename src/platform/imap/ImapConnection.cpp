#include "ImapConnection.h"

#include "LineAssembler.h"
#include "MailboxData.h"

#include <QFileInfo>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

namespace mrv::imap {

namespace {

ImapError transportError(const QString &text)
{
    return {ImapError::Kind::Transport, {}, text};
}

ImapError tlsError(const QString &text)
{
    return {ImapError::Kind::Tls, {}, text};
}

QString sslErrorsText(const QList<QSslError> &errors)
{
    QStringList texts;
    for (const QSslError &error : errors)
        texts << error.errorString();
    return texts.join(QStringLiteral("; "));
}

ImapError refusal(const Response &response)
{
    const auto kind = response.keyword == "NO" ? ImapError::Kind::No : ImapError::Kind::Bad;
    return {kind, response.code.name, response.text};
}

} // namespace

struct ImapConnection::Private
{
    Private(const ImapAccount &account, ImapTranscript &transcript) : account(account), transcript(transcript) {}

    Result<void> connectSocket();
    Result<void> configureTls();
    Result<void> waitForEncryption();
    Result<void> readGreeting();
    Result<void> startTls(ImapConnection &connection);
    Result<void> send(const QByteArray &bytes);
    Result<Response> readResponse();
    Result<void> route(const Response &response, const Handlers &handlers);
    ImapError fail(ImapError error);
    ImapError socketError(const QString &action);
    int timeoutMs() const { return std::max(1, account.timeoutSeconds) * 1000; }
    LiteralPolicy literalPolicy() const;
    bool hasCapability(QByteArrayView name) const;

    ImapAccount account;
    ImapTranscript &transcript;
    std::unique_ptr<QSslSocket> socket;
    LineAssembler assembler;
    State state = State::Disconnected;
    QList<QByteArray> capabilities;
    QList<QByteArray> enabled;
    bool capabilitiesFresh = false;
    MailboxTracker mailbox;
    QString byeText;
    quint32 nextTag = 1;
};

ImapError ImapConnection::Private::fail(ImapError error)
{
    transcript.note(error.describe());
    if (socket)
        socket->abort();
    state = State::Disconnected;
    mailbox.close();
    assembler = LineAssembler();
    return error;
}

ImapError ImapConnection::Private::socketError(const QString &action)
{
    if (socket->error() == QAbstractSocket::SocketTimeoutError)
        return fail({ImapError::Kind::Timeout, {}, action + QStringLiteral(": no answer in time")});
    if (!byeText.isEmpty())
        return fail({ImapError::Kind::Bye, {}, byeText});
    if (socket->error() == QAbstractSocket::RemoteHostClosedError || socket->state() != QAbstractSocket::ConnectedState)
        return fail(transportError(action + QStringLiteral(": the server closed the connection")));
    return fail(transportError(action + QStringLiteral(": ") + socket->errorString()));
}

Result<void> ImapConnection::Private::configureTls()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!account.caFile.isEmpty()) {
        const QList<QSslCertificate> authorities = QSslCertificate::fromPath(account.caFile, QSsl::Pem);
        if (authorities.isEmpty())
            return tlsError(QStringLiteral("The CA file %1 holds no certificate").arg(account.caFile));
        configuration.addCaCertificates(authorities);
    }
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket->setSslConfiguration(configuration);
    return {};
}

Result<void> ImapConnection::Private::connectSocket()
{
    if (!QSslSocket::supportsSsl() && account.tls != TlsMode::None)
        return tlsError(QStringLiteral("This system has no TLS library"));
    socket = std::make_unique<QSslSocket>();
    if (const Result<void> tls = configureTls(); !tls)
        return fail(tls.error());
    const quint16 port = account.effectivePort();
    transcript.note(QStringLiteral("Connecting to %1:%2").arg(account.server).arg(port));
    if (account.tls == TlsMode::Implicit) {
        socket->connectToHostEncrypted(account.server, port);
        return waitForEncryption();
    }
    socket->connectToHost(account.server, port);
    if (!socket->waitForConnected(timeoutMs()))
        return socketError(QStringLiteral("Connecting to %1").arg(account.server));
    return {};
}

Result<void> ImapConnection::Private::waitForEncryption()
{
    if (socket->waitForEncrypted(timeoutMs())) {
        transcript.note(QStringLiteral("TLS established (%1)").arg(socket->sessionCipher().name()));
        return {};
    }
    const QList<QSslError> errors = socket->sslHandshakeErrors();
    if (!errors.isEmpty())
        return fail(tlsError(QStringLiteral("The server's certificate is not trusted: ") + sslErrorsText(errors)));
    if (socket->error() == QAbstractSocket::SslHandshakeFailedError)
        return fail(tlsError(QStringLiteral("TLS handshake failed: ") + socket->errorString()));
    return socketError(QStringLiteral("Connecting to %1 with TLS").arg(account.server));
}

Result<void> ImapConnection::Private::readGreeting()
{
    const Result<Response> greeting = readResponse();
    if (!greeting)
        return greeting.error();
    const Response &response = greeting.value();
    if (response.kind != Response::Kind::Untagged || !response.isStatus())
        return fail(protocolError(QStringLiteral("The server did not greet as an IMAP server")));
    if (response.keyword == "BYE")
        return fail({ImapError::Kind::Bye, response.code.name, response.text});
    if (response.keyword != "OK" && response.keyword != "PREAUTH")
        return fail(protocolError(QStringLiteral("Unexpected greeting: ") + response.text));
    if (response.code.name == "CAPABILITY") {
        capabilities = capabilitiesOf(response.code.arguments);
        capabilitiesFresh = true;
    }
    state = response.keyword == "PREAUTH" ? State::Authenticated : State::NotAuthenticated;
    return {};
}

Result<void> ImapConnection::Private::send(const QByteArray &bytes)
{
    socket->write(bytes);
    while (socket->bytesToWrite() > 0) {
        if (!socket->waitForBytesWritten(timeoutMs()))
            return socketError(QStringLiteral("Sending to the server"));
    }
    return {};
}

Result<Response> ImapConnection::Private::readResponse()
{
    for (;;) {
        if (auto line = assembler.takeResponse()) {
            transcript.serverResponse(*line);
            Result<Response> response = parseResponse(*line);
            if (!response)
                return fail(response.error());
            return response;
        }
        if (assembler.failed())
            return fail(protocolError(assembler.errorText()));
        if (socket->bytesAvailable() > 0) {
            assembler.feed(socket->readAll());
            continue;
        }
        if (socket->state() != QAbstractSocket::ConnectedState || !socket->waitForReadyRead(timeoutMs()))
            return socketError(QStringLiteral("Waiting for the server"));
    }
}

Result<void> ImapConnection::Private::route(const Response &response, const Handlers &handlers)
{
    if (response.keyword == "CAPABILITY") {
        capabilities = capabilitiesOf(response.values);
        capabilitiesFresh = true;
    } else if (response.code.name == "CAPABILITY") {
        capabilities = capabilitiesOf(response.code.arguments);
        capabilitiesFresh = true;
    } else if (response.keyword == "BYE") {
        byeText = response.text.isEmpty() ? QStringLiteral("BYE") : response.text;
    }
    if (mailbox.isOpen() && !mailbox.apply(response))
        return fail(protocolError(QStringLiteral("Unreadable %1 response").arg(QString::fromLatin1(response.keyword))));
    const bool taken = handlers.untagged && handlers.untagged(response);
    if (!taken && mailbox.isOpen() && response.keyword == "FETCH") {
        if (const Result<FetchedMessage> message = parseFetchResponse(response))
            mailbox.recordChange(message.value());
    }
    return {};
}

LiteralPolicy ImapConnection::Private::literalPolicy() const
{
    if (hasCapability("LITERAL+"))
        return LiteralPolicy::Plus;
    return hasCapability("LITERAL-") ? LiteralPolicy::Minus : LiteralPolicy::Synchronizing;
}

bool ImapConnection::Private::hasCapability(QByteArrayView name) const
{
    return std::any_of(capabilities.begin(), capabilities.end(), [&](const QByteArray &own) {
        return QByteArrayView(own).compare(name, Qt::CaseInsensitive) == 0;
    });
}

ImapConnection::ImapConnection(const ImapAccount &account, ImapTranscript &transcript)
    : d(std::make_unique<Private>(account, transcript))
{}

ImapConnection::~ImapConnection()
{
    close();
}

const ImapAccount &ImapConnection::account() const
{
    return d->account;
}

ImapConnection::State ImapConnection::state() const
{
    return d->state;
}

void ImapConnection::setState(State state)
{
    d->state = state;
    if (state != State::Selected)
        d->mailbox.close();
}

Result<void> ImapConnection::require(std::initializer_list<State> states, const QString &action) const
{
    if (std::find(states.begin(), states.end(), d->state) != states.end())
        return {};
    const bool loggedIn = d->state == State::Authenticated || d->state == State::Selected;
    const QString reason = d->state == State::Disconnected ? QStringLiteral("not connected")
                           : loggedIn                      ? QStringLiteral("no mailbox is selected")
                                                           : QStringLiteral("not logged in");
    return ImapError{ImapError::Kind::State, {}, QStringLiteral("Cannot %1: %2").arg(action, reason)};
}

bool ImapConnection::isEncrypted() const
{
    return d->socket && d->socket->isEncrypted();
}

Result<void> ImapConnection::open()
{
    close();
    d->byeText.clear();
    d->capabilities.clear();
    d->enabled.clear();
    d->capabilitiesFresh = false;
    d->state = State::Greeting;
    if (const Result<void> connected = d->connectSocket(); !connected)
        return connected;
    if (const Result<void> greeted = d->readGreeting(); !greeted)
        return greeted;
    if (const Result<void> known = refreshCapabilities(); !known)
        return known;
    if (d->account.tls == TlsMode::StartTls)
        return d->startTls(*this);
    return {};
}

Result<void> ImapConnection::Private::startTls(ImapConnection &connection)
{
    if (state != State::NotAuthenticated)
        return fail(tlsError(QStringLiteral("The server logged in before TLS could be set up (PREAUTH)")));
    if (!hasCapability("STARTTLS"))
        return fail(tlsError(QStringLiteral("The server does not offer STARTTLS")));
    if (const Result<Response> started = connection.run(Command("STARTTLS")); !started)
        return started.error();
    // Whatever came after the server's OK and before the handshake came in
    // the clear and could have been injected: dropped, like what the server
    // said of itself before.
    assembler.discardBuffered();
    socket->readAll();
    connection.forgetCapabilities();
    socket->startClientEncryption();
    if (const Result<void> encrypted = waitForEncryption(); !encrypted)
        return encrypted;
    return connection.refreshCapabilities();
}

Result<Response> ImapConnection::run(const Command &command, const Handlers &handlers)
{
    if (d->state == State::Disconnected || !d->socket)
        return ImapError{ImapError::Kind::State, {}, QStringLiteral("Not connected")};
    const QByteArray tag = 'm' + QByteArray::number(d->nextTag++);
    const QList<QByteArray> pieces = command.pieces(tag, d->literalPolicy());
    d->transcript.clientLine(command.logText(tag));
    d->capabilitiesFresh = false;
    qsizetype sent = 0;
    if (const Result<void> first = d->send(pieces.first()); !first)
        return first.error();
    ++sent;
    for (;;) {
        Result<Response> read = d->readResponse();
        if (!read)
            return read.error();
        const Response &response = read.value();
        if (response.kind == Response::Kind::Tagged) {
            if (response.tag != tag)
                return d->fail(protocolError(QStringLiteral("An answer to a command never sent")));
            if (const Result<void> routed = d->route(response, {}); !routed)
                return routed.error();
            if (response.keyword != "OK")
                return refusal(response);
            return read;
        }
        if (response.kind == Response::Kind::Untagged) {
            if (const Result<void> routed = d->route(response, handlers); !routed)
                return routed.error();
            continue;
        }
        // A go-ahead for the next piece, or a challenge to answer.
        QByteArray answer;
        if (sent < pieces.size()) {
            answer = pieces.at(sent++);
        } else if (handlers.challenge) {
            answer = handlers.challenge(response) + "\r\n";
            d->transcript.clientLine(QStringLiteral("[hidden]"));
        } else {
            return d->fail(protocolError(QStringLiteral("The server asked for more than the command holds")));
        }
        if (const Result<void> written = d->send(answer); !written)
            return written.error();
    }
}

void ImapConnection::close()
{
    if (d->socket) {
        d->socket->abort();
        d->socket.reset();
    }
    d->assembler = LineAssembler();
    d->state = State::Disconnected;
    d->mailbox.close();
}

const QList<QByteArray> &ImapConnection::capabilities() const
{
    return d->capabilities;
}

bool ImapConnection::hasCapability(QByteArrayView name) const
{
    return d->hasCapability(name);
}

Result<void> ImapConnection::refreshCapabilities()
{
    if (d->capabilitiesFresh)
        return {};
    const Result<Response> asked = run(Command("CAPABILITY"));
    if (!asked)
        return asked.error();
    return {};
}

void ImapConnection::forgetCapabilities()
{
    d->capabilities.clear();
    d->capabilitiesFresh = false;
}

bool ImapConnection::isEnabled(QByteArrayView extension) const
{
    return std::any_of(d->enabled.begin(), d->enabled.end(), [&](const QByteArray &own) {
        return QByteArrayView(own).compare(extension, Qt::CaseInsensitive) == 0;
    });
}

void ImapConnection::markEnabled(const QList<QByteArray> &extensions)
{
    d->enabled.append(extensions);
}

MailboxTracker &ImapConnection::mailbox()
{
    return d->mailbox;
}

} // namespace mrv::imap
