#include "hostfs/path_resolver.h"

#include "dos/name_case.h"
#include "hostfs/host_errors.h"
#include "hostfs/host_names.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>

namespace stowix::posix {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + '/' + name;
}

// A lookup that ended at a link out of the drive, or at any link where links are refused, is a
// refusal of its own; anything else is the host's reason.
Status LookupFailure(const QString& pathText, int hostError, Links links = Links::Follow) {
    if (hostError == EXDEV) return RefusalFailure(pathText, Refusal::LeavesDrive);
    if (hostError == ELOOP && links == Links::Refuse)
        return RefusalFailure(pathText, Refusal::LinkInPath);
    return HostFailure(pathText, hostError);
}

// Opens a path beneath a drive's root, following links inside the drive or refusing them all.
UniqueFd OpenInDrive(const DriveRoot& drive, const char* path, int flags, Links links) {
    return OpenBeneath(drive.fd.Get(), path, flags, true, links == Links::Refuse);
}

// Why a drive's host folder cannot be opened, naming the drive and the folder: the user set the
// folder, and a missing one is not the same trouble as a Windows folder missing from it.
Status DriveFolderFailure(const DriveRoot& drive, int hostError) {
    const QString drivePart = QStringLiteral("drive ") + QChar(drive.letter) +
                              QStringLiteral(": (") +
                              QString::fromLocal8Bit(drive.hostFolder.c_str()) + u')';
    if (hostError == ENOENT) return Status::Fail(drivePart + QStringLiteral(" does not exist"));
    if (hostError == ENOTDIR) return Status::Fail(drivePart + QStringLiteral(" is not a folder"));
    return HostFailure(drivePart, hostError);
}

}  // namespace

std::string HostPathOf(const QStringList& components) {
    std::string path;
    for (const QString& component : components) {
        if (!path.empty()) path += '/';
        path += NameToHost(component);
    }
    return path;
}

std::string Location::RelativePath() const {
    if (IsRoot()) return ".";
    return Join(parentPath, name);
}

PathResolver::PathResolver(const DriveMap& drives) {
    for (const auto& [letter, source] : drives.Drives()) {
        if (source.kind != DriveKind::Folder) continue;  // an image is the image engine's
        DriveRoot& drive = m_drives[letter];
        drive.letter = letter;
        drive.hostFolder = source.hostPath;
        // A folder that is missing now may be mounted later: OpenRoot tries again on use.
        (void)OpenRoot(drive, QString());
    }
}

Status PathResolver::OpenRoot(DriveRoot& drive, const QString& pathText) {
    if (drive.fd.Valid()) return Status::Ok();
    UniqueFd fd(::open(drive.hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) return DriveFolderFailure(drive, errno);
    struct stat info {};
    struct statfs fileSystem {};
    if (::fstat(fd.Get(), &info) != 0 || ::fstatfs(fd.Get(), &fileSystem) != 0)
        return HostFailure(pathText, errno);
    drive.device = info.st_dev;
    drive.fat = fileSystem.f_type == MSDOS_SUPER_MAGIC;
    drive.fd = std::move(fd);
    return Status::Ok();
}

Status PathResolver::ChangeDrive(QChar letter) {
    const char16_t upper = letter.toUpper().unicode();
    if (m_drives.find(upper) == m_drives.end())
        return RefusalFailure(QChar(upper) + QStringLiteral(":"), Refusal::NoDrive);
    m_currentDrive = upper;
    return Status::Ok();
}

QString PathResolver::CurrentFolder() const {
    DosPath path;
    path.drive = m_currentDrive;
    const auto found = m_drives.find(m_currentDrive);
    if (found != m_drives.end()) path.components = found->second.currentFolder;
    return path.Text();
}

Status PathResolver::ChangeFolder(const QString& pathText) {
    Result<DosPath> path = Parse(pathText);
    if (!path) return path.status();
    Result<DriveRoot*> drive = Drive(path.value(), pathText);
    if (!drive) return drive.status();
    Result<Folder> folder =
        FindFolder(*drive.value(), path.value().components, pathText, Links::Follow);
    if (!folder) return folder.status();
    QStringList stored;
    const std::string& relative = folder.value().relativePath;
    for (size_t start = 0; start < relative.size();) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        stored.append(NameFromHost(std::string_view(relative).substr(start, end - start)));
        start = end + 1;
    }
    drive.value()->currentFolder = stored;
    return Status::Ok();
}

Result<DosPath> PathResolver::Parse(const QString& pathText) const {
    std::optional<DosPath> path = ParseDosPath(pathText, m_currentDrive, [this](char16_t letter) {
        const auto found = m_drives.find(letter);
        return found == m_drives.end() ? QStringList() : found->second.currentFolder;
    });
    if (!path) return RefusalFailure(pathText, Refusal::BadPath);
    return *path;
}

Result<DriveRoot*> PathResolver::Drive(const DosPath& path, const QString& pathText) {
    const auto found = m_drives.find(path.drive);
    if (found == m_drives.end()) return RefusalFailure(pathText, Refusal::NoDrive);
    if (Status opened = OpenRoot(found->second, pathText); !opened) return opened;
    return &found->second;
}

std::optional<std::string> PathResolver::FindIgnoringCase(int folderFd, const QString& name) {
    return m_names.Find(folderFd, name);
}

Result<PathResolver::Folder> PathResolver::FindFolder(DriveRoot& drive,
                                                      const QStringList& components,
                                                      const QString& pathText, Links links) {
    if (components.isEmpty()) return Folder{};

    std::string exact = HostPathOf(components);
    const int folderFlags = O_PATH | O_DIRECTORY;
    UniqueFd fd = OpenInDrive(drive, exact.c_str(), folderFlags, links);
    if (fd.Valid()) return Folder{std::move(fd), std::move(exact)};
    if (errno != ENOENT) return LookupFailure(pathText, errno, links);

    // Some component differs in case from the stored name: walk, exact name first each time.
    std::string stored;
    for (const QString& component : components) {
        std::string candidate = Join(stored, NameToHost(component));
        fd = OpenInDrive(drive, candidate.c_str(), folderFlags, links);
        if (!fd.Valid()) {
            if (errno != ENOENT) return LookupFailure(pathText, errno, links);
            std::optional<std::string> match;
            if (stored.empty()) {
                match = FindIgnoringCase(drive.fd.Get(), component);
            } else {
                UniqueFd parent = OpenInDrive(drive, stored.c_str(), folderFlags, links);
                if (parent.Valid()) match = FindIgnoringCase(parent.Get(), component);
            }
            if (!match) return HostFailure(pathText, ENOENT);
            candidate = Join(stored, *match);
            fd = OpenInDrive(drive, candidate.c_str(), folderFlags, links);
            if (!fd.Valid()) return LookupFailure(pathText, errno, links);
        }
        stored = std::move(candidate);
    }
    return Folder{std::move(fd), std::move(stored)};
}

Result<Location> PathResolver::Locate(const QString& pathText, Links links) {
    Result<DosPath> path = Parse(pathText);
    if (!path) return path.status();
    return Locate(path.value(), pathText, links);
}

Result<Location> PathResolver::Locate(const DosPath& path, const QString& pathText, Links links) {
    Result<DriveRoot*> drive = Drive(path, pathText);
    if (!drive) return drive.status();

    Location location;
    location.drive = drive.value();
    if (path.IsRoot()) {
        location.parentFd = location.drive->fd.Get();
        location.exists = ::fstat(location.parentFd, &location.info) == 0;
        if (!location.exists) return HostFailure(pathText, errno);
        return location;
    }

    const QStringList parentComponents = path.components.mid(0, path.components.size() - 1);
    Result<Folder> parent = FindFolder(*location.drive, parentComponents, pathText, links);
    if (!parent) return parent.status();
    Folder folder = std::move(parent).value();
    location.parentHolder = std::move(folder.fd);
    location.parentFd =
        location.parentHolder.Valid() ? location.parentHolder.Get() : location.drive->fd.Get();
    location.parentPath = std::move(folder.relativePath);

    const QString& last = path.components.last();
    location.name = NameToHost(last);
    if (::fstatat(location.parentFd, location.name.c_str(), &location.info, AT_SYMLINK_NOFOLLOW) ==
        0) {
        location.exists = true;
        return location;
    }
    if (errno != ENOENT) return HostFailure(pathText, errno);
    if (std::optional<std::string> stored = FindIgnoringCase(location.parentFd, last)) {
        if (::fstatat(location.parentFd, stored->c_str(), &location.info, AT_SYMLINK_NOFOLLOW) ==
            0) {
            location.name = std::move(*stored);
            location.exists = true;
        }
    }
    return location;
}

Status PathResolver::RemoveEntry(int folderFd, const std::string& name, int flags,
                                 const QString& pathText) {
    const struct stat before = FolderNameCache::BeforeChange(folderFd);
    if (::unlinkat(folderFd, name.c_str(), flags) != 0) return HostFailure(pathText, errno);
    m_names.AfterChange(folderFd, before, {}, name);
    return Status::Ok();
}

Result<FollowedEntry> PathResolver::Follow(const Location& location, const QString& pathText) {
    if (!location.exists) return HostFailure(pathText, ENOENT);
    FollowedEntry followed;
    if (!location.IsLink()) {
        followed.entry = location.Entry();
        followed.info = location.info;
        return followed;
    }
    followed.holder =
        OpenBeneath(location.drive->fd.Get(), location.RelativePath().c_str(), O_PATH);
    if (!followed.holder.Valid()) {
        // The link itself is there: one that leads to nothing is no missing file.
        if (errno == ENOENT) return RefusalFailure(pathText, Refusal::LinkToNothing);
        return LookupFailure(pathText, errno);
    }
    if (::fstat(followed.holder.Get(), &followed.info) != 0) return HostFailure(pathText, errno);
    followed.entry = EntryRef{followed.holder.Get(), ""};
    return followed;
}

Result<OpenedFolder> PathResolver::OpenFolder(const DosPath& path, const QString& pathText,
                                              Links links) {
    Result<DriveRoot*> drive = Drive(path, pathText);
    if (!drive) return drive.status();
    OpenedFolder opened;
    opened.drive = drive.value();
    const int flags = O_RDONLY | O_DIRECTORY;
    if (path.IsRoot()) {
        opened.fd.Reset(::openat(opened.drive->fd.Get(), ".", flags | O_CLOEXEC));
        if (!opened.fd.Valid()) return HostFailure(pathText, errno);
        return opened;
    }
    opened.relativePath = HostPathOf(path.components);
    opened.fd = OpenInDrive(*opened.drive, opened.relativePath.c_str(), flags, links);
    if (opened.fd.Valid()) return opened;
    if (errno != ENOENT) return LookupFailure(pathText, errno, links);
    Result<Folder> folder = FindFolder(*opened.drive, path.components, pathText, links);
    if (!folder) return folder.status();
    opened.relativePath = folder.value().relativePath;
    opened.fd = OpenInDrive(*opened.drive, opened.relativePath.c_str(), flags, links);
    if (!opened.fd.Valid()) return LookupFailure(pathText, errno, links);
    return opened;
}

}  // namespace stowix::posix
