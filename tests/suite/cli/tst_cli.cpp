#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// The command line is a contract: scripts and administrators depend on its
// output lines and exit codes. Runs the real program on a real database.
class CliTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;

    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Run mrv(const QStringList &arguments, const QString &database = QString())
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_dir.path()); // the default database lives here
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        process.setProcessEnvironment(environment);
        QStringList all;
        if (!database.isEmpty())
            all << QStringLiteral("--db") << database;
        process.start(qEnvironmentVariable("MRV_BIN") + QStringLiteral("/mrv"), all + arguments);
        if (!process.waitForFinished(120000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // The demo database copied into a folder named after `state`, in that
    // state; for "missing" the folder does not exist.
    QString databaseIn(const QString &state)
    {
        const QString path = m_dir.filePath(state + QStringLiteral("/x.db"));
        if (state == QLatin1String("missing") || QFile::exists(path))
            return path;
        QDir().mkpath(m_dir.filePath(state));
        QFile::copy(m_db, path);
        const QHash<QString, QString> changes{
            {QStringLiteral("newer"), QStringLiteral("UPDATE SYS_VER SET VRNUM = 999")},
            {QStringLiteral("unversioned"), QStringLiteral("DELETE FROM SYS_VER")}};
        if (changes.contains(state))
            mrv({QStringLiteral("sql"), changes.value(state)}, path);
        QFile file(path);
        if (state == QLatin1String("corrupt") && file.open(QIODevice::WriteOnly))
            file.write(QByteArray(8192, 'x'));
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_db = m_dir.filePath(QStringLiteral("suite.db"));
        const Run init = mrv({QStringLiteral("init"), QStringLiteral("--demo")}, m_db);
        QCOMPARE(init.exitCode, 0);
        QVERIFY2(init.out.contains(QLatin1String("demo data: loaded")), qPrintable(init.out));
        // A second init upgrades nothing and loads nothing twice.
        const Run again = mrv({QStringLiteral("init"), QStringLiteral("--demo")}, m_db);
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.contains(QLatin1String("already present")), qPrintable(again.out));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errContains");
        QTest::newRow("top two users") << QStringList{QStringLiteral("sql"),
                                                      QStringLiteral("SELECT TOP 2 CDUSR FROM SYS_USR ORDER BY CDUSR")}
                                       << 0 << QStringLiteral("CDUSR\nADMIN\nBIANCHI\n") << QString();
        QTest::newRow("null and escapes")
            << QStringList{QStringLiteral("sql"), QStringLiteral("SELECT NULL AS A, 'x\ty' AS B, 'a\\b' AS C")} << 0
            << QStringLiteral("A\tB\tC\nNULL\tx\\ty\ta\\\\b\n") << QString();
        QTest::newRow("no rows, header only")
            << QStringList{QStringLiteral("sql"), QStringLiteral("SELECT CDUSR FROM SYS_USR WHERE 1 = 0")} << 0
            << QStringLiteral("CDUSR\n") << QString();
        QTest::newRow("statement prints nothing")
            << QStringList{QStringLiteral("sql"), QStringLiteral("UPDATE SYS_USR SET USNAM = USNAM WHERE CDUSR = 'x'")}
            << 0 << QString() << QString();
        QTest::newRow("bad statement") << QStringList{QStringLiteral("sql"), QStringLiteral("SELECT * FROM NOWHERE")}
                                       << 1 << QString() << QStringLiteral("no such table: NOWHERE");
        QTest::newRow("config default") << QStringList{QStringLiteral("config"), QStringLiteral("get"),
                                                       QStringLiteral("NOT_SET"), QStringLiteral("dflt")}
                                        << 0 << QStringLiteral("dflt\n") << QString();
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << 2 << QString()
                                         << QStringLiteral("unknown command");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("init"), QStringLiteral("--bogus")} << 2
                                        << QString() << QStringLiteral("unknown option --bogus");
        QTest::newRow("bad scale") << QStringList{QStringLiteral("init"), QStringLiteral("--scale"),
                                                  QStringLiteral("many")}
                                   << 2 << QString() << QStringLiteral("--scale");
        QTest::newRow("postgres not yet")
            << QStringList{QStringLiteral("--url"), QStringLiteral("postgres://localhost/x"), QStringLiteral("sql"),
                           QStringLiteral("SELECT 1")}
            << 1 << QString() << QStringLiteral("PostgreSQL");
        QTest::newRow("resolve all") << QStringList{QStringLiteral("resolve"), QStringLiteral(" ROSSI;; vendite ;")}
                                     << 0
                                     << QStringLiteral(
                                            "resolved: Mario Rossi <ROSSI>; Ufficio vendite <VENDITE>\nunknown: \n")
                                     << QString();
        QTest::newRow("resolve unknown")
            << QStringList{QStringLiteral("resolve"), QStringLiteral("ROSSI;nessuno;x@y.example")} << 1
            << QStringLiteral("resolved: Mario Rossi <ROSSI>\nunknown: nessuno; x@y.example\n") << QString();
        QTest::newRow("resolve chosen") << QStringList{QStringLiteral("resolve"), QStringLiteral("--suggest"),
                                                       QStringLiteral("--choose"),
                                                       QStringLiteral("Laura Bianchi <BIANCHI>"),
                                                       QStringLiteral("nessuno")}
                                        << 0 << QStringLiteral("resolved: Laura Bianchi <BIANCHI>\nunknown: \n")
                                        << QString();
        QTest::newRow("status of a missing message") << QStringList{QStringLiteral("status"), QStringLiteral("message"),
                                                                    QStringLiteral("99999"), QStringLiteral("1")}
                                                     << 1 << QString() << QStringLiteral("ChangeMessageStatus");
        QTest::newRow("status bad id") << QStringList{QStringLiteral("status"), QStringLiteral("fax"),
                                                      QStringLiteral("x"), QStringLiteral("1")}
                                       << 2 << QString() << QStringLiteral("ID");
        QTest::newRow("link known address")
            << QStringList{QStringLiteral("link-email"), QStringLiteral("paola@santoro1.example.it")} << 0
            << QStringLiteral("C000001\n") << QString();
        QTest::newRow("link needs a window")
            << QStringList{QStringLiteral("link-email"), QStringLiteral("new@customer.example")} << 1 << QString()
            << QStringLiteral("not available");
        QTest::newRow("unknown user") << QStringList{QStringLiteral("--user"), QStringLiteral("NOBODY"),
                                                     QStringLiteral("config"), QStringLiteral("get"),
                                                     QStringLiteral("X")}
                                      << 1 << QString() << QStringLiteral("NOBODY");
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errContains);
        const Run run = mrv(arguments, arguments.contains(QLatin1String("--url")) ? QString() : m_db);
        QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.err)));
        if (exitCode == 0)
            QCOMPARE(run.out, out);
        QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    }

    void configScopesThroughTheCommandLine()
    {
        QCOMPARE(
            mrv({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("EMAIL_RECEIPT"), QStringLiteral("0")},
                m_db)
                .exitCode,
            0);
        QCOMPARE(
            mrv({QStringLiteral("--user"), QStringLiteral("ROSSI"), QStringLiteral("config"), QStringLiteral("set"),
                 QStringLiteral("EMAIL_RECEIPT"), QStringLiteral("-1"), QStringLiteral("--per-user")},
                m_db)
                .exitCode,
            0);
        QCOMPARE(mrv({QStringLiteral("--user"), QStringLiteral("ROSSI"), QStringLiteral("config"),
                      QStringLiteral("get"), QStringLiteral("EMAIL_RECEIPT")},
                     m_db)
                     .out,
                 QStringLiteral("-1\n"));
        QCOMPARE(mrv({QStringLiteral("--user"), QStringLiteral("VERDI"), QStringLiteral("config"),
                      QStringLiteral("get"), QStringLiteral("EMAIL_RECEIPT")},
                     m_db)
                     .out,
                 QStringLiteral("0\n"));
    }

    void hostileTextSurvivesTheCommandLine()
    {
        const QString hostile = QStringLiteral("O'Brien; -- /* è 漢 */ \"x\"");
        QCOMPARE(
            mrv({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("HOSTILE"), hostile}, m_db).exitCode,
            0);
        QCOMPARE(mrv({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("HOSTILE")}, m_db).out,
                 hostile + QLatin1Char('\n'));
    }

    void helpEverywhere_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("global") << QStringList{QStringLiteral("--help")};
        for (const char *command :
             {"init", "info", "sql", "config", "resolve", "status", "link-email", "register", "send", "email-config"})
            QTest::newRow(command) << QStringList{QLatin1String(command), QStringLiteral("--help")};
    }

    void helpEverywhere()
    {
        QFETCH(QStringList, arguments);
        const Run run = mrv(arguments);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QLatin1String("Usage: mrv")));
    }

    void missingDatabaseIsAnError()
    {
        const Run run =
            mrv({QStringLiteral("sql"), QStringLiteral("SELECT 1")}, m_dir.filePath(QStringLiteral("absent.db")));
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QLatin1String("mrv init")));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("absent.db"))));
    }

    void statusOfAStoredMessage()
    {
        QCOMPARE(mrv({QStringLiteral("sql"),
                      QStringLiteral("INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR) VALUES (0, 1, 0, 'ROSSI')")},
                     m_db)
                     .exitCode,
                 0);
        const QString id =
            mrv({QStringLiteral("sql"), QStringLiteral("SELECT MAX(RECORD_ID) AS ID FROM SYS_MSG")}, m_db)
                .out.section(QLatin1Char('\n'), 1, 1);
        QCOMPARE(mrv({QStringLiteral("status"), QStringLiteral("message"), id, QStringLiteral("3")}, m_db).exitCode, 0);
        QCOMPARE(
            mrv({QStringLiteral("sql"), QStringLiteral("SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = ") + id}, m_db).out,
            QStringLiteral("MSSTA\n3\n"));
    }

    void registryFileThroughTheCommandLine()
    {
        qputenv("MRV_REGISTRY", m_dir.filePath(QStringLiteral("registry.ini")).toLocal8Bit());
        QCOMPARE(mrv({QStringLiteral("register")}).exitCode, 0);
        QFile registry(m_dir.filePath(QStringLiteral("registry.ini")));
        QVERIFY(registry.open(QIODevice::ReadOnly));
        QVERIFY(registry.readAll().contains("[MerovanComMessage.mrvMessage]"));
        registry.close();
        QCOMPARE(mrv({QStringLiteral("unregister")}).exitCode, 0);
        QVERIFY(registry.open(QIODevice::ReadOnly));
        QVERIFY(!registry.readAll().contains("MerovanComMessage"));
        qunsetenv("MRV_REGISTRY");
    }

    void sendToUsersAndGroups()
    {
        const Run run =
            mrv({QStringLiteral("--user"), QStringLiteral("ROSSI"), QStringLiteral("send"), QStringLiteral("--to"),
                 QStringLiteral("VERDI; TECNICO"), QStringLiteral("--subject"), QStringLiteral("Prova {1}"),
                 QStringLiteral("--body"), QStringLiteral("Riga uno\nperché {due}")},
                m_db);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const Run copies =
            mrv({QStringLiteral("sql"), QStringLiteral("SELECT MSUSR FROM SYS_MSG WHERE MSOBJ = 'Prova {1}' "
                                                       "AND MSFLD = 1 ORDER BY RECORD_ID")},
                m_db);
        QCOMPARE(copies.out, QStringLiteral("MSUSR\nVERDI\nROMANO\nROSSI\n"));
        const Run body = mrv(
            {QStringLiteral("sql"), QStringLiteral("SELECT TOP 1 MSTXT FROM SYS_MSG WHERE MSOBJ = 'Prova {1}'")}, m_db);
        QVERIFY2(body.out.contains(QLatin1String("{\\\\rtf1")), qPrintable(body.out));
        QVERIFY2(body.out.contains(QLatin1String("perch\\\\u233?")), qPrintable(body.out));
        QVERIFY2(body.out.contains(QLatin1String("\\\\{due\\\\}")), qPrintable(body.out));
    }

    void sendWithoutATransportFailsAndSaysWhy()
    {
        const Run run = mrv({QStringLiteral("send"), QStringLiteral("--to"), QStringLiteral("cliente@x.example"),
                             QStringLiteral("--subject"), QStringLiteral("x")},
                            m_db);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("EXCHANGE_MODE")), qPrintable(run.err));
        QCOMPARE(mrv({QStringLiteral("send"), QStringLiteral("--subject"), QStringLiteral("x")}, m_db).exitCode, 2);
    }

    void emailConfigRoundTrip()
    {
        QCOMPARE(mrv({QStringLiteral("email-config"), QStringLiteral("set"), QStringLiteral("ServerName_Out"),
                      QStringLiteral("smtp.example")},
                     m_db)
                     .exitCode,
                 0);
        QCOMPARE(mrv({QStringLiteral("email-config"), QStringLiteral("set"), QStringLiteral("Password_Out"),
                      QStringLiteral("segreto")},
                     m_db)
                     .exitCode,
                 0);
        QCOMPARE(mrv({QStringLiteral("email-config"), QStringLiteral("set"), QStringLiteral("StartTLS_Out"),
                      QStringLiteral("-1"), QStringLiteral("--prefix"), QStringLiteral("CDO")},
                     m_db)
                     .exitCode,
                 0);
        const Run show = mrv({QStringLiteral("email-config")}, m_db);
        QVERIFY(show.out.contains(QLatin1String("ServerName_Out: smtp.example\n")));
        QVERIFY(show.out.contains(QLatin1String("Password_Out: ********\n")));
        QVERIFY(!show.out.contains(QLatin1String("segreto")));
        QVERIFY(show.out.contains(QLatin1String("StartTLS_Out: 0\n")));
        QVERIFY(mrv({QStringLiteral("email-config"), QStringLiteral("show"), QStringLiteral("--prefix"),
                     QStringLiteral("CDO")},
                    m_db)
                    .out.contains(QLatin1String("StartTLS_Out: -1\n")));
        QCOMPARE(
            mrv({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("CDO_EMAIL_OUT_STARTTLS")}, m_db).out,
            QStringLiteral("-1\n"));
        QCOMPARE(
            mrv({QStringLiteral("email-config"), QStringLiteral("set"), QStringLiteral("Bogus"), QStringLiteral("x")},
                m_db)
                .exitCode,
            2);
    }

    void infoGivesAnAccount()
    {
        const Run run = mrv({QStringLiteral("info")}, m_db);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("users: 8")));
        QVERIFY(run.out.contains(QLatin1String("company A01: ")));
        QVERIFY(run.out.contains(QLatin1String("company A02: ")));
    }

    // Exit code and reason of a command that must refuse and write nothing:
    // a refusal after a half-done send would leave rows nobody reads.
    void refusesAndWritesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errContains");
        QTest::addColumn<int>("newMessages");
        const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
        QVERIFY(QFile::exists(fifo) || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const auto send = [](const QString &to, const QStringList &more = {}) {
            return QStringList{QStringLiteral("send"), QStringLiteral("--to"), to} + more;
        };
        const auto attach = [&](const QString &path) {
            return send(QStringLiteral("VERDI"), {QStringLiteral("--attach"), path});
        };
        QTest::newRow("unknown recipient")
            << send(QStringLiteral("VERDI; nessuno")) << 1 << QStringLiteral("unknown recipients: nessuno") << 0;
        QTest::newRow("list naming nobody") << send(QStringLiteral(" ; ")) << 1 << QStringLiteral("name nobody") << 0;
        QTest::newRow("raw recipients as typed")
            << send(QStringLiteral("VERD"), {QStringLiteral("--raw-recipients")}) << 0 << QString() << 2;
        QTest::newRow("missing file") << attach(m_dir.filePath(QStringLiteral("none"))) << 1
                                      << QStringLiteral("none (no such file)") << 0;
        QTest::newRow("folder") << attach(m_dir.path()) << 1 << QStringLiteral("(a folder)") << 0;
        QTest::newRow("fifo") << attach(fifo) << 1 << QStringLiteral("fifo (not a regular file)") << 0;
        QTest::newRow("bar in a path") << attach(m_db + QStringLiteral("|") + m_db) << 1 << QStringLiteral("separates")
                                       << 0;
        QTest::newRow("missing stored message")
            << QStringList{QStringLiteral("send"), QStringLiteral("--id"), QStringLiteral("99999")} << 1
            << QStringLiteral("message 99999 does not exist") << 0;
        QTest::newRow("missing answered message")
            << send(QStringLiteral("VERDI"), {QStringLiteral("--replying"), QStringLiteral("99999")}) << 1
            << QStringLiteral("--replying: message 99999") << 0;
        QTest::newRow("link not a link") << send(QStringLiteral("VERDI"),
                                                 {QStringLiteral("--link"), QStringLiteral("garbage")})
                                         << 2 << QStringLiteral("--link takes") << 0;
        QTest::newRow("link to nothing") << send(QStringLiteral("VERDI"),
                                                 {QStringLiteral("--link"), QStringLiteral("DOC_VEN|99999")})
                                         << 1 << QStringLiteral("no record DOC_VEN|99999") << 0;
        QTest::newRow("body format") << send(QStringLiteral("VERDI"),
                                             {QStringLiteral("--format"), QStringLiteral("99")})
                                     << 2 << QStringLiteral("--format is") << 0;
        QTest::newRow("message status") << QStringList{QStringLiteral("status"), QStringLiteral("message"),
                                                       QStringLiteral("1"), QStringLiteral("99")}
                                        << 2 << QStringLiteral("replied (3)") << 0;
        QTest::newRow("port") << QStringList{QStringLiteral("email-config"), QStringLiteral("set"),
                                             QStringLiteral("ServerPort_Out"), QStringLiteral("-1")}
                              << 2 << QStringLiteral("65535") << 0;
    }

    void refusesAndWritesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, errContains);
        QFETCH(int, newMessages);
        const auto messages = [&] {
            return mrv({QStringLiteral("sql"), QStringLiteral("SELECT COUNT(*) AS N FROM SYS_MSG")}, m_db)
                .out.section(QLatin1Char('\n'), 1, 1)
                .toInt();
        };
        const int before = messages();
        const Run run = mrv(arguments, m_db);
        QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.err)));
        QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
        QCOMPARE(messages() - before, newMessages);
    }

    // A database the command cannot serve is refused with one clear line;
    // one it can only read is read.
    void databasesAsFound_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errContains");
        const QStringList write{QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("K"),
                                QStringLiteral("1")};
        const QStringList read{QStringLiteral("info")};
        QTest::newRow("empty name") << QString() << read << 2 << QStringLiteral("--db needs a value");
        QTest::newRow("missing folder") << QStringLiteral("missing") << write << 1 << QStringLiteral("does not exist");
        QTest::newRow("corrupt file") << QStringLiteral("corrupt") << read << 1 << QStringLiteral("not a database");
        QTest::newRow("newer, writing") << QStringLiteral("newer") << write << 1
                                        << QStringLiteral("newer than this program");
        QTest::newRow("newer, reading") << QStringLiteral("newer") << read << 1
                                        << QStringLiteral("newer than this program");
        QTest::newRow("no schema, writing")
            << QStringLiteral("unversioned") << write << 1 << QStringLiteral("holds no mrv database");
        QTest::newRow("no schema, reading")
            << QStringLiteral("unversioned") << QStringList{QStringLiteral("resolve"), QStringLiteral("VERDI")} << 1
            << QStringLiteral("holds no mrv database");
        QTest::newRow("read-only folder") << QStringLiteral("readonly") << read << 0 << QString();
    }

    void databasesAsFound()
    {
        QFETCH(QString, state);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, errContains);
        const QString folder = m_dir.filePath(state);
        if (state == QLatin1String("readonly")) {
            QVERIFY(
                QFile::setPermissions(QFileInfo(databaseIn(state)).absolutePath(), QFile::ReadOwner | QFile::ExeOwner));
            if (QFileInfo(folder).isWritable())
                QSKIP("the folder stays writable to this user (root)");
        }
        const Run run = state.isEmpty() ? mrv(QStringList{QStringLiteral("--db"), QString()} + arguments)
                                        : mrv(arguments, databaseIn(state));
        if (state == QLatin1String("readonly"))
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.err)));
        QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
        if (exitCode == 1)
            QCOMPARE(run.err.count(QLatin1Char('\n')), 1); // the reason alone, no engine warnings before it
        QVERIFY(state != QLatin1String("missing") || !QFileInfo::exists(folder));
    }

    // Every command once, on a line of its own, its description in one column.
    void overviewIsATable()
    {
        const Run run = mrv({QStringLiteral("-h")});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.section(QStringLiteral("Commands:\n"), 1)
                                      .section(QStringLiteral("\n\n"), 0, 0)
                                      .split(QLatin1Char('\n'));
        static const QRegularExpression row(QStringLiteral("^  (\\S+)( \\S+)*  +\\S"));
        QSet<QString> names;
        QSet<qsizetype> descriptionColumns;
        for (const QString &line : lines) {
            const auto match = row.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            names << match.captured(1);
            descriptionColumns << match.capturedEnd() - 1;
        }
        QCOMPARE(names.size(), lines.size());
        QCOMPARE(names.size(), 12);
        QCOMPARE(descriptionColumns.size(), 1);
        const Run version = mrv({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^mrv \\d+\\.\\d+\\.\\d+\n$")).match(version.out).hasMatch(),
                 qPrintable(version.out));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
