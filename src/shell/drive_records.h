#pragma once
// What the program records of a drive (LastBackup, LastRestore, LastDelete, the keys of section
// Info) kept per drive, so that one machine's information box never names another's set. The
// records of a drive live in a section of their own, "Info-<id>", beside the key Drive that names
// the drive; every other key passes through to the store unchanged. A drive is named by its
// configured drive C: (drive_map.h): the canonical host path of its folder or image file, and
// the partition of an image when one is chosen, so that a link to the same folder is the same
// drive, and two partitions of one image are two.
//
// Settings written before records were kept per drive hold them in section Info itself. They
// belong to the drive that holds the set their LastBackup or LastRestore names (or to the first
// drive that runs, when they name no set): that drive reads them as its own, and its first
// write copies them into its section and marks them, with Info's key Drive, as taken. They are
// never removed. A drive that does not hold their sets starts with no records, and leaves them
// to the drive that does.

#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"

#include <QString>

#include <functional>

namespace stowix {

// The drive C: of the map as records name it; empty when there is no drive C:.
QString DriveRecordsName(const DriveMap& drives);

// A SetExists that looks on files: the path is a folder there.
std::function<bool(const QString& setPath)> SetFolderExists(FileSystem& files);

class DriveRecordsStore : public SettingsStore {
public:
    // True when a backup set folder of this DOS path exists on the drive.
    using SetExists = std::function<bool(const QString& setPath)>;

    DriveRecordsStore(SettingsStore& store, QString driveName, SetExists setExists);

    QString Read(const QString& application, const QString& section, const QString& key,
                 const QString& fallback) override;
    Status Write(const QString& application, const QString& section, const QString& key,
                 const QString& value) override;

    // The section that holds this drive's records.
    QString Section() const { return m_section; }

private:
    bool IsRecord(const QString& section, const QString& key) const;
    bool OwnsEarlierRecords(const QString& application);
    Status TakeEarlierRecords(const QString& application);

    SettingsStore& m_store;
    QString m_driveName;
    QString m_section;
    SetExists m_setExists;
};

}  // namespace stowix
