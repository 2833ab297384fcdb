#pragma once
// Writes to the image held back in memory so that they reach it later, in one order and in few
// calls: byte ranges at offsets of the volume, merged where they touch or overlap (a later write
// wins), laid over reads of the same bytes so that a reader sees them before they are written,
// and written out in offset order. It costs the bytes it holds (its owner decides how many) and
// keeps the buffer of its largest range, up to 4 MiB, for the next ones.

#include "services/result.h"

#include <QtGlobal>

#include <functional>
#include <map>
#include <vector>

namespace stowix::fat {

class HeldWrites {
public:
    using Writer = std::function<Status(qint64 offset, const void* bytes, qint64 size)>;

    void Hold(qint64 offset, const void* bytes, qint64 size);
    // Makes room for a range of this many bytes (up to 4 MiB) before the first is held, so
    // that a range that grows by small writes is never moved to a larger buffer: each move
    // copied the range and touched new pages, which cost more than the writes themselves.
    void Reserve(size_t bytes);
    // Copies the held bytes that fall inside offset .. offset+size-1 over buffer.
    void LayOver(qint64 offset, void* buffer, qint64 size) const;
    // Whether any held byte falls inside offset .. offset+size-1.
    bool Overlaps(qint64 offset, qint64 size) const;
    qint64 Bytes() const { return m_bytes; }
    bool Empty() const { return m_ranges.empty(); }
    // Writes every range through write in offset order, then forgets them all (also when a write
    // fails: what was not written is then lost, as the caller's failure says).
    Status WriteOut(const Writer& write);
    // Calls take for each held range, in offset order.
    void EachRange(const std::function<void(qint64 offset, qint64 size)>& take) const;
    void Clear();

private:
    static constexpr size_t MaxSpareBytes = 4 * 1024 * 1024;

    std::map<qint64, std::vector<unsigned char>> m_ranges;  // by first byte; none touch
    qint64 m_bytes = 0;
    std::vector<unsigned char> m_spare;  // the largest range's buffer, kept for the next one
};

}  // namespace stowix::fat
