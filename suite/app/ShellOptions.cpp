#include "ShellOptions.h"

#include <QRegularExpression>

namespace mrv::suite::app {

namespace {

// "TABLE|KEY", both parts present.
void takeRecord(const QString &option, const QString &value, ShellOptions &options)
{
    const qsizetype bar = value.indexOf(QLatin1Char('|'));
    if (bar <= 0 || bar == value.size() - 1)
        throw UsageError{option + QStringLiteral(" takes TABLE|KEY, not \"%1\"").arg(value)};
    options.table = value.left(bar);
    options.key = value.mid(bar + 1);
}

void chooseWindow(ShellOptions &options, ShellOptions::Window window)
{
    if (options.window != ShellOptions::Window::None)
        throw UsageError{QStringLiteral("--main, --open, --new and --history exclude each other")};
    options.window = window;
}

int wholeNumber(const QString &option, const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        throw UsageError{option + QStringLiteral(" takes a whole number, not \"%1\"").arg(text)};
    return value;
}

QSize sizeOf(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        throw UsageError{QStringLiteral("--size takes WIDTHxHEIGHT in pixels, not \"%1\"").arg(text)};
    return {match.captured(1).toInt(), match.captured(2).toInt()};
}

} // namespace

ShellOptions ShellOptions::take(QStringList args)
{
    ShellOptions options;
    options.session = SessionOptions::take(args);
    options.language = takeOption(args, QStringLiteral("--lang"));
    if (takeFlag(args, QStringLiteral("--main")))
        chooseWindow(options, Window::Main);
    if (const QString open = takeOption(args, QStringLiteral("--open")); !open.isEmpty()) {
        chooseWindow(options, Window::Open);
        takeRecord(QStringLiteral("--open"), open, options);
    }
    if (const QString history = takeOption(args, QStringLiteral("--history")); !history.isEmpty()) {
        chooseWindow(options, Window::History);
        takeRecord(QStringLiteral("--history"), history, options);
    }
    if (const QString table = takeOption(args, QStringLiteral("--new")); !table.isEmpty()) {
        chooseWindow(options, Window::New);
        options.table = table;
    }
    if (const QString type = takeOption(args, QStringLiteral("--type")); !type.isEmpty())
        options.messageType = QString::number(wholeNumber(QStringLiteral("--type"), type));
    for (QString id = takeOption(args, QStringLiteral("--command")); !id.isEmpty();
         id = takeOption(args, QStringLiteral("--command")))
        options.commands << wholeNumber(QStringLiteral("--command"), id);
    options.pictureFile = takeOption(args, QStringLiteral("--grab"));
    if (const QString size = takeOption(args, QStringLiteral("--size")); !size.isEmpty())
        options.size = sizeOf(size);
    if (!args.isEmpty())
        throw UsageError{QStringLiteral("unknown argument \"%1\"").arg(args.first())};
    if (options.takesPicture() && options.window == Window::None)
        throw UsageError{QStringLiteral("--grab needs the window: --main, --open, --new or --history")};
    return options;
}

QString ShellOptions::usage()
{
    return QStringLiteral(
        "Usage: mrv-suite [--db FILE | --url URL] [--user CODE] [--company CODE] [--lang LANG]\n"
        "                 [--main | --open TABLE|KEY | --new TABLE [--type N] | --history TABLE|KEY]\n"
        "                 [--command ID]... [--grab FILE.png [--size WxH]]\n\n"
        "The reference suite's desktop shell for the mrv messaging component.\n\n"
        "  --db FILE         SQLite database (default: the demo database in the user's data folder)\n"
        "  --url URL         PostgreSQL database (default: the environment's MRV_DATABASE_URL)\n"
        "  --user CODE       the user to work as (default: the first user)\n"
        "  --company CODE    the company to work in (default: the first company)\n"
        "  --lang LANG       the language of the texts (default: Italian)\n"
        "  --main            the main window\n"
        "  --open TABLE|KEY  the window of a record, as the component opens it\n"
        "  --new TABLE       the window of a new record; --type N is the message type\n"
        "  --history T|KEY   the message history of a record\n"
        "  --command ID      runs the window's command with that id (repeatable, in order)\n"
        "  --grab FILE.png   saves a picture of the window and exits, answering every\n"
        "                    message box with its default button\n"
        "  --size WxH        the window's size for the picture (default: 1000x700)\n");
}

} // namespace mrv::suite::app
