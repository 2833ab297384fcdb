#include "shell/settings.h"

namespace stowix {

QString ReadSetting(SettingsStore& store, const QString& section, const QString& key,
                    const QString& fallback) {
    return store.Read(SettingsKeys::Application, section, key, fallback);
}

Status WriteSetting(SettingsStore& store, const QString& section, const QString& key,
                    const QString& value) {
    return store.Write(SettingsKeys::Application, section, key, value);
}

}  // namespace stowix
