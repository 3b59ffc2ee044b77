// The mail-client program that the "OUTLOOK_EXT" transport starts:
//   MailClient_x86 -c CONNECTION -u USER [-p "OUTLOOK"] [--profile NAME]
// Sends the user's queued e-mails once through the user's account. Exit
// codes: 0 every e-mail it took was sent, 1 otherwise, 2 a command line it
// does not understand.
#include "MailClient.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

enum ExitCode : int { exitSent = 0, exitNotSent = 1, exitUsage = 2 };

struct UsageError
{
    QString message;
};

struct Arguments
{
    QString databasePath;
    QString user;
};

// The items of a connection text, "Key=Value" separated by ";", keys without
// regard to case.
QString connectionItem(const QString &connection, const QString &key)
{
    for (const QString &item : connection.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals > 0 && item.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return item.mid(equals + 1).trimmed();
    }
    return {};
}

// The database's location: an SQLite file, or a PostgreSQL server's URL.
QString databaseOf(const QString &connection)
{
    const QString provider = connectionItem(connection, QStringLiteral("Provider"));
    const bool server = provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
    if (!server && provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) != 0)
        throw UsageError{
            QStringLiteral("the provider \"%1\" is not supported: only Provider=SQLite or Provider=PostgreSQL")
                .arg(provider)};
    const QString location = connectionItem(connection, QStringLiteral("Data Source"));
    if (location.isEmpty())
        throw UsageError{QStringLiteral("the connection names no \"Data Source\"")};
    if (server != mrv::suite::db::SuiteConnection::isServerLocation(location))
        throw UsageError{QStringLiteral("the \"Data Source\" of Provider=PostgreSQL is a postgresql:// URL, and "
                                        "only of it")};
    return location;
}

QString unquoted(const QString &text)
{
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        return text.mid(1, text.size() - 2);
    return text;
}

// -p names the mailbox program the transport thought of; the e-mails go
// through the user's account whatever it says, and so does --profile.
Arguments parse(const QStringList &args)
{
    Arguments parsed;
    QString connection;
    for (qsizetype i = 0; i < args.size(); i += 2) {
        const QString &option = args.at(i);
        if (i + 1 >= args.size())
            throw UsageError{option + QStringLiteral(" needs a value")};
        const QString &value = args.at(i + 1);
        if (option == QLatin1String("-c"))
            connection = value;
        else if (option == QLatin1String("-u"))
            parsed.user = value;
        else if (option == QLatin1String("-p")) {
            if (unquoted(value).compare(QLatin1String("OUTLOOK"), Qt::CaseInsensitive) != 0)
                throw UsageError{QStringLiteral("-p accepts only \"OUTLOOK\"")};
        } else if (option != QLatin1String("--profile"))
            throw UsageError{QStringLiteral("unknown option ") + option};
    }
    if (connection.isEmpty() || parsed.user.isEmpty())
        throw UsageError{QStringLiteral("-c and -u are required")};
    parsed.databasePath = databaseOf(connection);
    return parsed;
}

int run(const Arguments &arguments, QTextStream &out)
{
    if (!mrv::suite::db::SuiteConnection::isServerLocation(arguments.databasePath) &&
        !QFileInfo(arguments.databasePath).isFile())
        throw mrv::Failure(QStringLiteral("The database %1 does not exist").arg(arguments.databasePath));
    auto session = mrv::suite::SuiteSession::open(arguments.databasePath, arguments.user, QString());
    mrv::suite::MailClient client(*session);
    int code = exitSent;
    for (const mrv::suite::MailClientOutcome &outcome : client.runOnce()) {
        out << outcome.line() << '\n';
        if (outcome.state != mrv::suite::mcsSent && outcome.state != mrv::suite::mcsUncertain)
            code = exitNotSent;
    }
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        return run(parse(application.arguments().mid(1)), out);
    } catch (const UsageError &error) {
        err << "MailClient: " << error.message << '\n'
            << "usage: MailClient -c \"Provider=SQLite;Data Source=FILE\" -u USER [-p \"OUTLOOK\"] [--profile NAME]\n";
        return exitUsage;
    } catch (const mrv::Failure &failure) {
        err << "MailClient: " << failure.message() << '\n';
        return exitNotSent;
    }
}
