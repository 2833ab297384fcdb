#pragma once
// The entries of one folder held in memory, with an index by name, so that finding a name costs
// the same in a folder of ten entries and of ten thousand: an entry is found without regard to
// case by its long name or its short name, an exact long name first (as Windows does), and a
// short name in use is known at once. The entries stay in slot order; each is known by its short
// entry's slot. The index costs about the names' own size again.

#include "fat/fat_folder.h"

#include <QStringView>

#include <string>
#include <unordered_map>
#include <vector>

namespace stowix::fat {

class FolderEntries {
public:
    explicit FolderEntries(std::vector<FatEntry> entries);

    // Every entry in slot order, the "." and ".." entries included.
    const std::vector<FatEntry>& All() const { return m_entries; }
    // The entry whose long name is exactly name, else the first (in slot order) whose long or
    // short name is name without regard to case; never "." or "..". Null when there is none.
    const FatEntry* Find(QStringView name) const;
    bool HasShortName(const ShortName& name) const;
    // Adds an entry at its place in slot order.
    void Insert(FatEntry entry);
    // Removes the entry whose short entry is at this slot.
    void Remove(int shortSlot);
    // The entry whose short entry is at this slot, to change its attributes, cluster or size.
    FatEntry* AtSlot(int shortSlot);
    const FatEntry* AtSlot(int shortSlot) const;

private:
    void Index(const FatEntry& entry);
    void Unindex(const FatEntry& entry);

    std::vector<FatEntry> m_entries;  // by shortSlot, ascending
    // Each name upper-cased, to the short slots of the entries that bear it, ascending.
    std::unordered_map<std::u16string, std::vector<int>> m_byName;
    std::unordered_map<std::string, int> m_shortNames;  // the 11 bytes, to how many bear them
};

}  // namespace stowix::fat
