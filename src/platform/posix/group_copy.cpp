#include "platform/posix/group_copy.h"

#include "platform/posix/dos_attributes.h"
#include "platform/posix/file_contents.h"
#include "platform/posix/host_errors.h"
#include "platform/posix/host_names.h"
#include "platform/names/name_rules.h"
#include "platform/posix/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace stowix::posix {

namespace {

constexpr mode_t WriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// The permissions a new file made with mode 0666 gets: the process's umask, read once.
mode_t NewFileMode()
{
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

// One folder that copies read from or write to, opened when the first of them needs it.
class FolderSlot {
public:
    // The folder's stat as the last copy into it left it, while the remembered names hold for
    // it: the next copy takes the folder to be unchanged since, as it would be between two
    // looks a moment apart. Cleared whenever something else may have changed it.
    std::optional<struct stat> state;

    explicit FolderSlot(PathResolver& resolver) : m_resolver(resolver) {}

    // The open folder that holds the path's last component; nothing when it cannot be opened.
    const OpenedFolder* For(const DosPath& path, const QString& pathText)
    {
        const QStringList folder = path.components.mid(0, path.components.size() - 1);
        if (m_known && m_drive == path.drive && m_components == folder)
            return m_folder ? &*m_folder : nullptr;
        m_known = true;
        state.reset();
        m_drive = path.drive;
        m_components = folder;
        DosPath folderPath;
        folderPath.drive = path.drive;
        folderPath.components = folder;
        Result<OpenedFolder> opened = m_resolver.OpenFolder(folderPath, pathText);
        if (opened)
            m_folder.emplace(std::move(opened).value());
        else
            m_folder.reset();
        return m_folder ? &*m_folder : nullptr;
    }

private:
    PathResolver& m_resolver;
    bool m_known = false;
    char16_t m_drive = 0;
    QStringList m_components;
    std::optional<OpenedFolder> m_folder;
};

// The outcome of the short way: done (copied or failed as the general way would fail), or
// handed on to the general way.
struct ShortWay {
    bool handedOn = false;
    Result<bool> result = false;
    static ShortWay HandOn() { return {true, false}; }
};

ShortWay CopyOne(PathResolver& resolver, FolderSlot& sources, FolderSlot& destinations,
                 const FileCopy& copy)
{
    Result<DosPath> source = resolver.Parse(copy.source);
    Result<DosPath> destination = resolver.Parse(copy.destination);
    if (!source || !destination || source.value().IsRoot() || destination.value().IsRoot())
        return ShortWay::HandOn();
    const QString& destinationName = destination.value().components.last();
    if (!NameRefusal(destinationName).isEmpty())
        return ShortWay::HandOn();

    const OpenedFolder* sourceFolder = sources.For(source.value(), copy.source);
    if (sourceFolder == nullptr)
        return ShortWay::HandOn();
    // The listing's stored name, as it is: a name in another case or a link goes the general
    // way, which finds the one and follows the other inside the drive.
    const std::string sourceName = NameToHost(source.value().components.last());
    UniqueFd input(::openat(sourceFolder->fd.Get(), sourceName.c_str(),
                            O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    struct stat sourceInfo {};
    if (!input.Valid() || ::fstat(input.Get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return ShortWay::HandOn();
    const DriveRoot& sourceDrive = *sourceFolder->drive;
    const EntryRef sourceEntry{input.Get(), ""};
    const Result<int> attributes = ReadDosAttributes(
        sourceEntry, sourceInfo,
        StoreFor(sourceEntry, sourceInfo, sourceDrive.device, sourceDrive.fat), copy.source);
    if (!attributes)
        return ShortWay::HandOn();

    const OpenedFolder* target = destinations.For(destination.value(), copy.destination);
    if (target == nullptr || target->drive->fat)
        return ShortWay::HandOn();
    const int folderFd = target->fd.Get();
    const std::string givenName = NameToHost(destinationName);
    struct stat before {};
    const std::optional<std::string> stored = resolver.Names().FindPreferring(
        folderFd, destinationName, givenName, before,
        destinations.state ? &*destinations.state : nullptr);
    destinations.state.reset();
    // A folder on another file system inside the drive may keep attributes otherwise.
    if (before.st_ino == 0 || before.st_dev != target->drive->device)
        return ShortWay::HandOn();
    if (stored) {
        // Only a plain file that Windows would overwrite is replaced here; a read-only one has
        // its attributes cleared first, and kept when the copy fails, by the general way.
        struct stat old {};
        if (::fstatat(folderFd, stored->c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(old.st_mode) || IsReadOnlyFile(old))
            return ShortWay::HandOn();
    }

    Result<PendingFile> pending =
        PendingFile::Create(folderFd, 0666, stored.has_value(), copy.destination);
    if (!pending)
        return {false, pending.status()};
    PendingFile output = std::move(pending).value();
    if (const int error = CopyContents(input.Get(), output.Fd(), sourceInfo.st_size,
                                       MayHaveHoles(sourceInfo)))
        return {false, HostFailure(copy.destination, error)};
    if (Status unchanged = CheckUnchanged(input.Get(), sourceInfo, copy.source); !unchanged)
        return {false, unchanged};
    // The attributes go on the copy before it is in place: a copy whose attributes cannot be
    // stored is never seen. A new file has no stored bits and, unless the umask takes every
    // write bit, is not read-only: a value of 0 then needs no call.
    const int value = attributes.value() & ~Attribute::Folder;
    const mode_t mode = NewFileMode();
    if (value != 0 || (mode & WriteBits) == 0) {
        struct stat fresh {};
        fresh.st_mode = S_IFREG | mode;
        if (Status written = WriteDosAttributes({output.Fd(), ""}, fresh, value,
                                                AttributeStore::ExtendedAttribute,
                                                copy.destination);
            !written)
            return {false, written};
    }
    // The last-write time travels with the copy, as Windows' copy keeps it; the access time is
    // the copy's own.
    const struct timespec times[2] = {{0, UTIME_OMIT}, sourceInfo.st_mtim};
    if (::futimens(output.Fd(), times) != 0)
        return {false, HostFailure(copy.destination, errno)};
    const std::string& name = stored ? *stored : givenName;
    if (Status committed = output.Commit(name, copy.destination); !committed)
        return {false, committed};
    struct stat after {};
    if (resolver.Names().AfterChange(folderFd, before, name, {}, &after))
        destinations.state = after;
    return {false, true};
}

}  // namespace

Status CheckUnchanged(int sourceFd, const struct stat& before, const QString& source)
{
    struct stat after {};
    if (::fstat(sourceFd, &after) != 0)
        return HostFailure(source, errno);
    if (after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)
        return Status::Fail(source + QStringLiteral(": the file changed while it was copied"));
    return Status::Ok();
}

std::vector<Result<bool>> CopyKeepingAttributes(
    PathResolver& resolver, const std::vector<FileCopy>& copies,
    const std::function<void(size_t)>& beforeEach,
    const std::function<Result<bool>(const FileCopy&)>& fallback)
{
    FolderSlot sources(resolver);
    FolderSlot destinations(resolver);
    std::vector<Result<bool>> results;
    results.reserve(copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        if (beforeEach)
            beforeEach(i);
        ShortWay done = CopyOne(resolver, sources, destinations, copies[i]);
        results.push_back(done.handedOn ? fallback(copies[i]) : std::move(done.result));
    }
    return results;
}

}  // namespace stowix::posix
