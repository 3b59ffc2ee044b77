#pragma once

#include <QByteArray>
#include <QString>

namespace mrv::auth {

// An OAuth 2 access token, or why there is none.
struct AccessToken
{
    QByteArray value;
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Runs `command` through /bin/sh with the user's rights and takes what it
// prints on standard output as the access token. Obtaining and refreshing
// tokens is the command's business (a provider's helper, a password store):
// this component never sees a refresh token or a client secret.
//
// The token is asked for at every login and kept only in memory, never
// written to a log or the database. A command that fails, takes longer than
// `timeoutSeconds` or prints anything but one line of visible characters
// gives an error that says so (with the last line of its standard error,
// where a helper explains itself).
AccessToken runAccessTokenCommand(const QString &command, int timeoutSeconds);

} // namespace mrv::auth
