#pragma once
// The per-user settings store: application, section and key to one text value. It does not
// deal with the program's keys or defaults (shell/settings.h fixes those).

#include "services/result.h"

#include <QString>

namespace stowix {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or fallback when the key or its section does not exist or the store
    // cannot be read.
    virtual QString Read(const QString& application, const QString& section, const QString& key,
                         const QString& fallback) = 0;
    // Creates or replaces the value; on success it is on disk when the call returns.
    virtual Status Write(const QString& application, const QString& section, const QString& key,
                         const QString& value) = 0;
};

}  // namespace stowix
