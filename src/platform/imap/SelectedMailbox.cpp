#include "SelectedMailbox.h"

#include "MailboxData.h"

#include <algorithm>
#include <limits>

namespace mrv::imap {

namespace {

QList<QByteArray> flagsOf(const QList<ResponseValue> &values)
{
    QList<QByteArray> flags;
    for (const ResponseValue &value : values)
        flags.append(value.textOrEmpty());
    return flags;
}

std::optional<quint32> firstNumber(const ResponseCode &code)
{
    if (code.arguments.isEmpty())
        return std::nullopt;
    if (const auto number = code.arguments.first().number())
        return quint32(*number);
    return std::nullopt;
}

// The UID among the items of a FETCH response, 0 when absent; the whole
// response is parsed only by whoever wants its data.
quint32 uidIn(const ResponseValue &items)
{
    for (qsizetype at = 0; at + 1 < items.items.size(); at += 2) {
        if (items.items.at(at).isAtom("UID"))
            return quint32(items.items.at(at + 1).number().value_or(0));
    }
    return 0;
}

} // namespace

void MailboxTracker::select(const MailboxName &name, bool readOnly)
{
    m_open = true;
    m_state = SelectedMailbox();
    m_state.name = name;
    m_state.readOnly = readOnly;
    m_uidBySequence.clear();
    m_changeIndex.clear();
}

void MailboxTracker::close()
{
    m_open = false;
    m_state = SelectedMailbox();
    m_uidBySequence.clear();
    m_changeIndex.clear();
}

bool MailboxTracker::apply(const Response &response)
{
    const QByteArray &keyword = response.keyword;
    if (response.isStatus())
        return applyCode(response.code);
    if (keyword == "EXISTS" && response.number) {
        setExists(*response.number);
    } else if (keyword == "RECENT" && response.number) {
        m_state.recent = *response.number;
    } else if (keyword == "EXPUNGE" && response.number) {
        expunge(*response.number);
    } else if (keyword == "FLAGS") {
        if (response.values.isEmpty() || !response.values.first().isList())
            return false;
        m_state.flags = flagsOf(response.values.first().items);
    } else if (keyword == "VANISHED") {
        const Result<Vanished> vanished = parseVanishedResponse(response);
        if (!vanished)
            return false;
        vanish(vanished->uids, vanished->earlier);
    } else if (keyword == "FETCH") {
        if (!response.number || response.values.isEmpty() || !response.values.first().isList())
            return false;
        mapSequence(*response.number, uidIn(response.values.first()));
    }
    return true;
}

bool MailboxTracker::applyCode(const ResponseCode &code)
{
    if (code.name == "UIDVALIDITY") {
        // Every UID known would be void: nothing said about the mailbox
        // since can be trusted, so the session cannot go on.
        const std::optional<quint32> uidValidity = firstNumber(code);
        if (m_state.uidValidity && uidValidity != m_state.uidValidity)
            return false;
        m_state.uidValidity = uidValidity;
    } else if (code.name == "UIDNEXT") {
        m_state.uidNext = firstNumber(code);
    } else if (code.name == "HIGHESTMODSEQ" && !code.arguments.isEmpty()) {
        m_state.highestModSeq = code.arguments.first().number(std::numeric_limits<quint64>::max()).value_or(0);
    } else if (code.name == "NOMODSEQ") {
        m_state.highestModSeq = 0;
    } else if (code.name == "PERMANENTFLAGS" && !code.arguments.isEmpty()) {
        m_state.permanentFlags = flagsOf(code.arguments.first().items);
    } else if (code.name == "READ-ONLY" || code.name == "READ-WRITE") {
        m_state.readOnly = code.name == "READ-ONLY";
    }
    return true;
}

void MailboxTracker::setExists(quint32 exists)
{
    m_state.exists = exists;
    if (exists <= kMaxMappedMessages)
        m_uidBySequence.resize(exists, 0);
    else
        m_uidBySequence.clear();
}

void MailboxTracker::expunge(quint32 sequence)
{
    if (sequence == 0 || sequence > m_state.exists)
        return;
    --m_state.exists;
    if (sequence > quint32(m_uidBySequence.size()))
        return;
    if (const quint32 uid = m_uidBySequence.at(sequence - 1))
        m_state.vanished.add(uid);
    m_uidBySequence.removeAt(sequence - 1);
}

void MailboxTracker::vanish(const UidSet &uids, bool earlier)
{
    m_state.vanished.add(uids);
    // Messages gone before this session looked never counted in EXISTS;
    // the others count as one EXPUNGE each.
    if (earlier)
        return;
    m_uidBySequence.removeIf([&](quint32 uid) { return uid != 0 && uids.contains(uid); });
    m_state.exists -= quint32(std::min<quint64>(m_state.exists, uids.count()));
}

void MailboxTracker::mapSequence(quint32 sequence, quint32 uid)
{
    if (uid == 0 || sequence == 0)
        return;
    if (sequence > quint32(m_uidBySequence.size()) && sequence <= kMaxMappedMessages) {
        // A FETCH for a message beyond EXISTS: the server counts it, so do we.
        m_state.exists = std::max(m_state.exists, sequence);
        m_uidBySequence.resize(sequence, 0);
    }
    if (sequence <= quint32(m_uidBySequence.size()))
        m_uidBySequence[sequence - 1] = uid;
}

quint32 MailboxTracker::uidOf(const FetchedMessage &message) const
{
    if (message.uid != 0)
        return message.uid;
    const quint32 sequence = message.sequence;
    return sequence > 0 && sequence <= quint32(m_uidBySequence.size()) ? m_uidBySequence.at(sequence - 1) : 0;
}

void MailboxTracker::recordChange(const FetchedMessage &message)
{
    FetchedMessage change = message;
    change.uid = uidOf(message);
    if (change.uid == 0)
        return;
    const auto known = m_changeIndex.constFind(change.uid);
    if (known != m_changeIndex.constEnd()) {
        m_state.changes[*known].merge(change);
        return;
    }
    m_changeIndex.insert(change.uid, m_state.changes.size());
    m_state.changes.append(change);
}

} // namespace mrv::imap
