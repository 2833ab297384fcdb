#pragma once
// The order in which a comparison shows the items of two lists: the new list's order, with each
// item that only the old list has placed right after the item it followed there. So removed
// sections and keys appear where they stood in the file, and the rest in the file's own order.

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

namespace stowix {

// One row of the merged order: the item's index in the old list, in the new list, or both.
struct MergedRow {
    std::optional<std::size_t> oldIndex;
    std::optional<std::size_t> newIndex;
};

// oldKeys and newKeys are the items' identities (each unique within its list).
std::vector<MergedRow> MergedOrder(const std::vector<QString>& oldKeys,
                                   const std::vector<QString>& newKeys);

}  // namespace stowix
