#include "SuiteRecords.h"

#include "ScriptedInteraction.h"
#include "SuiteDataBound.h"
#include "SuiteReports.h"
#include "db/Routines.h"
#include "db/SchemaCatalog.h"
#include "db/SqlValueTools.h"
#include "db/SuiteConnection.h"
#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/Failure.h"
#include "host/UserManager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

namespace mrv::suite {

namespace {

// Database functions created once per company; the catalog lists only
// tables and views.
const QStringList kPerCompanyFunctions = {QStringLiteral("XFN_IND_ALL_CNT"), QStringLiteral("XFN_IND_ALL_CHK"),
                                          QStringLiteral("XFN_SYS_NTG_GET")};

constexpr qint32 kViewKind = 4;

// A file name without its folders, whichever separator the path was written with.
QString fileNameOf(const QString &path)
{
    const qsizetype separator = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(separator + 1);
}

// Views are named after the table they list and a suffix ("SYS_MSG_INB"
// lists "SYS_MSG"); empty when the name does not follow that pattern.
QString listedTable(const QString &view)
{
    constexpr qsizetype kTableNameLength = 7;
    const bool patterned = view.size() > kTableNameLength + 1 && view.at(3) == QLatin1Char('_') &&
                           view.at(kTableNameLength) == QLatin1Char('_');
    return patterned ? view.left(kTableNameLength) : QString();
}

// The contents go to a file of their own, made new beside the target (mode
// 0600), which then takes the target's name. A link found under that name is
// replaced, never followed; a reader never sees half a file.
void writeFileSafely(const QString &path, const std::function<void(QIODevice &)> &writeContents)
{
    const QFileInfo info(path);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.mrv-XXXXXX"));
    const auto fail = [&](const QString &why) {
        return Failure(
            QStringLiteral("The file \"%1\" cannot be written: %2").arg(QDir::toNativeSeparators(path), why));
    };
    if (!QDir().mkpath(info.absolutePath()) || !file.open())
        throw fail(file.errorString());
    writeContents(file);
    if (!file.flush())
        throw fail(file.errorString());
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
}

} // namespace

SuiteRecords::SuiteRecords(std::shared_ptr<db::SuiteConnection> connection, std::shared_ptr<host::UserManager> users,
                           std::shared_ptr<host::ConfigClass> config, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_users(std::move(users)), m_config(std::move(config)),
      m_interaction(std::make_shared<ScriptedInteraction>())
{}

void SuiteRecords::setInteraction(std::shared_ptr<Interaction> interaction)
{
    m_interaction = interaction ? std::move(interaction) : std::make_shared<ScriptedInteraction>();
}

std::shared_ptr<Interaction> SuiteRecords::interaction() const
{
    return m_interaction;
}

void SuiteRecords::setMessageSender(MessageSender sender)
{
    m_messageSender = std::move(sender);
}

qint32 SuiteRecords::signalCount(const QString &name) const
{
    return m_signalCounts.value(name);
}

std::shared_ptr<host::Connection> SuiteRecords::connection() const
{
    return m_connection;
}

std::shared_ptr<host::UserManager> SuiteRecords::userManager() const
{
    return m_users;
}

std::shared_ptr<host::ConfigClass> SuiteRecords::configClass() const
{
    return m_config;
}

void SuiteRecords::openRecordWindow(QWidget *owner, const QString &tableOrView, const QString &key)
{
    m_interaction->openRecordWindow(owner, tableOrView, key);
}

void SuiteRecords::refreshView(const QString &view, qint32 mode, const QVariant &bookmark, const QString &extra)
{
    m_interaction->refreshView(view, mode, bookmark, extra);
}

void SuiteRecords::showComponentWindow(QWidget *window, QWidget *owner)
{
    m_interaction->showComponentWindow(window, owner);
}

std::shared_ptr<host::DataBound> SuiteRecords::newDataBound()
{
    auto bound = std::make_shared<SuiteDataBound>();
    bound->setConnection(m_connection);
    bound->setConfigClass(m_config);
    bound->setUserManager(m_users);
    bound->setRecords(weak_from_this().lock());
    return bound;
}

bool SuiteRecords::isPerCompany(const QString &name) const
{
    if (kPerCompanyFunctions.contains(name, Qt::CaseInsensitive))
        return true;
    if (const db::TableDef *table = db::SchemaCatalog::table(name))
        return table->scope == db::Scope::Company;
    if (const db::ViewDef *view = db::SchemaCatalog::view(name))
        return view->scope == db::Scope::Company;
    return false;
}

QString SuiteRecords::physicalName(const QString &logicalName, const QString & /*extra*/) const
{
    const QString name = logicalName.trimmed();
    if (name.startsWith(QLatin1Char('_')))
        return m_users->companyCode() + name;
    if (isPerCompany(name))
        return m_users->companyCode() + QLatin1Char('_') + name;
    return name;
}

QString SuiteRecords::tableTitle(const QString &name) const
{
    const db::QueryResult result =
        m_connection->nativeQuery(QStringLiteral("SELECT TBDES FROM SYS_TBL WHERE UPPER(TBNAM) = UPPER(?)"), {name});
    return result.rows.isEmpty() ? QString() : result.rows.first().first().toString().trimmed();
}

QString SuiteRecords::objectTitle(const QString &name, qint32 kind) const
{
    const QString prefix = m_users->companyCode() + QLatin1Char('_');
    const QString logical = name.startsWith(prefix, Qt::CaseInsensitive) ? name.mid(prefix.size()) : name;
    QStringList candidates{name, logical};
    if (kind == kViewKind)
        candidates << listedTable(logical.toUpper());
    candidates.removeDuplicates();
    candidates.removeAll(QString());
    for (const QString &candidate : std::as_const(candidates)) {
        const QString title = tableTitle(candidate);
        if (!title.isEmpty())
            return title;
    }
    return {};
}

std::optional<host::ChosenRecord> SuiteRecords::chooseRecord(QWidget *owner, const QString &table,
                                                             const QString &filter)
{
    return m_interaction->chooseRecord(owner, table, filter);
}

QString SuiteRecords::editQuery(QWidget *owner, qint32 mode, const QString &text, bool editable)
{
    return m_interaction->editQuery(owner, mode, text, editable);
}

QString SuiteRecords::fileDialog(qint32 mode, const QString &folder, const QString &fileName, const QString &filter,
                                 const QString &defaultExtension)
{
    return m_interaction->fileDialog(mode, folder, fileName, filter, defaultExtension);
}

bool SuiteRecords::resolveRecipients(QWidget *owner, QString &list, const host::RecipientOptions &options)
{
    if (!m_recipientResolver)
        throw Failure(QStringLiteral("No recipient resolution is installed"));
    return m_recipientResolver(owner, list, options);
}

QString SuiteRecords::chooseRecipients(QWidget *owner, const QString &codeList, const QString &item)
{
    return m_interaction->chooseRecipients(owner, codeList, item);
}

std::optional<QHash<QString, QList<host::AddressBookEntry>>>
SuiteRecords::searchAddressBook(const QStringList &texts, bool email, bool fax, bool server)
{
    return db::searchAddressBook(*m_connection, texts, email, fax, server);
}

void SuiteRecords::setRecipientResolver(RecipientResolver resolver)
{
    m_recipientResolver = std::move(resolver);
}

bool SuiteRecords::splitLink(const QString &link, const QString &separator, QString &table, QString &key) const
{
    const QString used = separator.isEmpty() ? QStringLiteral("|") : separator;
    const qsizetype at = link.indexOf(used);
    if (at < 0)
        return false;
    table = link.left(at);
    key = link.mid(at + used.size());
    return true;
}

bool SuiteRecords::sendStoredMessage(qint32 messageKey, const QVariant &replying, const QVariant &forwarding,
                                     QString &connectLog, qint32 bodyFormat)
{
    if (!m_messageSender)
        throw Failure(
            QStringLiteral("No message sender is installed: the stored message %1 cannot be sent").arg(messageKey));
    return m_messageSender(messageKey, replying, forwarding, connectLog, bodyFormat);
}

// The row gets its final size at once and its contents in pieces afterwards
// (see SuiteConnection::writeBlob): attachments may be hundreds of megabytes.
qint32 SuiteRecords::insertAttachment(const QString &table, const QString &key, const QString &name, qint64 size)
{
    m_connection->nativeQuery(QStringLiteral("INSERT INTO SYS_ATT (ATTBL, ATKEY, ATNAM, ATSIZ, ATDAT, ATDTI) "
                                             "VALUES (?, ?, ?, ?, %1, ?)")
                                  .arg(m_connection->emptyBlob(size)),
                              {table, key, name, size, db::SqlValueTools::dateTimeText(QDateTime::currentDateTime())});
    const db::QueryResult identity = m_connection->query(QStringLiteral("SELECT SCOPE_IDENTITY()"));
    return identity.rows.first().first().toInt();
}

QList<qint32> SuiteRecords::attachmentsOf(const QString &table, const QString &key) const
{
    QList<qint32> keys;
    const db::QueryResult result = m_connection->nativeQuery(
        QStringLiteral("SELECT RECORD_ID FROM SYS_ATT WHERE ATTBL = ? AND ATKEY = ?"), {table, key});
    for (const QVariantList &row : result.rows)
        keys << row.first().toInt();
    return keys;
}

qint32 SuiteRecords::addAttachment(const QString &table, const QString &key, const QString &filePath)
{
    QFile file(filePath);
    if (!QFileInfo(filePath).isFile() || !file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The file \"%1\" cannot be read: %2")
                          .arg(QDir::toNativeSeparators(filePath), file.errorString()));
    db::SuiteConnection::Transaction transaction(*m_connection);
    const qint32 attachment = insertAttachment(table, key, fileNameOf(filePath), file.size());
    m_connection->writeBlob(QStringLiteral("SYS_ATT"), QStringLiteral("ATDAT"), attachment, file);
    transaction.commit();
    return attachment;
}

bool SuiteRecords::extractAttachment(qint32 attachmentKey, const QString &filePath)
{
    const db::QueryResult result = m_connection->nativeQuery(
        QStringLiteral("SELECT ATDAT IS NULL FROM SYS_ATT WHERE RECORD_ID = ?"), {attachmentKey});
    if (result.rows.isEmpty())
        return false;
    const bool empty = result.rows.first().first().toBool();
    writeFileSafely(filePath, [&](QIODevice &file) {
        if (!empty)
            m_connection->readBlob(QStringLiteral("SYS_ATT"), QStringLiteral("ATDAT"), attachmentKey, file);
    });
    return true;
}

qint32 SuiteRecords::copyAttachment(qint32 attachmentKey, const QString &table, const QString &key)
{
    const db::QueryResult source = m_connection->nativeQuery(
        QStringLiteral("SELECT ATNAM, COALESCE(LENGTH(ATDAT), 0) FROM SYS_ATT WHERE RECORD_ID = ?"), {attachmentKey});
    if (source.rows.isEmpty())
        throw Failure(QStringLiteral("The attachment %1 does not exist").arg(attachmentKey));
    const QVariantList &row = source.rows.first();
    db::SuiteConnection::Transaction transaction(*m_connection);
    const qint32 copy = insertAttachment(table, key, row.at(0).toString(), row.at(1).toLongLong());
    if (row.at(1).toLongLong() > 0)
        m_connection->copyBlob(QStringLiteral("SYS_ATT"), QStringLiteral("ATDAT"), attachmentKey, copy);
    transaction.commit();
    return copy;
}

void SuiteRecords::setAttachments(const QString &table, const QString &key, const QList<qint32> &attachmentKeys)
{
    db::SuiteConnection::Transaction transaction(*m_connection);
    const QList<qint32> owned = attachmentsOf(table, key);
    for (const qint32 existing : owned) {
        if (!attachmentKeys.contains(existing))
            m_connection->nativeQuery(QStringLiteral("DELETE FROM SYS_ATT WHERE RECORD_ID = ?"), {existing});
    }
    QSet<qint32> copied;
    for (const qint32 wanted : attachmentKeys) {
        if (owned.contains(wanted) || copied.contains(wanted))
            continue;
        copyAttachment(wanted, table, key);
        copied.insert(wanted);
    }
    transaction.commit();
}

QString RaisedSignal::payload() const
{
    return QStringList{name, user, messageKey}.join(QLatin1Char('\t'));
}

RaisedSignal RaisedSignal::fromPayload(const QString &payload)
{
    const QStringList fields = payload.split(QLatin1Char('\t'));
    return {fields.value(0), fields.value(1), fields.value(2)};
}

// Raised here and told to every other client of the database. A signal that
// cannot be told (a database not yet upgraded to carry them) is lost, not
// the work that raised it.
void SuiteRecords::raiseSignal(const QString &name, const QVariantList &arguments)
{
    ++m_signalCounts[name];
    Q_EMIT signalRaised(name, arguments);
    const RaisedSignal raised{name, arguments.isEmpty() ? m_users->userCode() : arguments.first().toString(),
                              arguments.value(1).toString()};
    try {
        db::SuiteConnection::SeparateScope scope(*m_connection);
        m_connection->notify(raised.payload());
    } catch (const Failure &) {
    }
}

void SuiteRecords::runProcedure(const QString &name)
{
    m_connection->runProcedure(name, {});
}

bool SuiteRecords::printReportToPdf(const QString &table, const QString &reportCode, const QString &keys,
                                    const QVariantList & /*parameters*/, const QString & /*customerCode*/,
                                    const QString &path)
{
    SuiteReports(m_connection, m_users->companyCode()).print(reportCode, table, keys, path);
    return true;
}

void SuiteRecords::registerSentReport(const QString &table, const QString &reportCode, const QString &key,
                                      qint32 messageKey)
{
    SuiteReports(m_connection, m_users->companyCode())
        .registerSent(reportCode, table, key, messageKey, m_users->userCode());
}

void SuiteRecords::fillValueList(QObject *combo, const QString &table, const QString &column)
{
    m_interaction->fillValueList(combo, table, column);
}

void SuiteRecords::bindList(QObject *grid, const QString &viewOrLayout, const QString &filter)
{
    m_interaction->bindList(grid, viewOrLayout, filter);
}

} // namespace mrv::suite
