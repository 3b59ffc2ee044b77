#include "Engine.h"

#include "Dialect.h"
#include "SuiteConnection.h"
#include "host/Failure.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QThread>
#include <QUrl>

#include <sqlite3.h>

namespace mrv::suite::db {

namespace {

// A reader of a WAL database needs its shared index beside the file; in a
// folder it may not write to, with no writer that has made one, it reads the
// file as it stands instead.
bool readsTheFileAsItStands(const QString &path)
{
    return !QFileInfo(QFileInfo(path).absolutePath()).isWritable() && !QFileInfo::exists(path + QStringLiteral("-shm"));
}

QSqlDatabase sqliteDatabase(const QString &path, bool readOnly)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), uniqueConnectionName());
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
    database.setDatabaseName(path);
    if (readOnly) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        if (readsTheFileAsItStands(path)) {
            options += QStringLiteral(";QSQLITE_OPEN_URI");
            database.setDatabaseName(
                QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                QStringLiteral("?immutable=1"));
        }
    }
    database.setConnectOptions(options);
    return database;
}

// Statements run on the engine's own handle, in UTF-8 both ways. Through
// QtSql's UTF-16 calls SQLite would take a value beginning with U+FEFF or
// U+FFFE for a byte-order mark (dropping it, or reading the rest
// byte-swapped), and would read U+FFFE and U+FFFF back as U+FFFD: text must
// come back exactly as it went in.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *handle, const QString &sql) : m_handle(handle)
    {
        const QByteArray text = sql.toUtf8();
        const char *tail = nullptr;
        if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &m_statement, &tail) != SQLITE_OK)
            throw Failure(errorMessage());
        if (tail && !QByteArray(tail).trimmed().isEmpty())
            throw Failure(QStringLiteral("Unable to execute multiple statements at a time"));
    }
    ~SqliteStatement() { sqlite3_finalize(m_statement); }

    static QueryResult query(sqlite3 *handle, const QString &sql, const QVariantList &values)
    {
        SqliteStatement statement(handle, sql);
        statement.bind(values);
        return statement.run();
    }
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // For a statement run again with new values.
    void reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

    void bind(const QVariantList &values)
    {
        for (int i = 0; i < int(values.size()); ++i) {
            if (bindOne(i + 1, values.at(i)) != SQLITE_OK)
                throw Failure(errorMessage());
        }
    }

    QueryResult run()
    {
        QueryResult result;
        const int count = sqlite3_column_count(m_statement);
        for (int i = 0; i < count; ++i)
            result.columns << QString::fromUtf8(sqlite3_column_name(m_statement, i));
        forEachRow([&result](const QVariantList &row) { result.rows << row; });
        result.changedRows = sqlite3_changes64(m_handle);
        return result;
    }

    void forEachRow(const RowVisitor &visit)
    {
        const int count = sqlite3_column_count(m_statement);
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(m_statement)) == SQLITE_ROW) {
            QVariantList row;
            row.reserve(count);
            for (int i = 0; i < count; ++i)
                row << columnValue(i);
            visit(row);
        }
        if (step != SQLITE_DONE)
            throw Failure(errorMessage());
    }

private:
    int bindOne(int index, const QVariant &value)
    {
        if (value.isNull())
            return sqlite3_bind_null(m_statement, index);
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return sqlite3_bind_int64(m_statement, index, value.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return sqlite3_bind_double(m_statement, index, value.toDouble());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return sqlite3_bind_blob64(m_statement, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                       SQLITE_TRANSIENT);
        }
        case QMetaType::QDateTime:
            return bindText(index, value.toDateTime().toString(Qt::ISODateWithMs));
        default:
            return bindText(index, value.toString());
        }
    }

    int bindText(int index, const QString &text)
    {
        const QByteArray bytes = withoutLoneSurrogates(text).toUtf8();
        return sqlite3_bind_text64(m_statement, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
    }

    QVariant columnValue(int i) const
    {
        switch (sqlite3_column_type(m_statement, i)) {
        case SQLITE_INTEGER:
            return qlonglong(sqlite3_column_int64(m_statement, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_statement, i);
        case SQLITE_BLOB: {
            // The pointer first, then the size, as SQLite asks.
            const char *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, i));
            return QByteArray(bytes, sqlite3_column_bytes(m_statement, i));
        }
        case SQLITE_TEXT: {
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, i));
            const int size = sqlite3_column_bytes(m_statement, i);
            // Stateless and keeping an initial U+FEFF: the stored text is not a file.
            QStringDecoder utf8(QStringDecoder::Utf8,
                                QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            return QString(utf8(QByteArrayView(text, size)));
        }
        default:
            return QVariant(QMetaType::fromType<QString>());
        }
    }

    QString errorMessage() const { return QString::fromUtf8(sqlite3_errmsg(m_handle)); }

    sqlite3 *m_handle;
    sqlite3_stmt *m_statement = nullptr;
};

constexpr int kBlobPiece = 1 << 20;

// One open blob of the SQLite handle, closed whatever way its user ends.
class OpenBlob
{
public:
    OpenBlob(sqlite3 *handle, const QString &table, const QString &column, qint64 rowid, bool writing)
        : m_handle(handle)
    {
        if (!handle || sqlite3_blob_open(handle, "main", table.toUtf8().constData(), column.toUtf8().constData(), rowid,
                                         writing ? 1 : 0, &m_blob) != SQLITE_OK)
            fail(QStringLiteral("opened"));
    }
    ~OpenBlob() { sqlite3_blob_close(m_blob); }
    OpenBlob(const OpenBlob &) = delete;
    OpenBlob &operator=(const OpenBlob &) = delete;

    int size() const { return sqlite3_blob_bytes(m_blob); }
    void read(char *buffer, int length, int offset)
    {
        if (sqlite3_blob_read(m_blob, buffer, length, offset) != SQLITE_OK)
            fail(QStringLiteral("read"));
    }
    void write(const char *buffer, int length, int offset)
    {
        if (sqlite3_blob_write(m_blob, buffer, length, offset) != SQLITE_OK)
            fail(QStringLiteral("written"));
    }

private:
    [[noreturn]] void fail(const QString &what) const
    {
        const QString reason = m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QStringLiteral("no database");
        throw Failure(QStringLiteral("A stored value could not be %1: %2").arg(what, reason));
    }

    sqlite3 *m_handle;
    sqlite3_blob *m_blob = nullptr;
};

// Calls `move(offset, length)` for each piece of a value of `size` bytes, in
// order; `move` answers how many bytes it moved, at least one.
template <typename Move> void forEachPiece(int size, Move &&move)
{
    for (int offset = 0; offset < size;)
        offset += move(offset, qMin(kBlobPiece, size - offset));
}

sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

bool isInsert(const QString &verb)
{
    return verb == QLatin1String("INSERT") || verb == QLatin1String("REPLACE");
}

class SqlitePrepared : public EngineStatement
{
public:
    SqlitePrepared(sqlite3 *handle, const QString &sql, bool insert)
        : m_handle(handle), m_statement(handle, withoutLoneSurrogates(sql)), m_insert(insert)
    {}

    QueryResult run(const QVariantList &values, std::optional<qint64> &insertedKey) override
    {
        m_statement.reset();
        m_statement.bind(values);
        QueryResult result = m_statement.run();
        if (m_insert)
            insertedKey = sqlite3_last_insert_rowid(m_handle);
        return result;
    }

private:
    sqlite3 *m_handle;
    SqliteStatement m_statement;
    bool m_insert;
};

class SqliteEngine : public Engine
{
public:
    explicit SqliteEngine(QSqlDatabase database) : m_database(std::move(database)) {}
    ~SqliteEngine() override
    {
        sqlite3_finalize(m_dataVersion);
        const QString connection = m_database.connectionName();
        m_database.close();
        m_database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }

    QString name() const override { return QStringLiteral("sqlite"); }
    QString connectionText() const override
    {
        return QStringLiteral("Provider=SQLite;Data Source=") + m_database.databaseName();
    }
    QSqlDatabase database() const override { return m_database; }
    std::unique_ptr<Dialect> makeDialect() const override { return makeSqliteDialect(); }

    QueryResult run(const QString &sql, const QVariantList &values, const StatementHead &head,
                    std::optional<qint64> &insertedKey) override
    {
        SqliteStatement statement(handle(), withoutLoneSurrogates(sql));
        statement.bind(values);
        QueryResult result = statement.run();
        if (isInsert(head.verb))
            insertedKey = sqlite3_last_insert_rowid(handle());
        return result;
    }

    std::unique_ptr<EngineStatement> prepare(const QString &sql, const StatementHead &head, Use) override
    {
        return std::make_unique<SqlitePrepared>(handle(), sql, isInsert(head.verb));
    }

    void forEachRow(const QString &sql, const RowVisitor &visit) override
    {
        SqliteStatement(handle(), withoutLoneSurrogates(sql)).forEachRow(visit);
    }

    bool inTransaction() override { return sqlite3_get_autocommit(handle()) == 0; }
    // IMMEDIATE: a transaction that reads before it writes would otherwise
    // fail at once, not wait, when another connection writes in between.
    QString beginTransaction() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    void beginReadOnly() override { pragma(QStringLiteral("PRAGMA query_only = 1")); }
    void endReadOnly() override { pragma(QStringLiteral("PRAGMA query_only = 0")); }
    void pragma(const QString &sql)
    {
        std::optional<qint64> noKey;
        run(sql, {}, {QStringLiteral("PRAGMA"), {}}, noKey);
    }

    // "PRAGMA data_version", prepared once on the engine's own handle: it is
    // asked before every cached read, where QtSql's cost per query would
    // outweigh the cache.
    qint64 othersCommits() override
    {
        if (!m_dataVersion &&
            sqlite3_prepare_v2(handle(), "PRAGMA data_version", -1, &m_dataVersion, nullptr) != SQLITE_OK)
            return -1;
        const qint64 version = sqlite3_step(m_dataVersion) == SQLITE_ROW ? sqlite3_column_int64(m_dataVersion, 0) : -1;
        sqlite3_reset(m_dataVersion);
        return version;
    }

    QStringList objectNames(const QString &type) override
    {
        return firstColumnOf(SqliteStatement::query(
            handle(), QStringLiteral("SELECT LOWER(name) FROM sqlite_master WHERE type = ?"), {type}));
    }

    QStringList columnNames(const QString &table) override
    {
        return firstColumnOf(
            SqliteStatement::query(handle(), QStringLiteral("SELECT LOWER(name) FROM pragma_table_info(?)"), {table}));
    }

    void writeBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &source) override
    {
        OpenBlob blob(handle(), table, column, rowid, true);
        QByteArray piece(kBlobPiece, Qt::Uninitialized);
        forEachPiece(blob.size(), [&](int offset, int length) {
            const qint64 read = source.read(piece.data(), length);
            if (read <= 0)
                throw Failure(QStringLiteral("The file ended before its stored size: %1").arg(source.errorString()));
            blob.write(piece.constData(), int(read), offset);
            return int(read);
        });
    }

    void readBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &target) override
    {
        OpenBlob blob(handle(), table, column, rowid, false);
        QByteArray piece(kBlobPiece, Qt::Uninitialized);
        forEachPiece(blob.size(), [&](int offset, int length) {
            blob.read(piece.data(), length, offset);
            if (target.write(piece.constData(), length) != length)
                throw Failure(QStringLiteral("A stored value could not be written out: %1").arg(target.errorString()));
            return length;
        });
    }

    void copyBlob(const QString &table, const QString &column, qint64 fromRowid, qint64 toRowid) override
    {
        OpenBlob from(handle(), table, column, fromRowid, false);
        OpenBlob to(handle(), table, column, toRowid, true);
        if (from.size() != to.size())
            throw Failure(QStringLiteral("A stored value could not be copied: the sizes differ"));
        QByteArray piece(kBlobPiece, Qt::Uninitialized);
        forEachPiece(from.size(), [&](int offset, int length) {
            from.read(piece.data(), length, offset);
            to.write(piece.constData(), length, offset);
            return length;
        });
    }

    // SQLite has no messages between processes: signals are rows that
    // listeners read again and again. The table keeps the latest thousand.
    void notify(const QString &payload) override
    {
        SqliteStatement::query(handle(), QStringLiteral("INSERT INTO SYS_SIG (SGTXT) VALUES (?)"), {payload});
        SqliteStatement::query(handle(),
                               QStringLiteral("DELETE FROM SYS_SIG WHERE RECORD_ID <= last_insert_rowid() - 1000"), {});
    }

    void listen() override
    {
        const QueryResult last =
            SqliteStatement::query(handle(), QStringLiteral("SELECT COALESCE(MAX(RECORD_ID), 0) FROM SYS_SIG"), {});
        m_lastSignal = last.rows.first().first().toLongLong();
    }

    QStringList waitForNotifications(int timeoutMs) override
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const QueryResult rows = SqliteStatement::query(
                handle(), QStringLiteral("SELECT RECORD_ID, SGTXT FROM SYS_SIG WHERE RECORD_ID > ? ORDER BY RECORD_ID"),
                {m_lastSignal});
            QStringList payloads;
            for (const QVariantList &row : rows.rows) {
                m_lastSignal = row.at(0).toLongLong();
                payloads << row.at(1).toString();
            }
            if (!payloads.isEmpty() || deadline.hasExpired())
                return payloads;
            QThread::msleep(quint64(qMin<qint64>(100, qMax<qint64>(1, deadline.remainingTime()))));
        }
    }

    QString emptyBlob(qint64 size) const override { return QStringLiteral("zeroblob(%1)").arg(size); }

private:
    sqlite3 *handle() const
    {
        sqlite3 *engineHandle = sqliteHandle(m_database);
        if (!engineHandle)
            throw Failure(QStringLiteral("The database is not open"));
        return engineHandle;
    }

    QSqlDatabase m_database;
    sqlite3_stmt *m_dataVersion = nullptr;
    qint64 m_lastSignal = 0;
};

} // namespace

std::unique_ptr<Engine> openSqliteEngine(const QString &path, bool readOnly)
{
    const QFileInfo file(path);
    if (!readOnly && !file.dir().exists() && !QDir().mkpath(file.absolutePath()))
        throw Failure(QStringLiteral("Cannot create the folder of the database %1").arg(path));
    auto engine = std::make_unique<SqliteEngine>(sqliteDatabase(path, readOnly));
    QSqlDatabase database = engine->database();
    if (!database.open())
        throw Failure(QStringLiteral("Cannot open the database %1: %2").arg(path, engineMessage(database.lastError())));
    std::optional<qint64> noKey;
    const StatementHead pragma{QStringLiteral("PRAGMA"), {}};
    // WAL lets readers in other processes go on while one user writes; a
    // reader cannot switch it and finds it already set by the writer.
    if (!readOnly) {
        engine->run(QStringLiteral("PRAGMA journal_mode=WAL"), {}, pragma, noKey);
        engine->run(QStringLiteral("PRAGMA synchronous=NORMAL"), {}, pragma, noKey);
    }
    // Reads through the page cache cost a copy per page; mapping the file
    // saves about a third of the time of address-book searches.
    engine->run(QStringLiteral("PRAGMA mmap_size=268435456"), {}, pragma, noKey);
    return engine;
}

} // namespace mrv::suite::db
