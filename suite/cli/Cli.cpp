#include "Cli.h"

#include "db/SuiteConnection.h"
#include "services/SuiteSession.h"

namespace mrv::cli {

Context::Context(GlobalOptions options) : m_options(std::move(options)), m_out(stdout), m_err(stderr) {}

Context::~Context() = default;

suite::SuiteSession &Context::session()
{
    if (!m_session)
        m_session = suite::SuiteSession::open(connection(), m_options.user, m_options.company);
    return *m_session;
}

std::shared_ptr<suite::db::SuiteConnection> Context::connection()
{
    return m_connection ? m_connection : openConnection(false);
}

std::shared_ptr<suite::db::SuiteConnection> Context::readOnlyConnection()
{
    return m_connection ? m_connection : openConnection(true);
}

std::shared_ptr<suite::db::SuiteConnection> Context::openConnection(bool readOnly)
{
    m_connection = m_options.openConnection(readOnly);
    return m_connection;
}

QList<Command> commands()
{
    return {initCommand(),         infoCommand(),         sqlCommand(),    configCommand(),      resolveCommand(),
            statusCommand(),       linkEmailCommand(),    sendCommand(),   emailConfigCommand(), registerCommand(),
            unregisterCommand(),   mailClientCommand(),   watchCommand(),  datasetCommand(),     templateCommand(),
            notificationCommand(), notifyServerCommand(), mailboxCommand()};
}

bool reportsNothing(Context &context, const std::function<void()> &operation)
{
    suite::SuiteErrors &errors = *context.session().errors();
    errors.clearRecentReports();
    operation();
    return errors.recentReports().isEmpty();
}

qint32 wholeNumber(const QString &text, const QString &name)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 needs a whole number, not \"%2\"").arg(name, text)};
    return value;
}

QStringList repeatedOption(QStringList &args, const QString &name)
{
    QStringList values;
    for (QString value = takeOption(args, name); !value.isNull(); value = takeOption(args, name))
        values << value;
    return values;
}

qint32 numberOption(QStringList &args, const QString &name, qint32 defaultValue)
{
    const QString text = takeOption(args, name);
    return text.isNull() ? defaultValue : wholeNumber(text, name);
}

void requireNoMoreOptions(const QStringList &args)
{
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            throw UsageError{QStringLiteral("unknown option ") + arg};
    }
}

QStringList exactArguments(const QStringList &args, qsizetype count, const QString &names)
{
    requireNoMoreOptions(args);
    if (args.size() != count)
        throw UsageError{count == 0 ? QStringLiteral("expected no arguments")
                                    : QStringLiteral("expected %1").arg(names)};
    return args;
}

int dispatchSubcommand(Context &context, QStringList args, const SubcommandTable &subcommands)
{
    if (args.isEmpty() || !subcommands.contains(args.first())) {
        QStringList names = subcommands.keys();
        names.sort();
        throw UsageError{QStringLiteral("expected one of: ") + names.join(QStringLiteral(", "))};
    }
    const QString name = args.takeFirst();
    return subcommands.value(name)(context, args);
}

} // namespace mrv::cli
