#include "SchemaCatalog.h"

namespace mrv::suite::db {

namespace {

ColumnDef column(const char *name, ColumnType type, const char *caption, int length = 0)
{
    ColumnDef def;
    def.name = QString::fromLatin1(name);
    def.type = type;
    def.length = length;
    def.caption = QString::fromUtf8(caption);
    return def;
}

ColumnDef text(const char *name, int length, const char *caption = "")
{
    return column(name, ColumnType::Text, caption, length);
}

ColumnDef memo(const char *name, const char *caption = "")
{
    return column(name, ColumnType::LongText, caption);
}

ColumnDef smallInt(const char *name, const char *caption = "")
{
    return column(name, ColumnType::SmallInt, caption);
}

ColumnDef integer(const char *name, const char *caption = "")
{
    return column(name, ColumnType::Integer, caption);
}

ColumnDef stamp(const char *name, const char *caption = "")
{
    return column(name, ColumnType::DateTime, caption);
}

// Flags start False: rows written by code that does not know a flag must not
// switch it on.
ColumnDef flag(const char *name, const char *caption = "")
{
    ColumnDef def = column(name, ColumnType::Boolean, caption);
    def.defaultValue = QStringLiteral("0");
    return def;
}

ColumnDef withDefault(ColumnDef def, const char *literal)
{
    def.defaultValue = QString::fromUtf8(literal);
    return def;
}

ColumnDef required(ColumnDef def, const char *literal)
{
    def.nullable = false;
    return withDefault(std::move(def), literal);
}

IndexDef index(const QStringList &columns)
{
    return {columns, false};
}

IndexDef unique(const QStringList &columns)
{
    return {columns, true};
}

TableDef table(const char *name, Scope scope, const char *caption, QList<ColumnDef> columns,
               QList<IndexDef> indexes = {})
{
    TableDef def;
    def.name = QString::fromLatin1(name);
    def.scope = scope;
    def.caption = QString::fromUtf8(caption);
    def.columns = std::move(columns);
    def.indexes = std::move(indexes);
    return def;
}

TableDef visible(TableDef def)
{
    def.userVisible = true;
    return def;
}

TableDef since(int version, TableDef def)
{
    def.since = version;
    return def;
}

// Messages, tasks and their copies: one row per copy in one user's mailbox.
TableDef messages()
{
    return visible(table("SYS_MSG", Scope::Suite, "Messaggi",
                         {
                             smallInt("MSTYP", "Tipo messaggio"),
                             smallInt("MSFLD", "Cartella"),
                             smallInt("MSSTA", "Stato di lettura"),
                             text("MSUSR", 20, "Utente"),
                             text("MSMIT", 150, "Mittente"),
                             memo("MSDES", "Destinatari"),
                             memo("MSDCC", "Copia conoscenza"),
                             memo("MSDCN", "Copia conoscenza nascosta"),
                             smallInt("MSNOT", "Da notificare"),
                             stamp("MSDTS", "Data invio"),
                             stamp("MSDTR", "Data lettura"),
                             flag("MSATT", "Con allegati"),
                             text("MSOBJ", 255, "Oggetto"),
                             memo("MSTXT", "Testo"),
                             flag("MSLNK", "Collegato"),
                             text("MSTBL", 30, "Tabella collegata"),
                             text("MSKEY", 60, "Chiave collegata"),
                             withDefault(smallInt("MSPRY", "Priorità"), "1"),
                             integer("MSSND", "Messaggio di origine"),
                             integer("MSTHR", "Conversazione"),
                             stamp("MSDTF", "Data risposta o inoltro"),
                             text("MSRTN", 150, "Rispondi a (nome)"),
                             text("MSRTE", 255, "Rispondi a (indirizzo)"),
                             text("MSSAS", 255, "Invia come"),
                             smallInt("TKSTA", "Stato attività"),
                             stamp("TKDTS", "Scadenza attività"),
                             flag("TKNOT", "Notifica attività"),
                             stamp("TKDTI", "Inizio attività"),
                             stamp("TKDTF", "Fine attività"),
                             smallInt("TKCPL", "Completamento attività"),
                             integer("MSPUB", "Messaggio pubblico"),
                             stamp("MSDAT", "Data pubblicazione"),
                             stamp("MSDIR", "Data risposta"),
                             withDefault(smallInt("MSASS", "Associato"), "0"),
                             text("MSATB", 30, "Tabella associata"),
                             text("MSAKE", 60, "Chiave associata"),
                         },
                         {index({"MSUSR", "MSFLD"}), index({"MSTHR"}), index({"MSSND"}), index({"MSTBL", "MSKEY"}),
                          index({"MSATB", "MSAKE"})}));
}

TableDef attachments()
{
    return table("SYS_ATT", Scope::Suite, "Allegati",
                 {
                     text("ATTBL", 30),
                     text("ATKEY", 60),
                     text("ATNAM", 255),
                     column("ATSIZ", ColumnType::BigInt, ""),
                     column("ATDAT", ColumnType::Blob, ""),
                     stamp("ATDTI"),
                 },
                 {index({"ATTBL", "ATKEY"})});
}

TableDef mailClientQueue()
{
    return table("SYS_MCL", Scope::Suite, "Coda del client di posta",
                 {
                     integer("IDMSG"),
                     memo("MCSUB"),
                     memo("MCBOD"),
                     flag("MCRTF"),
                     memo("MCDTO"),
                     memo("MCDCC"),
                     memo("MCDCN"),
                     smallInt("MCIMP"),
                     memo("MCRTE"),
                     memo("MCRTN"),
                     memo("MCSAS"),
                     memo("USINS"),
                     stamp("DTINS"),
                     withDefault(smallInt("MCSTA"), "0"),
                     // The mail client's own columns since version 3: last
                     // error, attempts made, next attempt due, time sent, and
                     // the runner holding the row with the time it took it.
                     memo("MCERR"),
                     withDefault(smallInt("MCTRY"), "0"),
                     stamp("MCNXT"),
                     stamp("MCDTS"),
                     text("MCOWN", 200),
                     stamp("MCCLT"),
                 },
                 {index({"MCSTA"})});
}

TableDef mailClientFiles()
{
    return table("SYS_MCA", Scope::Suite, "File della coda del client di posta",
                 {integer("IDMCL"), memo("MCFIL"), memo("MCCID")}, {index({"IDMCL"})});
}

TableDef faxes()
{
    return visible(table("SYS_FAX", Scope::Suite, "Fax",
                         {
                             smallInt("FXTYP", "Tipo fax"),
                             text("FXRAS", 150, "Corrispondente"),
                             text("FXNUM", 60, "Numero di fax"),
                             text("FXOBJ", 255, "Oggetto"),
                             memo("FXTXT", "Intestazione"),
                             stamp("FXDAT", "Data fax"),
                             withDefault(smallInt("FXSTA", "Letto"), "0"),
                             stamp("FXDTR", "Data lettura"),
                             text("FXUSR", 20, "Utente"),
                             withDefault(smallInt("FXPRY", "Priorità"), "1"),
                             flag("FXLNK", "Collegato a documento"),
                             text("FXTBL", 30, "Tabella documento"),
                             text("FXKEY", 60, "Chiave documento"),
                             text("TBNAM", 30, "Tabella controparte"),
                             text("TBKEY", 60, "Chiave controparte"),
                             text("CDAZI", 10, "Azienda"),
                         },
                         {index({"FXTYP"}), index({"FXNUM"}), index({"FXTBL", "FXKEY"}), index({"TBNAM", "TBKEY"})}));
}

TableDef datasets()
{
    return table("SYS_DAT", Scope::Suite, "Dataset",
                 {
                     text("DTDES", 100),
                     memo("DTQRY"),
                     text("DTTBL", 30),
                     text("DTTBP", 30),
                     text("DTCON", 60),
                     text("DTPRK", 60),
                     text("DTAGE", 60),
                     text("DTATT", 60),
                 },
                 {index({"DTTBL"})});
}

TableDef templates()
{
    return table("SYS_MST", Scope::Suite, "Template messaggi",
                 {
                     text("MTDES", 100),
                     memo("MTTEM"),
                     memo("MTOBJ"),
                     text("MTREC", 255),
                     memo("MTCCC"),
                     memo("MTCCN"),
                     withDefault(smallInt("MTAGE"), "1"),
                     flag("MTAGN"),
                     text("MTSAS", 255),
                     text("MTRTN", 150),
                     text("MTRTE", 255),
                     text("MTREP", 30),
                     withDefault(text("MTAZI", 10), "''"),
                     flag("MTTXT"),
                     flag("MTATT"),
                 });
}

TableDef templateDatasets()
{
    return table("SYS_MTD", Scope::Suite, "Dataset dei template", {integer("IDMST"), integer("IDDAT")},
                 {index({"IDMST", "IDDAT"}), index({"IDDAT"})});
}

TableDef templateReportParameters()
{
    return table("SYS_MTP", Scope::Suite, "Parametri report dei template",
                 {integer("IDMST"), text("MPNAM", 60), text("MPVAL", 255)}, {index({"IDMST"})});
}

TableDef notifications()
{
    return table("SYS_NTF", Scope::Suite, "Notifiche",
                 {
                     text("CDAZI", 10),
                     text("NTDES", 100),
                     withDefault(smallInt("NTTIP"), "1"),
                     text("NTTBL", 30),
                     withDefault(smallInt("NTEXE"), "1"),
                     memo("NTREC"),
                     text("NTSUB", 255),
                     memo("NTNOT"),
                     memo("NTQRY"),
                     memo("NTQRF"),
                     withDefault(smallInt("NTUPD"), "0"),
                     // When the server last ran a generic notification, written
                     // with its message so that a restart does not run it again.
                     stamp("NTLST"),
                 },
                 {index({"NTUPD"})});
}

TableDef notificationConditions()
{
    return table("SYS_NTC", Scope::Suite, "Condizioni delle notifiche",
                 {
                     integer("IDNTF"),
                     text("NCDES", 100),
                     flag("NCSEL"),
                     withDefault(smallInt("NCIMP"), "1"),
                     flag("NCNOT"),
                     memo("NCV1C"),
                     integer("NCV1T"),
                     text("NCOPE", 10),
                     memo("NCV2C"),
                     integer("NCV2T"),
                     flag("NCVAL"),
                     smallInt("NCLEV"),
                 },
                 {index({"IDNTF"})});
}

TableDef notificationParameters()
{
    return table("SYS_NTG", Scope::Suite, "Parametri delle notifiche",
                 {text("CDAZI", 10), text("NGDES", 100), memo("NGVAL"), text("USINS", 20), stamp("DTINS")});
}

TableDef notificationResults()
{
    return table("SYS_NTT", Scope::Suite, "Risultati delle notifiche",
                 {integer("IDNTF"), text("NTFLD", 255), memo("NTVAL")}, {index({"IDNTF"})});
}

// Changes to the tables that notifications watch, written by triggers and
// consumed by the notification server: the row as it is after the change
// (NLNEW) and as it was before (NLOLD), each a JSON object of its columns.
TableDef notificationChanges()
{
    return since(8, table("SYS_NTL", Scope::Suite, "Modifiche osservate dalle notifiche",
                          {text("CDAZI", 10), text("NLTBL", 30), smallInt("NLEXE"), memo("NLNEW"), memo("NLOLD")}));
}

TableDef mailboxMirror()
{
    return table("SYS_EXC", Scope::Suite, "Cassetta postale",
                 {
                     text("EXUSR", 20),
                     text("EXOID", 255),
                     text("EXPAR", 255),
                     smallInt("EXTYP"),
                     text("EXDES", 255),
                     smallInt("EXETP"),
                     withDefault(smallInt("EXSYN"), "0"),
                     stamp("EXDAT"),
                     integer("EXPUB"),
                     withDefault(smallInt("EXIST"), "0"),
                     smallInt("EXIIM"),
                     memo("EXITO"),
                     text("EXIFR", 255),
                     flag("EXIAT"),
                     stamp("EXIDC"),
                 },
                 {index({"EXOID", "EXUSR"}), index({"EXUSR", "EXPAR"})});
}

// Where the mirror left each folder's listing on the mailbox server, so
// that the next refresh asks only for what changed since.
TableDef mailboxListings()
{
    return since(9, table("SYS_EXS", Scope::Suite, "Stato delle cartelle della cassetta postale",
                          {text("EXUSR", 20), text("EXOID", 255), text("EXSTA", 255)}, {unique({"EXUSR", "EXOID"})}));
}

TableDef users()
{
    return visible(table(
        "SYS_USR", Scope::Suite, "Utenti",
        {text("CDUSR", 20, "Codice utente"), text("USNAM", 150, "Nome utente"), text("USEML", 255, "Indirizzo e-mail")},
        {unique({"CDUSR"})}));
}

TableDef groups()
{
    return table("SYS_GRU", Scope::Suite, "Gruppi di utenti", {text("CDGRU", 20), text("GRDES", 100)},
                 {unique({"CDGRU"})});
}

TableDef groupMembers()
{
    return table("SYS_USG", Scope::Suite, "Utenti dei gruppi", {text("CDGRU", 20), text("CDUSR", 20)},
                 {unique({"CDGRU", "CDUSR"}), index({"CDUSR"})});
}

TableDef valueLists()
{
    return table("SYS_VAL", Scope::Suite, "Liste valori",
                 {text("VLTAB", 30), text("VLFLD", 30), text("VLVAL", 60), text("VLTXT", 255)},
                 {unique({"VLTAB", "VLFLD", "VLVAL"})});
}

TableDef tableDictionary()
{
    return table("SYS_TBL", Scope::Suite, "Tabelle",
                 {text("TBNAM", 30), text("TBDES", 100), flag("TBUSV"), withDefault(text("TBTIP", 1), "'T'")},
                 {unique({"TBNAM"})});
}

TableDef tableReports()
{
    return table("SYS_TBR", Scope::Suite, "Report delle tabelle",
                 {text("TBNAM", 30), text("CDREP", 30), text("TRDES", 100)}, {index({"TBNAM"}), index({"CDREP"})});
}

TableDef fieldDictionary()
{
    return table("SYS_GRD_GRD", Scope::Suite, "Campi delle tabelle",
                 {text("GRNAM", 30), text("GRFLD", 30), text("GRDES", 100), smallInt("GRTYP"), text("GRGRP", 30),
                  integer("GRPOS")},
                 {unique({"GRNAM", "GRFLD"})});
}

TableDef companies()
{
    return table("SYS_AZI", Scope::Suite, "Aziende", {text("CDAZI", 10), text("AZRAS", 150)}, {unique({"CDAZI"})});
}

// A value belongs to everybody, to one user, to one application or to one
// user in one application; '' rather than NULL marks "any", so that the
// unique index sees the scopes as distinct keys.
TableDef configuration()
{
    return table("SYS_CFG", Scope::Suite, "Configurazione",
                 {required(text("CFKEY", 100), "''"), memo("CFVAL"), required(text("CFUSR", 20), "''"),
                  required(text("CFAPP", 60), "''")},
                 {unique({"CFKEY", "CFUSR", "CFAPP"})});
}

TableDef errorLog()
{
    return table(
        "SYS_ERR", Scope::Suite, "Registro errori",
        {stamp("ERDAT"), text("ERUSR", 20), text("EROBJ", 100), text("ERPRC", 100), integer("ERNUM"), memo("ERDES")},
        {index({"ERDAT"})});
}

// Signals between clients where the engine has no channel of its own (SQLite).
TableDef signalQueue()
{
    return table("SYS_SIG", Scope::Suite, "Segnali tra i client", {memo("SGTXT")});
}

TableDef schemaVersions()
{
    return table("SYS_VER", Scope::Suite, "Versioni dello schema", {integer("VRNUM"), stamp("VRDAT")});
}

TableDef customers()
{
    return visible(table("CON_TRO", Scope::Company, "Controparti",
                         {
                             text("CDCON", 20, "Codice controparte"),
                             text("CORAS", 150, "Ragione sociale"),
                             text("COIND", 150, "Indirizzo"),
                             text("COCAP", 10, "CAP"),
                             text("COLOC", 60, "Località"),
                             text("COPRV", 5, "Provincia"),
                             text("CONAZ", 3, "Nazione"),
                             text("COPIV", 20, "Partita IVA"),
                             text("COCFI", 20, "Codice fiscale"),
                             text("CDAGE", 20, "Codice agente"),
                             withDefault(text("COMID", 2, "Canale preferito"), "'EM'"),
                             text("COLNG", 5, "Lingua"),
                         },
                         {unique({"CDCON"}), index({"CORAS"}), index({"CDAGE"})}));
}

TableDef contacts()
{
    return visible(table("CON_RIF", Scope::Company, "Riferimenti delle controparti",
                         {
                             text("CDCON", 20, "Codice controparte"),
                             text("RFNOM", 150, "Nome"),
                             text("RFRUO", 60, "Ruolo"),
                             flag("RFOFF", "Riceve le offerte"),
                             flag("RFORD", "Riceve gli ordini"),
                             flag("RFDDT", "Riceve i documenti di trasporto"),
                             flag("RFFAT", "Riceve le fatture"),
                         },
                         {index({"CDCON"}), index({"RFNOM"})}));
}

TableDef branches()
{
    return visible(table("CON_SED", Scope::Company, "Sedi delle controparti",
                         {
                             text("CDCON", 20, "Codice controparte"),
                             text("CDSED", 10, "Codice sede"),
                             text("SERAS", 150, "Denominazione"),
                             text("SETIP", 2, "Tipo sede"),
                             text("SEIND", 150, "Indirizzo"),
                             text("SELOC", 60, "Località"),
                         },
                         {unique({"CDCON", "CDSED"}), index({"SERAS"})}));
}

TableDef webAddresses()
{
    return visible(table("IND_WEB", Scope::Company, "Indirizzi internet",
                         {
                             text("TBNAM", 30, "Tabella"),
                             text("TBKEY", 60, "Chiave"),
                             withDefault(text("WBTIP", 1, "Tipo indirizzo"), "'E'"),
                             text("WBDES", 60, "Descrizione"),
                             text("WBIND", 255, "Indirizzo"),
                         },
                         {index({"WBIND"}), index({"TBNAM", "TBKEY"})}));
}

TableDef phoneNumbers()
{
    return visible(table("NUM_TEL", Scope::Company, "Numeri di telefono",
                         {
                             text("TBNAM", 30, "Tabella"),
                             text("TBKEY", 60, "Chiave"),
                             text("NRDES", 60, "Descrizione"),
                             text("NRTEL", 40, "Numero"),
                         },
                         {index({"NRTEL"}), index({"TBNAM", "TBKEY"})}));
}

TableDef agents()
{
    return visible(table("AGE_NTI", Scope::Company, "Agenti",
                         {
                             text("CDAGE", 20, "Codice agente"),
                             text("AGRAS", 150, "Ragione sociale"),
                             text("AGIND", 150, "Indirizzo"),
                             text("AGLOC", 60, "Località"),
                         },
                         {unique({"CDAGE"}), index({"AGRAS"})}));
}

// The four document tables share one layout. DTSND records how the document
// went out (1 e-mail, 2 fax), DTATT that a fax or file was linked to it.
TableDef documents(const char *name, const char *caption)
{
    return visible(table(name, Scope::Company, caption,
                         {
                             text("DTCAU", 10, "Causale"),
                             integer("DTNUM", "Numero"),
                             smallInt("DTANN", "Anno"),
                             stamp("DTDAT", "Data"),
                             text("DTCON", 20, "Codice controparte"),
                             text("DTAGE", 20, "Codice agente"),
                             text("DTDES", 255, "Descrizione"),
                             column("DTTOT", ColumnType::Double, "Totale"),
                             withDefault(smallInt("DTSND", "Inviato"), "0"),
                             flag("DTATT", "Con allegati"),
                         },
                         {index({"DTCON"}), index({"DTANN", "DTNUM"})}));
}

// Lines of the document tables: RGTBL names the document table, IDDOC the
// document's RECORD_ID.
TableDef documentLines()
{
    return since(5, visible(table("DOC_RIG", Scope::Company, "Righe dei documenti",
                                  {
                                      text("RGTBL", 30, "Tabella documento"),
                                      integer("IDDOC", "Documento"),
                                      smallInt("RGPOS", "Posizione"),
                                      text("RGART", 30, "Articolo"),
                                      text("RGDES", 255, "Descrizione"),
                                      column("RGQTA", ColumnType::Double, "Quantità"),
                                      column("RGPRZ", ColumnType::Double, "Prezzo unitario"),
                                  },
                                  {index({"RGTBL", "IDDOC"})})));
}

// Reports sent with messages: which report of which record went out with
// which stored message, sent by whom and when.
TableDef sentReports()
{
    return since(5, table("SYS_RPS", Scope::Suite, "Report inviati",
                          {text("RSTBL", 30), text("RSREP", 30), text("RSKEY", 60), integer("IDMSG"), text("RSUSR", 20),
                           text("RSAZI", 10), stamp("RSDAT")},
                          {index({"RSTBL", "RSKEY"}), index({"IDMSG"})}));
}

// Template sends run under a batch name: each message of the batch handed to
// the transport (MBSTA 1) and each one sent (2), so that the batch run again
// after an interruption hands none twice. MBNUM 0 is the batch's own row:
// the template, table and keys it was started with.
TableDef templateBatches()
{
    return since(6, table("SYS_MTB", Scope::Suite, "Invii di template a lotti",
                          {text("MBNAM", 100), integer("IDMST"), text("MBTBL", 30), memo("MBKEY"), integer("MBNUM"),
                           memo("MBIDN"), integer("IDMSG"), smallInt("MBSTA"), stamp("MBDAT")},
                          {unique({"MBNAM", "MBNUM"})}));
}

// The address book, one row per addressable party, rebuilt from its sources
// by the procedure XSC_IND_ALL_LST. INCOD ("table:key") names a row across
// refreshes; INEEE and INFFF are recipient texts ready for a message.
TableDef addressBook()
{
    return table("IND_ALL", Scope::Company, "Rubrica",
                 {
                     text("INCOD", 100), text("INTBC", 30),  text("ININD", 60),  text("INNAM", 150), text("INCDS", 20),
                     flag("ININT"),      flag("INEML"),      flag("INFAX"),      text("INEEE", 400), text("INFFF", 200),
                     text("INEPR", 255), text("INEUF", 255), text("INEPV", 255), text("INEAM", 255), text("INEUT", 255),
                     text("INEMA", 255), text("INFUF", 40),  text("INFAB", 40),  text("INFAL", 40),
                 },
                 {unique({"INCOD"}), index({"INNAM"}), index({"INTBC"}), index({"INCDS"})});
}

// What the address-book functions search: one row per code, address, fax
// number and name suffix of a party (IKTIP 'U' internal code, 'C' other code,
// 'E' e-mail address, 'F' fax number, 'N' name), keys in lower case.
TableDef addressBookKeys()
{
    return since(2, table("IND_KEY", Scope::Company, "Chiavi di ricerca della rubrica",
                          {text("IKCOD", 100), text("IKTIP", 1), column("IKKEY", ColumnType::SearchKey, "", 255),
                           text("IKIND", 400)},
                          {index({"IKTIP", "IKKEY"})}));
}

QList<TableDef> buildTables()
{
    return {
        messages(),
        attachments(),
        mailClientQueue(),
        mailClientFiles(),
        faxes(),
        datasets(),
        templates(),
        templateDatasets(),
        templateReportParameters(),
        notifications(),
        notificationConditions(),
        notificationParameters(),
        notificationResults(),
        notificationChanges(),
        mailboxMirror(),
        mailboxListings(),
        users(),
        groups(),
        groupMembers(),
        valueLists(),
        tableDictionary(),
        tableReports(),
        fieldDictionary(),
        companies(),
        configuration(),
        errorLog(),
        signalQueue(),
        schemaVersions(),
        customers(),
        contacts(),
        branches(),
        webAddresses(),
        phoneNumbers(),
        agents(),
        documents("DOC_VEN", "Documenti di vendita"),
        documents("DOC_ACQ", "Documenti di acquisto"),
        documents("DOC_CTL", "Documenti di conto lavoro"),
        documents("DOC_ICO", "Documenti intracomunitari"),
        documentLines(),
        sentReports(),
        templateBatches(),
        addressBook(),
        addressBookKeys(),
    };
}

ViewDef view(const char *name, Scope scope, const char *caption, const QString &query)
{
    return {QString::fromLatin1(name), scope, query, QString::fromUtf8(caption)};
}

const QString addressBookColumns =
    QStringLiteral("INCOD, INNAM, ININD, ININT, INEML, INFAX, INEEE, INFFF,\n"
                   "       INEPR, INEUF, INEPV, INEAM, INEUT, INEMA, INFUF, INFAB, INFAL, INCDS");

// The checking list filters "INTBC IN (...)" with the entry codes that the
// address-book search returned, so here INTBC carries the entry code and the
// source table moves to INTAB.
QList<ViewDef> addressBookViews()
{
    return {
        view("IND_ALL_LST", Scope::Company, "Rubrica",
             QStringLiteral("SELECT RECORD_ID, INTBC, ") + addressBookColumns + QStringLiteral("\nFROM $PIND_ALL")),
        view("IND_ALL_VER", Scope::Company, "Verifica destinatari",
             QStringLiteral("SELECT RECORD_ID, INCOD AS INTBC, INTBC AS INTAB, ") + addressBookColumns +
                 QStringLiteral("\nFROM $PIND_ALL")),
    };
}

// Fax numbers are the numbers whose slot name mentions "fax". Keys of
// contacts and branches are their RECORD_IDs written as text.
QList<ViewDef> faxNumberViews()
{
    const QString faxOnly = QStringLiteral("\nWHERE N.NRDES LIKE '%fax%'");
    return {
        view("CON_TRO_FAX", Scope::Company, "Numeri di fax delle controparti",
             QStringLiteral("SELECT C.RECORD_ID, C.CDCON, C.CORAS, N.NRTEL, N.NRDES\n"
                            "FROM $PCON_TRO C\n"
                            "JOIN $PNUM_TEL N ON N.TBNAM = 'CON_TRO' AND N.TBKEY = C.CDCON") +
                 faxOnly),
        view("CON_RIF_FAX", Scope::Company, "Numeri di fax dei riferimenti",
             QStringLiteral("SELECT R.RECORD_ID, R.CDCON, R.RFNOM, C.CORAS, N.NRTEL, N.NRDES\n"
                            "FROM $PCON_RIF R\n"
                            "JOIN $PNUM_TEL N ON N.TBNAM = 'CON_RIF' AND N.TBKEY = CAST(R.RECORD_ID AS VARCHAR(20))\n"
                            "LEFT JOIN $PCON_TRO C ON C.CDCON = R.CDCON") +
                 faxOnly),
        view("CON_SED_FAX", Scope::Company, "Numeri di fax delle sedi",
             QStringLiteral("SELECT S.RECORD_ID, S.CDCON, S.CDSED, S.SERAS, C.CORAS, N.NRTEL, N.NRDES\n"
                            "FROM $PCON_SED S\n"
                            "JOIN $PNUM_TEL N ON N.TBNAM = 'CON_SED' AND N.TBKEY = CAST(S.RECORD_ID AS VARCHAR(20))\n"
                            "LEFT JOIN $PCON_TRO C ON C.CDCON = S.CDCON") +
                 faxOnly),
    };
}

ViewDef faxList(const char *name, const char *caption, const char *condition)
{
    return view(name, Scope::Suite, caption,
                QStringLiteral("SELECT F.*, U.USNAM\n"
                               "FROM SYS_FAX F\n"
                               "LEFT JOIN SYS_USR U ON U.CDUSR = F.FXUSR\n"
                               "WHERE ") +
                    QString::fromLatin1(condition));
}

ViewDef messageFolder(const char *name, const char *caption, int folder)
{
    return view(name, Scope::Suite, caption, QStringLiteral("SELECT * FROM SYS_MSG WHERE MSFLD = %1").arg(folder));
}

QList<ViewDef> buildViews()
{
    QList<ViewDef> views = addressBookViews() + faxNumberViews();
    views << faxList("AZI_FAX", "Fax", "F.FXTYP <> 2") << faxList("AZI_FAX_DEL", "Fax eliminati", "F.FXTYP = 2");
    // Templates without a company are offered in every company, so MTAZI
    // must read '' and never NULL.
    views << view("SYS_MST_DAT", Scope::Suite, "Dataset dei template",
                  QStringLiteral("SELECT D.RECORD_ID, D.IDMST, D.IDDAT, M.MTDES, ISNULL(M.MTAZI, '') AS MTAZI,\n"
                                 "       T.DTDES, T.DTQRY, T.DTTBL, T.DTTBP\n"
                                 "FROM SYS_MTD D\n"
                                 "JOIN SYS_MST M ON M.RECORD_ID = D.IDMST\n"
                                 "JOIN SYS_DAT T ON T.RECORD_ID = D.IDDAT"));
    views << messageFolder("SYS_MSG_DFT", "Bozze", 0) << messageFolder("SYS_MSG_INB", "Posta in arrivo", 1)
          << messageFolder("SYS_MSG_OUT", "Posta inviata", 2) << messageFolder("SYS_MSG_DEL", "Posta eliminata", 3)
          << messageFolder("SYS_MSG_PUB", "Messaggi pubblici", 4);
    return views;
}

template <typename Def> const Def *findByName(const QList<Def> &defs, const QString &name)
{
    for (const Def &def : defs) {
        if (def.name.compare(name, Qt::CaseInsensitive) == 0)
            return &def;
    }
    return nullptr;
}

} // namespace

int SchemaCatalog::version()
{
    return 9;
}

const QList<TableDef> &SchemaCatalog::tables()
{
    static const QList<TableDef> tables = buildTables();
    return tables;
}

const QList<ViewDef> &SchemaCatalog::views()
{
    static const QList<ViewDef> views = buildViews();
    return views;
}

const TableDef *SchemaCatalog::table(const QString &name)
{
    return findByName(tables(), name);
}

const ViewDef *SchemaCatalog::view(const QString &name)
{
    return findByName(views(), name);
}

} // namespace mrv::suite::db
