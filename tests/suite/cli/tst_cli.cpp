#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
