#include "compare/merged_order.h"

namespace stowix {

std::vector<MergedRow> MergedOrder(const std::vector<QString>& oldKeys,
                                   const std::vector<QString>& newKeys) {
    QHash<QString, std::size_t> newIndex;
    newIndex.reserve(qsizetype(newKeys.size()));
    for (std::size_t i = 0; i < newKeys.size(); ++i) newIndex.insert(newKeys[i], i);

    // For every old item: its new index, or the new index of the nearest old item before it
    // that the new list also has (none: it goes first).
    std::vector<std::vector<std::size_t>> after(newKeys.size());
    std::vector<std::size_t> atFront;
    std::vector<std::optional<std::size_t>> oldOf(newKeys.size());
    std::optional<std::size_t> anchor;
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        const auto found = newIndex.constFind(oldKeys[i]);
        if (found != newIndex.constEnd()) {
            oldOf[*found] = i;
            anchor = *found;
        } else if (anchor) {
            after[*anchor].push_back(i);
        } else {
            atFront.push_back(i);
        }
    }

    std::vector<MergedRow> rows;
    rows.reserve(oldKeys.size() + newKeys.size());
    for (std::size_t i : atFront) rows.push_back({i, std::nullopt});
    for (std::size_t n = 0; n < newKeys.size(); ++n) {
        rows.push_back({oldOf[n], n});
        for (std::size_t i : after[n]) rows.push_back({i, std::nullopt});
    }
    return rows;
}

}  // namespace stowix
