#include "AccessTokenCommand.h"

#include <QProcess>

#include <algorithm>

namespace mrv::auth {

namespace {

constexpr qsizetype kLongestToken = 16 * 1024;
constexpr qsizetype kLongestExplanation = 300;

// The last non-empty line a failing helper wrote on standard error.
QString explanation(QProcess &process)
{
    const QList<QByteArray> lines = process.readAllStandardError().trimmed().split('\n');
    const QString last = QString::fromLocal8Bit(lines.last().trimmed());
    return last.isEmpty() ? QString() : QStringLiteral(": ") + last.left(kLongestExplanation);
}

// Visible ASCII only: a token goes into SASL framing (XOAUTH2 separates its
// fields with ^A) and into protocol lines, which a control byte would break.
// Emptiness is the caller's own, clearer, error.
bool isTokenText(const QByteArray &text)
{
    return text.size() <= kLongestToken &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

AccessToken failure(const QString &reason)
{
    return {{}, QStringLiteral("The access token command ") + reason};
}

} // namespace

AccessToken runAccessTokenCommand(const QString &command, int timeoutSeconds)
{
    if (command.trimmed().isEmpty())
        return failure(QStringLiteral("is empty"));
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted())
        return failure(QStringLiteral("could not be started: ") + process.errorString());
    const int seconds = std::max(timeoutSeconds, 1);
    if (!process.waitForFinished(seconds * 1000)) {
        process.kill();
        process.waitForFinished();
        return failure(QStringLiteral("did not finish within %1 seconds").arg(seconds));
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return failure(QStringLiteral("crashed") + explanation(process));
    if (process.exitCode() != 0)
        return failure(QStringLiteral("failed with exit code %1").arg(process.exitCode()) + explanation(process));
    const QByteArray token = process.readAllStandardOutput().trimmed();
    if (token.isEmpty())
        return failure(QStringLiteral("printed no token"));
    if (!isTokenText(token))
        return failure(QStringLiteral("printed more than a token (one line of visible characters is expected)"));
    return {token, {}};
}

} // namespace mrv::auth
