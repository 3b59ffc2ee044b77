#include "Cli.h"

#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "notifications/NotificationWindowController.h"
#include "services/NotificationServer.h"
#include "services/SuiteSession.h"

#include <QFile>

#include <limits>
#include <optional>

namespace mrv::cli {

namespace {

const QString kNotificationTable = QStringLiteral("SYS_NTF");
// The fields a file may give; the rest are the editor's or the server's.
const QStringList kTextFields = {QStringLiteral("NTDES"), QStringLiteral("NTTBL"), QStringLiteral("NTREC"),
                                 QStringLiteral("NTSUB"), QStringLiteral("NTNOT"), QStringLiteral("NTQRY")};
// Field -> the values it takes.
const QHash<QString, QPair<qint32, qint32>> kNumberFields = {{QStringLiteral("NTTIP"), {0, 1}},
                                                             {QStringLiteral("NTEXE"), {1, 3}}};
const QHash<QString, QPair<qint32, qint32>> kConditionNumbers = {{QStringLiteral("NCV1T"), {0, 4}},
                                                                 {QStringLiteral("NCV2T"), {0, 4}},
                                                                 {QStringLiteral("NCIMP"), {0, 2}},
                                                                 {QStringLiteral("NCNOT"), {0, 1}},
                                                                 {QStringLiteral("NCSEL"), {0, 1}}};
const QStringList kConditionTexts = {QStringLiteral("NCDES"), QStringLiteral("NCV1C"), QStringLiteral("NCOPE"),
                                     QStringLiteral("NCV2C")};
// Shown by "show", in this order.
const QStringList kShownFields = {QStringLiteral("CDAZI"), QStringLiteral("NTDES"), QStringLiteral("NTTIP"),
                                  QStringLiteral("NTTBL"), QStringLiteral("NTEXE"), QStringLiteral("NTREC"),
                                  QStringLiteral("NTSUB"), QStringLiteral("NTNOT"), QStringLiteral("NTQRY"),
                                  QStringLiteral("NTQRF"), QStringLiteral("NTUPD")};

// The editor of one notification, driven by the suite's record controller
// as the window is.
class NotificationForm
{
public:
    explicit NotificationForm(Context &context) : m_session(context.session())
    {
        m_record = m_session.records()->newDataBound();
        m_record->setErrors(m_session.errors());
        m_record->setTableName(kNotificationTable);
        m_controller.setErrors(m_session.errors());
        m_controller.setRecords(m_session.records());
        m_controller.setDataBound(m_record.get());
        m_record->setForm(&m_controller);
    }
    ~NotificationForm() { m_record->close(); }

    NotificationWindowController &editor() { return m_controller; }
    host::DataBound &record() { return *m_record; }

    void open(qint32 id)
    {
        if (!m_record->openRecord(nullptr, QString::number(id), false, false, false, false))
            throw Failure(QStringLiteral("the notification %1 does not exist").arg(id));
    }

    // A stored notification made editable, as the window's edit command does.
    void edit(qint32 id)
    {
        open(id);
        m_record->setChanged(true);
        if (m_record->recordStatus() != host::rsEditing)
            throw Failure(QStringLiteral("the notification server is working on notification %1 (state %2): it "
                                         "cannot be changed now")
                              .arg(id)
                              .arg(m_controller.field(QStringLiteral("NTUPD")).toInt()));
    }

    void startNew() { m_record->newRecord(nullptr, false, false); }

    // The key of the saved notification; the reason of a refusal is on stderr.
    std::optional<QString> save()
    {
        m_record->setChanged(true);
        if (!m_record->save())
            return std::nullopt;
        return m_record->recordKey();
    }

private:
    suite::SuiteSession &m_session;
    std::shared_ptr<host::DataBound> m_record;
    NotificationWindowController m_controller;
};

// Values on one line: "\r" for CR, "\n" for LF, "\\" for a backslash.
QString escaped(const QString &value)
{
    return QString(value)
        .replace(u'\\', QLatin1String("\\\\"))
        .replace(u'\r', QLatin1String("\\r"))
        .replace(u'\n', QLatin1String("\\n"));
}

QString unescaped(const QString &value)
{
    static const QHash<QChar, QChar> escapes = {{u'r', u'\r'}, {u'n', u'\n'}, {u'\\', u'\\'}};
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == u'\\' && i + 1 < value.size() && escapes.contains(value.at(i + 1)))
            text += escapes.value(value.at(++i));
        else
            text += value.at(i);
    }
    return text;
}

qint32 numberIn(const QString &key, const QString &value, QPair<qint32, qint32> range, qsizetype line)
{
    bool ok = false;
    const qint32 number = value.toInt(&ok);
    if (!ok || number < range.first || number > range.second)
        throw Failure(QStringLiteral("line %1: %2 is a whole number from %3 to %4, not \"%5\"")
                          .arg(line)
                          .arg(key)
                          .arg(range.first)
                          .arg(range.second)
                          .arg(value));
    return number;
}

struct ConditionEntry
{
    QString label;
    qsizetype line = 0;
    QVariantMap values;
};

// What a save file says: the notification to update (none for a new
// one), the fields it gives and the conditions that replace the stored
// ones, when it lists any.
struct SaveFile
{
    std::optional<qint32> id;
    QList<QPair<QString, QVariant>> fields;
    QList<ConditionEntry> conditions;
};

void readFieldLine(SaveFile &file, const QString &key, const QString &value, qsizetype line)
{
    if (key == QLatin1String("ID"))
        file.id = numberIn(key, value, {1, std::numeric_limits<qint32>::max()}, line);
    else if (kNumberFields.contains(key))
        file.fields.append({key, numberIn(key, value, kNumberFields.value(key), line)});
    else if (kTextFields.contains(key))
        file.fields.append({key, value});
    else
        throw Failure(QStringLiteral("line %1: a notification has no field \"%2\"").arg(line).arg(key));
}

void readConditionLine(ConditionEntry &condition, const QString &key, const QString &value, qsizetype line)
{
    if (kConditionNumbers.contains(key))
        condition.values.insert(key, numberIn(key, value, kConditionNumbers.value(key), line));
    else if (kConditionTexts.contains(key))
        condition.values.insert(key, value);
    else
        throw Failure(QStringLiteral("line %1: a condition has no field \"%2\"").arg(line).arg(key));
}

SaveFile readSaveFile(const QString &path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("cannot read %1: %2").arg(path, source.errorString()));
    SaveFile file;
    const QStringList lines = QString::fromUtf8(source.readAll()).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(QLatin1String("[CONDITION ")) && line.endsWith(u']')) {
            file.conditions.append({line.mid(11).chopped(1).trimmed(), i + 1, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            throw Failure(QStringLiteral("line %1 is neither KEY=value nor [CONDITION label]").arg(i + 1));
        const QString key = line.left(equals).trimmed();
        const QString value = unescaped(lines.at(i).mid(lines.at(i).indexOf(u'=') + 1));
        if (file.conditions.isEmpty())
            readFieldLine(file, key, value, i + 1);
        else
            readConditionLine(file.conditions.last(), key, value, i + 1);
    }
    return file;
}

// A relation names earlier conditions of the file by their labels.
QString operandOf(const ConditionEntry &entry, qint32 operand, const QHash<QString, qint32> &ids)
{
    const QString key = operand == 1 ? QStringLiteral("NCV1C") : QStringLiteral("NCV2C");
    const QString text = entry.values.value(key).toString();
    if (entry.values.value(operand == 1 ? QStringLiteral("NCV1T") : QStringLiteral("NCV2T")).toInt() != notCondition)
        return text;
    if (!ids.contains(text))
        throw Failure(
            QStringLiteral("line %1: %2 names \"%3\", which is no condition before it").arg(entry.line).arg(key, text));
    return QString::number(ids.value(text));
}

void replaceConditions(clsSYS_NTF &notification, const QList<ConditionEntry> &entries)
{
    notification.Clear();
    QHash<QString, qint32> ids;
    for (const ConditionEntry &entry : entries) {
        if (ids.contains(entry.label))
            throw Failure(QStringLiteral("line %1: a second condition \"%2\"").arg(entry.line).arg(entry.label));
        auto condition = std::make_shared<clsSYS_NTC>();
        condition->setDescription(entry.values.value(QStringLiteral("NCDES")).toString());
        condition->setOp1Type(entry.values.value(QStringLiteral("NCV1T")).toInt());
        condition->setOp2Type(entry.values.value(QStringLiteral("NCV2T")).toInt());
        condition->setOp1(operandOf(entry, 1, ids));
        condition->setOp2(operandOf(entry, 2, ids));
        condition->setOperator(entry.values.value(QStringLiteral("NCOPE"), QStringLiteral("=")).toString());
        condition->setImplicitChecks(qint16(entry.values.value(QStringLiteral("NCIMP"), 1).toInt()));
        condition->setReversed(entry.values.value(QStringLiteral("NCNOT")).toInt() != 0);
        condition->setSelected(entry.values.value(QStringLiteral("NCSEL")).toInt() != 0);
        notification.AddCondition(condition);
        ids.insert(entry.label, condition->ID());
    }
}

// The table stands in for the editor's chooser: a table it would offer.
void changeTable(Context &context, NotificationWindowController &editor, const QString &table)
{
    if (table == editor.field(QStringLiteral("NTTBL")).toString())
        return;
    const auto offered = context.session().connection()->query(
        QStringLiteral("SELECT TBNAM FROM SYS_TBL WHERE TBNAM = %1 AND %2")
            .arg(suite::db::SqlValueTools::quoted(table), NotificationWindowController::tableChooserFilter()));
    if (offered.rows.isEmpty())
        throw Failure(QStringLiteral("the table \"%1\" is not one a notification can observe").arg(table));
    if (!editor.mayChangeTable())
        throw Failure(QStringLiteral("the table of this notification cannot change now"));
    editor.changeTable(table);
}

int saveNotification(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 1, QStringLiteral("FILE"));
    const SaveFile file = readSaveFile(given.first());
    NotificationForm form(context);
    if (file.id)
        form.edit(*file.id);
    else
        form.startNew();
    NotificationWindowController &editor = form.editor();
    for (const auto &[key, value] : file.fields) {
        if (key == QLatin1String("NTTBL"))
            changeTable(context, editor, value.toString());
        else
            editor.setField(key, value);
    }
    if (!file.conditions.isEmpty())
        replaceConditions(editor.Notification(), file.conditions);
    const auto key = form.save();
    if (!key)
        return exitFailed;
    context.out() << *key << '\n';
    return exitOk;
}

int listNotifications(Context &context, const QStringList &args)
{
    exactArguments(args, 0, QString());
    suite::SuiteSession &session = context.session();
    const auto rows = session.connection()->query(
        QStringLiteral("SELECT RECORD_ID, NTTIP, NTTBL, NTUPD, NTDES FROM SYS_NTF WHERE CDAZI = %1 ORDER BY RECORD_ID")
            .arg(suite::db::SqlValueTools::quoted(session.users()->companyCode())));
    for (const QVariantList &row : rows.rows) {
        QStringList cells;
        for (const QVariant &cell : row)
            cells << escaped(cell.toString());
        context.out() << cells.join(u'\t') << '\n';
    }
    return exitOk;
}

qint32 idArgument(const QStringList &args, qsizetype count, const QString &names)
{
    return wholeNumber(exactArguments(args, count, names).first(), QStringLiteral("ID"));
}

int showNotification(Context &context, const QStringList &args)
{
    NotificationForm form(context);
    form.open(idArgument(args, 1, QStringLiteral("ID")));
    NotificationWindowController &editor = form.editor();
    context.out() << "ID=" << form.record().recordKey() << '\n';
    for (const QString &field : kShownFields)
        context.out() << field << '=' << escaped(editor.field(field).toString()) << '\n';
    for (const auto &condition : editor.Notification().NewEnum()) {
        qint32 level = 1;
        context.out() << condition->Key() << '\t' << condition->ID() << '\t' << condition->Formula(true, level) << '\t'
                      << (condition->Selected() ? 1 : 0) << '\n';
    }
    return exitOk;
}

int printBatch(Context &context, QStringList args)
{
    const qint32 id = numberOption(args, QStringLiteral("--id"), 0);
    const bool keepResults = takeFlag(args, QStringLiteral("--keep-results"));
    const QString query = exactArguments(args, 1, QStringLiteral("QUERY")).first();
    suite::SuiteSession &session = context.session();
    clsSYS_NTF notification(session.errors());
    const QString batch = notification.ParseQuery(query, id, session.users()->companyCode(), !keepResults);
    if (batch.isEmpty())
        return exitFailed;
    context.out() << batch << '\n';
    return exitOk;
}

int changeState(Context &context, const QStringList &args, qint32 command)
{
    const qint32 id = idArgument(args, 1, QStringLiteral("ID"));
    NotificationForm form(context);
    form.edit(id);
    const qint32 state = form.editor().field(QStringLiteral("NTUPD")).toInt();
    const commands::CommandStates offered = form.editor().commands();
    const bool enabled = std::any_of(offered.cbegin(), offered.cend(),
                                     [command](const auto &c) { return c.id == command && c.enabled; });
    if (!enabled)
        throw Failure(
            QStringLiteral("notification %1 is in state %2, where this command is not offered").arg(id).arg(state));
    if (!form.editor().runCommand(command) || !form.save())
        return exitFailed;
    return exitOk;
}

// The error state is the server's and the editor leaves it alone; the
// reason is in the error log. Back to inactive, the notification can be
// corrected and activated again.
int resetNotification(Context &context, const QStringList &args)
{
    const qint32 id = idArgument(args, 1, QStringLiteral("ID"));
    auto &connection = *context.session().connection();
    const auto found =
        connection.nativeQuery(QStringLiteral("SELECT NTUPD FROM SYS_NTF WHERE RECORD_ID = ?"), {id}).rows;
    if (found.isEmpty())
        throw Failure(QStringLiteral("notification %1 does not exist").arg(id));
    const qint32 state = found.first().first().toInt();
    if (state != suite::nsFailed)
        throw Failure(QStringLiteral("notification %1 is in state %2, not in error (%3)")
                          .arg(id)
                          .arg(state)
                          .arg(qint32(suite::nsFailed)));
    connection.nativeQuery(QStringLiteral("UPDATE SYS_NTF SET NTUPD = ? WHERE RECORD_ID = ? AND NTUPD = ?"),
                           {qint32(suite::nsInactive), id, qint32(suite::nsFailed)});
    return exitOk;
}

int exportNotification(Context &context, const QStringList &args)
{
    const QStringList given = exactArguments(args, 2, QStringLiteral("ID FILE"));
    NotificationForm form(context);
    return form.editor().exportNotification(wholeNumber(given.at(0), QStringLiteral("ID")), given.at(1)) ? exitOk
                                                                                                         : exitFailed;
}

int importNotification(Context &context, QStringList args)
{
    const QString recipients = takeOption(args, QStringLiteral("--recipients"));
    if (recipients.trimmed().isEmpty())
        throw UsageError{QStringLiteral("--recipients LIST is required: the file carries no recipients")};
    const QString path = exactArguments(args, 1, QStringLiteral("FILE")).first();
    NotificationForm form(context);
    form.startNew();
    if (!form.editor().importNotification(path))
        return exitFailed;
    form.editor().setField(QStringLiteral("NTREC"), recipients);
    const auto key = form.save();
    if (!key)
        return exitFailed;
    context.out() << *key << '\n';
    return exitOk;
}

} // namespace

Command notificationCommand()
{
    return {QStringLiteral("notification"),
            QStringLiteral("notification (list | show ID | batch QUERY | save FILE | activate ID | deactivate ID | "
                           "reset ID | export ID FILE | import FILE) [--id N] [--keep-results] [--recipients LIST]"),
            QStringLiteral("list, show, edit, activate and transfer notifications"),
            QStringLiteral("\"list\" prints a line per notification of the company: id, type (0 generic, 1 on a\n"
                           "table), table, state (NTUPD), description, tab-separated. \"show\" prints ID and the\n"
                           "fields as KEY=value (CR as \\r, LF as \\n), then a line per condition: key, id,\n"
                           "formula with keys, selected (1/0). \"batch\" prints the batch the notification\n"
                           "server runs for a generic notification's QUERY, for notification N (default 0)\n"
                           "and the current company; --keep-results leaves out the deletion of old results.\n"
                           "\"save\" creates a notification, or updates notification ID, from a file of\n"
                           "KEY=value lines (docs/notifications.md) through the editor's save, and prints\n"
                           "its id; a rule that refuses prints its message and exits with 1. \"activate\"\n"
                           "and \"deactivate\" ask the notification server to start or stop it. \"reset\"\n"
                           "puts a notification the server could not run (state 3, the reason in the\n"
                           "error log) back to inactive (0), to be corrected and activated. \"export\"\n"
                           "writes the notification with its conditions and parameters to FILE (.qdn);\n"
                           "\"import\" reads one, adds its parameters, saves it as a new notification with\n"
                           "the recipients of --recipients (the file has none) and prints its id."),
            [](Context &context, const QStringList &args) {
                return dispatchSubcommand(
                    context, args,
                    {{QStringLiteral("list"), listNotifications},
                     {QStringLiteral("show"), showNotification},
                     {QStringLiteral("batch"), printBatch},
                     {QStringLiteral("save"), saveNotification},
                     {QStringLiteral("activate"),
                      [](Context &c, const QStringList &a) { return changeState(c, a, cmdActivateNotification); }},
                     {QStringLiteral("deactivate"),
                      [](Context &c, const QStringList &a) { return changeState(c, a, cmdDeactivateNotification); }},
                     {QStringLiteral("reset"), resetNotification},
                     {QStringLiteral("export"), exportNotification},
                     {QStringLiteral("import"), importNotification}});
            }};
}

} // namespace mrv::cli
