#pragma once
// This type implements the settings store over QSettings: one INI file per application in the
// user's configuration folder ($XDG_CONFIG_HOME/Stowix/<application>.ini). Every successful
// write is on disk when the call returns. A file that cannot be read or parsed gives the
// fallbacks and never stops the program; the first write over such a file moves it aside as
// <file>.corrupt and starts a fresh one, so that no value is lost to a file read as empty. It
// does not deal with the program's keys or defaults.

#include "services/settings_store.h"

#include <QString>

namespace stowix {

class QtSettingsStore : public SettingsStore {
public:
    // The files live in folder; empty means the user's configuration folder + "/Stowix", taken
    // afresh on each call so that XDG_CONFIG_HOME is honoured as it is now.
    explicit QtSettingsStore(QString folder = QString());

    QString Read(const QString& application, const QString& section, const QString& key,
                 const QString& fallback) override;
    Status Write(const QString& application, const QString& section, const QString& key,
                 const QString& value) override;
    // One save for all the values: a file that must be set aside is set aside once.
    Status WriteTogether(const QString& application, const QString& section,
                         const std::vector<std::pair<QString, QString>>& values) override;

    // The INI file that holds application's values.
    QString FilePath(const QString& application) const;

private:
    QString m_folder;
};

}  // namespace stowix
