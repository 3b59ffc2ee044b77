#include "ServicesTestDatabase.h"

#include "db/SuiteConnection.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "services/SuiteConfig.h"
#include "services/SuiteErrors.h"
#include "services/SuitePaths.h"
#include "services/SuiteSession.h"
#include "services/SuiteTextService.h"
#include "services/SuiteUserManager.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace mrv;
using namespace mrv::suite;
using namespace Qt::StringLiterals;

// Configuration scopes, the error log, texts and message boxes, paths, users
// and the session, on a real suite database.
class ServicesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::ServicesTestDatabase> m_database;
    QTemporaryDir m_root;

    SuiteConfig configOf(const QString &user, const QString &application = u"mrv"_s) const
    {
        return SuiteConfig(m_database->connection(), m_database->users(user), application);
    }

    void insertConfigRow(const QString &key, const QString &user, const QString &application, const QString &value)
    {
        m_database->connection()->nativeQuery(u"INSERT INTO SYS_CFG (CFKEY, CFUSR, CFAPP, CFVAL) VALUES (?, ?, ?, ?)"_s,
                                              {key, user, application, value});
    }

private Q_SLOTS:
    void init() { m_database = std::make_unique<testing::ServicesTestDatabase>(); }
    void cleanup() { m_database.reset(); }

    void configReadTakesTheMostSpecificScope_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all four") << QStringList{"global", "app", "user", "user+app"} << "user+app";
        QTest::newRow("user beats app") << QStringList{"global", "app", "user"} << "user";
        QTest::newRow("app beats global") << QStringList{"global", "app"} << "app";
        QTest::newRow("nothing: default") << QStringList{} << "default";
    }

    void configReadTakesTheMostSpecificScope()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, expected);
        const QHash<QString, QStringList> owners = {
            {"global", {"", ""}}, {"app", {"", "MRV"}}, {"user", {"rossi", ""}}, {"user+app", {"ROSSI", "mrv"}}};
        for (const QString &scope : stored)
            insertConfigRow(u"Smtp_Host"_s, owners[scope].at(0), owners[scope].at(1), scope);
        // Rows of another user and another program never apply.
        for (const auto &[user, application] :
             {std::pair{"VERDI", "mrv"}, std::pair{"VERDI", ""}, std::pair{"", "other"}, std::pair{"ROSSI", "other"}})
            insertConfigRow(u"SMTP_HOST"_s, QString::fromLatin1(user), QString::fromLatin1(application), u"no"_s);
        QCOMPARE(configOf(u"ROSSI"_s).value(u"smtp_host"_s, u"default"_s), expected);
    }

    void configWriteGoesToItsScope_data()
    {
        QTest::addColumn<bool>("perUser");
        QTest::addColumn<bool>("perApplication");
        QTest::newRow("global") << false << false;
        QTest::newRow("application") << false << true;
        QTest::newRow("user") << true << false;
        QTest::newRow("user and application") << true << true;
    }

    void configWriteGoesToItsScope()
    {
        QFETCH(bool, perUser);
        QFETCH(bool, perApplication);
        // "rossi" as typed: the stored owner is the user's code as SYS_USR has
        // it. The key in another case is the same key: one row.
        SuiteConfig config = configOf(u"rossi"_s);
        config.setValue(u"email_receipt"_s, u"-1"_s, perUser, perApplication);
        const auto owner = u"SELECT CFUSR || '/' || CFAPP FROM SYS_CFG WHERE UPPER(CFKEY) = 'EMAIL_RECEIPT'"_s;
        QCOMPARE(m_database->scalar(owner),
                 QString((perUser ? u"ROSSI/"_s : u"/"_s) + (perApplication ? u"mrv"_s : QString())));
        QCOMPARE(config.value(u"EMAIL_RECEIPT"_s), u"-1"_s);
        QCOMPARE(configOf(u"VERDI"_s).value(u"EMAIL_RECEIPT"_s, u"0"_s), perUser ? "0" : "-1");
        QCOMPARE(configOf(u"ROSSI"_s, u"other"_s).value(u"EMAIL_RECEIPT"_s, u"0"_s), perApplication ? "0" : "-1");
        // Without "create missing" only a value stored in that very scope changes.
        config.setValue(u"EMAIL_RECEIPT"_s, u"0"_s, perUser, perApplication, false);
        config.setValue(u"UNSET_KEY"_s, u"x"_s, perUser, perApplication, false);
        QCOMPARE(config.value(u"EMAIL_RECEIPT"_s), u"0"_s);
        QCOMPARE(config.value(u"UNSET_KEY"_s, u"absent"_s), u"absent"_s);
        QCOMPARE(m_database->scalar(u"SELECT COUNT(*) FROM SYS_CFG"_s), 1);
    }

    // Reads are served from a cache; every way the table can change under it
    // must show in the next read.
    // The engine's own statements: SQLite's spellings where the row needs them.
    void configReadSeesEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("sqliteOnly");
        QTest::newRow("own UPDATE") << u"UPDATE SYS_CFG SET CFVAL = 'changed' WHERE CFKEY = 'MODE'"_s << u"changed"_s
                                    << false;
        QTest::newRow("bracketed name, comment first")
            << u"/* by hand */ update [sys_cfg] set CFVAL = 'changed' where CFKEY = 'MODE'"_s << u"changed"_s << true;
        QTest::newRow("schema-qualified DELETE")
            << u"DELETE FROM main.SYS_CFG WHERE CFKEY = 'MODE'"_s << u"default"_s << true;
        QTest::newRow("INSERT OR REPLACE, quoted name")
            << u"INSERT OR REPLACE INTO \"SYS_CFG\" (CFKEY, CFUSR, CFAPP, CFVAL) VALUES ('MODE', 'ROSSI', '', 'mine')"_s
            << u"mine"_s << true;
        QTest::newRow("table rebuilt")
            << u"DROP TABLE SYS_CFG; CREATE TABLE SYS_CFG (CFKEY TEXT, CFUSR TEXT, CFAPP TEXT, CFVAL TEXT)"_s
            << u"default"_s << false;
        QTest::newRow("another connection")
            << u"other: UPDATE SYS_CFG SET CFVAL = 'elsewhere'"_s << u"elsewhere"_s << false;
        QTest::newRow("rolled back") << u"rollback: UPDATE SYS_CFG SET CFVAL = 'undone'"_s << u"global"_s << false;
    }

    void configReadSeesEveryChange()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        QFETCH(bool, sqliteOnly);
        if (sqliteOnly && testing::TestDatabase::onServer())
            QSKIP("SQLite's own spelling");
        insertConfigRow(u"MODE"_s, u""_s, u""_s, u"global"_s);
        const SuiteConfig config = configOf(u"ROSSI"_s);
        QCOMPARE(config.value(u"MODE"_s, u"default"_s), u"global"_s);
        const auto connection = m_database->connection();
        if (change.startsWith("other: "_L1)) {
            db::SuiteConnection::connect(m_database->databasePath())->nativeQuery(change.mid(7));
        } else if (change.startsWith("rollback: "_L1)) {
            db::SuiteConnection::Transaction transaction(*connection);
            connection->nativeQuery(change.mid(10));
            QCOMPARE(config.value(u"MODE"_s), u"undone"_s);
        } else {
            for (const QString &statement : change.split(u"; "_s))
                connection->nativeQuery(statement);
        }
        QCOMPARE(config.value(u"MODE"_s, u"default"_s), expected);
    }

    // Logged with the user and the time; the policy answers, abandoning by
    // default; the latest reports are kept, and a log that cannot be written
    // does not hide the report.
    void errorReportsAreLoggedAnsweredAndKept()
    {
        SuiteErrors errors(m_database->connection(), m_database->users(u"VERDI"_s));
        QCOMPARE(errors.report(u"Divisione per zero in %1"_s, 11, u"mrvExchange"_s, u"Refresh"_s), host::eaAbandon);
        const QVariantList row =
            m_database->connection()->query(u"SELECT ERUSR, EROBJ, ERPRC, ERNUM, ERDES, ERDAT FROM SYS_ERR"_s).rows[0];
        QCOMPARE(row.mid(0, 5), (QVariantList{"VERDI", "mrvExchange", "Refresh", 11, "Divisione per zero in %1"}));
        const QDateTime logged = QDateTime::fromString(row.at(5).toString(), u"yyyy-MM-dd HH:mm:ss"_s);
        QVERIFY(qAbs(logged.secsTo(QDateTime::currentDateTime())) < 120);

        errors.setPolicy(
            [](const ErrorReport &report) { return report.number == 5 ? host::eaRetry : host::eaResumeNext; });
        QCOMPARE(errors.report(u"busy"_s, 5, u"o"_s, u"p"_s), host::eaRetry);
        QCOMPARE(errors.report(u"other"_s, 6, u"o"_s, u"p"_s), host::eaResumeNext);
        m_database->connection()->nativeQuery(u"DROP TABLE SYS_ERR"_s);
        for (int number = 0; number < SuiteErrors::kRecentReports; ++number)
            errors.report(u"again"_s, 100 + number, u"o"_s, u"p"_s);
        const QList<ErrorReport> recent = errors.recentReports();
        QCOMPARE(recent.size(), SuiteErrors::kRecentReports);
        QCOMPARE(recent.first().number, 100);
    }

    void substitute_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("expected");
        const QStringList ten = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
        QTest::newRow("two, repeated") << u"Il Template \"@1\" di @2, @1"_s << QStringList{"T", "U"}
                                       << u"Il Template \"T\" di U, T"_s;
        QTest::newRow("@10 is the tenth") << u"@10-@1"_s << ten << u"j-a"_s;
        QTest::newRow("@10 without a tenth") << u"@10"_s << QStringList{"a"} << u"@10"_s;
        QTest::newRow("not re-substituted") << u"@1 @2"_s << QStringList{"@2", "x"} << u"@2 x"_s;
        QTest::newRow("missing value, @0") << u"@1 @3 @0"_s << QStringList{"a", "b"} << u"a @3 @0"_s;
        QTest::newRow("lone and double @") << u"mail@ @@1 @x"_s << QStringList{"a"} << u"mail@ @a @x"_s;
        QTest::newRow("adjacent digits") << u"@2b@1"_s << QStringList{"x", "y"} << u"ybx"_s;
    }

    void substitute()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, values);
        QFETCH(QString, expected);
        QCOMPARE(SuiteTextService().substitute(text, values), expected);
    }

    void defaultAnswer_data()
    {
        QTest::addColumn<qint32>("style");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("Yes/No, second default") << qint32(host::mbYesNo | 256) << qint32(host::mbNo);
        QTest::newRow("Yes/No/Cancel with icon, third default")
            << qint32(host::mbYesNoCancel | host::mbQuestion | 512) << qint32(host::mbCancel);
        QTest::newRow("OK/Cancel, second default") << qint32(host::mbOkCancel | 256) << qint32(host::mbCancel);
        QTest::newRow("OK, absent third") << qint32(host::mbOkOnly | 512) << qint32(host::mbYes);
    }

    void defaultAnswer()
    {
        QFETCH(qint32, style);
        QFETCH(qint32, expected);
        qunsetenv("MRV_ANSWERS");
        SuiteTextService texts;
        QCOMPARE(texts.messageBox(u"Eliminare @1?"_s, {"x"}, style, u"Messaggio"_s), expected);
        QCOMPARE(texts.shownBoxes().value(0).text, u"Eliminare x?"_s);
    }

    // Queued answers first, then the handler; the environment's answers are
    // queued when the service starts, skipping what is not a number.
    void scriptedAnswersComeBeforeTheHandler()
    {
        qputenv("MRV_ANSWERS", "7, 2,bad,,6");
        SuiteTextService texts;
        qunsetenv("MRV_ANSWERS");
        QCOMPARE(texts.pendingAnswers(), 3);
        QList<ShownMessageBox> handled;
        texts.setHandler([&handled](const ShownMessageBox &box) {
            handled << box;
            return qint32(host::mbCancel);
        });
        texts.queueAnswers({host::mbNo});
        QList<qint32> answers;
        for (const QString &text : {u"Uno"_s, u"Due"_s, u"Tre"_s, u"Quattro"_s, u"Cinque @2"_s})
            answers << texts.messageBox(text, {"x", "y"}, host::mbYesNoCancel, u"T"_s);
        QCOMPARE(answers, (QList<qint32>{7, 2, 6, host::mbNo, host::mbCancel}));
        QCOMPARE(handled.size(), 1);
        QCOMPARE(handled.first().text, u"Cinque y"_s);
        const ShownMessageBox last = texts.shownBoxes().value(4);
        QCOMPARE((QVariantList{last.title, last.style, last.answer}),
                 (QVariantList{u"T"_s, qint32(host::mbYesNoCancel), qint32(host::mbCancel)}));
    }

    // A null folder means the name must be refused.
    void productFoldersLiveUnderTheRoot_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::newRow("temp") << u"Temp"_s << u"Merovan/Temp"_s;
        QTest::newRow("dotted") << u"Bin.NET"_s << u"Merovan/Bin.NET"_s;
        for (const char *name : {"..", "../x", "a/b", "a\\b", ""})
            QTest::newRow(name) << QString::fromLatin1(name) << QString();
    }

    void productFoldersLiveUnderTheRoot()
    {
        QFETCH(QString, name);
        QFETCH(QString, folder);
        SuitePaths paths(m_root.path());
        if (folder.isNull()) {
            QVERIFY_THROWS_EXCEPTION(Failure, paths.productFolder(name));
        } else {
            const QString made = paths.productFolder(name);
            QCOMPARE(QDir(made).canonicalPath(), QDir(m_root.filePath(folder)).canonicalPath());
            QVERIFY(QFileInfo(m_root.filePath(folder)).isDir());
        }
    }

    // Fresh names in the folder asked for, with the extension given with or
    // without its dot; in the product's Temp folder when none is asked for.
    void newTempFileNamesAreFreshAndUnique()
    {
        SuitePaths paths(m_root.path());
        const QString folder = m_root.filePath(u"out"_s);
        QSet<QString> names;
        for (int i = 0; i < 200; ++i) {
            const QFileInfo name(paths.newTempFileName(u"mrv"_s, folder, i % 2 ? u".html"_s : u"html"_s));
            QVERIFY(!name.exists() && name.absolutePath() == folder && name.fileName().startsWith("mrv"_L1));
            QVERIFY2(name.fileName().count(u'.') == 1 && name.suffix() == "html"_L1, qPrintable(name.fileName()));
            names.insert(name.filePath());
        }
        QCOMPARE(names.size(), 200);
        QVERIFY(!QFileInfo(paths.newTempFileName(u"x"_s, folder, QString())).fileName().contains(u'.'));
        QCOMPARE(QFileInfo(paths.newTempFileName(u"x"_s, QString(), u"sql"_s)).absolutePath(),
                 QFileInfo(paths.productFolder(u"Temp"_s)).absoluteFilePath());
    }

    // The first user and the given company as SYS_USR and SYS_AZI spell
    // them; unknown codes are refused.
    void sessionAssemblesAWorkingHost()
    {
        const auto session = SuiteSession::open(m_database->databasePath(), QString(), u"b02"_s);
        QCOMPARE(session->users()->userCode(), u"BIANCHI"_s);
        QCOMPARE(session->connection()->companyPrefix(), u"B02_"_s);
        session->config()->setValue(u"K"_s, u"v"_s, true, true);
        QCOMPARE(m_database->scalar(u"SELECT CFUSR || '/' || CFAPP FROM SYS_CFG WHERE CFKEY = 'K'"_s),
                 QVariant(u"BIANCHI/mrv"_s));
        for (const auto &[user, company] : {std::pair{u"NESSUNO"_s, QString()}, std::pair{u"ROSSI"_s, u"Z99"_s}})
            QVERIFY_THROWS_EXCEPTION(Failure, SuiteSession::open(m_database->databasePath(), user, company));
    }
};

QTEST_MAIN(ServicesTest)
#include "tst_services.moc"
