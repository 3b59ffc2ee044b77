// The export file of the notification editor (NotificationFile.h): a stored
// notification written out, and a file read into a new record.

#include "FieldValues.h"
#include "NotificationBatch.h"
#include "NotificationFile.h"
#include "NotificationWindowController.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "host/Connection.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/TextService.h"
#include "host/UserManager.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace mrv {

using namespace notifications;

namespace {

const QString kObject = QStringLiteral("frmSYS_NTF");
const QString kNotificationSection = QStringLiteral("SYS_NTF");
const QString kConditionSection = QStringLiteral("SYS_NTC");
const QString kParameterSection = QStringLiteral("SYS_NTG");
const QString kFilter = QStringLiteral("Idrano Notification (*.qdn)|*.qdn");
const QString kExtension = QStringLiteral("qdn");
const QChar kCR(13);
// Records::fileDialog modes.
constexpr qint32 kOpenDialog = 2;
constexpr qint32 kSaveDialog = 3;

QString notificationsFolder()
{
    return host::pathServices().productFolder(QStringLiteral("Notifications"));
}

FileSection sectionOf(const QString &table, const QString &id, const host::RecordSet &row)
{
    FileSection section{table, id, {}};
    for (const QString &key : sectionKeys(table))
        section.values.insert(key, fileValue(key, row.field(key)));
    return section;
}

void collectReferences(const FileSection &section, const QStringList &keys, QStringList &referred)
{
    for (const QString &key : keys)
        collectParameterReferences(flattened(section.values.value(key)), referred);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

// Names of another company's objects made the current company's: "_" and
// the company code, and, as this suite names per-company objects, the code
// and "_" where it begins a name ("A01_DOC_VEN").
QString movedToCompany(const QString &text, const QString &from, const QString &to)
{
    QString moved = text;
    moved.replace(u'_' + from, u'_' + to);
    const QRegularExpression prefix(QStringLiteral("(?<![A-Za-z0-9_])") + QRegularExpression::escape(from) + u'_');
    return moved.replace(prefix, to + u'_');
}

bool isSection(const FileSection &section, const QString &table)
{
    return section.table == table;
}

} // namespace

// The notification, its conditions by level (the same notification always
// giving the same file), then every parameter its texts refer to, once each.
QList<FileSection> NotificationWindowController::exportedSections(qint32 id) const
{
    auto notification =
        connection().open(QStringLiteral("SELECT * FROM SYS_NTF WHERE RECORD_ID = ") + numberLiteral(id));
    if (notification->eof())
        throw Failure(QStringLiteral("The notification %1 does not exist").arg(id));
    QList<FileSection> sections{sectionOf(kNotificationSection, QString::number(id), *notification)};
    QStringList referred;
    collectReferences(sections.first(), {QStringLiteral("NTNOT"), QStringLiteral("NTQRY"), QStringLiteral("NTSUB")},
                      referred);
    auto conditions = connection().open(QStringLiteral("SELECT * FROM SYS_NTC WHERE IDNTF = ") + numberLiteral(id) +
                                        kCR + QStringLiteral("ORDER BY NCLEV, NCV1T, NCV2T, RECORD_ID"));
    for (; !conditions->eof(); conditions->moveNext()) {
        sections << sectionOf(kConditionSection, textOf(conditions->field(QStringLiteral("RECORD_ID"))), *conditions);
        collectReferences(sections.last(), {QStringLiteral("NCV1C"), QStringLiteral("NCV2C")}, referred);
    }
    for (const QString &item : std::as_const(referred)) {
        bool isNumber = false;
        const qint32 parameter = parameterKey(item).toInt(&isNumber);
        if (!isNumber)
            throw Failure(QStringLiteral("The notification refers to \"[@%1@]\", which names no parameter by its "
                                         "number")
                              .arg(parameterKey(item)));
        auto row =
            connection().open(QStringLiteral("SELECT * FROM SYS_NTG WHERE RECORD_ID = ") + numberLiteral(parameter));
        if (row->eof())
            throw Failure(
                QStringLiteral("The notification refers to the parameter %1, which does not exist").arg(parameter));
        sections << sectionOf(kParameterSection, QString::number(parameter), *row);
    }
    return sections;
}

bool NotificationWindowController::mrvExportNotification(qint32 ID)
{
    return guarded(m_errors.get(), kObject, "mrvExportNotification", false, [&] {
        BusyPointer busy;
        const QList<FileSection> sections = exportedSections(ID);
        busy.release();
        const QString path = records().fileDialog(kSaveDialog, notificationsFolder(),
                                                  QStringLiteral("%1").arg(ID, 6, 10, QLatin1Char('0')),
                                                  translate(kFilter, "mrvExportNotification"), kExtension);
        if (path.isEmpty())
            return false;
        writeFile(path, encodeNotificationFile(sections));
        return true;
    });
}

bool NotificationWindowController::exportNotification(qint32 id, const QString &path)
{
    return guarded(m_errors.get(), kObject, "mrvExportNotification", false, [&] {
        writeFile(path, encodeNotificationFile(exportedSections(id)));
        return true;
    });
}

bool NotificationWindowController::mrvImportNotification()
{
    return guarded(m_errors.get(), kObject, "mrvImportNotification", false, [&] {
        const QString path = records().fileDialog(kOpenDialog, notificationsFolder(), QString(),
                                                  translate(kFilter, "mrvImportNotification"), kExtension);
        if (path.isEmpty())
            return false;
        readImport(path);
        return true;
    });
}

bool NotificationWindowController::importNotification(const QString &path)
{
    return guarded(m_errors.get(), kObject, "mrvImportNotification", false, [&] {
        readImport(path);
        return true;
    });
}

// The whole file is read and checked before anything is written; then its
// parameters are inserted (they stay, whether or not the record is saved)
// and the record filled, the texts moved to the current company and to the
// parameters' new keys.
void NotificationWindowController::readImport(const QString &path)
{
    if (recordStatus() != host::rsNew)
        throw Failure(QStringLiteral("A notification file is imported into a new record"));
    BusyPointer busy;
    const QList<FileSection> sections = decodeNotificationFile(readFile(path));
    const QHash<QString, QString> newKeys = insertParameters(sections);
    const QString fileCompany = sections.first().values.value(QStringLiteral("CDAZI"));
    if (fileCompany.isEmpty()) {
        busy.release();
        say(QStringLiteral("Il file non indica l'azienda della notifica: i nomi degli oggetti nei suoi testi restano "
                           "come sono."),
            host::mbOkOnly | host::mbExclamation);
    }
    const QString company = companyCode();
    const auto adapted = [&](const QString &text) {
        return renumberParameterReferences(fileCompany.isEmpty() ? text : movedToCompany(text, fileCompany, company),
                                           newKeys);
    };
    QList<FileSection> adaptedSections;
    for (FileSection section : sections) {
        if (isSection(section, kParameterSection))
            continue;
        for (auto value = section.values.begin(); value != section.values.end(); ++value)
            value.value() = adapted(value.value());
        adaptedSections << section;
    }
    fillFromImport(adaptedSections.first());
    addImportedConditions(adaptedSections);
    RefreshGridCond();
}

// Old key -> new key of every parameter of the file.
QHash<QString, QString> NotificationWindowController::insertParameters(const QList<FileSection> &sections)
{
    QHash<QString, QString> newKeys;
    const QString company = companyCode();
    const QString user = records().userManager()->userCode();
    for (const FileSection &section : sections) {
        if (!isSection(section, kParameterSection))
            continue;
        auto statement = connection().newStatement();
        statement->initialize(kParameterSection);
        statement->addColumn(QStringLiteral("CDAZI"), company, host::tcShortText);
        statement->addColumn(QStringLiteral("NGDES"), section.values.value(QStringLiteral("NGDES")), host::tcShortText);
        statement->addColumn(QStringLiteral("NGVAL"), section.values.value(QStringLiteral("NGVAL")), host::tcText);
        statement->addColumn(QStringLiteral("USINS"), user, host::tcShortText);
        statement->addColumn(QStringLiteral("DTINS"), QDateTime::currentDateTime(), host::tcDateTime);
        connection().execute(statement->build(host::skInsert));
        auto key = connection().open(QStringLiteral("SELECT TOP 1 RECORD_ID FROM SYS_NTG ORDER BY RECORD_ID DESC"));
        newKeys.insert(section.id, textOf(key->field(0)));
    }
    return newKeys;
}

void NotificationWindowController::fillFromImport(const FileSection &notification)
{
    setField(QStringLiteral("CDAZI"), companyCode());
    for (const QString &key : {QStringLiteral("NTTIP"), QStringLiteral("NTEXE")})
        setField(key, integerOf(notification.values.value(key)));
    for (const QString &key : {QStringLiteral("NTDES"), QStringLiteral("NTNOT"), QStringLiteral("NTTBL"),
                               QStringLiteral("NTQRY"), QStringLiteral("NTSUB")})
        setField(key, notification.values.value(key));
}

// Relations name conditions by their IDs in the file; each is pointed at
// the temporary ID of a condition read before it.
void NotificationWindowController::addImportedConditions(const QList<FileSection> &sections)
{
    m_notification->Clear();
    QHash<QString, qint32> temporaryIds;
    for (const FileSection &section : sections) {
        if (!isSection(section, kConditionSection))
            continue;
        const auto value = [&section](const char *key) { return section.values.value(QLatin1String(key)); };
        auto condition = std::make_shared<clsSYS_NTC>();
        condition->setSelected(integerOf(value("NCSEL")) != 0);
        condition->setDescription(value("NCDES"));
        condition->setOp1Type(integerOf(value("NCV1T")));
        condition->setOp2Type(integerOf(value("NCV2T")));
        condition->setOperator(value("NCOPE"));
        condition->setImplicitChecks(qint16(integerOf(value("NCIMP"))));
        condition->setReversed(integerOf(value("NCNOT")) != 0);
        const auto operand = [&temporaryIds](qint32 type, const QString &text) {
            return type == notCondition && temporaryIds.contains(text) ? QString::number(temporaryIds.value(text))
                                                                       : text;
        };
        condition->setOp1(operand(condition->Op1Type(), value("NCV1C")));
        condition->setOp2(operand(condition->Op2Type(), value("NCV2C")));
        m_notification->AddCondition(condition);
        temporaryIds.insert(section.id, condition->ID());
    }
}

} // namespace mrv
