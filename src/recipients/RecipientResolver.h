#pragma once

#include "host/Records.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace mrv {

namespace host {
class ConfigClass;
class Connection;
} // namespace host

// Turns a typed recipient list into the recipients that can be reached,
// asking the address-book functions of the database which entries match each
// item and letting the user choose among several when suggestions are on.
class RecipientResolver
{
public:
    using Options = host::RecipientOptions;

    // config may be null: every setting then has its default.
    RecipientResolver(host::Connection &connection, host::ConfigClass *config, host::Records &records);

    // Appends to `resolved` and `unknown` (items joined by "; "); true when
    // no item ended in `unknown`.
    bool resolve(QWidget *owner, const QString &recipients, QString &resolved, QString &unknown,
                 const Options &options);

    // What resolve() appends for one list, starting from empty lists.
    struct Resolution
    {
        QString resolved;
        QString unknown;
    };

    // Each list resolved as resolve() resolves it, for callers with
    // thousands of lists (a template filled for many documents): the
    // distinct items of all the lists are searched in the address book at
    // once where the host can (Records::searchAddressBook), instead of with
    // one call of the search function per item.
    QList<Resolution> resolveAll(QWidget *owner, const QStringList &lists, const Options &options);

private:
    struct Switches
    {
        bool email = false;
        bool fax = false;
        QString flags; // ",email,fax,server" as literals, ready for the function calls
    };

    // What the address book gives for an item: how many entries match, their
    // codes as a quoted list and the recipient text of the last one (the
    // item itself when it matches exactly and so stands as typed).
    struct Matches
    {
        qint64 count = 0;
        QString candidates;
        QString lastMatch;

        // One more entry, in the order the search gives them.
        void add(const QString &address, const QString &code);
    };

    Switches switchesFor(const Options &options) const;
    QString setting(const QString &key, const QString &defaultValue) const;
    void resolveList(QWidget *owner, const QString &recipients, const Switches &switches, const Options &options,
                     QString &resolved, QString &unknown);
    void searchTogether(const QStringList &lists, const Switches &switches, const Options &options);
    void resolveItem(QWidget *owner, const QString &item, const Switches &switches, const Options &options,
                     QString &resolved, QString &unknown);
    Matches matchesOf(const QString &item, const Switches &switches);
    qint64 exactMatches(const QString &searchText, const Switches &switches);
    Matches searchEntries(const QString &item, const Switches &switches);
    void appendChosen(QWidget *owner, const QString &candidates, const QString &item, QString &resolved);

    host::Connection &m_connection;
    host::ConfigClass *m_config;
    host::Records &m_records;
    // The search's answers for the items of resolveAll's lists, by item.
    QHash<QString, Matches> m_searchedTogether;
};

// Appends an item to a recipient list, "; " between items.
void appendRecipient(QString &list, const QString &item);

// The text between the last "<" and the last ">" of an item, without angle
// brackets and double quotes; empty when the item has no such pair.
QString searchTextOf(const QString &item);

} // namespace mrv
