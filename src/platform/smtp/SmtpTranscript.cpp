#include "SmtpTranscript.h"

#include <QStringList>

namespace mrv::smtp {

namespace {

const QString kHidden = QStringLiteral("[hidden]");

QStringList linesOf(QByteArrayView text)
{
    QStringList lines;
    for (QString line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        line.remove(QLatin1Char('\r'));
        if (!line.trimmed().isEmpty())
            lines.append(line);
    }
    return lines;
}

qint32 replyCode(const QString &line)
{
    bool valid = false;
    const qint32 code = line.left(3).toInt(&valid);
    return valid ? code : 0;
}

// "250-SIZE" announces more lines; "250 OK" is the last one.
bool isFinalReplyLine(const QString &line)
{
    return line.size() < 4 || line.at(3) != QLatin1Char('-');
}

} // namespace

SmtpTranscript::SmtpTranscript(LineHandler handler) : m_handler(std::move(handler)) {}

void SmtpTranscript::note(const QString &text, qint32 code)
{
    if (m_handler)
        m_handler(text, code);
}

void SmtpTranscript::restart()
{
    *this = SmtpTranscript(std::move(m_handler));
}

void SmtpTranscript::clientNote(QByteArrayView text)
{
    for (const QString &line : linesOf(text))
        note(line.trimmed());
}

void SmtpTranscript::commandSent(QByteArrayView command)
{
    for (const QString &line : linesOf(command))
        note(redactedCommand(line));
}

void SmtpTranscript::replyReceived(QByteArrayView reply)
{
    for (const QString &line : linesOf(reply)) {
        const qint32 code = replyCode(line);
        followReply(code, isFinalReplyLine(line));
        note(line, code);
    }
}

QString SmtpTranscript::redactedCommand(const QString &line)
{
    m_commandSent = true;
    const QString verb = line.section(QLatin1Char(' '), 0, 0).toUpper();
    if (verb == QLatin1String("AUTH")) {
        m_authenticating = true;
        m_lastCommand = verb;
        const QString mechanism = QStringLiteral("AUTH ") + line.section(QLatin1Char(' '), 1, 1);
        const bool initialResponse = !line.section(QLatin1Char(' '), 2).isEmpty();
        return initialResponse ? mechanism + QLatin1Char(' ') + kHidden : mechanism;
    }
    // Every line of an authentication exchange carries credentials, encoded or not.
    if (m_authenticating)
        return kHidden;
    m_lastCommand = verb;
    return line;
}

void SmtpTranscript::followReply(qint32 code, bool finalLine)
{
    m_heardServer = true;
    if (!m_commandSent && m_greetingCode == 0)
        m_greetingCode = code;
    if (!finalLine)
        return;
    if (code >= 400 && m_refusalCode == 0) {
        m_refusalCode = code;
        m_refusedCommand = m_lastCommand;
    }
    if (m_authenticating && code != 334)
        m_authenticating = false;
    // The message itself is no command: after 354 the next reply answers it.
    if (m_lastCommand == QLatin1String("DATA"))
        m_awaitingDataAnswer = code == 354;
}

} // namespace mrv::smtp
