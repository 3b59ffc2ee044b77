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
#include "recipients/RecipientResolver.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace mrv {

namespace {

const QString kObjectName = QStringLiteral("mrvTemplate");
const QString kSeparator = QStringLiteral("; ");

QString sqlText(const QString &value)
{
    return host::valueTools().sqlLiteral(value, host::tcShortText);
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

enum class AddressKind { Email, Fax };

QString table(const host::Records &records, const char *name)
{
    return records.physicalName(QLatin1String(name));
}

// Customers and agents own their addresses; contacts and sites own those of
// the customer they belong to.
bool ownsAddresses(const mrv_tRecipientType &type)
{
    return type.Table == QLatin1String("CON_TRO") || type.Table == QLatin1String("AGE_NTI");
}

bool isAgentType(const mrv_tRecipientType &type)
{
    return type.Table == QLatin1String("AGE_NTI");
}

// E-mail slots are described "@ ..."; any other description names a fax
// number.
bool isEmailSlot(const QString &description)
{
    return description.startsWith(QLatin1Char('@'));
}

// A customer's own slot has a fax number only when the type names its
// description; contacts and sites have both kinds.
bool givesFax(const mrv_tRecipientType &type)
{
    return type.Table != QLatin1String("CON_TRO") || !type.Field2.isEmpty();
}

// The description of the fax number of an owner's own slot.
QString faxDescription(const mrv_tRecipientType &type)
{
    return isAgentType(type) ? type.Field : type.Field2;
}

bool isContactType(const mrv_tRecipientType &type)
{
    return type.Table == QLatin1String("CON_RIF");
}

// The contacts or sites of a customer that a type selects: the contact
// flag that must be true, or the site type.
QString selectedOwners(const mrv_tRecipientType &type)
{
    return isContactType(type) ? type.Field + QStringLiteral(" = ") + host::valueTools().sqlLiteral(1, host::tcBoolean)
                               : QStringLiteral("SETIP = ") + sqlText(type.Field);
}

// Where the addresses of a message's customer and agent come from.
class AddressSource
{
public:
    virtual ~AddressSource() = default;

    // The addresses of that kind that the type selects for the customer or
    // agent `code`, joined by "; ".
    virtual QString addresses(const mrv_tRecipientType &type, AddressKind kind, const QString &code) = 0;
    // The customer's preferred channel (COMID).
    virtual QString channel(const QString &customer) = 0;
};

// The addresses of one message's customer and agent, each queried when
// asked for.
class QueriedAddresses : public AddressSource
{
public:
    QueriedAddresses(host::Records &records, host::Connection &connection)
        : m_records(records), m_connection(connection)
    {}

    QString addresses(const mrv_tRecipientType &type, AddressKind kind, const QString &code) override
    {
        QStringList found;
        auto rows = m_connection.open(kind == AddressKind::Email ? emailQuery(type, code) : faxQuery(type, code));
        for (; !rows->eof(); rows->moveNext())
            found << nullSafeText(rows->field(0));
        return joined(found);
    }

    QString channel(const QString &customer) override
    {
        return nullSafeText(m_connection.lookup(table(m_records, "CON_TRO"), QStringLiteral("CDCON"), customer,
                                                host::kkText, QStringLiteral("COMID")));
    }

private:
    // The owners of the addresses: the record itself, or the customer's
    // contacts or sites that the type selects (after `kindLine`, if any).
    QString ownerLines(const mrv_tRecipientType &type, const QString &code, const QString &kindLine) const
    {
        const QString owner = QStringLiteral("WHERE TBNAM = ") + sqlText(type.Table);
        if (ownsAddresses(type))
            return owner + QStringLiteral("\rAND   TBKEY = ") + sqlText(code);
        return owner + QLatin1Char('\r') + (kindLine.isEmpty() ? QString() : kindLine + QLatin1Char('\r')) +
               QStringLiteral("AND   TBKEY IN (\r   SELECT RECORD_ID FROM ") +
               table(m_records, isContactType(type) ? "CON_RIF" : "CON_SED") + QStringLiteral("\r   WHERE CDCON = ") +
               sqlText(code) + QStringLiteral("\r   AND   ") + selectedOwners(type) + QStringLiteral("\r)");
    }

    QString emailQuery(const mrv_tRecipientType &type, const QString &code) const
    {
        const QString kind = QStringLiteral("AND   WBTIP = ") + sqlText(QStringLiteral("E"));
        const QString where = ownsAddresses(type) ? ownerLines(type, code, {}) + QStringLiteral("\rAND   WBDES = ") +
                                                        sqlText(type.Field) + QLatin1Char('\r') + kind
                                                  : ownerLines(type, code, kind);
        return QStringLiteral("SELECT WBIND FROM ") + table(m_records, "IND_WEB") + QLatin1Char('\r') + where;
    }

    QString faxQuery(const mrv_tRecipientType &type, const QString &code) const
    {
        QString where = ownerLines(type, code, {});
        if (ownsAddresses(type))
            where += QStringLiteral("\rAND   NRDES = ") + sqlText(faxDescription(type));
        return QStringLiteral("SELECT NRTEL FROM ") + table(m_records, "NUM_TEL") + QLatin1Char('\r') + where;
    }

    host::Records &m_records;
    host::Connection &m_connection;
};

// The addresses of the customers and agents of many messages: each kind of
// each recipient type, when first asked for, is read for all of them with a
// query per 500 codes. QueriedAddresses would run thousands of
// statements for a template filled for thousands of documents. Codes match
// as the database matches them, whatever their case; an owner's addresses
// come in the order of their rows' RECORD_ID.
class GatheredAddresses : public AddressSource
{
public:
    GatheredAddresses(host::Records &records, host::Connection &connection, const QStringList &customers,
                      const QStringList &agents)
        : m_records(records), m_connection(connection), m_customers(distinctCodes(customers)),
          m_agents(distinctCodes(agents))
    {}

    QString addresses(const mrv_tRecipientType &type, AddressKind kind, const QString &code) override
    {
        const std::pair<qint32, AddressKind> slot(type.Code, kind);
        auto gathered = m_addresses.find(slot);
        if (gathered == m_addresses.end()) {
            gathered =
                m_addresses
                    .emplace(slot, valuesByCode(isAgentType(type) ? m_agents : m_customers,
                                                [&](const QString &codes) { return addressQuery(type, kind, codes); }))
                    .first;
        }
        return joined(gathered->second.value(code.toCaseFolded()));
    }

    QString channel(const QString &customer) override
    {
        if (!m_channels) {
            m_channels = valuesByCode(m_customers, [&](const QString &codes) {
                return QStringLiteral("SELECT CDCON, COMID FROM ") + table(m_records, "CON_TRO") +
                       QStringLiteral("\rWHERE CDCON IN (") + codes + QLatin1Char(')');
            });
        }
        return m_channels->value(customer.toCaseFolded()).value(0);
    }

private:
    static constexpr qsizetype kCodesPerQuery = 500;

    // One code of those that differ only in case: the database finds the
    // rest through it.
    static QStringList distinctCodes(const QStringList &codes)
    {
        QStringList distinct;
        QSet<QString> folded;
        for (const QString &code : codes) {
            if (!folded.contains(code.toCaseFolded())) {
                folded.insert(code.toCaseFolded());
                distinct << code;
            }
        }
        return distinct;
    }

    // The second column of the rows of the query for every code, by the
    // first, in case-folded form.
    QHash<QString, QStringList> valuesByCode(const QStringList &codes,
                                             const std::function<QString(const QString &codeList)> &query)
    {
        QHash<QString, QStringList> found;
        for (qsizetype first = 0; first < codes.size(); first += kCodesPerQuery) {
            QStringList literals;
            for (const QString &code : codes.mid(first, kCodesPerQuery))
                literals << sqlText(code);
            auto rows = m_connection.open(query(literals.join(QStringLiteral(", "))));
            for (; !rows->eof(); rows->moveNext())
                found[nullSafeText(rows->field(0)).toCaseFolded()] << nullSafeText(rows->field(1));
        }
        return found;
    }

    // The owner's code and the address, for the owners in `codes`. Contacts
    // and sites hold their RECORD_ID as text in TBKEY.
    QString addressQuery(const mrv_tRecipientType &type, AddressKind kind, const QString &codes) const
    {
        const bool email = kind == AddressKind::Email;
        const QString from = (email ? QStringLiteral("A.WBIND FROM ") + table(m_records, "IND_WEB")
                                    : QStringLiteral("A.NRTEL FROM ") + table(m_records, "NUM_TEL")) +
                             QStringLiteral(" A");
        const QString kindLine =
            email ? QStringLiteral("\rAND   A.WBTIP = ") + sqlText(QStringLiteral("E")) : QString();
        const QString owner = QStringLiteral("\rWHERE A.TBNAM = ") + sqlText(type.Table);
        const QString order = QStringLiteral("\rORDER BY A.RECORD_ID");
        if (ownsAddresses(type)) {
            const QString slot = email ? QStringLiteral("\rAND   A.WBDES = ") + sqlText(type.Field) + kindLine
                                       : QStringLiteral("\rAND   A.NRDES = ") + sqlText(faxDescription(type));
            return QStringLiteral("SELECT A.TBKEY, ") + from + owner + QStringLiteral("\rAND   A.TBKEY IN (") + codes +
                   QLatin1Char(')') + slot + order;
        }
        return QStringLiteral("SELECT O.CDCON, ") + from + QStringLiteral("\rJOIN ") +
               table(m_records, isContactType(type) ? "CON_RIF" : "CON_SED") +
               QStringLiteral(" O ON A.TBKEY = CAST(O.RECORD_ID AS VARCHAR(20))") + owner + kindLine +
               QStringLiteral("\rAND   O.CDCON IN (") + codes + QStringLiteral(")\rAND   O.") + selectedOwners(type) +
               order;
    }

    host::Records &m_records;
    host::Connection &m_connection;
    const QStringList m_customers;
    const QStringList m_agents;
    std::map<std::pair<qint32, AddressKind>, QHash<QString, QStringList>> m_addresses;
    std::optional<QHash<QString, QStringList>> m_channels;
};

// The addresses of one message, found through its customer and agent.
struct MessageAddresses
{
    QString customerEmail, customerFax, agentEmail, agentFax, otherAgentEmail, otherAgentFax;
    QString agentChannel;
    QString customer; // the customer whose channel decides the To list
};

// Walks the selected recipient types for the customers and agents of a
// message.
class AddressFinder
{
public:
    AddressFinder(AddressSource &source, const QList<mrv_tRecipientType> &types) : m_source(source), m_types(types) {}

    MessageAddresses find(const QList<mrvTemplateField> &fields)
    {
        MessageAddresses found;
        for (const mrvTemplateField &field : fields) {
            if (field.Value().isEmpty())
                continue;
            if (field.Linked() == eDatasetLinkedField_Customer)
                addCustomer(found, field.Value());
            else if (field.Linked() == eDatasetLinkedField_Agent)
                addAgent(found, field.Value());
        }
        found.customer = linkedValue(fields, eDatasetLinkedField_Customer);
        return found;
    }

private:
    void addCustomer(MessageAddresses &found, const QString &code)
    {
        for (const mrv_tRecipientType &type : m_types) {
            if (!found.customerEmail.isEmpty() && !found.customerFax.isEmpty())
                break;
            if (isAgentType(type))
                continue;
            if (found.customerEmail.isEmpty())
                found.customerEmail = m_source.addresses(type, AddressKind::Email, code);
            if (found.customerFax.isEmpty() && givesFax(type))
                found.customerFax = m_source.addresses(type, AddressKind::Fax, code);
        }
    }

    void addAgent(MessageAddresses &found, const QString &code)
    {
        for (const mrv_tRecipientType &type : m_types) {
            if (!isAgentType(type))
                continue;
            if (isEmailSlot(type.Field))
                addAgentAddresses(found, m_source.addresses(type, AddressKind::Email, code), found.agentEmail,
                                  found.otherAgentEmail, QStringLiteral("EM"));
            else
                addAgentAddresses(found, m_source.addresses(type, AddressKind::Fax, code), found.agentFax,
                                  found.otherAgentFax, QStringLiteral("FX"));
        }
    }

    static void addAgentAddresses(MessageAddresses &found, const QString &addresses, QString &agent, QString &other,
                                  const QString &channel)
    {
        if (addresses.isEmpty())
            return;
        if (found.agentEmail.isEmpty() && found.agentFax.isEmpty()) {
            agent = addresses;
            found.agentChannel = channel;
        } else {
            other = joined({other, addresses});
        }
    }

    AddressSource &m_source;
    const QList<mrv_tRecipientType> &m_types;
};

// How the template's lists are resolved: e-mail lists allow e-mail only,
// fax lists fax only, both as on the server.
host::RecipientOptions resolutionOptions(bool email)
{
    host::RecipientOptions options;
    options.email = email;
    options.fax = !email;
    options.addressBookServer = true;
    return options;
}

// Lists resolved against the address book, each once per call: the agents'
// and the fixed lists recur in message after message, and every resolution
// searches the address book.
class ResolvedLists
{
public:
    ResolvedLists(host::Records &records, host::Connection &connection) : m_records(records), m_connection(connection)
    {}

    QString operator()(const QString &list, bool email)
    {
        QHash<QString, QString> &known = email ? m_emails : m_faxes;
        const auto found = known.constFind(list);
        if (found != known.cend())
            return *found;
        QString resolved = list;
        m_records.resolveRecipients(nullptr, resolved, resolutionOptions(email));
        return known.insert(list, resolved).value();
    }

    // Resolves the lists of many messages in one pass, which the host's
    // resolution of a list at a time would make a search per item. The
    // host's resolution is the counterpart of mrvMessage::ResolveRecipients
    // with the unresolved items after the resolved ones; so is each list's
    // text here.
    void resolveTogether(const QStringList &lists, bool email)
    {
        QHash<QString, QString> &known = email ? m_emails : m_faxes;
        QStringList pending;
        QSet<QString> seen;
        for (const QString &list : lists) {
            if (!known.contains(list) && !seen.contains(list)) {
                seen.insert(list);
                pending << list;
            }
        }
        const auto config = m_records.configClass();
        RecipientResolver resolver(m_connection, config.get(), m_records);
        const QList<RecipientResolver::Resolution> resolutions =
            resolver.resolveAll(nullptr, pending, resolutionOptions(email));
        for (qsizetype i = 0; i < pending.size(); ++i)
            known.insert(pending.at(i), joined({resolutions.at(i).resolved, resolutions.at(i).unknown}));
    }

private:
    host::Records &m_records;
    host::Connection &m_connection;
    QHash<QString, QString> m_emails;
    QHash<QString, QString> m_faxes;
};

// One message: its addresses queried as they are asked for. More: gathered
// for all of them at once.
std::unique_ptr<AddressSource> addressSource(host::Records &records, host::Connection &connection,
                                             const mrvTemplateFields &parsed, const QList<qint32> &messages)
{
    if (messages.size() <= 1)
        return std::make_unique<QueriedAddresses>(records, connection);
    QStringList customers;
    QStringList agents;
    for (const qint32 message : messages) {
        const QList<mrvTemplateField> fields = parsed.Fields(message);
        customers << linkedValue(fields, eDatasetLinkedField_Customer);
        for (const mrvTemplateField &field : fields) {
            if (field.Linked() == eDatasetLinkedField_Customer)
                customers << field.Value();
            else if (field.Linked() == eDatasetLinkedField_Agent)
                agents << field.Value();
        }
    }
    return std::make_unique<GatheredAddresses>(records, connection, customers, agents);
}

// Every list the messages found, resolved in one pass for each kind.
void resolveTogether(ResolvedLists &resolved, const QList<MessageAddresses> &found)
{
    QStringList emails;
    QStringList faxes;
    for (const MessageAddresses &addresses : found) {
        emails << addresses.customerEmail << addresses.agentEmail << addresses.otherAgentEmail;
        faxes << addresses.customerFax << addresses.agentFax << addresses.otherAgentFax;
    }
    resolved.resolveTogether(emails, true);
    resolved.resolveTogether(faxes, false);
}

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
        ResolvedLists resolved(records, connection());
        const QString cc = resolved(nullSafeText(stored->field(QStringLiteral("MTCCC"))), false);
        const QString fixedCcn = resolved(nullSafeText(stored->field(QStringLiteral("MTCCN"))), false);
        const QList<qint32> messages = messageRange(parsed, lIndex);
        const std::unique_ptr<AddressSource> source = addressSource(records, connection(), parsed, messages);
        AddressFinder finder(*source, selected);
        QList<MessageAddresses> found;
        for (const qint32 message : messages)
            found << finder.find(parsed.Fields(message));
        if (messages.size() > 1)
            resolveTogether(resolved, found);
        for (const MessageAddresses &addresses : std::as_const(found)) {
            QString customerEmail = resolved(addresses.customerEmail, true);
            QString customerFax = resolved(addresses.customerFax, false);
            const QString agentEmail = resolved(addresses.agentEmail, true);
            const QString agentFax = resolved(addresses.agentFax, false);
            const QString otherEmail = resolved(addresses.otherAgentEmail, true);
            const QString otherFax = resolved(addresses.otherAgentFax, false);
            QString ccn = fixedCcn;
            const bool byFax = addresses.agentChannel == QLatin1String("FX");
            if (agentIn == 0 && !byFax)
                customerEmail = joined({customerEmail, agentEmail});
            else if (agentIn == 0)
                customerFax = joined({customerFax, agentFax});
            colTo << (source->channel(addresses.customer) == QLatin1String("FX") ? customerFax : customerEmail);
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
