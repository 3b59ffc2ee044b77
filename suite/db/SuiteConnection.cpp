#include "SuiteConnection.h"

#include "MemoryRecordSet.h"
#include "Routines.h"
#include "SqlStatementBuilder.h"
#include "SqlTokenizer.h"
#include "SqlValueTools.h"
#include "UpdatableQuery.h"
#include "host/Failure.h"
#include "host/TypeCodes.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QUrl>

#include <sqlite3.h>

#include <vector>

namespace mrv::suite::db {

namespace {

const QString kRowKeyColumn = QStringLiteral("MRV_ROW_KEY");

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("mrv-%1").arg(counter.fetchAndAddRelaxed(1));
}

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

QString engineMessage(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

qsizetype skipBlanksAndComments(const QString &statement, qsizetype at)
{
    const qsizetype size = statement.size();
    while (at < size) {
        if (statement.at(at).isSpace()) {
            ++at;
        } else if (QStringView(statement).mid(at, 2) == QLatin1String("--")) {
            while (at < size && statement.at(at) != QLatin1Char('\n') && statement.at(at) != QChar(13))
                ++at;
        } else if (QStringView(statement).mid(at, 2) == QLatin1String("/*")) {
            const qsizetype end = statement.indexOf(QLatin1String("*/"), at + 2);
            at = end < 0 ? size : end + 2;
        } else {
            break;
        }
    }
    return at;
}

// The word (or quoted name) at `at`, past blanks and comments; `at` moves
// past it. Scanned by hand: tokenizing a whole INSERT with a long body just
// to read its first words would double the cost of every write.
QString nextWord(const QString &statement, qsizetype &at)
{
    at = skipBlanksAndComments(statement, at);
    const qsizetype size = statement.size();
    if (at >= size)
        return {};
    const QChar open = statement.at(at);
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    if (open == QLatin1Char('"') || open == QLatin1Char('[') || open == QLatin1Char('`')) {
        const qsizetype end = statement.indexOf(close, at + 1);
        if (end < 0)
            return {};
        const QString word = statement.mid(at + 1, end - at - 1);
        at = end + 1;
        return word;
    }
    const qsizetype start = at;
    while (at < size && (statement.at(at).isLetterOrNumber() || statement.at(at) == QLatin1Char('_') ||
                         statement.at(at) == QLatin1Char('$')))
        ++at;
    return statement.mid(start, at - start);
}

QString firstWord(const QString &statement)
{
    qsizetype at = 0;
    return nextWord(statement, at).toUpper();
}

// The table an INSERT, REPLACE, UPDATE or DELETE writes to, in upper case;
// empty when the statement is not one of them or is not understood.
QString writtenTable(const QString &statement, const QString &verb)
{
    if (verb != QLatin1String("INSERT") && verb != QLatin1String("REPLACE") && verb != QLatin1String("UPDATE") &&
        verb != QLatin1String("DELETE"))
        return {};
    qsizetype at = 0;
    nextWord(statement, at);
    QString word = nextWord(statement, at).toUpper();
    if (word == QLatin1String("OR")) { // INSERT OR REPLACE, UPDATE OR IGNORE...
        nextWord(statement, at);
        word = nextWord(statement, at).toUpper();
    }
    if (word == QLatin1String("INTO") || word == QLatin1String("FROM"))
        word = nextWord(statement, at).toUpper();
    at = skipBlanksAndComments(statement, at);
    if (at < statement.size() && statement.at(at) == QLatin1Char('.')) { // schema.table
        ++at;
        word = nextWord(statement, at).toUpper();
    }
    return word;
}

// SQLite keeps text as UTF-8, where half a surrogate pair has no spelling:
// a statement holding one would fail with a meaningless message. It becomes
// U+FFFD, as in every conversion of such text to UTF-8.
QString withoutLoneSurrogates(const QString &sql)
{
    QString text = sql;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
            ++at;
        else if (c.isSurrogate())
            text[at] = QChar(QChar::ReplacementCharacter);
    }
    return text;
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
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

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
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(m_statement)) == SQLITE_ROW) {
            QVariantList row;
            row.reserve(count);
            for (int i = 0; i < count; ++i)
                row << columnValue(i);
            result.rows << std::move(row);
        }
        if (step != SQLITE_DONE)
            throw Failure(errorMessage());
        return result;
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
        const QByteArray bytes = text.toUtf8();
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

bool isInsert(const QString &verb)
{
    return verb == QLatin1String("INSERT") || verb == QLatin1String("REPLACE");
}

// Statements that leave every table as it was. A ROLLBACK is not one of
// them: it takes back what was read since the transaction began.
bool leavesContentAlone(const QString &verb)
{
    static const QStringList kVerbs = {QStringLiteral("SELECT"), QStringLiteral("BEGIN"),     QStringLiteral("COMMIT"),
                                       QStringLiteral("END"),    QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE"),
                                       QStringLiteral("EXPLAIN")};
    return kVerbs.contains(verb);
}

sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace

struct SuiteConnection::Private
{
    QString name;
    QSqlDatabase database;
    std::unique_ptr<Dialect> dialect;
    SqlValueTools values;
    std::optional<qint64> scopeIdentity;
    QString companyPrefix;
    const RoutineCatalog *routines = &RoutineCatalog::standard();
    int transactionDepth = 0;
    std::vector<std::unique_ptr<Transaction>> work;
    // Own writes by table, and those whose table is not known (DDL, a
    // ROLLBACK, bulk loads), which may have changed any table.
    QHash<QString, quint64> tableWrites;
    quint64 anyTableWrites = 0;
    // "PRAGMA data_version", prepared once on the engine's own handle: it is
    // asked before every cached read, where QtSql's cost per query would
    // outweigh the cache.
    sqlite3_stmt *dataVersion = nullptr;

    qint64 othersCommits()
    {
        sqlite3 *handle = sqliteHandle(database);
        if (!handle)
            return -1;
        if (!dataVersion && sqlite3_prepare_v2(handle, "PRAGMA data_version", -1, &dataVersion, nullptr) != SQLITE_OK)
            return -1;
        const qint64 version = sqlite3_step(dataVersion) == SQLITE_ROW ? sqlite3_column_int64(dataVersion, 0) : -1;
        sqlite3_reset(dataVersion);
        return version;
    }

    TranslationContext context() const { return {scopeIdentity, routines, companyPrefix}; }

    bool engineInTransaction() const
    {
        sqlite3 *handle = sqliteHandle(database);
        return handle && sqlite3_get_autocommit(handle) == 0;
    }

    // A statement that failed outside an explicit Transaction must not leave
    // the engine inside one (a failed COMMIT, a batch that began one).
    void recoverAfterFailure()
    {
        if (transactionDepth == 0 && engineInTransaction()) {
            ++anyTableWrites;
            QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
        }
    }

    void countWrite(const QString &nativeSql, const QString &verb)
    {
        if (leavesContentAlone(verb))
            return;
        const QString table = writtenTable(nativeSql, verb);
        if (table.isEmpty())
            ++anyTableWrites;
        else
            ++tableWrites[table];
    }

    QueryResult run(const QString &nativeSql, const QVariantList &values = {})
    {
        const QString verb = firstWord(nativeSql);
        countWrite(nativeSql, verb);
        sqlite3 *handle = sqliteHandle(database);
        if (!handle)
            throw Failure(QStringLiteral("The database is not open"));
        try {
            SqliteStatement statement(handle, withoutLoneSurrogates(nativeSql));
            statement.bind(values);
            QueryResult result = statement.run();
            if (isInsert(verb))
                scopeIdentity = sqlite3_last_insert_rowid(handle);
            return result;
        } catch (const Failure &) {
            recoverAfterFailure();
            throw;
        }
    }

    QueryResult runSuiteSql(const QString &sql)
    {
        QueryResult last;
        const QList<QList<SqlToken>> statements = splitStatements(tokenizeSql(sql));
        if (statements.isEmpty())
            throw Failure(QStringLiteral("The statement is empty"));
        for (const QList<SqlToken> &statement : statements)
            last = run(dialect->translate(statement, context()));
        return last;
    }
};

SuiteConnection::SuiteConnection(QSqlDatabase database, std::unique_ptr<Dialect> dialect)
    : d(std::make_unique<Private>())
{
    d->name = database.connectionName();
    d->database = database;
    d->dialect = std::move(dialect);
}

SuiteConnection::~SuiteConnection()
{
    const QString name = d->name;
    d->work.clear();
    sqlite3_finalize(d->dataVersion);
    d->database.close();
    d->database = QSqlDatabase();
    d.reset();
    QSqlDatabase::removeDatabase(name);
}

std::shared_ptr<SuiteConnection> SuiteConnection::openSqlite(const QString &path, Access access)
{
    const bool readOnly = access == Access::ReadOnly;
    const QFileInfo file(path);
    if (!readOnly && !file.dir().exists() && !QDir().mkpath(file.absolutePath()))
        throw Failure(QStringLiteral("Cannot create the folder of the database %1").arg(path));
    // The handle is passed on, not kept here: a copy still alive when a failed
    // open removes the connection would make QtSql warn that it is in use.
    std::shared_ptr<SuiteConnection> connection(
        new SuiteConnection(sqliteDatabase(path, readOnly), makeSqliteDialect()));
    if (!connection->d->database.open())
        throw Failure(QStringLiteral("Cannot open the database %1: %2")
                          .arg(path, engineMessage(connection->d->database.lastError())));
    // WAL lets readers in other processes go on while one user writes; a
    // reader cannot switch it and finds it already set by the writer.
    if (!readOnly) {
        connection->nativeQuery(QStringLiteral("PRAGMA journal_mode=WAL"));
        connection->nativeQuery(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    // Reads through the page cache cost a copy per page; mapping the file
    // saves about a third of the time of address-book searches.
    connection->nativeQuery(QStringLiteral("PRAGMA mmap_size=268435456"));
    return connection;
}

std::unique_ptr<host::RecordSet> SuiteConnection::openRecordSet(const QString &sql, qint32 mode, bool &error,
                                                                QString &errorText)
{
    error = false;
    errorText.clear();
    try {
        if (mode != host::rsUpdatable)
            return makeRecordSet(d->runSuiteSql(sql));
        const UpdatableQuery updatable = UpdatableQuery::fromSelect(sql, kRowKeyColumn);
        QueryResult rows = d->runSuiteSql(updatable.query);
        const QString table = updatable.table;
        RowWriter writer = [this, table](const QVariant &key, const QVariantMap &changes) {
            auto statement = newStatement();
            statement->initialize(table);
            for (auto change = changes.constBegin(); change != changes.constEnd(); ++change)
                statement->addColumn(change.key(), change.value(), typeCodeOf(change.value()));
            statement->setWhere(QStringLiteral("WHERE RECORD_ID = ") + d->values.sqlLiteral(key, host::tcInt32));
            execute(statement->build(host::skUpdate));
        };
        return std::make_unique<MemoryRecordSet>(std::move(rows), kRowKeyColumn, std::move(writer));
    } catch (const Failure &failure) {
        error = true;
        errorText = failure.message();
        return nullptr;
    }
}

void SuiteConnection::execute(const QString &sql)
{
    d->runSuiteSql(sql);
}

QueryResult SuiteConnection::query(const QString &sql)
{
    return d->runSuiteSql(sql);
}

QueryResult SuiteConnection::nativeQuery(const QString &sql, const QVariantList &values)
{
    return d->run(sql, values);
}

namespace {

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

} // namespace

void SuiteConnection::writeBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &source)
{
    OpenBlob blob(sqliteHandle(d->database), table, column, rowid, true);
    QByteArray piece(kBlobPiece, Qt::Uninitialized);
    forEachPiece(blob.size(), [&](int offset, int length) {
        const qint64 read = source.read(piece.data(), length);
        if (read <= 0)
            throw Failure(QStringLiteral("The file ended before its stored size: %1").arg(source.errorString()));
        blob.write(piece.constData(), int(read), offset);
        return int(read);
    });
    ++d->anyTableWrites;
}

void SuiteConnection::readBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &target)
{
    OpenBlob blob(sqliteHandle(d->database), table, column, rowid, false);
    QByteArray piece(kBlobPiece, Qt::Uninitialized);
    forEachPiece(blob.size(), [&](int offset, int length) {
        blob.read(piece.data(), length, offset);
        if (target.write(piece.constData(), length) != length)
            throw Failure(QStringLiteral("A stored value could not be written out: %1").arg(target.errorString()));
        return length;
    });
}

void SuiteConnection::copyBlob(const QString &table, const QString &column, qint64 fromRowid, qint64 toRowid)
{
    sqlite3 *handle = sqliteHandle(d->database);
    OpenBlob from(handle, table, column, fromRowid, false);
    OpenBlob to(handle, table, column, toRowid, true);
    if (from.size() != to.size())
        throw Failure(QStringLiteral("A stored value could not be copied: the sizes differ"));
    QByteArray piece(kBlobPiece, Qt::Uninitialized);
    forEachPiece(from.size(), [&](int offset, int length) {
        from.read(piece.data(), length, offset);
        to.write(piece.constData(), length, offset);
        return length;
    });
    ++d->anyTableWrites;
}

SuiteConnection::Prepared SuiteConnection::prepare(const QString &nativeSql)
{
    auto query = std::make_shared<QSqlQuery>(d->database);
    if (!query->prepare(nativeSql))
        throw Failure(engineMessage(query->lastError()));
    return Prepared(query, &d->anyTableWrites);
}

qint64 SuiteConnection::Prepared::run(const QVariantList &values)
{
    QSqlQuery *query = m_query.get();
    for (qsizetype i = 0; i < values.size(); ++i)
        query->bindValue(int(i), values.at(i));
    ++*m_anyTableWrites;
    if (!query->exec())
        throw Failure(engineMessage(query->lastError()));
    return query->lastInsertId().toLongLong();
}

std::unique_ptr<host::RecordSet> SuiteConnection::runProcedure(const QString &name,
                                                               const QList<host::ProcedureParameter> &parameters)
{
    const ProcedureBody *procedure = d->routines ? d->routines->procedure(name) : nullptr;
    if (!procedure)
        throw Failure(QStringLiteral("Could not find stored procedure '%1'").arg(name), 2812);
    return (*procedure)(*this, parameters);
}

QVariant SuiteConnection::lookup(const QString &table, const QString &keyColumn, const QVariant &keyValue,
                                 qint32 keyKind, const QString &column)
{
    const qint32 literalKind = keyKind == host::kkNumber ? host::tcInt32 : host::tcShortText;
    const QueryResult result =
        query(QStringLiteral("SELECT TOP 1 ") + column + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") +
              keyColumn + QStringLiteral(" = ") + d->values.sqlLiteral(keyValue, literalKind));
    if (result.rows.isEmpty())
        return {};
    return result.rows.first().first();
}

QString SuiteConnection::valueListCaption(const QString &table, const QString &column, const QVariant &value)
{
    const QueryResult result = query(QStringLiteral("SELECT TOP 1 VLTXT FROM SYS_VAL WHERE VLTAB = ") +
                                     d->values.sqlLiteral(table, host::tcShortText) + QStringLiteral(" AND VLFLD = ") +
                                     d->values.sqlLiteral(column, host::tcShortText) + QStringLiteral(" AND VLVAL = ") +
                                     d->values.sqlLiteral(value.toString(), host::tcShortText));
    return result.rows.isEmpty() ? QString() : result.rows.first().first().toString();
}

void SuiteConnection::deleteRow(const QString &table, const QVariant &key)
{
    execute(QStringLiteral("DELETE ") + table + QStringLiteral(" WHERE RECORD_ID = ") +
            d->values.sqlLiteral(key, host::tcInt32));
}

std::unique_ptr<host::StatementBuilder> SuiteConnection::newStatement()
{
    return std::make_unique<SqlStatementBuilder>(d->values);
}

qint32 SuiteConnection::typeCodeOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return host::tcNull;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return host::tcBoolean;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return host::tcInt32;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return host::tcDateTime;
    default:
        return host::tcText;
    }
}

QString SuiteConnection::connectionText() const
{
    return QStringLiteral("Provider=SQLite;Data Source=") + d->database.databaseName();
}

void SuiteConnection::beginWork()
{
    d->work.push_back(std::make_unique<Transaction>(*this));
}

void SuiteConnection::endWork()
{
    if (d->work.empty())
        throw Failure(QStringLiteral("No unit of work is open"));
    const std::unique_ptr<Transaction> transaction = std::move(d->work.back());
    d->work.pop_back();
    transaction->commit();
}

ContentVersion SuiteConnection::contentVersion(const QString &table) const
{
    return {d->anyTableWrites + d->tableWrites.value(table.toUpper()), d->othersCommits()};
}

const Dialect &SuiteConnection::dialect() const
{
    return *d->dialect;
}

QSqlDatabase SuiteConnection::database() const
{
    return d->database;
}

QString SuiteConnection::engine() const
{
    return QStringLiteral("sqlite");
}

void SuiteConnection::setCompanyPrefix(const QString &prefix)
{
    d->companyPrefix = prefix;
}

QString SuiteConnection::companyPrefix() const
{
    return d->companyPrefix;
}

void SuiteConnection::setRoutines(const RoutineCatalog *routines)
{
    d->routines = routines;
}

SuiteConnection::SeparateScope::SeparateScope(SuiteConnection &connection)
    : m_connection(connection), m_saved(connection.d->scopeIdentity)
{}

SuiteConnection::SeparateScope::~SeparateScope()
{
    m_connection.d->scopeIdentity = m_saved;
}

SuiteConnection::Transaction::Transaction(SuiteConnection &connection) : m_connection(connection)
{
    m_outermost = m_connection.d->transactionDepth == 0;
    // IMMEDIATE: a transaction that reads before it writes would otherwise
    // fail at once, not wait, when another connection writes in between.
    if (m_outermost)
        m_connection.nativeQuery(QStringLiteral("BEGIN IMMEDIATE"));
    ++m_connection.d->transactionDepth;
}

SuiteConnection::Transaction::~Transaction()
{
    --m_connection.d->transactionDepth;
    if (m_outermost && !m_done) {
        try {
            m_connection.nativeQuery(QStringLiteral("ROLLBACK"));
        } catch (...) {
            // Nothing to roll back: the engine ended the transaction itself.
        }
    }
}

void SuiteConnection::Transaction::commit()
{
    if (m_done)
        return;
    m_done = true;
    if (m_outermost)
        m_connection.nativeQuery(QStringLiteral("COMMIT"));
}

} // namespace mrv::suite::db
