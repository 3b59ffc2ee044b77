#include "HistoryController.h"

#include "facade/Guard.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHash>

namespace mrv {

namespace {

const QString kObject = QString::fromLatin1(HistoryController::kObjectName);
const QChar kCR(13);
constexpr qint32 kViewTitle = 4;
constexpr qint32 kTableTitle = 0;
constexpr qint32 kPublicMessageIcon = 14;

// Where each column of the table function goes in the grid. HSTYP and
// _ICON share the icon cell: see iconCellValue.
struct FunctionColumn
{
    const char *function;
    const char *grid;
};
const FunctionColumn kFunctionColumns[] = {
    {"RECORD_ID", "RECORD_ID"}, {"HSPRY", "CEPRY"}, {"HSFRM", "CEFRM"}, {"HSDES", "CEDES"}, {"HSDAT", "CEDAT"},
    {"HSCPL", "CECPL"},         {"HSDTR", "CEDTR"}, {"HSUSR", "CEUSR"}, {"HSTAB", "CETAB"},
};

// The image of each icon code the table function computes, and of the two
// task types that take the icon cell.
QString imageOfIcon(const QString &code)
{
    static const QHash<QString, QString> images{
        {QStringLiteral("1"), QStringLiteral("activity_assign")},
        {QStringLiteral("3"), QStringLiteral("activity")},
        {QStringLiteral("10"), QStringLiteral("fax_inbox")},
        {QStringLiteral("11"), QStringLiteral("fax_sent")},
        {QStringLiteral("12"), QStringLiteral("fax_pro")},
        {QStringLiteral("13"), QStringLiteral("trash")},
        {QStringLiteral("14"), QStringLiteral("message_pub")},
        {QStringLiteral("15"), QStringLiteral("message_draft")},
        {QStringLiteral("16"), QStringLiteral("message_read")},
        {QStringLiteral("17"), QStringLiteral("fld_message")},
        {QStringLiteral("18"), QStringLiteral("message_send")},
    };
    return images.value(code);
}

QString literal(const QString &text)
{
    return host::valueTools().sqlLiteral(text, host::tcShortText);
}

QString translated(const QString &text, const char *procedure)
{
    return host::textService().translate(text, kObject + QStringLiteral(" > ") + QString::fromLatin1(procedure));
}

QString textOf(const QVariant &value)
{
    return host::valueTools().nullSafe(value).toString();
}

// Dates as dates, whichever way the engine hands them over (some as ISO text).
QVariant dateOf(const QVariant &value)
{
    if (value.isNull() || value.metaType().id() == QMetaType::QDateTime)
        return value;
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODate);
    return date.isValid() ? QVariant(date) : value;
}

// Tasks (type 1) and personal tasks (type 3) show their type; everything
// else the icon the function worked out.
QVariant iconCellValue(const host::RecordSet &set)
{
    const QString type = textOf(set.field(QStringLiteral("HSTYP")));
    if (type.endsWith(QLatin1Char('1')) || type.endsWith(QLatin1Char('3')))
        return type;
    return set.field(QStringLiteral("_ICON"));
}

} // namespace

HistoryController::HistoryController() = default;

void HistoryController::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

void HistoryController::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

QList<HistoryColumn> HistoryController::columns()
{
    const char *procedure = "Form_Load";
    return {
        {QStringLiteral("_ICON"), QString(), QStringLiteral("hd_icon"), 28},
        {QStringLiteral("CEPRY"), QString(), QStringLiteral("hd_priority"), 28},
        {QStringLiteral("CEDAT"), translated(QStringLiteral("Data"), procedure), QString(), 140},
        {QStringLiteral("CEFRM"), translated(QStringLiteral("Mittente"), procedure), QString(), 160},
        {QStringLiteral("CEDES"), translated(QStringLiteral("Oggetto"), procedure), QString(), 260},
        {QStringLiteral("CECPL"), translated(QStringLiteral("Completamento"), procedure), QString(), 100},
        {QStringLiteral("CEDTR"), translated(QStringLiteral("Letto il"), procedure), QString(), 140},
        {QStringLiteral("CEUSR"), translated(QStringLiteral("Utente"), procedure), QString(), 90},
        {QStringLiteral("CETAB"), translated(QStringLiteral("Tabella"), procedure), QString(), 90, true},
        {QStringLiteral("RECORD_ID"), translated(QStringLiteral("Numero"), procedure), QString(), 70, true},
    };
}

qsizetype HistoryController::columnIndex(const QString &key)
{
    static const QStringList keys = [] {
        QStringList list;
        for (const HistoryColumn &column : columns())
            list << column.key;
        return list;
    }();
    return keys.indexOf(key);
}

bool HistoryController::showHistory(const QString &table, const QString &key, const QString &viewName,
                                    const QString &description)
{
    const bool titled = guarded(m_errors.get(), kObject, "ShowHistory", false, [&] {
        const QString title = titleOf(table, viewName);
        if (title.isEmpty())
            return false;
        m_table = table;
        m_view = viewName.isEmpty() ? table : viewName;
        m_key = key;
        const QString detail = description.isEmpty() ? QString() : QStringLiteral(" - ") + description;
        m_caption = host::textService().substitute(QStringLiteral("@1 - @2@3"), {title, key, detail});
        m_tag = kObject + QLatin1Char('|') + table + QLatin1Char('|') + key;
        return true;
    });
    if (titled)
        loadData();
    return titled;
}

host::Records &HistoryController::records() const
{
    return host::requireRecords(m_records);
}

QString HistoryController::titleOf(const QString &table, const QString &viewName) const
{
    const QString viewTitle = viewName.isEmpty() ? QString() : records().objectTitle(viewName, kViewTitle);
    return viewTitle.isEmpty() ? records().objectTitle(table, kTableTitle) : viewTitle;
}

bool HistoryController::loadData()
{
    return guardedVoid(m_errors.get(), kObject, "LoadData", [&] {
        QList<QVariantList> cells = readHistory(m_view);
        if (cells.isEmpty() && m_view != m_table)
            cells = readHistory(m_table);
        m_cells = std::move(cells);
    });
}

QList<QVariantList> HistoryController::readHistory(const QString &tableOrView) const
{
    if (m_key.isEmpty())
        throw Failure(QStringLiteral("The history has no record to list"));
    const QString function = records().physicalName(QStringLiteral("XFN_MSG_FAX_GET"));
    const QString sql = QStringLiteral("SELECT * FROM dbo.") + function + QLatin1Char('(') + kCR +
                        literal(tableOrView) + QLatin1Char(',') + kCR + literal(m_key) + QLatin1Char(',') + kCR +
                        literal(records().userManager()->userCode()) + QLatin1Char(')');
    std::unique_ptr<host::RecordSet> set = records().connection()->open(sql);
    const qsizetype width = columns().size();
    QList<QVariantList> cells;
    for (; !set->eof(); set->moveNext()) {
        QVariantList row(width);
        for (const FunctionColumn &column : kFunctionColumns)
            row[columnIndex(QString::fromLatin1(column.grid))] = set->field(QString::fromLatin1(column.function));
        row[columnIndex(QStringLiteral("_ICON"))] = iconCellValue(*set);
        for (const char *date : {"CEDAT", "CEDTR"}) {
            const qsizetype column = columnIndex(QString::fromLatin1(date));
            row[column] = dateOf(row.at(column));
        }
        cells << row;
    }
    set->close();
    return cells;
}

QVariant HistoryController::cell(qsizetype row, const QString &columnKey) const
{
    const qsizetype column = columnIndex(columnKey);
    if (row < 0 || row >= m_cells.size() || column < 0)
        return {};
    return m_cells.at(row).at(column);
}

QString HistoryController::iconImage(qsizetype row) const
{
    return imageOfIcon(textOf(cell(row, QStringLiteral("_ICON"))));
}

QString HistoryController::priorityImage(qsizetype row) const
{
    const QString priority = textOf(cell(row, QStringLiteral("CEPRY")));
    if (priority == QLatin1String("0"))
        return QStringLiteral("row_priority_l");
    if (priority == QLatin1String("2"))
        return QStringLiteral("row_priority_h");
    return {};
}

void HistoryController::openItem(qsizetype row, QWidget *owner, const char *procedure)
{
    guardedVoid(m_errors.get(), kObject, procedure, [&] {
        if (row < 0 || row >= m_cells.size())
            return;
        if (!mayOpen(row)) {
            tellPrivate(row);
            return;
        }
        records().openRecordWindow(owner, textOf(cell(row, QStringLiteral("CETAB"))),
                                   textOf(cell(row, QStringLiteral("RECORD_ID"))));
    });
}

// Faxes are everybody's; a message is its owner's, unless it is public or
// the configuration lets everyone read every message.
bool HistoryController::mayOpen(qsizetype row) const
{
    if (textOf(cell(row, QStringLiteral("CETAB"))) != QLatin1String("SYS_MSG"))
        return true;
    const QString owner = textOf(cell(row, QStringLiteral("CEUSR")));
    if (owner.compare(records().userManager()->userCode(), Qt::CaseInsensitive) == 0)
        return true;
    if (textOf(cell(row, QStringLiteral("_ICON"))) == QString::number(kPublicMessageIcon))
        return true;
    return records().configClass()->value(QStringLiteral("ALLOW_OPEN_ALL_MESSAGE"), QStringLiteral("0")).trimmed() ==
           QLatin1String("1");
}

void HistoryController::tellPrivate(qsizetype row) const
{
    const QString owner = textOf(cell(row, QStringLiteral("CEUSR")));
    const QString name = textOf(records().connection()->lookup(QStringLiteral("SYS_USR"), QStringLiteral("CDUSR"),
                                                               owner, host::kkText, QStringLiteral("USNAM")));
    host::textService().messageBox(
        QStringLiteral("Impossibile aprire il messaggio.@1Il messaggio è privato ed appartiene a @2(@3)."),
        {QStringLiteral("\n"), name, owner}, host::mbOkOnly | host::mbExclamation,
        QStringLiteral("Cronologia Messaggi"));
}

QString HistoryController::descriptions(const QList<qsizetype> &rows) const
{
    QStringList lines;
    for (qsizetype row : rows)
        lines << textOf(cell(row, QStringLiteral("CEDES"))).trimmed();
    return lines.join(QLatin1Char('\n'));
}

commands::CommandStates HistoryController::commands() const
{
    commands::CommandState popup;
    popup.id = kPopupMenu;
    popup.visible = false;
    commands::CommandState copy;
    copy.id = kCopyCommand;
    copy.caption = translated(QStringLiteral("&Copia"), "gridRow_MouseDown");
    copy.iconKey = QStringLiteral("copy");
    copy.enabled = !m_cells.isEmpty();
    copy.menu = kPopupMenu;
    return {popup, copy};
}

bool HistoryController::execute(qint32 id, const QList<qsizetype> &rows)
{
    return guarded(m_errors.get(), kObject, "mnuStandard_Execute", false, [&] {
        if (id != kCopyCommand || rows.isEmpty())
            return false;
        if (!qGuiApp)
            throw Failure(QStringLiteral("There is no clipboard without a user interface"));
        QGuiApplication::clipboard()->setText(descriptions(rows));
        return true;
    });
}

} // namespace mrv
