#include "Cli.h"
#include "Progress.h"

#include "host/Failure.h"
#include "platform/richtext/HtmlWriter.h"
#include "platform/richtext/RtfReader.h"
#include "services/SuiteSession.h"
#include "services/TemplateBatch.h"
#include "templates/TemplateSendController.h"
#include "templates/mrvDataset.h"
#include "templates/mrvTemplate.h"

#include <QDir>
#include <QFile>
#include <QTextDocument>

namespace mrv::cli {

namespace {

QList<qint32> keyList(const QString &text, const QString &separator)
{
    QList<qint32> keys;
    for (const QString &key : text.split(separator, Qt::SkipEmptyParts))
        keys << wholeNumber(key.trimmed(), QStringLiteral("KEYS"));
    return keys;
}

void printLines(Context &context, const QStringList &lines)
{
    for (const QString &line : lines)
        context.out() << line << '\n';
}

int expandDataset(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 2, QStringLiteral("QUERY KEYS"));
    QList<qint32> keys = keyList(given.at(1), QStringLiteral(","));
    const auto dataset = context.session().create<mrvDataset>(QStringLiteral("mrvDataset"));
    context.out() << dataset->InsertVariables(given.at(0), keys) << '\n';
    return exitOk;
}

int datasetFields(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 1, QStringLiteral("ID"));
    const qint32 id = wholeNumber(given.at(0), QStringLiteral("ID"));
    const auto dataset = context.session().create<mrvDataset>(QStringLiteral("mrvDataset"));
    QStringList fields;
    QString error;
    if (!dataset->GetFields(id, fields, error)) {
        context.err() << "mrv dataset fields: "
                      << (error.isEmpty() ? QStringLiteral("dataset %1 gave no fields").arg(id) : error) << '\n';
        return exitFailed;
    }
    printLines(context, fields);
    return exitOk;
}

int templateFields(Context &context, QStringList args)
{
    const qint32 datasetId = numberOption(args, QStringLiteral("--dataset"), 0);
    const QStringList given = exactArguments(args, 1, QStringLiteral("ID"));
    const auto templates = context.session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    QStringList fields;
    if (!templates->GetCommonFields(wholeNumber(given.at(0), QStringLiteral("ID")), fields, datasetId)) {
        context.err() << "mrv template fields: the template's datasets gave no fields\n";
        return exitFailed;
    }
    printLines(context, fields);
    return exitOk;
}

int recipientTypes(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 1, QStringLiteral("ID"));
    const auto templates = context.session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    QList<mrv_tRecipientType> types;
    templates->GetRecipientsTypeList(wholeNumber(given.at(0), QStringLiteral("ID")), types);
    for (const mrv_tRecipientType &type : std::as_const(types)) {
        context.out() << type.Code << '\t' << type.Description << '\t' << (type.Selected ? 1 : 0) << '\t' << type.Table
                      << '\t' << type.Field << '\t' << type.Field2 << '\n';
    }
    return exitOk;
}

// The messages of template ID for TABLE and KEYS (the arguments left);
// null, told on stderr, when it gives none.
std::shared_ptr<mrvTemplateFields> parseForKeys(Context &context, mrvTemplate &templates, const QStringList &args,
                                                const QString &separator, const char *subcommand)
{
    const QStringList given = exactArguments(args, 3, QStringLiteral("ID TABLE KEYS"));
    QList<qint32> keys = keyList(given.at(2), separator);
    std::shared_ptr<mrvTemplateFields> parsed =
        templates.ParseFromArray(wholeNumber(given.at(0), QStringLiteral("ID")), given.at(1), keys);
    if (parsed && parsed->Count() > 0)
        return parsed;
    context.err() << "mrv template " << subcommand << ": the template gave no message for these keys\n";
    return nullptr;
}

// A header of field names, a line of values per message, then the kind of
// each field's link.
int parseTemplate(Context &context, QStringList args)
{
    QString separator = takeOption(args, QStringLiteral("--sep"));
    if (separator.isNull())
        separator = QStringLiteral(",");
    const auto templates = context.session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    const std::shared_ptr<mrvTemplateFields> parsed = parseForKeys(context, *templates, args, separator, "parse");
    if (!parsed)
        return exitFailed;
    const QList<mrvTemplateField> first = parsed->Fields(1);
    QStringList names;
    QStringList linked{QStringLiteral("linked")};
    for (const mrvTemplateField &field : first) {
        names << field.Name();
        linked << QString::number(field.Linked());
    }
    context.out() << names.join(u'\t') << '\n';
    for (qint32 message = 1; message <= parsed->Count(); ++message) {
        QStringList values;
        for (const mrvTemplateField &field : parsed->Fields(message))
            values << field.Value();
        context.out() << values.join(u'\t') << '\n';
    }
    context.out() << linked.join(u'\t') << '\n';
    return exitOk;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

// What a template gives one message, each list holding one entry per
// message rendered.
struct RenderedMessages
{
    QList<QByteArray> bodies;
    QList<QByteArray> subjects;
    QList<std::pair<QString, QStringList>> recipients; // in the order the component hands them over
    QStringList reports;
};

RenderedMessages render(Context &context, mrvTemplate &templates, const mrvTemplateFields &parsed, qint32 index)
{
    RenderedMessages rendered;
    rendered.recipients = {
        {QStringLiteral("colTo"), {}},  {QStringLiteral("colTo_Email"), {}},  {QStringLiteral("colTo_Fax"), {}},
        {QStringLiteral("colCc"), {}},  {QStringLiteral("colCc_Email"), {}},  {QStringLiteral("colCc_Fax"), {}},
        {QStringLiteral("colCcn"), {}}, {QStringLiteral("colCcn_Email"), {}}, {QStringLiteral("colCcn_Fax"), {}}};
    auto &lists = rendered.recipients;
    QString reportCode, reportTable, reportKeys;
    const bool whole = reportsNothing(context, [&] {
        templates.GetTemplates(&parsed, rendered.bodies, index);
        templates.GetSubjects(&parsed, rendered.subjects, index);
        templates.GetRecipients(&parsed, lists[0].second, lists[1].second, lists[2].second, lists[3].second,
                                lists[4].second, lists[5].second, lists[6].second, lists[7].second, lists[8].second,
                                index);
        templates.GetReports(&parsed, rendered.reports, {}, reportCode, reportTable, reportKeys, index);
    });
    if (!whole)
        throw Failure(QStringLiteral("the template could not be rendered"));
    return rendered;
}

QString plainText(const QByteArray &rtf)
{
    return richtext::toPlainText(*richtext::readRtf(rtf)).simplified();
}

// The files of message `message` (the i-th rendered) in DIR/message/.
void writeMessage(const RenderedMessages &rendered, qsizetype i, const QDir &folder)
{
    if (!folder.mkpath(QStringLiteral(".")))
        throw Failure(QStringLiteral("Cannot create the folder %1").arg(folder.path()));
    writeFile(folder.filePath(QStringLiteral("subject.rtf")), rendered.subjects.value(i));
    writeFile(folder.filePath(QStringLiteral("body.rtf")), rendered.bodies.value(i));
    writeFile(folder.filePath(QStringLiteral("body.html")),
              richtext::toHtml(*richtext::readRtf(rendered.bodies.value(i))).toUtf8());
    QByteArray recipients;
    for (const auto &[name, entries] : rendered.recipients)
        recipients += (name + u'\t' + entries.value(i) + u'\n').toUtf8();
    writeFile(folder.filePath(QStringLiteral("recipients.tsv")), recipients);
    const QString report = rendered.reports.value(i);
    const QString copy = folder.filePath(QStringLiteral("report.pdf"));
    QFile::remove(copy);
    if (!report.isEmpty() && !QFile::copy(report, copy))
        throw Failure(QStringLiteral("Cannot copy the report %1 to %2").arg(report, copy));
}

// Each message's subject, body (RTF and HTML), recipients and report as
// files, and a line per message: its number, subject, To list and report.
int renderTemplate(Context &context, QStringList args)
{
    const QString out = takeOption(args, QStringLiteral("--out"));
    if (out.isEmpty())
        throw UsageError{QStringLiteral("--out DIR is required")};
    const qint32 index = numberOption(args, QStringLiteral("--index"), 0);
    const auto templates = context.session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    const std::shared_ptr<mrvTemplateFields> parsed =
        parseForKeys(context, *templates, args, QStringLiteral(","), "render");
    if (!parsed)
        return exitFailed;
    if (index < 0 || index > parsed->Count())
        throw UsageError{QStringLiteral("--index is a message from 1 to %1, or 0 for all").arg(parsed->Count())};
    const RenderedMessages rendered = render(context, *templates, *parsed, index);
    const qint32 first = index == 0 ? 1 : index;
    const qsizetype count = rendered.bodies.size();
    TerminalProgress progress(count);
    for (qsizetype i = 0; i < count; ++i) {
        const qint32 message = first + qint32(i);
        writeMessage(rendered, i, QDir(QDir(out).filePath(QString::number(message))));
        context.out() << message << '\t' << plainText(rendered.subjects.value(i)) << '\t'
                      << rendered.recipients.first().second.value(i) << '\t'
                      << (rendered.reports.value(i).isEmpty() ? "no report" : "report.pdf") << '\n';
        progress.done(i + 1);
    }
    return exitOk;
}

// What a run of "template send" asked for, as typed.
struct SendOptions
{
    qint32 mode = 1;
    QStringList files;
    bool check = false;
    QString batch; // null without --batch
};

SendOptions sendOptionsOf(QStringList &args)
{
    SendOptions options;
    options.mode = numberOption(args, QStringLiteral("--mode"), 1);
    if (options.mode < 1 || options.mode > 3)
        throw UsageError{QStringLiteral("--mode is 1 (each customer's channel), 2 (e-mail) or 3 (fax)")};
    options.files = repeatedOption(args, QStringLiteral("--attach"));
    options.check = takeFlag(args, QStringLiteral("--check"));
    options.batch = takeOption(args, QStringLiteral("--batch"));
    if (!options.batch.isNull() && options.batch.trimmed().isEmpty())
        throw UsageError{QStringLiteral("--batch needs a name")};
    if (options.check && !options.batch.isNull())
        throw UsageError{QStringLiteral("--check sends nothing, so it takes no --batch")};
    requireAttachableFiles(options.files);
    return options;
}

// A message an earlier run of the batch handed to the transport: sent, or
// handed over when that run stopped before the transport answered.
QString earlierOutcome(const suite::TemplateBatch &batch, qint32 number)
{
    const std::optional<suite::TemplateBatch::Entry> entry = batch.entry(number);
    const qint32 id = entry ? entry->messageId : 0;
    if (entry && entry->state == suite::TemplateBatch::Sent)
        return QStringLiteral("sent %1 %2").arg(number).arg(id);
    return QStringLiteral("failed %1: an earlier run handed message %2 to the transport and stopped before it "
                          "answered; not sent again")
        .arg(number)
        .arg(id);
}

// Every message of the template sent as "Invia tutti" sends them (or, with
// --check, resolved as "Verifica tutti" does), with nobody asked to choose.
int sendTemplate(Context &context, QStringList args)
{
    const SendOptions options = sendOptionsOf(args);
    const QStringList given = exactArguments(args, 3, QStringLiteral("ID TABLE KEYS"));
    const auto templates = context.session().create<mrvTemplate>(QStringLiteral("mrvTemplate"));
    const std::shared_ptr<mrvTemplateFields> parsed =
        parseForKeys(context, *templates, args, QStringLiteral(","), "send");
    if (!parsed)
        return exitFailed;
    QStringList keys;
    for (const qint32 key : keyList(given.at(2), QStringLiteral(",")))
        keys << QString::number(key);
    std::unique_ptr<suite::TemplateBatch> batch;
    if (!options.batch.isNull())
        batch = std::make_unique<suite::TemplateBatch>(*context.session().connection(), options.batch,
                                                       parsed->Template(), parsed->Table(), keys.join(u','));

    TemplateSendController sending;
    sending.setRecords(context.session().records());
    sending.setErrors(context.session().errors());
    sending.setJournal(batch.get());
    TerminalProgress progress(parsed->Count());
    qint32 failed = 0;
    QObject::connect(&sending, &TemplateSendController::progress,
                     [&](qint32 done, qint32, const QString &) { progress.done(done); });
    QObject::connect(&sending, &TemplateSendController::messageChecked,
                     [&](qint32 number) { context.out() << "checked " << number << Qt::endl; });
    QObject::connect(&sending, &TemplateSendController::messageSent,
                     [&](qint32 number, qint32 id) { context.out() << "sent " << number << ' ' << id << Qt::endl; });
    QObject::connect(&sending, &TemplateSendController::messageSkipped, [&](qint32 number) {
        const QString outcome = earlierOutcome(*batch, number);
        failed += outcome.startsWith(QLatin1String("failed")) ? 1 : 0;
        context.out() << outcome << Qt::endl;
    });
    QObject::connect(&sending, &TemplateSendController::messageFailed, [&](qint32 number, const QString &reason) {
        ++failed;
        context.out() << "failed " << number << ": " << reason << Qt::endl;
    });
    bool whole = false;
    const bool quiet = reportsNothing(context, [&] {
        sending.start(parsed, options.mode, options.files);
        whole = sending.Send(0, options.check, true);
    });
    if (!quiet && failed == 0)
        context.err() << "mrv template send: stopped by the error above\n";
    return whole && quiet && failed == 0 ? exitOk : exitFailed;
}

} // namespace

Command datasetCommand()
{
    return {QStringLiteral("dataset"), QStringLiteral("dataset (expand QUERY KEYS | fields ID)"),
            QStringLiteral("expand a dataset query's variables, or list the fields of a dataset"),
            QStringLiteral("\"expand\" prints the query with its variables (\"@\", \"@1\", ...) replaced by the\n"
                           "keys (comma-separated) and the firm placeholder by the current company, as the\n"
                           "component runs it. \"fields\" prints the columns of dataset ID, one per line;\n"
                           "a query that cannot run exits with 1 and the database's reason on stderr."),
            [](Context &context, const QStringList &args) {
                return dispatchSubcommand(
                    context, args,
                    {{QStringLiteral("expand"), expandDataset}, {QStringLiteral("fields"), datasetFields}});
            }};
}

Command templateCommand()
{
    return {QStringLiteral("template"),
            QStringLiteral("template (fields ID | recipient-types ID | parse ID TABLE KEYS | render ID TABLE KEYS | "
                           "send ID TABLE KEYS) [--dataset N] [--sep S] [--out DIR] [--index N] [--mode 1|2|3] "
                           "[--attach FILE]... [--check] [--batch NAME]"),
            QStringLiteral("list a template's fields and recipient types, parse, render or send it for records"),
            QStringLiteral("\"fields\" prints the fields the template's datasets share (or those of dataset N).\n"
                           "\"recipient-types\" prints a line per recipient type: code, description,\n"
                           "selected (1/0), table, field, field2, tab-separated. \"parse\" runs the\n"
                           "template's dataset for TABLE with the record keys KEYS (separated by S,\n"
                           "default \",\") and prints the field names, a line of values per message and a\n"
                           "line \"linked\" with the link kind of each field; no message exits with 1.\n"
                           "\"render\" writes, for each message n (or only message N of --index),\n"
                           "DIR/n/subject.rtf, body.rtf, body.html, recipients.tsv (a line per list: its\n"
                           "name, a tab, its entry) and report.pdf when the template prints a report, and\n"
                           "prints a line per message: n, subject, To list, report.\n"
                           "\"send\" sends every message as the preview's \"Invia tutti\" does, asking nobody:\n"
                           "recipients looked up without suggestions, each message stored as sent and handed\n"
                           "to the transport, its report registered. --mode chooses the To list: 1 each\n"
                           "customer's channel (default), 2 e-mail, 3 fax. --attach adds a file to every\n"
                           "message. Prints \"sent N ID\" or \"failed N: reason\" per message; --check only\n"
                           "looks the recipients up and prints \"checked N\" or the failure. --batch NAME\n"
                           "records each message before the transport gets it: the same command run again\n"
                           "after an interruption sends only the messages no run handed over (a message\n"
                           "handed over when the run stopped is reported failed, never sent twice).\n"
                           "Exits with 0 only when every message was sent (or checked). On a terminal\n"
                           "stderr shows the progress of render and send."),
            [](Context &context, const QStringList &args) {
                return dispatchSubcommand(context, args,
                                          {{QStringLiteral("fields"), templateFields},
                                           {QStringLiteral("recipient-types"), recipientTypes},
                                           {QStringLiteral("parse"), parseTemplate},
                                           {QStringLiteral("render"), renderTemplate},
                                           {QStringLiteral("send"), sendTemplate}});
            }};
}

} // namespace mrv::cli
