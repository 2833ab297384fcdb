#include "fat/folder_entries.h"

#include "dos/name_case.h"

#include <algorithm>
#include <utility>

namespace stowix::fat {

namespace {

std::u16string Folded(QStringView name) {
    std::u16string folded(size_t(name.size()), u'\0');
    for (qsizetype i = 0; i < name.size(); ++i) folded[size_t(i)] = FoldCase(name[i].unicode());
    return folded;
}

std::string ShortKey(const ShortName& name) {
    return std::string(reinterpret_cast<const char*>(name.data()), name.size());
}

void AddSlot(std::vector<int>& slots, int slot) {
    slots.insert(std::lower_bound(slots.begin(), slots.end(), slot), slot);
}

}  // namespace

FolderEntries::FolderEntries(std::vector<FatEntry> entries) : m_entries(std::move(entries)) {
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const FatEntry& a, const FatEntry& b) {
        return a.shortSlot < b.shortSlot;
    });
    m_byName.reserve(m_entries.size() * 2);
    for (const FatEntry& entry : m_entries) Index(entry);
}

void FolderEntries::Index(const FatEntry& entry) {
    ++m_shortNames[ShortKey(entry.shortName)];
    if (entry.IsDotEntry()) return;
    std::u16string name = Folded(entry.name);
    std::u16string shortText = Folded(entry.shortText);
    AddSlot(m_byName[name], entry.shortSlot);
    if (shortText != name) AddSlot(m_byName[shortText], entry.shortSlot);
}

void FolderEntries::Unindex(const FatEntry& entry) {
    if (auto found = m_shortNames.find(ShortKey(entry.shortName));
        found != m_shortNames.end() && --found->second <= 0)
        m_shortNames.erase(found);
    if (entry.IsDotEntry()) return;
    for (const std::u16string& key : {Folded(entry.name), Folded(entry.shortText)}) {
        auto found = m_byName.find(key);
        if (found == m_byName.end()) continue;
        std::vector<int>& slots = found->second;
        slots.erase(std::remove(slots.begin(), slots.end(), entry.shortSlot), slots.end());
        if (slots.empty()) m_byName.erase(found);
    }
}

const FatEntry* FolderEntries::Find(QStringView name) const {
    auto found = m_byName.find(Folded(name));
    if (found == m_byName.end()) return nullptr;
    const FatEntry* first = nullptr;
    for (int slot : found->second) {
        const FatEntry* entry = AtSlot(slot);
        if (!entry) continue;
        if (entry->name == name) return entry;
        if (!first) first = entry;
    }
    return first;
}

bool FolderEntries::HasShortName(const ShortName& name) const {
    return m_shortNames.count(ShortKey(name)) != 0;
}

const FatEntry* FolderEntries::AtSlot(int shortSlot) const {
    auto at =
        std::lower_bound(m_entries.begin(), m_entries.end(), shortSlot,
                         [](const FatEntry& entry, int slot) { return entry.shortSlot < slot; });
    return at != m_entries.end() && at->shortSlot == shortSlot ? &*at : nullptr;
}

FatEntry* FolderEntries::AtSlot(int shortSlot) {
    return const_cast<FatEntry*>(std::as_const(*this).AtSlot(shortSlot));
}

void FolderEntries::Insert(FatEntry entry) {
    Remove(entry.shortSlot);
    Index(entry);
    auto at =
        std::lower_bound(m_entries.begin(), m_entries.end(), entry.shortSlot,
                         [](const FatEntry& each, int slot) { return each.shortSlot < slot; });
    m_entries.insert(at, std::move(entry));
}

void FolderEntries::Remove(int shortSlot) {
    FatEntry* entry = AtSlot(shortSlot);
    if (!entry) return;
    Unindex(*entry);
    m_entries.erase(m_entries.begin() + (entry - m_entries.data()));
}

}  // namespace stowix::fat
