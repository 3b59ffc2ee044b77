#include "SmtpTestServer.h"

#include "ServerProcess.h"
#include "host/ConfigClass.h"
#include "host/Failure.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace mrv::testing {

namespace {

// The Python of the Debian packages: a python3 earlier on the PATH may lack aiosmtpd.
const QString kPython = QStringLiteral("/usr/bin/python3");
constexpr int kStartTimeoutMs = 20000;
constexpr int kStopTimeoutMs = 5000;

QString scriptPath(const char *name)
{
    return QString::fromUtf8(MRV_TEST_SERVERS_DIR "/") + QLatin1String(name);
}

QList<QPair<QString, QString>> pairsOf(const QJsonValue &value)
{
    QList<QPair<QString, QString>> pairs;
    for (const QJsonValue &pair : value.toArray())
        pairs.append({pair[0].toString(), pair[1].toString()});
    return pairs;
}

ReceivedPart partOf(const QJsonValue &part)
{
    const auto text = [&](const char *key) { return part[QLatin1String(key)].toString(); };
    return {text("content_type"),
            text("charset"),
            text("disposition"),
            text("filename"),
            text("content_id"),
            part["defects"].toVariant().toStringList(),
            QByteArray::fromBase64(text("base64").toLatin1()),
            text("text")};
}

template <typename Match> const ReceivedPart *firstPart(const QList<ReceivedPart> &parts, Match match)
{
    const auto found = std::find_if(parts.begin(), parts.end(), match);
    return found == parts.end() ? nullptr : &*found;
}

} // namespace

ReceivedMessage ReceivedMessage::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(json, &error).object();
    if (error.error != QJsonParseError::NoError)
        throw Failure("Unreadable message description: " + error.errorString());
    const QJsonValue envelope = root["envelope"];
    ReceivedMessage message;
    message.mailFrom = envelope["mail_from"].toString();
    message.envelopeRecipients = envelope["rcpt_tos"].toVariant().toStringList();
    message.connection = envelope["connection"].toInt();
    message.tls = envelope["tls"].toBool();
    message.authenticatedUser = envelope["auth_user"].toString();
    message.headers = pairsOf(root["headers"]);
    message.structure = root["structure"].toString();
    message.asciiOnly = root["ascii_only"].toBool();
    const QJsonObject addresses = root["addresses"].toObject();
    for (auto header = addresses.begin(); header != addresses.end(); ++header)
        message.addresses.insert(header.key(), pairsOf(header.value()));
    for (const QJsonValue &part : root["parts"].toArray())
        message.parts.append(partOf(part));
    return message;
}

QString ReceivedMessage::header(const QString &name) const
{
    const auto named = [&](const auto &header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; };
    const auto found = std::find_if(headers.begin(), headers.end(), named);
    return found == headers.end() ? QString() : found->second;
}

const ReceivedPart *ReceivedMessage::partOfType(const QString &contentType) const
{
    return firstPart(parts, [&](const ReceivedPart &part) { return part.contentType == contentType; });
}

const ReceivedPart *ReceivedMessage::partNamed(const QString &fileName) const
{
    return firstPart(parts, [&](const ReceivedPart &part) { return part.fileName == fileName; });
}

QStringList SmtpTestServer::arguments() const
{
    QStringList arguments = {scriptPath("smtp_server.py"), "--folder", folder()};
    const auto add = [&](const char *option, const QString &value) {
        if (!value.isEmpty())
            arguments << option << value;
    };
    add("--user", m_options.user);
    add("--password", m_options.password);
    add("--token", m_options.token);
    add("--fault", m_options.fault);
    add("--fault-recipient", m_options.faultRecipient);
    if (m_options.tls == SmtpServerOptions::Tls::StartTls)
        arguments << "--starttls";
    if (m_options.tls == SmtpServerOptions::Tls::Implicit)
        arguments << "--implicit-tls";
    return arguments;
}

bool SmtpTestServer::start()
{
    m_process.start(kPython, arguments());
    // The server prints "READY <port>" once it listens.
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (m_port == 0 && m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("READY "))
                m_port = line.mid(6).toUShort();
        }
    }
    if (m_port != 0)
        return true;
    const QString output = QString::fromUtf8(m_process.readAllStandardError()).trimmed();
    if (m_process.error() == QProcess::FailedToStart)
        m_error = QStringLiteral("%1 cannot be run: %2").arg(kPython, m_process.errorString());
    else if (output.contains("aiosmtpd is not installed"))
        m_error = QStringLiteral("python3-aiosmtpd is missing: scripts/setup.sh installs it");
    else
        m_error = "The SMTP test server did not start: " + output;
    stop();
    return false;
}

void SmtpTestServer::stop()
{
    stopServerProcess(m_process, kStopTimeoutMs);
}

void SmtpTestServer::configureAccount(host::ConfigClass &config) const
{
    const QStringList settings = {"EMAIL_NAME=Mario Rossi",
                                  "EMAIL=m.rossi@brambilla.example.it",
                                  "EMAIL_OUT_TYPE=3",
                                  "EMAIL_OUT_SERVER=127.0.0.1",
                                  "EMAIL_OUT_PORT=" + QString::number(m_port),
                                  "EMAIL_OUT_AUTH=0",
                                  "EMAIL_OUT_CA_FILE=" + certificatePath()};
    for (const QString &setting : settings)
        config.setValue(setting.section('=', 0, 0), setting.section('=', 1));
}

QList<ReceivedMessage> SmtpTestServer::receivedMessages() const
{
    QList<ReceivedMessage> messages;
    const QDir arrived(folder());
    for (const QString &name : arrived.entryList({"*.json"}, QDir::Files, QDir::Name)) {
        QFile file(arrived.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw Failure("Cannot read " + file.fileName());
        messages.append(ReceivedMessage::fromJson(file.readAll()));
    }
    return messages;
}

ReceivedMessage SmtpTestServer::parseFile(const QString &path)
{
    QProcess parser;
    parser.start(kPython, {scriptPath("mime_summary.py"), path});
    if (!parser.waitForFinished(kStartTimeoutMs) || parser.exitCode() != 0)
        throw Failure(QStringLiteral("The message %1 could not be parsed: %2")
                          .arg(path, QString::fromUtf8(parser.readAllStandardError())));
    return ReceivedMessage::fromJson(parser.readAllStandardOutput());
}

} // namespace mrv::testing
