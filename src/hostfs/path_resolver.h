#pragma once
// Finds where a DOS path lies under its drive's host folder, as Windows 9x would see the drive.
// It keeps the current drive and a current folder per drive, and an open descriptor of each
// drive's root.
//
// Guarantees:
// - Each component is found without regard to case. The name as given is tried first and the
//   folder is scanned only when that fails, so the usual exact-case path costs no folder read,
//   and an exact match wins over another that differs only in case.
// - Nothing leaves the drive's folder: ".." stops at the root, and a symbolic link that points
//   outside the drive (or anywhere by an absolute path) is never followed. Links inside the
//   drive are followed where files are read; where they are changed (Links::Refuse), a link
//   anywhere above the last component is refused, so that a link or rename made by software
//   inside the drive cannot lead a change to another folder.
// - A last component that does not exist keeps the case given, for the caller to create.
// It does not decide what an operation may do with the entry: posix_file_system does.

#include "dos/dos_path.h"
#include "fs/drive_map.h"
#include "hostfs/folder_name_cache.h"
#include "hostfs/host_calls.h"
#include "hostfs/seen_files.h"
#include "hostfs/unique_fd.h"
#include "services/result.h"

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>

namespace stowix::posix {

// Whether a lookup follows links inside the drive (to read) or refuses every link on its way
// (to change something). A last component that is a link is never followed by Locate either
// way: the Location tells that it is one.
enum class Links { Follow, Refuse };

// One configured drive and its open root.
struct DriveRoot {
    char16_t letter = u'C';
    std::string hostFolder;
    UniqueFd fd;  // O_RDONLY | O_DIRECTORY, so that it also serves syncfs and fstatfs
    dev_t device = 0;
    bool fat = false;           // a kernel FAT mount: attributes live in the FAT attribute byte
    QStringList currentFolder;  // components from the root, as stored
};

// Where one DOS path lies. The parent folder always exists when a Location is given out.
struct Location {
    DriveRoot* drive = nullptr;  // non-owning; the resolver owns its drives
    UniqueFd parentHolder;       // the parent, unless it is the drive's root
    int parentFd = -1;           // O_PATH descriptor of the parent: parentHolder or the root's
    std::string parentPath;      // the parent relative to the drive's root, "" for the root
    std::string name;            // the last component as stored (as given when missing);
                                 // empty when the path is the drive's root
    bool exists = false;
    struct stat info {};  // the entry itself, a link not followed; valid when it exists

    bool IsRoot() const { return name.empty(); }
    bool IsLink() const { return exists && S_ISLNK(info.st_mode); }
    // The entry relative to the drive's root ("." for the root).
    std::string RelativePath() const;
    EntryRef Entry() const { return {parentFd, name.c_str()}; }
};

// An existing folder opened for reading its entries.
struct OpenedFolder {
    DriveRoot* drive = nullptr;  // non-owning
    UniqueFd fd;                 // O_RDONLY | O_DIRECTORY
    std::string relativePath;    // from the drive's root, "" for the root
};

// An entry with any link inside the drive followed to what it names.
struct FollowedEntry {
    UniqueFd holder;  // set when a link was followed: an O_PATH descriptor of the target
    EntryRef entry{};
    struct stat info {};
};

// Components joined with "/" and encoded for the host, exactly as given (no case matching).
std::string HostPathOf(const QStringList& components);

class PathResolver {
public:
    explicit PathResolver(const DriveMap& drives);

    char16_t CurrentDrive() const { return m_currentDrive; }
    // Fails for a letter whose drive is not configured.
    Status ChangeDrive(QChar letter);
    // "C:\" or "C:\WINDOWS", as stored.
    QString CurrentFolder() const;
    // Makes an existing folder current on its drive (the drive itself stays as it is, as
    // Windows' CD does).
    Status ChangeFolder(const QString& path);

    // The path's drive and components; fails for a text that names no path.
    Result<DosPath> Parse(const QString& path) const;
    // The configured, open drive of a parsed path.
    Result<DriveRoot*> Drive(const DosPath& path, const QString& pathText);
    // Finds the path. Fails when its drive is missing or its parent folder does not exist (or is
    // no folder, or is reached only through a link out of the drive). A missing last component
    // is no failure: the Location says it does not exist.
    Result<Location> Locate(const DosPath& path, const QString& pathText,
                            Links links = Links::Follow);
    // Parse and Locate in one.
    Result<Location> Locate(const QString& path, Links links = Links::Follow);
    // Follows a link inside the drive; fails for one that leads out of it or to nothing (never
    // with NotFound: the link itself is there).
    Result<FollowedEntry> Follow(const Location& location, const QString& pathText);
    // Opens an existing folder of the drive for reading its entries; the exact path is tried
    // before any scan. Fails with ENOENT when there is no such folder.
    Result<OpenedFolder> OpenFolder(const DosPath& path, const QString& pathText,
                                    Links links = Links::Follow);

    // Removes one entry of a folder (flags: 0 or AT_REMOVEDIR) and records that in the folder's
    // remembered names.
    Status RemoveEntry(int folderFd, const std::string& name, int flags, const QString& pathText);

    // The names of recently scanned folders; changes made through this resolver's locations are
    // recorded here (FolderNameCache::BeforeChange, then AfterChange).
    FolderNameCache& Names() { return m_names; }
    // What listings with sizes saw of files, for the copies that follow them.
    SeenFiles& Seen() { return m_seen; }

private:
    // An existing folder given by components, opened O_PATH, and its stored relative path.
    struct Folder {
        UniqueFd fd;  // invalid for the root: use the drive's descriptor
        std::string relativePath;
    };
    Result<Folder> FindFolder(DriveRoot& drive, const QStringList& components,
                              const QString& pathText, Links links);
    // The stored name in folderFd that equals name without regard to case, if there is one.
    std::optional<std::string> FindIgnoringCase(int folderFd, const QString& name);
    Status OpenRoot(DriveRoot& drive, const QString& pathText);

    std::map<char16_t, DriveRoot> m_drives;
    FolderNameCache m_names;
    SeenFiles m_seen;
    char16_t m_currentDrive = u'C';
};

}  // namespace stowix::posix
