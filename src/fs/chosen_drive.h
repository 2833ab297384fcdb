#pragma once
// The drive the user last chose in the window ("Select Windows Drive"), kept in the program's
// settings file ($XDG_CONFIG_HOME/Stowix/Stowix.ini, section Preferences, key Drive) so that
// the next start, and every command and the timer's backup, find it when nothing names a
// drive. Reading only: the window writes it through the settings store.

#include <QString>

#include <optional>
#include <string>

namespace stowix {

inline const QString ChosenDriveSection = QStringLiteral("Preferences");
inline const QString ChosenDriveKey = QStringLiteral("Drive");

// The host path of the chosen drive, or nothing when none was chosen or the file is unreadable.
std::optional<std::string> ChosenDrive();

}  // namespace stowix
