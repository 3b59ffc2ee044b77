#include "Cli.h"

#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "facade/mrvMessage.h"
#include "host/Failure.h"
#include "mail/mrvEmailParams.h"
#include "services/PlainTextRtf.h"
#include "services/SuiteSession.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace mrv::cli {

namespace {

QString fileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

QVariant keyOption(QStringList &args, const QString &name)
{
    const qint32 key = numberOption(args, name, 0);
    return key > 0 ? QVariant(key) : QVariant();
}

// What "mrv send" was asked, as typed.
struct SendRequest
{
    qint32 id = 0;
    QString to;
    QString cc;
    QString ccn;
    QString subject;
    QString body;
    QString bodyFile;
    bool html = false;
    bool rawRecipients = false;
    qint32 format = eMessageBodyFormat_HTML;
    QString link;
    QStringList attachments;
    QVariant replying;
    QVariant forwarding;
    qint32 type = mstMessage;
};

void requireUsableRequest(const SendRequest &request)
{
    if (!request.body.isNull() && !request.bodyFile.isNull())
        throw UsageError{QStringLiteral("give --body or --body-file, not both")};
    if (request.id <= 0 && request.to.isEmpty() && request.cc.isEmpty() && request.ccn.isEmpty())
        throw UsageError{QStringLiteral("give recipients (--to, --cc, --ccn) or a stored message (--id)")};
    if (!QList<qint32>{eMessageBodyFormat_Text, eMessageBodyFormat_HTML, eMessageBodyFormat_RTF, eMessageBodyFormat_XML}
             .contains(request.format))
        throw UsageError{QStringLiteral("--format is 0 (text), 1 (HTML), 2 (RTF) or 8 (XML)")};
    static const QRegularExpression link(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*\\|\\S.*$"));
    if (!request.link.isNull() && !link.match(request.link).hasMatch())
        throw UsageError{QStringLiteral("--link takes TABLE|KEY, for example DOC_VEN|1, not \"%1\"").arg(request.link)};
}

SendRequest sendRequestOf(QStringList args)
{
    SendRequest request;
    request.id = numberOption(args, QStringLiteral("--id"), 0);
    request.to = takeOption(args, QStringLiteral("--to"));
    request.cc = takeOption(args, QStringLiteral("--cc"));
    request.ccn = takeOption(args, QStringLiteral("--ccn"));
    request.subject = takeOption(args, QStringLiteral("--subject"));
    request.body = takeOption(args, QStringLiteral("--body"));
    request.bodyFile = takeOption(args, QStringLiteral("--body-file"));
    request.html = takeFlag(args, QStringLiteral("--html"));
    request.rawRecipients = takeFlag(args, QStringLiteral("--raw-recipients"));
    request.format = numberOption(args, QStringLiteral("--format"), eMessageBodyFormat_HTML);
    request.link = takeOption(args, QStringLiteral("--link"));
    request.attachments = repeatedOption(args, QStringLiteral("--attach"));
    request.replying = keyOption(args, QStringLiteral("--replying"));
    request.forwarding = keyOption(args, QStringLiteral("--forwarding"));
    request.type = numberOption(args, QStringLiteral("--type"), mstMessage);
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    requireUsableRequest(request);
    return request;
}

// Why the component would skip the file, or split its name in two.
QString attachmentProblem(const QString &path)
{
    const QFileInfo file(path);
    if (path.contains(QLatin1Char('|')))
        return QStringLiteral("\"|\" separates the files of a list");
    if (!file.exists())
        return QStringLiteral("no such file");
    if (file.isDir())
        return QStringLiteral("a folder");
    if (!file.isFile())
        return QStringLiteral("not a regular file");
    if (!file.isReadable())
        return QStringLiteral("not readable");
    return {};
}

bool recordExists(Context &context, const QString &table, const QString &key)
{
    try {
        const auto result = context.session().connection()->query(
            QStringLiteral("SELECT COUNT(*) FROM %1 WHERE RECORD_ID = %2").arg(table, key));
        return result.rows.first().first().toLongLong() > 0;
    } catch (const Failure &) {
        return false; // no such table
    }
}

void requireStoredMessage(Context &context, const QVariant &key, const QString &option)
{
    if (key.isValid() && !recordExists(context, QStringLiteral("SYS_MSG"), key.toString()))
        throw Failure(QStringLiteral("%1: message %2 does not exist").arg(option, key.toString()));
}

// A whole-number key is the record's RECORD_ID; other keys are taken on trust.
void requireLinkedRecord(Context &context, const QString &link)
{
    const QString table = link.section(QLatin1Char('|'), 0, 0);
    const QString key = link.section(QLatin1Char('|'), 1);
    bool numeric = false;
    key.toInt(&numeric);
    if (numeric && !recordExists(context, context.session().records()->physicalName(table), key))
        throw Failure(QStringLiteral("--link: there is no record %1").arg(link));
}

bool namesSomebody(const QString &lists)
{
    const QStringList items = lists.split(QLatin1Char(';'));
    return std::any_of(items.begin(), items.end(), [](const QString &item) { return !item.trimmed().isEmpty(); });
}

bool emailHasNoTransport(Context &context)
{
    return context.session().config()->value(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("NONE")) ==
           QLatin1String("NONE");
}

// As the message window sends them: every item looked up in the address book
// without asking anyone, and nothing sent while an item stays unknown.
void resolveRecipients(Context &context, SendRequest &request)
{
    mrvMessage &message = *context.session().message();
    QString unknown;
    const bool looked = reportsNothing(context, [&] {
        for (QString *list : {&request.to, &request.cc, &request.ccn}) {
            QString resolved;
            message.ResolveRecipients(nullptr, *list, resolved, &unknown);
            *list = resolved;
        }
    });
    if (!looked)
        throw Failure(QStringLiteral("the recipients could not be looked up"));
    if (unknown.isEmpty())
        return;
    const bool email = unknown.contains(QLatin1Char('@')) && emailHasNoTransport(context);
    throw Failure(QStringLiteral("unknown recipients: ") + unknown +
                  (email ? QStringLiteral(" (e-mail needs a transport in EXCHANGE_MODE: ACCOUNT, CDO, OUTLOOK_EXT)")
                         : QString()));
}

// Everything the component would quietly skip, store wrongly or misreport
// is refused before anything is written.
void checkAgainstTheDatabase(Context &context, SendRequest &request)
{
    requireStoredMessage(context, request.id > 0 ? QVariant(request.id) : QVariant(), QStringLiteral("--id"));
    requireStoredMessage(context, request.replying, QStringLiteral("--replying"));
    requireStoredMessage(context, request.forwarding, QStringLiteral("--forwarding"));
    requireLinkedRecord(context, request.link);
    if (request.id > 0)
        return;
    if (!namesSomebody(request.to + QLatin1Char(';') + request.cc + QLatin1Char(';') + request.ccn))
        throw Failure(QStringLiteral("the recipient lists name nobody"));
    if (!request.rawRecipients)
        resolveRecipients(context, request);
}

QString lastLineOf(const QString &log)
{
    return log.trimmed().section(QLatin1Char('\n'), -1).trimmed();
}

int runSend(Context &context, const QStringList &arguments)
{
    SendRequest request = sendRequestOf(arguments);
    requireAttachableFiles(request.attachments);
    checkAgainstTheDatabase(context, request);

    QString text = request.bodyFile.isNull() ? request.body : fileText(request.bodyFile);
    if (!request.html && !text.trimmed().startsWith(QLatin1String("{\\rtf")))
        text = suite::plainTextAsRtf(text);
    QString log;
    bool sent = false;
    const bool quiet = reportsNothing(context, [&] {
        sent = context.session().message()->SendMessage(
            request.id, request.subject, text, request.to, request.cc, request.ccn, request.link,
            request.attachments.join(QLatin1Char('|')), request.replying, request.forwarding, request.type,
            request.html, &log, request.format);
    });
    if (!log.isEmpty())
        context.out() << log << (log.endsWith(QLatin1Char('\n')) ? "" : "\n");
    if (!sent && quiet)
        context.err() << "mrv send: not sent; "
                      << (log.isEmpty()
                              ? QStringLiteral("e-mail needs a transport in EXCHANGE_MODE (ACCOUNT, CDO, OUTLOOK_EXT)")
                              : lastLineOf(log))
                      << '\n';
    return sent ? exitOk : exitFailed;
}

// The account's fields in the order of the configuration, with their values as text.
QList<QPair<QString, QString>> accountFields(const mrvEmailParams &p)
{
    const auto flag = [](bool value) { return value ? QStringLiteral("-1") : QStringLiteral("0"); };
    return {{QStringLiteral("Name"), p.Name},
            {QStringLiteral("Email"), p.Email},
            {QStringLiteral("ServerType_In"), QString::number(p.ServerType_In)},
            {QStringLiteral("ServerName_In"), p.ServerName_In},
            {QStringLiteral("ServerPort_In"), QString::number(p.ServerPort_In)},
            {QStringLiteral("ServerSSL_In"), flag(p.ServerSSL_In)},
            {QStringLiteral("ServerAuth_In"), QString::number(p.ServerAuth_In)},
            {QStringLiteral("User_In"), p.User_In},
            {QStringLiteral("Password_In"), p.Password_In.isEmpty() ? QString() : QStringLiteral("********")},
            {QStringLiteral("ServerType_Out"), QString::number(p.ServerType_Out)},
            {QStringLiteral("ServerName_Out"), p.ServerName_Out},
            {QStringLiteral("ServerPort_Out"), QString::number(p.ServerPort_Out)},
            {QStringLiteral("ServerSSL_Out"), flag(p.ServerSSL_Out)},
            {QStringLiteral("StartTLS_Out"), flag(p.StartTLS_Out)},
            {QStringLiteral("ServerAuth_Out"), QString::number(p.ServerAuth_Out)},
            {QStringLiteral("User_Out"), p.User_Out},
            {QStringLiteral("Password_Out"), p.Password_Out.isEmpty() ? QString() : QStringLiteral("********")}};
}

void setAccountField(mrvEmailParams &p, const QString &field, const QString &value)
{
    const auto number = [&](qint32 &target) {
        bool ok = false;
        target = value.toInt(&ok);
        if (!ok)
            throw UsageError{QStringLiteral("%1 takes a number").arg(field)};
    };
    const auto port = [&](qint32 &target) {
        number(target);
        if (target < 0 || target > 65535)
            throw UsageError{QStringLiteral("%1 takes a port from 1 to 65535, or 0 for the usual one").arg(field)};
    };
    const auto authentication = [&](qint32 &target) {
        number(target);
        if (!QList<qint32>{0, 1, 2, 4}.contains(target))
            throw UsageError{QStringLiteral("%1 takes 0 (none), 1 (LOGIN), 2 (CRAM-MD5) or 4 (NTLM)").arg(field)};
    };
    const auto flag = [&](bool &target) {
        if (value != QLatin1String("-1") && value != QLatin1String("0") && value != QLatin1String("1"))
            throw UsageError{QStringLiteral("%1 takes -1 or 1 (true) or 0 (false)").arg(field)};
        target = value != QLatin1String("0");
    };
    const QHash<QString, std::function<void()>> setters = {
        {QStringLiteral("Name"), [&] { p.Name = value; }},
        {QStringLiteral("Email"), [&] { p.Email = value; }},
        {QStringLiteral("ServerType_In"), [&] { number(p.ServerType_In); }},
        {QStringLiteral("ServerName_In"), [&] { p.ServerName_In = value; }},
        {QStringLiteral("ServerPort_In"), [&] { port(p.ServerPort_In); }},
        {QStringLiteral("ServerSSL_In"), [&] { flag(p.ServerSSL_In); }},
        {QStringLiteral("ServerAuth_In"), [&] { number(p.ServerAuth_In); }},
        {QStringLiteral("User_In"), [&] { p.User_In = value; }},
        {QStringLiteral("Password_In"), [&] { p.Password_In = value; }},
        {QStringLiteral("ServerType_Out"), [&] { number(p.ServerType_Out); }},
        {QStringLiteral("ServerName_Out"), [&] { p.ServerName_Out = value; }},
        {QStringLiteral("ServerPort_Out"), [&] { port(p.ServerPort_Out); }},
        {QStringLiteral("ServerSSL_Out"), [&] { flag(p.ServerSSL_Out); }},
        {QStringLiteral("StartTLS_Out"), [&] { flag(p.StartTLS_Out); }},
        {QStringLiteral("ServerAuth_Out"), [&] { authentication(p.ServerAuth_Out); }},
        {QStringLiteral("User_Out"), [&] { p.User_Out = value; }},
        {QStringLiteral("Password_Out"), [&] { p.Password_Out = value; }},
    };
    const auto setter = setters.constFind(field);
    if (setter == setters.constEnd())
        throw UsageError{QStringLiteral("unknown field \"%1\"").arg(field)};
    (*setter)();
}

int runEmailConfig(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const QString prefix = takeOption(args, QStringLiteral("--prefix"));
    requireNoMoreOptions(args);
    const QString action = args.isEmpty() ? QStringLiteral("show") : args.takeFirst();
    suite::SuiteSession &session = context.session();
    mrvEmailParams params;
    params.setRecords(session.records());
    params.setErrors(session.errors());
    session.errors()->clearRecentReports();
    params.LoadConfig(prefix);
    if (action == QLatin1String("show") && args.isEmpty()) {
        for (const auto &[field, value] : accountFields(params))
            context.out() << field << ": " << value << '\n';
    } else if (action == QLatin1String("set") && args.size() == 2) {
        setAccountField(params, args.at(0), args.at(1));
        params.SaveConfig(prefix);
    } else {
        throw UsageError{QStringLiteral("say show, or set FIELD VALUE")};
    }
    return session.errors()->recentReports().isEmpty() ? exitOk : exitFailed;
}

} // namespace

void requireAttachableFiles(const QStringList &paths)
{
    QStringList bad;
    for (const QString &path : paths) {
        const QString problem = attachmentProblem(path);
        if (!problem.isEmpty())
            bad << QStringLiteral("%1 (%2)").arg(path, problem);
    }
    if (!bad.isEmpty())
        throw Failure(QStringLiteral("cannot attach %1").arg(bad.join(QStringLiteral("; "))));
}

Command sendCommand()
{
    return {QStringLiteral("send"),
            QStringLiteral("send [--id N] [--to LIST] [--cc LIST] [--ccn LIST] [--subject TEXT] [--body TEXT | "
                           "--body-file FILE] [--html] [--format N] [--link TABLE|KEY] [--attach PATH]... "
                           "[--replying ID] [--forwarding ID] [--type N] [--raw-recipients]"),
            QStringLiteral("send a message to users, groups, fax numbers and e-mail addresses"),
            QStringLiteral("Calls the component's SendMessage as the current --user. The body is RTF unless\n"
                           "--html is given; plain text (not beginning with \"{\\rtf\") is wrapped into RTF.\n"
                           "--id sends a message already stored (the other content options are then ignored).\n"
                           "Lists hold items separated by \";\", looked up in the address book as the message\n"
                           "window does (without suggestions): an unknown item, or lists that name nobody,\n"
                           "stop the command with 1. --raw-recipients hands the lists over as typed, for\n"
                           "scripts that resolve them themselves. --format is the e-mail body format (0 text,\n"
                           "1 HTML, 2 RTF, 8 XML; default 1). --attach may be repeated; each must be a readable\n"
                           "file without \"|\" in its path. --id, --replying, --forwarding and a --link whose\n"
                           "KEY is a number (the record's RECORD_ID) must name existing records. Prints the\n"
                           "transport's connection log when there is one; exits with 0 when the message was\n"
                           "sent, 1 otherwise (the reason is on stderr or in the log)."),
            runSend};
}

Command emailConfigCommand()
{
    return {QStringLiteral("email-config"), QStringLiteral("email-config [show | set FIELD VALUE] [--prefix P]"),
            QStringLiteral("show or change the e-mail account of the configuration"),
            QStringLiteral("show lists the seventeen fields of the account (passwords masked). set changes one\n"
                           "field (Name, Email, ServerName_Out, ServerPort_Out, ServerSSL_Out, StartTLS_Out,\n"
                           "ServerAuth_Out, User_Out, Password_Out, ... as listed by show) and saves the\n"
                           "account. --prefix selects another account (for example CDO); without it the\n"
                           "company's account is used when EMAIL_CONFIG_FOR_FIRM is 1."),
            runEmailConfig};
}

} // namespace mrv::cli
