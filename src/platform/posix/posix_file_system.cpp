#include "platform/posix/posix_file_system.h"

#include "platform/posix/ansi_text.h"
#include "platform/posix/dos_attributes.h"
#include "platform/posix/file_contents.h"
#include "platform/posix/folder_reader.h"
#include "platform/posix/host_errors.h"
#include "platform/posix/host_names.h"
#include "platform/posix/name_rules.h"
#include "platform/posix/path_resolver.h"
#include "platform/posix/pending_file.h"
#include "platform/posix/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace stowix {

namespace {

using namespace posix;

constexpr mode_t WriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int KindBits = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

bool IsReadOnlyFile(const struct stat& info)
{
    return S_ISREG(info.st_mode) && (info.st_mode & WriteBits) == 0;
}

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

// The DOS path of an entry in a listed folder, for failure texts.
QString EntryText(const DosPath& folder, const QString& name)
{
    DosPath entry = folder;
    entry.components.append(name);
    return entry.Text();
}

// The decoded name when it matches the pattern. ASCII names, nearly all on a Windows drive, are
// tried before they are decoded, so a name that does not match costs no text.
std::optional<QString> MatchingName(const WildcardPattern& wildcard, std::string_view name)
{
    if (IsAscii(name)) {
        if (!wildcard.MatchesAscii(name))
            return std::nullopt;
        return QString::fromLatin1(name.data(), qsizetype(name.size()));
    }
    QString decoded = NameFromHost(name);
    if (!wildcard.Matches(decoded))
        return std::nullopt;
    return decoded;
}

// Room for the entries of a folder of this host size, so that a large listing is not copied
// again and again as it grows. Directory sizes only hint at the count; the guess is capped.
size_t ExpectedEntries(int folderFd)
{
    struct stat info {};
    if (::fstat(folderFd, &info) != 0)
        return 0;
    return std::min<size_t>(size_t(info.st_size) / 24, 1 << 20);
}

// Whether a listing with this mask takes an entry with these attributes: plain files always,
// read-only, hidden, system files and folders only when their bits are in the mask.
bool MaskTakes(int mask, int attributes)
{
    return (attributes & (KindBits | Attribute::Folder) & ~mask) == 0;
}

class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(const DriveMap& drives) : m_resolver(drives) {}

    Result<int> ReadAttributes(const QString& path) override;
    Status WriteAttributes(const QString& path, int attributes) override;
    Status CopyFile(const QString& source, const QString& destination) override;
    Status DeleteFile(const QString& path) override;
    Status DeleteMatching(const QString& pattern) override;
    Status CreateFolder(const QString& path) override;
    Status RemoveEmptyFolder(const QString& path) override;
    Status RestrictToOwner(const QString& path) override;
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override;
    QString CurrentDrive() override;
    Status ChangeDrive(QChar letter) override;
    QString CurrentFolder() override;
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override;
    Status FlushToDisk(const QString& path) override;

private:
    // Where the entry's hidden, system and archive bits live: the drive's own kind, unless the
    // entry lies on another file system mounted inside the drive.
    static AttributeStore StoreFor(const DriveRoot& drive, EntryRef entry,
                                   const struct stat& info);
    // An existing regular file opened for reading, the exact path tried before any scan.
    Result<UniqueFd> OpenSource(const QString& path, struct stat& info);
    // One entry of an open folder, a link inside the drive followed to what it names.
    struct Inspected {
        struct stat info {};  // of the entry, or of a link's target
        UniqueFd target;      // a link's target, opened O_PATH
        EntryRef entry{};     // names the entry, or the target; borrows the name given
    };
    // Nothing for an entry that is gone, or a link that leads out of the drive or to nothing:
    // such entries are not shown.
    static std::optional<Inspected> InspectEntry(const OpenedFolder& folder,
                                                 const std::string& name);
    // The listing's entry for one folder entry, or nothing when the mask does not take it.
    // type: the d_type from the folder read, which spares a stat when the mask needs none.
    std::optional<FolderEntry> ListedEntry(const OpenedFolder& folder, const std::string& name,
                                           unsigned char type, int mask, const DosPath& folderPath);
    // A new entry's name checked against Windows' rules, and its parent found.
    Result<Location> LocateNew(const QString& path);
    // Puts a finished file in place and records the name in the folder's remembered names.
    Status Commit(PendingFile& file, const Location& place, const struct stat& before,
                  const QString& path);
    // Removes one entry of a folder (flags: 0 or AT_REMOVEDIR), recording it likewise.
    Status Remove(int folderFd, const std::string& name, int flags, const QString& path);

    PathResolver m_resolver;
};

AttributeStore PosixFileSystem::StoreFor(const DriveRoot& drive, EntryRef entry,
                                         const struct stat& info)
{
    if (info.st_dev == drive.device)
        return drive.fat ? AttributeStore::FatAttributeByte : AttributeStore::ExtendedAttribute;
    struct statfs fileSystem {};
    if (::statfs(DescriptorPath(entry).c_str(), &fileSystem) == 0 &&
        fileSystem.f_type == MSDOS_SUPER_MAGIC)
        return AttributeStore::FatAttributeByte;
    return AttributeStore::ExtendedAttribute;
}

Result<int> PosixFileSystem::ReadAttributes(const QString& path)
{
    Result<Location> location = m_resolver.Locate(path);
    if (!location)
        return location.status();
    Result<FollowedEntry> followed = m_resolver.Follow(location.value(), path);
    if (!followed)
        return followed.status();
    const FollowedEntry& entry = followed.value();
    return ReadDosAttributes(entry.entry, entry.info,
                             StoreFor(*location.value().drive, entry.entry, entry.info), path);
}

Status PosixFileSystem::WriteAttributes(const QString& path, int attributes)
{
    Result<Location> location = m_resolver.Locate(path);
    if (!location)
        return location.status();
    Result<FollowedEntry> followed = m_resolver.Follow(location.value(), path);
    if (!followed)
        return followed.status();
    const FollowedEntry& entry = followed.value();
    return WriteDosAttributes(entry.entry, entry.info, attributes,
                              StoreFor(*location.value().drive, entry.entry, entry.info), path);
}

Result<UniqueFd> PosixFileSystem::OpenSource(const QString& path, struct stat& info)
{
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed)
        return parsed.status();
    Result<DriveRoot*> drive = m_resolver.Drive(parsed.value(), path);
    if (!drive)
        return drive.status();
    // Never blocks on a pipe, never takes a terminal: anything but a file is refused below.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    const std::string exact = HostPathOf(parsed.value().components);
    UniqueFd fd = OpenBeneath(drive.value()->fd.Get(), exact.c_str(), flags);
    if (!fd.Valid()) {
        if (errno != ENOENT)
            return errno == EXDEV ? RefusalFailure(path, Refusal::LeavesDrive)
                                  : HostFailure(path, errno);
        Result<Location> location = m_resolver.Locate(parsed.value(), path);
        if (!location)
            return location.status();
        if (!location.value().exists)
            return HostFailure(path, ENOENT);
        fd = OpenBeneath(drive.value()->fd.Get(), location.value().RelativePath().c_str(), flags);
        if (!fd.Valid())
            return errno == EXDEV ? RefusalFailure(path, Refusal::LeavesDrive)
                                  : HostFailure(path, errno);
    }
    if (::fstat(fd.Get(), &info) != 0)
        return HostFailure(path, errno);
    if (S_ISDIR(info.st_mode))
        return RefusalFailure(path, Refusal::IsFolder);
    if (!S_ISREG(info.st_mode))
        return RefusalFailure(path, Refusal::NotAFile);
    return fd;
}

Result<Location> PosixFileSystem::LocateNew(const QString& path)
{
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed)
        return parsed.status();
    if (parsed.value().IsRoot())
        return RefusalFailure(path, Refusal::DriveRoot);
    const QString refusal = NameRefusal(parsed.value().components.last());
    if (!refusal.isEmpty())
        return NameFailure(path, refusal);
    return m_resolver.Locate(parsed.value(), path);
}

Status PosixFileSystem::Commit(PendingFile& file, const Location& place,
                               const struct stat& before, const QString& path)
{
    if (Status committed = file.Commit(place.name, path); !committed)
        return committed;
    m_resolver.Names().AfterChange(place.parentFd, before, place.name, {});
    return Status::Ok();
}

Status PosixFileSystem::Remove(int folderFd, const std::string& name, int flags,
                               const QString& path)
{
    const struct stat before = FolderNameCache::BeforeChange(folderFd);
    if (::unlinkat(folderFd, name.c_str(), flags) != 0)
        return HostFailure(path, errno);
    m_resolver.Names().AfterChange(folderFd, before, {}, name);
    return Status::Ok();
}

Status PosixFileSystem::CopyFile(const QString& source, const QString& destination)
{
    struct stat sourceInfo {};
    Result<UniqueFd> input = OpenSource(source, sourceInfo);
    if (!input)
        return input.status();

    Result<Location> target = LocateNew(destination);
    if (!target)
        return target.status();
    const Location& place = target.value();
    if (place.exists) {
        if (S_ISDIR(place.info.st_mode))
            return RefusalFailure(destination, Refusal::IsFolder);
        // Windows refuses to overwrite a read-only file; callers clear its attributes first.
        if (IsReadOnlyFile(place.info))
            return RefusalFailure(destination, Refusal::ReadOnly);
    }

    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    Result<PendingFile> pending =
        PendingFile::Create(place.parentFd, 0666, place.exists, destination);
    if (!pending)
        return pending.status();
    PendingFile output = std::move(pending).value();
    if (const int error = CopyContents(input.value().Get(), output.Fd(), sourceInfo.st_size))
        return HostFailure(destination, error);
    // The last-write time travels with the copy, as Windows' copy keeps it; the access time is
    // the copy's own.
    const struct timespec times[2] = {{0, UTIME_OMIT}, sourceInfo.st_mtim};
    if (::futimens(output.Fd(), times) != 0)
        return HostFailure(destination, errno);
    return Commit(output, place, before, destination);
}

Status PosixFileSystem::DeleteFile(const QString& path)
{
    Result<Location> location = m_resolver.Locate(path);
    if (!location)
        return location.status();
    const Location& place = location.value();
    if (!place.exists)
        return HostFailure(path, ENOENT);
    if (place.IsRoot() || S_ISDIR(place.info.st_mode))
        return RefusalFailure(path, Refusal::IsFolder);
    if (IsReadOnlyFile(place.info))
        return RefusalFailure(path, Refusal::ReadOnly);
    // A link is removed itself, never what it points to.
    return Remove(place.parentFd, place.name, 0, path);
}

std::optional<PosixFileSystem::Inspected> PosixFileSystem::InspectEntry(
    const OpenedFolder& folder, const std::string& name)
{
    Inspected inspected;
    inspected.entry = EntryRef{folder.fd.Get(), name.c_str()};
    if (::fstatat(folder.fd.Get(), name.c_str(), &inspected.info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (!S_ISLNK(inspected.info.st_mode))
        return inspected;
    const std::string relative = folder.relativePath.empty() ? name
                                                             : folder.relativePath + '/' + name;
    inspected.target = OpenBeneath(folder.drive->fd.Get(), relative.c_str(), O_PATH);
    if (!inspected.target.Valid() || ::fstat(inspected.target.Get(), &inspected.info) != 0)
        return std::nullopt;
    inspected.entry = EntryRef{inspected.target.Get(), ""};
    return inspected;
}

std::optional<FolderEntry> PosixFileSystem::ListedEntry(const OpenedFolder& folder,
                                                        const std::string& name,
                                                        unsigned char type, int mask,
                                                        const DosPath& folderPath)
{
    const bool filtersKinds = (mask & KindBits) != KindBits;
    std::optional<Inspected> inspected;
    bool isFolder = type == DT_DIR;
    if (filtersKinds || (type != DT_REG && type != DT_DIR)) {
        // A link, a file system that does not give the type in the folder read, or a mask that
        // needs the attributes.
        inspected = InspectEntry(folder, name);
        if (!inspected)
            return std::nullopt;
        const mode_t mode = inspected->info.st_mode;
        if (!S_ISREG(mode) && !S_ISDIR(mode))
            return std::nullopt;  // devices, pipes and sockets have no place on a Windows drive
        isFolder = S_ISDIR(mode);
    }
    if (isFolder && (mask & Attribute::Folder) == 0)
        return std::nullopt;

    FolderEntry listed{NameFromHost(name), isFolder ? Attribute::Folder : 0};
    if (!filtersKinds)
        return listed;
    // The mask leaves out some kind of file: the attributes decide.
    Result<int> attributes = ReadDosAttributes(
        inspected->entry, inspected->info,
        StoreFor(*folder.drive, inspected->entry, inspected->info),
        EntryText(folderPath, listed.name));
    if (!attributes || !MaskTakes(mask, attributes.value()))
        return std::nullopt;
    listed.attributes = attributes.value();
    return listed;
}

Status PosixFileSystem::DeleteMatching(const QString& pattern)
{
    Result<DosPath> parsed = m_resolver.Parse(pattern);
    if (!parsed)
        return parsed.status();
    if (parsed.value().IsRoot())
        return Status::Ok();
    DosPath folderPath = parsed.value();
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<OpenedFolder> opened = m_resolver.OpenFolder(folderPath, pattern);
    if (!opened) {
        // A folder that is not there (or lies beyond a link out of the drive) holds no
        // matching file.
        Result<Location> probe = m_resolver.Locate(folderPath, pattern);
        if (!probe || !probe.value().exists || probe.value().IsLink())
            return Status::Ok();
        return opened.status();
    }
    const OpenedFolder& folder = opened.value();

    // Names first, deletions after: a folder is not changed while it is being read.
    std::vector<std::string> matches;
    FolderReader reader(folder.fd.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (IsDotOrDotDot(entry.name) || entry.type == DT_DIR)
            continue;
        if (MatchingName(wildcard, entry.name))
            matches.emplace_back(entry.name);
    }
    if (reader.Error() != 0)
        return HostFailure(pattern, reader.Error());

    std::optional<Status> firstFailure;
    int failures = 0;
    for (const std::string& name : matches) {
        std::optional<Inspected> inspected = InspectEntry(folder, name);
        if (!inspected || !S_ISREG(inspected->info.st_mode))
            continue;  // a folder behind a link, a link out of the drive, or gone meanwhile
        const QString text = EntryText(folderPath, NameFromHost(name));
        Status deleted = Status::Ok();
        if (!inspected->target.Valid() && IsReadOnlyFile(inspected->info))
            deleted = RefusalFailure(text, Refusal::ReadOnly);
        else
            deleted = Remove(folder.fd.Get(), name, 0, text);
        if (!deleted) {
            ++failures;
            if (!firstFailure)
                firstFailure = deleted;
        }
    }
    if (!firstFailure)
        return Status::Ok();
    if (failures == 1)
        return *firstFailure;
    return Status::Fail(firstFailure->reason() +
                        QStringLiteral(" (and %1 more files could not be deleted)")
                            .arg(failures - 1));
}

Status PosixFileSystem::CreateFolder(const QString& path)
{
    Result<Location> location = LocateNew(path);
    if (!location)
        return location.status();
    const Location& place = location.value();
    if (place.exists)
        return RefusalFailure(path, Refusal::Exists);
    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    if (::mkdirat(place.parentFd, place.name.c_str(), 0777) != 0)
        return HostFailure(path, errno);
    m_resolver.Names().AfterChange(place.parentFd, before, place.name, {});
    return Status::Ok();
}

Status PosixFileSystem::RemoveEmptyFolder(const QString& path)
{
    Result<Location> location = m_resolver.Locate(path);
    if (!location)
        return location.status();
    const Location& place = location.value();
    if (!place.exists)
        return HostFailure(path, ENOENT);
    if (place.IsRoot())
        return RefusalFailure(path, Refusal::DriveRoot);
    if (!S_ISDIR(place.info.st_mode))
        return HostFailure(path, ENOTDIR);
    return Remove(place.parentFd, place.name, AT_REMOVEDIR, path);
}

Status PosixFileSystem::RestrictToOwner(const QString& path)
{
    Result<Location> location = m_resolver.Locate(path);
    if (!location)
        return location.status();
    Result<FollowedEntry> followed = m_resolver.Follow(location.value(), path);
    if (!followed)
        return followed.status();
    const FollowedEntry& folder = followed.value();
    if (!S_ISDIR(folder.info.st_mode))
        return HostFailure(path, ENOTDIR);
    // A folder without write bits is read-only as a DOS attribute, and stays so.
    const mode_t mode = (folder.info.st_mode & WriteBits) == 0 ? 0500 : 0700;
    if (ChangeMode(folder.entry, mode) != 0)
        return HostFailure(path, errno);
    return Status::Ok();
}

Result<std::vector<FolderEntry>> PosixFileSystem::ListFolder(const QString& pattern, int mask)
{
    std::vector<FolderEntry> entries;
    Result<DosPath> parsed = m_resolver.Parse(pattern);
    if (!parsed)
        return parsed.status();
    if (parsed.value().IsRoot())
        return entries;  // a folder with no name to match: Windows finds nothing either
    DosPath folderPath = parsed.value();
    const QString name = folderPath.components.takeLast();
    const WildcardPattern wildcard(name);

    // One plain name: find it as a path is found, exact name first, without reading the folder.
    if (!wildcard.HasWildcards() && !name.endsWith(u'.')) {
        Result<Location> location = m_resolver.Locate(parsed.value(), pattern);
        if (!location || !location.value().exists)
            return entries;
        Result<OpenedFolder> opened = m_resolver.OpenFolder(folderPath, pattern);
        if (!opened)
            return entries;
        std::optional<FolderEntry> listed =
            ListedEntry(opened.value(), location.value().name, DT_UNKNOWN, mask, folderPath);
        if (listed)
            entries.push_back(std::move(*listed));
        return entries;
    }

    Result<OpenedFolder> opened = m_resolver.OpenFolder(folderPath, pattern);
    if (!opened) {
        // A folder that does not exist (or is a file, or lies beyond a link out of the drive)
        // lists nothing.
        Result<Location> probe = m_resolver.Locate(folderPath, pattern);
        if (!probe || !probe.value().exists || !S_ISDIR(probe.value().info.st_mode))
            return entries;
        return opened.status();
    }
    const OpenedFolder& folder = opened.value();
    // Windows shows "." and ".." in every folder but a drive's root.
    const bool dotEntries = (mask & Attribute::Folder) != 0 && !folderPath.IsRoot();
    const bool filtersKinds = (mask & KindBits) != KindBits;

    entries.reserve(ExpectedEntries(folder.fd.Get()));
    FolderReader reader(folder.fd.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (IsDotOrDotDot(entry.name) && !dotEntries)
            continue;
        if (entry.type == DT_DIR && (mask & Attribute::Folder) == 0)
            continue;
        std::optional<QString> matched = MatchingName(wildcard, entry.name);
        if (!matched)
            continue;
        // The common listing (every kind of file, names only) stays a bare folder read.
        if (!filtersKinds && (entry.type == DT_REG || entry.type == DT_DIR)) {
            entries.push_back({std::move(*matched), entry.type == DT_DIR ? Attribute::Folder : 0});
            continue;
        }
        std::optional<FolderEntry> listed =
            ListedEntry(folder, std::string(entry.name), entry.type, mask, folderPath);
        if (listed)
            entries.push_back(std::move(*listed));
    }
    if (reader.Error() != 0)
        return HostFailure(pattern, reader.Error());
    return entries;
}

QString PosixFileSystem::CurrentDrive()
{
    return QChar(m_resolver.CurrentDrive()) + QStringLiteral(":");
}

Status PosixFileSystem::ChangeDrive(QChar letter)
{
    return m_resolver.ChangeDrive(letter);
}

QString PosixFileSystem::CurrentFolder()
{
    return m_resolver.CurrentFolder();
}

Status PosixFileSystem::WriteTextFile(const QString& path, const std::vector<QString>& lines)
{
    Result<Location> location = LocateNew(path);
    if (!location)
        return location.status();
    const Location& place = location.value();
    const bool replacing = place.exists && S_ISREG(place.info.st_mode);
    if (place.exists) {
        if (S_ISDIR(place.info.st_mode))
            return RefusalFailure(path, Refusal::IsFolder);
        if (IsReadOnlyFile(place.info))
            return RefusalFailure(path, Refusal::ReadOnly);
    }

    QByteArray text;
    for (const QString& line : lines) {
        text += ToWindows1252(line);
        text += "\r\n";
    }

    const struct stat before = FolderNameCache::BeforeChange(place.parentFd);
    Result<PendingFile> pending = PendingFile::Create(place.parentFd, 0666, place.exists, path);
    if (!pending)
        return pending.status();
    PendingFile output = std::move(pending).value();
    for (qsizetype done = 0; done < text.size();) {
        const ssize_t put = ::write(output.Fd(), text.constData() + done, size_t(text.size() - done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return HostFailure(path, errno);
        }
        done += put;
    }
    if (replacing) {
        // Windows rewrites a file in place, so it keeps its permissions and attributes.
        if (::fchmod(output.Fd(), place.info.st_mode & 07777) != 0)
            return HostFailure(path, errno);
        char stored[256];
        const ssize_t length =
            GetExtendedAttribute(place.Entry(), DosAttributeName, stored, sizeof stored);
        if (length > 0 &&
            ::fsetxattr(output.Fd(), DosAttributeName, stored, size_t(length), 0) != 0)
            return HostFailure(path, errno);
    }
    return Commit(output, place, before, path);
}

Status PosixFileSystem::FlushToDisk(const QString& path)
{
    Result<DosPath> parsed = m_resolver.Parse(path);
    if (!parsed)
        return parsed.status();
    Result<DriveRoot*> drive = m_resolver.Drive(parsed.value(), path);
    if (!drive)
        return drive.status();
    if (::syncfs(drive.value()->fd.Get()) != 0)
        return HostFailure(path, errno);
    return Status::Ok();
}

}  // namespace

std::unique_ptr<FileSystem> MakePosixFileSystem(DriveMap drives)
{
    return std::make_unique<PosixFileSystem>(drives);
}

}  // namespace stowix
