#include "mrvDataset.h"

#include "TemplateMessages.h"

#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"

#include <functional>
#include <optional>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvDataset");
const QString kUserFullName = QStringLiteral("PARAM_USER_FULLNAME");

const bool registered = [] {
    Factories::add(mrvDataset::factoryName(), [] { return std::make_unique<mrvDataset>(); });
    return true;
}();

// The value of one variable: its number when digits follow the "@".
using VariableValue = std::function<QString(std::optional<qsizetype> number)>;

// Variables are "@" and the digits after it; the character that ends one is
// kept. An "@" inside a variable starts nothing new, and quoted literals are
// no exception: a dataset writes its keys wherever it likes.
QString replaceVariables(const QString &query, const VariableValue &valueOf)
{
    QString text;
    bool inVariable = false;
    QString digits;
    const auto emitVariable = [&] {
        text += valueOf(digits.isEmpty() ? std::nullopt : std::optional<qsizetype>(digits.toLongLong()));
        inVariable = false;
        digits.clear();
    };
    for (const QChar character : query) {
        if (character == QLatin1Char('@')) {
            inVariable = true;
        } else if (inVariable && character >= QLatin1Char('0') && character <= QLatin1Char('9')) {
            digits += character;
        } else {
            if (inVariable)
                emitVariable();
            text += character;
        }
    }
    if (inVariable)
        emitVariable();
    return text;
}

QString sqlNumber(qint32 value)
{
    return host::valueTools().sqlLiteral(value, host::tcInt32);
}

void appendLine(QString &text, const QString &line)
{
    if (!text.isEmpty())
        text += QLatin1String("\r\n");
    text += line;
}

// The fields of `fields` that `common` holds too, in the order of `fields`.
QStringList sharedFields(const QStringList &fields, const QStringList &common)
{
    QStringList shared;
    for (const QString &field : fields) {
        if (common.contains(field))
            shared << field;
    }
    return shared;
}

} // namespace

void mrvDataset::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void mrvDataset::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

host::Connection &mrvDataset::connection() const
{
    return host::requireConnection(m_records);
}

QString mrvDataset::forUsersFirm(const QString &query) const
{
    auto users = m_records ? m_records->userManager() : nullptr;
    if (!users)
        throw Failure(QStringLiteral("The host has no current company"), 91);
    QString text = query;
    return text.replace(QLatin1String("A01_"), users->companyCode() + QLatin1Char('_'));
}

QString mrvDataset::InsertVariables(const QString &sQuery, QList<qint32> &lVars)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "InsertVariables", QString(), [&] {
        if (sQuery.isEmpty() || lVars.isEmpty())
            return QString();
        QStringList all;
        for (const qint32 key : std::as_const(lVars))
            all << QString::number(key);
        const QString list = all.join(QLatin1Char(','));
        return replaceVariables(forUsersFirm(sQuery), [&](std::optional<qsizetype> number) {
            if (!number)
                return list;
            const qsizetype index = *number - 1;
            return index >= 0 && index < lVars.size() ? QString::number(lVars.at(index)) : QStringLiteral("0");
        });
    });
}

bool mrvDataset::GetQueryFields(const QString &sQuery, QStringList &aFields)
{
    QString error;
    return GetQueryFields(sQuery, aFields, error);
}

bool mrvDataset::GetQueryFields(const QString &sQuery, QStringList &aFields, QString &sError)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetQueryFields", false,
                   [&] { return readQueryFields(sQuery, aFields, sError); });
}

bool mrvDataset::readQueryFields(const QString &query, QStringList &fields, QString &error)
{
    if (query.isEmpty())
        return false;
    const QString dummy = replaceVariables(forUsersFirm(query), [](std::optional<qsizetype> number) {
        return number ? QStringLiteral("0") : QStringLiteral("0,0");
    });
    bool failed = false;
    auto rows =
        connection().openRecordSet(QStringLiteral("SELECT TOP 1 * FROM (") + dummy + QStringLiteral(") DATASET"),
                                   host::rsQueryOnly, failed, error);
    fields.clear();
    if (failed || !rows)
        return false;
    for (qint32 column = 0; column < rows->fieldCount(); ++column)
        fields << rows->fieldName(column);
    rows->close();
    return !fields.isEmpty();
}

bool mrvDataset::GetFields(qint32 lDataSetId, QStringList &aFields)
{
    QString error;
    return GetFields(lDataSetId, aFields, error);
}

bool mrvDataset::GetFields(qint32 lDataSetId, QStringList &aFields, QString &sError)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetFields", false,
                   [&] { return readFields(lDataSetId, aFields, sError); });
}

bool mrvDataset::readFields(qint32 datasetId, QStringList &fields, QString &error)
{
    auto rows =
        connection().open(QStringLiteral("SELECT DTQRY FROM SYS_DAT WHERE RECORD_ID = ") + sqlNumber(datasetId));
    if (rows->eof())
        return false;
    const QString query = nullSafeText(rows->field(QStringLiteral("DTQRY")));
    rows->close();
    return !query.isEmpty() && readQueryFields(query, fields, error);
}

bool mrvDataset::GetCommonFields(const QList<qint32> &lDataSetId, QStringList &aFields)
{
    QString error;
    return GetCommonFields(lDataSetId, aFields, error);
}

bool mrvDataset::GetCommonFields(const QList<qint32> &lDataSetId, QStringList &aFields, QString &sError)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetCommonFields", false, [&] {
        bool result = true;
        QStringList common;
        for (const qint32 id : lDataSetId) {
            QStringList fields;
            QString error;
            if (!readFields(id, fields, error)) {
                result = false;
                if (!error.isEmpty())
                    appendLine(sError, error);
                continue;
            }
            if (!common.isEmpty())
                fields = sharedFields(fields, common);
            if (fields.isEmpty()) {
                result = false;
                break;
            }
            common = fields;
        }
        if (result) {
            aFields = common << kUserFullName;
        }
        return result;
    });
}

QString mrvDataset::datasetColumn(qint32 datasetId, const QString &column)
{
    auto rows = connection().open(QStringLiteral("SELECT ") + column +
                                  QStringLiteral(" FROM SYS_DAT WHERE RECORD_ID = ") + sqlNumber(datasetId));
    return rows->eof() ? QString() : nullSafeText(rows->field(column));
}

QString mrvDataset::GetLinkedField(qint32 lDataSetId, qint32 iField)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetLinkedField", QString(), [&] {
        const QString column =
            connection().valueListCaption(QStringLiteral("SYS_DAT"), QStringLiteral("LINKED_FIELD"), iField);
        return column.isEmpty() ? QString() : datasetColumn(lDataSetId, column);
    });
}

QString mrvDataset::GetLinkedTable(qint32 lDataSetId, qint32 iField)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetLinkedTable", QString(), [&] {
        switch (iField) {
        case eDatasetLinkedField_Customer:
            return QStringLiteral("CON_TRO");
        case eDatasetLinkedField_Agent:
            return QStringLiteral("AGE_NTI");
        case eDatasetLinkedField_PrintKey: {
            auto rows = connection().open(QStringLiteral("SELECT DTTBP, DTTBL FROM SYS_DAT WHERE RECORD_ID = ") +
                                          sqlNumber(lDataSetId));
            if (rows->eof())
                return QString();
            const QString printTable = nullSafeText(rows->field(QStringLiteral("DTTBP")));
            return printTable.isEmpty() ? nullSafeText(rows->field(QStringLiteral("DTTBL"))) : printTable;
        }
        default:
            return QString();
        }
    });
}

} // namespace mrv
