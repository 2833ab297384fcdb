#include "image/fat_patch.h"

#include <gtest/gtest.h>

namespace stowix::test {

namespace {

uint32_t Le(const QByteArray& bytes, int at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | uint8_t(bytes[at + i]);
    return value;
}

QByteArray PutLe(uint32_t value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(value >> (8 * i));
    return bytes;
}

// "WIN.INI" as an entry holds it: "WIN     INI".
QByteArray ShortForm(const QString& name) {
    const QString upper = name.toUpper();
    const qsizetype dot = upper.lastIndexOf(u'.');
    const QString base = dot < 0 ? upper : upper.left(dot);
    const QString extension = dot < 0 ? QString() : upper.mid(dot + 1);
    return (base.leftJustified(8, u' ') + extension.leftJustified(3, u' ')).toLatin1();
}

}  // namespace

FatPatch::FatPatch(MtoolsImage& image) : m_image(image) {
    const QByteArray boot = image.PeekVolume(0, 512);
    const uint32_t sectorBytes = Le(boot, 11, 2);
    const uint32_t perCluster = uint8_t(boot[13]);
    const uint32_t reserved = Le(boot, 14, 2);
    m_fatCount = uint8_t(boot[16]);
    m_rootEntries = Le(boot, 17, 2);
    const uint32_t total = Le(boot, 19, 2) ? Le(boot, 19, 2) : Le(boot, 32, 4);
    const uint32_t fatSectors = Le(boot, 22, 2) ? Le(boot, 22, 2) : Le(boot, 36, 4);
    m_fat32 = Le(boot, 22, 2) == 0;
    const uint32_t rootSectors = (m_rootEntries * 32 + sectorBytes - 1) / sectorBytes;
    m_clusterBytes = sectorBytes * perCluster;
    m_fatOffset = qint64(reserved) * sectorBytes;
    m_fatBytes = qint64(fatSectors) * sectorBytes;
    m_rootOffset = m_fatOffset + m_fatCount * m_fatBytes;
    m_dataOffset = m_rootOffset + qint64(rootSectors) * sectorBytes;
    m_clusterCount = (total - reserved - m_fatCount * fatSectors - rootSectors) / perCluster;
    m_rootCluster = m_fat32 ? Le(boot, 44, 4) : 0;
}

uint32_t FatPatch::Next(uint32_t cluster) const {
    const int size = m_fat32 ? 4 : 2;
    const uint32_t value =
        Le(m_image.PeekVolume(m_fatOffset + qint64(cluster) * size, size), 0, size);
    return m_fat32 ? value & 0x0FFFFFFF : value;
}

void FatPatch::SetNext(uint32_t cluster, uint32_t value) {
    const int size = m_fat32 ? 4 : 2;
    for (uint32_t copy = 0; copy < m_fatCount; ++copy) {
        const qint64 at = m_fatOffset + copy * m_fatBytes + qint64(cluster) * size;
        const uint32_t old = Le(m_image.PeekVolume(at, size), 0, size);
        m_image.PokeVolume(at, PutLe(m_fat32 ? (old & 0xF0000000) | value : value, size));
    }
}

bool FatPatch::DirtyBitSet() const { return (Next(1) & (m_fat32 ? 0x08000000u : 0x8000u)) == 0; }

std::vector<uint32_t> FatPatch::Chain(uint32_t first) const {
    std::vector<uint32_t> chain;
    for (uint32_t cluster = first; cluster >= 2 && cluster <= LastCluster();
         cluster = Next(cluster)) {
        chain.push_back(cluster);
        if (chain.size() > m_clusterCount) break;
    }
    return chain;
}

qint64 FatPatch::FindIn(uint32_t folderCluster, const QByteArray& shortName) const {
    std::vector<std::pair<qint64, qint64>> spans;  // offset, bytes
    if (folderCluster == 0)
        spans.emplace_back(m_rootOffset, qint64(m_rootEntries) * 32);
    else
        for (uint32_t cluster : Chain(folderCluster))
            spans.emplace_back(ClusterOffset(cluster), m_clusterBytes);
    for (const auto& [offset, bytes] : spans) {
        const QByteArray slots = m_image.PeekVolume(offset, bytes);
        for (qint64 at = 0; at + 32 <= slots.size(); at += 32) {
            if (slots[at] == 0) return -1;
            if (uint8_t(slots[at]) == 0xE5 || (slots[at + 11] & 0x3F) == 0x0F) continue;
            if (slots.mid(at, 11) == shortName) return offset + at;
        }
    }
    return -1;
}

qint64 FatPatch::EntryOffset(const QString& path) const {
    uint32_t folder = m_rootCluster;
    qint64 entry = -1;
    for (const QString& name : path.split(u'\\')) {
        entry = FindIn(folder, ShortForm(name));
        if (entry < 0) return -1;
        const QByteArray bytes = m_image.PeekVolume(entry, 32);
        folder = (m_fat32 ? Le(bytes, 20, 2) << 16 : 0) | Le(bytes, 26, 2);
    }
    return entry;
}

uint32_t FatPatch::FirstCluster(const QString& path) const {
    const qint64 entry = EntryOffset(path);
    EXPECT_GE(entry, 0) << path.toStdString();
    const QByteArray bytes = m_image.PeekVolume(entry, 32);
    return (m_fat32 ? Le(bytes, 20, 2) << 16 : 0) | Le(bytes, 26, 2);
}

void FatPatch::SetFirstCluster(const QString& path, uint32_t cluster) {
    const qint64 entry = EntryOffset(path);
    ASSERT_GE(entry, 0) << path.toStdString();
    m_image.PokeVolume(entry + 20, PutLe(m_fat32 ? cluster >> 16 : 0, 2));
    m_image.PokeVolume(entry + 26, PutLe(cluster & 0xFFFF, 2));
}

uint32_t FatPatch::Size(const QString& path) const {
    const qint64 entry = EntryOffset(path);
    EXPECT_GE(entry, 0) << path.toStdString();
    return Le(m_image.PeekVolume(entry + 28, 4), 0, 4);
}

void FatPatch::SetSize(const QString& path, uint32_t size) {
    const qint64 entry = EntryOffset(path);
    ASSERT_GE(entry, 0) << path.toStdString();
    m_image.PokeVolume(entry + 28, PutLe(size, 4));
}

void FatPatch::ZeroCluster(uint32_t cluster) {
    m_image.PokeVolume(ClusterOffset(cluster), QByteArray(int(m_clusterBytes), '\0'));
}

}  // namespace stowix::test
