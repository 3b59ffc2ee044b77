#include "TemplateMessages.h"
#include "mrvDataset.h"
#include "mrvTemplate.h"

#include "facade/Guard.h"
#include "facade/ScreenPointer.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/PathServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QRandomGenerator>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvTemplate");
const QString kSeparator = QStringLiteral("; ");

QString sqlText(const QString &value)
{
    return host::valueTools().sqlLiteral(value, host::tcShortText);
}

QString nullSafeText(const QVariant &value)
{
    return host::valueTools().nullSafe(value).toString();
}

// "; " only between parts that are there.
QString joined(const QStringList &parts)
{
    QStringList present;
    for (const QString &part : parts) {
        if (!part.isEmpty())
            present << part;
    }
    return present.join(kSeparator);
}

// Where each recipient type looks its address up: table, e-mail column (or
// flag, or site type) and fax description.
struct TypeSource
{
    const char *table;
    const char *field;
    const char *field2;
};

const TypeSource kTypeSources[] = {
    {"CON_TRO", "@ Principale", ""},
    {"CON_TRO", "@ Ufficio", "Fax (uff.)"},
    {"CON_TRO", "@ Amministrazione", "Altro Fax"},
    {"CON_TRO", "@ Uff. Tecnico", ""},
    {"CON_TRO", "@ Magazzino", ""},
    {"CON_TRO", "@ Privata", "Fax (ab.)"},
    {"CON_RIF", "RFOFF", ""},
    {"CON_RIF", "RFORD", ""},
    {"CON_RIF", "RFDDT", ""},
    {"CON_RIF", "RFFAT", ""},
    {"CON_SED", "AV", ""},
    {"CON_SED", "CO", ""},
    {"CON_SED", "DE", ""},
    {"CON_SED", "FT", ""},
    {"CON_SED", "GE", ""},
    {"CON_SED", "PA", ""},
    {"CON_SED", "PR", ""},
    {"CON_SED", "RE", ""},
    {"AGE_NTI", "@ Principale", ""},
    {"AGE_NTI", "@ Ufficio", ""},
    {"AGE_NTI", "@ Amministrazione", ""},
    {"AGE_NTI", "@ Uff. Tecnico", ""},
    {"AGE_NTI", "@ Magazzino", ""},
    {"AGE_NTI", "@ Privata", ""},
    {"AGE_NTI", "Fax (uff.)", ""},
    {"AGE_NTI", "Altro Fax", ""},
    {"AGE_NTI", "Fax (ab.)", ""},
};

mrv_tRecipientType recipientType(qint32 code, const QString &description)
{
    mrv_tRecipientType type{code, description, false, {}, {}, {}};
    if (code >= 1 && code <= qint32(std::size(kTypeSources))) {
        const TypeSource &source = kTypeSources[code - 1];
        type.Table = QLatin1String(source.table);
        type.Field = QLatin1String(source.field);
        type.Field2 = QLatin1String(source.field2);
    }
    return type;
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

// The addresses of one message, found through its customer and agent.
class MessageAddresses
{
public:
    MessageAddresses(host::Records &records, const QList<mrv_tRecipientType> &types)
        : m_records(records), m_types(types)
    {}

    QString customerEmail, customerFax, agentEmail, agentFax, otherAgentEmail, otherAgentFax;
    QString agentChannel;

    void addCustomer(const QString &code)
    {
        for (const mrv_tRecipientType &type : m_types) {
            if (!customerEmail.isEmpty() && !customerFax.isEmpty())
                break;
            if (type.Table == QLatin1String("AGE_NTI"))
                continue;
            if (customerEmail.isEmpty())
                customerEmail = addresses(emailQuery(type, code));
            if (customerFax.isEmpty() && givesFax(type))
                customerFax = addresses(faxQuery(type, code));
        }
    }

    void addAgent(const QString &code)
    {
        for (const mrv_tRecipientType &type : m_types) {
            if (type.Table != QLatin1String("AGE_NTI"))
                continue;
            if (isEmailSlot(type.Field))
                addAgentAddresses(addresses(emailQuery(type, code)), agentEmail, otherAgentEmail, QStringLiteral("EM"));
            else
                addAgentAddresses(addresses(faxQuery(type, code)), agentFax, otherAgentFax, QStringLiteral("FX"));
        }
    }

private:
    void addAgentAddresses(const QString &found, QString &agent, QString &other, const QString &channel)
    {
        if (found.isEmpty())
            return;
        if (agentEmail.isEmpty() && agentFax.isEmpty()) {
            agent = found;
            agentChannel = channel;
        } else {
            other = joined({other, found});
        }
    }

    QString table(const char *name) const { return m_records.physicalName(QLatin1String(name)); }

    static bool ownsAddresses(const mrv_tRecipientType &type)
    {
        return type.Table == QLatin1String("CON_TRO") || type.Table == QLatin1String("AGE_NTI");
    }

    // E-mail slots are described "@ ..."; any other description names a fax
    // number.
    static bool isEmailSlot(const QString &description) { return description.startsWith(QLatin1Char('@')); }

    // A customer's own slot has a fax number only when the type names its
    // description; contacts and sites have both kinds.
    static bool givesFax(const mrv_tRecipientType &type)
    {
        return type.Table != QLatin1String("CON_TRO") || !type.Field2.isEmpty();
    }

    // The owners of the addresses: the record itself, or the customer's
    // contacts or sites that the type selects (after `kindLine`, if any).
    QString ownerLines(const mrv_tRecipientType &type, const QString &code, const QString &kindLine) const
    {
        const QString owner = QStringLiteral("WHERE TBNAM = ") + sqlText(type.Table);
        if (ownsAddresses(type))
            return owner + QStringLiteral("\rAND   TBKEY = ") + sqlText(code);
        const bool contacts = type.Table == QLatin1String("CON_RIF");
        const QString condition =
            contacts ? type.Field + QStringLiteral(" = ") + host::valueTools().sqlLiteral(1, host::tcBoolean)
                     : QStringLiteral("SETIP = ") + sqlText(type.Field);
        return owner + QLatin1Char('\r') + (kindLine.isEmpty() ? QString() : kindLine + QLatin1Char('\r')) +
               QStringLiteral("AND   TBKEY IN (\r   SELECT RECORD_ID FROM ") + table(contacts ? "CON_RIF" : "CON_SED") +
               QStringLiteral("\r   WHERE CDCON = ") + sqlText(code) + QStringLiteral("\r   AND   ") + condition +
               QStringLiteral("\r)");
    }

    QString emailQuery(const mrv_tRecipientType &type, const QString &code) const
    {
        const QString kind = QStringLiteral("AND   WBTIP = ") + sqlText(QStringLiteral("E"));
        const QString where = ownsAddresses(type) ? ownerLines(type, code, {}) + QStringLiteral("\rAND   WBDES = ") +
                                                        sqlText(type.Field) + QLatin1Char('\r') + kind
                                                  : ownerLines(type, code, kind);
        return QStringLiteral("SELECT WBIND FROM ") + table("IND_WEB") + QLatin1Char('\r') + where;
    }

    QString faxQuery(const mrv_tRecipientType &type, const QString &code) const
    {
        QString where = ownerLines(type, code, {});
        if (ownsAddresses(type)) {
            const QString description = type.Table == QLatin1String("AGE_NTI") ? type.Field : type.Field2;
            where += QStringLiteral("\rAND   NRDES = ") + sqlText(description);
        }
        return QStringLiteral("SELECT NRTEL FROM ") + table("NUM_TEL") + QLatin1Char('\r') + where;
    }

    QString addresses(const QString &sql) const
    {
        QStringList found;
        auto rows = m_records.connection()->open(sql);
        for (; !rows->eof(); rows->moveNext())
            found << nullSafeText(rows->field(0));
        return joined(found);
    }

    host::Records &m_records;
    const QList<mrv_tRecipientType> &m_types;
};

// Lists resolved against the address book, each once per call: the agents'
// and the fixed lists recur in message after message, and every resolution
// searches the address book.
class ResolvedLists
{
public:
    explicit ResolvedLists(host::Records &records) : m_records(records) {}

    QString operator()(const QString &list, bool email)
    {
        QHash<QString, QString> &known = email ? m_emails : m_faxes;
        const auto found = known.constFind(list);
        if (found != known.cend())
            return *found;
        host::RecipientOptions options;
        options.email = email;
        options.fax = !email;
        options.addressBookServer = true;
        QString resolved = list;
        m_records.resolveRecipients(nullptr, resolved, options);
        return known.insert(list, resolved).value();
    }

private:
    host::Records &m_records;
    QHash<QString, QString> m_emails;
    QHash<QString, QString> m_faxes;
};

} // namespace

bool mrvTemplate::renderColumn(const TemplateFieldsObject *fields, const QString &column, QList<QByteArray> &result,
                               qint32 index)
{
    return ReplaceFields(fields, result, QStringLiteral("SYS_MST"), column, QStringLiteral("RECORD_ID"),
                         QString::number(parsedFields(fields).Template()), host::kkNumber, 5, index);
}

bool mrvTemplate::GetTemplates(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult,
                               qint32 lIndex)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetTemplates", false,
                   [&] { return renderColumn(objTemplateFields, QStringLiteral("MTTEM"), colResult, lIndex); });
}

bool mrvTemplate::GetSubjects(const TemplateFieldsObject *objTemplateFields, QList<QByteArray> &colResult,
                              qint32 lIndex)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetSubjects", false,
                   [&] { return renderColumn(objTemplateFields, QStringLiteral("MTOBJ"), colResult, lIndex); });
}

QVariant mrvTemplate::GetRecipientsTypeList(qint32 lTemplateId, QList<mrv_tRecipientType> &aRecipients)
{
    BusyPointer busy;
    guardedVoid(m_errors.get(), kObjectName, "GetRecipientsTypeList",
                [&] { aRecipients = recipientTypes(lTemplateId); });
    return QVariant();
}

QList<mrv_tRecipientType> mrvTemplate::recipientTypes(qint32 templateId)
{
    QList<mrv_tRecipientType> all;
    auto values = connection().open(QStringLiteral("SELECT VLVAL, VLTXT FROM SYS_VAL\rWHERE VLTAB = ") +
                                    sqlText(QStringLiteral("SYS_MST")) + QStringLiteral("\rAND   VLFLD = ") +
                                    sqlText(QStringLiteral("MTREC")) + QStringLiteral("\rORDER BY CAST(VLVAL AS INT)"));
    for (; !values->eof(); values->moveNext())
        all << recipientType(qint32(host::valueTools().toNumber(values->field(QStringLiteral("VLVAL")))),
                             nullSafeText(values->field(QStringLiteral("VLTXT"))));
    auto stored = connection().open(QStringLiteral("SELECT MTREC FROM SYS_MST\rWHERE RECORD_ID = ") +
                                    host::valueTools().sqlLiteral(templateId, host::tcInt32));
    const QString order = stored->eof() ? QString() : nullSafeText(stored->field(QStringLiteral("MTREC")));
    if (order.isEmpty())
        return all;
    QList<mrv_tRecipientType> ordered;
    for (const QString &item : order.split(QLatin1Char('|'))) {
        const qint32 code = qint32(host::valueTools().toNumber(item));
        for (mrv_tRecipientType &type : all) {
            if (type.Code == qAbs(code)) {
                ordered << type;
                ordered.last().Selected = code >= 0;
                type.Code = 0;
                break;
            }
        }
    }
    for (const mrv_tRecipientType &type : std::as_const(all)) {
        if (type.Code > 0)
            ordered << type;
    }
    return ordered;
}

bool mrvTemplate::GetRecipients(const TemplateFieldsObject *objTemplateFields, QStringList &colTo,
                                QStringList &colTo_Email, QStringList &colTo_Fax, QStringList &colCc,
                                QStringList &colCc_Email, QStringList &colCc_Fax, QStringList &colCcn,
                                QStringList &colCcn_Email, QStringList &colCcn_Fax, qint32 lIndex)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetRecipients", false, [&] {
        for (QStringList *list :
             {&colTo, &colTo_Email, &colTo_Fax, &colCc, &colCc_Email, &colCc_Fax, &colCcn, &colCcn_Email, &colCcn_Fax})
            list->clear();
        const mrvTemplateFields &parsed = parsedFields(objTemplateFields);
        if (!validIndex(parsed, lIndex))
            return false;
        QList<mrv_tRecipientType> selected;
        for (const mrv_tRecipientType &type : recipientTypes(parsed.Template())) {
            if (type.Selected)
                selected << type;
        }
        auto stored = connection().open(QStringLiteral("SELECT MTCCC, MTCCN, MTAGE, MTAGN FROM SYS_MST\r") +
                                        QStringLiteral("WHERE RECORD_ID = ") +
                                        host::valueTools().sqlLiteral(parsed.Template(), host::tcInt32));
        if (stored->eof())
            throw Failure(QStringLiteral("The template %1 does not exist").arg(parsed.Template()));
        const qint32 agentIn = qint32(host::valueTools().toNumber(stored->field(QStringLiteral("MTAGE"))));
        const bool otherAgentsInCcn =
            host::valueTools().toBoolean(host::valueTools().nullSafe(stored->field(QStringLiteral("MTAGN"))));
        host::Records &records = *m_records;
        ResolvedLists resolved(records);
        const QString cc = resolved(nullSafeText(stored->field(QStringLiteral("MTCCC"))), false);
        const QString fixedCcn = resolved(nullSafeText(stored->field(QStringLiteral("MTCCN"))), false);
        for (const qint32 message : messageRange(parsed, lIndex)) {
            const QList<mrvTemplateField> fields = parsed.Fields(message);
            MessageAddresses found(records, selected);
            for (const mrvTemplateField &field : fields) {
                if (field.Value().isEmpty())
                    continue;
                if (field.Linked() == eDatasetLinkedField_Customer)
                    found.addCustomer(field.Value());
                else if (field.Linked() == eDatasetLinkedField_Agent)
                    found.addAgent(field.Value());
            }
            QString customerEmail = resolved(found.customerEmail, true);
            QString customerFax = resolved(found.customerFax, false);
            const QString agentEmail = resolved(found.agentEmail, true);
            const QString agentFax = resolved(found.agentFax, false);
            const QString otherEmail = resolved(found.otherAgentEmail, true);
            const QString otherFax = resolved(found.otherAgentFax, false);
            QString ccn = fixedCcn;
            const bool byFax = found.agentChannel == QLatin1String("FX");
            if (agentIn == 0 && !byFax)
                customerEmail = joined({customerEmail, agentEmail});
            else if (agentIn == 0)
                customerFax = joined({customerFax, agentFax});
            const QString customer = linkedValue(fields, eDatasetLinkedField_Customer);
            const QVariant channel =
                connection().lookup(records.physicalName(QStringLiteral("CON_TRO")), QStringLiteral("CDCON"), customer,
                                    host::kkText, QStringLiteral("COMID"));
            colTo << (nullSafeText(channel) == QLatin1String("FX") ? customerFax : customerEmail);
            colTo_Email << customerEmail;
            colTo_Fax << customerFax;
            if (otherAgentsInCcn)
                ccn = joined({ccn, otherFax, otherEmail});
            const QString agent = byFax ? agentFax : agentEmail;
            colCc << (agentIn == 1 ? joined({agent, cc}) : cc);
            colCc_Email << (agentIn == 1 ? agentEmail : QString());
            colCc_Fax << (agentIn == 1 ? agentFax : QString());
            colCcn << (agentIn == 2 ? joined({agent, ccn}) : ccn);
            colCcn_Email << (agentIn == 2 ? agentEmail : QString());
            colCcn_Fax << (agentIn == 2 ? agentFax : QString());
        }
        return true;
    });
}

bool mrvTemplate::GetReports(const TemplateFieldsObject *objTemplateFields, QStringList &colResult,
                             const QStringList &aReportParams, QString &sOut_ReportCode, QString &sOut_Table,
                             QString &sOut_Keys, qint32 lIndex)
{
    BusyPointer busy;
    return guarded(m_errors.get(), kObjectName, "GetReports", false, [&] {
        colResult.clear();
        const mrvTemplateFields &parsed = parsedFields(objTemplateFields);
        if (!validIndex(parsed, lIndex))
            return false;
        auto stored = connection().open(QStringLiteral("SELECT MTREP FROM SYS_MST WHERE RECORD_ID = ") +
                                        host::valueTools().sqlLiteral(parsed.Template(), host::tcInt32));
        const QString report = stored->eof() ? QString() : nullSafeText(stored->field(QStringLiteral("MTREP")));
        const QString printTable = dataset()->GetLinkedTable(parsed.Dataset(), eDatasetLinkedField_PrintKey);
        const QVariantList parameters(aReportParams.cbegin(), aReportParams.cend());
        bool anyPrintKey = false;
        for (const qint32 message : messageRange(parsed, lIndex)) {
            const QList<mrvTemplateField> fields = parsed.Fields(message);
            const QString printKey = linkedValue(fields, eDatasetLinkedField_PrintKey);
            anyPrintKey = anyPrintKey || !printKey.isEmpty();
            if (printKey.isEmpty() || printTable.isEmpty()) {
                colResult << QString();
                continue;
            }
            const QString path = reportFile(fields);
            m_records->printReportToPdf(printTable, report, printKey, parameters,
                                        linkedValue(fields, eDatasetLinkedField_Customer), path);
            sOut_ReportCode = report;
            sOut_Table = printTable;
            sOut_Keys = printKey;
            colResult << path;
        }
        return anyPrintKey;
    });
}

// A new folder per report under the product's "Temp", named by the time;
// the file by the attachment field, or by the time and a random number.
QString mrvTemplate::reportFile(const QList<mrvTemplateField> &fields) const
{
    const QDateTime now = QDateTime::currentDateTime();
    QString name = linkedValue(fields, eDatasetLinkedField_Attachment);
    name = name.isEmpty() ? now.toString(QStringLiteral("yyyyMMddhhmmss")) +
                                QString::number(QRandomGenerator::global()->bounded(1, 101))
                          : host::valueTools().cleanFileName(name);
    const QString folder = QDir(host::pathServices().productFolder(QStringLiteral("Temp")))
                               .filePath(now.toString(QStringLiteral("yyyyMMddhhmmss")));
    if (!host::pathServices().createFolder(folder) && !QDir(folder).exists())
        throw Failure(QStringLiteral("The folder %1 cannot be created").arg(folder));
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

} // namespace mrv
