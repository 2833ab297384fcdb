#pragma once
// Lays a key tree out as a Windows 9x registry file (the "CREG" format), as Windows 95 and 98
// write SYSTEM.DAT and USER.DAT: a 32-byte file header; the key tree ("RGKN"), one 28-byte entry
// per key holding its parent, first sub key and next sibling; then the data blocks ("RGDB"),
// each holding the name and values of a run of keys. The same tree always gives the same bytes.
// It also says where each structure lies, so that damaged variants can be made of a sound file.

#include "registry_tree.h"

#include <QByteArray>

#include <vector>

namespace stowix::tools {

struct RegistryFileLayout {
    QByteArray bytes;
    // File offsets: the key tree, each key's tree entry (depth first, the root first), each
    // key's first value entry (-1 for a key without values) and each data block.
    qsizetype keyTreeOffset = 0;
    std::vector<qsizetype> keyEntryOffsets;
    std::vector<qsizetype> firstValueOffsets;
    std::vector<qsizetype> dataBlockOffsets;
    int blocksWithKeys = 0;  // the data blocks after these hold only free space
};

// The root is the file's nameless root key; its sub keys are the hive's top keys. A file
// smaller than minimumSize (in bytes) is filled up with free data blocks, as a registry that
// has had keys deleted holds them.
RegistryFileLayout WriteRegistryFile(const RegistryKeySpec& root, qsizetype minimumSize = 0);

}  // namespace stowix::tools
