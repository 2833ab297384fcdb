#pragma once
// The per-user settings store: application, section and key to one text value. It does not
// deal with the program's keys or defaults (shell/settings.h fixes those).

#include "services/result.h"

#include <QString>

#include <utility>
#include <vector>

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
    // Creates or replaces several values of one section in one write, for values that belong
    // together; a store that can write them only one by one writes them in order.
    virtual Status WriteTogether(const QString& application, const QString& section,
                                 const std::vector<std::pair<QString, QString>>& values) {
        for (const auto& [key, value] : values)
            if (Status written = Write(application, section, key, value); !written) return written;
        return Status::Ok();
    }
};

}  // namespace stowix
