#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

// What one record of a report shows: a title, its data as caption and value,
// and a table of rows under a header repeated on every page.
struct ReportContent
{
    QString title;
    QList<QPair<QString, QString>> fields;
    QStringList columns;
    QList<QStringList> rows;
};

// The reports the suite prints to PDF, by code. A report reads one record of
// its table, by RECORD_ID, in the company whose prefix it is given. Adding a
// report is one entry of ReferenceData::reports() (code, table, caption) and
// one reader here.
class SuiteReports
{
public:
    using Reader = std::function<ReportContent(db::SuiteConnection &, const QString &prefix, qint64 key)>;

    SuiteReports(std::shared_ptr<db::SuiteConnection> connection, QString companyCode);

    // Prints the records of `keys` (RECORD_IDs separated by ",") into one PDF
    // file at `path`, each from a new page. Throws Failure for an unknown
    // report, a table that is not the report's, a key that names no record,
    // or a file that cannot be written; the file is then left as it was.
    void print(const QString &reportCode, const QString &table, const QString &keys, const QString &path) const;

    // Records that the report of a record went out with a stored message.
    void registerSent(const QString &reportCode, const QString &table, const QString &key, qint32 messageKey,
                      const QString &user) const;

private:
    const Reader &readerFor(const QString &reportCode, const QString &table) const;
    QString companyName() const;

    std::shared_ptr<db::SuiteConnection> m_connection;
    QString m_companyCode;
};

} // namespace mrv::suite
