#include "SuiteDataBound.h"

#include "db/SchemaCatalog.h"
#include "db/SuiteConnection.h"
#include "host/Connection.h"
#include "host/Errors.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/ValueTools.h"

#include <QDebug>

namespace mrv::suite {

namespace {

const QString kKeyColumn = QStringLiteral("RECORD_ID");
const QString kObjectName = QStringLiteral("DataBound");

qint32 typeCodeOfColumn(db::ColumnType type)
{
    switch (type) {
    case db::ColumnType::SmallInt:
        return host::tcInt16;
    case db::ColumnType::Integer:
    case db::ColumnType::BigInt:
    case db::ColumnType::Double:
        return host::tcInt32;
    case db::ColumnType::DateTime:
        return host::tcDateTime;
    case db::ColumnType::Boolean:
        return host::tcBoolean;
    case db::ColumnType::Text:
    case db::ColumnType::SearchKey:
        return host::tcShortText;
    case db::ColumnType::LongText:
        return host::tcLongText;
    case db::ColumnType::Blob:
        break;
    }
    return host::tcText;
}

const db::ColumnDef *findColumn(const QString &table, const QString &column)
{
    const db::TableDef *definition = db::SchemaCatalog::table(table.toUpper());
    if (!definition)
        return nullptr;
    for (const db::ColumnDef &candidate : definition->columns) {
        if (candidate.name.compare(column, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

} // namespace

void SuiteDataBound::setConnection(std::shared_ptr<host::Connection> connection)
{
    m_connection = std::move(connection);
}

void SuiteDataBound::setConfigClass(std::shared_ptr<host::ConfigClass> config)
{
    m_config = std::move(config);
}

void SuiteDataBound::setUserManager(std::shared_ptr<host::UserManager> users)
{
    m_users = std::move(users);
}

void SuiteDataBound::setRecords(std::shared_ptr<host::Records> records)
{
    m_records = std::move(records);
}

void SuiteDataBound::setErrors(std::shared_ptr<host::Errors> errors)
{
    m_errors = std::move(errors);
}

void SuiteDataBound::setTableName(const QString &table)
{
    m_settings.tableName = table;
}

void SuiteDataBound::setViewName(const QString &view)
{
    m_settings.viewName = view;
}

void SuiteDataBound::setFixedKey(const QString &key)
{
    m_settings.fixedKey = key;
}

void SuiteDataBound::setProductName(const QString &product)
{
    m_settings.productName = product;
}

void SuiteDataBound::setFilterQuery(const QString &filter)
{
    m_settings.filterQuery = filter;
}

void SuiteDataBound::setOrderBy(const QString &orderBy)
{
    m_settings.orderBy = orderBy;
}

void SuiteDataBound::setBookmark(const QVariant &bookmark)
{
    m_settings.bookmark = bookmark;
}

void SuiteDataBound::setKeepBookmark(bool keep)
{
    m_settings.keepBookmark = keep;
}

void SuiteDataBound::setParam(qint32 index, const QVariant &value)
{
    if (index < 1 || index > qint32(m_settings.params.size()))
        throw Failure(QStringLiteral("A record form has no parameter %1").arg(index));
    m_settings.params[index - 1] = value;
}

void SuiteDataBound::setForm(host::DataBoundForm *form)
{
    m_form = form;
}

const DataBoundSettings &SuiteDataBound::settings() const
{
    return m_settings;
}

host::DataBoundForm &SuiteDataBound::form() const
{
    if (!m_form)
        throw Failure(QStringLiteral("The record form of %1 has no window").arg(m_settings.tableName));
    return *m_form;
}

QString SuiteDataBound::physicalTable() const
{
    if (m_settings.tableName.isEmpty())
        throw Failure(QStringLiteral("The record form has no table"));
    return m_records ? m_records->physicalName(m_settings.tableName) : m_settings.tableName;
}

QString SuiteDataBound::keyLiteral(const QString &key) const
{
    return host::valueTools().sqlLiteral(key, host::tcInt32);
}

qint32 SuiteDataBound::typeCodeOf(const QString &column, const QVariant &value) const
{
    const db::ColumnDef *definition = findColumn(m_settings.tableName, column);
    if (!definition || definition->type == db::ColumnType::Blob)
        return db::SuiteConnection::typeCodeOf(value);
    return typeCodeOfColumn(definition->type);
}

QString SuiteDataBound::newRecord(QWidget *owner, bool /*modal*/, bool /*flag*/)
{
    raiseOpeningEvents();
    if (!startNewRecord({}))
        return {};
    show(owner);
    return m_key;
}

bool SuiteDataBound::openRecord(QWidget *owner, const QString &key, bool /*modal*/, bool paste, bool cut, bool /*flag*/)
{
    form();
    raiseOpeningEvents();
    if (paste || cut) {
        const auto row = readRow(key);
        if (!row || !startNewRecord(boundPart(*row)))
            return false;
        m_cutSource = cut ? key : QString();
    } else if (!loadRecord(key)) {
        return false;
    }
    show(owner);
    return true;
}

void SuiteDataBound::raiseOpeningEvents()
{
    host::DataBoundForm &window = form();
    window.initialize();
    window.setFormOptions();
    window.afterToolbarLoad();
    window.beforeShowForm();
}

bool SuiteDataBound::changeStatus(qint32 status)
{
    bool cancel = false;
    form().beforeStatusChange(status, cancel);
    if (cancel)
        return false;
    m_status = status;
    m_form->statusChanged(status);
    m_form->toolbarUpdate();
    return true;
}

bool SuiteDataBound::startNewRecord(const QVariantMap &values)
{
    bool cancel = false;
    m_form->beforeStatusChange(host::rsNew, cancel);
    if (cancel)
        return false;
    m_key.clear();
    m_cutSource.clear();
    QVariantMap cleared;
    for (const QString &column : m_form->boundValues().keys())
        cleared.insert(column, values.value(column));
    m_form->setBoundValues(cleared);
    m_form->afterClearData();
    if (values.isEmpty())
        m_form->setDefaultValue();
    m_status = host::rsNew;
    m_changed = !values.isEmpty();
    m_form->statusChanged(host::rsNew);
    m_form->toolbarUpdate();
    return true;
}

bool SuiteDataBound::loadRecord(const QString &key)
{
    m_form->beforeFindRecord();
    const auto row = readRow(key);
    if (!row)
        return false;
    m_key = key;
    m_form->setBoundValues(boundPart(*row));
    m_form->afterLoadData();
    m_form->loadUnboundData();
    m_changed = false;
    return changeStatus(host::rsViewing);
}

void SuiteDataBound::show(QWidget *owner)
{
    m_form->resize();
    QWidget *window = m_form->widget();
    if (!window)
        return;
    if (!m_records)
        throw Failure(
            QStringLiteral("The record form of %1 cannot be shown without Records").arg(m_settings.tableName));
    m_records->showComponentWindow(window, owner);
}

std::optional<QVariantMap> SuiteDataBound::readRow(const QString &key) const
{
    auto rows = m_connection->open(QStringLiteral("SELECT * FROM ") + physicalTable() + QStringLiteral(" WHERE ") +
                                   kKeyColumn + QStringLiteral(" = ") + keyLiteral(key));
    if (rows->eof())
        return std::nullopt;
    QVariantMap row;
    for (qint32 index = 0; index < rows->fieldCount(); ++index)
        row.insert(rows->fieldName(index).toUpper(), rows->field(index));
    return row;
}

// The row's values of the form's bound columns, under the form's own names.
QVariantMap SuiteDataBound::boundPart(const QVariantMap &row) const
{
    QVariantMap bound;
    for (const QString &column : m_form->boundValues().keys())
        bound.insert(column, row.value(column.toUpper()));
    return bound;
}

bool SuiteDataBound::save()
{
    try {
        if (m_status == kNoRecord)
            throw Failure(QStringLiteral("There is no record to save"));
        bool cancel = false;
        form().validate(cancel);
        if (cancel)
            return false;
        m_form->beforeSaveData();
        writeBoundColumns();
        m_form->saveUnboundData();
        if (!m_cutSource.isEmpty()) {
            m_connection->deleteRow(physicalTable(), m_cutSource);
            m_cutSource.clear();
        }
        enterSavedStatus();
        return true;
    } catch (const Failure &failure) {
        report(failure.message(), failure.code(), QStringLiteral("Save"));
        return false;
    }
}

void SuiteDataBound::writeBoundColumns()
{
    const QString table = physicalTable();
    auto statement = m_connection->newStatement();
    statement->initialize(table);
    const QVariantMap values = m_form->boundValues();
    for (auto value = values.constBegin(); value != values.constEnd(); ++value) {
        // The key is the database's to assign and never changes.
        if (value.key().compare(kKeyColumn, Qt::CaseInsensitive) != 0)
            statement->addColumn(value.key(), value.value(), typeCodeOf(value.key(), value.value()));
    }
    if (m_status == host::rsNew) {
        m_connection->execute(statement->build(host::skInsert));
        m_key = m_connection->open(QStringLiteral("SELECT SCOPE_IDENTITY()"))->field(0).toString();
    } else {
        statement->setWhere(QStringLiteral("WHERE ") + kKeyColumn + QStringLiteral(" = ") + keyLiteral(m_key));
        m_connection->execute(statement->build(host::skUpdate));
    }
}

void SuiteDataBound::enterSavedStatus()
{
    m_changed = false;
    m_status = host::rsViewing;
    m_form->statusChanged(m_status);
    m_form->toolbarUpdate();
}

void SuiteDataBound::report(const QString &description, qint32 number, const QString &procedure) const
{
    if (m_errors)
        m_errors->report(description, number, kObjectName, procedure);
    else
        qWarning().noquote() << kObjectName + QLatin1Char('.') + procedure + QStringLiteral(": ") + description;
}

void SuiteDataBound::close()
{
    m_form = nullptr;
    m_status = kNoRecord;
    m_key.clear();
    m_cutSource.clear();
    m_changed = false;
}

qint32 SuiteDataBound::recordStatus() const
{
    return m_status;
}

QString SuiteDataBound::recordKey() const
{
    return m_key;
}

void SuiteDataBound::enableCommand(qint32 id, bool enabled)
{
    if (enabled)
        m_disabledCommands.remove(id);
    else
        m_disabledCommands.insert(id);
}

bool SuiteDataBound::isCommandEnabled(qint32 id) const
{
    return !m_disabledCommands.contains(id);
}

void SuiteDataBound::showTab(const QString &name, bool visible)
{
    if (visible)
        m_hiddenTabs.remove(name);
    else
        m_hiddenTabs.insert(name);
}

bool SuiteDataBound::isTabVisible(const QString &name) const
{
    return !m_hiddenTabs.contains(name);
}

void SuiteDataBound::setChanged(bool changed)
{
    if (changed && m_status == host::rsViewing && !changeStatus(host::rsEditing))
        return;
    m_changed = changed;
}

bool SuiteDataBound::isChanged() const
{
    return m_changed;
}

qint32 SuiteDataBound::nextKey()
{
    auto rows = m_connection->open(QStringLiteral("SELECT MAX(") + kKeyColumn + QStringLiteral(") AS LAST_KEY FROM ") +
                                   physicalTable());
    const qint64 lastKey = qMax(rows->field(QStringLiteral("LAST_KEY")).toLongLong(), lastSqliteSequence());
    return qint32(lastKey + 1);
}

// SQLite never reuses the keys of deleted rows of an AUTOINCREMENT table:
// the next key follows the highest ever given, which only sqlite_sequence
// remembers.
qint64 SuiteDataBound::lastSqliteSequence() const
{
    const auto suite = std::dynamic_pointer_cast<db::SuiteConnection>(m_connection);
    if (!suite || suite->engine() != QLatin1String("sqlite"))
        return 0;
    const db::QueryResult sequence = suite->nativeQuery(
        QStringLiteral("SELECT seq FROM sqlite_sequence WHERE UPPER(name) = UPPER(?)"), {physicalTable()});
    return sequence.rows.isEmpty() ? 0 : sequence.rows.first().first().toLongLong();
}

} // namespace mrv::suite
