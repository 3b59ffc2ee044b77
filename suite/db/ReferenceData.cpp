#include "ReferenceData.h"

#include "SchemaCatalog.h"
#include "SuiteConnection.h"

#include <QSet>

namespace mrv::suite::db {

namespace {

const QString emailPrincipal = QStringLiteral("@ Principale");
const QString emailOffice = QStringLiteral("@ Ufficio");
const QString emailAdministration = QStringLiteral("@ Amministrazione");
const QString emailTechnical = QStringLiteral("@ Uff. Tecnico");
const QString emailWarehouse = QStringLiteral("@ Magazzino");
const QString emailPrivate = QStringLiteral("@ Privata");
const QString faxOffice = QStringLiteral("Fax (uff.)");
const QString faxHome = QStringLiteral("Fax (ab.)");
const QString faxOther = QStringLiteral("Altro Fax");

const QList<ValueListEntry> siteTypes = {
    {QStringLiteral("AV"), QStringLiteral("Avvisi")},
    {QStringLiteral("CO"), QStringLiteral("Corrispondenza")},
    {QStringLiteral("DE"), QStringLiteral("Destinazione merce")},
    {QStringLiteral("FT"), QStringLiteral("Fatturazione")},
    {QStringLiteral("GE"), QStringLiteral("Generale")},
    {QStringLiteral("PA"), QStringLiteral("Pagamenti")},
    {QStringLiteral("PR"), QStringLiteral("Preventivi")},
    {QStringLiteral("RE"), QStringLiteral("Recapito")},
};

// Values 0, 1, 2... in the order of the captions.
QList<ValueListEntry> numbered(const QStringList &captions, int first = 0)
{
    QList<ValueListEntry> entries;
    for (const QString &caption : captions)
        entries << ValueListEntry{QString::number(first++), caption};
    return entries;
}

QList<ValueListEntry> sameAsValue(const QStringList &values)
{
    QList<ValueListEntry> entries;
    for (const QString &value : values)
        entries << ValueListEntry{value, value};
    return entries;
}

QStringList prefixed(const QString &prefix, const QStringList &texts)
{
    QStringList result;
    for (const QString &text : texts)
        result << prefix + text;
    return result;
}

// Recipient types of templates; the codes say where a recipient's address is
// looked up, in this order: customer slots, contacts by the documents they
// receive, branches by type, agent slots.
QList<ValueListEntry> recipientTypes()
{
    QStringList captions = prefixed(QStringLiteral("Controparte: "),
                                    {emailPrincipal, emailOffice + QStringLiteral(", ") + faxOffice,
                                     emailAdministration + QStringLiteral(", ") + faxOther, emailTechnical,
                                     emailWarehouse, emailPrivate + QStringLiteral(", ") + faxHome});
    captions << prefixed(QStringLiteral("Riferimenti: "),
                         {QStringLiteral("offerte"), QStringLiteral("ordini"), QStringLiteral("documenti di trasporto"),
                          QStringLiteral("fatture")});
    for (const ValueListEntry &site : siteTypes)
        captions << QStringLiteral("Sedi: %1 (%2)").arg(site.text, site.value);
    captions << prefixed(QStringLiteral("Agente: "), {emailPrincipal, emailOffice, emailAdministration, emailTechnical,
                                                      emailWarehouse, emailPrivate, faxOffice, faxOther, faxHome});
    return numbered(captions, 1);
}

QStringList slotNames(const QList<AddressSlot> &slots)
{
    QStringList names;
    for (const AddressSlot &slot : slots)
        names << slot.name;
    return names;
}

QList<ValueListEntry> notificationStates()
{
    return {
        {QStringLiteral("0"), QStringLiteral("Disattiva")},
        {QStringLiteral("1"), QStringLiteral("Attiva")},
        {QStringLiteral("2"), QStringLiteral("In Esecuzione")},
        {QStringLiteral("3"), QStringLiteral("In Errore")},
        {QStringLiteral("10"), QStringLiteral("Da Disattivare")},
        {QStringLiteral("11"), QStringLiteral("Da Attivare")},
        {QStringLiteral("12"), QStringLiteral("Disattivazione in Corso")},
        {QStringLiteral("13"), QStringLiteral("Attivazione in Corso")},
    };
}

QList<ValueListDef> buildValueLists()
{
    const QList<ValueListEntry> operandTypes =
        numbered({QStringLiteral("Valore"), QStringLiteral("Campo"), QStringLiteral("Query"),
                  QStringLiteral("Condizione"), QStringLiteral("Campo (Prec.)")});
    return {
        // Template parsing examines as many linked-field kinds as this list
        // has rows, and reads from each the SYS_DAT column naming the field.
        {QStringLiteral("SYS_DAT"),
         QStringLiteral("LINKED_FIELD"),
         {{QStringLiteral("0"), QStringLiteral("DTCON")},
          {QStringLiteral("1"), QStringLiteral("DTPRK")},
          {QStringLiteral("2"), QStringLiteral("DTAGE")},
          {QStringLiteral("3"), QStringLiteral("DTATT")}},
         true},
        {QStringLiteral("SYS_MST"), QStringLiteral("MTREC"), recipientTypes()},
        {QStringLiteral("SYS_NTF"), QStringLiteral("NTUPD"), notificationStates()},
        {QStringLiteral("SYS_NTF"), QStringLiteral("NTTIP"),
         numbered({QStringLiteral("Generica"), QStringLiteral("Su Tabella")})},
        {QStringLiteral("SYS_NTF"), QStringLiteral("NTEXE"),
         numbered({QStringLiteral("Inserimento"), QStringLiteral("Modifica"), QStringLiteral("Cancellazione")}, 1)},
        {QStringLiteral("SYS_NTC"), QStringLiteral("NCIMP"),
         numbered({QStringLiteral("Ignora"), QStringLiteral("Esegui se attiva"), QStringLiteral("Esegui sempre")})},
        {QStringLiteral("SYS_NTC"), QStringLiteral("NCV1T"), operandTypes},
        {QStringLiteral("SYS_NTC"), QStringLiteral("NCV2T"), operandTypes},
        {QStringLiteral("SYS_MSG"), QStringLiteral("TKSTA"),
         numbered({QStringLiteral("Sconosciuto"), QStringLiteral("Accettata"), QStringLiteral("In Corso"),
                   QStringLiteral("Completata"), QStringLiteral("In Attesa"), QStringLiteral("Rinviata"),
                   QStringLiteral("Rifiutata")})},
        {QStringLiteral("SYS_MSG"), QStringLiteral("MSTYP"),
         numbered({QStringLiteral("Messaggio"), QStringLiteral("Attività"), QStringLiteral("Email"),
                   QStringLiteral("Attività Personale"), QStringLiteral("Pubblico"), QStringLiteral("Notifica")})},
        {QStringLiteral("SYS_MSG"), QStringLiteral("MSFLD"),
         numbered({QStringLiteral("Bozze"), QStringLiteral("Posta in Arrivo"), QStringLiteral("Posta Inviata"),
                   QStringLiteral("Cestino"), QStringLiteral("Pubblici")})},
        {QStringLiteral("SYS_MSG"), QStringLiteral("MSSTA"),
         numbered({QStringLiteral("Non Letto"), QStringLiteral("Letto"), QStringLiteral("Inoltrato"),
                   QStringLiteral("Risposto"), QStringLiteral("Pubblico")})},
        {QStringLiteral("SYS_MSG"), QStringLiteral("MSPRY"),
         numbered({QStringLiteral("Bassa"), QStringLiteral("Normale"), QStringLiteral("Alta")})},
        {QStringLiteral("IND_EMA"), QStringLiteral("WBDES"), sameAsValue(slotNames(ReferenceData::emailSlots()))},
        {QStringLiteral("NUM_TEL"), QStringLiteral("NRDES"),
         sameAsValue(slotNames(ReferenceData::faxSlots()) +
                     QStringList{QStringLiteral("Tel. (uff.)"), QStringLiteral("Tel. (ab.)"),
                                 QStringLiteral("Cellulare"), QStringLiteral("Altro Tel.")})},
        {QStringLiteral("CON_SED"), QStringLiteral("SETIP"), siteTypes},
    };
}

// Rows of one dictionary table, each holding its key columns first.
struct DictionaryRows
{
    QString table;
    QStringList keyColumns;
    QStringList otherColumns;
    QList<QVariantList> rows;
};

// Key columns are compared without regard to case, as the engine's unique
// indexes on them do.
QString keyOf(const QVariantList &row, qsizetype keyCount)
{
    QStringList parts;
    for (qsizetype i = 0; i < keyCount; ++i)
        parts << row.at(i).toString().toLower();
    return parts.join(QChar(0x1f));
}

QString placeholders(qsizetype count)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), count);
    return marks.join(QStringLiteral(", "));
}

void insertMissing(SuiteConnection &connection, const DictionaryRows &dictionary)
{
    const qsizetype keyCount = dictionary.keyColumns.size();
    QSet<QString> present;
    const QueryResult existing =
        connection.nativeQuery(QStringLiteral("SELECT ") + dictionary.keyColumns.join(QStringLiteral(", ")) +
                               QStringLiteral(" FROM ") + dictionary.table);
    for (const QVariantList &row : existing.rows)
        present.insert(keyOf(row, keyCount));
    const QStringList columns = dictionary.keyColumns + dictionary.otherColumns;
    SuiteConnection::Prepared insert = connection.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(dictionary.table, columns.join(QStringLiteral(", ")), placeholders(columns.size())));
    for (const QVariantList &row : dictionary.rows) {
        const QString key = keyOf(row, keyCount);
        if (present.contains(key))
            continue;
        insert.run(row);
        present.insert(key);
    }
}

DictionaryRows valueListRows()
{
    DictionaryRows dictionary{QStringLiteral("SYS_VAL"),
                              {QStringLiteral("VLTAB"), QStringLiteral("VLFLD"), QStringLiteral("VLVAL")},
                              {QStringLiteral("VLTXT")},
                              {}};
    for (const ValueListDef &list : ReferenceData::valueLists()) {
        for (const ValueListEntry &entry : list.entries)
            dictionary.rows << QVariantList{list.table, list.field, entry.value, entry.text};
    }
    return dictionary;
}

void restoreExactList(SuiteConnection &connection, const ValueListDef &list)
{
    QVariantList values{list.table, list.field};
    for (const ValueListEntry &entry : list.entries)
        values << entry.value;
    connection.nativeQuery(QStringLiteral("DELETE FROM SYS_VAL WHERE VLTAB = ? AND VLFLD = ? AND VLVAL NOT IN (%1)")
                               .arg(placeholders(list.entries.size())),
                           values);
    for (const ValueListEntry &entry : list.entries)
        connection.nativeQuery(
            QStringLiteral("UPDATE SYS_VAL SET VLTXT = ? WHERE VLTAB = ? AND VLFLD = ? AND VLVAL = ?"),
            {entry.text, list.table, list.field, entry.value});
}

DictionaryRows tableDictionaryRows()
{
    DictionaryRows dictionary{QStringLiteral("SYS_TBL"),
                              {QStringLiteral("TBNAM")},
                              {QStringLiteral("TBDES"), QStringLiteral("TBUSV"), QStringLiteral("TBTIP")},
                              {}};
    for (const TableDef &table : SchemaCatalog::tables())
        dictionary.rows << QVariantList{table.name, table.caption, table.userVisible ? 1 : 0, QStringLiteral("T")};
    for (const ViewDef &view : SchemaCatalog::views())
        dictionary.rows << QVariantList{view.name, view.caption, 0, QStringLiteral("V")};
    return dictionary;
}

int fieldType(ColumnType type)
{
    switch (type) {
    case ColumnType::Text:
    case ColumnType::SearchKey:
        return 0;
    case ColumnType::SmallInt:
        return 1;
    case ColumnType::Integer:
        return 2;
    case ColumnType::BigInt:
        return 3;
    case ColumnType::Double:
        return 4;
    case ColumnType::Blob:
        return 5;
    case ColumnType::DateTime:
        return 6;
    case ColumnType::Boolean:
        return 7;
    case ColumnType::LongText:
        return 8;
    }
    Q_UNREACHABLE();
    return 0;
}

const int recordKeyFieldType = 12;

DictionaryRows fieldDictionaryRows()
{
    DictionaryRows dictionary{
        QStringLiteral("SYS_GRD_GRD"),
        {QStringLiteral("GRNAM"), QStringLiteral("GRFLD")},
        {QStringLiteral("GRDES"), QStringLiteral("GRTYP"), QStringLiteral("GRGRP"), QStringLiteral("GRPOS")},
        {}};
    const QVariant noGroup(QMetaType::fromType<QString>());
    for (const TableDef &table : SchemaCatalog::tables()) {
        if (!table.userVisible)
            continue;
        dictionary.rows << QVariantList{
            table.name, QStringLiteral("RECORD_ID"), QStringLiteral("Identificativo"), recordKeyFieldType, noGroup, 0};
        int position = 0;
        for (const ColumnDef &column : table.columns) {
            const QString caption = column.caption.isEmpty() ? column.name : column.caption;
            dictionary.rows << QVariantList{table.name, column.name, caption, fieldType(column.type),
                                            noGroup,    ++position};
        }
    }
    return dictionary;
}

DictionaryRows reportRows()
{
    DictionaryRows dictionary{
        QStringLiteral("SYS_TBR"), {QStringLiteral("CDREP")}, {QStringLiteral("TBNAM"), QStringLiteral("TRDES")}, {}};
    for (const ReportDef &report : ReferenceData::reports())
        dictionary.rows << QVariantList{report.code, report.table, report.caption};
    return dictionary;
}

} // namespace

void ReferenceData::install(SuiteConnection &connection)
{
    SuiteConnection::Transaction transaction(connection);
    insertMissing(connection, valueListRows());
    for (const ValueListDef &list : valueLists()) {
        if (list.exact)
            restoreExactList(connection, list);
    }
    insertMissing(connection, tableDictionaryRows());
    insertMissing(connection, fieldDictionaryRows());
    insertMissing(connection, reportRows());
    transaction.commit();
}

const QList<ValueListDef> &ReferenceData::valueLists()
{
    static const QList<ValueListDef> lists = buildValueLists();
    return lists;
}

const QList<ReportDef> &ReferenceData::reports()
{
    static const QList<ReportDef> list = {
        {QStringLiteral("DOC_VEN_STAMPA"), QStringLiteral("DOC_VEN"), QStringLiteral("Documento di vendita")},
        {QStringLiteral("CON_TRO_SCHEDA"), QStringLiteral("CON_TRO"), QStringLiteral("Scheda controparte")},
    };
    return list;
}

const QList<AddressSlot> &ReferenceData::emailSlots()
{
    static const QList<AddressSlot> list = {
        {emailPrincipal, QStringLiteral("INEPR")},      {emailOffice, QStringLiteral("INEUF")},
        {emailAdministration, QStringLiteral("INEAM")}, {emailTechnical, QStringLiteral("INEUT")},
        {emailWarehouse, QStringLiteral("INEMA")},      {emailPrivate, QStringLiteral("INEPV")},
    };
    return list;
}

const QList<AddressSlot> &ReferenceData::faxSlots()
{
    static const QList<AddressSlot> list = {
        {faxOffice, QStringLiteral("INFUF")},
        {faxHome, QStringLiteral("INFAB")},
        {faxOther, QStringLiteral("INFAL")},
    };
    return list;
}

} // namespace mrv::suite::db
