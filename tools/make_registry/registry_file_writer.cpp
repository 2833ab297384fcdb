#include "registry_file_writer.h"

#include <QStringBuilder>

namespace stowix::tools {

namespace {

constexpr qsizetype FileHeaderSize = 0x20;
constexpr qsizetype KeyTreeHeaderSize = 0x20;
constexpr qsizetype KeyTreeEntrySize = 28;
constexpr qsizetype BlockHeaderSize = 0x20;
constexpr qsizetype KeyEntryHeaderSize = 20;
constexpr qsizetype ValueEntryHeaderSize = 12;
// Windows allocates the registry's blocks in pages; a data block holds at most 16 KiB of keys
// here (Windows' own blocks are no larger than 64 KiB), so that a realistic tree spans several.
constexpr qsizetype Page = 4096;
constexpr qsizetype BlockLimit = 16 * 1024;
constexpr qsizetype FreeBlockSize = 64 * 1024;
constexpr quint32 None = 0xFFFFFFFFu;
constexpr quint16 FreeEntryId = 0xFFFF;

void Put16(QByteArray& bytes, qsizetype at, quint16 value) {
    bytes[at] = char(value);
    bytes[at + 1] = char(value >> 8);
}

void Put32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

qsizetype RoundUp(qsizetype size, qsizetype unit) { return (size + unit - 1) / unit * unit; }

// The hash that the key tree keeps of a key's name: the sum of its characters upper-cased,
// those of the ASCII range only.
quint32 NameHash(const QByteArray& name) {
    quint32 hash = 0;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x80) hash += static_cast<unsigned char>(u >= 'a' && u <= 'z' ? u - 32 : u);
    }
    return hash;
}

struct FlatKey {
    const RegistryKeySpec* spec = nullptr;
    int parent = -1;
    int firstChild = -1;
    int next = -1;
    int block = 0;
    int id = 0;
};

void Flatten(const RegistryKeySpec& key, int parent, std::vector<FlatKey>& keys) {
    const int index = int(keys.size());
    keys.push_back({&key, parent, -1, -1, 0, 0});
    int previous = -1;
    for (const RegistryKeySpec& sub : key.subKeys) {
        const int child = int(keys.size());
        if (previous < 0)
            keys[index].firstChild = child;
        else
            keys[previous].next = child;
        previous = child;
        Flatten(sub, index, keys);
    }
}

qsizetype KeyEntrySize(const RegistryKeySpec& key) {
    qsizetype size = KeyEntryHeaderSize + key.name.size();
    for (const RegistryValueSpec& value : key.values)
        size += ValueEntryHeaderSize + value.name.size() + value.data.size();
    return size;
}

// One key's entry in a data block: its header and name, then each value's header, name and data.
// Sets valueOffset to the offset of the first value within the entry (-1 without values).
QByteArray KeyEntry(const RegistryKeySpec& key, int id, int block, qsizetype& valueOffset) {
    QByteArray entry(KeyEntryHeaderSize, '\0');
    const qsizetype size = KeyEntrySize(key);
    Put32(entry, 0, quint32(size));
    Put16(entry, 4, quint16(id));
    Put16(entry, 6, quint16(block));
    Put32(entry, 8, quint32(size));  // bytes in use: the whole entry
    Put16(entry, 12, quint16(key.name.size()));
    Put16(entry, 14, quint16(key.values.size()));
    entry += key.name;
    valueOffset = key.values.empty() ? -1 : entry.size();
    for (const RegistryValueSpec& value : key.values) {
        QByteArray header(ValueEntryHeaderSize, '\0');
        Put32(header, 0, value.type);
        Put16(header, 8, quint16(value.name.size()));
        Put16(header, 10, quint16(value.data.size()));
        entry += header + value.name + value.data;
    }
    return entry;
}

// A free entry covers a block's unused bytes, so that a reader stepping from entry to entry
// lands on the block's end.
QByteArray FreeEntry(qsizetype size) {
    QByteArray entry(size, '\0');
    Put32(entry, 0, quint32(size));
    Put16(entry, 4, FreeEntryId);
    Put16(entry, 6, FreeEntryId);
    return entry;
}

struct Block {
    QByteArray content;  // the entries, without the block header
    int nextId = 0;
    std::vector<std::pair<int, qsizetype>> firstValues;  // key, offset within content
};

// A block of whole pages, or of exactly `exactSize` bytes where that is given.
QByteArray FinishBlock(const Block& block, int number, qsizetype exactSize = 0) {
    const qsizetype used = BlockHeaderSize + block.content.size();
    qsizetype size = exactSize > 0 ? exactSize : RoundUp(used, Page);
    // The free entry needs room for its header; a sliver too small for one takes another page.
    if (size > used && size - used < KeyEntryHeaderSize) size += Page;
    QByteArray bytes(BlockHeaderSize, '\0');
    bytes.replace(0, 4, "RGDB");
    Put32(bytes, 4, quint32(size));
    Put32(bytes, 8, quint32(size - used));
    Put16(bytes, 14, quint16(number));
    Put32(bytes, 16, quint32(used));
    Put16(bytes, 20, quint16(block.nextId));
    bytes += block.content;
    if (size > used) bytes += FreeEntry(size - used);
    return bytes;
}

}  // namespace

RegistryFileLayout WriteRegistryFile(const RegistryKeySpec& root, qsizetype minimumSize) {
    std::vector<FlatKey> keys;
    Flatten(root, -1, keys);

    // The data blocks, keys in tree order, a new block when the next key does not fit.
    // The root key has no name and no values, so no entry in a data block: its tree entry says
    // so with the numbers 0xFFFF.
    keys[0].block = 0xFFFF;
    keys[0].id = 0xFFFF;
    std::vector<Block> blocks(1);
    for (int k = 1; k < int(keys.size()); ++k) {
        const qsizetype size = KeyEntrySize(*keys[k].spec);
        if (blocks.back().nextId > 0 &&
            BlockHeaderSize + blocks.back().content.size() + size > BlockLimit)
            blocks.emplace_back();
        Block& block = blocks.back();
        keys[k].block = int(blocks.size()) - 1;
        keys[k].id = block.nextId++;
        qsizetype valueOffset = -1;
        const qsizetype at = block.content.size();
        block.content += KeyEntry(*keys[k].spec, keys[k].id, keys[k].block, valueOffset);
        if (valueOffset >= 0) block.firstValues.push_back({k, at + valueOffset});
    }

    // The key tree: offsets in it count from its own start; the root entry follows the header.
    const qsizetype treeUsed = KeyTreeHeaderSize + KeyTreeEntrySize * qsizetype(keys.size());
    const qsizetype treeSize = RoundUp(treeUsed + KeyTreeHeaderSize, Page);
    QByteArray tree(treeSize, '\0');
    tree.replace(0, 4, "RGKN");
    Put32(tree, 4, quint32(treeSize));
    Put32(tree, 8, quint32(KeyTreeHeaderSize));
    Put32(tree, 12, quint32(treeUsed));
    auto entryOffset = [](int k) {
        return k < 0 ? None : quint32(KeyTreeHeaderSize + KeyTreeEntrySize * k);
    };
    for (int k = 0; k < int(keys.size()); ++k) {
        const qsizetype at = entryOffset(k);
        Put32(tree, at + 4, NameHash(keys[k].spec->name));
        Put32(tree, at + 8, None);
        Put32(tree, at + 12, entryOffset(keys[k].parent));
        Put32(tree, at + 16, entryOffset(keys[k].firstChild));
        Put32(tree, at + 20, entryOffset(keys[k].next));
        Put16(tree, at + 24, quint16(keys[k].id));
        Put16(tree, at + 26, quint16(keys[k].block));
    }

    RegistryFileLayout layout;
    layout.keyTreeOffset = FileHeaderSize;
    const qsizetype dataOffset = FileHeaderSize + treeSize;
    QByteArray data;
    layout.firstValueOffsets.assign(keys.size(), -1);
    for (int b = 0; b < int(blocks.size()); ++b) {
        const qsizetype blockOffset = dataOffset + data.size();
        layout.dataBlockOffsets.push_back(blockOffset);
        for (const auto& [key, offset] : blocks[b].firstValues)
            layout.firstValueOffsets[key] = blockOffset + BlockHeaderSize + offset;
        data += FinishBlock(blocks[b], b);
    }
    layout.blocksWithKeys = int(blocks.size());
    // Free blocks up to the exact size asked for; the last one takes what is left (a rest too
    // small for a block of its own goes to the one before it).
    while (dataOffset + data.size() < minimumSize) {
        qsizetype rest = minimumSize - dataOffset - data.size();
        if (rest > FreeBlockSize && rest < FreeBlockSize + Page) rest -= Page;
        const qsizetype size = std::min(rest, FreeBlockSize);
        if (size < BlockHeaderSize + KeyEntryHeaderSize) break;
        layout.dataBlockOffsets.push_back(dataOffset + data.size());
        data += FinishBlock(Block{}, int(layout.dataBlockOffsets.size()) - 1, size);
    }

    QByteArray header(FileHeaderSize, '\0');
    header.replace(0, 4, "CREG");
    Put16(header, 6, 1);  // format version 1.0, as Windows 95 and 98 write
    Put32(header, 8, quint32(dataOffset));
    Put16(header, 16, quint16(layout.dataBlockOffsets.size()));
    Put16(header, 22, 1);

    for (int k = 0; k < int(keys.size()); ++k)
        layout.keyEntryOffsets.push_back(FileHeaderSize + entryOffset(k));
    layout.bytes = header + tree + data;
    return layout;
}

}  // namespace stowix::tools
