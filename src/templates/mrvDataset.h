#pragma once

#include "facade/ComObject.h"
#include "facade/ComponentWindow.h"
#include "facade/Types.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace mrv {

namespace host {
class Connection;
class Errors;
class Records;
} // namespace host

// A stored query (a row of SYS_DAT) that supplies the data of templates. Its
// text is written for firm "A01" and holds variables: "@N" is the N-th key
// given, a bare "@" the list of all keys. Queries run read-only.
class mrvDataset : public ComponentObject, public ComObject
{
public:
    static QString factoryName() { return QStringLiteral("mrvDataset"); }

    void setRecords(std::shared_ptr<host::Records> records);
    void setErrors(std::shared_ptr<host::Errors> errors);

    // The query for the user's firm with the keys in place of the
    // variables; "" when there is no query or no key.
    QString InsertVariables(const QString &sQuery, QList<qint32> &lVars);
    // The columns of the query, run once with dummy keys. A failing query
    // gives false and the engine's message in sError, and is not reported.
    bool GetQueryFields(const QString &sQuery, QStringList &aFields);
    bool GetQueryFields(const QString &sQuery, QStringList &aFields, QString &sError);
    bool GetFields(qint32 lDataSetId, QStringList &aFields);
    bool GetFields(qint32 lDataSetId, QStringList &aFields, QString &sError);
    // The columns every dataset has, in the last dataset's order, followed
    // by the pseudo-field "PARAM_USER_FULLNAME".
    bool GetCommonFields(const QList<qint32> &lDataSetId, QStringList &aFields);
    bool GetCommonFields(const QList<qint32> &lDataSetId, QStringList &aFields, QString &sError);
    // The query column carrying a linked value, "" when none.
    QString GetLinkedField(qint32 lDataSetId, qint32 iField);
    // The table a linked value is a key of, "" for kinds without one.
    QString GetLinkedTable(qint32 lDataSetId, qint32 iField);

private:
    host::Connection &connection() const;
    QString forUsersFirm(const QString &query) const;
    bool readQueryFields(const QString &query, QStringList &fields, QString &error);
    bool readFields(qint32 datasetId, QStringList &fields, QString &error);
    QString datasetColumn(qint32 datasetId, const QString &column);

    std::shared_ptr<host::Records> m_records;
    std::shared_ptr<host::Errors> m_errors;
};

} // namespace mrv
