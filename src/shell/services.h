#pragma once

#include "fs/file_system.h"
#include "services/settings_store.h"
#include "services/system.h"
#include "services/windows_api.h"
#include "view/dialogs.h"

namespace stowix {

// The platform services the commands use; non-owning, app/ or the test owns them.
struct Services {
    FileSystem& files;
    SettingsStore& settings;
    System& system;
    Dialogs& dialogs;
    WindowsApi& windows;
};

}  // namespace stowix
