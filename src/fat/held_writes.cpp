#include "fat/held_writes.h"

#include <algorithm>
#include <cstring>

namespace stowix::fat {

void HeldWrites::Hold(qint64 offset, const void* bytes, qint64 size) {
    if (size <= 0) return;
    const qint64 end = offset + size;
    // The ranges that overlap or touch the new one: from the last that starts at or before it
    // to the last that starts at or before its end.
    auto first = m_ranges.upper_bound(offset);
    if (first != m_ranges.begin()) {
        auto before = std::prev(first);
        if (before->first + qint64(before->second.size()) >= offset) first = before;
    }
    auto last = m_ranges.upper_bound(end);
    if (first == last) {
        // The spare buffer's pages are already the process's: no page faults to fill it again.
        std::vector<unsigned char> range = std::move(m_spare);
        m_spare = {};
        range.assign(static_cast<const unsigned char*>(bytes),
                     static_cast<const unsigned char*>(bytes) + size);
        m_ranges.emplace(offset, std::move(range));
        m_bytes += size;
        return;
    }
    // The common case, a write that continues or overwrites one range, grows that range in place.
    if (std::next(first) == last && first->first <= offset) {
        std::vector<unsigned char>& range = first->second;
        const unsigned char* from = static_cast<const unsigned char*>(bytes);
        const qint64 oldSize = qint64(range.size());
        const qint64 at = offset - first->first;
        const qint64 inside = std::min(size, oldSize - at);  // what overwrites held bytes
        if (inside > 0) std::memcpy(range.data() + at, from, size_t(inside));
        if (inside < size) {
            range.insert(range.end(), from + std::max<qint64>(inside, 0), from + size);
            m_bytes += qint64(range.size()) - oldSize;
        }
        return;
    }
    const qint64 start = std::min(offset, first->first);
    const auto lastRange = std::prev(last);
    const qint64 stop = std::max(end, lastRange->first + qint64(lastRange->second.size()));
    std::vector<unsigned char> merged(size_t(stop - start));
    for (auto range = first; range != last; ++range) {
        std::memcpy(merged.data() + (range->first - start), range->second.data(),
                    range->second.size());
        m_bytes -= qint64(range->second.size());
    }
    std::memcpy(merged.data() + (offset - start), bytes, size_t(size));
    m_ranges.erase(first, last);
    m_bytes += qint64(merged.size());
    m_ranges.emplace(start, std::move(merged));
}

void HeldWrites::Reserve(size_t bytes) {
    if (m_spare.capacity() < bytes && bytes <= MaxSpareBytes) m_spare.reserve(bytes);
}

void HeldWrites::LayOver(qint64 offset, void* buffer, qint64 size) const {
    if (m_ranges.empty() || size <= 0) return;
    const qint64 end = offset + size;
    auto range = m_ranges.upper_bound(offset);
    if (range != m_ranges.begin()) range = std::prev(range);
    for (; range != m_ranges.end() && range->first < end; ++range) {
        const qint64 from = std::max(offset, range->first);
        const qint64 to = std::min(end, range->first + qint64(range->second.size()));
        if (from < to)
            std::memcpy(static_cast<unsigned char*>(buffer) + (from - offset),
                        range->second.data() + (from - range->first), size_t(to - from));
    }
}

bool HeldWrites::Overlaps(qint64 offset, qint64 size) const {
    if (m_ranges.empty() || size <= 0) return false;
    auto range = m_ranges.upper_bound(offset);
    if (range != m_ranges.begin() &&
        std::prev(range)->first + qint64(std::prev(range)->second.size()) > offset)
        return true;
    return range != m_ranges.end() && range->first < offset + size;
}

Status HeldWrites::WriteOut(const Writer& write) {
    Status result = Status::Ok();
    for (const auto& [offset, bytes] : m_ranges) {
        result = write(offset, bytes.data(), qint64(bytes.size()));
        if (!result) break;
    }
    Clear();
    return result;
}

void HeldWrites::EachRange(const std::function<void(qint64, qint64)>& take) const {
    for (const auto& [offset, bytes] : m_ranges) take(offset, qint64(bytes.size()));
}

void HeldWrites::Clear() {
    for (auto& [offset, bytes] : m_ranges) {
        if (bytes.capacity() > m_spare.capacity() && bytes.capacity() <= MaxSpareBytes)
            m_spare = std::move(bytes);
    }
    m_ranges.clear();
    m_bytes = 0;
}

}  // namespace stowix::fat
