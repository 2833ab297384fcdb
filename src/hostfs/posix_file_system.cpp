#include "hostfs/posix_file_system.h"

#include "dos/ansi_code_page.h"
#include "dos/name_rules.h"
#include "dos/wildcard.h"
#include "hostfs/dos_attributes.h"
#include "hostfs/file_contents.h"
#include "hostfs/folder_listing.h"
#include "hostfs/folder_reader.h"
#include "hostfs/group_copy.h"
#include "hostfs/held_folder.h"
#include "hostfs/host_errors.h"
#include "hostfs/host_names.h"
#include "hostfs/path_resolver.h"
#include "hostfs/pending_file.h"
#include "hostfs/posix_file_reader.h"
#include "hostfs/vfat_aliases.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace stowix {

namespace {

using namespace posix;

constexpr mode_t WriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Where the DOS attributes of a followed entry are kept.
AttributeStore StoreOf(const Location& location, const FollowedEntry& entry) {
    return StoreFor(entry.entry, entry.info, location.drive->device, location.drive->fat);
}

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(const DriveMap& drives) : m_resolver(drives) {}

    Result<int> ReadAttributes(const QString& path) override;
    Status WriteAttributes(const QString& path, int attributes) override;
    Status WriteAttributesOfSingleFile(const QString& path, int attributes) override;
    Status CopyFile(const QString& source, const QString& destination) override;
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override;
    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override;
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override;
    Status DeleteFile(const QString& path) override;
    Status DeleteMatching(const QString& pattern) override;
    Status CreateFolder(const QString& path) override;
    Status RemoveEmptyFolder(const QString& path) override;
    Result<std::unique_ptr<HeldFolder>> HoldFolder(const QString& path) override;
    Status RestrictToOwner(const QString& path) override;
    Status CheckPrivateFolder(const QString& path) override;
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override;
    QString CurrentDrive() override;
    Status ChangeDrive(QChar letter) override;
    QString CurrentFolder() override;
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override;
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override;
    Result<FileFacts> ReadFileFacts(const QString& path) override;
    Result<std::vector<FileSize>> ListFileSizes(const QString& pattern, int mask) override;
    Status FlushToDisk(const QString& path) override;
    Result<DriveSpace> FreeSpace(const QString& path) override;
    Result<bool> IsLink(const QString& path) override;
    Result<QString> ShortAlias(const QString& path) override;

private:
    // An existing regular file opened for reading, the exact path tried before any scan.
    Result<UniqueFd> OpenSource(const QString& path, struct stat& info);
    // A new entry's name checked against Windows' rules, and its parent found.
    Result<Location> LocateNew(const QString& path);
    // Puts a finished file in place and records the name in the folder's remembered names.
    Status Commit(PendingFile& file, const Location& place, const struct stat& before,
                  const QString& path);
    // Creates or replaces destination with a new file: write gives it its bytes; then it gets
    // this attribute value (when set) and last-write time and is put in place in one step. A
    // folder or a read-only file in the way is refused.
    Status PlaceFile(const QString& destination, const std::function<Status(int fd)>& write,
                     std::optional<int> attributes, const struct timespec& lastWrite);
    // The existing entry at path, any link inside the drive followed, handed to use while the
    // descriptors that reach it are open; use's result, or why the entry was not found.
    template <typename Use>
    auto WithFollowed(const QString& path, Use use) {
        return WithEntry(path, Links::Follow, use);
    }
    // The same for a change: no link is followed, neither on the way nor the entry itself, so
    // that a link made by software inside the drive cannot turn the change to another file.
    template <typename Use>
    auto WithUnlinked(const QString& path, Use use) {
        return WithEntry(path, Links::Refuse, use);
    }
    template <typename Use>
    auto WithEntry(const QString& path, Links links, Use use) {
        using Returned =
            decltype(use(std::declval<const Location&>(), std::declval<const FollowedEntry&>()));
        Result<Location> location = m_resolver.Locate(path, links);
        if (!location) return Returned(location.status());
        if (links == Links::Refuse && location.value().IsLink())
            return Returned(RefusalFailure(path, Refusal::LinkInPath));
        Result<FollowedEntry> followed = m_resolver.Follow(location.value(), path);
        if (!followed) return Returned(followed.status());
        return use(location.value(), followed.value());
    }

    PathResolver m_resolver;
};

Result<int> PosixFileSystem::ReadAttributes(const QString& path) {
    return WithFollowed(path, [&](const Location& location, const FollowedEntry& entry) {
        return ReadDosAttributes(entry.entry, entry.info, StoreOf(location, entry), path);
    });
}

Status PosixFileSystem::WriteAttributes(const QString& path, int attributes) {
    return WithUnlinked(path, [&](const Location& location, const FollowedEntry& entry) {
        return WriteDosAttributes(entry.entry, entry.info, attributes, StoreOf(location, entry),
                                  path);
    });
}

Status PosixFileSystem::WriteAttributesOfSingleFile(const QString& path, int attributes) {
    return WithUnlinked(path, [&](const Location& location, const FollowedEntry& entry) {
        // The entry is opened once, its link count read from that descriptor and the change made
        // through it: a name swapped meanwhile for a hard link to a file outside the drive then
        // changes nothing, where a second lookup by name would change that file.
        const bool named = entry.entry.name != nullptr && entry.entry.name[0] != '\0';
        UniqueFd held(
            named ? ::openat(entry.entry.dirFd, entry.entry.name, O_PATH | O_NOFOLLOW | O_CLOEXEC)
                  : ::fcntl(entry.entry.dirFd, F_DUPFD_CLOEXEC, 0));
        struct stat info {};
        if (!held.Valid() || ::fstat(held.Get(), &info) != 0) return HostFailure(path, errno);
        if (S_ISLNK(info.st_mode)) return RefusalFailure(path, Refusal::LinkInPath);
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1)
            return Status::Fail(path + QStringLiteral(": The file has ") +
                                QString::number(info.st_nlink) +
                                QStringLiteral(" names on the host (hard links); its attributes "
                                               "are not changed, as that would change them "
                                               "under every name"));
        const EntryRef self{held.Get(), ""};
        const AttributeStore store =
            StoreFor(self, info, location.drive->device, location.drive->fat);
        return WriteDosAttributes(self, info, attributes, store, path);
    });
}

Result<UniqueFd> PosixFileSystem::OpenSource(const QString& path, struct stat& info) {
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed) return parsed.status();
    Result<DriveRoot*> drive = m_resolver.Drive(parsed.value(), path);
    if (!drive) return drive.status();
    // Never blocks on a pipe, never takes a terminal: anything but a file is refused below.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    const std::string exact = HostPathOf(parsed.value().components);
    UniqueFd fd = OpenBeneath(drive.value()->fd.Get(), exact.c_str(), flags);
    if (!fd.Valid()) {
        if (errno != ENOENT)
            return errno == EXDEV ? RefusalFailure(path, Refusal::LeavesDrive)
                                  : HostFailure(path, errno);
        Result<Location> location = m_resolver.Locate(parsed.value(), path);
        if (!location) return location.status();
        if (!location.value().exists) return HostFailure(path, ENOENT);
        fd = OpenBeneath(drive.value()->fd.Get(), location.value().RelativePath().c_str(), flags);
        if (!fd.Valid()) {
            if (errno == ENOENT && location.value().IsLink())
                return RefusalFailure(path, Refusal::LinkToNothing);
            return errno == EXDEV ? RefusalFailure(path, Refusal::LeavesDrive)
                                  : HostFailure(path, errno);
        }
    }
    if (::fstat(fd.Get(), &info) != 0) return HostFailure(path, errno);
    if (S_ISDIR(info.st_mode)) return RefusalFailure(path, Refusal::IsFolder);
    if (!S_ISREG(info.st_mode)) return RefusalFailure(path, Refusal::NotAFile);
    return fd;
}

Result<Location> PosixFileSystem::LocateNew(const QString& path) {
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed) return parsed.status();
    if (parsed.value().IsRoot()) return RefusalFailure(path, Refusal::DriveRoot);
    const QString refusal = NameRefusal(parsed.value().components.last());
    if (!refusal.isEmpty()) return NameFailure(path, refusal);
    return m_resolver.Locate(parsed.value(), path, Links::Refuse);
}

Status PosixFileSystem::Commit(PendingFile& file, const Location& place, const struct stat& before,
                               const QString& path) {
    if (Status committed = file.Commit(place.name, path); !committed) return committed;
    m_resolver.Names().AfterChange(place.parentFd, before, place.name, {});
    return Status::Ok();
}

Status PosixFileSystem::CopyFile(const QString& source, const QString& destination) {
    struct stat sourceInfo {};
    Result<UniqueFd> input = OpenSource(source, sourceInfo);
    if (!input) return input.status();
    const auto write = [&](int output) {
        if (const int error = CopyContents(input.value().Get(), output, sourceInfo.st_size,
                                           MayHaveHoles(sourceInfo)))
            return HostFailure(destination, error);
        return CheckUnchanged(input.value().Get(), sourceInfo, source);
    };
    // The last-write time travels with the copy, as Windows' copy keeps it.
    return PlaceFile(destination, write, std::nullopt, sourceInfo.st_mtim);
}

Status PosixFileSystem::WriteFileFrom(FileReader& source, std::optional<int> attributes,
                                      const QDateTime& lastWrite, const QString& destination,
                                      const std::function<Status()>& beforePlacing) {
    const auto write = [&](int output) {
        std::vector<char> buffer(
            size_t(std::min<qint64>(std::max<qint64>(source.Size(), 1), 1024 * 1024)));
        for (qint64 done = 0; done < source.Size();) {
            Result<qint64> got = source.ReadAt(
                done, buffer.data(), std::min<qint64>(qint64(buffer.size()), source.Size() - done));
            if (!got) return got.status();
            if (got.value() == 0)
                return Status::Fail(destination + QStringLiteral(": The source file became "
                                                                 "shorter while it was copied"));
            for (qint64 put = 0; put < got.value();) {
                const ssize_t wrote =
                    ::write(output, buffer.data() + put, size_t(got.value() - put));
                if (wrote < 0 && errno == EINTR) continue;
                if (wrote < 0) return HostFailure(destination, errno);
                put += wrote;
            }
            done += got.value();
        }
        return beforePlacing ? beforePlacing() : Status::Ok();
    };
    struct timespec time {
        0, UTIME_NOW
    };
    if (lastWrite.isValid()) {
        const qint64 milliseconds = lastWrite.toMSecsSinceEpoch();
        time.tv_sec = time_t(milliseconds / 1000);
        time.tv_nsec = long(milliseconds % 1000) * 1000000;
        if (time.tv_nsec < 0) {
            time.tv_sec -= 1;
            time.tv_nsec += 1000000000;
        }
    }
    return PlaceFile(destination, write, attributes, time);
}

Status PosixFileSystem::PlaceFile(const QString& destination,
                                  const std::function<Status(int fd)>& write,
                                  std::optional<int> attributes, const struct timespec& lastWrite) {
    Result<Location> target = LocateNew(destination);
    if (!target) return target.status();
    const Location& place = target.value();
    if (place.exists) {
        if (S_ISDIR(place.info.st_mode)) return RefusalFailure(destination, Refusal::IsFolder);
        // Windows refuses to overwrite a read-only file; callers clear its attributes first.
        if (IsReadOnlyFile(place.info)) return RefusalFailure(destination, Refusal::ReadOnly);
    }

    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    Result<PendingFile> pending =
        PendingFile::Create(place.parentFd, 0666, place.exists, destination);
    if (!pending) return pending.status();
    PendingFile output = std::move(pending).value();
    if (Status written = write(output.Fd()); !written) return written;
    // The attributes go on the file before it is in place: a copy whose attributes cannot be
    // stored is never seen.
    if (attributes) {
        struct stat fresh {};
        if (::fstat(output.Fd(), &fresh) != 0) return HostFailure(destination, errno);
        if (Status stored = WriteDosAttributes({output.Fd(), ""}, fresh, *attributes,
                                               AttributeStore::ExtendedAttribute, destination);
            !stored)
            return stored;
    }
    // The access time is the file's own.
    const struct timespec times[2] = {{0, UTIME_OMIT}, lastWrite};
    if (::futimens(output.Fd(), times) != 0) return HostFailure(destination, errno);
    return Commit(output, place, before, destination);
}

Result<bool> PosixFileSystem::CopyFileKeepingAttributes(const QString& source,
                                                        const QString& destination) {
    return CopyFilesKeepingAttributes({{source, destination}}, {}).front();
}

std::vector<Result<bool>> PosixFileSystem::CopyFilesKeepingAttributes(
    const std::vector<FileCopy>& copies, const std::function<void(size_t)>& beforeEach) {
    return posix::CopyKeepingAttributes(
        m_resolver, copies, beforeEach, [this](const FileCopy& copy) {
            return FileSystem::CopyFileKeepingAttributes(copy.source, copy.destination);
        });
}

Status PosixFileSystem::DeleteFile(const QString& path) {
    Result<Location> location = m_resolver.Locate(path, Links::Refuse);
    if (!location) return location.status();
    const Location& place = location.value();
    if (!place.exists) return HostFailure(path, ENOENT);
    if (place.IsRoot() || S_ISDIR(place.info.st_mode))
        return RefusalFailure(path, Refusal::IsFolder);
    if (IsReadOnlyFile(place.info)) return RefusalFailure(path, Refusal::ReadOnly);
    // A link is removed itself, never what it points to.
    return m_resolver.RemoveEntry(place.parentFd, place.name, 0, path);
}

Status PosixFileSystem::CreateFolder(const QString& path) {
    Result<Location> location = LocateNew(path);
    if (!location) return location.status();
    const Location& place = location.value();
    if (place.exists) return RefusalFailure(path, Refusal::Exists);
    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    if (::mkdirat(place.parentFd, place.name.c_str(), 0777) != 0) return HostFailure(path, errno);
    m_resolver.Names().AfterChange(place.parentFd, before, place.name, {});
    return Status::Ok();
}

Status PosixFileSystem::DeleteMatching(const QString& pattern) {
    return DeleteMatchingFiles(m_resolver, pattern);
}

Status PosixFileSystem::RemoveEmptyFolder(const QString& path) {
    Result<Location> location = m_resolver.Locate(path, Links::Refuse);
    if (!location) return location.status();
    const Location& place = location.value();
    if (!place.exists) return HostFailure(path, ENOENT);
    if (place.IsRoot()) return RefusalFailure(path, Refusal::DriveRoot);
    if (!S_ISDIR(place.info.st_mode)) return HostFailure(path, ENOTDIR);
    // A folder that holds only what killed copies left behind is empty to the user, who cannot
    // see those files: they go with it.
    if (UniqueFd folder(::openat(place.parentFd, place.name.c_str(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        folder.Valid())
        RemoveLeftPendingFiles(folder.Get());
    return m_resolver.RemoveEntry(place.parentFd, place.name, AT_REMOVEDIR, path);
}

Status PosixFileSystem::RestrictToOwner(const QString& path) {
    return WithUnlinked(path, [&](const Location&, const FollowedEntry& folder) {
        if (!S_ISDIR(folder.info.st_mode)) return HostFailure(path, ENOTDIR);
        // A folder without write bits is read-only as a DOS attribute, and stays so.
        const mode_t mode = (folder.info.st_mode & WriteBits) == 0 ? 0500 : 0700;
        if (ChangeMode(folder.entry, mode) != 0) return HostFailure(path, errno);
        return Status::Ok();
    });
}

Result<std::unique_ptr<HeldFolder>> PosixFileSystem::HoldFolder(const QString& path) {
    return HoldHostFolder(m_resolver, path);
}

namespace {

QString OwnerName(uid_t owner) {
    const struct passwd* account = ::getpwuid(owner);
    const QString number = QStringLiteral("uid ") + QString::number(owner);
    if (account == nullptr || account->pw_name == nullptr) return number;
    return QString::fromLocal8Bit(account->pw_name) + QStringLiteral(" (") + number + u')';
}

}  // namespace

Status PosixFileSystem::CheckPrivateFolder(const QString& path) {
    Result<Location> location = m_resolver.Locate(path);
    if (!location) return location.status();
    const Location& place = location.value();
    if (!place.exists) return HostFailure(path, ENOENT);
    if (place.IsLink())
        return Status::Fail(path + QStringLiteral(" is a link, which is not followed"));
    if (!S_ISDIR(place.info.st_mode)) return HostFailure(path, ENOTDIR);
    const bool foreign = place.info.st_uid != ::geteuid();
    const bool openToOthers = (place.info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (!foreign && !openToOthers) return Status::Ok();
    const QString mode = QStringLiteral("0%1").arg(place.info.st_mode & 07777, 3, 8, QChar(u'0'));
    return Status::Fail(path + QStringLiteral(" belongs to ") + OwnerName(place.info.st_uid) +
                        QStringLiteral(" and has mode ") + mode +
                        QStringLiteral("; a folder that holds password lists and registries "
                                       "must be yours and writable by you alone"));
}

Result<std::vector<FolderEntry>> PosixFileSystem::ListFolder(const QString& pattern, int mask) {
    return ListFolderEntries(m_resolver, pattern, mask);
}

QString PosixFileSystem::CurrentDrive() {
    return QChar(m_resolver.CurrentDrive()) + QStringLiteral(":");
}

Status PosixFileSystem::ChangeDrive(QChar letter) { return m_resolver.ChangeDrive(letter); }

QString PosixFileSystem::CurrentFolder() { return m_resolver.CurrentFolder(); }

Status PosixFileSystem::WriteTextFile(const QString& path, const std::vector<QString>& lines) {
    Result<Location> location = LocateNew(path);
    if (!location) return location.status();
    const Location& place = location.value();
    const bool replacing = place.exists && S_ISREG(place.info.st_mode);
    if (place.exists) {
        if (S_ISDIR(place.info.st_mode)) return RefusalFailure(path, Refusal::IsFolder);
        if (IsReadOnlyFile(place.info)) return RefusalFailure(path, Refusal::ReadOnly);
    }

    QByteArray text;
    for (const QString& line : lines) {
        text += ToWindows1252(line);
        text += "\r\n";
    }

    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    Result<PendingFile> pending = PendingFile::Create(place.parentFd, 0666, place.exists, path);
    if (!pending) return pending.status();
    PendingFile output = std::move(pending).value();
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t put =
            ::write(output.Fd(), text.constData() + done, size_t(text.size() - done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return HostFailure(path, errno);
        }
        done += put;
    }
    if (replacing) {
        // Windows rewrites a file in place, so it keeps its permissions and attributes.
        if (::fchmod(output.Fd(), place.info.st_mode & 07777) != 0) return HostFailure(path, errno);
        char stored[256];
        const ssize_t length =
            GetExtendedAttribute(place.Entry(), DosAttributeName, stored, sizeof stored);
        if (length > 0 &&
            ::fsetxattr(output.Fd(), DosAttributeName, stored, size_t(length), 0) != 0)
            return HostFailure(path, errno);
    }
    return Commit(output, place, before, path);
}

Result<FileFacts> PosixFileSystem::ReadFileFacts(const QString& path) {
    return WithFollowed(
        path, [&](const Location& location, const FollowedEntry& entry) -> Result<FileFacts> {
            if (S_ISDIR(entry.info.st_mode)) return RefusalFailure(path, Refusal::IsFolder);
            if (!S_ISREG(entry.info.st_mode)) return RefusalFailure(path, Refusal::NotAFile);
            Result<int> attributes =
                ReadDosAttributes(entry.entry, entry.info, StoreOf(location, entry), path);
            if (!attributes) return attributes.status();
            FileFacts facts;
            facts.size = qint64(entry.info.st_size);
            facts.lastWrite = QDateTime::fromMSecsSinceEpoch(
                qint64(entry.info.st_mtim.tv_sec) * 1000 + entry.info.st_mtim.tv_nsec / 1000000,
                Qt::UTC);
            facts.attributes = attributes.value();
            return facts;
        });
}

Result<std::vector<FileSize>> PosixFileSystem::ListFileSizes(const QString& pattern, int mask) {
    return ListFileSizesIn(m_resolver, pattern, mask,
                           [this](const QString& path) { return ReadFileFacts(path); });
}

Result<std::unique_ptr<FileReader>> PosixFileSystem::OpenForReading(const QString& path) {
    struct stat info {};
    Result<UniqueFd> opened = OpenSource(path, info);
    if (!opened) return opened.status();
    return MakePosixFileReader(std::move(opened).value(), qint64(info.st_size), path);
}

Status PosixFileSystem::FlushToDisk(const QString& path) {
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed) return parsed.status();
    Result<DriveRoot*> drive = m_resolver.Drive(parsed.value(), path);
    if (!drive) return drive.status();
    if (::syncfs(drive.value()->fd.Get()) != 0) return HostFailure(path, errno);
    return Status::Ok();
}

// Only a kernel FAT mount keeps aliases; any other host folder has none.
Result<QString> PosixFileSystem::ShortAlias(const QString& path) {
    Result<Location> location = m_resolver.Locate(path);
    if (!location) return location.status();
    const Location& place = location.value();
    if (!place.exists || place.IsRoot()) return HostFailure(path, ENOENT);
    if (place.drive->fat) {
        if (std::optional<std::string> alias = VfatAlias(place.parentFd, place.name))
            return QString::fromLatin1(alias->c_str());
    }
    return FileSystem::ShortAlias(path);
}

Result<DriveSpace> PosixFileSystem::FreeSpace(const QString& path) {
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed) return parsed.status();
    Result<DriveRoot*> drive = m_resolver.Drive(parsed.value(), path);
    if (!drive) return drive.status();
    struct statvfs info {};
    if (::fstatvfs(drive.value()->fd.Get(), &info) != 0) return HostFailure(path, errno);
    // What an unprivileged writer may still use: the blocks kept for root are not counted, so
    // that the answer is the same whoever runs the program.
    DriveSpace space;
    space.unitBytes = std::max<qint64>(1, qint64(info.f_frsize));
    space.freeBytes = qint64(info.f_bavail) * space.unitBytes;
    return space;
}

Result<bool> PosixFileSystem::IsLink(const QString& path) {
    Result<Location> location = m_resolver.Locate(path);
    if (!location) return location.status();
    return location.value().IsLink();
}

}  // namespace

std::unique_ptr<FileSystem> MakePosixFileSystem(DriveMap drives) {
    return std::make_unique<PosixFileSystem>(drives);
}

}  // namespace stowix
