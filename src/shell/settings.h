#pragma once
// The one place that fixes the program's settings: application name, sections, keys, defaults.

#include "services/settings_store.h"

#include <QString>

namespace stowix {

namespace SettingsKeys {
inline const QString Application = QStringLiteral("Stowix");
inline const QString Preferences = QStringLiteral("Preferences");
inline const QString Info = QStringLiteral("Info");
inline const QString AutoExit = QStringLiteral("AutoExit");
inline const QString LastBackup = QStringLiteral("LastBackup");
inline const QString LastRestore = QStringLiteral("LastRestore");
inline const QString LastDelete = QStringLiteral("LastDelete");
// What the three Info keys show before they were ever written.
inline const QString None = QStringLiteral("None");
}  // namespace SettingsKeys

// The stored text under application "Stowix", or fallback when absent or unreadable.
QString ReadSetting(SettingsStore& store, const QString& section, const QString& key,
                    const QString& fallback);
// Creates or replaces the value; on success it is on disk when the call returns.
Status WriteSetting(SettingsStore& store, const QString& section, const QString& key,
                    const QString& value);

}  // namespace stowix
