#pragma once

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "platform/system.h"
#include "platform/windows_api.h"

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
