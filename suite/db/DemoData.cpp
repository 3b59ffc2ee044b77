#include "DemoData.h"

#include "ReferenceData.h"
#include "SchemaManager.h"
#include "SuiteConnection.h"
#include "host/Failure.h"

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
};

class CompanyLoader
{
public:
    CompanyLoader(SuiteConnection &connection, const QString &company)
        : m_connection(connection), m_prefix(SchemaManager::companyPrefix(company)),
          m_customer(prepareInsert(QStringLiteral("CON_TRO"),
                                   {"CDCON", "CORAS", "COIND", "COCAP", "COLOC", "COPRV", "CONAZ", "COPIV", "CDAGE"})),
          m_contact(prepareInsert(QStringLiteral("CON_RIF"), {"CDCON", "RFNOM", "RFRUO", "RFOFF", "RFFAT"})),
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
                        customer.agent()});
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

        const QString contactKey = QString::number(m_contact.run(
            {code, customer.contactName(), QStringLiteral("Responsabile acquisti"), 1, customer.number % 3 == 0}));
        const QString firstName = customer.contactName().section(QLatin1Char(' '), 0, 0).toLower();
        m_address.run({QStringLiteral("CON_RIF"), contactKey, QStringLiteral("E"), emailSlot,
                       firstName + QLatin1Char('@') + customer.domain()});
        if (customer.number % 2 == 1)
            m_number.run({QStringLiteral("CON_RIF"), contactKey, faxSlot, customer.phone(2)});

        if (customer.number % 3 == 0) {
            const qint64 branchKey =
                m_branch.run({code, QStringLiteral("S01"), customer.name() + QStringLiteral(" - Magazzino"),
                              QStringLiteral("MA"), customer.street(), latin(pick(kCities, customer.number + 3).name)});
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

void seedAgents(SuiteConnection &connection, const QString &prefix)
{
    const char *const names[] = {"Paolo Fumagalli", "Rita Conti", "Enrico Sala", "Beatrice Greco"};
    for (int i = 0; i < 4; ++i) {
        const QString code = QStringLiteral("AG%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        insertRow(connection, prefix + QStringLiteral("AGE_NTI"),
                  {QStringLiteral("CDAGE"), QStringLiteral("AGRAS"), QStringLiteral("AGLOC")},
                  {code, latin(names[i]), latin(kCities[i].name)});
        insertRow(connection, prefix + QStringLiteral("IND_WEB"),
                  {QStringLiteral("TBNAM"), QStringLiteral("TBKEY"), QStringLiteral("WBTIP"), QStringLiteral("WBDES"),
                   QStringLiteral("WBIND")},
                  {QStringLiteral("AGE_NTI"), code, QStringLiteral("E"), ReferenceData::emailSlots().value(0).name,
                   latin(names[i]).toLower().replace(QLatin1Char(' '), QLatin1Char('.')) +
                       QStringLiteral("@agenti.example.it")});
    }
}

void seedDocuments(SuiteConnection &connection, const QString &prefix, int customers)
{
    const QDateTime first(QDate(2026, 9, 1), QTime(9, 0));
    for (int i = 0; i < 12; ++i) {
        const GeneratedCustomer customer{i % customers + 1};
        insertRow(
            connection, prefix + QStringLiteral("DOC_VEN"),
            {QStringLiteral("DTCAU"), QStringLiteral("DTNUM"), QStringLiteral("DTANN"), QStringLiteral("DTDAT"),
             QStringLiteral("DTCON"), QStringLiteral("DTAGE"), QStringLiteral("DTDES"), QStringLiteral("DTTOT"),
             QStringLiteral("DTSND")},
            {i % 3 == 0 ? QStringLiteral("OFF") : QStringLiteral("FAT"), i + 1, 2026,
             first.addDays(i * 6).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), customer.code(), customer.agent(),
             (i % 3 == 0 ? QStringLiteral("Offerta n. ") : QStringLiteral("Fattura n. ")) + QString::number(i + 1),
             1250.0 + i * 310.5, 0});
    }
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
        loadCustomers(connection, code, code == firstCompany() ? 1 : 101, kDemoCustomers);
        seedDocuments(connection, prefix, kDemoCustomers);
        refreshAddressBook(connection, code);
    }
    transaction.commit();
    return true;
}

void DemoData::addCustomers(SuiteConnection &connection, const QString &company, int count)
{
    if (!SchemaManager::companyCodes(connection).contains(company))
        throw Failure(QStringLiteral("The company %1 does not exist").arg(company));
    SuiteConnection::Transaction transaction(connection);
    loadCustomers(connection, company, lastCustomerNumber(connection, SchemaManager::companyPrefix(company)) + 1,
                  count);
    refreshAddressBook(connection, company);
    transaction.commit();
}

} // namespace mrv::suite::db
