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

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTranslator>

#include <cstdio>
#include <unistd.h>

using namespace mrv;
using namespace mrv::suite;

namespace {

// Whatever the process writes to stderr while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }

    QString text()
    {
        restore();
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll());
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

// Translates the texts of contexts starting with "frm" and of message boxes,
// so that a test sees which context a lookup used.
class ContextTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        const QString source = QString::fromUtf8(sourceText);
        if (qstrcmp(context, SuiteTextService::kMessageBoxContext) == 0 && source == QLatin1String("Eliminare @1?"))
            return QStringLiteral("Delete @1?");
        if (QByteArray(context).startsWith("frm"))
            return QStringLiteral("[%1] %2").arg(QString::fromUtf8(context), source);
        return {};
    }
    bool isEmpty() const override { return false; }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

// Configuration scopes, the error log, texts and message boxes, paths, users
// and the session, on a real suite database.
class ServicesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testing::ServicesTestDatabase> m_database;

    SuiteConfig configOf(const QString &user, const QString &application) const
    {
        return SuiteConfig(m_database->connection(), m_database->users(user), application);
    }

    void insertConfigRow(const QString &key, const QVariant &user, const QVariant &application, const QString &value)
    {
        m_database->connection()->nativeQuery(
            QStringLiteral("INSERT INTO SYS_CFG (CFKEY, CFUSR, CFAPP, CFVAL) VALUES (?, ?, ?, ?)"),
            {key, user, application, value});
    }

private Q_SLOTS:
    void init() { m_database = std::make_unique<testing::ServicesTestDatabase>(); }
    void cleanup() { m_database.reset(); }

    void configReadTakesTheMostSpecificScope_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("expected");
        const QString all = QStringLiteral("global app user user+app");
        QTest::newRow("all four") << all.split(' ') << "user+app";
        QTest::newRow("no user+app") << QStringList{"global", "app", "user"} << "user";
        QTest::newRow("user beats app") << QStringList{"app", "user"} << "user";
        QTest::newRow("app beats global") << QStringList{"global", "app"} << "app";
        QTest::newRow("only global") << QStringList{"global"} << "global";
        QTest::newRow("only user+app") << QStringList{"user+app"} << "user+app";
        QTest::newRow("nothing: default") << QStringList{} << "default";
    }

    void configReadTakesTheMostSpecificScope()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, expected);
        const QVariant noOwner = QStringLiteral("");
        const QHash<QString, std::pair<QVariant, QVariant>> owners = {
            {"global", {noOwner, noOwner}},
            {"app", {noOwner, QStringLiteral("MRV")}},
            {"user", {QStringLiteral("rossi"), noOwner}},
            {"user+app", {QStringLiteral("ROSSI"), QStringLiteral("mrv")}}};
        for (const QString &scope : stored)
            insertConfigRow(QStringLiteral("Smtp_Host"), owners[scope].first, owners[scope].second, scope);
        // Rows of another user and another program never apply.
        insertConfigRow(QStringLiteral("SMTP_HOST"), QStringLiteral("VERDI"), QStringLiteral("mrv"), "verdi+app");
        insertConfigRow(QStringLiteral("SMTP_HOST"), QStringLiteral("VERDI"), noOwner, "verdi");
        insertConfigRow(QStringLiteral("SMTP_HOST"), noOwner, QStringLiteral("other"), "other app");
        insertConfigRow(QStringLiteral("SMTP_HOST"), QStringLiteral("ROSSI"), QStringLiteral("other"), "rossi+other");

        QCOMPARE(configOf("ROSSI", "mrv").value(QStringLiteral("smtp_host"), "default"), expected);
    }

    void configWriteGoesToItsScope_data()
    {
        QTest::addColumn<bool>("perUser");
        QTest::addColumn<bool>("perApplication");
        QTest::addColumn<QString>("storedUser");
        QTest::addColumn<QString>("storedApplication");
        QTest::newRow("global") << false << false << ""
                                << "";
        QTest::newRow("application") << false << true << ""
                                     << "mrv";
        QTest::newRow("user") << true << false << "ROSSI"
                              << "";
        QTest::newRow("user and application") << true << true << "ROSSI"
                                              << "mrv";
    }

    void configWriteGoesToItsScope()
    {
        QFETCH(bool, perUser);
        QFETCH(bool, perApplication);
        QFETCH(QString, storedUser);
        QFETCH(QString, storedApplication);
        // "rossi" as typed: the stored owner is the user's code as SYS_USR has it.
        SuiteConfig config = configOf("rossi", "mrv");
        config.setValue(QStringLiteral("EMAIL_RECEIPT"), QStringLiteral("-1"), perUser, perApplication);

        const auto rows = m_database->connection()->nativeQuery(
            QStringLiteral("SELECT CFUSR, CFAPP, CFVAL FROM SYS_CFG WHERE CFKEY = 'EMAIL_RECEIPT'"));
        QCOMPARE(rows.rows.size(), 1);
        QCOMPARE(rows.rows.first().at(0).toString(), storedUser);
        QCOMPARE(rows.rows.first().at(1).toString(), storedApplication);
        QCOMPARE(config.value(QStringLiteral("EMAIL_RECEIPT")), QStringLiteral("-1"));
        QCOMPARE(configOf("VERDI", "mrv").value(QStringLiteral("EMAIL_RECEIPT"), "0"), perUser ? "0" : "-1");
        QCOMPARE(configOf("ROSSI", "other").value(QStringLiteral("EMAIL_RECEIPT"), "0"), perApplication ? "0" : "-1");
    }

    // Reads are served from a cache; every way the table can change under it
    // must show in the next read.
    void configReadSeesEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("own UPDATE") << "UPDATE SYS_CFG SET CFVAL = 'changed' WHERE CFKEY = 'MODE'"
                                    << "changed";
        QTest::newRow("bracketed name, comment first")
            << "/* by hand */ update [sys_cfg] set CFVAL = 'changed' where CFKEY = 'MODE'"
            << "changed";
        QTest::newRow("schema-qualified DELETE") << "DELETE FROM main.SYS_CFG WHERE CFKEY = 'MODE'"
                                                 << "default";
        QTest::newRow("DELETE of every row") << "DELETE FROM SYS_CFG"
                                             << "default";
        QTest::newRow("INSERT OR REPLACE, quoted name")
            << "INSERT OR REPLACE INTO \"SYS_CFG\" (CFKEY, CFUSR, CFAPP, CFVAL) VALUES ('MODE', 'ROSSI', '', 'mine')"
            << "mine";
        QTest::newRow("table rebuilt") << "DROP TABLE SYS_CFG; CREATE TABLE SYS_CFG (CFKEY TEXT, CFUSR TEXT, "
                                          "CFAPP TEXT, CFVAL TEXT)"
                                       << "default";
        QTest::newRow("another connection") << "other: UPDATE SYS_CFG SET CFVAL = 'elsewhere'"
                                            << "elsewhere";
        QTest::newRow("rolled back") << "rollback: UPDATE SYS_CFG SET CFVAL = 'undone'"
                                     << "global";
    }

    void configReadSeesEveryChange()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        insertConfigRow(QStringLiteral("MODE"), QStringLiteral(""), QStringLiteral(""), QStringLiteral("global"));
        insertConfigRow(QStringLiteral("OTHER"), QStringLiteral(""), QStringLiteral(""), QStringLiteral("kept"));
        const SuiteConfig config = configOf("ROSSI", "mrv");
        QCOMPARE(config.value(QStringLiteral("MODE"), "default"), QStringLiteral("global"));

        const auto connection = m_database->connection();
        if (change.startsWith(QLatin1String("other: "))) {
            const auto other = db::SuiteConnection::openSqlite(m_database->databasePath());
            other->nativeQuery(change.mid(7));
        } else if (change.startsWith(QLatin1String("rollback: "))) {
            db::SuiteConnection::Transaction transaction(*connection);
            connection->nativeQuery(change.mid(10));
            QCOMPARE(config.value(QStringLiteral("MODE")), QStringLiteral("undone"));
        } else {
            for (const QString &statement : change.split(QStringLiteral("; ")))
                connection->nativeQuery(statement);
        }
        QCOMPARE(config.value(QStringLiteral("MODE"), "default"), expected);
    }

    void configWriteNeverDuplicatesARow()
    {
        SuiteConfig config = configOf("ROSSI", "mrv");
        config.setValue(QStringLiteral("exchange_mode"), QStringLiteral("ACCOUNT"), true, false);
        config.setValue(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("OUTLOOK"), true, false);
        config.setValue(QStringLiteral("Exchange_Mode"), QStringLiteral("SMTP"));
        QCOMPARE(m_database->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_CFG WHERE UPPER(CFKEY) = 'EXCHANGE_MODE'"))
                     .toInt(),
                 2);
        QCOMPARE(config.value(QStringLiteral("EXCHANGE_MODE")), QStringLiteral("OUTLOOK"));
        QCOMPARE(configOf("VERDI", "mrv").value(QStringLiteral("EXCHANGE_MODE")), QStringLiteral("SMTP"));
    }

    void errorReportIsPrintedAndLogged()
    {
        SuiteErrors errors(m_database->connection(), m_database->users("VERDI"));
        StderrCapture capture;
        const qint32 action = errors.report(QStringLiteral("Divisione per zero in %1"), 11,
                                            QStringLiteral("mrvExchange"), QStringLiteral("RefreshMessages"));
        QVERIFY(
            capture.text().contains(QStringLiteral("mrvExchange.RefreshMessages: Divisione per zero in %1 (11)\n")));
        QCOMPARE(action, host::eaAbandon);

        const auto rows = m_database->connection()->nativeQuery(
            QStringLiteral("SELECT ERUSR, EROBJ, ERPRC, ERNUM, ERDES, ERDAT FROM SYS_ERR"));
        QCOMPARE(rows.rows.size(), 1);
        const QVariantList row = rows.rows.first();
        QCOMPARE(row.mid(0, 5),
                 (QVariantList{"VERDI", "mrvExchange", "RefreshMessages", 11, "Divisione per zero in %1"}));
        const QDateTime logged = QDateTime::fromString(row.at(5).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY(qAbs(logged.secsTo(QDateTime::currentDateTime())) < 120);
    }

    void errorPolicyAnswersAndReportsAreKept()
    {
        SuiteErrors errors(m_database->connection(), m_database->users());
        errors.setPolicy(
            [](const ErrorReport &report) { return report.number == 5 ? host::eaRetry : host::eaResumeNext; });
        StderrCapture quiet;
        QCOMPARE(errors.report(QStringLiteral("busy"), 5, QStringLiteral("o"), QStringLiteral("p")), host::eaRetry);
        QCOMPARE(errors.report(QStringLiteral("other"), 6, QStringLiteral("o"), QStringLiteral("p")),
                 host::eaResumeNext);
        for (int number = 0; number < SuiteErrors::kRecentReports; ++number)
            errors.report(QStringLiteral("again"), 100 + number, QStringLiteral("o"), QStringLiteral("p"));
        const QList<ErrorReport> recent = errors.recentReports();
        QCOMPARE(recent.size(), SuiteErrors::kRecentReports);
        QCOMPARE(recent.first().number, 100);
        QCOMPARE(recent.last().number, 100 + SuiteErrors::kRecentReports - 1);
        QCOMPARE(m_database->scalar(QStringLiteral("SELECT COUNT(*) FROM SYS_ERR")).toInt(),
                 SuiteErrors::kRecentReports + 2);
    }

    void failingLogWriteIsOnlyPrinted()
    {
        SuiteErrors errors(m_database->connection(), m_database->users());
        m_database->connection()->nativeQuery(QStringLiteral("DROP TABLE SYS_ERR"));
        StderrCapture capture;
        const qint32 action = errors.report(QStringLiteral("lost"), 1, QStringLiteral("o"), QStringLiteral("p"));
        const QString printed = capture.text();
        QCOMPARE(action, host::eaAbandon);
        QVERIFY(printed.contains(QStringLiteral("o.p: lost (1)")));
        QVERIFY(printed.contains(QStringLiteral("could not be written to SYS_ERR")));
        QCOMPARE(errors.recentReports().size(), 1);
    }

    void substitute_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("expected");
        const QStringList ten = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
        QTest::newRow("two") << "Il Template \"@1\" di @2" << QStringList{"T", "U"} << "Il Template \"T\" di U";
        QTest::newRow("@10 is the tenth") << "@10-@1" << ten << "j-a";
        QTest::newRow("@10 without a tenth") << "@10" << QStringList{"a"} << "@10";
        QTest::newRow("not re-substituted") << "@1 @2" << QStringList{"@2", "x"} << "@2 x";
        QTest::newRow("value with @1") << "@1" << QStringList{"@1@1"} << "@1@1";
        QTest::newRow("missing value") << "@1 @3" << QStringList{"a", "b"} << "a @3";
        QTest::newRow("@0") << "@0" << QStringList{"a"} << "@0";
        QTest::newRow("lone @ at the end") << "mail@" << QStringList{"a"} << "mail@";
        QTest::newRow("double @") << "@@1" << QStringList{"a"} << "@a";
        QTest::newRow("repeated") << "@1@1" << QStringList{"ab"} << "abab";
        QTest::newRow("adjacent digits") << "@2b@1" << QStringList{"x", "y"} << "ybx";
        QTest::newRow("no values") << "@1 resta" << QStringList{} << "@1 resta";
        QTest::newRow("empty value") << "<@1>" << QStringList{""} << "<>";
        QTest::newRow("CRLF kept") << "a\r\n@1" << QStringList{"b"} << "a\r\nb";
        QTest::newRow("not a digit") << "@x @1" << QStringList{"y"} << "@x y";
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
        QTest::newRow("OK") << qint32(host::mbOkOnly) << qint32(host::mbYes);
        QTest::newRow("OK/Cancel") << qint32(host::mbOkCancel) << qint32(host::mbYes);
        QTest::newRow("Yes/No") << qint32(host::mbYesNo) << qint32(host::mbYes);
        QTest::newRow("Yes/No/Cancel with icon")
            << qint32(host::mbYesNoCancel | host::mbQuestion) << qint32(host::mbYes);
        QTest::newRow("Yes/No, second default") << qint32(host::mbYesNo | 256) << qint32(host::mbNo);
        QTest::newRow("Yes/No/Cancel, third default") << qint32(host::mbYesNoCancel | 512) << qint32(host::mbCancel);
        QTest::newRow("OK/Cancel, second default") << qint32(host::mbOkCancel | 256) << qint32(host::mbCancel);
        QTest::newRow("OK, absent third") << qint32(host::mbOkOnly | 512) << qint32(host::mbYes);
    }

    void defaultAnswer()
    {
        QFETCH(qint32, style);
        QFETCH(qint32, expected);
        qunsetenv("MRV_ANSWERS");
        SuiteTextService texts;
        StderrCapture capture;
        QCOMPARE(texts.messageBox(QStringLiteral("Eliminare @1?"), {"x"}, style, QStringLiteral("Messaggio")),
                 expected);
        QVERIFY(capture.text().contains(QStringLiteral("Messaggio: Eliminare x?")));
    }

    void scriptedAnswersComeBeforeTheHandler()
    {
        qunsetenv("MRV_ANSWERS");
        SuiteTextService texts;
        QList<ShownMessageBox> handled;
        texts.setHandler([&handled](const ShownMessageBox &box) {
            handled << box;
            return qint32(host::mbCancel);
        });
        texts.queueAnswers({host::mbNo, host::mbYes});
        QCOMPARE(texts.messageBox(QStringLiteral("Uno @1"), {"1"}, host::mbYesNo, QStringLiteral("A")), host::mbNo);
        QCOMPARE(texts.messageBox(QStringLiteral("Due"), {}, host::mbYesNo, QStringLiteral("B")), host::mbYes);
        QCOMPARE(texts.messageBox(QStringLiteral("Tre @2"), {"x", "y"}, host::mbYesNoCancel, QStringLiteral("C")),
                 host::mbCancel);
        QCOMPARE(handled.size(), 1);
        QCOMPARE(handled.first().text, QStringLiteral("Tre y"));

        const QList<ShownMessageBox> shown = texts.shownBoxes();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.at(0).text, QStringLiteral("Uno 1"));
        QCOMPARE(shown.at(0).title, QStringLiteral("A"));
        QCOMPARE(shown.at(0).answer, qint32(host::mbNo));
        QCOMPARE(shown.at(2).style, qint32(host::mbYesNoCancel));
        QCOMPARE(shown.at(2).answer, qint32(host::mbCancel));
    }

    void answersFromTheEnvironment()
    {
        qputenv("MRV_ANSWERS", "7, 2,bad,,6");
        StderrCapture capture;
        SuiteTextService texts;
        qunsetenv("MRV_ANSWERS");
        QVERIFY(capture.text().contains(QStringLiteral("\"bad\"")));
        QCOMPARE(texts.pendingAnswers(), 3);
        QList<qint32> answers;
        for (int box = 0; box < 3; ++box)
            answers << texts.messageBox(QStringLiteral("?"), {}, host::mbYesNoCancel, QString());
        QCOMPARE(answers, (QList<qint32>{7, 2, 6}));
    }

    void translationUsesTheCallersContext()
    {
        ContextTranslator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        SuiteTextService texts;
        texts.queueAnswers({host::mbYes});
        const QString inWindow =
            texts.translate(QStringLiteral("Nuovo messaggio"), QStringLiteral("frmSYS_MSG > Save"));
        const QString elsewhere = texts.translate(QStringLiteral("Nuovo messaggio"), QStringLiteral("mrvSMTP > Send"));
        texts.messageBox(QStringLiteral("Eliminare @1?"), {QStringLiteral("Eliminare @1?")}, host::mbYesNo, QString());
        QCoreApplication::removeTranslator(&translator);

        QCOMPARE(inWindow, QStringLiteral("[frmSYS_MSG > Save] Nuovo messaggio"));
        QCOMPARE(elsewhere, QStringLiteral("Nuovo messaggio"));
        // Translated first, then filled: the value itself is not translated.
        QCOMPARE(texts.shownBoxes().first().text, QStringLiteral("Delete Eliminare @1??"));
        QVERIFY(!texts.loadTranslation(QDir(m_database->folder()).filePath(QStringLiteral("missing.qm"))));
    }

    void productFoldersLiveUnderTheRoot_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("temp") << "Temp";
        QTest::newRow("notifications") << "Notifications";
        QTest::newRow("dotted") << "Bin.NET";
    }

    void productFoldersLiveUnderTheRoot()
    {
        QFETCH(QString, name);
        QTemporaryDir root;
        SuitePaths paths(root.path());
        const QString folder = paths.productFolder(name);
        QCOMPARE(QDir(folder).canonicalPath(), QDir(root.filePath(QStringLiteral("Merovan/") + name)).canonicalPath());
        QVERIFY(QFileInfo(folder).isDir());
    }

    void productFolderRefusesPaths_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "..";
        QTest::newRow("climbing") << "../x";
        QTest::newRow("nested") << "a/b";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("empty") << "";
    }

    void productFolderRefusesPaths()
    {
        QFETCH(QString, name);
        QTemporaryDir root;
        SuitePaths paths(root.path());
        QVERIFY_THROWS_EXCEPTION(Failure, paths.productFolder(name));
    }

    void productFoldersByDefault()
    {
        QStandardPaths::setTestModeEnabled(true);
        SuitePaths paths;
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QCOMPARE(paths.productFolder(QStringLiteral("Notifications")),
                 QDir::cleanPath(data + "/Merovan/Notifications"));
        QCOMPARE(paths.productFolder(QStringLiteral("Temp")), QDir::cleanPath(QDir::tempPath() + "/Merovan/Temp"));
        QStandardPaths::setTestModeEnabled(false);
    }

    void newTempFileNamesAreFreshAndUnique_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("bare") << "sql"
                              << ".sql";
        QTest::newRow("dotted") << ".html"
                                << ".html";
        QTest::newRow("none") << ""
                              << "";
    }

    void newTempFileNamesAreFreshAndUnique()
    {
        QFETCH(QString, extension);
        QFETCH(QString, suffix);
        QTemporaryDir root;
        SuitePaths paths(root.path());
        const QString folder = root.filePath(QStringLiteral("out"));
        QSet<QString> names;
        for (int i = 0; i < 200; ++i) {
            const QString name = paths.newTempFileName(QStringLiteral("mrv"), folder, extension);
            QVERIFY(!QFileInfo::exists(name));
            QCOMPARE(QFileInfo(name).absolutePath(), QFileInfo(folder).absoluteFilePath());
            QVERIFY(QFileInfo(name).fileName().startsWith(QLatin1String("mrv")));
            QVERIFY(suffix.isEmpty() ? !QFileInfo(name).fileName().contains('.') : name.endsWith(suffix));
            names.insert(name);
        }
        QCOMPARE(names.size(), 200);
        const QString inTemp = paths.newTempFileName(QStringLiteral("x"), QString(), extension);
        QCOMPARE(QFileInfo(inTemp).absolutePath(),
                 QFileInfo(paths.productFolder(QStringLiteral("Temp"))).absoluteFilePath());
    }

    void convertToUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = QString::fromUtf8("Perché è già così\r\nriga due");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + QStringEncoder(QStringEncoder::Utf16LE).encode(text);
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + QStringEncoder(QStringEncoder::Utf16BE).encode(text);
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QTest::newRow("UTF-8") << text.toUtf8();
        QTest::newRow("Latin-1") << text.toLatin1();
    }

    void convertToUtf8()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir root;
        SuitePaths paths(root.path());
        const QString path = root.filePath(QStringLiteral("body.html"));
        writeAll(path, bytes);
        QVERIFY(paths.convertToUtf8(path));
        QCOMPARE(readAll(path), QString::fromUtf8("Perché è già così\r\nriga due").toUtf8());
        QVERIFY(!paths.convertToUtf8(root.filePath(QStringLiteral("missing.html"))));
    }

    void createFolderMakesTheWholePath()
    {
        QTemporaryDir root;
        SuitePaths paths(root.path());
        const QString nested = root.filePath(QStringLiteral("a/b/c"));
        QVERIFY(paths.createFolder(nested));
        QVERIFY(QFileInfo(nested).isDir());
        QVERIFY(paths.createFolder(nested));
        QVERIFY(!paths.createFolder(QString()));
    }

    void userManagerChecksTheCodes_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("expectedUser");
        QTest::addColumn<QString>("expectedCompany");
        QTest::addColumn<QString>("failure");
        QTest::newRow("given") << "verdi"
                               << "b02"
                               << "VERDI"
                               << "B02"
                               << "";
        QTest::newRow("defaults") << ""
                                  << ""
                                  << "BIANCHI"
                                  << "A01"
                                  << "";
        QTest::newRow("unknown user") << "NESSUNO"
                                      << "A01"
                                      << ""
                                      << ""
                                      << "\"NESSUNO\"";
        QTest::newRow("unknown company") << "ROSSI"
                                         << "Z99"
                                         << ""
                                         << ""
                                         << "\"Z99\"";
    }

    void userManagerChecksTheCodes()
    {
        QFETCH(QString, user);
        QFETCH(QString, company);
        QFETCH(QString, expectedUser);
        QFETCH(QString, expectedCompany);
        QFETCH(QString, failure);
        try {
            const SuiteUserManager users(m_database->connection(), user, company);
            QVERIFY2(failure.isEmpty(), "an unknown code was accepted");
            QCOMPARE(users.userCode(), expectedUser);
            QCOMPARE(users.companyCode(), expectedCompany);
        } catch (const Failure &error) {
            QVERIFY2(!failure.isEmpty(), qPrintable(error.message()));
            QVERIFY(error.message().contains(failure));
        }
    }

    void userManagerListsUsersGroupsAndMembers()
    {
        const auto users = m_database->users();
        QCOMPARE(users->userName(), QStringLiteral("Mario Rossi"));
        QStringList codes;
        for (const SuiteUser &user : users->users())
            codes << user.code + '=' + user.name;
        QCOMPARE(codes, (QStringList{"BIANCHI=Luca Bianchi", "ROSSI=Mario Rossi", "VERDI=Anna Verdi"}));
        QCOMPARE(users->groups().size(), 1);
        QCOMPARE(users->groups().first().description, QStringLiteral("Vendite"));
        QCOMPARE(users->members(QStringLiteral("ven")), (QStringList{"ROSSI", "VERDI"}));
        QVERIFY(users->members(QStringLiteral("NONE")).isEmpty());
    }

    void sessionAssemblesAWorkingHost()
    {
        const auto session = SuiteSession::open(m_database->databasePath(), QString(), QStringLiteral("b02"));
        QCOMPARE(session->users()->userCode(), QStringLiteral("BIANCHI"));
        QCOMPARE(session->connection()->companyPrefix(), QStringLiteral("B02_"));
        QCOMPARE(&host::textService(), session->textService().get());
        QCOMPARE(&host::pathServices(), session->paths().get());
        QCOMPARE(session->records()->physicalName(QStringLiteral("IND_WEB")), QStringLiteral("B02_IND_WEB"));
        session->config()->setValue(QStringLiteral("K"), QStringLiteral("v"), true, true);
        QCOMPARE(m_database->scalar(QStringLiteral("SELECT CFUSR || '/' || CFAPP FROM SYS_CFG WHERE CFKEY = 'K'")),
                 QVariant(QStringLiteral("BIANCHI/mrv")));
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 SuiteSession::open(m_database->databasePath(), QStringLiteral("NESSUNO"), {}));
    }
};

QTEST_MAIN(ServicesTest)
#include "tst_services.moc"
