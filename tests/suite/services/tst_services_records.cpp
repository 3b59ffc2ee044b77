#include "ServicesTestDatabase.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/ScriptedInteraction.h"
#include "services/SuiteRecords.h"
#include "services/SuiteRichTextStore.h"
#include "services/SuiteUserManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace mrv;
using namespace mrv::suite;

namespace {

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
    }
    return bytes;
}

QString writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

// Record services on a real suite database: names, titles, attachments with
// their contents, signals and the delegated operations.
class ServiceRecordsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::ServicesTestDatabase> m_database;
    std::unique_ptr<SuiteRecords> m_records;

    std::unique_ptr<SuiteRecords> recordsOf(const QString &company) const
    {
        return std::make_unique<SuiteRecords>(m_database->connection(), m_database->users("ROSSI", company), nullptr);
    }

    QString file(const QString &name) const { return QDir(m_database->folder()).filePath(name); }

    // The owner and name of each attachment row, by key.
    QMap<qint32, QString> attachmentRows() const
    {
        QMap<qint32, QString> rows;
        const auto result =
            m_database->connection()->nativeQuery(QStringLiteral("SELECT RECORD_ID, ATTBL, ATKEY, ATNAM FROM SYS_ATT"));
        for (const QVariantList &row : result.rows)
            rows.insert(row.at(0).toInt(),
                        QStringList{row.at(1).toString(), row.at(2).toString(), row.at(3).toString()}.join('|'));
        return rows;
    }

    QList<qint32> keysOf(const QString &table, const QString &key) const
    {
        QList<qint32> keys;
        const auto result = m_database->connection()->nativeQuery(
            QStringLiteral("SELECT RECORD_ID FROM SYS_ATT WHERE ATTBL = ? AND ATKEY = ? ORDER BY RECORD_ID"),
            {table, key});
        for (const QVariantList &row : result.rows)
            keys << row.first().toInt();
        return keys;
    }

private Q_SLOTS:
    void init()
    {
        m_database = std::make_unique<testing::ServicesTestDatabase>();
        m_records = recordsOf(QStringLiteral("A01"));
    }

    void cleanup()
    {
        m_records.reset();
        m_database.reset();
    }

    void physicalName_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("logical");
        QTest::addColumn<QString>("expected");
        QTest::newRow("company table") << "A01"
                                       << "IND_WEB"
                                       << "A01_IND_WEB";
        QTest::newRow("other company") << "B02"
                                       << "NUM_TEL"
                                       << "B02_NUM_TEL";
        QTest::newRow("company view") << "A01"
                                      << "IND_ALL_LST"
                                      << "A01_IND_ALL_LST";
        QTest::newRow("company function") << "B02"
                                          << "XFN_IND_ALL_CHK"
                                          << "B02_XFN_IND_ALL_CHK";
        QTest::newRow("count function") << "A01"
                                        << "XFN_IND_ALL_CNT"
                                        << "A01_XFN_IND_ALL_CNT";
        QTest::newRow("explicit prefix") << "A01"
                                         << "_CON_TRO_FAX"
                                         << "A01_CON_TRO_FAX";
        QTest::newRow("suite table") << "A01"
                                     << "SYS_MSG"
                                     << "SYS_MSG";
        QTest::newRow("suite view") << "A01"
                                    << "AZI_FAX"
                                    << "AZI_FAX";
        QTest::newRow("already physical") << "A01"
                                          << "A01_IND_WEB"
                                          << "A01_IND_WEB";
        QTest::newRow("unknown") << "A01"
                                 << "XYZ_ABC"
                                 << "XYZ_ABC";
        QTest::newRow("empty") << "A01"
                               << ""
                               << "";
    }

    void physicalName()
    {
        QFETCH(QString, company);
        QFETCH(QString, logical);
        QFETCH(QString, expected);
        QCOMPARE(recordsOf(company)->physicalName(logical, QString()), expected);
    }

    void objectTitle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("table") << "TST_MSG" << 1 << "Messaggi di prova";
        QTest::newRow("view with a title") << "TST_MSG_OUT" << 4 << "Messaggi inviati";
        QTest::newRow("view falls back to its table") << "TST_MSG_INB" << 4 << "Messaggi di prova";
        QTest::newRow("table does not fall back") << "TST_MSG_INB" << 1 << "";
        QTest::newRow("physical name") << "A01_TST_CON" << 1 << "Controparti di prova";
        QTest::newRow("unknown") << "TST_XXX" << 4 << "";
    }

    void objectTitle()
    {
        QFETCH(QString, name);
        QFETCH(qint32, kind);
        QFETCH(QString, expected);
        for (const auto &[table, title] :
             {std::pair{"TST_MSG", "Messaggi di prova "}, std::pair{"TST_MSG_OUT", "Messaggi inviati"},
              std::pair{"TST_CON", "Controparti di prova"}}) {
            m_database->connection()->nativeQuery(QStringLiteral("INSERT INTO SYS_TBL (TBNAM, TBDES) VALUES (?, ?)"),
                                                  {QString::fromLatin1(table), QString::fromLatin1(title)});
        }
        QCOMPARE(m_records->objectTitle(name, kind), expected);
    }

    void splitLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("split");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("key");
        QTest::newRow("plain") << "DOC_VEN|123"
                               << "|" << true << "DOC_VEN"
                               << "123";
        QTest::newRow("key with separator") << "SYS_MSG|a|b"
                                            << "|" << true << "SYS_MSG"
                                            << "a|b";
        QTest::newRow("empty key") << "SYS_MSG|"
                                   << "|" << true << "SYS_MSG"
                                   << "";
        QTest::newRow("no separator") << "SYS_MSG"
                                      << "|" << false << ""
                                      << "";
        QTest::newRow("long separator") << "A::B"
                                        << "::" << true << "A"
                                        << "B";
        QTest::newRow("default separator") << "A|B"
                                           << "" << true << "A"
                                           << "B";
    }

    void splitLink()
    {
        QFETCH(QString, link);
        QFETCH(QString, separator);
        QFETCH(bool, split);
        QFETCH(QString, table);
        QFETCH(QString, key);
        QString gotTable;
        QString gotKey;
        QCOMPARE(m_records->splitLink(link, separator, gotTable, gotKey), split);
        QCOMPARE(gotTable, table);
        QCOMPARE(gotKey, key);
    }

    void attachmentRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("storedName");
        QTest::newRow("every byte value") << "in/all bytes.bin" << everyByteValue() << "all bytes.bin";
        QTest::newRow("empty file") << "in/empty.txt" << QByteArray() << "empty.txt";
        QTest::newRow("climbing name") << "in/one/two/../../x" << QByteArray("x\0y", 3) << "x";
        QTest::newRow("unicode name") << QString::fromUtf8("in/Offerta già pronta €.pdf") << QByteArray("%PDF")
                                      << QString::fromUtf8("Offerta già pronta €.pdf");
    }

    void attachmentRoundTrip()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, contents);
        QFETCH(QString, storedName);
        QDir().mkpath(file(QStringLiteral("in/one/two")));
        const qint32 key =
            m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("17"), writeFile(file(path), contents));
        QVERIFY(key > 0);
        const auto row = m_database->connection()->nativeQuery(
            QStringLiteral("SELECT ATTBL, ATKEY, ATNAM, ATSIZ FROM SYS_ATT WHERE RECORD_ID = ?"), {key});
        QCOMPARE(row.rows.size(), 1);
        QCOMPARE(row.rows.first().at(0).toString(), QStringLiteral("SYS_MSG"));
        QCOMPARE(row.rows.first().at(1).toString(), QStringLiteral("17"));
        QCOMPARE(row.rows.first().at(2).toString(), storedName);
        QCOMPARE(row.rows.first().at(3).toLongLong(), contents.size());

        const QString target = file(QStringLiteral("out/deep/er/") + storedName);
        QVERIFY(m_records->extractAttachment(key, target));
        QCOMPARE(readFile(target), contents);
    }

    void attachmentFailures()
    {
        QVERIFY(!m_records->extractAttachment(999, file(QStringLiteral("never"))));
        QVERIFY(!QFileInfo::exists(file(QStringLiteral("never"))));
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("1"),
                                                                   file(QStringLiteral("missing.txt"))));
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("1"), file({})));
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 m_records->copyAttachment(999, QStringLiteral("SYS_MSG"), QStringLiteral("2")));
        QVERIFY(attachmentRows().isEmpty());
    }

    void copyAttachmentMakesAnIndependentRow()
    {
        const QByteArray contents = everyByteValue();
        const qint32 original = m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("1"),
                                                         writeFile(file("a.bin"), contents));
        const qint32 copy = m_records->copyAttachment(original, QStringLiteral("SYS_FAX"), QStringLiteral("9"));
        QVERIFY(copy != original);
        QCOMPARE(attachmentRows(), (QMap<qint32, QString>{{original, "SYS_MSG|1|a.bin"}, {copy, "SYS_FAX|9|a.bin"}}));
        m_database->connection()->nativeQuery(QStringLiteral("DELETE FROM SYS_ATT WHERE RECORD_ID = ?"), {original});
        QVERIFY(m_records->extractAttachment(copy, file(QStringLiteral("copy.bin"))));
        QCOMPARE(readFile(file(QStringLiteral("copy.bin"))), contents);
    }

    void setAttachmentsMakesTheOwnerHoldExactlyTheList()
    {
        const auto add = [this](const QString &table, const QString &key, const QString &name) {
            return m_records->addAttachment(table, key, writeFile(file(name), name.toUtf8()));
        };
        const qint32 dropped = add(QStringLiteral("SYS_MSG"), QStringLiteral("5"), QStringLiteral("dropped.txt"));
        const qint32 kept = add(QStringLiteral("SYS_MSG"), QStringLiteral("5"), QStringLiteral("kept.txt"));
        const qint32 foreign = add(QStringLiteral("SYS_MSG"), QStringLiteral("6"), QStringLiteral("foreign.txt"));
        const qint32 body = add(QStringLiteral("SYS_MSG_MSTXT"), QStringLiteral("5"), QStringLiteral("body.png"));

        m_records->setAttachments(QStringLiteral("SYS_MSG"), QStringLiteral("5"), {kept, foreign, foreign});

        const QList<qint32> owned = keysOf(QStringLiteral("SYS_MSG"), QStringLiteral("5"));
        QCOMPARE(owned.size(), 2);
        QCOMPARE(owned.first(), kept);
        const qint32 copied = owned.last();
        QVERIFY(copied != foreign);
        QCOMPARE(attachmentRows(), (QMap<qint32, QString>{{kept, "SYS_MSG|5|kept.txt"},
                                                          {foreign, "SYS_MSG|6|foreign.txt"},
                                                          {body, "SYS_MSG_MSTXT|5|body.png"},
                                                          {copied, "SYS_MSG|5|foreign.txt"}}));
        QVERIFY(!attachmentRows().contains(dropped));

        m_records->setAttachments(QStringLiteral("SYS_MSG"), QStringLiteral("5"), {});
        QVERIFY(keysOf(QStringLiteral("SYS_MSG"), QStringLiteral("5")).isEmpty());
        QCOMPARE(keysOf(QStringLiteral("SYS_MSG_MSTXT"), QStringLiteral("5")), QList<qint32>{body});
    }

    void setAttachmentsChangesNothingWhenAKeyIsMissing()
    {
        const qint32 first =
            m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("5"), writeFile(file("first.txt"), "1"));
        const qint32 other =
            m_records->addAttachment(QStringLiteral("SYS_MSG"), QStringLiteral("6"), writeFile(file("other.txt"), "2"));
        const auto before = attachmentRows();
        QVERIFY_THROWS_EXCEPTION(
            Failure, m_records->setAttachments(QStringLiteral("SYS_MSG"), QStringLiteral("5"), {other, 4242}));
        QCOMPARE(attachmentRows(), before);
        QCOMPARE(keysOf(QStringLiteral("SYS_MSG"), QStringLiteral("5")), QList<qint32>{first});
    }

    void signalsReachObserversAndAreCounted()
    {
        QSignalSpy spy(m_records.get(), &SuiteRecords::signalRaised);
        m_records->raiseSignal(QStringLiteral("#NewMessage#"));
        m_records->raiseSignal(QStringLiteral("#TaskNotification#"), {QStringLiteral("VERDI"), 42});
        m_records->raiseSignal(QStringLiteral("#NewMessage#"));
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("#NewMessage#"));
        QVERIFY(spy.at(0).at(1).toList().isEmpty());
        QCOMPARE(spy.at(1).at(1).toList(), (QVariantList{QStringLiteral("VERDI"), 42}));
        QCOMPARE(m_records->signalCount(QStringLiteral("#NewMessage#")), 2);
        QCOMPARE(m_records->signalCount(QStringLiteral("#TaskNotification#")), 1);
        QCOMPARE(m_records->signalCount(QStringLiteral("#Other#")), 0);
    }

    void storedMessagesGoToTheInstalledSender()
    {
        QString log;
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->sendStoredMessage(7, QVariant(), QVariant(), log, 0));
        QList<qint32> sent;
        m_records->setMessageSender(
            [&sent](qint32 key, const QVariant &replying, const QVariant &, QString &connectLog, qint32 format) {
                sent << key << replying.toInt() << format;
                connectLog = QStringLiteral("250 OK");
                return true;
            });
        QVERIFY(m_records->sendStoredMessage(7, 3, QVariant(), log, 1));
        QCOMPARE(sent, (QList<qint32>{7, 3, 1}));
        QCOMPARE(log, QStringLiteral("250 OK"));
    }

    void dialogsGoThroughTheInteraction()
    {
        auto script = std::dynamic_pointer_cast<ScriptedInteraction>(m_records->interaction());
        QVERIFY(script);
        // Nothing queued: the dialogs are cancelled.
        QVERIFY(!m_records->chooseRecord(nullptr, QStringLiteral("SYS_USR"), QString()));
        QCOMPARE(m_records->chooseRecipients(nullptr, QStringLiteral("'A','B'"), QStringLiteral("ros")), QString());

        script->queueChosenRecord(host::ChosenRecord{QStringLiteral("VERDI"), QStringLiteral("Anna Verdi")});
        script->queueChosenRecipients(QStringLiteral("Mario Rossi <ROSSI>"));
        QCOMPARE(m_records->chooseRecord(nullptr, QStringLiteral("SYS_USR"), QStringLiteral("1 = 1"))->key,
                 QStringLiteral("VERDI"));
        QCOMPARE(m_records->chooseRecipients(nullptr, QStringLiteral("'A'"), QStringLiteral("ros")),
                 QStringLiteral("Mario Rossi <ROSSI>"));
        QCOMPARE(script->calls(QStringLiteral("chooseRecipients")).last().arguments.mid(1),
                 (QVariantList{QStringLiteral("'A'"), QStringLiteral("ros")}));
        QCOMPARE(script->calls(QStringLiteral("chooseRecord")).last().arguments.mid(1),
                 (QVariantList{QStringLiteral("SYS_USR"), QStringLiteral("1 = 1")}));
    }

    void richTextStoreRoundTrip_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("keyColumn");
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint32>("keyKind");
        QTest::addColumn<QString>("column");
        QTest::newRow("numeric key") << "SYS_MSG"
                                     << "RECORD_ID"
                                     << "1" << qint32(host::kkNumber) << "MSTXT";
        QTest::newRow("text key") << "SYS_USR"
                                  << "CDUSR"
                                  << "VERDI" << qint32(host::kkText) << "USEML";
    }

    void richTextStoreRoundTrip()
    {
        QFETCH(QString, table);
        QFETCH(QString, keyColumn);
        QFETCH(QString, key);
        QFETCH(qint32, keyKind);
        QFETCH(QString, column);
        m_database->connection()->nativeQuery(QStringLiteral("INSERT INTO SYS_MSG (MSOBJ) VALUES ('x')"));
        SuiteRichTextStore store(m_database->connection());
        const QString text = QString::fromUtf8("{\\rtf1 l'offerta \"già\" pronta \\par €}");
        QCOMPARE(store.load(column, table, keyColumn, key, keyKind, 5), QString());
        store.save(text, column, table, keyColumn, key, keyKind, 5);
        QCOMPARE(store.load(column, table, keyColumn, key, keyKind, 5), text);
        QCOMPARE(store.load(column, table, keyColumn, QStringLiteral("999"), keyKind, 5), QString());
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 store.save(text, column, table, keyColumn, QStringLiteral("999"), keyKind, 5));
    }
};

QTEST_MAIN(ServiceRecordsTest)
#include "tst_services_records.moc"
