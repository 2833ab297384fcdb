#pragma once
// A folder of a host drive held by its descriptor while a walk removes what it holds. The folder
// and every folder above it are opened again without following any link, so a path with a link
// in it is refused; from then on each entry is named relative to the open folder, and the folder
// itself is removed only while its name still leads to it. A rename or a link put in its place
// during the walk therefore cannot turn the walk to another folder.

#include "fs/file_system.h"
#include "hostfs/path_resolver.h"

#include <memory>

namespace stowix::posix {

Result<std::unique_ptr<HeldFolder>> HoldHostFolder(PathResolver& resolver, const QString& path);

}  // namespace stowix::posix
