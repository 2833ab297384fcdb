#pragma once
// The registry of a Windows 98 Second Edition installation as key trees: SYSTEM.DAT
// (HKEY_LOCAL_MACHINE: Config, Enum, hardware, Network, Security, SOFTWARE, System) and USER.DAT
// (HKEY_USERS, with the .Default user). A few hundred keys each, with string, DWORD and binary
// values; fixed content, so the same call always gives the same tree.

#include "registry_tree.h"

#include <QtGlobal>

namespace stowix::tools {

// growToBytes > 0 adds the settings of installed programs under SOFTWARE until the keys fill
// about that many bytes of the file.
RegistryKeySpec Windows98SystemTree(qsizetype growToBytes = 0);
RegistryKeySpec Windows98UserTree();

}  // namespace stowix::tools
