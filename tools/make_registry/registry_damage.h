#pragma once
// Damaged variants of a sound registry file, one kind of damage each, for the tests of the
// registry check: what a failing disk, a half-written file or a faulty program leaves behind.

#include "registry_file_writer.h"

#include <QByteArray>

#include <vector>

namespace stowix::tools {

enum class RegistryDamage {
    CutShort,             // the file ends inside the data blocks that hold keys
    FileSignature,        // "CREG" is overwritten
    KeyTreeSignature,     // "RGKN" is overwritten
    FirstBlockSignature,  // the first data block, which holds the root key, is overwritten
    KeyOffsetOutOfRange,  // a key's first sub key lies beyond the key tree
    BlockOutOfRange,      // a key's name lies in a data block that does not exist
    ValueOutOfRange,      // a value's data runs beyond its key's entry
    OwnAncestor,          // a key's first sub key is the key's own parent
    SiblingLoop,          // the last of a run of sibling keys is followed by the first again
};

struct RegistryDamageName {
    RegistryDamage damage;
    const char* name;  // for the command line and test names: "cut-short", "sibling-loop", ...
};
const std::vector<RegistryDamageName>& RegistryDamages();

// The sound file's bytes with one kind of damage; the layout must be that of a tree whose root
// has at least two sub keys, one of them with sub keys of its own, and one key with a value.
QByteArray DamageRegistryFile(const RegistryFileLayout& layout, RegistryDamage damage);

}  // namespace stowix::tools
