#pragma once

#include "templates/TemplateSendController.h"

#include <optional>

namespace mrv::suite {

namespace db {
class SuiteConnection;
}

// A template send run under a name, recorded in SYS_MTB as it goes: a
// message's row is written, and committed, before the transport gets the
// message, and its state once the transport answered. A run stopped at any
// point and started again skips every message with a row: those were handed
// to the transport, and handing one twice could send it twice. A message the
// transport refused loses its row and goes again.
class TemplateBatch : public TemplateSendJournal
{
public:
    enum State { Handing = 1, Sent = 2 };

    struct Entry
    {
        qint32 state = 0;
        qint32 messageId = 0;
    };

    // Batch `name` as started now, or earlier for the same template, table
    // and keys; a batch of that name started for others is refused.
    TemplateBatch(db::SuiteConnection &connection, const QString &name, qint32 templateId, const QString &table,
                  const QString &keys);

    std::optional<Entry> entry(qint32 number) const;

    bool mayHand(qint32 number, const QString &identity) override;
    void handing(qint32 number, const QString &identity, qint32 messageId) override;
    void answered(qint32 number, bool sent) override;

private:
    db::SuiteConnection &m_connection;
    QString m_name;
};

} // namespace mrv::suite
