#include "SmtpTestServer.h"

#include "host/Failure.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mrv::testing {

namespace {

// The Python of the Debian packages: a python3 earlier on the PATH may lack aiosmtpd.
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kStartTimeoutMs = 20000;
constexpr int kStopTimeoutMs = 5000;

QString scriptPath(const QString &name)
{
    return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../servers/") + name);
}

QList<QPair<QString, QString>> pairsOf(const QJsonValue &value)
{
    QList<QPair<QString, QString>> pairs;
    for (const QJsonValue &pair : value.toArray())
        pairs.append({pair.toArray().at(0).toString(), pair.toArray().at(1).toString()});
    return pairs;
}

QStringList stringsOf(const QJsonValue &value)
{
    QStringList strings;
    for (const QJsonValue &item : value.toArray())
        strings.append(item.toString());
    return strings;
}

ReceivedPart partOf(const QJsonObject &object)
{
    ReceivedPart part;
    part.depth = object.value(QLatin1String("depth")).toInt();
    part.contentType = object.value(QLatin1String("content_type")).toString();
    part.charset = object.value(QLatin1String("charset")).toString();
    part.transferEncoding = object.value(QLatin1String("transfer_encoding")).toString();
    part.disposition = object.value(QLatin1String("disposition")).toString();
    part.fileName = object.value(QLatin1String("filename")).toString();
    part.contentId = object.value(QLatin1String("content_id")).toString();
    part.defects = stringsOf(object.value(QLatin1String("defects")));
    part.content = QByteArray::fromBase64(object.value(QLatin1String("base64")).toString().toLatin1());
    part.text = object.value(QLatin1String("text")).toString();
    return part;
}

} // namespace

ReceivedMessage ReceivedMessage::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError)
        throw Failure(QStringLiteral("Unreadable message description: ") + error.errorString());
    ReceivedMessage message;
    const QJsonObject envelope = root.value(QLatin1String("envelope")).toObject();
    message.mailFrom = envelope.value(QLatin1String("mail_from")).toString();
    message.envelopeRecipients = stringsOf(envelope.value(QLatin1String("rcpt_tos")));
    message.connection = envelope.value(QLatin1String("connection")).toInt();
    message.tls = envelope.value(QLatin1String("tls")).toBool();
    message.authenticatedUser = envelope.value(QLatin1String("auth_user")).toString();
    message.headers = pairsOf(root.value(QLatin1String("headers")));
    message.rawHeaders = pairsOf(root.value(QLatin1String("raw_headers")));
    const QJsonObject addresses = root.value(QLatin1String("addresses")).toObject();
    for (auto header = addresses.begin(); header != addresses.end(); ++header)
        message.addresses.insert(header.key(), pairsOf(header.value()));
    for (const QJsonValue &part : root.value(QLatin1String("parts")).toArray())
        message.parts.append(partOf(part.toObject()));
    message.asciiOnly = root.value(QLatin1String("ascii_only")).toBool();
    return message;
}

QStringList ReceivedMessage::headerValues(const QString &name) const
{
    QStringList values;
    for (const auto &[headerName, value] : headers) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0)
            values.append(value);
    }
    return values;
}

QString ReceivedMessage::header(const QString &name) const
{
    const QStringList values = headerValues(name);
    return values.isEmpty() ? QString() : values.first();
}

QString ReceivedMessage::rawHeader(const QString &name) const
{
    for (const auto &[headerName, value] : rawHeaders) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QStringList ReceivedMessage::headerNames() const
{
    QStringList names;
    for (const auto &header : headers)
        names.append(header.first);
    return names;
}

QString ReceivedMessage::structure() const
{
    QString tree;
    int depth = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const ReceivedPart &part = parts.at(i);
        for (; depth > part.depth; --depth)
            tree += QLatin1Char(')');
        if (i > 0 && !tree.endsWith(QLatin1Char('(')))
            tree += QLatin1Char(',');
        tree += part.contentType;
        if (part.contentType.startsWith(QLatin1String("multipart/"))) {
            tree += QLatin1Char('(');
            ++depth;
        }
    }
    return tree + QString(depth, QLatin1Char(')'));
}

QList<QPair<QString, QString>> ReceivedMessage::mailboxes(const QString &header) const
{
    return addresses.value(header.toLower());
}

const ReceivedPart *ReceivedMessage::partOfType(const QString &contentType) const
{
    for (const ReceivedPart &part : parts) {
        if (part.contentType == contentType)
            return &part;
    }
    return nullptr;
}

const ReceivedPart *ReceivedMessage::partNamed(const QString &fileName) const
{
    for (const ReceivedPart &part : parts) {
        if (part.fileName == fileName)
            return &part;
    }
    return nullptr;
}

SmtpTestServer::SmtpTestServer(const SmtpServerOptions &options) : m_options(options) {}

SmtpTestServer::~SmtpTestServer()
{
    stop();
}

QString SmtpTestServer::folder() const
{
    return m_folder.filePath(QStringLiteral("messages"));
}

QStringList SmtpTestServer::arguments() const
{
    QStringList arguments = {scriptPath(QStringLiteral("smtp_server.py")), QStringLiteral("--folder"), folder(),
                             QStringLiteral("--port"), QString::number(m_options.port)};
    if (m_options.tls == SmtpServerOptions::Tls::StartTls)
        arguments << QStringLiteral("--starttls");
    if (m_options.tls == SmtpServerOptions::Tls::Implicit)
        arguments << QStringLiteral("--implicit-tls");
    if (!m_options.certificate.isEmpty())
        arguments << QStringLiteral("--cert") << m_options.certificate << QStringLiteral("--key") << m_options.key;
    if (!m_options.user.isEmpty())
        arguments << QStringLiteral("--user") << m_options.user << QStringLiteral("--password") << m_options.password;
    if (!m_options.mechanisms.isEmpty())
        arguments << QStringLiteral("--mechanisms") << m_options.mechanisms.join(QLatin1Char(','));
    if (!m_options.fault.isEmpty())
        arguments << QStringLiteral("--fault") << m_options.fault;
    if (!m_options.faultRecipient.isEmpty())
        arguments << QStringLiteral("--fault-recipient") << m_options.faultRecipient;
    return arguments;
}

QString SmtpTestServer::keyPath() const
{
    return m_options.key.isEmpty() ? QFileInfo(m_certificate).dir().filePath(QStringLiteral("key.pem")) : m_options.key;
}

bool SmtpTestServer::start()
{
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("No temporary folder for the SMTP test server");
        return false;
    }
    m_process.start(kPython, arguments());
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("%1 cannot be run: %2").arg(kPython, m_process.errorString());
        return false;
    }
    return readAnnouncements();
}

bool SmtpTestServer::readAnnouncements()
{
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line.startsWith(QLatin1String("CERTIFICATE ")))
                m_certificate = line.section(QLatin1Char(' '), 1);
            else if (line.startsWith(QLatin1String("READY ")))
                m_port = line.section(QLatin1Char(' '), 1).toUShort();
        }
        if (m_port != 0)
            return true;
        if (m_process.state() == QProcess::NotRunning)
            break;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    const QString output = QString::fromUtf8(m_process.readAllStandardError()).trimmed();
    m_error = output.contains(QLatin1String("aiosmtpd is not installed"))
                  ? QStringLiteral("python3-aiosmtpd is missing: scripts/setup.sh installs it")
                  : QStringLiteral("The SMTP test server did not start: ") + output;
    stop();
    return false;
}

void SmtpTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kStopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopTimeoutMs);
    }
}

QList<ReceivedMessage> SmtpTestServer::receivedMessages() const
{
    QList<ReceivedMessage> messages;
    const QDir arrived(folder());
    for (const QString &name : arrived.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile file(arrived.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("Cannot read ") + file.fileName());
        messages.append(ReceivedMessage::fromJson(file.readAll()));
    }
    return messages;
}

quint16 SmtpTestServer::unusedPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const bool bound = socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
                       ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) == 0;
    if (socket >= 0)
        ::close(socket);
    if (!bound)
        throw Failure(QStringLiteral("No free loopback port"));
    return ntohs(address.sin_port);
}

ReceivedMessage SmtpTestServer::parseFile(const QString &path)
{
    QProcess parser;
    parser.start(kPython, {scriptPath(QStringLiteral("mime_summary.py")), path});
    if (!parser.waitForFinished(kStartTimeoutMs) || parser.exitCode() != 0)
        throw Failure(QStringLiteral("The message %1 could not be parsed: %2")
                          .arg(path, QString::fromUtf8(parser.readAllStandardError())));
    return ReceivedMessage::fromJson(parser.readAllStandardOutput());
}

} // namespace mrv::testing
