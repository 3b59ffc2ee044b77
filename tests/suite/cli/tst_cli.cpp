#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

    // On `database`, else on the test's database unless the arguments choose another.
    Run mrv(const QStringList &arguments, const QString &database = QString())
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, m_dir.path()); // the default database lives here
        environment.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
        environment.insert(u"MRV_REGISTRY"_s, m_dir.filePath(u"registry.ini"_s));
        process.setProcessEnvironment(environment);
        const bool own = arguments.contains("--db"_L1) || arguments.contains("--url"_L1);
        const QString chosen = database.isEmpty() ? m_db : database;
        process.start(qEnvironmentVariable("MRV_BIN") + u"/mrv"_s,
                      (own ? QStringList() : QStringList{u"--db"_s, chosen}) + arguments);
        if (!process.waitForFinished(120000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }

    QString out(const QStringList &arguments)
    {
        const Run run = mrv(arguments);
        return run.exitCode == 0 ? run.out : u"exit %1: %2"_s.arg(run.exitCode).arg(run.err);
    }

    // The demo database copied into a folder named after `state`, in that
    // state; for "missing" the folder does not exist.
    QString databaseIn(const QString &state)
    {
        const QString path = m_dir.filePath(state + u"/x.db"_s);
        if (state == "missing"_L1 || QFile::exists(path))
            return path;
        QDir().mkpath(m_dir.filePath(state));
        QFile::copy(m_db, path);
        const QHash<QString, QString> changes{{u"newer"_s, u"UPDATE SYS_VER SET VRNUM = 999"_s},
                                              {u"unversioned"_s, u"DELETE FROM SYS_VER"_s}};
        if (changes.contains(state))
            mrv({u"sql"_s, changes.value(state)}, path);
        QFile file(path);
        if (state == "corrupt"_L1 && file.open(QIODevice::WriteOnly))
            file.write(QByteArray(8192, 'x'));
        if (state == "readonly"_L1)
            QFile::setPermissions(m_dir.filePath(state), QFile::ReadOwner | QFile::ExeOwner);
        return path;
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

    void cleanupTestCase()
    {
        QFile::setPermissions(m_dir.filePath(u"readonly"_s), QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }

    int messageCount()
    {
        return mrv({u"sql"_s, u"SELECT COUNT(*) AS N FROM SYS_MSG"_s}, m_db).out.section(u'\n', 1, 1).toInt();
    }

    // Exactly the output on success; the reason on stderr otherwise, alone
    // for a failure. A refusal writes nothing: rows of a half-done send would
    // go unread. A database the command cannot serve is refused; one it can
    // only read is read.
    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<int>("newMessages");
        const auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &output,
                            int newMessages = 0) {
            QTest::newRow(name) << arguments << exitCode << QStringList{output} << (exitCode == 0) << newMessages;
        };
        // Exactly this output, whatever the exit code.
        const auto prints = [](const char *name, const QStringList &arguments, int exitCode, const QString &output) {
            QTest::newRow(name) << arguments << exitCode << QStringList{output} << true << 0;
        };
        // Success, and these lines among others.
        const auto shows = [](const char *name, const QStringList &arguments, const QStringList &lines) {
            QTest::newRow(name) << arguments << 0 << lines << false << 0;
        };
        const QString fifo = m_dir.filePath(u"fifo"_s);
        QVERIFY(QFile::exists(fifo) || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const auto send = [](const QString &to, const QStringList &more = {}) {
            return QStringList{u"send"_s, u"--to"_s, to} + more;
        };
        const auto attach = [&](const QString &path) { return send(u"VERDI"_s, {u"--attach"_s, path}); };
        row("top two users", {"sql", "SELECT TOP 2 CDUSR FROM SYS_USR ORDER BY CDUSR"}, 0,
            u"CDUSR\nADMIN\nBIANCHI\n"_s);
        row("null and escapes", {"sql", "SELECT NULL AS A, 'x\ty' AS B, 'a\\b' AS C"}, 0,
            u"A\tB\tC\nNULL\tx\\ty\ta\\\\b\n"_s);
        row("no rows, header only", {"sql", "SELECT CDUSR FROM SYS_USR WHERE 1 = 0"}, 0, u"CDUSR\n"_s);
        row("statement prints nothing", {"sql", "UPDATE SYS_USR SET USNAM = USNAM WHERE CDUSR = 'x'"}, 0, QString());
        row("bad statement", {"sql", "SELECT * FROM NOWHERE"}, 1, u"no such table: NOWHERE"_s);
        row("missing database", {"--db", "absent.db", "sql", "SELECT 1"}, 1, u"mrv init"_s);
        row("server not running", {"--url", "postgres://127.0.0.1:1/x", "sql", "SELECT 1"}, 1,
            u"Cannot open the database postgres://127.0.0.1:1/x"_s);
        row("url that is no server", {"--url", "x.db", "info"}, 2, u"PostgreSQL address"_s);
        row("unknown user", {"--user", "NOBODY", "config", "get", "X"}, 1, u"NOBODY"_s);
        row("watch: nothing raised in time", {"watch", "--count", "1", "--timeout", "1"}, 1,
            u"0 of 1 signals arrived in 1 s"_s);
        row("watch: no count", {"watch", "--count", "0"}, 2, u"--count needs a whole number above 0"_s);
        row("config default", {"config", "get", "NOT_SET", "dflt"}, 0, u"dflt\n"_s);
        row("config set for a user", {"--user", "ROSSI", "config", "set", "RECEIPT", "-1", "--per-user"}, 0, QString());
        row("config of that user", {"--user", "ROSSI", "config", "get", "RECEIPT"}, 0, u"-1\n"_s);
        row("config of another user", {"--user", "VERDI", "config", "get", "RECEIPT", "0"}, 0, u"0\n"_s);
        const QString hostile = u"O'Brien; -- /* è 漢 */ \"x\""_s;
        row("config set hostile text", {"config", "set", "HOSTILE", hostile}, 0, QString());
        row("config get hostile text", {"config", "get", "HOSTILE"}, 0, hostile + u'\n');
        row("unknown command", {"frobnicate"}, 2, u"unknown command"_s);
        row("unknown option", {"init", "--bogus"}, 2, u"unknown option --bogus"_s);
        row("bad scale", {"init", "--scale", "many"}, 2, u"--scale"_s);
        row("resolve all", {"resolve", " ROSSI;; vendite ;"}, 0,
            u"resolved: Mario Rossi <ROSSI>; Ufficio vendite <VENDITE>\nunknown: \n"_s);
        prints("resolve lists the unknown", {"resolve", "ROSSI;nessuno;x@y.example"}, 1,
               u"resolved: Mario Rossi <ROSSI>\nunknown: nessuno; x@y.example\n"_s);
        row("resolve chosen", {"resolve", "--suggest", "--choose", "Laura Bianchi <BIANCHI>", "nessuno"}, 0,
            u"resolved: Laura Bianchi <BIANCHI>\nunknown: \n"_s);
        row("status of a missing message", {"status", "message", "99999", "1"}, 1, u"ChangeMessageStatus"_s);
        row("status bad id", {"status", "fax", "x", "1"}, 2, u"ID"_s);
        row("message status", {"status", "message", "1", "99"}, 2, u"replied (3)"_s);
        row("link known address", {"link-email", "paola@santoro1.example.it"}, 0, u"C000001\n"_s);
        row("link needs a window", {"link-email", "new@customer.example"}, 1, u"not available"_s);
        row("e-mail server", {"email-config", "set", "ServerName_Out", "smtp.example"}, 0, QString());
        row("e-mail password", {"email-config", "set", "Password_Out", "segreto"}, 0, QString());
        row("e-mail option per prefix", {"email-config", "set", "StartTLS_Out", "-1", "--prefix", "CDO"}, 0, QString());
        row("e-mail option stored", {"config", "get", "CDO_EMAIL_OUT_STARTTLS"}, 0, u"-1\n"_s);
        row("e-mail account shown", {"email-config"}, 0,
            u"Name: \nEmail: \nServerType_In: 0\nServerName_In: \nServerPort_In: 0\nServerSSL_In: 0\nServerAuth_In: 0\n"
            "User_In: \nPassword_In: \nServerType_Out: 0\nServerName_Out: smtp.example\nServerPort_Out: 0\n"
            "ServerSSL_Out: 0\nStartTLS_Out: 0\nServerAuth_Out: 1\nUser_Out: \nPassword_Out: ********\n"_s);
        shows("e-mail account of a prefix", {"email-config", "show", "--prefix", "CDO"}, {"StartTLS_Out: -1\n"});
        row("unknown e-mail field", {"email-config", "set", "Bogus", "x"}, 2, QString());
        row("port", {"email-config", "set", "ServerPort_Out", "-1"}, 2, u"65535"_s);
        row("send without a transport", {"send", "--to", "cliente@x.example", "--subject", "x"}, 1, u"EXCHANGE_MODE"_s);
        row("send without recipients", {"send", "--subject", "x"}, 2, QString());
        row("unknown recipient", send(u"VERDI; nessuno"_s), 1, u"unknown recipients: nessuno"_s);
        row("list naming nobody", send(u" ; "_s), 1, u"name nobody"_s);
        row("raw recipients as typed", send(u"VERD"_s, {u"--raw-recipients"_s}), 0, QString(), 2);
        row("status of the message just stored", {"status", "message", "1", "3"}, 0, QString());
        row("status stored", {"sql", "SELECT MSSTA FROM SYS_MSG WHERE RECORD_ID = 1"}, 0, u"MSSTA\n3\n"_s);
        row("missing file", attach(m_dir.filePath(u"none"_s)), 1, u"none (no such file)"_s);
        row("folder", attach(m_dir.path()), 1, u"(a folder)"_s);
        row("fifo", attach(fifo), 1, u"fifo (not a regular file)"_s);
        row("bar in a path", attach(m_db + u'|' + m_db), 1, u"separates"_s);
        row("missing stored message", {"send", "--id", "99999"}, 1, u"message 99999 does not exist"_s);
        row("missing answered message", send(u"VERDI"_s, {u"--replying"_s, u"99999"_s}), 1,
            u"--replying: message 99999"_s);
        row("link not a link", send(u"VERDI"_s, {u"--link"_s, u"garbage"_s}), 2, u"--link takes"_s);
        row("link to nothing", send(u"VERDI"_s, {u"--link"_s, u"DOC_VEN|99999"_s}), 1, u"no record DOC_VEN|99999"_s);
        row("body format", send(u"VERDI"_s, {u"--format"_s, u"99"_s}), 2, u"--format is"_s);
        // Who gets a copy is the sending pipeline's; the command line turns the plain body into RTF.
        row("plain body",
            {"--user", "ROSSI", "send", "--to", "VERDI; TECNICO", "--subject", "Prova {1}", "--body",
             "Riga uno\nperché {due}"},
            0, QString(), 4);
        shows("plain body stored as RTF", {"sql", "SELECT TOP 1 MSTXT FROM SYS_MSG WHERE MSOBJ = 'Prova {1}'"},
              {"{\\\\rtf1", "perch\\\\u233?", "\\\\{due\\\\}"});
        shows("info", {"info"}, {"users: 8\n", "company A01: ", "company A02: "});
        row("dataset variables", {"dataset", "expand", "SELECT * FROM A01_X WHERE K IN (@) OR J = @2", "4,9"}, 0,
            u"SELECT * FROM A01_X WHERE K IN (4,9) OR J = 9\n"_s);
        shows("dataset fields", {"dataset", "fields", "1"}, {"IDDOC\nDocumento\n", "NomeFile\n"});
        row("dataset that is not there", {"dataset", "fields", "99"}, 1, u"dataset 99 gave no fields"_s);
        row("dataset without a subcommand", {"dataset", "list"}, 2, u"expected one of"_s);
        shows("template fields", {"template", "fields", "1"}, {"RagioneSociale\n", "PARAM_USER_FULLNAME\n"});
        shows("template recipient types", {"template", "recipient-types", "1"},
              {"1\tControparte: @ Principale\t1\tCON_TRO\t@ Principale\t\n", "7\tRiferimenti: offerte\t0\tCON_RIF"});
        shows("template parsed", {"template", "parse", "2", "CON_TRO", "3"},
              {"IDCON\tCodice\tRagioneSociale", "\n3\tC000003\t", "\nlinked\t"});
        row("template for another table", {"template", "parse", "1", "CON_TRO", "3"}, 1, u"no message"_s);
        row("template keys", {"template", "parse", "1", "DOC_VEN", "x"}, 2, u"KEYS needs a whole number"_s);
        row("template send mode", {"template", "send", "1", "DOC_VEN", "1", "--mode", "4"}, 2, u"--mode is 1"_s);
        row("template check in a batch", {"template", "send", "1", "DOC_VEN", "1", "--check", "--batch", "b"}, 2,
            u"--check sends nothing"_s);
        const QString saved = m_dir.filePath(u"notification.txt"_s), refused = m_dir.filePath(u"refused.txt"_s);
        const QString exported = m_dir.filePath(u"2.qdn"_s), cut = m_dir.filePath(u"cut.qdn"_s);
        writeFile(saved, "# a new notification on customers\nNTDES=Cliente di Milano\nNTTIP=1\nNTTBL=CON_TRO\n"
                         "NTREC=ROSSI\nNTNOT=Riga uno\\r\\nRiga due\n[CONDITION milano]\nNCDES=Milano\nNCV1T=1\n"
                         "NCV1C=COLOC\nNCV2C=Milano\n[CONDITION agente]\nNCDES=Agente\nNCV1T=1\nNCV1C=CDAGE\n"
                         "NCV2C=AG01\n[CONDITION e]\nNCV1T=3\nNCV1C=milano\nNCOPE=AND\nNCV2T=3\nNCV2C=agente\n"
                         "NCSEL=1\n");
        writeFile(refused, "NTDES=Senza tabella\nNTREC=ROSSI\n");
        writeFile(cut, QByteArray("\xFF\xFE[\0S\0Y\0S\0", 10));
        shows("notification list", {"notification", "list"},
              {"1\t0\t\t0\tDocumenti sopra la soglia\n", "2\t1\tCON_TRO\t1\tNuovo cliente di Milano\n"});
        shows("notification shown", {"notification", "show", "2"}, {"ID=2\nCDAZI=A01\n", "\nC\t3\t(B AND A)\t1\n"});
        row("notification batch",
            {"notification", "batch", "SELECT(Cliente) CORAS WHERE CDAGE = [@2@]", "--id", "3", "--keep-results"}, 0,
            u"/**/%1\r\n/**/DECLARE @SYS_NTF INT\tSET @SYS_NTF = 3\r\n/**/DECLARE @SYS_NTG_2 NVARCHAR(4000)\tSET "
            "@SYS_NTG_2 = dbo.A01_XFN_SYS_NTG_GET(2)\r\n/**/DECLARE @1 NVARCHAR(255)\tSET @1 = 'Cliente'\r\n/**/%1\r\n"
            "\r\nINSERT INTO SYS_NTT (IDNTF, NTFLD, NTVAL) SELECT @SYS_NTF, @1, CORAS WHERE CDAGE = @SYS_NTG_2\n"_s.arg(
                QString(68, u'-')));
        row("notification batch of a quoted label", {"notification", "batch", "SELECT(L'importo) 1"}, 1,
            u"single quote"_s);
        row("notification saved", {"notification", "save", saved}, 0, u"4\n"_s);
        shows("notification saved as given", {"notification", "show", "4"},
              {"NTNOT=Riga uno\\r\\nRiga due\n", "NTREC=Mario Rossi <ROSSI>\n", "C\t7\t(B AND A)\t1\n"});
        row("notification refused", {"notification", "save", refused}, 1, u"Inserire una tabella!"_s);
        row("notification activated", {"notification", "activate", "4"}, 0, QString());
        row("notification activated twice", {"notification", "activate", "4"}, 1, u"state 11"_s);
        row("notification deactivated", {"notification", "deactivate", "4"}, 0, QString());
        row("notification reset when not in error", {"notification", "reset", "4"}, 1, u"not in error (3)"_s);
        row("notification put in error", {"sql", "UPDATE SYS_NTF SET NTUPD = 3 WHERE RECORD_ID = 4"}, 0, QString());
        row("notification reset", {"notification", "reset", "4"}, 0, QString());
        shows("notification inactive after a reset", {"notification", "list"}, {"\n4\t1\tCON_TRO\t0\t"});
        row("notification exported", {"notification", "export", "2", exported}, 0, QString());
        row("notification imported", {"--company", "A02", "notification", "import", exported, "--recipients", "VERDI"},
            0, u"5\n"_s);
        row("notification import needs recipients", {"notification", "import", exported}, 2, u"--recipients"_s);
        row("notification import of a cut file", {"notification", "import", cut, "--recipients", "VERDI"}, 1,
            u"cut short"_s);
        row("notification that is not there", {"notification", "show", "99"}, 1, u"does not exist"_s);
        row("empty database name", {"--db", "", "info"}, 2, u"--db needs a value"_s);
        row("missing folder", {"--db", databaseIn(u"missing"_s), "config", "set", "K", "1"}, 1, u"does not exist"_s);
        row("missing folder left alone", {"--db", u"missing"_s, "info"}, 1, u"does not exist"_s);
        row("corrupt file", {"--db", databaseIn(u"corrupt"_s), "info"}, 1, u"not a database"_s);
        const QString newer = databaseIn(u"newer"_s), unversioned = databaseIn(u"unversioned"_s);
        row("newer, writing", {"--db", newer, "config", "set", "K", "1"}, 1, u"newer than this program"_s);
        row("newer, reading", {"--db", newer, "info"}, 1, u"newer than this program"_s);
        row("no schema, writing", {"--db", unversioned, "config", "set", "K", "1"}, 1, u"holds no mrv database"_s);
        row("no schema, reading", {"--db", unversioned, "resolve", "VERDI"}, 1, u"holds no mrv database"_s);
        shows("read-only folder", {"--db", databaseIn(u"readonly"_s), "info"}, {"users: 8\n"});
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, output);
        QFETCH(bool, whole);
        QFETCH(int, newMessages);
        if (const qsizetype db = arguments.indexOf("--db"_L1); db >= 0 && !arguments[db + 1].isEmpty())
            arguments[db + 1] = QDir(m_dir.path()).filePath(arguments[db + 1]);
        if (arguments.contains(databaseIn(u"readonly"_s)) && QFileInfo(m_dir.filePath(u"readonly"_s)).isWritable())
            QSKIP("the folder stays writable to this user (root)");
        const int before = messageCount();
        const Run run = mrv(arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(u"exit %1: %2"_s.arg(run.exitCode).arg(run.err)));
        if (whole)
            QCOMPARE(run.out, output.first());
        for (const QString &line : whole ? QStringList() : output)
            QVERIFY2((exitCode == 0 ? run.out : run.err).contains(line), qPrintable(run.out + run.err));
        if (exitCode == 1 && !whole) // no engine warnings: one reason, indented lines continue it
            QCOMPARE(run.err.count(QRegularExpression(u"^\\S"_s, QRegularExpression::MultilineOption)), 1);
        QCOMPARE(messageCount() - before, newMessages);
    }

    // A copy of the untouched demo database for one case of the server.
    QString freshDemo(const QString &name)
    {
        const QString pristine = m_dir.filePath(u"notify/pristine.db"_s);
        if (!QFile::exists(pristine)) {
            QDir().mkpath(m_dir.filePath(u"notify"_s));
            mrv({u"init"_s, u"--demo"_s}, pristine);
        }
        const QString path = m_dir.filePath(u"notify/%1.db"_s.arg(name));
        QFile::remove(path);
        QFile::copy(pristine, path);
        return path;
    }

    QString column(const QString &database, const QString &sql)
    {
        const QStringList lines = mrv({u"sql"_s, sql}, database).out.split(u'\n', Qt::SkipEmptyParts);
        return lines.mid(1).join(u'|');
    }

    // The demo's notifications: 1 generic (documents over the threshold,
    // inactive), 2 on new customers of Milan with the zone's agent (active),
    // 3 on deleted sales documents over 5000 (inactive). Each row: the
    // statements run before the server, its runs with --once, the exit of
    // the last, the subjects of the messages sent, the states after and,
    // where given, what each condition gave on the last change it was
    // evaluated for (NCVAL; the relation stops at its first false side).
    void notificationServer_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("runs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("states");
        QTest::addColumn<QString>("results");
        const QString milan =
            u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC, CDAGE) VALUES ('N1', 'Nuovo', 'Milano', 'AG01')"_s;
        const QString rome =
            u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC, CDAGE) VALUES ('N2', 'Altro', 'Roma', 'AG01')"_s;
        const QString milanOtherAgent =
            u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC, CDAGE) VALUES ('N3', 'Terzo', 'Milano', 'AG02')"_s;
        const QString bigDocument = u"UPDATE A01_DOC_VEN SET DTTOT = 9000 WHERE RECORD_ID = 1"_s;
        const QString smallDocument = u"UPDATE A01_DOC_VEN SET DTTOT = 10 WHERE RECORD_ID = 2"_s;
        const QString activate = u"UPDATE SYS_NTF SET NTUPD = 11 WHERE RECORD_ID = %1"_s;
        QTest::newRow("a matching insert fires, others do not")
            << QStringList{rome, milan, milanOtherAgent} << 1 << 0 << u"Nuovo cliente a Milano"_s << u"0|1|0"_s
            << u"1|0|0|0"_s;
        QTest::newRow("deletes are seen once the rule is active")
            << QStringList{bigDocument, smallDocument, activate.arg(3),
                           u"DELETE FROM A01_DOC_VEN WHERE RECORD_ID IN (1, 2)"_s}
            << 1 << 0 << u"Cancellato un documento rilevante"_s << u"0|1|1"_s << QString();
        QTest::newRow("a generic one with rows sends one message, once while not due")
            << QStringList{bigDocument, activate.arg(1)} << 2 << 0 << u"Documenti di vendita sopra la soglia"_s
            << u"1|1|0"_s << QString();
        QTest::newRow("a failing one fails alone")
            << QStringList{u"UPDATE SYS_NTF SET NTQRF = 'INSERT INTO NO_SUCH_TABLE SELECT 1', NTUPD = 11 "
                           "WHERE RECORD_ID = 1"_s,
                           milan}
            << 1 << 1 << u"Nuovo cliente a Milano"_s << u"3|1|0"_s << QString();
        QTest::newRow("a deactivated one sends nothing")
            << QStringList{u"UPDATE SYS_NTF SET NTUPD = 10 WHERE RECORD_ID = 2"_s, milan} << 1 << 0 << QString()
            << u"0|0|0"_s << QString();
        // Implicit checks: an update fires when the row comes to match, not
        // again while it keeps matching.
        QTest::newRow("updates fire when a row comes to match")
            << QStringList{u"INSERT INTO SYS_NTF (CDAZI, NTDES, NTTIP, NTTBL, NTEXE, NTREC, NTSUB, NTNOT, NTUPD) "
                           "VALUES ('A01', 'Trasferito', 1, 'CON_TRO', 2, 'Mario Rossi <ROSSI>', "
                           "'Cliente trasferito a Milano', 'Trasferito.', 11)"_s,
                           u"INSERT INTO SYS_NTC (IDNTF, NCDES, NCSEL, NCIMP, NCNOT, NCV1C, NCV1T, NCOPE, NCV2C, "
                           u"NCV2T, "
                           "NCLEV) VALUES (4, 'A Milano', 1, 1, 0, 'COLOC', 1, '=', 'Milano', 0, 1)"_s,
                           u"UPDATE A01_CON_TRO SET COLOC = 'Roma' WHERE RECORD_ID IN (1, 2)"_s,
                           u"UPDATE A01_CON_TRO SET COLOC = 'Milano' WHERE RECORD_ID = 1"_s,
                           u"UPDATE A01_CON_TRO SET CORAS = 'Nuovo nome' WHERE RECORD_ID = 1"_s}
            << 1 << 0 << u"Cliente trasferito a Milano"_s << u"0|1|0|1"_s << QString();
        QTest::newRow("a condition on a missing field fails")
            << QStringList{u"UPDATE SYS_NTC SET NCV1C = 'NOFIELD' WHERE IDNTF = 2 AND NCV1T = 1 AND NCV1C = 'COLOC'"_s,
                           u"UPDATE SYS_NTF SET NTUPD = 11 WHERE RECORD_ID = 2"_s, milan}
            << 1 << 1 << QString() << u"0|3|0"_s << QString();
        // A query operand reads the changed row's fields as "@FIELD",
        // quotes in their values included; "@COLOC" inside a literal is text.
        QTest::newRow("a query sees the changed row")
            << QStringList{u"INSERT INTO SYS_NTF (CDAZI, NTDES, NTTIP, NTTBL, NTEXE, NTREC, NTSUB, NTNOT, NTUPD) "
                           "VALUES ('A01', 'Citta nota', 1, 'CON_TRO', 1, 'Mario Rossi <ROSSI>', "
                           "'Cliente in una citta nota', 'Nota.', 11)"_s,
                           u"INSERT INTO SYS_NTC (IDNTF, NCDES, NCSEL, NCIMP, NCNOT, NCV1C, NCV1T, NCOPE, NCV2C, "
                           "NCV2T, NCLEV) VALUES (4, 'Altri clienti', 1, 1, 0, 'SELECT COUNT(*) FROM A01_CON_TRO "
                           "WHERE COLOC = @coloc AND CORAS <> @CORAS AND CORAS <> ''@COLOC''', 2, '>', '0', 0, 1)"_s,
                           u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC) VALUES ('N4', 'D''Angelo', 'Torino')"_s,
                           u"INSERT INTO A01_CON_TRO (CDCON, CORAS, COLOC) VALUES ('N5', 'Solo', 'Aosta')"_s}
            << 1 << 0 << u"Cliente in una citta nota"_s << u"0|1|0|1"_s << u"0|0|0|0|0"_s;
    }

    void notificationServer()
    {
        QFETCH(QStringList, before);
        QFETCH(int, runs);
        QFETCH(int, exitCode);
        QFETCH(QString, sent);
        QFETCH(QString, states);
        QFETCH(QString, results);
        const QString database = freshDemo(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'));
        for (const QString &statement : before)
            QCOMPARE(mrv({u"sql"_s, statement}, database).exitCode, 0);
        Run run;
        for (int i = 0; i < runs; ++i)
            run = mrv({u"notify-server"_s, u"--once"_s}, database);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
        QCOMPARE(column(database, u"SELECT MSOBJ FROM SYS_MSG WHERE MSFLD = 2 ORDER BY RECORD_ID"_s), sent);
        QCOMPARE(column(database, u"SELECT NTUPD FROM SYS_NTF ORDER BY RECORD_ID"_s), states);
        if (!results.isNull())
            QCOMPARE(column(database, u"SELECT NCVAL FROM SYS_NTC ORDER BY RECORD_ID"_s), results);
        QCOMPARE(column(database, u"SELECT COUNT(*) FROM SYS_NTL"_s), u"0"_s);
        if (exitCode != 0)
            QVERIFY(column(database, u"SELECT ERDES FROM SYS_ERR WHERE EROBJ = 'NotificationServer'"_s)
                        .startsWith("Notification "_L1));
    }

    void registryFileThroughTheCommandLine()
    {
        QFile registry(m_dir.filePath(u"registry.ini"_s));
        QCOMPARE(out({"register"}), u"registered in %1\n"_s.arg(registry.fileName()));
        QVERIFY(registry.open(QIODevice::ReadOnly) && registry.readAll().contains("[MerovanComMessage.mrvMessage]"));
        registry.close();
        QCOMPARE(out({"unregister"}), u"unregistered from %1\n"_s.arg(registry.fileName()));
        QVERIFY(registry.open(QIODevice::ReadOnly) && !registry.readAll().contains("MerovanComMessage"));
    }

    // Every command once, on a line of its own, its description in one
    // column; each has a help of its own.
    // Every message of a template as files, its report a real PDF; a
    // customer's name holding RTF syntax and a line break stays text.
    void rendersTemplateMessagesToFiles()
    {
        const QString hostile = u"Rossi {\\par} \\b0 & <b>\r\nBcc: x@y"_s;
        QCOMPARE(mrv({u"sql"_s, u"UPDATE A01_CON_TRO SET CORAS = '%1' WHERE RECORD_ID = 2"_s.arg(hostile)}).exitCode,
                 0);
        const QString out = m_dir.filePath(u"rendered"_s);
        const Run run = mrv({u"template"_s, u"render"_s, u"1"_s, u"DOC_VEN"_s, u"1,2"_s, u"--out"_s, out});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(u'\n'), 2);
        QVERIFY2(run.out.startsWith(u"1\tOfferta n. 1 - Santoro Meccanica S.r.l.\t"_s), qPrintable(run.out));
        for (const char *file : {"subject.rtf", "body.rtf", "body.html", "recipients.tsv", "report.pdf"})
            QVERIFY2(QFile::exists(out + u"/2/"_s + QLatin1String(file)), file);
        QFile recipients(out + u"/1/recipients.tsv"_s);
        QVERIFY(recipients.open(QIODevice::ReadOnly));
        QCOMPARE(recipients.readAll().count('\n'), 9);
        QProcess pdf;
        pdf.start(u"pdftotext"_s, {out + u"/1/report.pdf"_s, u"-"_s});
        QVERIFY(pdf.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(pdf.readAllStandardOutput()).contains(u"Santoro Meccanica S.r.l."_s));
        QFile html(out + u"/2/body.html"_s);
        QVERIFY(html.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(html.readAll()).contains(u"Rossi {\\par} \\b0 &amp; &lt;b&gt;"_s));
        const QString subject = run.out.section(u'\n', 1, 1).section(u'\t', 1, 1);
        QVERIFY2(!subject.contains(u'\n') && !subject.contains(u'\r'), qPrintable(subject));
    }

    void overviewIsATable()
    {
        const QString help = out({u"-h"_s});
        QCOMPARE(out({u"--help"_s}), help);
        const QStringList lines = help.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0).split(u'\n');
        static const QRegularExpression row(u"^  (\\S+)( \\S+)*  +\\S"_s);
        QSet<QString> names;
        QSet<qsizetype> descriptionColumns;
        for (const QString &line : lines) {
            const auto match = row.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            names << match.captured(1);
            descriptionColumns << match.capturedEnd() - 1;
            QVERIFY2(out({match.captured(1), u"--help"_s}).startsWith("Usage: mrv"_L1), qPrintable(line));
        }
        QCOMPARE(names.size(), lines.size());
        QCOMPARE(names.size(), 18);
        QCOMPARE(descriptionColumns.size(), 1);
        QVERIFY(help.startsWith("Usage: mrv"_L1));
        const QString version = out({u"--version"_s});
        QVERIFY2(QRegularExpression(u"^mrv \\d+\\.\\d+\\.\\d+\n$"_s).match(version).hasMatch(), qPrintable(version));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
