#include "SmtpSender.h"

#include "MimeMessage.h"
#include "SmtpTranscript.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "platform/auth/AccessTokenCommand.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <QUrl>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace mrv::smtp {

namespace {

CURL *newHandle()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL *handle = curl_easy_init();
    if (!handle)
        throw Failure(QStringLiteral("The SMTP client could not be initialised"));
    return handle;
}

struct SlistFree
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

struct Upload
{
    const EncodedMessage &data;
    qint64 offset = 0;
    const std::function<void(qint64, qint64)> &progress;
};

size_t readMessage(char *buffer, size_t size, size_t count, void *userData)
{
    auto *upload = static_cast<Upload *>(userData);
    const qint64 length = qMin(qint64(size * count), upload->data.size - upload->offset);
    std::memcpy(buffer, upload->data.data + upload->offset, size_t(length));
    upload->offset += length;
    if (length > 0 && upload->progress) {
        try {
            upload->progress(upload->offset, upload->data.size);
        } catch (...) {
            return CURL_READFUNC_ABORT;
        }
    }
    return size_t(length);
}

int recordConversation(CURL *, curl_infotype type, char *data, size_t size, void *userData)
{
    auto *transcript = static_cast<SmtpTranscript *>(userData);
    const QByteArrayView text(data, qsizetype(size));
    try {
        switch (type) {
        case CURLINFO_TEXT:
            transcript->clientNote(text);
            break;
        case CURLINFO_HEADER_OUT:
            transcript->commandSent(text);
            break;
        case CURLINFO_HEADER_IN:
            transcript->replyReceived(text);
            break;
        default: // the message itself and TLS records stay out of the log
            break;
        }
    } catch (...) {
        // A log handler's failure must not cross libcurl.
    }
    return 0;
}

// The SASL mechanism of an authentication mode; empty for a mode we do not know.
QString mechanismOf(qint32 authMode)
{
    switch (authMode) {
    case eEmailServerOutAuth_None:
        return QStringLiteral("*");
    case eEmailServerOutAuth_AUTH_LOGIN:
        return QStringLiteral("LOGIN");
    case eEmailServerOutAuth_CRAM_MD5:
        return QStringLiteral("CRAM-MD5");
    case eEmailServerOutAuth_NTLM:
        return QStringLiteral("NTLM");
    default:
        return {};
    }
}

bool usesAccessToken(const SmtpAccount &account)
{
    return !account.tokenCommand.isEmpty() && account.authMode != eEmailServerOutAuth_None;
}

// The path of an smtp URL is the name the client greets the server with (EHLO).
QUrl serverUrl(const SmtpAccount &account)
{
    QUrl url;
    url.setScheme(account.tls == TlsMode::Implicit ? QStringLiteral("smtps") : QStringLiteral("smtp"));
    url.setHost(account.server.trimmed(), QUrl::StrictMode);
    if (account.port > 0)
        url.setPort(account.port);
    const QString ownName = QSysInfo::machineHostName();
    url.setPath(QLatin1Char('/') + (ownName.isEmpty() ? QStringLiteral("localhost") : ownName));
    return url;
}

QString whyNotSendable(const SmtpAccount &account, const MimeMessage &message, const QUrl &url)
{
    if (account.server.trimmed().isEmpty())
        return QStringLiteral("no outgoing mail server is configured");
    static const QRegularExpression notInHostNames(QStringLiteral("[\\s/\\\\@?#<>]"));
    if (!url.isValid() || account.server.trimmed().contains(notInHostNames) || account.port > 65535)
        return QStringLiteral("\"%1\" port %2 is not a usable server address").arg(account.server).arg(account.port);
    if (mechanismOf(account.authMode).isEmpty())
        return QStringLiteral("%1 is not an authentication mode").arg(account.authMode);
    if (usesAccessToken(account) && account.user.isEmpty())
        return QStringLiteral("an access token needs the account's user name");
    if (message.from().address.isEmpty())
        return QStringLiteral("the message has no sender address");
    if (message.envelopeRecipients().isEmpty())
        return QStringLiteral("the message has no recipients");
    return {};
}

Slist recipientList(const MimeMessage &message)
{
    Slist list;
    for (const QString &recipient : message.envelopeRecipients()) {
        const QByteArray mailbox = '<' + recipient.toUtf8() + '>';
        list.reset(curl_slist_append(list.release(), mailbox.constData()));
    }
    return list;
}

bool isTransportError(CURLcode code)
{
    return code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING;
}

SendResult classify(CURLcode code, const SmtpTranscript &transcript)
{
    switch (code) {
    case CURLE_OK:
        return srSent;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return srUnreachable;
    case CURLE_OPERATION_TIMEDOUT:
        return srTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
        return srTlsFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return srCertificateNotTrusted;
    case CURLE_LOGIN_DENIED:
        return srLoginRefused;
    default:
        break;
    }
    if (transcript.greetingCode() >= 400)
        return srGreetingRefused;
    if (transcript.refusedCommand() == QLatin1String("RCPT"))
        return srRecipientRefused;
    if (transcript.awaitingDataAnswer() || (isTransportError(code) && transcript.refusalCode() == 0))
        return srConnectionLost;
    return srFailed;
}

} // namespace

QString describeResult(SendResult result)
{
    switch (result) {
    case srSent:
        return QStringLiteral("The message was sent");
    case srUnreachable:
        return QStringLiteral("The server cannot be reached");
    case srTlsFailed:
        return QStringLiteral("No secure (TLS) connection could be established");
    case srCertificateNotTrusted:
        return QStringLiteral("The server's certificate is not trusted");
    case srLoginRefused:
        return QStringLiteral("The server refused the login");
    case srGreetingRefused:
        return QStringLiteral("The server refused the session at its greeting");
    case srRecipientRefused:
        return QStringLiteral("The server refused a recipient; the message was sent to nobody");
    case srConnectionLost:
        return QStringLiteral("The connection was lost while the message was being sent");
    case srTimeout:
        return QStringLiteral("The server did not answer in time");
    case srFailed:
        return QStringLiteral("The message could not be sent");
    case srNotSendable:
        return QStringLiteral("Nothing was sent");
    }
    return QStringLiteral("The message could not be sent");
}

struct SmtpSender::Private
{
    explicit Private(const SmtpAccount &smtpAccount) : account(smtpAccount) {}
    ~Private() { curl_easy_cleanup(curl); }

    // One exchange with the server; `detail` receives libcurl's account of a failure.
    SendResult attempt(const QUrl &url, const MimeMessage &message, const EncodedMessage &data,
                       const curl_slist *recipients, const Handlers &handlers, SmtpTranscript &transcript,
                       QString &detail);
    void configure(const QUrl &url, const MimeMessage &message, const curl_slist *recipients, Upload &upload,
                   SmtpTranscript &transcript, char *errorBuffer);
    void configureLogin();
    void configureTimeouts();
    void reopen();
    // Credentials for a new connection's login: a new access token where the
    // account uses one. False (the reason in `detail`) when there are none.
    bool readyToLogIn(QString &detail);

    SmtpAccount account;
    QByteArray accessToken;
    CURL *curl = nullptr;
    // The last send succeeded, so the handle holds an open connection.
    bool connectionKept = false;
};

SendResult SmtpSender::Private::attempt(const QUrl &url, const MimeMessage &message, const EncodedMessage &data,
                                        const curl_slist *recipients, const Handlers &handlers,
                                        SmtpTranscript &transcript, QString &detail)
{
    Upload upload{data, 0, handlers.progress};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    configure(url, message, recipients, upload, transcript, errorBuffer);
    const CURLcode code = curl_easy_perform(curl);
    // Forget the pointers into this frame; the open connection stays.
    curl_easy_reset(curl);
    detail = errorBuffer[0] ? QString::fromUtf8(errorBuffer) : QString::fromUtf8(curl_easy_strerror(code));
    return classify(code, transcript);
}

void SmtpSender::Private::reopen()
{
    curl_easy_cleanup(curl);
    curl = nullptr;
    curl = newHandle();
}

void SmtpSender::Private::configure(const QUrl &url, const MimeMessage &message, const curl_slist *recipients,
                                    Upload &upload, SmtpTranscript &transcript, char *errorBuffer)
{
    curl_easy_setopt(curl, CURLOPT_URL, url.toEncoded().constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, ('<' + message.from().address.toUtf8() + '>').constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    // Known in advance, so that a server announcing SIZE refuses a message too
    // large at MAIL FROM, before any of it is sent.
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size));
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(account.tls == TlsMode::StartTls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // With Debian's libcurl the system's authorities (CAPATH) stay trusted besides this file.
    if (!account.caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, account.caFile.toLocal8Bit().constData());
    configureLogin();
    configureTimeouts();
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &recordConversation);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transcript);
}

void SmtpSender::Private::configureLogin()
{
    // Mode "none" means no AUTH at all, even when a user is filled in.
    if (account.authMode == eEmailServerOutAuth_None || account.user.isEmpty())
        return;
    curl_easy_setopt(curl, CURLOPT_USERNAME, account.user.toUtf8().constData());
    if (usesAccessToken(account))
        curl_easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, accessToken.constData());
    else
        curl_easy_setopt(curl, CURLOPT_PASSWORD, account.password.toUtf8().constData());
    const QByteArray options =
        "AUTH=" + (usesAccessToken(account) ? QByteArrayLiteral("XOAUTH2") : mechanismOf(account.authMode).toLatin1());
    curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, options.constData());
}

bool SmtpSender::Private::readyToLogIn(QString &detail)
{
    if (!usesAccessToken(account))
        return true;
    const auth::AccessToken token = auth::runAccessTokenCommand(account.tokenCommand, account.timeoutSeconds);
    accessToken = token.value;
    detail = token.error;
    return token.ok();
}

void SmtpSender::Private::configureTimeouts()
{
    const long seconds = account.timeoutSeconds > 0 ? account.timeoutSeconds : SmtpAccount::kDefaultTimeoutSeconds;
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, seconds);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    // A server that stops reading the message: less than a byte a second for that long.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, seconds);
}

SmtpSender::SmtpSender(const SmtpAccount &account) : d(std::make_unique<Private>(account))
{
    d->curl = newHandle();
}

SmtpSender::~SmtpSender() = default;

const SmtpAccount &SmtpSender::account() const
{
    return d->account;
}

SendResult SmtpSender::send(const MimeMessage &message, const Handlers &handlers)
{
    SmtpTranscript transcript(handlers.log);
    const auto notSendable = [&transcript](const QString &reason) {
        transcript.note(describeResult(srNotSendable) + QStringLiteral(": ") + reason);
        return srNotSendable;
    };
    const QUrl url = serverUrl(d->account);
    QString detail = whyNotSendable(d->account, message, url);
    if (!detail.isEmpty())
        return notSendable(detail);
    // A kept connection is logged in already; a new one logs in afresh.
    if (!d->connectionKept && !d->readyToLogIn(detail))
        return notSendable(detail);
    const EncodedMessage data = message.encode();
    if (handlers.encoded)
        handlers.encoded(data.data, data.size);
    const Slist recipients = recipientList(message);
    SendResult result = d->attempt(url, message, data, recipients.get(), handlers, transcript, detail);
    // libcurl takes a kept TLS connection that the server has closed for a live one until it uses it.
    if (result == srConnectionLost && d->connectionKept && !transcript.heardServer()) {
        transcript.note(QStringLiteral("The server had closed the kept connection; connecting again"));
        d->connectionKept = false;
        if (!d->readyToLogIn(detail))
            return notSendable(detail);
        d->reopen();
        transcript.restart();
        result = d->attempt(url, message, data, recipients.get(), handlers, transcript, detail);
    }
    d->connectionKept = result == srSent;
    if (result != srSent)
        transcript.note(describeResult(result) + QStringLiteral(": ") + detail, transcript.refusalCode());
    return result;
}

} // namespace mrv::smtp
