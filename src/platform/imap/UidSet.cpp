#include "UidSet.h"

#include <algorithm>

namespace mrv::imap {

namespace {

std::optional<quint32> parseUid(QByteArrayView text)
{
    if (text == "*")
        return UidSet::kLargest;
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    quint64 value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + quint64(digit - '0');
    }
    if (value == 0 || value > UidSet::kLargest)
        return std::nullopt;
    return quint32(value);
}

} // namespace

UidSet::UidSet(quint32 first, quint32 last)
{
    add(first, last);
}

std::optional<UidSet> UidSet::parse(QByteArrayView text)
{
    UidSet set;
    for (const QByteArrayView item : QByteArrayView(text).toByteArray().split(',')) {
        const qsizetype colon = item.indexOf(':');
        const auto first = parseUid(colon < 0 ? item : item.first(colon));
        const auto last = colon < 0 ? first : parseUid(item.sliced(colon + 1));
        if (!first || !last)
            return std::nullopt;
        set.add(*first, *last);
    }
    return set;
}

void UidSet::add(quint32 first, quint32 last)
{
    if (first > last)
        std::swap(first, last);
    first = std::max<quint32>(first, 1);
    if (last == 0)
        return;
    // The ranges that touch or overlap the new one merge with it.
    auto begin = std::lower_bound(m_ranges.begin(), m_ranges.end(), first, [](const Range &range, quint32 uid) {
        return range.last < kLargest && range.last + 1 < uid;
    });
    auto end = begin;
    while (end != m_ranges.end() && (last == kLargest || end->first <= last + 1)) {
        first = std::min(first, end->first);
        last = std::max(last, end->last);
        ++end;
    }
    const qsizetype at = begin - m_ranges.begin();
    m_ranges.erase(begin, end);
    m_ranges.insert(at, Range{first, last});
}

void UidSet::add(const UidSet &other)
{
    for (const Range &range : other.m_ranges)
        add(range.first, range.last);
}

bool UidSet::contains(quint32 uid) const
{
    const auto found = std::lower_bound(m_ranges.begin(), m_ranges.end(), uid,
                                        [](const Range &range, quint32 value) { return range.last < value; });
    return found != m_ranges.end() && found->first <= uid;
}

quint64 UidSet::count() const
{
    quint64 total = 0;
    for (const Range &range : m_ranges)
        total += quint64(range.last) - range.first + 1;
    return total;
}

QByteArray UidSet::toWire() const
{
    QByteArray wire;
    for (const Range &range : m_ranges) {
        if (!wire.isEmpty())
            wire += ',';
        wire += QByteArray::number(range.first);
        if (range.last != range.first)
            wire += ':' + QByteArray::number(range.last);
    }
    return wire;
}

} // namespace mrv::imap
