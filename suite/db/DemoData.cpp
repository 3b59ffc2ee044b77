#include "DemoData.h"

#include "ReferenceData.h"
#include "SchemaManager.h"
#include "SuiteConnection.h"
#include "host/Failure.h"
#include "notifications/NotificationBatch.h"

#include <QDateTime>
#include <QStringList>

namespace mrv::suite::db {

namespace {

struct DemoUser
{
    const char *code;
    const char *name;
    const char *mailbox;
};

const DemoUser kUsers[] = {
    {"ADMIN", "Amministratore di sistema", "admin"},
    {"BIANCHI", "Laura Bianchi", "l.bianchi"},
    {"COLOMBO", "Francesca Colombo", "f.colombo"},
    {"ESPOSITO", "Anna Esposito", "a.esposito"},
    {"RICCI", "Marco Ricci", "m.ricci"},
    {"ROMANO", "Luca Romano", "l.romano"},
    {"ROSSI", "Mario Rossi", "m.rossi"},
    {"VERDI", "Giuseppe Verdi", "g.verdi"},
};

struct DemoGroup
{
    const char *code;
    const char *description;
    QStringList members;
};

const QList<DemoGroup> &groups()
{
    static const QList<DemoGroup> list = {
        {"VENDITE", "Ufficio vendite", {QStringLiteral("BIANCHI"), QStringLiteral("ROSSI"), QStringLiteral("RICCI")}},
        {"AMMINISTR",
         "Amministrazione",
         {QStringLiteral("COLOMBO"), QStringLiteral("ESPOSITO"), QStringLiteral("ADMIN")}},
        {"TECNICO", "Ufficio tecnico", {QStringLiteral("ROMANO"), QStringLiteral("VERDI"), QStringLiteral("ROSSI")}},
    };
    return list;
}

const char *const kSurnames[] = {"Brambilla", "Fumagalli", "Galli",   "Conti",    "Moretti",    "Barbieri",
                                 "Fontana",   "Santoro",   "Mariani", "Rinaldi",  "Caruso",     "Ferrara",
                                 "Gatti",     "Lombardi",  "Marini",  "Greco",    "Testa",      "Villa",
                                 "Longo",     "Leone",     "Martini", "Cattaneo", "Pellegrini", "Sala"};
const char *const kTrades[] = {"Meccanica",   "Arredamenti", "Trasporti",  "Impianti",   "Forniture", "Edilizia",
                               "Elettronica", "Tessile",     "Alimentari", "Serramenti", "Ricambi",   "Imballaggi"};
const char *const kForms[] = {"S.r.l.", "S.p.A.", "S.n.c.", "& C. S.a.s."};
const char *const kFirstNames[] = {"Giovanni", "Paola", "Stefano", "Chiara", "Alessandro", "Silvia",
                                   "Roberto",  "Elena", "Davide",  "Marta",  "Andrea",     "Giulia"};
struct City
{
    const char *name;
    const char *province;
    const char *postCode;
    const char *prefix;
};
const City kCities[] = {{"Milano", "MI", "20121", "02"},   {"Torino", "TO", "10121", "011"},
                        {"Bologna", "BO", "40121", "051"}, {"Verona", "VR", "37121", "045"},
                        {"Bergamo", "BG", "24121", "035"}, {"Firenze", "FI", "50122", "055"},
                        {"Napoli", "NA", "80133", "081"},  {"Padova", "PD", "35122", "049"}};
const char *const kStreets[] = {"Via Roma",     "Via Garibaldi",      "Corso Italia", "Via Mazzini",
                                "Viale Europa", "Via dell'Industria", "Via Verdi",    "Piazza Duomo"};

template <typename T, size_t N> const T &pick(const T (&items)[N], qint64 n)
{
    return items[n % N];
}

QString latin(const char *text)
{
    return QString::fromUtf8(text);
}

// One generated customer, numbered from 1; everything follows from the number.
struct GeneratedCustomer
{
    qint64 number;

    QString code() const { return QStringLiteral("C%1").arg(number, 6, 10, QLatin1Char('0')); }
    QString name() const
    {
        return latin(pick(kSurnames, number * 7 + number / 24)) + QLatin1Char(' ') + latin(pick(kTrades, number / 3)) +
               QLatin1Char(' ') + latin(pick(kForms, number / 5));
    }
    QString domain() const
    {
        return latin(pick(kSurnames, number * 7 + number / 24)).toLower() + QString::number(number) +
               QStringLiteral(".example.it");
    }
    const City &city() const { return pick(kCities, number / 2); }
    QString street() const
    {
        return latin(pick(kStreets, number)) + QLatin1Char(' ') + QString::number(number % 180 + 1);
    }
    QString phone(int line) const
    {
        return latin(city().prefix) + QLatin1Char(' ') + QString::number(4000000 + (number * 37 + line) % 5999999);
    }
    QString contactName() const
    {
        return latin(pick(kFirstNames, number)) + QLatin1Char(' ') + latin(pick(kSurnames, number * 5 + 3));
    }
    QString agent() const { return QStringLiteral("AG%1").arg(number % 4 + 1, 2, 10, QLatin1Char('0')); }
    // Every fourth customer prefers fax, every fifth reads English.
    QString preferredChannel() const { return number % 4 == 0 ? QStringLiteral("FX") : QStringLiteral("EM"); }
    QString language() const { return number % 5 == 0 ? QStringLiteral("EN") : QStringLiteral("IT"); }
    // Branches of every type, in turn.
    QString siteType() const
    {
        static const char *const types[] = {"AV", "CO", "DE", "FT", "GE", "PA", "PR", "RE"};
        return latin(pick(types, number / 3));
    }
};

class CompanyLoader
{
public:
    CompanyLoader(SuiteConnection &connection, const QString &company)
        : m_connection(connection), m_prefix(SchemaManager::companyPrefix(company)),
          m_customer(prepareInsert(QStringLiteral("CON_TRO"), {"CDCON", "CORAS", "COIND", "COCAP", "COLOC", "COPRV",
                                                               "CONAZ", "COPIV", "CDAGE", "COMID", "COLNG"})),
          m_contact(prepareInsert(QStringLiteral("CON_RIF"),
                                  {"CDCON", "RFNOM", "RFRUO", "RFOFF", "RFORD", "RFDDT", "RFFAT"})),
          m_branch(prepareInsert(QStringLiteral("CON_SED"), {"CDCON", "CDSED", "SERAS", "SETIP", "SEIND", "SELOC"})),
          m_address(prepareInsert(QStringLiteral("IND_WEB"), {"TBNAM", "TBKEY", "WBTIP", "WBDES", "WBIND"})),
          m_number(prepareInsert(QStringLiteral("NUM_TEL"), {"TBNAM", "TBKEY", "NRDES", "NRTEL"}))
    {}

    void addCustomer(const GeneratedCustomer &customer)
    {
        const QString code = customer.code();
        const City &city = customer.city();
        m_customer.run({code, customer.name(), customer.street(), latin(city.postCode), latin(city.name),
                        latin(city.province), QStringLiteral("IT"),
                        QStringLiteral("IT%1").arg(10000000000LL + customer.number * 7919 % 89999999999LL),
                        customer.agent(), customer.preferredChannel(), customer.language()});
        const QString customerTable = QStringLiteral("CON_TRO");
        const QString emailSlot = ReferenceData::emailSlots().value(0).name;
        const QString officeSlot = ReferenceData::emailSlots().value(1).name;
        const QString faxSlot = ReferenceData::faxSlots().value(0).name;
        m_address.run(
            {customerTable, code, QStringLiteral("E"), emailSlot, QStringLiteral("info@") + customer.domain()});
        if (customer.number % 2 == 0)
            m_address.run(
                {customerTable, code, QStringLiteral("E"), officeSlot, QStringLiteral("ordini@") + customer.domain()});
        m_number.run({customerTable, code, faxSlot, customer.phone(1)});
        m_number.run({customerTable, code, QStringLiteral("Tel. (uff.)"), customer.phone(0)});

        // Every contact receives offers; orders, transport documents and
        // invoices go to some, so that each document flag selects someone.
        const QString contactKey = QString::number(
            m_contact.run({code, customer.contactName(), QStringLiteral("Responsabile acquisti"), 1,
                           customer.number % 2 == 0, customer.number % 4 == 1, customer.number % 3 == 0}));
        const QString firstName = customer.contactName().section(QLatin1Char(' '), 0, 0).toLower();
        m_address.run({QStringLiteral("CON_RIF"), contactKey, QStringLiteral("E"), emailSlot,
                       firstName + QLatin1Char('@') + customer.domain()});
        if (customer.number % 2 == 1)
            m_number.run({QStringLiteral("CON_RIF"), contactKey, faxSlot, customer.phone(2)});

        if (customer.number % 3 == 0) {
            const qint64 branchKey =
                m_branch.run({code, QStringLiteral("S01"), customer.name() + QStringLiteral(" - Magazzino"),
                              customer.siteType(), customer.street(), latin(pick(kCities, customer.number + 3).name)});
            m_number.run({QStringLiteral("CON_SED"), QString::number(branchKey), faxSlot, customer.phone(3)});
        }
    }

private:
    SuiteConnection::Prepared prepareInsert(const QString &table, std::initializer_list<const char *> columns)
    {
        QStringList names;
        for (const char *column : columns)
            names << QLatin1String(column);
        return m_connection.prepare(QStringLiteral("INSERT INTO ") + m_prefix + table + QStringLiteral(" (") +
                                    names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                                    QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
                                    QLatin1Char(')'));
    }

    SuiteConnection &m_connection;
    QString m_prefix;
    SuiteConnection::Prepared m_customer;
    SuiteConnection::Prepared m_contact;
    SuiteConnection::Prepared m_branch;
    SuiteConnection::Prepared m_address;
    SuiteConnection::Prepared m_number;
};

void insertRow(SuiteConnection &connection, const QString &table, const QStringList &columns,
               const QVariantList &values)
{
    connection.nativeQuery(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                               columns.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                               QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")) +
                               QLatin1Char(')'),
                           values);
}

void seedUsersAndGroups(SuiteConnection &connection)
{
    for (const DemoUser &user : kUsers)
        insertRow(connection, QStringLiteral("SYS_USR"),
                  {QStringLiteral("CDUSR"), QStringLiteral("USNAM"), QStringLiteral("USEML")},
                  {latin(user.code), latin(user.name), latin(user.mailbox) + QStringLiteral("@brambilla.example.it")});
    for (const DemoGroup &group : groups()) {
        insertRow(connection, QStringLiteral("SYS_GRU"), {QStringLiteral("CDGRU"), QStringLiteral("GRDES")},
                  {latin(group.code), latin(group.description)});
        for (const QString &member : group.members)
            insertRow(connection, QStringLiteral("SYS_USG"), {QStringLiteral("CDGRU"), QStringLiteral("CDUSR")},
                      {latin(group.code), member});
    }
}

// Agents have an address in every e-mail slot but the private one and the
// three fax numbers, so that each agent recipient type finds something.
void seedAgents(SuiteConnection &connection, const QString &prefix)
{
    const char *const names[] = {"Paolo Fumagalli", "Rita Conti", "Enrico Sala", "Beatrice Greco"};
    const QStringList mailboxes = {QStringLiteral(""), QStringLiteral("ufficio."), QStringLiteral("amm."),
                                   QStringLiteral("tecnico."), QStringLiteral("magazzino.")};
    for (int i = 0; i < 4; ++i) {
        const QString code = QStringLiteral("AG%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        const City &city = kCities[i];
        insertRow(
            connection, prefix + QStringLiteral("AGE_NTI"),
            {QStringLiteral("CDAGE"), QStringLiteral("AGRAS"), QStringLiteral("AGIND"), QStringLiteral("AGLOC")},
            {code, latin(names[i]), latin(pick(kStreets, i + 2)) + QStringLiteral(" 1%1").arg(i), latin(city.name)});
        const QString mailbox = latin(names[i]).toLower().replace(QLatin1Char(' '), QLatin1Char('.'));
        for (qsizetype slot = 0; slot < mailboxes.size(); ++slot)
            insertRow(connection, prefix + QStringLiteral("IND_WEB"),
                      {QStringLiteral("TBNAM"), QStringLiteral("TBKEY"), QStringLiteral("WBTIP"),
                       QStringLiteral("WBDES"), QStringLiteral("WBIND")},
                      {QStringLiteral("AGE_NTI"), code, QStringLiteral("E"),
                       ReferenceData::emailSlots().value(slot).name,
                       mailboxes.at(slot) + mailbox + QStringLiteral("@agenti.example.it")});
        for (qsizetype slot = 0; slot < ReferenceData::faxSlots().size(); ++slot)
            insertRow(
                connection, prefix + QStringLiteral("NUM_TEL"),
                {QStringLiteral("TBNAM"), QStringLiteral("TBKEY"), QStringLiteral("NRDES"), QStringLiteral("NRTEL")},
                {QStringLiteral("AGE_NTI"), code, ReferenceData::faxSlots().value(slot).name,
                 latin(city.prefix) + QStringLiteral(" 55%1%2").arg(i).arg(slot + 1, 3, 10, QLatin1Char('0'))});
    }
}

struct Article
{
    const char *code;
    const char *description;
    double price;
};
const Article kArticles[] = {
    {"VT-M8", "Viti M8 zincate (conf. 100)", 12.4}, {"CU-62", "Cuscinetto a sfere 6204", 7.9},
    {"GU-30", "Guarnizione OR 30 mm", 0.85},        {"PR-AL", "Profilato in alluminio 2 m", 23.5},
    {"MO-04", "Motoriduttore 0,4 kW", 318.0},       {"CA-05", "Cavo schermato 5 m", 14.2}};

// Sales documents with their lines; the n-th document of a company follows
// from n alone.
class DocumentLoader
{
public:
    DocumentLoader(SuiteConnection &connection, const QString &prefix)
        : m_document(connection.prepare(
              QStringLiteral("INSERT INTO %1DOC_VEN (DTCAU, DTNUM, DTANN, DTDAT, DTCON, DTAGE, DTDES, DTTOT, DTSND) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0)")
                  .arg(prefix))),
          m_line(connection.prepare(
              QStringLiteral("INSERT INTO %1DOC_RIG (RGTBL, IDDOC, RGPOS, RGART, RGDES, RGQTA, RGPRZ) "
                             "VALUES ('DOC_VEN', ?, ?, ?, ?, ?, ?)")
                  .arg(prefix)))
    {}

    void add(qint64 number, const GeneratedCustomer &customer)
    {
        const bool offer = number % 3 == 1;
        const QDateTime date = QDateTime(QDate(2026, 9, 1), QTime(9, 0)).addDays((number - 1) * 6 % 360);
        const int lineCount = int(number % 4) + 2;
        double total = 0;
        QList<QVariantList> lines;
        for (int position = 1; position <= lineCount; ++position) {
            const Article &article = pick(kArticles, number + position * 5);
            const int quantity = int((number * position) % 9) + 1;
            total += quantity * article.price;
            lines << QVariantList{position * 10, latin(article.code), latin(article.description), quantity,
                                  article.price};
        }
        const qint64 key = m_document.run(
            {offer ? QStringLiteral("OFF") : QStringLiteral("FAT"), number, 2026,
             date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), customer.code(), customer.agent(),
             (offer ? QStringLiteral("Offerta n. ") : QStringLiteral("Fattura n. ")) + QString::number(number), total});
        for (QVariantList &line : lines) {
            line.prepend(key);
            m_line.run(line);
        }
    }

private:
    SuiteConnection::Prepared m_document;
    SuiteConnection::Prepared m_line;
};

qint64 lastDocumentNumber(SuiteConnection &connection, const QString &prefix)
{
    const auto result =
        connection.query(QStringLiteral("SELECT MAX(DTNUM) FROM ") + prefix + QStringLiteral("DOC_VEN"));
    return result.rows.isEmpty() ? 0 : result.rows.first().first().toLongLong();
}

void seedDocuments(SuiteConnection &connection, const QString &prefix, qint64 firstCustomer, int customers)
{
    DocumentLoader loader(connection, prefix);
    for (int i = 0; i < 12; ++i)
        loader.add(i + 1, GeneratedCustomer{firstCustomer + i % customers});
}

// A marked field as the template editor writes it.
QString field(const char *name)
{
    return QStringLiteral("{\\field{\\*\\fldinst MERGEFIELD %1}{\\fldrslt [%1]}}").arg(latin(name));
}

QString rtf(const QString &body)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ") + body +
           QLatin1Char('}');
}

qint64 insertReturningKey(SuiteConnection &connection, const QString &table, const QStringList &columns,
                          const QVariantList &values)
{
    return connection
        .prepare(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) +
                 QStringLiteral(") VALUES (") +
                 QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")) + QLatin1Char(')'))
        .run(values);
}

struct DemoDataset
{
    const char *description;
    const char *table;
    QString query;
    // The columns carrying the customer, the print key, the agent and the
    // attachment's name.
    const char *linked[4];
};

qint64 insertDataset(SuiteConnection &connection, const DemoDataset &dataset)
{
    return insertReturningKey(
        connection, QStringLiteral("SYS_DAT"),
        {QStringLiteral("DTDES"), QStringLiteral("DTQRY"), QStringLiteral("DTTBL"), QStringLiteral("DTTBP"),
         QStringLiteral("DTCON"), QStringLiteral("DTPRK"), QStringLiteral("DTAGE"), QStringLiteral("DTATT")},
        {latin(dataset.description), dataset.query, latin(dataset.table), QString(), latin(dataset.linked[0]),
         latin(dataset.linked[1]), latin(dataset.linked[2]), latin(dataset.linked[3])});
}

struct DemoTemplate
{
    const char *description;
    QString body;
    QString subject;
    const char *recipientTypes;
    const char *cc;
    const char *ccn;
    int agentIn;
    const char *report;
};

qint64 insertTemplate(SuiteConnection &connection, const DemoTemplate &demo, qint64 dataset)
{
    const qint64 key = insertReturningKey(
        connection, QStringLiteral("SYS_MST"),
        {QStringLiteral("MTDES"), QStringLiteral("MTTEM"), QStringLiteral("MTOBJ"), QStringLiteral("MTREC"),
         QStringLiteral("MTCCC"), QStringLiteral("MTCCN"), QStringLiteral("MTAGE"), QStringLiteral("MTAGN"),
         QStringLiteral("MTRTN"), QStringLiteral("MTRTE"), QStringLiteral("MTREP"), QStringLiteral("MTAZI"),
         QStringLiteral("MTTXT"), QStringLiteral("MTATT")},
        {latin(demo.description), demo.body, demo.subject, latin(demo.recipientTypes), latin(demo.cc), latin(demo.ccn),
         demo.agentIn, 0, QStringLiteral("Ufficio vendite"), QStringLiteral("vendite@brambilla.example.it"),
         latin(demo.report), QString(), 0, 0});
    insertRow(connection, QStringLiteral("SYS_MTD"), {QStringLiteral("IDMST"), QStringLiteral("IDDAT")},
              {key, dataset});
    // The language is filled per message with the customer's; the rest are
    // the report's own.
    const QList<QPair<QString, QString>> parameters = {{QStringLiteral("PARAM_LINGUA"), QStringLiteral("IT")},
                                                       {QStringLiteral("PARAM_COPIE"), QStringLiteral("1")}};
    for (const auto &[name, value] : parameters)
        insertRow(connection, QStringLiteral("SYS_MTP"),
                  {QStringLiteral("IDMST"), QStringLiteral("MPNAM"), QStringLiteral("MPVAL")}, {key, name, value});
    return key;
}

// The template's own attachment, stored as the record form stores one.
void attachToTemplate(SuiteConnection &connection, qint64 templateKey, const QString &name, const QByteArray &contents)
{
    insertRow(connection, QStringLiteral("SYS_ATT"),
              {QStringLiteral("ATTBL"), QStringLiteral("ATKEY"), QStringLiteral("ATNAM"), QStringLiteral("ATSIZ"),
               QStringLiteral("ATDAT"), QStringLiteral("ATDTI")},
              {QStringLiteral("SYS_MST"), QString::number(templateKey), name, qint64(contents.size()), contents,
               QStringLiteral("2026-09-01 09:00:00")});
    connection.nativeQuery(QStringLiteral("UPDATE SYS_MST SET MTATT = 1 WHERE RECORD_ID = ?"), {templateKey});
}

// Two datasets written against company A01, as every dataset is, and a
// template on each: a sales document sent with its printed report, and a
// customer's card.
void seedTemplates(SuiteConnection &connection)
{
    const qint64 documents = insertDataset(
        connection,
        {"Documenti di vendita",
         "DOC_VEN",
         QStringLiteral("SELECT D.RECORD_ID AS IDDOC, D.DTDES AS Documento, D.DTNUM AS Numero, D.DTDAT AS Data,\r"
                        "       D.DTCON AS Cliente, C.CORAS AS RagioneSociale, D.DTAGE AS Agente,\r"
                        "       D.DTTOT AS Totale, D.DTDES AS NomeFile\r"
                        "FROM A01_DOC_VEN D\r"
                        "JOIN A01_CON_TRO C ON C.CDCON = D.DTCON\r"
                        "WHERE D.RECORD_ID IN (@)"),
         {"Cliente", "IDDOC", "Agente", "NomeFile"}});
    const qint64 customers = insertDataset(
        connection, {"Controparti",
                     "CON_TRO",
                     QStringLiteral("SELECT C.RECORD_ID AS IDCON, C.CDCON AS Codice, C.CORAS AS RagioneSociale,\r"
                                    "       C.COLOC AS Localita, C.CDAGE AS Agente, C.COLNG AS Lingua\r"
                                    "FROM A01_CON_TRO C\r"
                                    "WHERE C.RECORD_ID = @1"),
                     {"Codice", "IDCON", "Agente", ""}});
    const qint64 sending = insertTemplate(
        connection,
        {"Invio documento di vendita",
         rtf(QStringLiteral("Spett.le ") + field("RagioneSociale") + QStringLiteral(",\\par\\par in allegato ") +
             field("Documento") + QStringLiteral(" del ") + field("Data") + QStringLiteral(", per un totale di ") +
             field("Totale") + QStringLiteral(" euro.\\par\\par Cordiali saluti\\par ") + field("PARAM_USER_FULLNAME")),
         rtf(field("Documento") + QStringLiteral(" - ") + field("RagioneSociale")), "1|2|-7|19", "VENDITE",
         "archivio@brambilla.example.it", 1, "DOC_VEN_STAMPA"},
        documents);
    attachToTemplate(connection, sending, QStringLiteral("Condizioni generali di vendita.txt"),
                     QByteArrayLiteral("Condizioni generali di vendita: pagamento a 30 giorni data fattura.\n"));
    insertTemplate(
        connection,
        {"Scheda controparte",
         rtf(QStringLiteral("Gentile ") + field("RagioneSociale") +
             QStringLiteral(",\\par le inviamo la scheda con i suoi dati (codice ") + field("Codice") +
             QStringLiteral(", ") + field("Localita") + QStringLiteral(").\\par ") + field("PARAM_USER_FULLNAME")),
         rtf(QStringLiteral("Scheda controparte ") + field("Codice")), "2|6|11|-20", "", "", 0, "CON_TRO_SCHEDA"},
        customers);
}

qint64 insertNotificationParameter(SuiteConnection &connection, const char *name, const char *value)
{
    return insertReturningKey(connection, QStringLiteral("SYS_NTG"),
                              {QStringLiteral("CDAZI"), QStringLiteral("NGDES"), QStringLiteral("NGVAL"),
                               QStringLiteral("USINS"), QStringLiteral("DTINS")},
                              {DemoData::firstCompany(), latin(name), latin(value), QStringLiteral("ADMIN"),
                               QStringLiteral("2026-09-01 09:00:00")});
}

struct DemoNotification
{
    const char *description;
    int type; // 0 generic, 1 on a table
    const char *table;
    int execution;
    const char *subject;
    QString content;
    QString query;
    int state;
};

qint64 insertNotification(SuiteConnection &connection, const DemoNotification &demo)
{
    const qint64 key = insertReturningKey(
        connection, QStringLiteral("SYS_NTF"),
        {QStringLiteral("CDAZI"), QStringLiteral("NTDES"), QStringLiteral("NTTIP"), QStringLiteral("NTTBL"),
         QStringLiteral("NTEXE"), QStringLiteral("NTREC"), QStringLiteral("NTSUB"), QStringLiteral("NTNOT"),
         QStringLiteral("NTQRY"), QStringLiteral("NTUPD")},
        {DemoData::firstCompany(), latin(demo.description), demo.type, latin(demo.table), demo.execution,
         QStringLiteral("Mario Rossi <ROSSI>; Ufficio vendite <VENDITE>"), latin(demo.subject), demo.content,
         demo.query, demo.state});
    // The batch the editor stores for a generic notification.
    if (demo.type == 0)
        connection.nativeQuery(
            QStringLiteral("UPDATE SYS_NTF SET NTQRF = ? WHERE RECORD_ID = ?"),
            {notifications::notificationBatch(demo.query, qint32(key), DemoData::firstCompany(), true), key});
    return key;
}

struct DemoCondition
{
    const char *description;
    int op1Type;
    QString op1;
    const char *op;
    int op2Type;
    QString op2;
    bool selected;
    int level;
};

qint64 insertCondition(SuiteConnection &connection, qint64 notification, const DemoCondition &demo)
{
    return insertReturningKey(connection, QStringLiteral("SYS_NTC"),
                              {QStringLiteral("IDNTF"), QStringLiteral("NCDES"), QStringLiteral("NCSEL"),
                               QStringLiteral("NCIMP"), QStringLiteral("NCNOT"), QStringLiteral("NCV1C"),
                               QStringLiteral("NCV1T"), QStringLiteral("NCOPE"), QStringLiteral("NCV2C"),
                               QStringLiteral("NCV2T"), QStringLiteral("NCVAL"), QStringLiteral("NCLEV")},
                              {notification, latin(demo.description), demo.selected, 1, false, demo.op1, demo.op1Type,
                               latin(demo.op), demo.op2, demo.op2Type, false, demo.level});
}

// Two parameters of company A01 and three notifications: a generic one
// whose query labels its column and compares with a parameter, one on new
// customers of Milan with the zone's agent (two conditions joined by a
// relation, the relation alone selected), active, and one on deleted sales
// documents.
void seedNotifications(SuiteConnection &connection)
{
    const QString threshold =
        QString::number(insertNotificationParameter(connection, "Soglia documenti rilevanti", "5000"));
    const QString agent = QString::number(insertNotificationParameter(connection, "Agente di zona", "AG01"));
    insertNotification(connection, {"Documenti sopra la soglia", 0, "", 1, "Documenti di vendita sopra la soglia",
                                    QStringLiteral("Documenti il cui totale supera [@%1@] euro.").arg(threshold),
                                    QStringLiteral("SELECT(Documento) D.DTDES\rFROM A01_DOC_VEN D\r"
                                                   "WHERE D.DTTOT > [@%1@]")
                                        .arg(threshold),
                                    0});
    const qint64 customers = insertNotification(
        connection, {"Nuovo cliente di Milano", 1, "CON_TRO", 1, "Nuovo cliente a Milano",
                     QStringLiteral("Un nuovo cliente di Milano seguito dall'agente di zona."), QString(), 1});
    const qint64 city =
        insertCondition(connection, customers,
                        {"Cliente di Milano", 1, QStringLiteral("COLOC"), "=", 0, QStringLiteral("Milano"), false, 1});
    const qint64 zone = insertCondition(
        connection, customers,
        {"Agente di zona", 1, QStringLiteral("CDAGE"), "=", 0, QStringLiteral("[@%1@]").arg(agent), false, 1});
    insertCondition(connection, customers,
                    {"A AND B", 3, QString::number(city), "AND", 3, QString::number(zone), true, 2});
    const qint64 documents = insertNotification(
        connection, {"Documento rilevante cancellato", 1, "DOC_VEN", 3, "Cancellato un documento rilevante",
                     QStringLiteral("Un documento di vendita di importo rilevante è stato cancellato."), QString(), 0});
    insertCondition(connection, documents,
                    {"Importo rilevante", 1, QStringLiteral("DTTOT"), ">", 0, QStringLiteral("5000"), true, 1});
}

void refreshAddressBook(SuiteConnection &connection, const QString &company)
{
    const QString previous = connection.companyPrefix();
    connection.setCompanyPrefix(SchemaManager::companyPrefix(company));
    connection.runProcedure(QStringLiteral("XSC_IND_ALL_LST"), {});
    connection.setCompanyPrefix(previous);
}

qint64 lastCustomerNumber(SuiteConnection &connection, const QString &prefix)
{
    const auto result = connection.query(QStringLiteral("SELECT MAX(CAST(SUBSTRING(CDCON, 2, 20) AS INT)) FROM ") +
                                         prefix + QStringLiteral("CON_TRO WHERE CDCON LIKE 'C%'"));
    return result.rows.isEmpty() ? 0 : result.rows.first().first().toLongLong();
}

void loadCustomers(SuiteConnection &connection, const QString &company, qint64 from, int count)
{
    CompanyLoader loader(connection, company);
    for (qint64 n = from; n < from + count; ++n)
        loader.addCustomer(GeneratedCustomer{n});
}

const int kDemoCustomers = 12;

} // namespace

QString DemoData::firstCompany()
{
    return QStringLiteral("A01");
}

bool DemoData::seed(SuiteConnection &connection)
{
    const auto present =
        connection.query(QStringLiteral("SELECT (SELECT COUNT(*) FROM SYS_USR) + (SELECT COUNT(*) FROM SYS_AZI)"));
    if (present.rows.first().first().toLongLong() > 0)
        return false;
    SuiteConnection::Transaction transaction(connection);
    seedUsersAndGroups(connection);
    const QList<QPair<QString, QString>> companies = {
        {QStringLiteral("A01"), QStringLiteral("Officine Brambilla S.p.A.")},
        {QStringLiteral("A02"), QStringLiteral("Brambilla Servizi S.r.l.")}};
    for (const auto &[code, name] : companies) {
        SchemaManager::addCompany(connection, code, name);
        const QString prefix = SchemaManager::companyPrefix(code);
        seedAgents(connection, prefix);
        const qint64 firstCustomer = code == firstCompany() ? 1 : 101;
        loadCustomers(connection, code, firstCustomer, kDemoCustomers);
        seedDocuments(connection, prefix, firstCustomer, kDemoCustomers);
        refreshAddressBook(connection, code);
    }
    seedTemplates(connection);
    seedNotifications(connection);
    transaction.commit();
    return true;
}

void DemoData::addCustomers(SuiteConnection &connection, const QString &company, int count)
{
    if (!SchemaManager::companyCodes(connection).contains(company))
        throw Failure(QStringLiteral("The company %1 does not exist").arg(company));
    SuiteConnection::Transaction transaction(connection);
    const QString prefix = SchemaManager::companyPrefix(company);
    const qint64 firstCustomer = lastCustomerNumber(connection, prefix) + 1;
    loadCustomers(connection, company, firstCustomer, count);
    // One sales document each, for the datasets and reports to read.
    DocumentLoader documents(connection, prefix);
    const qint64 firstDocument = lastDocumentNumber(connection, prefix) + 1;
    for (qint64 n = 0; n < count; ++n)
        documents.add(firstDocument + n, GeneratedCustomer{firstCustomer + n});
    refreshAddressBook(connection, company);
    transaction.commit();
}

} // namespace mrv::suite::db
