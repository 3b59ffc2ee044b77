#include "ImapError.h"

namespace mrv::imap {

namespace {

QString kindText(ImapError::Kind kind)
{
    switch (kind) {
    case ImapError::Kind::No:
        return QStringLiteral("Refused by the server");
    case ImapError::Kind::Bad:
        return QStringLiteral("Rejected as invalid by the server");
    case ImapError::Kind::Bye:
        return QStringLiteral("The server closed the session");
    case ImapError::Kind::Transport:
        return QStringLiteral("Connection failed");
    case ImapError::Kind::Timeout:
        return QStringLiteral("The server did not answer in time");
    case ImapError::Kind::Tls:
        return QStringLiteral("No secure connection");
    case ImapError::Kind::Protocol:
        return QStringLiteral("Unexpected answer from the server");
    case ImapError::Kind::State:
        return QStringLiteral("Not possible now");
    case ImapError::Kind::Credentials:
        return QStringLiteral("No credentials");
    }
    return {};
}

} // namespace

QString ImapError::describe() const
{
    QString line = kindText(kind);
    if (!code.isEmpty())
        line += QStringLiteral(" [%1]").arg(QString::fromLatin1(code));
    if (!text.isEmpty())
        line += QStringLiteral(": ") + text;
    return line;
}

ImapError protocolError(const QString &text)
{
    return {ImapError::Kind::Protocol, {}, text};
}

} // namespace mrv::imap
