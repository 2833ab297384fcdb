#include "registry_damage.h"

#include <QStringBuilder>

namespace stowix::tools {

namespace {

constexpr quint32 None = 0xFFFFFFFFu;

quint32 Get32(const QByteArray& bytes, qsizetype at) {
    quint32 value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void Put32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

// Fields of a key tree entry.
constexpr qsizetype Parent = 12;
constexpr qsizetype FirstSubKey = 16;
constexpr qsizetype NextKey = 20;
constexpr qsizetype BlockNumber = 26;

// The first key (after the root) that has a sub key, by its tree entry's file offset.
qsizetype FirstKeyWithSubKeys(const RegistryFileLayout& layout) {
    for (size_t k = 1; k < layout.keyEntryOffsets.size(); ++k)
        if (Get32(layout.bytes, layout.keyEntryOffsets[k] + FirstSubKey) != None)
            return layout.keyEntryOffsets[k];
    return layout.keyEntryOffsets.front();
}

}  // namespace

const std::vector<RegistryDamageName>& RegistryDamages() {
    static const std::vector<RegistryDamageName> names = {
        {RegistryDamage::CutShort, "cut-short"},
        {RegistryDamage::FileSignature, "file-signature"},
        {RegistryDamage::KeyTreeSignature, "key-tree-signature"},
        {RegistryDamage::FirstBlockSignature, "first-block-signature"},
        {RegistryDamage::KeyOffsetOutOfRange, "key-offset-out-of-range"},
        {RegistryDamage::BlockOutOfRange, "block-out-of-range"},
        {RegistryDamage::ValueOutOfRange, "value-out-of-range"},
        {RegistryDamage::OwnAncestor, "own-ancestor"},
        {RegistryDamage::SiblingLoop, "sibling-loop"},
    };
    return names;
}

QByteArray DamageRegistryFile(const RegistryFileLayout& layout, RegistryDamage damage) {
    QByteArray bytes = layout.bytes;
    const qsizetype tree = layout.keyTreeOffset;
    switch (damage) {
    case RegistryDamage::CutShort: {
        // Halfway into the last block that holds keys: the keys before it still read.
        const qsizetype block = layout.dataBlockOffsets[layout.blocksWithKeys - 1];
        const qsizetype end = layout.blocksWithKeys < int(layout.dataBlockOffsets.size())
                                  ? layout.dataBlockOffsets[layout.blocksWithKeys]
                                  : bytes.size();
        bytes.truncate(block + (end - block) / 2);
        break;
    }
    case RegistryDamage::FileSignature: bytes.replace(0, 4, "CRAG"); break;
    case RegistryDamage::KeyTreeSignature: bytes.replace(tree, 4, "RG\0\0"); break;
    case RegistryDamage::FirstBlockSignature:
        bytes.replace(layout.dataBlockOffsets.front(), 4, QByteArray(4, '\0'));
        break;
    case RegistryDamage::KeyOffsetOutOfRange:
        Put32(bytes, FirstKeyWithSubKeys(layout) + FirstSubKey, 0x7FFFFF00u);
        break;
    case RegistryDamage::BlockOutOfRange: {
        const qsizetype key = layout.keyEntryOffsets[1];
        bytes[key + BlockNumber] = char(0xF0);
        bytes[key + BlockNumber + 1] = char(0x3F);
        break;
    }
    case RegistryDamage::ValueOutOfRange:
        for (qsizetype value : layout.firstValueOffsets) {
            if (value < 0) continue;
            bytes[value + 10] = char(0xF0);  // the data size, now far beyond the entry
            bytes[value + 11] = char(0xFF);
            break;
        }
        break;
    case RegistryDamage::OwnAncestor: {
        // A key below the first key with sub keys points back up at that key.
        const qsizetype parent = FirstKeyWithSubKeys(layout);
        const quint32 child = Get32(bytes, parent + FirstSubKey);
        const qsizetype childEntry = tree + child;
        Put32(bytes, childEntry + FirstSubKey, Get32(bytes, childEntry + Parent));
        break;
    }
    case RegistryDamage::SiblingLoop: {
        // The root's sub keys: the last one's next key becomes the first again.
        const qsizetype root = layout.keyEntryOffsets.front();
        const quint32 first = Get32(bytes, root + FirstSubKey);
        quint32 last = first;
        while (Get32(bytes, tree + last + NextKey) != None)
            last = Get32(bytes, tree + last + NextKey);
        Put32(bytes, tree + last + NextKey, first);
        break;
    }
    }
    return bytes;
}

}  // namespace stowix::tools
