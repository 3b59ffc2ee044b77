#include "DemoSuite.h"
#include "db/SuiteConnection.h"
#include "facade/Types.h"
#include "host/Failure.h"
#include "host/TypeCodes.h"
#include "messages/MessageStore.h"
#include "services/SuiteSession.h"

#include <QFile>
#include <QTest>

#include <functional>

using namespace mrv;

namespace {

using StoreCall = std::function<void(MessageStore &)>;
using Columns = QList<QPair<QString, QVariant>>;

// The component's side of the suite's connection: keeps every text handed in
// and lets a test act right after a statement has run, where another user's
// insert or the suite's own bookkeeping would land.
class ObservedConnection : public host::Connection
{
public:
    explicit ObservedConnection(host::Connection &target) : m_target(target) {}

    QStringList readTexts;
    QStringList updatableTexts;
    QStringList statements;
    std::function<void(const QString &statement)> afterExecute;

    std::unique_ptr<host::RecordSet> openRecordSet(const QString &sql, qint32 mode, bool &error,
                                                   QString &errorText) override
    {
        (mode == host::rsUpdatable ? updatableTexts : readTexts) << sql;
        return m_target.openRecordSet(sql, mode, error, errorText);
    }

    void execute(const QString &sql) override
    {
        statements << sql;
        m_target.execute(sql);
        if (afterExecute)
            afterExecute(sql);
    }

    std::unique_ptr<host::RecordSet> runProcedure(const QString &name,
                                                  const QList<host::ProcedureParameter> &parameters) override
    {
        return m_target.runProcedure(name, parameters);
    }

    QVariant lookup(const QString &table, const QString &keyColumn, const QVariant &keyValue, qint32 keyKind,
                    const QString &column) override
    {
        return m_target.lookup(table, keyColumn, keyValue, keyKind, column);
    }

    QString valueListCaption(const QString &table, const QString &column, const QVariant &value) override
    {
        return m_target.valueListCaption(table, column, value);
    }

    void deleteRow(const QString &table, const QVariant &key) override { m_target.deleteRow(table, key); }

    std::unique_ptr<host::StatementBuilder> newStatement() override { return m_target.newStatement(); }
    QString connectionText() const override { return m_target.connectionText(); }

private:
    host::Connection &m_target;
};

// A text of several lines as the component writes them: CR between lines.
QString lines(const QStringList &parts)
{
    return parts.join(QChar(13));
}

QString shown(const QString &sql)
{
    return QString(sql).replace(QChar(13), QLatin1String("<CR>"));
}

QVariant optionalValue(const std::optional<qint32> &value)
{
    return value ? QVariant(*value) : QVariant();
}

QDateTime at(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

// What each column of SYS_MSG must hold for a message copy.
Columns storedColumns(const MessageCopy &m)
{
    return {
        {QStringLiteral("MSTYP"), m.type},
        {QStringLiteral("MSFLD"), m.folder},
        {QStringLiteral("MSSTA"), m.status},
        {QStringLiteral("MSUSR"), m.user},
        {QStringLiteral("MSMIT"), m.sender},
        {QStringLiteral("MSDES"), m.to},
        {QStringLiteral("MSDCC"), m.cc},
        {QStringLiteral("MSDCN"), m.ccn},
        {QStringLiteral("MSNOT"), m.notified},
        {QStringLiteral("MSDTS"), m.sentAt},
        {QStringLiteral("MSDTR"), m.readAt},
        {QStringLiteral("MSATT"), m.hasAttachments},
        {QStringLiteral("MSOBJ"), m.subject},
        {QStringLiteral("MSTXT"), m.body},
        {QStringLiteral("MSLNK"), m.linked},
        {QStringLiteral("MSTBL"), m.linkTable},
        {QStringLiteral("MSKEY"), m.linkKey},
        {QStringLiteral("MSPRY"), m.priority},
        {QStringLiteral("MSSND"), optionalValue(m.origin)},
        {QStringLiteral("MSTHR"), optionalValue(m.thread)},
        {QStringLiteral("MSDTF"), m.answeredAt},
        {QStringLiteral("MSRTN"), m.replyToName},
        {QStringLiteral("MSRTE"), m.replyToAddress},
        {QStringLiteral("MSSAS"), m.sendAs},
        {QStringLiteral("TKSTA"), optionalValue(m.taskStatus)},
        {QStringLiteral("TKDTS"), m.taskDue},
        {QStringLiteral("TKNOT"), m.taskNotify},
        {QStringLiteral("TKDTI"), m.taskStarted},
        {QStringLiteral("TKDTF"), m.taskFinished},
        {QStringLiteral("TKCPL"), optionalValue(m.taskComplete)},
        {QStringLiteral("MSPUB"), optionalValue(m.publicCopy)},
        {QStringLiteral("MSDAT"), m.publishedAt},
        {QStringLiteral("MSDIR"), m.answerStampedAt},
        {QStringLiteral("MSASS"), optionalValue(m.associated)},
        {QStringLiteral("MSATB"), m.associatedTable},
        {QStringLiteral("MSAKE"), m.associatedKey},
    };
}

Columns queuedColumns(const MailClientEntry &e)
{
    return {
        {QStringLiteral("IDMSG"), e.messageId},
        {QStringLiteral("MCSUB"), e.subject},
        {QStringLiteral("MCBOD"), e.body},
        {QStringLiteral("MCRTF"), e.bodyIsRtf},
        {QStringLiteral("MCDTO"), e.to},
        {QStringLiteral("MCDCC"), e.cc},
        {QStringLiteral("MCDCN"), e.ccn},
        {QStringLiteral("MCIMP"), e.importance},
        {QStringLiteral("MCRTE"), e.replyToAddress},
        {QStringLiteral("MCRTN"), e.replyToName},
        {QStringLiteral("MCSAS"), e.sendAs},
        {QStringLiteral("USINS"), e.queuedBy},
        {QStringLiteral("DTINS"), e.queuedAt},
        {QStringLiteral("MCSTA"), e.state},
    };
}

std::optional<QDateTime> storedDate(const QString &text)
{
    for (const QDateTime &date : {QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                  QDateTime::fromString(text, Qt::ISODate)}) {
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

// One comparable form for a value however it was read: Null and empty text
// alike, Booleans as 1/0, dates whether typed or stored as text.
QString comparable(const QVariant &value)
{
    if (!value.isValid() || value.isNull() || mrv::isNull(value))
        return QStringLiteral("NULL");
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    const std::optional<QDateTime> date = value.metaType().id() == QMetaType::QDateTime
                                              ? std::optional<QDateTime>(value.toDateTime())
                                              : storedDate(value.toString());
    if (date)
        return date->isValid() ? date->toString(Qt::ISODate) : QStringLiteral("NULL");
    const QString text = value.toString();
    return text.isEmpty() ? QStringLiteral("NULL") : text;
}

QStringList described(const Columns &columns)
{
    QStringList lines;
    for (const auto &[name, value] : columns)
        lines << name + QLatin1Char('=') + comparable(value);
    return lines;
}

MessageCopy everyColumnSet()
{
    MessageCopy m;
    m.type = mstTask;
    m.folder = msfSent;
    m.status = mssReplied;
    m.user = QStringLiteral("ROSSI");
    m.sender = QStringLiteral("Mario Rossi (ROSSI)");
    m.to = QStringLiteral("VENDITE; cliente@esempio.it");
    m.cc = QStringLiteral("BIANCHI");
    m.ccn = QStringLiteral("nascosto@esempio.it");
    m.notified = 0;
    m.sentAt = at(14, 9, 26, 53);
    m.readAt = at(14, 10, 2, 7);
    m.hasAttachments = true;
    m.subject = QStringLiteral("Offerta n. 12");
    m.body = QStringLiteral("{\\rtf1\\ansi {\\b Gentile cliente}\\par }");
    m.linked = true;
    m.linkTable = QStringLiteral("DOC_VEN");
    m.linkKey = QStringLiteral("12");
    m.priority = mspHigh;
    m.origin = 41;
    m.thread = 40;
    m.answeredAt = at(15, 8, 0);
    m.replyToName = QStringLiteral("Ufficio vendite");
    m.replyToAddress = QStringLiteral("vendite@brambilla.example.it");
    m.sendAs = QStringLiteral("info@brambilla.example.it");
    m.taskStatus = tksInProgress;
    m.taskDue = at(31, 18, 0);
    m.taskNotify = true;
    m.taskStarted = at(16, 9, 0);
    m.taskFinished = at(20, 17, 30);
    m.taskComplete = 75;
    m.publicCopy = 99;
    m.publishedAt = at(17, 12, 0);
    m.answerStampedAt = at(15, 8, 1);
    m.associated = 1;
    m.associatedTable = QStringLiteral("CON_TRO");
    m.associatedKey = QStringLiteral("C000001");
    return m;
}

// Everything that may be Null left Null, flags off, the lowest codes.
MessageCopy fewestColumnsSet()
{
    MessageCopy m;
    m.user = QStringLiteral("VERDI");
    m.priority = mspLow;
    m.notified = 0;
    return m;
}

MessageCopy hostileText()
{
    MessageCopy m = fewestColumnsSet();
    m.sender = QStringLiteral("Zoë O'Brien (OBRIEN)");
    m.subject = QStringLiteral("Re: l'offerta è \"urgente\"; DROP TABLE SYS_MSG; -- /* 中文 € 😀 ? :id @1 */");
    m.body = QStringLiteral("Riga 1\r\nRiga 2\n\t'); DELETE FROM SYS_MSG; --\r/* SELECT SCOPE_IDENTITY() */ "
                            "[MSOBJ] \\par ñ ß ø ł ğ 🙂");
    m.to = QStringLiteral("a'b@esempio.it; \"Nome; Cognome\" <c@d.it>");
    m.linkKey = QStringLiteral("'; --");
    return m;
}

MessageCopy plainMessage(const QString &subject = QStringLiteral("Promemoria"))
{
    MessageCopy m;
    m.user = QStringLiteral("ROSSI");
    m.subject = subject;
    m.sentAt = at(2, 9, 0);
    return m;
}

MailClientEntry everyQueueColumnSet()
{
    MailClientEntry e;
    e.messageId = 4242;
    e.subject = QStringLiteral("Fattura n. 3 – scadenza");
    e.body = QStringLiteral("{\\rtf1 Gentile cliente,\\par l'importo è 1.250,00 €; grazie.}");
    e.bodyIsRtf = true;
    e.to = QStringLiteral("cliente@esempio.it|altro@esempio.it");
    e.cc = QStringLiteral("copia@esempio.it");
    e.ccn = QStringLiteral("nascosta@esempio.it");
    e.importance = 2;
    e.replyToAddress = QStringLiteral("vendite@brambilla.example.it");
    e.replyToName = QStringLiteral("Ufficio vendite");
    e.sendAs = QStringLiteral("info@brambilla.example.it");
    e.queuedBy = QStringLiteral("ROSSI");
    e.queuedAt = at(3, 11, 45, 12);
    e.state = 0;
    return e;
}

QString writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        throw Failure(QStringLiteral("Cannot write %1").arg(path));
    return path;
}

QList<qint32> sorted(QList<qint32> keys)
{
    std::sort(keys.begin(), keys.end());
    return keys;
}

QStringList sorted(QStringList texts)
{
    texts.sort();
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(StoreCall)
Q_DECLARE_METATYPE(mrv::MessageCopy)

// The message tables on a real demo database: the texts run, every column
// written and read back, and which key a new row is given.
class MessageStoreTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::DemoSuite> m_suite;
    std::shared_ptr<suite::db::SuiteConnection> m_otherUser;
    std::unique_ptr<ObservedConnection> m_observed;
    std::unique_ptr<MessageStore> m_store;
    qint32 m_storedId = 0;

    suite::db::SuiteConnection &connection() const { return *m_suite->session().connection(); }

    // An invalid setting removes the value, so that the default applies.
    void setIdentitySetting(const QVariant &setting)
    {
        connection().nativeQuery(QStringLiteral("DELETE FROM SYS_CFG WHERE UPPER(CFKEY) = 'USE_SCOPE_IDENTITY'"));
        if (setting.isValid())
            m_suite->session().config()->setValue(QStringLiteral("USE_SCOPE_IDENTITY"), setting.toString());
    }

    Columns storedRow(const QString &table, qint32 id, const Columns &expected) const
    {
        const auto result =
            connection().query(QStringLiteral("SELECT * FROM %1 WHERE RECORD_ID = %2").arg(table).arg(id));
        Columns row;
        if (result.rows.isEmpty())
            return row;
        for (const auto &[name, value] : expected)
            row.append({name, result.rows.first().value(result.columns.indexOf(name))});
        return row;
    }

    qint32 maxKey(const QString &table) const
    {
        return m_suite->scalar(QStringLiteral("SELECT MAX(RECORD_ID) FROM ") + table).toInt();
    }

    // Another user of the same database adds a row of `table` now.
    qint32 concurrentInsert(const QString &table, const QString &column, const QString &value) const
    {
        m_otherUser->query(QStringLiteral("INSERT INTO %1 (%2) VALUES ('%3')").arg(table, column, value));
        return m_otherUser->query(QStringLiteral("SELECT SCOPE_IDENTITY()")).rows.first().first().toInt();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_suite = std::make_unique<testing::DemoSuite>();
        m_otherUser = suite::db::SuiteConnection::openSqlite(m_suite->databasePath());
        connection().query(QStringLiteral("INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('R&D ''NORD''', 'Ricerca')"));
        connection().query(QStringLiteral("INSERT INTO SYS_USG (CDGRU, CDUSR) VALUES ('R&D ''NORD''', 'VERDI')"));
        connection().query(QStringLiteral("INSERT INTO SYS_GRU (CDGRU, GRDES) VALUES ('VUOTO', 'Nessuno')"));
        m_storedId = MessageStore(connection(), nullptr).insert(plainMessage());
    }

    void init()
    {
        setIdentitySetting(QVariant());
        m_observed = std::make_unique<ObservedConnection>(connection());
        m_store = std::make_unique<MessageStore>(*m_observed, m_suite->session().config().get());
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_otherUser.reset();
        m_suite.reset();
    }

    void textsAreRunExactly_data()
    {
        QTest::addColumn<StoreCall>("call");
        QTest::addColumn<bool>("updatable");
        QTest::addColumn<QString>("expected");

        QTest::newRow("read one message") << StoreCall([](MessageStore &s) { s.read(4711); }) << false
                                          << lines({"SELECT * FROM SYS_MSG", "WHERE RECORD_ID = 4711"});
        QTest::newRow("thread and origin") << StoreCall([](MessageStore &s) { s.threadAndOrigin(4711); }) << false
                                           << QStringLiteral("SELECT MSTHR, MSSND FROM SYS_MSG WHERE RECORD_ID = 4711");
        QTest::newRow("thread") << StoreCall([](MessageStore &s) { s.thread(4711); }) << false
                                << QStringLiteral("SELECT MSTHR FROM SYS_MSG WHERE RECORD_ID = 4711");
        const qint32 stored = m_storedId;
        QTest::newRow("status update") << StoreCall([stored](MessageStore &s) { s.setStatus(stored, mssReaded); })
                                       << true
                                       << QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = %1").arg(stored);
        QTest::newRow("attachments of a message")
            << StoreCall([](MessageStore &s) { s.attachmentKeys(4711); }) << false
            << lines({"SELECT RECORD_ID FROM SYS_ATT", "WHERE ATTBL = 'SYS_MSG' AND", "      ATKEY = '4711'"});
        QTest::newRow("attachment names by id") << StoreCall([](MessageStore &s) {
            s.attachmentNames({3, 17, 4711});
        }) << false << QStringLiteral("SELECT RECORD_ID, ATNAM FROM SYS_ATT WHERE RECORD_ID IN (3,17,4711)");
        QTest::newRow("members of a group") << StoreCall([](MessageStore &s) { s.groupMembers("VENDITE"); }) << false
                                            << lines({"SELECT * FROM SYS_USG", "WHERE CDGRU = 'VENDITE'"});
        QTest::newRow("members of a group with a quote")
            << StoreCall([](MessageStore &s) { s.groupMembers(QStringLiteral("R&D 'NORD'")); }) << false
            << lines({"SELECT * FROM SYS_USG", "WHERE CDGRU = 'R&D ''NORD'''"});
        QTest::newRow("new key by identity") << StoreCall([](MessageStore &s) { s.insert(plainMessage()); }) << false
                                             << QStringLiteral("SELECT SCOPE_IDENTITY()");
        QTest::newRow("new key by the highest key") << StoreCall([this](MessageStore &s) {
            setIdentitySetting(QStringLiteral("0"));
            s.insert(plainMessage());
        }) << false << QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_MSG");
        QTest::newRow("new fax key by the highest key") << StoreCall([this](MessageStore &s) {
            setIdentitySetting(QStringLiteral("0"));
            connection().query(QStringLiteral("INSERT INTO SYS_FAX (FXOBJ) VALUES ('Preventivo')"));
            s.newKey(QStringLiteral("SYS_FAX"));
        }) << false << QStringLiteral("SELECT MAX(RECORD_ID) FROM SYS_FAX");
        QTest::newRow("mail-client queue key by identity whatever the setting") << StoreCall([this](MessageStore &s) {
            setIdentitySetting(QStringLiteral("0"));
            s.queueMail(everyQueueColumnSet());
        }) << false << QStringLiteral("SELECT SCOPE_IDENTITY()");
    }

    void textsAreRunExactly()
    {
        QFETCH(StoreCall, call);
        QFETCH(bool, updatable);
        QFETCH(QString, expected);
        call(*m_store);
        const QStringList &ran = updatable ? m_observed->updatableTexts : m_observed->readTexts;
        QVERIFY2(ran.contains(expected),
                 qPrintable(shown(ran.join(QLatin1String(" | "))) + QStringLiteral(" lacks ") + shown(expected)));
    }

    void everyColumnIsWrittenAndReadBack_data()
    {
        QTest::addColumn<MessageCopy>("message");
        QTest::newRow("every column set") << everyColumnSet();
        QTest::newRow("nulls, flags off, lowest codes") << fewestColumnsSet();
        QTest::newRow("non-ASCII and hostile text") << hostileText();
    }

    void everyColumnIsWrittenAndReadBack()
    {
        QFETCH(MessageCopy, message);
        const qint32 id = m_store->insert(message);
        QCOMPARE(described(storedRow(QStringLiteral("SYS_MSG"), id, storedColumns(message))),
                 described(storedColumns(message)));
        const std::optional<MessageCopy> read = m_store->read(id);
        QVERIFY(read);
        QCOMPARE(read->id, id);
        QCOMPARE(described(storedColumns(*read)), described(storedColumns(message)));
    }

    // The key comes from the query the setting names, run right after the
    // INSERT: by then this connection has also inserted into another table
    // (which identity then reports) and another user has added a higher
    // message (which the highest key then reports), so the answer tells
    // which query ran.
    void newKeyFollowsTheSetting_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<bool>("byIdentity");
        QTest::newRow("absent") << QVariant() << true;
        QTest::newRow("1") << QVariant(QStringLiteral("1")) << true;
        QTest::newRow("-1") << QVariant(QStringLiteral("-1")) << true;
        QTest::newRow("0") << QVariant(QStringLiteral("0")) << false;
        QTest::newRow("False") << QVariant(QStringLiteral("False")) << false;
    }

    void newKeyFollowsTheSetting()
    {
        QFETCH(QVariant, setting);
        QFETCH(bool, byIdentity);
        setIdentitySetting(setting);
        const qint32 undisturbed = m_store->insert(plainMessage());
        QCOMPARE(undisturbed, maxKey(QStringLiteral("SYS_MSG")));

        const qint32 otherTableKey = maxKey(QStringLiteral("SYS_MSG")) + 1000;
        qint32 concurrentKey = 0;
        m_observed->afterExecute = [&](const QString &) {
            connection().nativeQuery(
                QStringLiteral("INSERT INTO SYS_ATT (RECORD_ID, ATTBL, ATKEY, ATNAM) VALUES (?, 'SYS_FAX', '0', 'x')"),
                {otherTableKey});
            concurrentKey = concurrentInsert(QStringLiteral("SYS_MSG"), QStringLiteral("MSOBJ"), QStringLiteral("x"));
        };
        const qint32 key = m_store->insert(plainMessage());
        QVERIFY(concurrentKey > undisturbed + 1);
        QCOMPARE(key, byIdentity ? otherTableKey : concurrentKey);
    }

    void noKeyIsInventedBeforeAnyInsert()
    {
        const auto fresh = suite::db::SuiteConnection::openSqlite(m_suite->databasePath());
        MessageStore store(*fresh, nullptr);
        QVERIFY_THROWS_EXCEPTION(Failure, store.newKey(QStringLiteral("SYS_MSG")));
    }

    void updateRewritesOnlyItsRowAndRemoveDeletesIt()
    {
        const MessageCopy neighbour = everyColumnSet();
        const qint32 neighbourId = m_store->insert(neighbour);
        MessageCopy changed = everyColumnSet();
        changed.id = m_store->insert(changed);
        changed.folder = msfTrash;
        changed.status = mssReaded;
        changed.subject = QStringLiteral("Oggetto cambiato");
        changed.thread = std::nullopt;
        changed.taskComplete = 100;
        changed.readAt = QDateTime();
        changed.hasAttachments = false;
        m_store->update(changed);
        QCOMPARE(described(storedColumns(*m_store->read(changed.id))), described(storedColumns(changed)));
        QCOMPARE(described(storedColumns(*m_store->read(neighbourId))), described(storedColumns(neighbour)));

        m_store->remove(changed.id);
        QVERIFY(!m_store->read(changed.id));
        QVERIFY(!m_store->thread(changed.id));
        QVERIFY(!m_store->threadAndOrigin(changed.id));
        QVERIFY(m_store->read(neighbourId));
    }

    void threadAndOriginOfStoredAndMissingRows_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QVariant>("thread");
        QTest::addColumn<QVariant>("origin");
        QTest::newRow("recipient copy") << true << QVariant(40) << QVariant(41);
        QTest::newRow("thread without origin") << true << QVariant(40) << QVariant();
        QTest::newRow("neither set") << true << QVariant() << QVariant();
        QTest::newRow("missing row") << false << QVariant() << QVariant();
    }

    void threadAndOriginOfStoredAndMissingRows()
    {
        QFETCH(bool, stored);
        QFETCH(QVariant, thread);
        QFETCH(QVariant, origin);
        MessageCopy message = plainMessage();
        message.thread = thread.isValid() ? std::optional<qint32>(thread.toInt()) : std::nullopt;
        message.origin = origin.isValid() ? std::optional<qint32>(origin.toInt()) : std::nullopt;
        const qint32 id = stored ? m_store->insert(message) : maxKey(QStringLiteral("SYS_MSG")) + 1;

        QCOMPARE(optionalValue(m_store->thread(id)), thread);
        const auto both = m_store->threadAndOrigin(id);
        QCOMPARE(both.has_value(), stored);
        if (!stored)
            return;
        QCOMPARE(optionalValue(both->first), thread);
        QCOMPARE(optionalValue(both->second), origin);
    }

    void statusChangeTouchesOnlyTheStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("read") << int(mssReaded);
        QTest::newRow("forwarded") << int(mssForwarded);
        QTest::newRow("replied") << int(mssReplied);
        QTest::newRow("back to not read") << int(mssNotReaded);
    }

    void statusChangeTouchesOnlyTheStatus()
    {
        QFETCH(int, status);
        MessageCopy message = everyColumnSet();
        message.status = status == mssNotReaded ? mssReaded : mssNotReaded;
        const qint32 id = m_store->insert(message);
        m_store->setStatus(id, status);
        message.status = status;
        QCOMPARE(described(storedColumns(*m_store->read(id))), described(storedColumns(message)));
    }

    void statusOfAMissingMessageFailsAndWritesNothing()
    {
        const qint32 missing = maxKey(QStringLiteral("SYS_MSG")) + 1;
        QVERIFY_THROWS_EXCEPTION(Failure, m_store->setStatus(missing, mssReaded));
        QVERIFY(!m_store->read(missing));
    }

    // A message's files, the objects embedded in its body, another message's
    // files and a fax's files are all rows of the same table.
    void attachmentsAreTheMessagesFilesOnly()
    {
        QTemporaryDir files;
        const auto path = [&](const char *name) { return files.filePath(QString::fromUtf8(name)); };
        const QString offer = writeFile(path("offerta.pdf"), "%PDF-1.4 offerta");
        const QString list = writeFile(path("listino prezzi è.xlsx"), QByteArray(4096, 'x'));
        const QString logo = writeFile(path("logo.png"), "\x89PNG");
        const qint32 id = m_store->insert(plainMessage());
        const QString key = QString::number(id);
        const QString otherKey = QString::number(m_store->insert(plainMessage()));
        auto &records = *m_suite->session().records();

        const qint32 offerKey = records.addAttachment(QStringLiteral("SYS_MSG"), key, offer);
        const qint32 embeddedKey = records.addAttachment(QStringLiteral("SYS_MSG_MSTXT"), key, logo);
        records.addAttachment(QStringLiteral("SYS_MSG"), otherKey, logo);
        records.addAttachment(QStringLiteral("SYS_FAX"), key, logo);
        const qint32 listKey = records.addAttachment(QStringLiteral("SYS_MSG"), key, list);

        const QList<qint32> keys = m_store->attachmentKeys(id);
        QCOMPARE(sorted(keys), sorted(QList<qint32>{offerKey, listKey}));
        QList<QPair<qint32, QString>> names = m_store->attachmentNames(keys + QList<qint32>{embeddedKey, 999999});
        std::sort(names.begin(), names.end());
        const QList<QPair<qint32, QString>> expected = {{offerKey, QStringLiteral("offerta.pdf")},
                                                        {embeddedKey, QStringLiteral("logo.png")},
                                                        {listKey, QStringLiteral("listino prezzi è.xlsx")}};
        QCOMPARE(names, expected);
        QVERIFY(m_store->attachmentNames({}).isEmpty());
        QVERIFY(m_store->attachmentKeys(maxKey(QStringLiteral("SYS_MSG")) + 1).isEmpty());
    }

    void groupsAndTheirMembers_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("isGroup");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("demo sales office")
            << QStringLiteral("VENDITE") << true << QStringList{"BIANCHI", "RICCI", "ROSSI"};
        QTest::newRow("demo technical office")
            << QStringLiteral("TECNICO") << true << QStringList{"ROMANO", "ROSSI", "VERDI"};
        QTest::newRow("quote in the code") << QStringLiteral("R&D 'NORD'") << true << QStringList{"VERDI"};
        QTest::newRow("group without members") << QStringLiteral("VUOTO") << true << QStringList();
        QTest::newRow("a user is not a group") << QStringLiteral("ROSSI") << false << QStringList();
        QTest::newRow("unknown code") << QStringLiteral("NESSUNO") << false << QStringList();
        QTest::newRow("injection attempt") << QStringLiteral("' OR '1'='1") << false << QStringList();
    }

    void groupsAndTheirMembers()
    {
        QFETCH(QString, code);
        QFETCH(bool, isGroup);
        QFETCH(QStringList, members);
        QCOMPARE(m_store->isGroup(code), isGroup);
        QCOMPARE(sorted(m_store->groupMembers(code)), members);
    }

    // The queue's key is read by identity even where message keys are read
    // by the highest key: another user's queue entry lands in between.
    void mailClientQueueRowAndFiles()
    {
        setIdentitySetting(QStringLiteral("0"));
        qint32 concurrentKey = 0;
        m_observed->afterExecute = [&](const QString &statement) {
            if (statement.startsWith(QLatin1String("INSERT INTO SYS_MCL")))
                concurrentKey =
                    concurrentInsert(QStringLiteral("SYS_MCL"), QStringLiteral("MCSUB"), QStringLiteral("altrui"));
        };
        const MailClientEntry entry = everyQueueColumnSet();
        const qint32 id = m_store->queueMail(entry);
        QVERIFY(concurrentKey > id);
        QCOMPARE(described(storedRow(QStringLiteral("SYS_MCL"), id, queuedColumns(entry))),
                 described(queuedColumns(entry)));

        QTemporaryDir files;
        const QString image = writeFile(files.filePath(QStringLiteral("image001.png")), "\x89PNG");
        const QString invoice = writeFile(files.filePath(QStringLiteral("Fattura n. 3 dell'anno.pdf")), "%PDF");
        m_store->queueMailFile(id, image, QStringLiteral("image001.png@01D9A1B2.C3D4E5F0"));
        m_store->queueMailFile(id, invoice, QString());
        m_store->queueMailFile(concurrentKey, invoice, QString());
        const auto stored = connection().query(
            QStringLiteral("SELECT MCFIL, MCCID FROM SYS_MCA WHERE IDMCL = %1 ORDER BY RECORD_ID").arg(id));
        QCOMPARE(stored.rows.size(), 2);
        QCOMPARE(stored.rows.at(0).at(0).toString(), image);
        QCOMPARE(stored.rows.at(0).at(1).toString(), QStringLiteral("image001.png@01D9A1B2.C3D4E5F0"));
        QCOMPARE(stored.rows.at(1).at(0).toString(), invoice);
        QCOMPARE(comparable(stored.rows.at(1).at(1)), QStringLiteral("NULL"));
    }
};

QTEST_GUILESS_MAIN(MessageStoreTest)
#include "tst_messagestore.moc"
