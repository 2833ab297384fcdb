#pragma once
// The real services of a run without a window (stowix /U and the commands): the configured
// drives opened through one helper that says why they could not be, the system, the settings
// store of the drive, and the Windows calls. Qt Core only: nothing here loads a GUI library.

#include "app/qt_system.h"
#include "app/terminal_dialogs.h"
#include "fs/file_system.h"
#include "services/program_values.h"
#include "services/settings_store.h"
#include "services/windows_api.h"
#include "sets/set_listing.h"
#include "shell/services.h"

#include <QString>

#include <memory>
#include <optional>

namespace stowix {

// Opens the drives the environment configures; when they cannot be opened, tells why as
// "<command>: <reason>" on standard error (escaped) and gives no file system, with status set to
// the exit status to end with: 2, or 5 when another copy of Stowix works in a drive's image.
std::unique_ptr<FileSystem> OpenDrivesOrSay(const QString& command, int& status);

// The floor of free space from the environment into values; false, told as OpenDrivesOrSay
// tells, when the environment's value is not one.
bool ReadMinimumFree(const QString& command, ProgramValues& values);

// When a set was made, read from its name in the user's locale's forms, the forms the backup
// wrote it in.
SetTimeReader LocaleSetTimes();

// What values say of drive C: as the configuration names it: the Wine prefix it belongs to (empty
// for any other drive), its path on the host (the prefix for a Wine drive) and the short name the
// window shows (the disk file's, the prefix's or the folder's).
void DescribeDriveC(ProgramValues& values);

// The single-copy lock of drive C: as the configuration names it: one copy of Stowix at a time
// works on one drive, and copies on different machines' drives do not wait for each other.
QString DriveLockFilePath();

// The names the settings are stored under: application and organisation "Stowix".
void NameApplication();

// What a command without a window uses. Build it after the drives are open.
class CommandServices {
public:
    // The system's single-copy lock is the drive's own (DriveLockFilePath).
    explicit CommandServices(std::unique_ptr<FileSystem> files);
    ~CommandServices();

    FileSystem& files() { return *m_files; }
    SettingsStore& settings();
    QtSystem& system() { return m_system; }
    Services services() { return {*m_files, settings(), m_system, m_dialogs, *m_windows}; }

private:
    std::unique_ptr<FileSystem> m_files;
    QtSystem m_system;
    TerminalDialogs m_dialogs;
    std::unique_ptr<WindowsApi> m_windows;
    struct Settings;
    std::unique_ptr<Settings> m_settings;
};

}  // namespace stowix
