#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace mrv::imap {

// A set of message UIDs kept as sorted, disjoint, non-adjacent ranges: it is
// never expanded, so "1:4294967295" stays one range.
class UidSet
{
public:
    static constexpr quint32 kLargest = 0xFFFFFFFFu;

    struct Range
    {
        quint32 first = 0;
        quint32 last = 0;
        bool operator==(const Range &) const = default;
    };

    UidSet() = default;
    // Reversed bounds are swapped; UID 0 does not exist and is ignored.
    UidSet(quint32 first, quint32 last);

    // "1:4,7,9:*" with "*" standing for the largest UID; nullopt for
    // anything else (0, overflow, empty items, stray characters).
    static std::optional<UidSet> parse(QByteArrayView text);

    void add(quint32 uid) { add(uid, uid); }
    void add(quint32 first, quint32 last);
    void add(const UidSet &other);

    bool contains(quint32 uid) const;
    bool isEmpty() const { return m_ranges.isEmpty(); }
    quint64 count() const;
    const QList<Range> &ranges() const { return m_ranges; }

    QByteArray toWire() const;

    bool operator==(const UidSet &) const = default;

private:
    QList<Range> m_ranges;
};

} // namespace mrv::imap
