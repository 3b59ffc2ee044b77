#pragma once

#include <QList>
#include <QString>

namespace mrv::suite::db {

class SuiteConnection;

// An address slot of the value lists ("@ Principale", "Fax (uff.)") and the
// address-book column that shows a party's address in that slot.
struct AddressSlot
{
    QString name;
    QString bookColumn;
};

struct ValueListEntry
{
    QString value;
    QString text;
};

// A value list of SYS_VAL: the captions of the values of one column.
struct ValueListDef
{
    QString table;
    QString field;
    QList<ValueListEntry> entries;
    // An exact list is code's, not the users': its rows are put back to this
    // definition, extra values included, because code counts and reads them.
    bool exact = false;
};

// A report the suite prints, registered in SYS_TBR under its table.
struct ReportDef
{
    QString code;
    QString table;
    QString caption;
};

// The rows every database holds: value lists, the table dictionary SYS_TBL
// and the field dictionary SYS_GRD_GRD (both derived from the schema
// catalog), and the reports of the tables in SYS_TBR. Field types of SYS_GRD_GRD.GRTYP: 0 short text, 1 small integer,
// 2 integer, 3 big integer, 4 decimal number, 5 binary contents, 6 date and
// time, 7 Boolean, 8 long text, 12 record key; conditions of notifications
// are offered every type but contents and keys.
class ReferenceData
{
public:
    // Adds the missing rows. Rows already present keep what users made of
    // them, except in exact value lists. Safe to run on every upgrade.
    static void install(SuiteConnection &connection);

    static const QList<ValueListDef> &valueLists();
    static const QList<ReportDef> &reports();

    // In order of preference: the first filled slot is a party's main address.
    static const QList<AddressSlot> &emailSlots();
    static const QList<AddressSlot> &faxSlots();
};

} // namespace mrv::suite::db
