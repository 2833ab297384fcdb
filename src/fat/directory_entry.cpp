#include "fat/directory_entry.h"

namespace stowix::fat {

namespace {

// The name's units in a long-name slot, in order, across its three runs of fields.
template <typename Slot, typename Visit>
void EachUnitField(Slot& slot, Visit visit) {
    int index = 0;
    for (auto& field : slot.units1) visit(field, index++);
    for (auto& field : slot.units2) visit(field, index++);
    for (auto& field : slot.units3) visit(field, index++);
}

}  // namespace

DirectoryEntry DirectoryEntry::Short(const ShortName& name, uint8_t attributes, uint32_t cluster,
                                     uint32_t size, FatStamp written) {
    DirectoryEntry entry{};
    entry.name = name;
    entry.attributes = attributes;
    const FatStamp now = StampNow();
    entry.createdTime.Set(now.time);
    entry.createdDate.Set(now.date);
    entry.accessedDate.Set(now.date);
    entry.SetFirstCluster(cluster);
    entry.SetWritten(written);
    entry.size.Set(size);
    return entry;
}

uint32_t DirectoryEntry::FirstCluster(FatType type) const {
    const uint32_t low = firstClusterLow.Get();
    return type == FatType::Fat32 ? (uint32_t(firstClusterHigh.Get()) << 16) | low : low;
}

void DirectoryEntry::SetFirstCluster(uint32_t cluster) {
    firstClusterHigh.Set(uint16_t(cluster >> 16));
    firstClusterLow.Set(uint16_t(cluster & 0xFFFF));
}

void DirectoryEntry::SetWritten(FatStamp stamp) {
    writtenTime.Set(stamp.time);
    writtenDate.Set(stamp.date);
}

void LongNameSlot::GetUnits(char16_t* units) const {
    EachUnitField(*this,
                  [units](const Le16Field& field, int index) { units[index] = field.Get(); });
}

void LongNameSlot::SetUnits(const char16_t* units) {
    EachUnitField(*this, [units](Le16Field& field, int index) { field.Set(units[index]); });
}

}  // namespace stowix::fat
