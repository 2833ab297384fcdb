#pragma once
// The registry reader that the comparisons use (file_comparison.h): it reads a SYSTEM.DAT or
// USER.DAT through the file system with the registry check (registry/registry_file_check.h),
// which walks it in a child process with limits, and turns the check's flat list of keys and
// values into the keys the registry comparison takes. A file that is damaged, or that could not
// be checked, is not read: its reason comes back. It does not deal with comparing the keys
// (registry_diff.h).

#include "compare/file_comparison.h"
#include "compare/registry_diff.h"
#include "registry/registry_item.h"

namespace stowix {

// The keys of a check's items, in the order the walk met them, each with its values in theirs.
RegistryKeys KeysOfRegistryItems(const RegistryItems& items);

// Reads a registry file with the registry check.
RegistryReader CheckedRegistryReader();

}  // namespace stowix
