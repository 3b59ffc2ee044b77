#pragma once

#include "services/SessionOptions.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>

namespace mrv::suite {
class SuiteSession;
namespace db {
class SuiteConnection;
}
} // namespace mrv::suite

namespace mrv::cli {

// Exit codes of the command line.
enum ExitCode : int { exitOk = 0, exitFailed = 1, exitUsage = 2 };

// A command line that cannot be understood: main prints the text and the
// command's usage and exits with exitUsage.
using suite::UsageError;
using GlobalOptions = suite::SessionOptions;
using suite::defaultDatabasePath;
using suite::takeFlag;
using suite::takeOption;

class Context
{
public:
    explicit Context(GlobalOptions options);
    ~Context();

    const GlobalOptions &options() const { return m_options; }
    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // The session on the selected database; fails when the database does not
    // exist yet (only init creates one), holds no mrv schema or one newer
    // than this program.
    suite::SuiteSession &session();

    // The connection alone, for commands that need no user (sql, info),
    // with the same checks.
    std::shared_ptr<suite::db::SuiteConnection> connection();
    // For commands that only read: works in a folder the user may not write.
    std::shared_ptr<suite::db::SuiteConnection> readOnlyConnection();

private:
    GlobalOptions m_options;
    QTextStream m_out;
    QTextStream m_err;
    std::shared_ptr<suite::db::SuiteConnection> openConnection(bool readOnly);

    std::unique_ptr<suite::SuiteSession> m_session;
    std::shared_ptr<suite::db::SuiteConnection> m_connection;
};

struct Command
{
    QString name;
    QString usage;   // "init [--demo] [--scale N]"
    QString summary; // one line
    QString help;    // details shown by "mrv COMMAND --help"
    std::function<int(Context &, const QStringList &)> run;
};

// Every command of the program, in the order `mrv --help` lists them.
QList<Command> commands();

// Pieces of the commands, one file each.
Command initCommand();
Command infoCommand();
Command sqlCommand();
Command configCommand();
Command resolveCommand();
Command statusCommand();
Command linkEmailCommand();
Command registerCommand();
Command sendCommand();
Command emailConfigCommand();
Command unregisterCommand();
Command mailClientCommand();
Command watchCommand();
Command datasetCommand();
Command templateCommand();
Command notificationCommand();
Command notifyServerCommand();
Command mailboxCommand();

void requireNoMoreOptions(const QStringList &args);
// The arguments left after the options, when there are exactly `count`;
// UsageError naming what was expected otherwise.
QStringList exactArguments(const QStringList &args, qsizetype count, const QString &names);
// Runs the subcommand the first argument names with the arguments after it.
using SubcommandTable = QHash<QString, std::function<int(Context &, const QStringList &)>>;
int dispatchSubcommand(Context &context, QStringList args, const SubcommandTable &subcommands);
// A whole number given for `name` (an option or an argument); UsageError
// when the text is none.
qint32 wholeNumber(const QString &text, const QString &name);
// The option's value as a whole number, or the default when it is absent.
qint32 numberOption(QStringList &args, const QString &name, qint32 defaultValue);
// Every value of an option that may be repeated, in order.
QStringList repeatedOption(QStringList &args, const QString &name);
// Refuses, naming each, the paths that are no readable regular file or that
// hold the "|" separating attachments.
void requireAttachableFiles(const QStringList &paths);

// Whether the component reported a failure while `operation` ran: its public
// operations never throw, they report through Errors (printed on stderr).
bool reportsNothing(Context &context, const std::function<void()> &operation);

} // namespace mrv::cli
