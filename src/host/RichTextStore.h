#pragma once

#include <QString>
#include <QVariant>

namespace mrv::host {

// Loads and saves a stored body (RTF or HTML text) of one row.
class RichTextStore
{
public:
    virtual ~RichTextStore() = default;

    virtual QString load(const QString &column, const QString &table, const QString &keyColumn, const QVariant &key,
                         qint32 keyKind, qint32 format) = 0;
    virtual void save(const QString &text, const QString &column, const QString &table, const QString &keyColumn,
                      const QVariant &key, qint32 keyKind, qint32 format) = 0;
};

} // namespace mrv::host
