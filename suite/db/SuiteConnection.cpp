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
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <unordered_map>
#include <utility>
#include <vector>

namespace mrv::suite::db {

namespace {

const QString kRowKeyColumn = QStringLiteral("MRV_ROW_KEY");

} // namespace

QStringList firstColumnOf(const QueryResult &result)
{
    QStringList values;
    for (const QVariantList &row : result.rows)
        values << row.first().toString();
    return values;
}

QString uniqueConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("mrv-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A statement holding half a surrogate pair would fail with a meaningless
// message (SQLite), or hold something else than what was given.
QString withoutLoneSurrogates(const QString &original)
{
    QString text = original;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
            ++at;
        else if (c.isSurrogate())
            text[at] = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

QString engineMessage(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

namespace {

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

// Statements that leave every table as it was. A ROLLBACK is not one of
// them: it takes back what was read since the transaction began.
bool leavesContentAlone(const QString &verb)
{
    static const QStringList kVerbs = {QStringLiteral("SELECT"), QStringLiteral("BEGIN"),     QStringLiteral("COMMIT"),
                                       QStringLiteral("END"),    QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE"),
                                       QStringLiteral("EXPLAIN")};
    return kVerbs.contains(verb);
}

} // namespace

// "SELECT 1234" or "SELECT NULL", as SCOPE_IDENTITY() translates: the
// connection knows the answer, and a server would cost a round trip for
// every key read after an insert.
std::optional<QueryResult> selectOfALiteral(const QString &nativeSql)
{
    static const QRegularExpression literal(QStringLiteral("^\\s*SELECT\\s+(-?[0-9]{1,18}|NULL)\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = literal.match(nativeSql);
    if (!match.hasMatch())
        return std::nullopt;
    const QString value = match.captured(1);
    const bool isNull = value.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0;
    return QueryResult{{value}, {{isNull ? QVariant(QMetaType::fromType<QString>()) : QVariant(value.toLongLong())}}};
}

// MRV_TRACE_SQL set: every failed statement is told on standard error,
// with the engine's reason, whoever catches the failure afterwards.
bool tracing()
{
    static const bool trace = qEnvironmentVariableIsSet("MRV_TRACE_SQL");
    return trace;
}

struct SuiteConnection::Private
{
    std::unique_ptr<Engine> engine;
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
    qint64 othersCommitsAtStart = -1; // when the outermost transaction began
    // Signals raised inside a transaction, each once, sent as it commits:
    // listeners see them only with the rows they announce, and a transaction
    // that sends a hundred messages to one user wakes that user once.
    QStringList pendingSignals;
    // Lookups by their text, valid while their table's content version
    // holds: a transaction that sends many messages to one user asks
    // whether that user is a group once.
    struct Looked
    {
        ContentVersion version;
        QVariant value;
    };
    QHash<QString, Looked> lookups;
    static constexpr qsizetype kLookupsKept = 256;
    // Translations of queries by text, for the company and routines in use;
    // a few hundred cover a session's repeated queries, and the lot is
    // dropped when full.
    QHash<QString, QStringList> translations;
    static constexpr qsizetype kTranslationsKept = 512;
    // The builder's statements by shape, prepared once on the engine (they
    // go before the engine that made them).
    BuiltShapes shapes;
    struct RepeatedStatement
    {
        std::unique_ptr<EngineStatement> statement;
        StatementHead head;
    };
    std::unordered_map<QString, RepeatedStatement> repeated;
    static constexpr size_t kRepeatedKept = 64;

    TranslationContext context() const { return {scopeIdentity, routines, companyPrefix}; }

    // A statement that failed outside an explicit Transaction must not leave
    // the engine inside one (a failed COMMIT, a batch that began one).
    void recoverAfterFailure()
    {
        if (transactionDepth == 0 && engine->inTransaction()) {
            ++anyTableWrites;
            std::optional<qint64> noKey;
            try {
                engine->run(QStringLiteral("ROLLBACK"), {}, {QStringLiteral("ROLLBACK"), {}}, noKey);
            } catch (const Failure &) {
                // The engine ended the transaction itself.
            }
        }
    }

    void countWrite(const StatementHead &head)
    {
        if (leavesContentAlone(head.verb))
            return;
        if (head.table.isEmpty())
            ++anyTableWrites;
        else
            ++tableWrites[head.table];
    }

    QueryResult run(const QString &nativeSql, const QVariantList &values = {})
    {
        const QString verb = firstWord(nativeSql);
        const StatementHead head{verb, writtenTable(nativeSql, verb)};
        countWrite(head);
        try {
            return engine->run(nativeSql, values, head, scopeIdentity);
        } catch (const Failure &failure) {
            if (tracing())
                qInfo("mrv: %s\n  failed: %s", qUtf8Printable(nativeSql), failure.what());
            recoverAfterFailure();
            throw;
        }
    }

    QueryResult runNative(const QString &native)
    {
        const std::optional<QueryResult> answered = selectOfALiteral(native);
        return answered ? *answered : run(native);
    }

    static QList<QList<SqlToken>> statementsOf(const QString &sql)
    {
        QList<QList<SqlToken>> statements = splitStatements(tokenizeSql(sql));
        if (statements.isEmpty())
            throw Failure(QStringLiteral("The statement is empty"));
        return statements;
    }

    // The native statements of a text that reads no key, translated once:
    // the same queries (configuration, lists, lookups) come again and again.
    const QStringList &translated(const QString &sql)
    {
        if (const auto found = translations.constFind(sql); found != translations.constEnd())
            return *found;
        QStringList natives;
        for (const QList<SqlToken> &statement : statementsOf(sql))
            natives << dialect->translate(statement, context());
        if (translations.size() >= kTranslationsKept)
            translations.clear();
        return *translations.insert(sql, natives);
    }

    RepeatedStatement &repeatedStatement(const QString &native)
    {
        if (const auto found = repeated.find(native); found != repeated.end())
            return found->second;
        if (repeated.size() >= kRepeatedKept)
            repeated.clear();
        const QString verb = firstWord(native);
        const StatementHead head{verb, writtenTable(native, verb)};
        return repeated.emplace(native, RepeatedStatement{engine->prepare(native, head, Engine::Use::Repeated), head})
            .first->second;
    }

    void runShape(const StatementShape &shape)
    {
        const QString native = translated(shape.text).constFirst();
        try {
            RepeatedStatement &repeat = repeatedStatement(native);
            countWrite(repeat.head);
            repeat.statement->run(shape.values, scopeIdentity);
        } catch (const Failure &failure) {
            if (tracing())
                qInfo("mrv: %s\n  failed: %s", qUtf8Printable(native), failure.what());
            recoverAfterFailure();
            throw;
        }
    }

    // A query that users write runs between the engine's read-only
    // statements. One query only: a second statement could end the
    // read-only mode (a COMMIT, a PRAGMA) before it writes.
    QueryResult runQueryOnly(const QString &sql)
    {
        const QList<QList<SqlToken>> statements = statementsOf(sql);
        const QString verb = firstWord(sql);
        if (statements.size() != 1 || (verb != QLatin1String("SELECT") && verb != QLatin1String("WITH")))
            throw Failure(QStringLiteral("Only a single SELECT query may be run here"));
        engine->beginReadOnly();
        QueryResult result;
        try {
            result = runSuiteSql(sql);
        } catch (const Failure &) {
            engine->endReadOnly();
            throw;
        }
        engine->endReadOnly();
        return result;
    }

    QueryResult runSuiteSql(const QString &sql)
    {
        QueryResult last;
        // A key read (SCOPE_IDENTITY(), @@IDENTITY) is a literal of the
        // moment, after whatever the statements before it inserted; writes
        // carry their values as literals and hardly ever come twice.
        if (firstWord(sql) != QLatin1String("SELECT") || sql.contains(QLatin1String("IDENTITY"), Qt::CaseInsensitive)) {
            for (const QList<SqlToken> &statement : statementsOf(sql))
                last = runNative(dialect->translate(statement, context()));
            return last;
        }
        for (const QString &native : translated(sql))
            last = runNative(native);
        return last;
    }
};

SuiteConnection::SuiteConnection(std::unique_ptr<Engine> engine) : d(std::make_unique<Private>())
{
    d->dialect = engine->makeDialect();
    d->engine = std::move(engine);
}

SuiteConnection::~SuiteConnection()
{
    d->work.clear();
}

std::shared_ptr<SuiteConnection> SuiteConnection::connect(const QString &location, Access access)
{
    if (isServerLocation(location))
        return std::shared_ptr<SuiteConnection>(new SuiteConnection(openPostgresEngine(location)));
    return openSqlite(location, access);
}

bool SuiteConnection::isServerLocation(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

std::shared_ptr<SuiteConnection> SuiteConnection::openSqlite(const QString &path, Access access)
{
    return std::shared_ptr<SuiteConnection>(new SuiteConnection(openSqliteEngine(path, access == Access::ReadOnly)));
}

std::unique_ptr<host::RecordSet> SuiteConnection::openRecordSet(const QString &sql, qint32 mode, bool &error,
                                                                QString &errorText)
{
    error = false;
    errorText.clear();
    try {
        if (mode == host::rsQueryOnly)
            return makeRecordSet(d->runQueryOnly(sql));
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
    if (const std::optional<StatementShape> shape = d->shapes.take(sql))
        return d->runShape(*shape);
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

void SuiteConnection::forEachRow(const QString &sql, const RowVisitor &visit)
{
    d->engine->forEachRow(translate(sql), visit);
}

QString SuiteConnection::translate(const QString &sql) const
{
    return d->dialect->translate(sql, d->context());
}

void SuiteConnection::writeBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &source)
{
    ++d->anyTableWrites;
    d->engine->writeBlob(table, column, rowid, source);
}

void SuiteConnection::readBlob(const QString &table, const QString &column, qint64 rowid, QIODevice &target)
{
    d->engine->readBlob(table, column, rowid, target);
}

void SuiteConnection::copyBlob(const QString &table, const QString &column, qint64 fromRowid, qint64 toRowid)
{
    ++d->anyTableWrites;
    d->engine->copyBlob(table, column, fromRowid, toRowid);
}

void SuiteConnection::notify(const QString &payload)
{
    if (d->transactionDepth == 0)
        d->engine->notify(payload);
    else if (!d->pendingSignals.contains(payload))
        d->pendingSignals.append(payload);
}

void SuiteConnection::listen()
{
    d->engine->listen();
}

QStringList SuiteConnection::waitForNotifications(int timeoutMs)
{
    return d->engine->waitForNotifications(timeoutMs);
}

QString SuiteConnection::emptyBlob(qint64 size) const
{
    return d->engine->emptyBlob(size);
}

SuiteConnection::Prepared SuiteConnection::prepare(const QString &nativeSql)
{
    const QString verb = firstWord(nativeSql);
    return Prepared(d->engine->prepare(nativeSql, {verb, writtenTable(nativeSql, verb)}, Engine::Use::BulkLoad),
                    &d->anyTableWrites);
}

qint64 SuiteConnection::Prepared::run(const QVariantList &values)
{
    ++*m_anyTableWrites;
    std::optional<qint64> insertedKey;
    m_statement->run(values, insertedKey);
    return insertedKey.value_or(0);
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
    const QString sql = QStringLiteral("SELECT TOP 1 ") + column + QStringLiteral(" FROM ") + table +
                        QStringLiteral(" WHERE ") + keyColumn + QStringLiteral(" = ") +
                        d->values.sqlLiteral(keyValue, literalKind);
    const ContentVersion version = contentVersion(table);
    const auto found = d->lookups.constFind(sql);
    if (found != d->lookups.constEnd() && found->version == version)
        return found->value;
    const QueryResult result = query(sql);
    const QVariant value = result.rows.isEmpty() ? QVariant() : result.rows.first().first();
    if (d->lookups.size() >= Private::kLookupsKept)
        d->lookups.clear();
    d->lookups.insert(sql, {version, value});
    return value;
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
    return std::make_unique<SqlStatementBuilder>(d->values, &d->shapes);
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
    return d->engine->connectionText();
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
    // Within a transaction what others committed meanwhile is not looked
    // for: the transaction reads the configuration once, as it found it.
    return {d->anyTableWrites + d->tableWrites.value(table.toUpper()),
            d->transactionDepth == 0 ? d->engine->othersCommits() : d->othersCommitsAtStart};
}

const Dialect &SuiteConnection::dialect() const
{
    return *d->dialect;
}

QSqlDatabase SuiteConnection::database() const
{
    return d->engine->database();
}

QString SuiteConnection::engine() const
{
    return d->engine->name();
}

QStringList SuiteConnection::objectNames(const QString &type)
{
    return d->engine->objectNames(type);
}

QStringList SuiteConnection::columnNames(const QString &table)
{
    return d->engine->columnNames(table);
}

void SuiteConnection::setCompanyPrefix(const QString &prefix)
{
    if (prefix != d->companyPrefix)
        d->translations.clear();
    d->companyPrefix = prefix;
}

QString SuiteConnection::companyPrefix() const
{
    return d->companyPrefix;
}

void SuiteConnection::setRoutines(const RoutineCatalog *routines)
{
    d->translations.clear();
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
    if (m_outermost) {
        m_connection.nativeQuery(m_connection.d->engine->beginTransaction());
        m_connection.d->othersCommitsAtStart = m_connection.d->engine->othersCommits();
        m_connection.d->pendingSignals.clear();
    }
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
    if (!m_outermost)
        return;
    // Signals are best effort: one that cannot be sent costs no data.
    const QStringList signalsToSend = std::exchange(m_connection.d->pendingSignals, {});
    for (const QString &payload : signalsToSend) {
        try {
            m_connection.d->engine->notify(payload);
        } catch (const Failure &) {
        }
    }
    m_connection.nativeQuery(QStringLiteral("COMMIT"));
}

} // namespace mrv::suite::db
