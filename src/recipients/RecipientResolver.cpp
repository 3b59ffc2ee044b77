#include "RecipientResolver.h"

#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

#include <QScopeGuard>
#include <QSet>

namespace mrv {

void appendRecipient(QString &list, const QString &item)
{
    if (!list.isEmpty())
        list += QStringLiteral("; ");
    list += item;
}

QString searchTextOf(const QString &item)
{
    const qsizetype open = item.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = item.lastIndexOf(QLatin1Char('>'));
    if (open < 0 || close < 0 || open >= close)
        return {};
    QString text = item.mid(open + 1, close - open - 1);
    text.remove(QLatin1Char('<'));
    text.remove(QLatin1Char('>'));
    text.remove(QLatin1Char('"'));
    return text;
}

namespace {

// The items of a typed list: split at ";", trimmed, empty ones left out.
QStringList itemsOf(const QString &recipients)
{
    QStringList items;
    for (const QString &typed : recipients.split(QLatin1Char(';'))) {
        const QString item = typed.trimmed();
        if (!item.isEmpty())
            items << item;
    }
    return items;
}

} // namespace

RecipientResolver::RecipientResolver(host::Connection &connection, host::ConfigClass *config, host::Records &records)
    : m_connection(connection), m_config(config), m_records(records)
{}

QString RecipientResolver::setting(const QString &key, const QString &defaultValue) const
{
    return m_config ? m_config->value(key, defaultValue) : defaultValue;
}

RecipientResolver::Switches RecipientResolver::switchesFor(const Options &options) const
{
    const host::ValueTools &values = host::valueTools();
    Switches switches;
    switches.email = options.useServerConfig
                         ? options.email
                         : options.email && setting(QStringLiteral("EXCHANGE_MODE"), QStringLiteral("NONE")) !=
                                                QLatin1String("NONE");
    switches.fax =
        options.fax && (setting(QStringLiteral("FAX_SERVER"), QStringLiteral("NONE")) != QLatin1String("NONE") ||
                        values.toNumber(setting(QStringLiteral("SHOW_FAX_EVER"), QStringLiteral("0"))) != 0);
    switches.flags = QLatin1Char(',') + values.sqlLiteral(switches.email, host::tcBoolean) + QLatin1Char(',') +
                     values.sqlLiteral(switches.fax, host::tcBoolean) + QLatin1Char(',') +
                     QString::number(options.addressBookServer ? 1 : 0);
    return switches;
}

bool RecipientResolver::resolve(QWidget *owner, const QString &recipients, QString &resolved, QString &unknown,
                                const Options &options)
{
    resolveList(owner, recipients, switchesFor(options), options, resolved, unknown);
    return unknown.isEmpty();
}

QList<RecipientResolver::Resolution> RecipientResolver::resolveAll(QWidget *owner, const QStringList &lists,
                                                                   const Options &options)
{
    const Switches switches = switchesFor(options);
    const auto forget = qScopeGuard([this] { m_searchedTogether.clear(); });
    searchTogether(lists, switches, options);
    QList<Resolution> resolutions;
    for (const QString &list : lists) {
        Resolution resolution;
        resolveList(owner, list, switches, options, resolution.resolved, resolution.unknown);
        resolutions << resolution;
    }
    return resolutions;
}

void RecipientResolver::resolveList(QWidget *owner, const QString &recipients, const Switches &switches,
                                    const Options &options, QString &resolved, QString &unknown)
{
    for (const QString &item : itemsOf(recipients))
        resolveItem(owner, item, switches, options, resolved, unknown);
}

// Items that are not valid Unicode stay out: matchesOf() never searches
// for them, and one of them would spoil the query of all the others.
void RecipientResolver::searchTogether(const QStringList &lists, const Switches &switches, const Options &options)
{
    QStringList items;
    QSet<QString> seen;
    for (const QString &list : lists) {
        for (const QString &item : itemsOf(list)) {
            if (item.isValidUtf16() && !seen.contains(item)) {
                seen.insert(item);
                items << item;
            }
        }
    }
    if (items.isEmpty())
        return;
    const auto found = m_records.searchAddressBook(items, switches.email, switches.fax, options.addressBookServer);
    if (!found)
        return;
    for (const QString &item : std::as_const(items)) {
        Matches &matches = m_searchedTogether[item];
        for (const host::AddressBookEntry &entry : found->value(item))
            matches.add(entry.address, entry.code);
    }
}

void RecipientResolver::Matches::add(const QString &address, const QString &code)
{
    lastMatch = address;
    if (!candidates.isEmpty())
        candidates += QLatin1Char(',');
    candidates += host::valueTools().sqlLiteral(code, host::tcShortText);
    ++count;
}

qint64 RecipientResolver::exactMatches(const QString &searchText, const Switches &switches)
{
    const QString sql = QStringLiteral("SELECT dbo.") + m_records.physicalName(QStringLiteral("XFN_IND_ALL_CNT")) +
                        QLatin1Char('(') + host::valueTools().sqlLiteral(searchText, host::tcShortText) +
                        switches.flags + QLatin1Char(')');
    auto set = m_connection.open(sql, host::rsReadOnly);
    const qint64 count = set->eof() ? 0 : qint64(host::valueTools().toNumber(set->field(0)));
    set->close();
    return count;
}

RecipientResolver::Matches RecipientResolver::searchEntries(const QString &item, const Switches &switches)
{
    const host::ValueTools &values = host::valueTools();
    const QString sql = QStringLiteral("SELECT * FROM dbo.") +
                        m_records.physicalName(QStringLiteral("XFN_IND_ALL_CHK")) + QLatin1Char('(') +
                        values.sqlLiteral(item, host::tcShortText) + switches.flags + QLatin1Char(')');
    Matches matches;
    auto set = m_connection.open(sql, host::rsReadOnly);
    for (; !set->eof(); set->moveNext())
        matches.add(values.nullSafe(set->field(QStringLiteral("IND"))).toString(),
                    values.nullSafe(set->field(QStringLiteral("COD"))).toString());
    set->close();
    return matches;
}

RecipientResolver::Matches RecipientResolver::matchesOf(const QString &item, const Switches &switches)
{
    // Text that is not valid Unicode names nothing in the book, and the
    // engine could not even read it inside a literal.
    if (!item.isValidUtf16())
        return {};
    const QString searchText = searchTextOf(item);
    if (!searchText.isEmpty() && exactMatches(searchText, switches) > 0)
        return Matches{1, {}, item};
    const auto searched = m_searchedTogether.constFind(item);
    return searched != m_searchedTogether.cend() ? *searched : searchEntries(item, switches);
}

void RecipientResolver::resolveItem(QWidget *owner, const QString &item, const Switches &switches,
                                    const Options &options, QString &resolved, QString &unknown)
{
    const host::ValueTools &values = host::valueTools();
    const Matches matches = matchesOf(item, switches);

    if (matches.count == 1) {
        appendRecipient(resolved, matches.lastMatch);
    } else if (matches.count >= 2 && !matches.candidates.isEmpty() && options.showSuggestions) {
        appendChosen(owner, matches.candidates, item, resolved);
    } else if (matches.count >= 2 && !options.showSuggestions) {
        if (!matches.lastMatch.isEmpty())
            appendRecipient(resolved, matches.lastMatch);
    } else if (values.isEmailAddress(item) && switches.email) {
        appendRecipient(resolved, item);
    } else if (values.isPhoneNumber(item) && switches.fax) {
        appendRecipient(resolved, item);
    } else if (matches.count == 0 && !options.showSuggestions) {
        appendRecipient(unknown, item);
    } else if (matches.count == 0) {
        appendChosen(owner, QString(), item, resolved);
    }
}

void RecipientResolver::appendChosen(QWidget *owner, const QString &candidates, const QString &item, QString &resolved)
{
    const QString chosen = m_records.chooseRecipients(owner, candidates, item);
    if (!chosen.isEmpty())
        appendRecipient(resolved, chosen);
}

} // namespace mrv
