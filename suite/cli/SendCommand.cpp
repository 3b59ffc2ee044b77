#include "Cli.h"

#include "facade/Types.h"
#include "host/Failure.h"
#include "facade/mrvMessage.h"
#include "mail/mrvEmailParams.h"
#include "services/SuiteSession.h"

#include <QFile>

namespace mrv::cli {

namespace {

// Plain text as an RTF document: the markup characters escaped, paragraphs
// for line breaks, every character beyond ASCII as \uN with "?" for readers
// that cannot show it.
QString plainTextAsRtf(const QString &text)
{
    QString body;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
            body += QLatin1Char('\\') + c;
        else if (c == QLatin1Char('\n'))
            body += QStringLiteral("\\par\n");
        else if (c == QLatin1Char('\r'))
            continue;
        else if (c.unicode() > 0x7F)
            body += QStringLiteral("\\u%1?").arg(qint16(c.unicode()));
        else
            body += c;
    }
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\uc1\\pard\\f0\\fs20 ") +
           body + QStringLiteral("\\par\n}");
}

QString fileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

qint32 numberOption(QStringList &args, const QString &name, qint32 defaultValue)
{
    const QString text = takeOption(args, name);
    if (text.isNull())
        return defaultValue;
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1 needs a whole number, not \"%2\"").arg(name, text)};
    return value;
}

QVariant keyOption(QStringList &args, const QString &name)
{
    const qint32 key = numberOption(args, name, 0);
    return key > 0 ? QVariant(key) : QVariant();
}

int runSend(Context &context, const QStringList &arguments)
{
    QStringList args = arguments;
    const qint32 id = numberOption(args, QStringLiteral("--id"), 0);
    const QString to = takeOption(args, QStringLiteral("--to"));
    const QString cc = takeOption(args, QStringLiteral("--cc"));
    const QString ccn = takeOption(args, QStringLiteral("--ccn"));
    const QString subject = takeOption(args, QStringLiteral("--subject"));
    const QString body = takeOption(args, QStringLiteral("--body"));
    const QString bodyFile = takeOption(args, QStringLiteral("--body-file"));
    const bool html = takeFlag(args, QStringLiteral("--html"));
    const qint32 format = numberOption(args, QStringLiteral("--format"), eMessageBodyFormat_HTML);
    const QString link = takeOption(args, QStringLiteral("--link"));
    QStringList attachments;
    for (QString path = takeOption(args, QStringLiteral("--attach")); !path.isNull();
         path = takeOption(args, QStringLiteral("--attach")))
        attachments << path;
    const QVariant replying = keyOption(args, QStringLiteral("--replying"));
    const QVariant forwarding = keyOption(args, QStringLiteral("--forwarding"));
    const qint32 type = numberOption(args, QStringLiteral("--type"), mstMessage);
    requireNoMoreOptions(args);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(args.first())};
    if (!body.isNull() && !bodyFile.isNull())
        throw UsageError{QStringLiteral("give --body or --body-file, not both")};
    if (id <= 0 && to.isEmpty() && cc.isEmpty() && ccn.isEmpty())
        throw UsageError{QStringLiteral("give recipients (--to, --cc, --ccn) or a stored message (--id)")};

    QString text = bodyFile.isNull() ? body : fileText(bodyFile);
    if (!html && !text.trimmed().startsWith(QLatin1String("{\\rtf")))
        text = plainTextAsRtf(text);
    QString log;
    const bool sent = context.session().message()->SendMessage(id, subject, text, to, cc, ccn, link,
                                                               attachments.join(QLatin1Char('|')), replying, forwarding,
                                                               type, html, &log, format);
    if (!log.isEmpty())
        context.out() << log << (log.endsWith(QLatin1Char('\n')) ? "" : "\n");
    if (!sent && log.isEmpty() && context.session().errors()->recentReports().isEmpty())
        context.err() << "mrv send: not sent; e-mail needs a transport in EXCHANGE_MODE (ACCOUNT, CDO, OUTLOOK_EXT)\n";
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
        {QStringLiteral("ServerPort_In"), [&] { number(p.ServerPort_In); }},
        {QStringLiteral("ServerSSL_In"), [&] { flag(p.ServerSSL_In); }},
        {QStringLiteral("ServerAuth_In"), [&] { number(p.ServerAuth_In); }},
        {QStringLiteral("User_In"), [&] { p.User_In = value; }},
        {QStringLiteral("Password_In"), [&] { p.Password_In = value; }},
        {QStringLiteral("ServerType_Out"), [&] { number(p.ServerType_Out); }},
        {QStringLiteral("ServerName_Out"), [&] { p.ServerName_Out = value; }},
        {QStringLiteral("ServerPort_Out"), [&] { number(p.ServerPort_Out); }},
        {QStringLiteral("ServerSSL_Out"), [&] { flag(p.ServerSSL_Out); }},
        {QStringLiteral("StartTLS_Out"), [&] { flag(p.StartTLS_Out); }},
        {QStringLiteral("ServerAuth_Out"), [&] { number(p.ServerAuth_Out); }},
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

Command sendCommand()
{
    return {QStringLiteral("send"),
            QStringLiteral("send [--id N] [--to LIST] [--cc LIST] [--ccn LIST] [--subject TEXT] [--body TEXT | "
                           "--body-file FILE] [--html] [--format N] [--link TABLE|KEY] [--attach PATH]... "
                           "[--replying ID] [--forwarding ID] [--type N]"),
            QStringLiteral("send a message to users, groups, fax numbers and e-mail addresses"),
            QStringLiteral("Calls the component's SendMessage as the current --user. The body is RTF unless\n"
                           "--html is given; plain text (not beginning with \"{\\rtf\") is wrapped into RTF.\n"
                           "--id sends a message already stored (the other content options are then ignored).\n"
                           "Lists hold items separated by \";\". --format is the e-mail body format (0 text,\n"
                           "1 HTML, 2 RTF, 8 XML; default 1). --attach may be repeated. Prints the\n"
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
