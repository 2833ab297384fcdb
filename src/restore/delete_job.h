#pragma once
// The delete job: removes a backup set (sets/set_removal.h) and records a completed delete as
// LastDelete. The window's Delete command and stowix-delete both run it; it asks nothing and
// shows nothing.

#include "fs/file_system.h"
#include "services/settings_store.h"

#include <QString>

#include <functional>

namespace stowix {

// Removes setPath; once the set is gone it becomes LastDelete. A set folder that stays on disk
// (a subfolder, a file that resisted) is not recorded: LastDelete keeps naming the last set that
// really went. removed, when given, is told the removal's outcome before it is recorded, so that
// a front shows it first.
Status DeleteBackupSet(FileSystem& files, SettingsStore& settings, const QString& setPath,
                       const std::function<void(const Status&)>& removed = {});

}  // namespace stowix
