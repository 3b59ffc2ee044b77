#include "RecipientResolver.h"

#include "host/ConfigClass.h"
#include "host/Connection.h"
#include "host/HostServices.h"
#include "host/Records.h"
#include "host/TypeCodes.h"
#include "host/ValueTools.h"

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
    const Switches switches = switchesFor(options);
    for (const QString &typed : recipients.split(QLatin1Char(';'))) {
        const QString item = typed.trimmed();
        if (!item.isEmpty())
            resolveItem(owner, item, switches, options, resolved, unknown);
    }
    return unknown.isEmpty();
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

void RecipientResolver::resolveItem(QWidget *owner, QString item, const Switches &switches, const Options &options,
                                    QString &resolved, QString &unknown)
{
    const host::ValueTools &values = host::valueTools();
    qint64 matches = 0;
    QString candidates;
    QString lastMatch;

    const QString searchText = searchTextOf(item);
    if (!searchText.isEmpty() && exactMatches(searchText, switches) > 0)
        matches = 1;

    if (matches == 0) {
        const QString sql = QStringLiteral("SELECT * FROM dbo.") +
                            m_records.physicalName(QStringLiteral("XFN_IND_ALL_CHK")) + QLatin1Char('(') +
                            values.sqlLiteral(item, host::tcShortText) + switches.flags + QLatin1Char(')');
        auto set = m_connection.open(sql, host::rsReadOnly);
        for (; !set->eof(); set->moveNext()) {
            lastMatch = values.nullSafe(set->field(QStringLiteral("IND"))).toString();
            if (!candidates.isEmpty())
                candidates += QLatin1Char(',');
            candidates += values.sqlLiteral(values.nullSafe(set->field(QStringLiteral("COD"))), host::tcShortText);
            ++matches;
        }
        set->close();
        if (matches == 1)
            item = lastMatch;
    }

    if (matches == 1) {
        appendRecipient(resolved, item);
    } else if (matches >= 2 && !candidates.isEmpty() && options.showSuggestions) {
        const QString chosen = m_records.chooseRecipients(owner, candidates, item);
        if (!chosen.isEmpty())
            appendRecipient(resolved, chosen);
    } else if (matches >= 2 && !options.showSuggestions) {
        if (!lastMatch.isEmpty())
            appendRecipient(resolved, lastMatch);
    } else if (values.isEmailAddress(item) && switches.email) {
        appendRecipient(resolved, item);
    } else if (values.isPhoneNumber(item) && switches.fax) {
        appendRecipient(resolved, item);
    } else if (matches == 0 && !options.showSuggestions) {
        appendRecipient(unknown, item);
    } else if (matches == 0) {
        const QString chosen = m_records.chooseRecipients(owner, QString(), item);
        if (!chosen.isEmpty())
            appendRecipient(resolved, chosen);
    }
}

} // namespace mrv
