#pragma once

#include "MailboxName.h"
#include "MessageData.h"
#include "Response.h"
#include "UidSet.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <optional>

namespace mrv::imap {

// What the client knows of the selected mailbox: what SELECT told and
// every change the server reported since, whenever it came.
struct SelectedMailbox
{
    MailboxName name;
    bool readOnly = false;
    quint32 exists = 0;
    quint32 recent = 0;
    std::optional<quint32> uidValidity;
    std::optional<quint32> uidNext;
    quint64 highestModSeq = 0; // 0: unknown, or the mailbox keeps none (NOMODSEQ)
    QList<QByteArray> flags;
    QList<QByteArray> permanentFlags;
    // Messages the server reported gone: VANISHED, and EXPUNGE of a message
    // whose UID was known.
    UidSet vanished;
    // Message data the server sent unasked, merged by UID: flag changes and
    // the changes a resynchronising SELECT reports.
    QList<FetchedMessage> changes;
};

// Applies the server's unsolicited mailbox responses to the selected
// mailbox. Keeps the message-number-to-UID map that an EXPUNGE needs to
// tell which message went.
class MailboxTracker
{
public:
    // Above this many messages the number map is not kept (an EXISTS from
    // the wire must not size an allocation): EXPUNGE then names no UID.
    static constexpr quint32 kMaxMappedMessages = 5'000'000;

    void select(const MailboxName &name, bool readOnly);
    void close();
    bool isOpen() const { return m_open; }
    const SelectedMailbox &state() const { return m_state; }

    // Untagged mailbox responses: EXISTS, RECENT, EXPUNGE, VANISHED, FETCH,
    // FLAGS and the codes of OK responses. False for a malformed one, and
    // for a UIDVALIDITY that changed while the mailbox is selected.
    bool apply(const Response &response);
    // The UID a FETCH response is about: its own, else the one mapped to
    // its message number (0: unknown).
    quint32 uidOf(const FetchedMessage &message) const;
    // Keeps a FETCH response nobody asked for among the changes.
    void recordChange(const FetchedMessage &message);

private:
    bool applyCode(const ResponseCode &code);
    void setExists(quint32 exists);
    void expunge(quint32 sequence);
    void vanish(const UidSet &uids, bool earlier);
    void mapSequence(quint32 sequence, quint32 uid);

    bool m_open = false;
    SelectedMailbox m_state;
    QList<quint32> m_uidBySequence;          // 0 where unknown
    QHash<quint32, qsizetype> m_changeIndex; // UID to its place in the changes
};

} // namespace mrv::imap
