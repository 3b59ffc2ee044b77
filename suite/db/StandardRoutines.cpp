#include "MemoryRecordSet.h"
#include "ReferenceData.h"
#include "Routines.h"
#include "ServerRoutines.h"
#include "SqlValueTools.h"
#include "SuiteConnection.h"
#include "host/Failure.h"

#include <QHash>
#include <QSet>
#include <QSqlError>

#include <algorithm>
#include <optional>

namespace mrv::suite::db {

namespace {

// ---------------------------------------------------------------------------
// Address-book search (XFN_IND_ALL_CNT, XFN_IND_ALL_CHK). The rules are
// documented in docs/address-book.md; every rule is one lookup in the index
// (IKTIP, IKKEY) of the company's IND_KEY.

// What a search looks for and how: the functions' parameters, or, for
// many texts searched together (searchAddressBook), a column of the table of
// texts, whose number then leads every row, and flags written as literals.
struct SearchTerms
{
    QString text;
    QString email;
    QString fax;
    QString server;
    QString texts;  // the table of texts and a join, in front of a FROM's table
    QString number; // the text's number and a comma, in front of a select list
};

const SearchTerms functionParameters{QStringLiteral("@TEXT"),
                                     QStringLiteral("@EMAIL"),
                                     QStringLiteral("@FAX"),
                                     QStringLiteral("@SERVER"),
                                     QString(),
                                     QString()};

// Codes, addresses and names are stored in lower case, trimmed.
QString searchedText(const SearchTerms &terms)
{
    return QStringLiteral("LOWER(LTRIM(RTRIM(") + terms.text + QStringLiteral(")))");
}

// The same separators as faxKey() below drops.
QString searchedNumber(const SearchTerms &terms)
{
    return QStringLiteral("REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(") + terms.text +
           QStringLiteral(", ' ', ''), '/', ''), '-', ''), '.', ''), '(', ''), ')', '')");
}

// Above every character: a name key starting with the searched text sorts
// between the text and the text followed by this.
const QString highestCharacter = QString::fromUcs4(U"\U0010FFFF");

// The start of a query of the keys for the columns.
QString keysSelect(const QString &columns, const SearchTerms &terms)
{
    return QStringLiteral("SELECT ") + terms.number + columns + QStringLiteral(" FROM ") + terms.texts +
           QStringLiteral("$PIND_KEY WHERE ");
}

// Keys a message can be sent to as typed: user and group codes, e-mail
// addresses, fax numbers.
QString deliverableKeys(const QString &columns, const SearchTerms &terms)
{
    const QString select = keysSelect(columns, terms);
    const QString text = searchedText(terms);
    return select + QStringLiteral("IKTIP = 'U' AND IKKEY = ") + text + QStringLiteral("\nUNION ") + select +
           QStringLiteral("IKTIP = 'E' AND IKKEY = ") + text + QStringLiteral(" AND (") + terms.email +
           QStringLiteral(") <> 0\nUNION ") + select + QStringLiteral("IKTIP = 'F' AND IKKEY = ") +
           searchedNumber(terms) + QStringLiteral(" AND (") + terms.fax + QStringLiteral(") <> 0");
}

// Parties found by their code or by the start of a word of their name. Names
// are left out of server-side resolution, where nobody could choose among
// namesakes. The function's list only feeds an IN, so a party found twice
// needs no sorting out.
QString partiesByCodeOrName(const SearchTerms &terms)
{
    const QString select = keysSelect(QStringLiteral("IKCOD"), terms);
    const QString text = searchedText(terms);
    return select + QStringLiteral("IKTIP = 'C' AND IKKEY = ") + text + QStringLiteral("\n    UNION ALL ") + select +
           QStringLiteral("IKTIP = 'N' AND IKKEY >= ") + text + QStringLiteral(" AND IKKEY < CONCAT(") + text +
           QStringLiteral(", '") + highestCharacter + QStringLiteral("') AND LEN(LTRIM(") + terms.text +
           QStringLiteral(")) > 0 AND (") + terms.server + QStringLiteral(") = 0");
}

// A party found by code or name is offered through each channel it has and
// the caller allows: internal parties and e-mail by INEEE, fax by INFFF.
const QString partyRecipientColumns =
    QStringLiteral("CASE WHEN C.CHANNEL = 'F' THEN A.INFFF ELSE A.INEEE END, A.INCOD, A.INTBC, A.INNAM");
const QString channels = QStringLiteral("(SELECT 'E' AS CHANNEL UNION ALL SELECT 'F') C");

QString channelAllowed(const SearchTerms &terms)
{
    return QStringLiteral("((C.CHANNEL = 'E' AND (A.ININT <> 0 OR (A.INEML <> 0 AND (") + terms.email +
           QStringLiteral(") <> 0)))\n    OR (C.CHANNEL = 'F' AND A.INFAX <> 0 AND (") + terms.fax +
           QStringLiteral(") <> 0))");
}

// The cross join keeps the party outermost, so that a name shared by
// hundreds of parties reads each of their rows once rather than once per
// channel.
QString partyRecipients()
{
    return QStringLiteral("SELECT ") + partyRecipientColumns + QStringLiteral("\nFROM $PIND_ALL A\nCROSS JOIN ") +
           channels + QStringLiteral("\nWHERE ") + channelAllowed(functionParameters) +
           QStringLiteral("\n  AND A.INCOD IN (\n    ") + partiesByCodeOrName(functionParameters) + QStringLiteral(")");
}

// The recipients of XFN_IND_ALL_CHK for the table of texts T (N, SEARCHED),
// each row led by its text's number, in the function's order within a text.
// The parties found are joined rather than listed for an IN, which would
// read every party once per text; UNION removes a party found twice.
QString recipientsOfTexts(const SearchTerms &terms)
{
    return QStringLiteral("SELECT K.N, K.IKIND AS IND, K.IKCOD AS COD, A.INTBC AS TAB, A.INNAM AS DES\nFROM (\n") +
           deliverableKeys(QStringLiteral("IKCOD, IKIND"), terms) +
           QStringLiteral("\n) K\nJOIN $PIND_ALL A ON A.INCOD = K.IKCOD\nUNION\nSELECT P.N, ") + partyRecipientColumns +
           QStringLiteral("\nFROM (\n") + partiesByCodeOrName(terms) +
           QStringLiteral("\n) P\nJOIN $PIND_ALL A ON A.INCOD = P.IKCOD\nCROSS JOIN ") + channels +
           QStringLiteral("\nWHERE ") + channelAllowed(terms) + QStringLiteral("\nORDER BY N, DES, IND");
}

ColumnDef parameter(const QString &name, ColumnType type)
{
    ColumnDef definition;
    definition.name = name;
    definition.type = type;
    return definition;
}

ColumnDef textParameter(const QString &name)
{
    return parameter(name, ColumnType::Text);
}

ColumnDef numberParameter(const QString &name)
{
    return parameter(name, ColumnType::Integer);
}

const QList<ColumnDef> addressBookParameters = {
    textParameter(QStringLiteral("@TEXT")), numberParameter(QStringLiteral("@EMAIL")),
    numberParameter(QStringLiteral("@FAX")), numberParameter(QStringLiteral("@SERVER"))};

// How many parties the text names exactly, so that it can be sent as typed.
FunctionDef addressBookCount()
{
    return {QStringLiteral("XFN_IND_ALL_CNT"), addressBookParameters, false,
            QStringLiteral("SELECT COUNT(*) FROM (\n") + deliverableKeys(QStringLiteral("IKCOD"), functionParameters) +
                QStringLiteral("\n) M")};
}

// The recipients the text may mean: IND is the text to put in the message,
// COD the party's entry code, TAB its table and DES its name.
FunctionDef addressBookCheck()
{
    return {QStringLiteral("XFN_IND_ALL_CHK"), addressBookParameters, true,
            QStringLiteral("SELECT K.IKIND AS IND, K.IKCOD AS COD, A.INTBC AS TAB, A.INNAM AS DES\nFROM (\n") +
                deliverableKeys(QStringLiteral("IKCOD, IKIND"), functionParameters) +
                QStringLiteral("\n) K\nJOIN $PIND_ALL A ON A.INCOD = K.IKCOD\nUNION\n") + partyRecipients() +
                QStringLiteral("\nORDER BY DES, IND")};
}

// ---------------------------------------------------------------------------
// History of a record (XFN_MSG_FAX_GET). The icon codes of _ICON:
// 10 received fax, 11 outgoing fax, 12 fax being processed, 13 trash,
// 14 public message, 15 draft, 16 message read, 17 message not read,
// 18 message sent. HSTYP is the message type as text ("1" task, "3" personal
// task) and "FAX" for faxes. From the user's point of view every sending
// shows once: the user's own copies, the public copies, and the sender's copy
// of what others sent without copying the user.
FunctionDef messageHistory()
{
    return {
        QStringLiteral("XFN_MSG_FAX_GET"),
        {textParameter(QStringLiteral("@TABLE")), textParameter(QStringLiteral("@KEY")),
         textParameter(QStringLiteral("@USER"))},
        true,
        QStringLiteral("SELECT M.RECORD_ID, M.MSPRY AS HSPRY, CAST(M.MSTYP AS VARCHAR(10)) AS HSTYP,\n"
                       "       CASE WHEN M.MSFLD = 4 THEN 14 WHEN M.MSFLD = 3 THEN 13 WHEN M.MSFLD = 0 THEN 15\n"
                       "            WHEN M.MSFLD = 2 THEN 18 WHEN M.MSSTA = 0 THEN 17 ELSE 16 END AS _ICON,\n"
                       "       M.MSMIT AS HSFRM, M.MSOBJ AS HSDES, M.MSDTS AS HSDAT, M.TKCPL AS HSCPL,\n"
                       "       M.MSDTR AS HSDTR, M.MSUSR AS HSUSR, 'SYS_MSG' AS HSTAB\n"
                       "FROM SYS_MSG M\n"
                       "WHERE ((M.MSLNK <> 0 AND M.MSTBL = @TABLE AND M.MSKEY = @KEY)\n"
                       "    OR (M.MSASS <> 0 AND M.MSATB = @TABLE AND M.MSAKE = @KEY))\n"
                       "  AND (M.MSUSR = @USER OR M.MSFLD = 4\n"
                       "    OR (M.MSFLD = 2 AND NOT EXISTS (SELECT 1 FROM SYS_MSG O\n"
                       "                                   WHERE O.MSSND = M.RECORD_ID AND O.MSUSR = @USER)))\n"
                       "UNION ALL\n"
                       "SELECT F.RECORD_ID, F.FXPRY, 'FAX',\n"
                       "       CASE WHEN F.FXTYP = 2 THEN 13 WHEN F.FXTYP IN (0, 5) THEN 10 WHEN F.FXTYP = 4 THEN 12\n"
                       "            ELSE 11 END,\n"
                       "       F.FXRAS, F.FXOBJ, ISNULL(F.FXDAT, F.FXDTR), NULL, F.FXDTR, F.FXUSR, 'SYS_FAX'\n"
                       "FROM SYS_FAX F\n"
                       "WHERE (F.FXLNK <> 0 AND F.FXTBL = @TABLE AND F.FXKEY = @KEY)\n"
                       "   OR (F.TBNAM = @TABLE AND F.TBKEY = @KEY)\n"
                       "ORDER BY HSDAT DESC")};
}

// The value of a notification parameter of the company, for the batches of
// its notifications ("dbo.A01_XFN_SYS_NTG_GET(5)"). A parameter without a
// company serves every company.
FunctionDef notificationParameter()
{
    return {QStringLiteral("XFN_SYS_NTG_GET"),
            {numberParameter(QStringLiteral("@ID"))},
            false,
            QStringLiteral("SELECT NGVAL FROM SYS_NTG WHERE RECORD_ID = @ID AND (CDAZI = $COMPANY OR CDAZI IS NULL)")};
}

// ---------------------------------------------------------------------------
// Neighbours in a list (SYS_XSP_SYS_MOV_REC).

QVariant parameterValue(const QList<host::ProcedureParameter> &parameters, const QString &procedure,
                        const QString &name)
{
    for (const host::ProcedureParameter &parameter : parameters) {
        QStringView given(parameter.name);
        if (given.startsWith(u'@'))
            given = given.mid(1);
        if (given.compare(name, Qt::CaseInsensitive) == 0)
            return parameter.value;
    }
    throw Failure(QStringLiteral("The procedure %1 needs the parameter @%2").arg(procedure, name));
}

qsizetype columnIndex(const QueryResult &result, const QString &name)
{
    for (qsizetype i = 0; i < result.columns.size(); ++i) {
        if (result.columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The keys in list order: by POSITION when the query numbers its rows,
// otherwise as the query returns them.
QList<qint64> keysInListOrder(const QueryResult &list)
{
    const qsizetype key = columnIndex(list, QStringLiteral("RECORD_ID"));
    if (key < 0)
        throw Failure(QStringLiteral("The list of SYS_XSP_SYS_MOV_REC must return RECORD_ID"));
    QList<QVariantList> rows = list.rows;
    const qsizetype position = columnIndex(list, QStringLiteral("POSITION"));
    if (position >= 0) {
        std::stable_sort(rows.begin(), rows.end(), [position](const QVariantList &a, const QVariantList &b) {
            return a.at(position).toLongLong() < b.at(position).toLongLong();
        });
    }
    QList<qint64> keys;
    keys.reserve(rows.size());
    for (const QVariantList &row : rows)
        keys << row.at(key).toLongLong();
    return keys;
}

std::unique_ptr<host::RecordSet> moveRecord(SuiteConnection &connection,
                                            const QList<host::ProcedureParameter> &parameters)
{
    const QString procedure = QStringLiteral("SYS_XSP_SYS_MOV_REC");
    const QString list = parameterValue(parameters, procedure, QStringLiteral("SQL")).toString();
    bool known = false;
    const qint64 bookmark = parameterValue(parameters, procedure, QStringLiteral("BOOKMARK")).toLongLong(&known);
    if (connection.dialect().storesRoutines()) {
        return makeRecordSet(
            callServerMove(connection, connection.translate(list), known ? QVariant(bookmark) : QVariant()));
    }
    const QList<qint64> keys = keysInListOrder(connection.query(list));
    const qsizetype at = known ? keys.indexOf(bookmark) : -1;
    const qint64 next = at >= 0 && at + 1 < keys.size() ? keys.at(at + 1) : 0;
    const qint64 previous = at > 0 ? keys.at(at - 1) : 0;
    return makeRecordSet({{QStringLiteral("NEXT"), QStringLiteral("PREV")}, {{next, previous}}});
}

// ---------------------------------------------------------------------------
// Address-book refresh (XSC_IND_ALL_LST).

struct Address
{
    QString slot;
    QString value;
};

// One addressable party of the company.
struct Party
{
    QString table;
    QString key;
    QString name;
    QString customer;
    QString code; // searched as a code; empty for contacts and branches
    bool internal = false;
    QList<Address> emails;
    QList<Address> faxes;
};

using AddressesByOwner = QHash<QString, QList<Address>>;

QString ownerKey(const QString &table, const QString &key)
{
    return table.toUpper() + u'|' + key.toLower();
}

// A name that cannot disturb the recipient syntax: ";" separates
// recipients, "<", ">" and double quotes frame addresses, and "@" makes an
// e-mail address.
QString displayName(const QString &name)
{
    QString clean = name;
    for (const QChar special : {u';', u'<', u'>', u'"', u'@'})
        clean.replace(special, u' ');
    return clean.simplified();
}

QString recipient(const QString &name, const QString &address)
{
    const QString shown = displayName(name);
    return shown.isEmpty() ? address : shown + QStringLiteral(" <") + address + u'>';
}

// The number in quotes makes the recipient a fax for the sending pipeline.
QString faxRecipient(const QString &name, const QString &number)
{
    const QString shown = displayName(name);
    return shown.isEmpty() ? number : shown + QStringLiteral(" <\"") + number + QStringLiteral("\">");
}

QString faxKey(const QString &number)
{
    QString key = number;
    for (const QChar separator : {u' ', u'/', u'-', u'.', u'(', u')'})
        key.remove(separator);
    return key.toLower();
}

// Every word-aligned tail of the name: "rossi mario srl", "mario srl", "srl".
QStringList nameKeys(const QString &name)
{
    const QStringList words = displayName(name).toLower().split(u' ', Qt::SkipEmptyParts);
    QStringList keys;
    for (qsizetype i = 0; i < words.size(); ++i)
        keys << words.mid(i).join(u' ').left(255);
    return keys;
}

// The address of the first slot in order of preference, else the first one.
QString mainAddress(const QList<Address> &addresses, const QList<AddressSlot> &preference)
{
    for (const AddressSlot &slot : preference) {
        for (const Address &address : addresses) {
            if (address.slot.compare(slot.name, Qt::CaseInsensitive) == 0)
                return address.value;
        }
    }
    return addresses.isEmpty() ? QString() : addresses.first().value;
}

enum class PartyKind {
    Internal, // users and groups: their codes are recipients as typed
    Coded,    // customers and agents: found by code, reached through their addresses
    Uncoded,  // contacts and branches
};

// Each query returns key, name, customer code and an own e-mail address.
struct PartySource
{
    QString table;
    QString query;
    PartyKind kind;
};

const QList<PartySource> &partySources()
{
    static const QList<PartySource> sources = {
        {QStringLiteral("SYS_USR"), QStringLiteral("SELECT CDUSR, USNAM, NULL, USEML FROM SYS_USR ORDER BY CDUSR"),
         PartyKind::Internal},
        {QStringLiteral("SYS_GRU"), QStringLiteral("SELECT CDGRU, GRDES, NULL, NULL FROM SYS_GRU ORDER BY CDGRU"),
         PartyKind::Internal},
        {QStringLiteral("CON_TRO"), QStringLiteral("SELECT CDCON, CORAS, CDCON, NULL FROM $PCON_TRO ORDER BY CDCON"),
         PartyKind::Coded},
        {QStringLiteral("CON_RIF"),
         QStringLiteral("SELECT RECORD_ID, RFNOM, CDCON, NULL FROM $PCON_RIF ORDER BY RECORD_ID"), PartyKind::Uncoded},
        {QStringLiteral("CON_SED"),
         QStringLiteral("SELECT RECORD_ID, SERAS, CDCON, NULL FROM $PCON_SED ORDER BY RECORD_ID"), PartyKind::Uncoded},
        {QStringLiteral("AGE_NTI"), QStringLiteral("SELECT CDAGE, AGRAS, NULL, NULL FROM $PAGE_NTI ORDER BY CDAGE"),
         PartyKind::Coded},
    };
    return sources;
}

class AddressBookRefresh
{
public:
    explicit AddressBookRefresh(SuiteConnection &connection)
        : m_connection(connection), m_prefix(connection.companyPrefix())
    {}

    void run()
    {
        readAddresses();
        SuiteConnection::Transaction transaction(m_connection);
        m_connection.nativeQuery(QStringLiteral("DELETE FROM ") + m_prefix + QStringLiteral("IND_KEY"));
        m_connection.nativeQuery(QStringLiteral("DELETE FROM ") + m_prefix + QStringLiteral("IND_ALL"));
        m_insertParty.emplace(m_connection.prepare(partyInsert()));
        m_insertKey.emplace(m_connection.prepare(
            QStringLiteral("INSERT INTO %1IND_KEY (IKCOD, IKTIP, IKKEY, IKIND) VALUES (?, ?, ?, ?)").arg(m_prefix)));
        writeParties();
        transaction.commit();
    }

private:
    // Runs a query of the suite's dialect ("$P" for the company) row by row,
    // without holding a large table in memory.
    void forEachRow(const QString &sql, const RowVisitor &visit) { m_connection.forEachRow(sql, visit); }

    void readAddresses()
    {
        forEachRow(QStringLiteral("SELECT TBNAM, TBKEY, WBDES, WBIND FROM $PIND_WEB\n"
                                  "WHERE WBTIP = 'E' AND WBIND IS NOT NULL ORDER BY RECORD_ID"),
                   [this](const QVariantList &row) { collect(m_emails, row); });
        forEachRow(QStringLiteral("SELECT TBNAM, TBKEY, NRDES, NRTEL FROM $PNUM_TEL\n"
                                  "WHERE NRDES LIKE '%fax%' AND NRTEL IS NOT NULL ORDER BY RECORD_ID"),
                   [this](const QVariantList &row) { collect(m_faxes, row); });
    }

    static void collect(AddressesByOwner &owners, const QVariantList &row)
    {
        const QString value = row.value(3).toString().trimmed();
        if (!value.isEmpty())
            owners[ownerKey(row.value(0).toString(), row.value(1).toString())]
                << Address{row.value(2).toString(), value};
    }

    void writeParties()
    {
        for (const PartySource &source : partySources()) {
            forEachRow(source.query, [this, &source](const QVariantList &row) { write(party(source, row)); });
        }
    }

    Party party(const PartySource &source, const QVariantList &row) const
    {
        Party result;
        result.table = source.table;
        result.key = row.value(0).toString();
        const QString name = row.value(1).toString().trimmed();
        result.name = name.isEmpty() ? result.key : name;
        result.customer = row.value(2).toString();
        result.internal = source.kind == PartyKind::Internal;
        if (source.kind != PartyKind::Uncoded)
            result.code = result.key;
        result.emails = m_emails.value(ownerKey(result.table, result.key));
        result.faxes = m_faxes.value(ownerKey(result.table, result.key));
        const QString ownEmail = row.value(3).toString().trimmed();
        if (!ownEmail.isEmpty())
            result.emails.prepend(Address{ReferenceData::emailSlots().first().name, ownEmail});
        return result;
    }

    QString partyInsert() const
    {
        QStringList columns{QStringLiteral("INCOD"), QStringLiteral("INTBC"), QStringLiteral("ININD"),
                            QStringLiteral("INNAM"), QStringLiteral("INCDS"), QStringLiteral("ININT"),
                            QStringLiteral("INEML"), QStringLiteral("INFAX"), QStringLiteral("INEEE"),
                            QStringLiteral("INFFF")};
        for (const AddressSlot &slot : ReferenceData::emailSlots() + ReferenceData::faxSlots())
            columns << slot.bookColumn;
        QStringList marks;
        marks.fill(QStringLiteral("?"), columns.size());
        return QStringLiteral("INSERT INTO %1IND_ALL (%2) VALUES (%3)")
            .arg(m_prefix, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }

    static QVariantList slotValues(const QList<Address> &addresses, const QList<AddressSlot> &slots)
    {
        QVariantList values;
        for (const AddressSlot &slot : slots) {
            const auto found = std::find_if(addresses.cbegin(), addresses.cend(), [&slot](const Address &address) {
                return address.slot.compare(slot.name, Qt::CaseInsensitive) == 0;
            });
            values << (found == addresses.cend() ? QVariant(QMetaType::fromType<QString>()) : QVariant(found->value));
        }
        return values;
    }

    void write(const Party &party)
    {
        const QString code = party.table + u':' + party.key;
        const QString mainEmail = mainAddress(party.emails, ReferenceData::emailSlots());
        const QString mainFax = mainAddress(party.faxes, ReferenceData::faxSlots());
        const QString internalOrEmail = party.internal        ? recipient(party.name, party.code)
                                        : mainEmail.isEmpty() ? QString()
                                                              : recipient(party.name, mainEmail);
        QVariantList values{code,
                            party.table,
                            party.key,
                            party.name,
                            party.customer,
                            party.internal ? 1 : 0,
                            party.emails.isEmpty() ? 0 : 1,
                            party.faxes.isEmpty() ? 0 : 1,
                            internalOrEmail,
                            mainFax.isEmpty() ? QString() : faxRecipient(party.name, mainFax)};
        values << slotValues(party.emails, ReferenceData::emailSlots())
               << slotValues(party.faxes, ReferenceData::faxSlots());
        m_insertParty->run(values);
        writeKeys(party, code, internalOrEmail);
    }

    void writeKeys(const Party &party, const QString &code, const QString &internalRecipient)
    {
        QSet<QString> written;
        const auto key = [&](const QString &type, const QString &text, const QString &recipientText) {
            if (text.isEmpty() || written.contains(type + text))
                return;
            written.insert(type + text);
            m_insertKey->run({code, type, text, recipientText});
        };
        if (!party.code.isEmpty())
            key(party.internal ? QStringLiteral("U") : QStringLiteral("C"), party.code.trimmed().toLower(),
                party.internal ? internalRecipient : QString());
        for (const Address &email : party.emails)
            key(QStringLiteral("E"), email.value.toLower(), recipient(party.name, email.value));
        for (const Address &fax : party.faxes)
            key(QStringLiteral("F"), faxKey(fax.value), faxRecipient(party.name, fax.value));
        for (const QString &name : nameKeys(party.name))
            key(QStringLiteral("N"), name, QString());
    }

    SuiteConnection &m_connection;
    const QString m_prefix;
    AddressesByOwner m_emails;
    AddressesByOwner m_faxes;
    std::optional<SuiteConnection::Prepared> m_insertParty;
    std::optional<SuiteConnection::Prepared> m_insertKey;
};

std::unique_ptr<host::RecordSet> refreshAddressBook(SuiteConnection &connection,
                                                    const QList<host::ProcedureParameter> &)
{
    if (connection.companyPrefix().isEmpty())
        throw Failure(QStringLiteral("The address book belongs to a company: choose the company first"));
    if (connection.dialect().storesRoutines())
        callServerAddressBookRefresh(connection);
    else
        AddressBookRefresh(connection).run();
    return makeRecordSet({});
}

RoutineCatalog buildStandardRoutines()
{
    RoutineCatalog catalog;
    catalog.addFunction(addressBookCount());
    catalog.addFunction(addressBookCheck());
    catalog.addFunction(messageHistory());
    catalog.addFunction(notificationParameter());
    catalog.addProcedure(QStringLiteral("SYS_XSP_SYS_MOV_REC"), moveRecord);
    catalog.addProcedure(QStringLiteral("XSC_IND_ALL_LST"), refreshAddressBook);
    return catalog;
}

} // namespace

const RoutineCatalog &RoutineCatalog::standard()
{
    static const RoutineCatalog catalog = buildStandardRoutines();
    return catalog;
}

QHash<QString, QList<host::AddressBookEntry>> searchAddressBook(SuiteConnection &connection, const QStringList &texts,
                                                                bool email, bool fax, bool server)
{
    // PostgreSQL reads a rule's keys whole for a large list of texts rather
    // than look each text up, so a statement is best given many texts.
    constexpr qsizetype textsPerQuery = 10000;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const QString recipients = recipientsOfTexts({QStringLiteral("T.SEARCHED"), flag(email), flag(fax), flag(server),
                                                  QStringLiteral("T CROSS JOIN "), QStringLiteral("T.N, ")});
    QStringList distinct = texts;
    distinct.removeDuplicates();
    QHash<QString, QList<host::AddressBookEntry>> found;
    for (qsizetype first = 0; first < distinct.size(); first += textsPerQuery) {
        const QStringList searched = distinct.mid(first, textsPerQuery);
        QStringList table;
        for (qsizetype n = 0; n < searched.size(); ++n)
            table << u'(' + QString::number(n) + QStringLiteral(", ") + SqlValueTools::quoted(searched.at(n)) + u')';
        // A list of VALUES, which both engines take as a table; SQLite
        // would join at most 500 selects with UNION ALL.
        const QueryResult result =
            connection.query(QStringLiteral("WITH T (N, SEARCHED) AS (VALUES ") + table.join(QStringLiteral(", ")) +
                             QStringLiteral(")\n") + recipients);
        for (const QVariantList &row : result.rows)
            found[searched.at(row.at(0).toInt())] << host::AddressBookEntry{row.at(1).toString(), row.at(2).toString()};
    }
    return found;
}

} // namespace mrv::suite::db
