#include "hostfs/group_copy.h"

#include "dos/name_rules.h"
#include "hostfs/dos_attributes.h"
#include "hostfs/file_contents.h"
#include "hostfs/host_errors.h"
#include "hostfs/host_names.h"
#include "hostfs/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace stowix::posix {

namespace {

constexpr mode_t WriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// The permissions a new file made with mode 0666 gets: the process's umask, read once.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

Status ChangedWhileCopied(const QString& source) {
    return Status::Fail(source + QStringLiteral(": the file changed while it was copied"));
}

// One folder that copies read from or write to, opened when the first of them needs it.
class FolderSlot {
public:
    // The folder's stat as the last copy into it left it, while the remembered names hold for
    // it: the next copy takes the folder to be unchanged since, as it would be between two
    // looks a moment apart. Cleared whenever something else may have changed it.
    std::optional<struct stat> state;

    // links: how the folder is found; the copies' destinations refuse every link on the way.
    FolderSlot(PathResolver& resolver, Links links) : m_resolver(resolver), m_links(links) {}
    ~FolderSlot() { Settle(); }
    FolderSlot(const FolderSlot&) = delete;
    FolderSlot& operator=(const FolderSlot&) = delete;

    // The open folder that holds the path's last component; nothing when it cannot be opened.
    const OpenedFolder* For(const DosPath& path, const QString& pathText) {
        const QStringList folder = path.components.mid(0, path.components.size() - 1);
        if (m_known && m_drive == path.drive && m_components == folder)
            return m_folder ? &*m_folder : nullptr;
        Settle();
        m_known = true;
        m_info.reset();
        m_drive = path.drive;
        m_components = folder;
        DosPath folderPath;
        folderPath.drive = path.drive;
        folderPath.components = folder;
        Result<OpenedFolder> opened = m_resolver.OpenFolder(folderPath, pathText, m_links);
        if (opened)
            m_folder.emplace(std::move(opened).value());
        else
            m_folder.reset();
        return m_folder ? &*m_folder : nullptr;
    }

    // The open folder's own stat, looked at once; nothing when there is none.
    const struct stat* Info() {
        if (!m_folder) return nullptr;
        if (!m_info) {
            struct stat info {};
            if (::fstat(m_folder->fd.Get(), &info) != 0) return nullptr;
            m_info = info;
        }
        return &*m_info;
    }

    // Copies were added to the folder since its last look (state), which their batch has not
    // looked at again: AddedUnseen recorded their names.
    void AddedUnseen(const struct stat& before) {
        state = before;
        m_unsettled = true;
    }

    // Ends a batch of unseen additions with one look at the folder, which brings its remembered
    // names' state up to date, and forgets the state: something else may change the folder next.
    void Settle() {
        if (m_unsettled && m_folder && state)
            (void)m_resolver.Names().AfterChange(m_folder->fd.Get(), *state, {}, {});
        m_unsettled = false;
        state.reset();
    }

private:
    PathResolver& m_resolver;
    Links m_links;
    bool m_known = false;
    char16_t m_drive = 0;
    QStringList m_components;
    std::optional<OpenedFolder> m_folder;
    std::optional<struct stat> m_info;
    bool m_unsettled = false;
};

// The outcome of the short way: done (copied or failed as the general way would fail), or
// handed on to the general way.
struct ShortWay {
    bool handedOn = false;
    Result<bool> result = false;
    static ShortWay HandOn() { return {true, false}; }
};

// The source of one copy as the short way takes it: a plain file under its stored name on a
// drive folder, open, with its DOS attributes.
struct ShortSource {
    UniqueFd input;
    struct stat info {};
    // info is what a listing saw a moment ago (SeenFiles), not yet proven to be this file's.
    bool seen = false;
    int attributes = 0;
};

// Nothing when the source is for the general way.
std::optional<ShortSource> OpenShortSource(PathResolver& resolver, FolderSlot& sources,
                                           const DosPath& path, const QString& pathText) {
    const OpenedFolder* folder = sources.For(path, pathText);
    if (folder == nullptr) return std::nullopt;
    // The listing's stored name, as it is: a name in another case or a link goes the general
    // way, which finds the one and follows the other inside the drive.
    const std::string name = NameToHost(path.components.last());
    ShortSource source;
    const struct stat* folderInfo = sources.Info();
    std::optional<struct stat> seen =
        folderInfo != nullptr ? resolver.Seen().Take(*folderInfo, name) : std::nullopt;
    source.input = UniqueFd(::openat(folder->fd.Get(), name.c_str(),
                                     O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (!source.input.Valid()) return std::nullopt;
    if (seen) {
        // The look the listing took stands in for one here: the copy proves it afterwards.
        source.info = *seen;
        source.seen = true;
    } else if (::fstat(source.input.Get(), &source.info) != 0 || !S_ISREG(source.info.st_mode)) {
        return std::nullopt;
    }
    const DriveRoot& drive = *folder->drive;
    const EntryRef entry{source.input.Get(), ""};
    const Result<int> attributes = ReadDosAttributes(
        entry, source.info, StoreFor(entry, source.info, drive.device, drive.fat), pathText);
    if (!attributes) return std::nullopt;
    source.attributes = attributes.value();
    return source;
}

// Where one copy goes on the short way: an open folder of a drive folder (not a FAT mount), the
// name as given, the stored name of a plain writable file that the copy replaces, and the
// folder's state before the copy.
struct ShortTarget {
    int folderFd = -1;
    std::string givenName;
    std::optional<std::string> stored;
    struct stat before {};
};

// Nothing when the destination is for the general way.
std::optional<ShortTarget> FindShortTarget(PathResolver& resolver, FolderSlot& destinations,
                                           const DosPath& path, const QString& pathText) {
    const OpenedFolder* folder = destinations.For(path, pathText);
    if (folder == nullptr || folder->drive->fat) return std::nullopt;
    ShortTarget target;
    target.folderFd = folder->fd.Get();
    const QString& name = path.components.last();
    target.givenName = NameToHost(name);
    target.stored =
        resolver.Names().FindPreferring(target.folderFd, name, target.givenName, target.before,
                                        destinations.state ? &*destinations.state : nullptr);
    // A folder on another file system inside the drive may keep attributes otherwise.
    if (target.before.st_ino == 0 || target.before.st_dev != folder->drive->device)
        return std::nullopt;
    if (target.stored) {
        // Only a plain file that Windows would overwrite is replaced here; a read-only one has
        // its attributes cleared first, and kept when the copy fails, by the general way.
        struct stat old {};
        if (::fstatat(target.folderFd, target.stored->c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(old.st_mode) || IsReadOnlyFile(old))
            return std::nullopt;
    }
    return target;
}

// The contents copied into output, and the source proven unchanged: as it was when it was
// opened, or, for a source whose look was seen before it was opened, as it was then. A source
// that another entry replaced since it was seen, or whose attributes changed, is handed on to the
// general way, which looks at it afresh; one written to since fails as written while copied.
ShortWay CopyShortContents(const ShortSource& source, int output, const FileCopy& copy) {
    const int error =
        CopyContents(source.input.Get(), output, source.info.st_size, MayHaveHoles(source.info));
    if (source.seen) {
        struct stat now {};
        if (::fstat(source.input.Get(), &now) != 0) return {false, HostFailure(copy.source, errno)};
        const SeenFiles::Since since = SeenFiles::Compare(source.info, now);
        if (since == SeenFiles::Since::Replaced) return ShortWay::HandOn();
        if (error != 0) return {false, HostFailure(copy.destination, error)};
        if (since == SeenFiles::Since::Written) return {false, ChangedWhileCopied(copy.source)};
        return {false, true};
    }
    if (error != 0) return {false, HostFailure(copy.destination, error)};
    if (Status unchanged = CheckUnchanged(source.input.Get(), source.info, copy.source); !unchanged)
        return {false, unchanged};
    return {false, true};
}

// Writes the copy under a temporary name, with the source's attributes and last-write time,
// and puts it in place.
ShortWay WriteShortCopy(PathResolver& resolver, FolderSlot& destinations, const ShortSource& source,
                        const ShortTarget& target, const FileCopy& copy) {
    Result<PendingFile> pending =
        PendingFile::Create(target.folderFd, 0666, target.stored.has_value(), copy.destination);
    if (!pending) return {false, pending.status()};
    PendingFile output = std::move(pending).value();
    if (ShortWay copied = CopyShortContents(source, output.Fd(), copy);
        copied.handedOn || !copied.result)
        return copied;
    // The attributes go on the copy before it is in place: a copy whose attributes cannot be
    // stored is never seen. A new file has no stored bits and, unless the umask takes every
    // write bit, is not read-only: a value of 0 then needs no call.
    const int value = source.attributes & ~Attribute::Folder;
    const mode_t mode = NewFileMode();
    if (value != 0 || (mode & WriteBits) == 0) {
        struct stat fresh {};
        fresh.st_mode = S_IFREG | mode;
        if (Status written =
                WriteDosAttributes({output.Fd(), ""}, fresh, value,
                                   AttributeStore::ExtendedAttribute, copy.destination);
            !written)
            return {false, written};
    }
    // The last-write time travels with the copy, as Windows' copy keeps it; the access time is
    // the copy's own.
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.info.st_mtim};
    if (::futimens(output.Fd(), times) != 0) return {false, HostFailure(copy.destination, errno)};
    const std::string& name = target.stored ? *target.stored : target.givenName;
    if (Status committed = output.Commit(name, copy.destination); !committed)
        return {false, committed};
    // The folder is looked at again once the batch ends, not after every copy into it.
    if (resolver.Names().AddedUnseen(target.before, name))
        destinations.AddedUnseen(target.before);
    else
        destinations.Settle();
    return {false, true};
}

ShortWay CopyOne(PathResolver& resolver, FolderSlot& sources, FolderSlot& destinations,
                 const FileCopy& copy) {
    Result<DosPath> source = resolver.Parse(copy.source);
    Result<DosPath> destination = resolver.Parse(copy.destination);
    if (!source || !destination || source.value().IsRoot() || destination.value().IsRoot())
        return ShortWay::HandOn();
    if (!NameRefusal(destination.value().components.last()).isEmpty()) return ShortWay::HandOn();
    const std::optional<ShortSource> opened =
        OpenShortSource(resolver, sources, source.value(), copy.source);
    if (!opened) return ShortWay::HandOn();
    const std::optional<ShortTarget> target =
        FindShortTarget(resolver, destinations, destination.value(), copy.destination);
    if (!target) return ShortWay::HandOn();
    ShortWay written = WriteShortCopy(resolver, destinations, *opened, *target, copy);
    // A failed copy may have left the folder otherwise than the batch knows it.
    if (written.handedOn || !written.result) destinations.Settle();
    return written;
}

}  // namespace

Status CheckUnchanged(int sourceFd, const struct stat& before, const QString& source) {
    struct stat after {};
    if (::fstat(sourceFd, &after) != 0) return HostFailure(source, errno);
    if (after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)
        return ChangedWhileCopied(source);
    return Status::Ok();
}

std::vector<Result<bool>> CopyKeepingAttributes(
    PathResolver& resolver, const std::vector<FileCopy>& copies,
    const std::function<void(size_t)>& beforeEach,
    const std::function<Result<bool>(const FileCopy&)>& fallback) {
    FolderSlot sources(resolver, Links::Follow);
    FolderSlot destinations(resolver, Links::Refuse);
    std::vector<Result<bool>> results;
    results.reserve(copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        if (beforeEach) beforeEach(i);
        ShortWay done = CopyOne(resolver, sources, destinations, copies[i]);
        if (!done.handedOn) {
            results.push_back(std::move(done.result));
            continue;
        }
        // The general way finds the destination by its own looks, which must find the names
        // of the folder current.
        destinations.Settle();
        results.push_back(fallback(copies[i]));
    }
    return results;
}

}  // namespace stowix::posix
