#include "PostgresAddressBook.h"

#include "ReferenceData.h"
#include "host/Failure.h"

#include <QRegularExpression>
#include <QStringList>

#include <utility>

namespace mrv::suite::db {

namespace {

// The procedure gives the same tables as the refresh written in C++
// (StandardRoutines.cpp) does through QString: trimmed() and simplified()
// take for blanks what QChar::isSpace() does, toLower() and toUpper() are
// Unicode's full case mappings without context, as ICU's root locale gives
// them once the final-sigma rule is taken away, and slot names compare by
// Qt's case folding. What still differs: a name key cut at 255 UTF-16 units
// inside a surrogate pair ends with U+FFFD in both, but in C++ it is told
// apart from another key cut the same way before the half is replaced.

// A text literal that reads the same whatever standard_conforming_strings.
QString literal(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("E'") + escaped + u'\'';
}

// Every character QString::trimmed() and simplified() take for a blank, as
// escapes of an E'' literal.
QString blankEscapes()
{
    QString escapes;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (QChar::isSpace(c))
            escapes += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    }
    return escapes;
}

QString trimmed(const QString &expression)
{
    static const QString blanks = QStringLiteral("E'") + blankEscapes() + u'\'';
    return QStringLiteral("btrim(%1, %2)").arg(expression, blanks);
}

QString simplified(const QString &expression)
{
    static const QString runOfBlanks = QStringLiteral("E'[") + blankEscapes() + QStringLiteral("]+'");
    return QStringLiteral("regexp_replace(%1, %2, ' ', 'g')").arg(trimmed(expression), runOfBlanks);
}

// ICU rather than the database's locale, which may know the case of ASCII
// letters only.
QString lowerCase(const QString &expression)
{
    return QStringLiteral("lower(replace(%1, E'\\u03A3', E'\\u03C3') COLLATE \"und-x-icu\")").arg(expression);
}

QString upperCase(const QString &expression)
{
    return QStringLiteral("upper(%1 COLLATE \"und-x-icu\")").arg(expression);
}

// The characters that would disturb the recipient syntax, as blanks.
QString displayName(const QString &expression)
{
    return simplified(QStringLiteral("translate(%1, ';<>\"@', '     ')").arg(expression));
}

QString recipient(const QString &shown, const QString &address)
{
    return QStringLiteral("CASE WHEN %1 = '' THEN %2 ELSE %1 || ' <' || %2 || '>' END").arg(shown, address);
}

QString faxRecipient(const QString &shown, const QString &number)
{
    return QStringLiteral("CASE WHEN %1 = '' THEN %2 ELSE %1 || ' <\"' || %2 || '\">' END").arg(shown, number);
}

QString faxKey(const QString &number)
{
    return lowerCase(QStringLiteral("translate(%1, ' /-.()', '')").arg(number));
}

// The text's first 255 UTF-16 units, as QString::left(255) cuts it; half a
// surrogate pair left at the end becomes U+FFFD, as the engine writes it.
QString first255Units(const QString &expression)
{
    const QString units = QStringLiteral("CASE WHEN ascii(ch) > 65535 THEN 2 ELSE 1 END");
    return QStringLiteral(
               "CASE WHEN length(%1) <= 127 THEN %1 ELSE (\n"
               "    SELECT string_agg(CASE WHEN used <= 255 THEN ch ELSE E'\\uFFFD' END, '' ORDER BY n)\n"
               "    FROM (SELECT ch, n, %2 AS width, sum(%2) OVER (ORDER BY n) AS used\n"
               "          FROM regexp_split_to_table(left(%1, 255), '') WITH ORDINALITY AS c(ch, n)) AS counted\n"
               "    WHERE used - width < 255) END")
        .arg(expression, units);
}

QString ownerKey(const QString &table, const QString &key)
{
    return QStringLiteral("%1 || '|' || %2").arg(table, lowerCase(QStringLiteral("coalesce(%1::text, '')").arg(key)));
}

// Parties in the order the C++ refresh wrote them, each with its key, its
// name (the key when blank), its customer, and its own e-mail address.
QString partyQuery(const QString &prefix)
{
    const QString sources =
        QStringLiteral(
            "SELECT 1 AS source, 'SYS_USR' AS tbl, CDUSR AS code_order, NULL::integer AS record_order,\n"
            "       CDUSR::text AS raw_key, USNAM::text AS raw_name, NULL::text AS raw_customer,\n"
            "       USEML::text AS raw_email, true AS internal, true AS coded FROM SYS_USR\n"
            "UNION ALL SELECT 2, 'SYS_GRU', CDGRU, NULL, CDGRU, GRDES, NULL, NULL, true, true FROM SYS_GRU\n"
            "UNION ALL SELECT 3, 'CON_TRO', CDCON, NULL, CDCON, CORAS, CDCON, NULL, false, true FROM %1CON_TRO\n"
            "UNION ALL SELECT 4, 'CON_RIF', NULL, RECORD_ID, RECORD_ID::text, RFNOM, CDCON, NULL, false, false\n"
            "          FROM %1CON_RIF\n"
            "UNION ALL SELECT 5, 'CON_SED', NULL, RECORD_ID, RECORD_ID::text, SERAS, CDCON, NULL, false, false\n"
            "          FROM %1CON_SED\n"
            "UNION ALL SELECT 6, 'AGE_NTI', CDAGE, NULL, CDAGE, AGRAS, NULL, NULL, false, true FROM %1AGE_NTI")
            .arg(prefix);
    return QStringLiteral(
               "SELECT row_number() OVER (ORDER BY s.source, s.code_order, s.record_order) AS position,\n"
               "       s.tbl, k.key, s.tbl || ':' || k.key AS code, %1 AS owner, n.name, %2 AS shown,\n"
               "       coalesce(s.raw_customer, '') AS customer, s.internal,\n"
               "       CASE WHEN s.coded THEN k.key ELSE '' END AS search_code, nullif(%3, '') AS own_email\n"
               "FROM (%4) AS s\n"
               "CROSS JOIN LATERAL (SELECT coalesce(s.raw_key, '') AS key) AS k\n"
               "CROSS JOIN LATERAL (SELECT coalesce(nullif(%5, ''), k.key) AS name) AS n")
        .arg(ownerKey(QStringLiteral("s.tbl"), QStringLiteral("k.key")), displayName(QStringLiteral("n.name")),
             trimmed(QStringLiteral("s.raw_email")), sources, trimmed(QStringLiteral("s.raw_name")));
}

// Qt compares slot names by case folding, the server can only lower the
// case: the letters that fold to a letter of a slot name but lower to
// something else ("ſ" folds to "s") are put as their folding first.
QString slotKey(const QString &expression)
{
    static const auto [from, to] = [] {
        QString folded;
        for (const AddressSlot &slot : ReferenceData::emailSlots() + ReferenceData::faxSlots())
            folded += slot.name.toCaseFolded();
        std::pair<QString, QString> letters;
        for (char32_t c = 1; c <= QChar::LastValidCodePoint; ++c) {
            const char32_t folding = QChar::toCaseFolded(c);
            if (folding != QChar::toLower(c) && folded.contains(QString::fromUcs4(&folding, 1))) {
                letters.first += QString::fromUcs4(&c, 1);
                letters.second += QString::fromUcs4(&folding, 1);
            }
        }
        return letters;
    }();
    return lowerCase(QStringLiteral("translate(%1, %2, %3)").arg(expression, literal(from), literal(to)));
}

// Addresses of one kind with their owner and slot key, in the order the C++
// refresh collected them; blank ones are none.
QString addressQuery(const QString &table, const QString &slot, const QString &value, const QString &condition)
{
    return QStringLiteral("SELECT %1 AS owner, %2 AS slot, a.address, w.RECORD_ID AS position\n"
                          "FROM %3 AS w CROSS JOIN LATERAL (SELECT %4 AS address) AS a\n"
                          "WHERE %5 AND a.address <> ''")
        .arg(ownerKey(upperCase(QStringLiteral("coalesce(w.TBNAM::text, '')")), QStringLiteral("w.TBKEY")),
             slotKey(QStringLiteral("w.") + slot + QStringLiteral("::text")), table,
             trimmed(QStringLiteral("w.") + value + QStringLiteral("::text")), condition);
}

QString slotColumn(const QString &kind, qsizetype index)
{
    return QStringLiteral("%1_slot_%2").arg(kind).arg(index);
}

// Per owner: the first address of each slot, and the first of all.
QString addressesByOwner(const QString &kind, const QList<AddressSlot> &slots)
{
    QStringList columns{QStringLiteral("owner"),
                        QStringLiteral("(array_agg(address ORDER BY position))[1] AS %1_first").arg(kind)};
    for (qsizetype i = 0; i < slots.size(); ++i) {
        columns << QStringLiteral("(array_agg(address ORDER BY position) FILTER (WHERE slot = %1))[1] AS %2")
                       .arg(slotKey(literal(slots.at(i).name)), slotColumn(kind, i));
    }
    return QStringLiteral("SELECT %1\nFROM %2 GROUP BY owner").arg(columns.join(QStringLiteral(",\n       ")), kind);
}

// A user's own address comes first, under the first e-mail slot.
QStringList emailSlotValues()
{
    QStringList values;
    for (qsizetype i = 0; i < ReferenceData::emailSlots().size(); ++i)
        values << (i == 0 ? QStringLiteral("coalesce(p.own_email, e.%1)") : QStringLiteral("e.%1"))
                      .arg(slotColumn(QStringLiteral("email"), i));
    return values;
}

QStringList faxSlotValues()
{
    QStringList values;
    for (qsizetype i = 0; i < ReferenceData::faxSlots().size(); ++i)
        values << QStringLiteral("f.") + slotColumn(QStringLiteral("fax"), i);
    return values;
}

// The address of the first filled slot in order of preference, else the
// first one.
QString mainAddress(const QStringList &slotValues, const QString &first)
{
    return QStringLiteral("coalesce(%1, %2)").arg(slotValues.join(QStringLiteral(", ")), first);
}

QStringList bookSlotColumns()
{
    QStringList columns;
    for (const AddressSlot &slot : ReferenceData::emailSlots() + ReferenceData::faxSlots())
        columns << slot.bookColumn;
    return columns;
}

QString bookQuery()
{
    const QStringList emails = emailSlotValues();
    const QStringList faxes = faxSlotValues();
    const QStringList slotColumns = bookSlotColumns();
    QStringList slotValues = emails + faxes;
    for (qsizetype i = 0; i < slotValues.size(); ++i)
        slotValues[i] += QStringLiteral(" AS ") + slotColumns.at(i);
    const QString mainEmail = mainAddress(emails, QStringLiteral("coalesce(p.own_email, e.email_first)"));
    const QString mainFax = mainAddress(faxes, QStringLiteral("f.fax_first"));
    return QStringLiteral("SELECT p.*, %1,\n"
                          "       CASE WHEN p.internal THEN %2 WHEN %3 IS NULL THEN '' ELSE %4 END AS INEEE,\n"
                          "       CASE WHEN %5 IS NULL THEN '' ELSE %6 END AS INFFF,\n"
                          "       %3 IS NOT NULL AS has_email, %5 IS NOT NULL AS has_fax\n"
                          "FROM party AS p\n"
                          "LEFT JOIN email_owner AS e ON e.owner = p.owner\n"
                          "LEFT JOIN fax_owner AS f ON f.owner = p.owner")
        .arg(slotValues.join(QStringLiteral(", ")), recipient(QStringLiteral("p.shown"), QStringLiteral("p.key")),
             mainEmail, recipient(QStringLiteral("p.shown"), mainEmail), mainFax,
             faxRecipient(QStringLiteral("p.shown"), mainFax));
}

QString bookInsert(const QString &prefix)
{
    const QString slots = bookSlotColumns().join(QStringLiteral(", "));
    return QStringLiteral(
               "INSERT INTO %1IND_ALL (INCOD, INTBC, ININD, INNAM, INCDS, ININT, INEML, INFAX, INEEE, INFFF, "
               "%2)\n"
               "SELECT code, tbl, key, name, customer, internal::integer, has_email::integer, "
               "has_fax::integer, INEEE, INFFF, %2\n"
               "FROM book ORDER BY position")
        .arg(prefix, slots);
}

// Every search key of every party, ranked in the order the C++ refresh
// writes them: of keys of the same type and text, the first is kept.
QString keyCandidates()
{
    return QStringLiteral(
               "SELECT b.position, b.code, k.type, k.text, k.shown_as, k.rank, k.at FROM book AS b\n"
               "CROSS JOIN LATERAL (\n"
               "    SELECT CASE WHEN b.internal THEN 'U' ELSE 'C' END AS type, %1 AS text,\n"
               "           CASE WHEN b.internal THEN b.INEEE ELSE '' END AS shown_as, 0 AS rank, 0::bigint AS at\n"
               "    WHERE b.search_code <> ''\n"
               "    UNION ALL SELECT 'E', %2, %3, 1, 0 WHERE b.own_email IS NOT NULL\n"
               "    UNION ALL SELECT 'N', %4, '', 4, word\n"
               "    FROM (SELECT string_to_array(%5, ' ') AS words) AS w, generate_subscripts(w.words, 1) AS word\n"
               ") AS k\n"
               "UNION ALL SELECT b.position, b.code, 'E', %6, %7, 2, e.position\n"
               "FROM book AS b JOIN email AS e ON e.owner = b.owner\n"
               "UNION ALL SELECT b.position, b.code, 'F', %8, %9, 3, f.position\n"
               "FROM book AS b JOIN fax AS f ON f.owner = b.owner")
        .arg(lowerCase(trimmed(QStringLiteral("b.search_code"))), lowerCase(QStringLiteral("b.own_email")),
             recipient(QStringLiteral("b.shown"), QStringLiteral("b.own_email")),
             first255Units(QStringLiteral("array_to_string(w.words[word:], ' ')")),
             lowerCase(QStringLiteral("b.shown")), lowerCase(QStringLiteral("e.address")),
             recipient(QStringLiteral("b.shown"), QStringLiteral("e.address")), faxKey(QStringLiteral("f.address")),
             faxRecipient(QStringLiteral("b.shown"), QStringLiteral("f.address")));
}

QString keyInsert(const QString &prefix)
{
    return QStringLiteral("INSERT INTO %1IND_KEY (IKCOD, IKTIP, IKKEY, IKIND)\n"
                          "SELECT DISTINCT ON (position, type, text) code, type, text, shown_as\n"
                          "FROM (%2) AS candidate\n"
                          "WHERE text <> ''\n"
                          "ORDER BY position, type, text, rank, at")
        .arg(prefix, keyCandidates());
}

QString refreshStatement(const QString &prefix)
{
    const QString emails =
        addressQuery(prefix + QStringLiteral("IND_WEB"), QStringLiteral("WBDES"), QStringLiteral("WBIND"),
                     QStringLiteral("w.WBTIP = 'E' AND w.WBIND IS NOT NULL"));
    const QString faxes =
        addressQuery(prefix + QStringLiteral("NUM_TEL"), QStringLiteral("NRDES"), QStringLiteral("NRTEL"),
                     QStringLiteral("w.NRDES LIKE '%fax%' AND w.NRTEL IS NOT NULL"));
    return QStringLiteral("WITH party AS (\n%1\n),\nemail AS (\n%2\n),\nfax AS (\n%3\n),\n"
                          "email_owner AS (\n%4\n),\nfax_owner AS (\n%5\n),\nbook AS (\n%6\n),\n"
                          "written AS (\n%7\n)\n%8")
        .arg(partyQuery(prefix), emails, faxes, addressesByOwner(QStringLiteral("email"), ReferenceData::emailSlots()),
             addressesByOwner(QStringLiteral("fax"), ReferenceData::faxSlots()), bookQuery(), bookInsert(prefix),
             keyInsert(prefix));
}

// A dollar-quoted body whose tag the body cannot close early.
QString dollarQuoted(const QString &body)
{
    QString tag = QStringLiteral("$mrv$");
    for (int n = 1; body.contains(tag); ++n)
        tag = QStringLiteral("$mrv%1$").arg(n);
    return tag + body + tag;
}

} // namespace

QString postgresAddressBookRefresh(const QString &companyPrefix)
{
    static const QRegularExpression identifierPart(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!identifierPart.match(companyPrefix).hasMatch())
        throw Failure(QStringLiteral("Not a company prefix: \"%1\"").arg(companyPrefix));
    const QString body = QStringLiteral("\nBEGIN\nDELETE FROM %1IND_KEY;\nDELETE FROM %1IND_ALL;\n%2;\nEND\n")
                             .arg(companyPrefix, refreshStatement(companyPrefix));
    // Compiling the statement for the JIT costs more than a second, more
    // than it saves even on tens of thousands of parties.
    return QStringLiteral("CREATE OR REPLACE PROCEDURE dbo.%1xsc_ind_all_lst()\nLANGUAGE plpgsql\nSET jit = off\nAS ")
               .arg(companyPrefix.toLower()) +
           dollarQuoted(body);
}

} // namespace mrv::suite::db
