#pragma once
// What the program records of a drive (LastBackup, LastRestore, LastDelete, the keys of section
// Info) kept per drive, so that one machine's information box never names another's set. The
// first drive keeps its records in section Info, as a program with one drive always kept them,
// and Info's key Drive names it; each other drive keeps them in a section of its own,
// "Info-<digest of its name>", beside a key Drive that names it. Every other key passes through
// to the store unchanged. A drive is named by its configured drive C: (drive_map.h): the
// canonical host path of its folder or image file, and the partition of an image when one is
// chosen, so that a link to the same folder is the same drive, and two partitions of one image
// are two.
//
// Settings written before records were kept per drive hold them in Info without the key Drive.
// They belong to the drive that holds the set their LastBackup or LastRestore names, or to the
// first drive that runs when they name no set; that drive reads them as its own and its first
// write names it as Info's drive. A drive that does not hold their sets starts with no records
// of its own, and leaves them to the drive that does. Nothing recorded is moved or removed.

#include "fs/drive_map.h"
#include "fs/file_system.h"
#include "services/settings_store.h"

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

private:
    bool IsRecord(const QString& section, const QString& key) const;
    QString SectionFor(const QString& application);
    bool OwnsUnnamedRecords(const QString& application);

    SettingsStore& m_store;
    QString m_driveName;
    QString m_ownSection;  // the section of a drive that is not Info's
    SetExists m_setExists;
};

}  // namespace stowix
