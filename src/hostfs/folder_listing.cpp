#include "hostfs/folder_listing.h"

#include "dos/name_rules.h"
#include "dos/wildcard.h"
#include "fs/deletion_failures.h"
#include "hostfs/dos_attributes.h"
#include "hostfs/folder_reader.h"
#include "hostfs/host_errors.h"
#include "hostfs/host_names.h"
#include "hostfs/pending_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace stowix::posix {

namespace {

using Attribute::KindBits;

// The DOS path of an entry in a listed folder, for failure texts.
QString EntryText(const DosPath& folder, const QString& name) {
    DosPath entry = folder;
    entry.components.append(name);
    return entry.Text();
}

// The decoded name when it matches the pattern. ASCII names, nearly all on a Windows drive, are
// tried before they are decoded, so a name that does not match costs no text.
std::optional<QString> MatchingName(const WildcardPattern& wildcard, std::string_view name) {
    if (IsAscii(name)) {
        if (!wildcard.MatchesAscii(name)) return std::nullopt;
        return QString::fromLatin1(name.data(), qsizetype(name.size()));
    }
    QString decoded = NameFromHost(name);
    if (!wildcard.Matches(decoded)) return std::nullopt;
    return decoded;
}

// Room for the entries of a folder of this host size, so that a large listing is not copied
// again and again as it grows. Directory sizes only hint at the count; the guess is capped.
size_t ExpectedEntries(int folderFd) {
    struct stat info {};
    if (::fstat(folderFd, &info) != 0) return 0;
    return std::min<size_t>(size_t(info.st_size) / 24, 1 << 20);
}

// Whether a listing with this mask takes an entry with these attributes: plain files always,
// read-only, hidden, system files and folders only when their bits are in the mask.
bool MaskTakes(int mask, int attributes) {
    return (attributes & (KindBits | Attribute::Folder) & ~mask) == 0;
}

// One entry of an open folder, a link inside the drive followed to what it names.
struct Inspected {
    struct stat info {};  // of the entry, or of a link's target
    UniqueFd target;      // a link's target, opened O_PATH
    EntryRef entry{};     // names the entry, or the target; borrows the name given
};

// Nothing for an entry that is gone, or a link that leads out of the drive or to nothing: such
// entries are not shown.
std::optional<Inspected> InspectEntry(const OpenedFolder& folder, const std::string& name) {
    Inspected inspected;
    inspected.entry = EntryRef{folder.fd.Get(), name.c_str()};
    if (::fstatat(folder.fd.Get(), name.c_str(), &inspected.info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (!S_ISLNK(inspected.info.st_mode)) return inspected;
    const std::string relative =
        folder.relativePath.empty() ? name : folder.relativePath + '/' + name;
    inspected.target = OpenBeneath(folder.drive->fd.Get(), relative.c_str(), O_PATH);
    if (!inspected.target.Valid() || ::fstat(inspected.target.Get(), &inspected.info) != 0)
        return std::nullopt;
    inspected.entry = EntryRef{inspected.target.Get(), ""};
    return inspected;
}

// A link that leads out of the drive, round in a loop or to nothing is followed by nothing, yet
// it is listed, as a plain file: whoever takes the folder's files then learns that this one
// cannot be read, instead of missing it without a word. Nothing for anything else, or an entry
// gone meanwhile.
std::optional<FolderEntry> UnfollowedLink(const OpenedFolder& folder, const std::string& name) {
    struct stat own {};
    if (::fstatat(folder.fd.Get(), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(own.st_mode))
        return std::nullopt;
    return FolderEntry{NameFromHost(name), 0};
}

// The listing's entry for one folder entry, or nothing when the mask does not take it. type: the
// d_type from the folder read, which spares a stat when the mask needs none.
std::optional<FolderEntry> ListedEntry(const OpenedFolder& folder, const std::string& name,
                                       unsigned char type, int mask, const DosPath& folderPath) {
    const bool filtersKinds = (mask & KindBits) != KindBits;
    std::optional<Inspected> inspected;
    bool isFolder = type == DT_DIR;
    if (filtersKinds || (type != DT_REG && type != DT_DIR)) {
        // A link, a file system that does not give the type in the folder read, or a mask that
        // needs the attributes.
        inspected = InspectEntry(folder, name);
        if (!inspected) return UnfollowedLink(folder, name);
        const mode_t mode = inspected->info.st_mode;
        // Devices, pipes and sockets have no place on a Windows drive, yet they are listed as
        // plain files, as an unfollowed link is: whoever takes the folder's files learns that
        // this one cannot be read (every open refuses it), instead of missing it without a word.
        if (!S_ISREG(mode) && !S_ISDIR(mode)) return FolderEntry{NameFromHost(name), 0};
        isFolder = S_ISDIR(mode);
    }
    if (isFolder && (mask & Attribute::Folder) == 0) return std::nullopt;

    FolderEntry listed{NameFromHost(name), isFolder ? Attribute::Folder : 0};
    if (!filtersKinds) return listed;
    // The mask leaves out some kind of file: the attributes decide.
    Result<int> attributes = ReadDosAttributes(
        inspected->entry, inspected->info,
        StoreFor(inspected->entry, inspected->info, folder.drive->device, folder.drive->fat),
        EntryText(folderPath, listed.name));
    if (!attributes || !MaskTakes(mask, attributes.value())) return std::nullopt;
    listed.attributes = attributes.value();
    return listed;
}

// True when the folder exists as a folder: a listing that fails on it is a failure, while a
// folder that does not exist (or is a file, or lies beyond a link out of the drive) lists nothing.
bool FolderExists(PathResolver& resolver, const DosPath& folderPath, const QString& pattern) {
    Result<Location> probe = resolver.Locate(folderPath, pattern);
    return probe && probe.value().exists && S_ISDIR(probe.value().info.st_mode);
}

// One plain name, found as a path is found, exact name first, without reading the folder.
Result<std::vector<FolderEntry>> ListOneName(PathResolver& resolver, const DosPath& path,
                                             const DosPath& folderPath, const QString& pattern,
                                             int mask) {
    std::vector<FolderEntry> entries;
    Result<Location> location = resolver.Locate(path, pattern);
    if (!location) {
        // A folder that exists but cannot be searched is a failure, as its wildcard listing is.
        if (!FolderExists(resolver, folderPath, pattern)) return entries;
        return location.status();
    }
    if (!location.value().exists) return entries;
    Result<OpenedFolder> opened = resolver.OpenFolder(folderPath, pattern);
    if (!opened) return entries;
    std::optional<FolderEntry> listed =
        ListedEntry(opened.value(), location.value().name, DT_UNKNOWN, mask, folderPath);
    if (listed) entries.push_back(std::move(*listed));
    return entries;
}

// Every entry of the folder that the wildcard and the mask take, in the folder's order.
Result<std::vector<FolderEntry>> ReadMatchingEntries(const OpenedFolder& folder,
                                                     const DosPath& folderPath,
                                                     const WildcardPattern& wildcard,
                                                     const QString& pattern, int mask) {
    std::vector<FolderEntry> entries;
    // Windows shows "." and ".." in every folder but a drive's root.
    const bool dotEntries = (mask & Attribute::Folder) != 0 && !folderPath.IsRoot();
    const bool filtersKinds = (mask & KindBits) != KindBits;

    entries.reserve(ExpectedEntries(folder.fd.Get()));
    FolderReader reader(folder.fd.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (IsDotOrDotDot(entry.name) && !dotEntries) continue;
        if (entry.type == DT_DIR && (mask & Attribute::Folder) == 0) continue;
        // The program's own temporary files are no part of the drive the user sees.
        if (IsPendingName(entry.name)) continue;
        std::optional<QString> matched = MatchingName(wildcard, entry.name);
        if (!matched) continue;
        // The common listing (every kind of file, names only) stays a bare folder read.
        if (!filtersKinds && (entry.type == DT_REG || entry.type == DT_DIR)) {
            entries.push_back({std::move(*matched), entry.type == DT_DIR ? Attribute::Folder : 0});
            continue;
        }
        std::optional<FolderEntry> listed =
            ListedEntry(folder, std::string(entry.name), entry.type, mask, folderPath);
        if (listed) entries.push_back(std::move(*listed));
    }
    if (reader.Error() != 0) return HostFailure(pattern, reader.Error());
    return entries;
}

// The names of the files (no folders) that the wildcard takes, in the folder's order.
Result<std::vector<std::string>> MatchingFileNames(const OpenedFolder& folder,
                                                   const WildcardPattern& wildcard,
                                                   const QString& pattern) {
    std::vector<std::string> matches;
    FolderReader reader(folder.fd.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (IsDotOrDotDot(entry.name) || entry.type == DT_DIR || IsPendingName(entry.name))
            continue;
        if (MatchingName(wildcard, entry.name)) matches.emplace_back(entry.name);
    }
    if (reader.Error() != 0) return HostFailure(pattern, reader.Error());
    return matches;
}

// Deletes one matched entry as Del does; a folder behind a link, or an entry gone meanwhile, is
// passed over.
Status DeleteMatchedEntry(PathResolver& resolver, const OpenedFolder& folder,
                          const std::string& name, const QString& text) {
    std::optional<Inspected> inspected = InspectEntry(folder, name);
    if (!inspected) {
        // A link that leads out of the drive, round in a loop or to nothing is shown to no
        // one and followed by nothing: the link itself goes (never what it names), so that
        // it cannot keep a backup set's folder from being deleted.
        struct stat own {};
        if (::fstatat(folder.fd.Get(), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(own.st_mode))
            (void)resolver.RemoveEntry(folder.fd.Get(), name, 0, text);
        return Status::Ok();  // or gone meanwhile
    }
    if (!S_ISREG(inspected->info.st_mode)) return Status::Ok();  // a folder behind a link
    if (!inspected->target.Valid() && IsReadOnlyFile(inspected->info))
        return RefusalFailure(text, Refusal::ReadOnly);
    return resolver.RemoveEntry(folder.fd.Get(), name, 0, text);
}

}  // namespace

Result<std::vector<FolderEntry>> ListFolderEntries(PathResolver& resolver, const QString& pattern,
                                                   int mask) {
    Result<DosPath> parsed = resolver.Parse(pattern);
    if (!parsed) return parsed.status();
    // A folder with no name to match: Windows finds nothing either.
    if (parsed.value().IsRoot()) return std::vector<FolderEntry>();
    DosPath folderPath = parsed.value();
    const QString name = folderPath.components.takeLast();
    const WildcardPattern wildcard(name);
    if (!wildcard.HasWildcards() && !name.endsWith(u'.'))
        return ListOneName(resolver, parsed.value(), folderPath, pattern, mask);

    Result<OpenedFolder> opened = resolver.OpenFolder(folderPath, pattern);
    if (!opened) {
        if (!FolderExists(resolver, folderPath, pattern)) return std::vector<FolderEntry>();
        return opened.status();
    }
    return ReadMatchingEntries(opened.value(), folderPath, wildcard, pattern, mask);
}

Result<std::vector<FileSize>> ListFileSizesIn(
    PathResolver& resolver, const QString& pattern, int mask,
    const std::function<Result<FileFacts>(const QString&)>& readFacts) {
    const std::vector<FolderEntry> listed = TRY(ListFolderEntries(resolver, pattern, mask));
    std::vector<FileSize> sizes;
    if (listed.empty()) return sizes;
    DosPath folderPath = TRY(resolver.Parse(pattern));
    folderPath.components.removeLast();
    QString folderText = folderPath.Text();
    if (!folderText.endsWith(u'\\')) folderText += u'\\';
    Result<OpenedFolder> opened = resolver.OpenFolder(folderPath, pattern);
    struct stat folderInfo {};
    const int folderFd =
        opened && ::fstat(opened.value().fd.Get(), &folderInfo) == 0 ? opened.value().fd.Get() : -1;
    sizes.reserve(listed.size());
    for (const FolderEntry& entry : listed) {
        if (entry.attributes & Attribute::Folder) continue;
        const std::string name = NameToHost(entry.name);
        struct stat info {};
        if (folderFd >= 0 && ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            sizes.push_back({entry.name, qint64(info.st_size)});
            resolver.Seen().Remember(folderInfo, name, info);
            continue;
        }
        const Result<FileFacts> facts = readFacts(folderText + entry.name);
        if (facts) sizes.push_back({entry.name, facts.value().size});
    }
    return sizes;
}

Status DeleteMatchingFiles(PathResolver& resolver, const QString& pattern) {
    Result<DosPath> parsed = resolver.Parse(pattern);
    if (!parsed) return parsed.status();
    if (parsed.value().IsRoot()) return Status::Ok();
    DosPath folderPath = parsed.value();
    const WildcardPattern wildcard(folderPath.components.takeLast());
    Result<OpenedFolder> opened = resolver.OpenFolder(folderPath, pattern, Links::Refuse);
    if (!opened) {
        // A folder that is not there (or lies beyond a link out of the drive) holds no
        // matching file.
        Result<Location> probe = resolver.Locate(folderPath, pattern);
        if (!probe || !probe.value().exists || probe.value().IsLink()) return Status::Ok();
        return opened.status();
    }
    const OpenedFolder& folder = opened.value();

    // Names first, deletions after: a folder is not changed while it is being read.
    const Result<std::vector<std::string>> matches = MatchingFileNames(folder, wildcard, pattern);
    if (!matches) return matches.status();

    DeletionFailures failures;
    for (const std::string& name : matches.value()) {
        const QString text = EntryText(folderPath, NameFromHost(name));
        failures.Note(DeleteMatchedEntry(resolver, folder, name, text));
    }
    return failures.Outcome();
}

}  // namespace stowix::posix
