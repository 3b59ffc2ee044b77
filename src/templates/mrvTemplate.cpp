#include "mrvTemplate.h"

#include "TemplateMessages.h"
#include "facade/Factories.h"
#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "facade/WindowRegistry.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/RichTextStore.h"
#include "host/TypeCodes.h"
#include "host/UserManager.h"
#include "host/ValueTools.h"
#include "mrvDataset.h"
#include "platform/richtext/FieldOperations.h"
#include "platform/richtext/RtfReader.h"
#include "platform/richtext/RtfWriter.h"

#include <QTextDocument>

#include <limits>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvTemplate");
const QString kUserFullName = QStringLiteral("PARAM_USER_FULLNAME");

const bool registered = [] {
    Factories::add(TemplateObject::factoryName(), [] { return std::make_unique<mrvTemplate>(); });
    return true;
}();

} // namespace

const mrvTemplateFields &parsedFields(const TemplateFieldsObject *fields)
{
    const auto *parsed = dynamic_cast<const mrvTemplateFields *>(fields);
    if (!parsed)
        throw Failure(QStringLiteral("The fields were not parsed by mrvTemplate"), 91);
    return *parsed;
}

bool validIndex(const mrvTemplateFields &fields, qint32 index)
{
    return index >= 0 && index <= fields.Count();
}

QList<qint32> messageRange(const mrvTemplateFields &fields, qint32 index)
{
    if (index != 0)
        return {index};
    QList<qint32> all;
    for (qint32 message = 1; message <= fields.Count(); ++message)
        all << message;
    return all;
}

QString nullSafeText(const QVariant &value)
{
    return host::valueTools().nullSafe(value).toString();
}

// The value of the first field of a kind that has one.
QString linkedValue(const QList<mrvTemplateField> &fields, qd_eDatasetLinkedFields kind)
{
    for (const mrvTemplateField &field : fields) {
        if (field.Linked() == kind && !field.Value().isEmpty())
            return field.Value();
    }
    return {};
}

namespace {

QString sqlLiteral(const QVariant &value, qint32 typeCode)
{
    return host::valueTools().sqlLiteral(value, typeCode);
}

qint32 toKey(const QVariant &value)
{
    if (!host::valueTools().isNumeric(value))
        throw Failure(QStringLiteral("Type mismatch: \"%1\" is not a number").arg(value.toString()), 13);
    const double number = host::valueTools().toNumber(value);
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        throw Failure(QStringLiteral("Overflow: %1 is not a 32-bit key").arg(value.toString()), 6);
    return qint32(qRound64(number));
}

// A field's result shows its name in brackets.
QString fieldName(const QString &result)
{
    return result.mid(1, result.size() - 2);
}

QString valueOf(const QList<mrvTemplateField> &fields, const QString &name)
{
    for (const mrvTemplateField &field : fields) {
        if (field.Name() == name)
            return field.Value();
    }
    return name;
}

QByteArray rendered(const QByteArray &stored, const QList<mrvTemplateField> &fields)
{
    std::unique_ptr<QTextDocument> document = richtext::readRtf(stored);
    richtext::replaceFieldResults(*document, [&](const richtext::FieldSpan &field) {
        return valueOf(fields, fieldName(richtext::fieldResult(*document, field)));
    });
    richtext::removeFields(*document);
    return richtext::writeRtf(*document);
}

} // namespace

void mrvTemplate::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void mrvTemplate::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

host::Connection &mrvTemplate::connection() const
{
    return host::requireConnection(m_records);
}

std::unique_ptr<mrvDataset> mrvTemplate::dataset() const
{
    auto made = std::make_unique<mrvDataset>();
    made->setRecords(m_records);
    made->setErrors(m_errors);
    return made;
}

bool mrvTemplate::GetCommonFields(qint32 lTemplateId, QStringList &aFields, qint32 lDataSetId)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetCommonFields", false,
                   [&] { return commonFields(lTemplateId, aFields, lDataSetId); });
}

bool mrvTemplate::commonFields(qint32 templateId, QStringList &fields, qint32 datasetId)
{
    QList<qint32> datasets;
    if (datasetId > 0) {
        datasets << datasetId;
    } else {
        auto rows = connection().open(QStringLiteral("SELECT IDDAT FROM SYS_MTD WHERE IDMST = ") +
                                      sqlLiteral(templateId, host::tcInt32));
        for (; !rows->eof(); rows->moveNext())
            datasets << toKey(rows->field(QStringLiteral("IDDAT")));
    }
    return !datasets.isEmpty() && dataset()->GetCommonFields(datasets, fields);
}

std::shared_ptr<mrvTemplateFields> mrvTemplate::Parse(qint32 lTemplateId, const QString &sTableName,
                                                      QList<QVariant> &vVars)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "Parse", std::shared_ptr<mrvTemplateFields>(), [&] {
        QList<qint32> keys;
        for (const QVariant &value : std::as_const(vVars))
            keys << toKey(value);
        return parse(lTemplateId, sTableName, keys);
    });
}

std::shared_ptr<TemplateFieldsObject> mrvTemplate::ParseFromList(qint32 lTemplateId, const QString &sTableName,
                                                                 const QString &sVarsList, const QString &sVarsSep)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "ParseFromList", std::shared_ptr<TemplateFieldsObject>(), [&] {
        // As the platform's Split: an empty list has no part, an empty
        // separator splits nothing.
        const QStringList parts = sVarsList.isEmpty()  ? QStringList()
                                  : sVarsSep.isEmpty() ? QStringList{sVarsList}
                                                       : sVarsList.split(sVarsSep);
        QList<qint32> keys;
        for (const QString &part : parts)
            keys << toKey(part);
        return std::shared_ptr<TemplateFieldsObject>(parse(lTemplateId, sTableName, keys));
    });
}

std::shared_ptr<mrvTemplateFields> mrvTemplate::ParseFromArray(qint32 lTemplateId, const QString &sTableName,
                                                               QList<qint32> &lVars)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "ParseFromArray", std::shared_ptr<mrvTemplateFields>(),
                   [&] { return parse(lTemplateId, sTableName, lVars); });
}

std::shared_ptr<mrvTemplateFields> mrvTemplate::parse(qint32 templateId, const QString &table, QList<qint32> &keys)
{
    auto found = connection().open(QStringLiteral("SELECT IDDAT, DTQRY FROM SYS_MST_DAT\r") +
                                   QStringLiteral("WHERE IDMST = ") + sqlLiteral(templateId, host::tcInt32) +
                                   QStringLiteral("\rAND   DTTBL = ") + sqlLiteral(table, host::tcShortText));
    if (found->eof())
        return nullptr;
    const qint32 datasetId = toKey(host::valueTools().nullSafe(found->field(QStringLiteral("IDDAT"))));
    const QString storedQuery = nullSafeText(found->field(QStringLiteral("DTQRY")));
    found->close();
    if (datasetId == 0)
        return nullptr;
    std::unique_ptr<mrvDataset> source = dataset();
    const QString query = source->InsertVariables(storedQuery, keys);
    QStringList fields;
    if (query.isEmpty() || !commonFields(templateId, fields, datasetId))
        return nullptr;
    const QStringList linked = linkedFields(*source, datasetId);

    auto result = std::make_shared<mrvTemplateFields>();
    result->initialize(templateId, table, datasetId);
    auto rows = connection().open(query, host::rsQueryOnly);
    for (; !rows->eof(); rows->moveNext())
        result->append(messageOf(*rows, fields, linked));
    rows->close();
    return result;
}

// The query column of each linked kind, by kind.
QStringList mrvTemplate::linkedFields(mrvDataset &source, qint32 datasetId)
{
    auto counted =
        connection().open(QStringLiteral("SELECT COUNT(*) FROM SYS_VAL WHERE VLTAB = ") +
                          sqlLiteral(QStringLiteral("SYS_DAT"), host::tcShortText) + QStringLiteral(" AND VLFLD = ") +
                          sqlLiteral(QStringLiteral("LINKED_FIELD"), host::tcShortText));
    const qint32 kinds = toKey(counted->field(0));
    QStringList linked;
    for (qint32 kind = 0; kind < kinds; ++kind)
        linked << source.GetLinkedField(datasetId, kind);
    return linked;
}

QList<mrvTemplateField> mrvTemplate::messageOf(const host::RecordSet &row, const QStringList &fields,
                                               const QStringList &linked) const
{
    QList<mrvTemplateField> message;
    for (const QString &name : fields) {
        QString value;
        if (row.hasField(name))
            value = nullSafeText(row.field(name));
        else if (name == kUserFullName)
            value = m_records->userManager()->userName();
        else
            value = name;
        const qsizetype kind = linked.indexOf(name);
        mrvTemplateField field;
        field.initialize(name, value, qd_eDatasetLinkedFields(kind));
        message << field;
    }
    return message;
}

bool mrvTemplate::ReplaceFields(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult,
                                const QString &sTable, const QString &sField, const QString &sKeyField,
                                const QString &sKeyValue, qint32 iKeyType, qint32 iTextType, qint32 lIndex)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "ReplaceFields", false, [&] {
        colResult.clear();
        const mrvTemplateFields &parsed = parsedFields(objTemplateFields);
        if (!validIndex(parsed, lIndex))
            return false;
        const QByteArray stored =
            host::richTextStore().load(sField, sTable, sKeyField, sKeyValue, iKeyType, iTextType).toUtf8();
        for (const qint32 message : messageRange(parsed, lIndex))
            colResult << rendered(stored, parsed.Fields(message));
        return true;
    });
}

void mrvTemplate::ShowPreview(QWidget *fOwner, std::shared_ptr<TemplateFieldsObject> objTemplateFields, qint32 iMode,
                              const QString &sFilesToAttach)
{
    BusyPointer busy;
    guardedVoid(m_errors.get(), kObjectName, "ShowPreview", [&] {
        // Loaded first, so that a modeless preview stays listed among the
        // component's windows.
        auto *preview = static_cast<TemplatePreviewWindow *>(WindowRegistry::instance().add(
            Factories::create<TemplatePreviewWindow>(TemplatePreviewWindow::factoryName())));
        preview->setErrors(m_errors);
        preview->setRecords(m_records);
        preview->ShowTemplatePreview(fOwner, std::move(objTemplateFields), iMode, sFilesToAttach);
    });
}

} // namespace mrv
