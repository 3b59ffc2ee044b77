#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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

    // On the test's database unless the arguments choose another.
    Run mrv(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_dir.path()); // the default database lives here
        environment.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
        process.setProcessEnvironment(environment);
        const bool own = arguments.contains("--db"_L1) || arguments.contains("--url"_L1);
        process.start(qEnvironmentVariable("MRV_BIN") + u"/mrv"_s,
                      (own ? QStringList() : QStringList{u"--db"_s, m_db}) + arguments);
        if (!process.waitForFinished(120000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QString out(const QStringList &arguments)
    {
        const Run run = mrv(arguments);
        return run.exitCode == 0 ? run.out : u"exit %1: %2"_s.arg(run.exitCode).arg(run.err);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_db = m_dir.filePath(u"suite.db"_s);
        QVERIFY(out({"init", "--demo"}).contains("demo data: loaded"_L1));
        // A second init upgrades nothing and loads nothing twice.
        QVERIFY(out({"init", "--demo"}).contains("already present"_L1));
    }

    // Exactly the output on success; the reason on stderr otherwise.
    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        const auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &output) {
            QTest::newRow(name) << arguments << exitCode << output;
        };
        row("top two users", {"sql", "SELECT TOP 2 CDUSR FROM SYS_USR ORDER BY CDUSR"}, 0,
            u"CDUSR\nADMIN\nBIANCHI\n"_s);
        row("null and escapes", {"sql", "SELECT NULL AS A, 'x\ty' AS B, 'a\\b' AS C"}, 0,
            u"A\tB\tC\nNULL\tx\\ty\ta\\\\b\n"_s);
        row("no rows, header only", {"sql", "SELECT CDUSR FROM SYS_USR WHERE 1 = 0"}, 0, u"CDUSR\n"_s);
        row("statement prints nothing", {"sql", "UPDATE SYS_USR SET USNAM = USNAM WHERE CDUSR = 'x'"}, 0, QString());
        row("bad statement", {"sql", "SELECT * FROM NOWHERE"}, 1, u"no such table: NOWHERE"_s);
        row("missing database", {"--db", "absent.db", "sql", "SELECT 1"}, 1, u"mrv init"_s);
        row("postgres not yet", {"--url", "postgres://localhost/x", "sql", "SELECT 1"}, 1, u"PostgreSQL"_s);
        row("unknown user", {"--user", "NOBODY", "config", "get", "X"}, 1, u"NOBODY"_s);
        row("config default", {"config", "get", "NOT_SET", "dflt"}, 0, u"dflt\n"_s);
        row("unknown command", {"frobnicate"}, 2, u"unknown command"_s);
        row("unknown option", {"init", "--bogus"}, 2, u"unknown option --bogus"_s);
        row("bad scale", {"init", "--scale", "many"}, 2, u"--scale"_s);
        row("resolve all", {"resolve", " ROSSI;; vendite ;"}, 0,
            u"resolved: Mario Rossi <ROSSI>; Ufficio vendite <VENDITE>\nunknown: \n"_s);
        row("resolve chosen", {"resolve", "--suggest", "--choose", "Laura Bianchi <BIANCHI>", "nessuno"}, 0,
            u"resolved: Laura Bianchi <BIANCHI>\nunknown: \n"_s);
        row("status of a missing message", {"status", "message", "99999", "1"}, 1, u"ChangeMessageStatus"_s);
        row("status bad id", {"status", "fax", "x", "1"}, 2, u"ID"_s);
        row("link known address", {"link-email", "paola@santoro1.example.it"}, 0, u"C000001\n"_s);
        row("link needs a window", {"link-email", "new@customer.example"}, 1, u"not available"_s);
        row("send without a transport", {"send", "--to", "cliente@x.example", "--subject", "x"}, 1, u"EXCHANGE_MODE"_s);
        row("send without recipients", {"send", "--subject", "x"}, 2, QString());
        row("unknown e-mail field", {"email-config", "set", "Bogus", "x"}, 2, QString());
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        if (const qsizetype db = arguments.indexOf("--db"_L1); db >= 0)
            arguments[db + 1] = m_dir.filePath(arguments[db + 1]);
        const Run run = mrv(arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(u"exit %1: %2"_s.arg(run.exitCode).arg(run.err)));
        if (exitCode == 0)
            QCOMPARE(run.out, output);
        else
            QVERIFY2(run.err.contains(output), qPrintable(run.err));
    }

    void infoGivesAnAccount()
    {
        const QString account = out({"info"});
        for (const char *line : {"users: 8", "company A01: ", "company A02: "})
            QVERIFY2(account.contains(QLatin1String(line)), qPrintable(account));
    }

    // Exit code 1, and still the account of what was understood.
    void resolveListsTheUnknown()
    {
        const Run run = mrv({"resolve", "ROSSI;nessuno;x@y.example"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, u"resolved: Mario Rossi <ROSSI>\nunknown: nessuno; x@y.example\n"_s);
    }

    void configScopesAndHostileText()
    {
        QCOMPARE(out({"config", "set", "EMAIL_RECEIPT", "0"}), QString());
        QCOMPARE(out({"--user", "ROSSI", "config", "set", "EMAIL_RECEIPT", "-1", "--per-user"}), QString());
        QCOMPARE(out({"--user", "ROSSI", "config", "get", "EMAIL_RECEIPT"}), u"-1\n"_s);
        QCOMPARE(out({"--user", "VERDI", "config", "get", "EMAIL_RECEIPT"}), u"0\n"_s);
        const QString hostile = u"O'Brien; -- /* è 漢 */ \"x\""_s;
        QCOMPARE(out({"config", "set", "HOSTILE", hostile}), QString());
        QCOMPARE(out({"config", "get", "HOSTILE"}), hostile + u'\n');
    }

    void helpEverywhere_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("global") << QStringList{u"--help"_s};
        for (const char *command : {"init", "info", "sql", "config", "resolve", "status", "link-email", "register",
                                    "unregister", "send", "email-config", "mailclient"})
            QTest::newRow(command) << QStringList{QLatin1String(command), u"--help"_s};
    }

    void helpEverywhere()
    {
        QFETCH(QStringList, arguments);
        QVERIFY(out(arguments).startsWith("Usage: mrv"_L1));
    }

    void statusOfAStoredMessage()
    {
        QCOMPARE(out({"sql", "INSERT INTO SYS_MSG (MSTYP, MSFLD, MSSTA, MSUSR) VALUES (0, 1, 0, 'ROSSI')"}), QString());
        const QString id = out({"sql", "SELECT MAX(RECORD_ID) AS ID FROM SYS_MSG"}).section(u'\n', 1, 1);
        QCOMPARE(out({"status", "message", id, "3"}), QString());
        QCOMPARE(out({"sql", "SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = " + id}), u"MSSTA\n3\n"_s);
    }

    void registryFileThroughTheCommandLine()
    {
        const QString path = m_dir.filePath(u"registry.ini"_s);
        qputenv("MRV_REGISTRY", path.toLocal8Bit());
        QFile registry(path);
        QCOMPARE(out({"register"}), u"registered in %1\n"_s.arg(path));
        QVERIFY(registry.open(QIODevice::ReadOnly) && registry.readAll().contains("[MerovanComMessage.mrvMessage]"));
        registry.close();
        QCOMPARE(mrv({"unregister"}).exitCode, 0);
        QVERIFY(registry.open(QIODevice::ReadOnly) && !registry.readAll().contains("MerovanComMessage"));
        qunsetenv("MRV_REGISTRY");
    }

    void sendToUsersAndGroups()
    {
        QCOMPARE(out({"--user", "ROSSI", "send", "--to", "VERDI; TECNICO", "--subject", "Prova {1}", "--body",
                      "Riga uno\nperché {due}"}),
                 QString());
        QCOMPARE(out({"sql", "SELECT MSUSR FROM SYS_MSG WHERE MSOBJ = 'Prova {1}' AND MSFLD = 1 ORDER BY RECORD_ID"}),
                 u"MSUSR\nVERDI\nROMANO\nROSSI\n"_s);
        const QString body = out({"sql", "SELECT TOP 1 MSTXT FROM SYS_MSG WHERE MSOBJ = 'Prova {1}'"});
        for (const char *part : {"{\\\\rtf1", "perch\\\\u233?", "\\\\{due\\\\}"})
            QVERIFY2(body.contains(QLatin1String(part)), qPrintable(body));
    }

    void emailConfigRoundTrip()
    {
        QCOMPARE(out({"email-config", "set", "ServerName_Out", "smtp.example"}), QString());
        QCOMPARE(out({"email-config", "set", "Password_Out", "segreto"}), QString());
        QCOMPARE(out({"email-config", "set", "StartTLS_Out", "-1", "--prefix", "CDO"}), QString());
        const QString shown = out({"email-config"});
        for (const char *line : {"ServerName_Out: smtp.example\n", "Password_Out: ********\n", "StartTLS_Out: 0\n"})
            QVERIFY2(shown.contains(QLatin1String(line)), qPrintable(shown));
        QVERIFY(!shown.contains("segreto"_L1));
        QVERIFY(out({"email-config", "show", "--prefix", "CDO"}).contains("StartTLS_Out: -1\n"_L1));
        QCOMPARE(out({"config", "get", "CDO_EMAIL_OUT_STARTTLS"}), u"-1\n"_s);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
