#pragma once

#include "host/RichTextStore.h"

#include <memory>

namespace mrv::host {
class Connection;
}

namespace mrv::suite {

// Stored bodies are kept as they come (RTF or HTML text), whatever the
// format flag says: the editor that reads them back knows their format.
class SuiteRichTextStore : public host::RichTextStore
{
public:
    explicit SuiteRichTextStore(std::shared_ptr<host::Connection> connection);

    // Null or a missing row read as an empty text.
    QString load(const QString &column, const QString &table, const QString &keyColumn, const QVariant &key,
                 qint32 keyKind, qint32 format) override;
    // Throws Failure when no row has the key.
    void save(const QString &text, const QString &column, const QString &table, const QString &keyColumn,
              const QVariant &key, qint32 keyKind, qint32 format) override;

private:
    std::shared_ptr<host::Connection> m_connection;
};

} // namespace mrv::suite
