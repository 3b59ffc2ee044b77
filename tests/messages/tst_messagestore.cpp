#include "DemoSuite.h"
#include "RichTextSamples.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "messages/MessageStore.h"
#include "services/SuiteSession.h"

#include <QFile>
#include <QTest>

using namespace mrv;

namespace {

const QStringList kMessageColumns =
    QStringLiteral("MSTYP MSFLD MSSTA MSUSR MSMIT MSDES MSDCC MSDCN MSNOT MSDTS MSDTR MSATT MSOBJ MSTXT MSLNK MSTBL "
                   "MSKEY MSPRY MSSND MSTHR MSDTF MSRTN MSRTE MSSAS TKSTA TKDTS TKNOT TKDTI TKDTF TKCPL MSPUB MSDAT "
                   "MSDIR MSASS MSATB MSAKE")
        .split(QLatin1Char(' '));

// The columns above, each with its value.
QVariantMap zipped(const QVariantList &values)
{
    QVariantMap row;
    for (qsizetype i = 0; i < values.size(); ++i)
        row.insert(kMessageColumns.at(i), values.at(i));
    return row;
}

// A SYS_MSG row with every column set, as the suite stores it.
QVariantMap everyColumn()
{
    return zipped(QVariantList{1, 2, 3, "ROSSI", "Mario Rossi (ROSSI)", "VENDITE; cliente@esempio.it", "BIANCHI",
                               "nascosto@esempio.it", 0, "2026-03-14 09:26:53", "2026-03-14 10:02:07", 1} +
                  QVariantList{"Offerta n. 12", "{\\rtf1\\ansi {\\b Gentile cliente}\\par }", 1, "DOC_VEN", "12", 2, 41,
                               40, "2026-03-15 08:00:00", "Ufficio vendite", "vendite@brambilla.example.it",
                               "info@brambilla.example.it"} +
                  QVariantList{2, "2026-03-31 18:00:00", 1, "2026-03-16 09:00:00", "2026-03-20 17:30:00", 75, 99,
                               "2026-03-17 12:00:00", "2026-03-15 08:01:00", 1, "CON_TRO", "C000001"});
}

// Everything that may be Null left Null, flags off, the lowest codes.
const QVariantMap kFewestColumns{{"MSTYP", 0}, {"MSFLD", 0}, {"MSSTA", 0}, {"MSUSR", "VERDI"}, {"MSNOT", 0},
                                 {"MSATT", 0}, {"MSLNK", 0}, {"MSPRY", 0}, {"TKNOT", 0}};

QVariantMap hostileText()
{
    QVariantMap row = kFewestColumns;
    row.insert(
        QVariantMap{{"MSMIT", "Zoë O'Brien (OBRIEN)"},
                    {"MSOBJ", "Re: l'offerta è \"urgente\"; DROP TABLE SYS_MSG; -- /* 中文 € 😀 ? :id @1 */"},
                    {"MSTXT", "Riga 1\r\nRiga 2\n\t'); DELETE FROM SYS_MSG; --\r/* SELECT SCOPE_IDENTITY() */ ñ 🙂"},
                    {"MSKEY", "'; --"}});
    return row;
}

const MessageCopy kPlainMessage{
    .user = "ROSSI", .sentAt = QDateTime(QDate(2026, 3, 2), QTime(9, 0)), .subject = "Promemoria"};

QVariant opt(const std::optional<qint32> &value)
{
    return value ? QVariant(*value) : QVariant();
}

// What each column of SYS_MSG holds for a message copy, in their order.
QVariantList storedColumns(const MessageCopy &m)
{
    return QVariantList{m.type, m.folder, m.status,   m.user,   m.sender, m.to,
                        m.cc,   m.ccn,    m.notified, m.sentAt, m.readAt, m.hasAttachments} +
           QVariantList{m.subject,     m.body,        m.linked,     m.linkTable,   m.linkKey,        m.priority,
                        opt(m.origin), opt(m.thread), m.answeredAt, m.replyToName, m.replyToAddress, m.sendAs} +
           QVariantList{opt(m.taskStatus), m.taskDue,           m.taskNotify,      m.taskStarted,
                        m.taskFinished,    opt(m.taskComplete), opt(m.publicCopy), m.publishedAt,
                        m.answerStampedAt, opt(m.associated),   m.associatedTable, m.associatedKey};
}

QVariantList columnValues(const QVariantMap &row)
{
    QVariantList values;
    for (const QString &name : kMessageColumns)
        values << row.value(name);
    return values;
}

// Values as text, separated by "|": dates as the suite stores them, flags as 1 or 0.
QString joined(const QVariantList &row)
{
    QStringList texts;
    for (const QVariant &value : row)
        texts << (value.typeId() == QMetaType::QDateTime ? value.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss")
                  : value.typeId() == QMetaType::Bool    ? QString::number(value.toInt())
                                                         : value.toString());
    return texts.join(QLatin1Char('|'));
}

} // namespace

// The message tables on a real demo database: every column written and read
// back, and which key a new row is given.
class MessageStoreTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::DemoSuite> m_suite;
    std::unique_ptr<MessageStore> m_store;

    suite::db::SuiteConnection &connection() const { return *m_suite->session().connection(); }

    // An invalid setting removes the value, so that the default applies.
    void setIdentitySetting(const QVariant &setting)
    {
        connection().nativeQuery(QStringLiteral("DELETE FROM SYS_CFG WHERE UPPER(CFKEY) = 'USE_SCOPE_IDENTITY'"));
        if (setting.isValid())
            m_suite->session().config()->setValue(QStringLiteral("USE_SCOPE_IDENTITY"), setting.toString());
    }

    // Every column but the key.
    QVariantList storedRow(qint32 id) const
    {
        auto result = connection().query(QStringLiteral("SELECT * FROM SYS_MSG WHERE RECORD_ID = %1").arg(id));
        QVariantList row = result.rows.value(0);
        row.removeAt(result.columns.indexOf(QStringLiteral("RECORD_ID")));
        return row;
    }

    // A row written without the store, the way the host writes one: a
    // column not given is Null.
    qint32 insertRow(const QVariantMap &row)
    {
        connection().nativeQuery(
            QStringLiteral("INSERT INTO SYS_MSG (%1) VALUES (%2)")
                .arg(kMessageColumns.join(','), QStringList(kMessageColumns.size(), QStringLiteral("?")).join(',')),
            columnValues(row));
        return maxKey(QStringLiteral("SYS_MSG"));
    }

    QString firstRow(const QString &sql) const { return joined(connection().query(sql).rows.value(0)); }

    qint32 maxKey(const QString &table) const
    {
        return m_suite->scalar(QStringLiteral("SELECT MAX(RECORD_ID) FROM ") + table).toInt();
    }

    // Every row inserted into `table` from now on is followed at once by
    // another, as when another user inserts right after this one: the
    // highest key is then no longer the key of the row inserted.
    void followEveryInsertInto(const QString &table, const QString &column)
    {
        if (!testing::TestDatabase::onServer()) {
            connection().nativeQuery(QStringLiteral("CREATE TRIGGER FOLLOW_%1 AFTER INSERT ON %1 WHEN NEW.%2 <> "
                                                    "'altrui' BEGIN INSERT INTO %1 (%2) VALUES ('altrui'); END")
                                         .arg(table, column));
            return;
        }
        connection().nativeQuery(QStringLiteral("CREATE OR REPLACE FUNCTION FOLLOW_%1() RETURNS trigger LANGUAGE "
                                                "plpgsql AS $$ BEGIN IF NEW.%2 <> 'altrui' THEN INSERT INTO %1 (%2) "
                                                "VALUES ('altrui'); END IF; RETURN NULL; END $$")
                                     .arg(table, column));
        connection().nativeQuery(
            QStringLiteral("CREATE TRIGGER FOLLOW_%1 AFTER INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION FOLLOW_%1()")
                .arg(table));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        connection().query(QStringLiteral("INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('R&D ''NORD''', 'Ricerca')"));
        connection().query(QStringLiteral("INSERT INTO SYS_USG (CDGRU, CDUSR) VALUES ('R&D ''NORD''', 'VERDI')"));
        connection().query(QStringLiteral("INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('VUOTO', 'Nessuno')"));
    }

    void init()
    {
        setIdentitySetting(QVariant());
        m_store = std::make_unique<MessageStore>(connection(), m_suite->session().config().get());
    }

    void cleanup()
    {
        for (const QString &table : {u"SYS_MSG"_qs, u"SYS_MCL"_qs})
            connection().nativeQuery(QStringLiteral("DROP TRIGGER IF EXISTS FOLLOW_") + table +
                                     (testing::TestDatabase::onServer() ? QStringLiteral(" ON ") + table : QString()));
    }

    void everyColumnIsReadAndWrittenBack_data()
    {
        QTest::addColumn<QVariantMap>("row");
        QTest::newRow("every column set") << everyColumn();
        QTest::newRow("nulls, flags off, lowest codes") << kFewestColumns;
        QTest::newRow("non-ASCII and hostile text") << hostileText();
    }

    void everyColumnIsReadAndWrittenBack()
    {
        QFETCH(QVariantMap, row);
        const qint32 written = insertRow(row);
        const std::optional<MessageCopy> read = m_store->read(written);
        QVERIFY(read && read->id == written);
        QCOMPARE(joined(storedColumns(*read)), joined(columnValues(row)));
        // Written back as read: a column read or written wrongly differs.
        QCOMPARE(storedRow(m_store->insert(*read)), storedRow(written));
    }

    // The key comes from the query the setting names, run right after the
    // INSERT, when another row has already followed it.
    void newKeyFollowsTheSetting_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<bool>("byIdentity");
        QTest::newRow("absent") << QVariant() << true;
        QTest::newRow("0") << QVariant(QStringLiteral("0")) << false;
        QTest::newRow("False") << QVariant(QStringLiteral("False")) << false;
    }

    void newKeyFollowsTheSetting()
    {
        QFETCH(QVariant, setting);
        QFETCH(bool, byIdentity);
        setIdentitySetting(setting);
        const qint32 undisturbed = m_store->insert(kPlainMessage);
        QCOMPARE(undisturbed, maxKey(QStringLiteral("SYS_MSG")));

        followEveryInsertInto(QStringLiteral("SYS_MSG"), QStringLiteral("MSOBJ"));
        const qint32 key = m_store->insert(kPlainMessage);
        const qint32 follower = maxKey(QStringLiteral("SYS_MSG"));
        QCOMPARE(key, byIdentity ? follower - 1 : follower);
        QCOMPARE(m_store->read(follower - 1)->subject, kPlainMessage.subject);
    }

    void noKeyIsInventedBeforeAnyInsert()
    {
        const auto fresh = suite::db::SuiteConnection::connect(m_suite->databasePath());
        MessageStore store(*fresh, nullptr);
        QVERIFY_THROWS_EXCEPTION(Failure, store.newKey(QStringLiteral("SYS_MSG")));
    }

    // Which of a message's files are its own the sending pipeline shows;
    // the objects embedded in its body are files of another owner. Names
    // come back by key, a missing key left out.
    void embeddedFilesAndNames()
    {
        QTemporaryDir files;
        const QString key = QString::number(m_store->insert(kPlainMessage));
        auto &records = *m_suite->session().records();
        const qint32 offer = records.addAttachment(
            QStringLiteral("SYS_MSG"), key, testing::writeFile(files.path(), QStringLiteral("offerta.pdf"), "%PDF"));
        const qint32 logo =
            records.addAttachment(QStringLiteral("SYS_MSG_MSTXT"), key,
                                  testing::writeFile(files.path(), QStringLiteral("logo è.png"), "PNG"));
        QCOMPARE(m_store->attachmentKeys(key.toInt(), QStringLiteral("SYS_MSG_MSTXT")), QList<qint32>{logo});
        QCOMPARE(m_store->attachmentNames({offer, logo, 999999}),
                 (QList<QPair<qint32, QString>>{{offer, QStringLiteral("offerta.pdf")},
                                                {logo, QStringLiteral("logo è.png")}}));
        QVERIFY(m_store->attachmentNames({}).isEmpty());
    }

    // Which codes are groups and who is in them the sending pipeline shows on
    // the demo groups; a quote in the code and a group without members only here.
    void groupsAndTheirMembers()
    {
        QVERIFY(m_store->isGroup(QStringLiteral("R&D 'NORD'")));
        QCOMPARE(m_store->groupMembers(QStringLiteral("R&D 'NORD'")), QStringList{"VERDI"});
        QVERIFY(m_store->isGroup(QStringLiteral("VUOTO")));
        QVERIFY(m_store->groupMembers(QStringLiteral("VUOTO")).isEmpty());
    }

    // The queue's key is read by identity even where message keys are read
    // by the highest key.
    void mailClientQueueRowAndFiles()
    {
        setIdentitySetting(QStringLiteral("0"));
        followEveryInsertInto(QStringLiteral("SYS_MCL"), QStringLiteral("MCSUB"));
        // In the order of the columns.
        const MailClientEntry entry{0,
                                    4242,
                                    "Fattura è",
                                    "{\\rtf1 x}",
                                    true,
                                    "a@x.it|b@x.it",
                                    "c@x.it",
                                    "d@x.it",
                                    2,
                                    "e@x.it",
                                    "Vendite",
                                    "f@x.it",
                                    "ROSSI",
                                    QDateTime(QDate(2026, 3, 3), QTime(11, 45, 12)),
                                    1};
        const qint32 id = m_store->queueMail(entry);
        QCOMPARE(id, maxKey(QStringLiteral("SYS_MCL")) - 1);
        QCOMPARE(firstRow(QStringLiteral("SELECT IDMSG, MCSUB, MCBOD, MCRTF, MCDTO, MCDCC, MCDCN, MCIMP, MCRTE, MCRTN, "
                                         "MCSAS, USINS, DTINS, MCSTA FROM SYS_MCL WHERE RECORD_ID = %1")
                              .arg(id)),
                 QStringLiteral("4242|Fattura è|{\\rtf1 x}|1|a@x.it|b@x.it|c@x.it|d@x.it|2|e@x.it|Vendite|f@x.it|ROSSI|"
                                "2026-03-03 11:45:12|1"));
        m_store->queueMailFile(id, QStringLiteral("/tmp/Fattura dell'anno.pdf"),
                               QStringLiteral("image001.png@01D9A1B2"));
        QCOMPARE(firstRow(QStringLiteral("SELECT IDMCL, MCFIL, MCCID FROM SYS_MCA")),
                 QString::number(id) + QStringLiteral("|/tmp/Fattura dell'anno.pdf|image001.png@01D9A1B2"));
    }
};

QTEST_GUILESS_MAIN(MessageStoreTest)
#include "tst_messagestore.moc"
