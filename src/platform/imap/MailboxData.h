#pragma once

#include "ImapError.h"
#include "MailboxName.h"
#include "Response.h"
#include "UidSet.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace mrv::imap {

// The role a server gives a mailbox through a special-use attribute.
enum class SpecialUse { None, All, Archive, Drafts, Flagged, Junk, Sent, Trash };

// One mailbox as LIST describes it.
struct MailboxInfo
{
    MailboxName name;
    char delimiter = '\0'; // '\0': the server has no hierarchy (NIL)
    QList<QByteArray> attributes;
    SpecialUse specialUse = SpecialUse::None;
    QByteArray mailboxId; // servers with OBJECTID (from STATUS)

    bool hasAttribute(QByteArrayView attribute) const;
    // \Noselect and \NonExistent name hierarchy levels without messages.
    bool isSelectable() const;
};

// What STATUS tells of a mailbox without selecting it; a value the server
// left out stays empty.
struct MailboxStatus
{
    std::optional<quint32> messages;
    std::optional<quint32> recent;
    std::optional<quint32> unseen;
    std::optional<quint32> uidNext;
    std::optional<quint32> uidValidity;
    std::optional<quint64> highestModSeq;
    QByteArray mailboxId;
};

// UIDs the server reports gone; "EARLIER" ones went before this session
// looked (the answer to a resynchronising SELECT or FETCH).
struct Vanished
{
    bool earlier = false;
    UidSet uids;
};

SpecialUse specialUseOf(QByteArrayView attribute);

Result<MailboxInfo> parseListResponse(const Response &response);
Result<std::pair<MailboxName, MailboxStatus>> parseStatusResponse(const Response &response);
Result<Vanished> parseVanishedResponse(const Response &response);
// The capability names of "* CAPABILITY ..." or a [CAPABILITY ...] code, upper case.
QList<QByteArray> capabilitiesOf(const QList<ResponseValue> &values);

} // namespace mrv::imap
