#include "RichTextSamples.h"
#include "ServicesTestDatabase.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "services/SuiteRecords.h"
#include "services/SuiteUserManager.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace mrv;
using namespace mrv::suite;
using namespace Qt::StringLiterals;

namespace {

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
        return std::make_unique<SuiteRecords>(m_database->connection(), m_database->users(u"ROSSI"_s, company),
                                              nullptr);
    }

    QString file(const QString &name) const { return QDir(m_database->folder()).filePath(name); }

    qint32 attach(const QString &table, const QString &key, const QString &name)
    {
        return m_records->addAttachment(table, key, testing::writeFile(m_database->folder(), name, name.toUtf8()));
    }

    // Owner and name of every attachment row, by key.
    QMap<qint32, QString> attachmentRows() const
    {
        QMap<qint32, QString> rows;
        for (const QVariantList &row :
             m_database->connection()
                 ->nativeQuery(u"SELECT RECORD_ID, ATTBL || '|' || ATKEY || '|' || ATNAM FROM SYS_ATT"_s)
                 .rows)
            rows.insert(row.at(0).toInt(), row.at(1).toString());
        return rows;
    }

private Q_SLOTS:
    void init()
    {
        m_database = std::make_unique<testing::ServicesTestDatabase>();
        m_records = recordsOf(u"A01"_s);
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
        QTest::newRow("company table") << u"B02"_s << u"NUM_TEL"_s << u"B02_NUM_TEL"_s;
        QTest::newRow("company view") << u"A01"_s << u"IND_ALL_LST"_s << u"A01_IND_ALL_LST"_s;
        QTest::newRow("company function") << u"B02"_s << u"XFN_IND_ALL_CHK"_s << u"B02_XFN_IND_ALL_CHK"_s;
        QTest::newRow("explicit prefix") << u"A01"_s << u"_CON_TRO_FAX"_s << u"A01_CON_TRO_FAX"_s;
        QTest::newRow("suite table") << u"A01"_s << u"SYS_MSG"_s << u"SYS_MSG"_s;
        QTest::newRow("unknown") << u"A01"_s << u"XYZ_ABC"_s << u"XYZ_ABC"_s;
    }

    void physicalName()
    {
        QFETCH(QString, company);
        QFETCH(QString, logical);
        QFETCH(QString, expected);
        QCOMPARE(recordsOf(company)->physicalName(logical, QString()), expected);
    }

    // The table before the first separator ("|" when none is given), the key
    // after it.
    void splitLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("key with separator") << u"SYS_MSG|a|b"_s << u"|"_s << QStringList{"SYS_MSG", "a|b"};
        QTest::newRow("no separator") << u"SYS_MSG"_s << u"|"_s << QStringList{};
        QTest::newRow("long separator") << u"A::B"_s << u"::"_s << QStringList{"A", "B"};
        QTest::newRow("default separator") << u"A|B"_s << QString() << QStringList{"A", "B"};
    }

    void splitLink()
    {
        QFETCH(QString, link);
        QFETCH(QString, separator);
        QFETCH(QStringList, parts);
        QString table;
        QString key;
        QCOMPARE(m_records->splitLink(link, separator, table, key), !parts.isEmpty());
        QCOMPARE((QStringList{table, key}), (parts.isEmpty() ? QStringList{"", ""} : parts));
    }

    void attachmentRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("storedName");
        QTest::newRow("every byte value") << u"in/all bytes.bin"_s << testing::everyByteValue(3) << u"all bytes.bin"_s;
        QTest::newRow("empty file") << u"in/empty.txt"_s << QByteArray() << u"empty.txt"_s;
        QTest::newRow("climbing name") << u"in/one/two/../../x"_s << QByteArray("x\0y", 3) << u"x"_s;
        QTest::newRow("unicode name") << u"in/Offerta già pronta €.pdf"_s << QByteArray("%PDF")
                                      << u"Offerta già pronta €.pdf"_s;
    }

    void attachmentRoundTrip()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, contents);
        QFETCH(QString, storedName);
        QDir().mkpath(file(u"in/one/two"_s));
        const qint32 key =
            m_records->addAttachment(u"SYS_MSG"_s, u"17"_s, testing::writeFile(m_database->folder(), path, contents));
        QCOMPARE(m_database->scalar(u"SELECT ATTBL || '|' || ATKEY || '|' || ATNAM || '|' || ATSIZ FROM SYS_ATT "
                                    u"WHERE RECORD_ID = ?"_s,
                                    {key}),
                 u"SYS_MSG|17|%1|%2"_s.arg(storedName).arg(contents.size()));
        const QString target = file(u"out/deep/er/"_s + storedName);
        QVERIFY(m_records->extractAttachment(key, target));
        QCOMPARE(readFile(target), contents);
    }

    void attachmentFailures()
    {
        QVERIFY(!m_records->extractAttachment(999, file(u"never"_s)));
        QVERIFY(!QFileInfo::exists(file(u"never"_s)));
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->addAttachment(u"SYS_MSG"_s, u"1"_s, file(u"missing.txt"_s)));
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->addAttachment(u"SYS_MSG"_s, u"1"_s, file({})));
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->copyAttachment(999, u"SYS_MSG"_s, u"2"_s));
        QVERIFY(attachmentRows().isEmpty());
    }

    // Kept keys stay, another owner's are copied, the rest of this owner's
    // go; the body's embedded pictures are another owner. A missing key
    // changes nothing.
    void setAttachmentsMakesTheOwnerHoldExactlyTheList()
    {
        const qint32 dropped = attach(u"SYS_MSG"_s, u"5"_s, u"dropped.txt"_s);
        const qint32 kept = attach(u"SYS_MSG"_s, u"5"_s, u"kept.txt"_s);
        const qint32 foreign = attach(u"SYS_MSG"_s, u"6"_s, u"foreign.txt"_s);
        const qint32 body = attach(u"SYS_MSG_MSTXT"_s, u"5"_s, u"body.png"_s);
        auto rows = attachmentRows();
        QVERIFY_THROWS_EXCEPTION(Failure, m_records->setAttachments(u"SYS_MSG"_s, u"5"_s, {kept, 4242}));
        QCOMPARE(attachmentRows(), rows);

        m_records->setAttachments(u"SYS_MSG"_s, u"5"_s, {kept, foreign, foreign});
        rows.remove(dropped);
        const qint32 copy = attachmentRows().lastKey();
        rows.insert(copy, u"SYS_MSG|5|foreign.txt"_s);
        QCOMPARE(attachmentRows(), rows);
        QVERIFY(copy > body);
        // The copy holds the contents itself.
        m_database->connection()->nativeQuery(u"DELETE FROM SYS_ATT WHERE RECORD_ID = ?"_s, {foreign});
        QVERIFY(m_records->extractAttachment(copy, file(u"copy.txt"_s)));
        QCOMPARE(readFile(file(u"copy.txt"_s)), "foreign.txt");

        m_records->setAttachments(u"SYS_MSG"_s, u"5"_s, {});
        QCOMPARE(attachmentRows().keys(), (QList<qint32>{body}));
    }

    // Observers in the process, and every client of the database listening
    // from before the signal: the task's user and key, else the raiser.
    void signalsReachObserversAndOtherClients()
    {
        const auto other = db::SuiteConnection::connect(m_database->databasePath());
        other->listen();
        QSignalSpy spy(m_records.get(), &SuiteRecords::signalRaised);
        m_records->raiseSignal(u"#TaskNotification#"_s, {u"VERDI"_s, 42});
        m_records->raiseSignal(u"#NewMessage#"_s);
        QCOMPARE(spy, (QList<QList<QVariant>>{{u"#TaskNotification#"_s, QVariantList{u"VERDI"_s, 42}},
                                              {u"#NewMessage#"_s, QVariantList()}}));
        QCOMPARE(m_records->signalCount(u"#TaskNotification#"_s) - m_records->signalCount(u"#Other#"_s), 1);
        QStringList told;
        for (int wait = 0; wait < 50 && told.size() < 2; ++wait)
            told += other->waitForNotifications(100);
        QCOMPARE(told, (QStringList{u"#TaskNotification#\tVERDI\t42"_s, u"#NewMessage#\tROSSI\t"_s}));
        QCOMPARE(other->waitForNotifications(0), QStringList());
    }
};

QTEST_MAIN(ServiceRecordsTest)
#include "tst_services_records.moc"
