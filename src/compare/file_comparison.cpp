#include "compare/file_comparison.h"

#include "compare/ini_file.h"
#include "registry/registry_file_check.h"
#include "registry/wine_registry.h"
#include "sets/backup_set_layout.h"
#include "sets/set_record.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace stowix {

namespace {

// INI files larger than this are compared as files only: Windows 9x reads at most 64 KiB.
constexpr qint64 MaxIniBytes = 4 * 1024 * 1024;
// The piece in which two files' contents are compared.
constexpr qint64 ComparePiece = 256 * 1024;

constexpr int EveryFileKind = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

// One file of one side.
struct Listed {
    QString name;   // as stored
    QString path;   // where its bytes lie
    QString place;  // where it lies, or would lie, on the drive
    bool registry = false;
    bool onHost = false;  // path is a host path: a Wine prefix's registry file beside drive_c
};

// One side's files by a folded key (the name for sets and the drive, the place for a preview).
struct Side {
    QHash<QString, Listed> files;
    std::vector<QString> troubles;

    // Keeps the first file given for a key.
    void AddFirst(const QString& key, Listed listed) {
        if (!files.contains(key)) files.insert(key, std::move(listed));
    }
};

QString Folded(const QString& text) { return text.toCaseFolded(); }

// The names of the files in folder (ending in a backslash) that match pattern. None when the
// folder cannot be listed: the reason is kept in side's troubles.
std::vector<QString> FileNames(FileSystem& files, const QString& folder, const QString& pattern,
                               Side& side) {
    Result<std::vector<FolderEntry>> entries = files.ListFolder(folder + pattern, EveryFileKind);
    if (!entries) {
        side.troubles.push_back(folder + pattern + QStringLiteral(": ") + entries.reason());
        return {};
    }
    std::vector<QString> names;
    for (const FolderEntry& entry : entries.value())
        if (!(entry.attributes & Attribute::Folder)) names.push_back(entry.name);
    return names;
}

// The files of a set, as the restore groups find them, each at the first place a restore
// would put it.
// A set with a record (sets/set_record.h) gives each file the place it came from, and its
// files kept apart under a twin name are listed under that name.
std::optional<SetRecord> RecordOf(FileSystem& files, const QString& setPath) {
    Result<std::optional<SetRecord>> read = ReadSetRecord(files, setPath);
    return read ? std::move(read).value() : std::nullopt;
}

Side SetSide(FileSystem& files, const QString& setPath, const ProgramValues& values,
             bool withWineRegistry = false) {
    Side side;
    const QString folder = setPath + u'\\';
    const std::optional<SetRecord> record = RecordOf(files, setPath);
    for (const SetGroup& group : RestoreGroups) {
        const QString restoredFolder = RestoredFolder(group, values);
        for (const QString& name :
             FileNames(files, folder, QString::fromUtf16(group.pattern), side))
            if (GroupTakes(record, group, name))
                side.AddFirst(Folded(name),
                              Listed{name, folder + name, restoredFolder + name, group.registry});
    }
    for (const FileOrigin& twin : record ? record->files : std::vector<FileOrigin>{})
        if (twin.nameInSet.compare(twin.nameOnDrive, Qt::CaseInsensitive) != 0)
            side.AddFirst(
                Folded(twin.nameInSet),
                Listed{twin.nameInSet, folder + twin.nameInSet,
                       FullPlaceFolder(twin.place, values.WindowsFolder) + twin.nameOnDrive,
                       false});
    // A Wine prefix's registry lies beside its drive_c, off the drive: it is compared key by
    // key, by its name as its place.
    if (withWineRegistry)
        for (const QString& wine : WineRegistryFileNames())
            for (const QString& name : FileNames(files, folder, wine, side))
                side.AddFirst(Folded(name), Listed{name, folder + name, name, false});
    return side;
}

// The files a backup made now would take from the drive: a later group's file replaces an
// earlier one of the same name, as it does in a set.
// keepApart: as a backup with records takes them, a Windows-folder file of a root file's name
// is listed under its twin name instead of replacing the root's.
Side DriveSide(FileSystem& files, const ProgramValues& values, bool keepApart) {
    Side side;
    QHash<QString, SetPlace> takenFrom;
    for (const SetGroup& group : BackupGroups) {
        const QString source = FullPlaceFolder(group.place, values.WindowsFolder);
        for (const QString& name :
             FileNames(files, source, QString::fromUtf16(group.pattern), side)) {
            const QString path = source + name;
            QString key = Folded(name);
            if (keepApart) {
                if (!takenFrom.contains(key)) takenFrom.insert(key, group.place);
                if (takenFrom.value(key) != group.place) key = Folded(TwinName(name));
            }
            side.files.insert(key, Listed{name, path, path, group.registry});
        }
    }
    if (!values.WinePrefix.isEmpty())
        for (const QString& name : WineRegistryFileNames()) {
            const QString path = values.WinePrefix + u'/' + name;
            if (QFileInfo(path).isFile())
                side.files.insert(Folded(name), Listed{name, path, name, false, true});
        }
    return side;
}

Result<bool> SameContents(FileSystem& files, const QString& first, const QString& second) {
    const std::unique_ptr<FileReader> a = TRY(files.OpenForReading(first));
    const std::unique_ptr<FileReader> b = TRY(files.OpenForReading(second));
    FileReader& readerA = *a;
    FileReader& readerB = *b;
    if (readerA.Size() != readerB.Size()) return false;
    std::vector<char> bufferA(ComparePiece);
    std::vector<char> bufferB(ComparePiece);
    for (qint64 offset = 0; offset < readerA.Size();) {
        const qint64 gotA = TRY(readerA.ReadAt(offset, bufferA.data(), ComparePiece));
        const qint64 gotB = TRY(readerB.ReadAt(offset, bufferB.data(), ComparePiece));
        if (gotA != gotB) return false;
        if (gotA == 0) break;  // shorter than when opened: both alike so far
        if (!std::equal(bufferA.begin(), bufferA.begin() + gotA, bufferB.begin())) return false;
        offset += gotA;
    }
    return true;
}

void AddTrouble(FileComparison& file, const QString& trouble) {
    if (!file.trouble.isEmpty()) file.trouble += QStringLiteral("; ");
    file.trouble += trouble;
}

// Both sides' keys compared as INI text, each read up to maxBytes; asIni first turns a file's
// text into INI text where it is kept otherwise.
void CompareKeysAsIni(FileSystem& files, FileComparison& file, qint64 maxBytes,
                      QByteArray (*asIni)(const QByteArray&)) {
    Result<QByteArray> older = files.ReadFile(file.older->path, maxBytes);
    Result<QByteArray> newer = files.ReadFile(file.newer->path, maxBytes);
    if (!older || !newer) {
        AddTrouble(file, QStringLiteral("keys not compared: ") +
                             (older ? newer.reason() : older.reason()));
        return;
    }
    file.ini = CompareIni(ParseIni(asIni(older.value())), ParseIni(asIni(newer.value())));
}

QByteArray AsItIs(const QByteArray& text) { return text; }

void CompareRegistryKeys(FileSystem& files, FileComparison& file, const RegistryReader& read) {
    Result<RegistryKeys> older = read(files, file.older->path);
    if (!older) {
        AddTrouble(file, QStringLiteral("registry not compared: ") + older.reason());
        return;
    }
    Result<RegistryKeys> newer = read(files, file.newer->path);
    if (!newer) {
        AddTrouble(file, QStringLiteral("registry not compared: ") + newer.reason());
        return;
    }
    file.registry = CompareRegistries(older.value(), newer.value());
}

// Fills in how a file that both sides have differs, reading it only where its facts differ.
void CompareBoth(FileSystem& files, FileComparison& file, bool registry,
                 const CompareOptions& options) {
    const FileFacts& older = file.older->facts;
    const FileFacts& newer = file.newer->facts;
    if (older.size != newer.size) file.differs |= Aspect::Size;
    if (older.lastWrite.isValid() && newer.lastWrite.isValid() &&
        older.lastWrite != newer.lastWrite)
        file.differs |= Aspect::LastWrite;
    if (older.attributes != newer.attributes) file.differs |= Aspect::Attributes;
    if (file.differs == 0) {
        file.change = FileChange::Same;
        return;
    }
    file.change = FileChange::Changed;
    if (older.size == newer.size) {
        Result<bool> same = SameContents(files, file.older->path, file.newer->path);
        if (!same)
            AddTrouble(file, QStringLiteral("contents not compared: ") + same.reason());
        else if (!same.value())
            file.differs |= Aspect::Contents;
    }
    if (!(file.differs & (Aspect::Size | Aspect::Contents))) return;
    if (IsIniFileName(file.name)) CompareKeysAsIni(files, file, MaxIniBytes, AsItIs);
    // Wine's registry text is compared key by key as an INI file is, without the stamps that
    // change on each start of Wine.
    if (IsWineRegistryName(file.name))
        CompareKeysAsIni(files, file, MaxRegistryBytes, WineRegistryAsIni);
    if (registry && options.readRegistry) CompareRegistryKeys(files, file, options.readRegistry);
}

std::optional<FileSide> SideOf(FileSystem& files, const Listed* listed, FileComparison& file);

// The bytes of a side's file, on the drive or on the host.
Result<QByteArray> ReadSide(FileSystem& files, const Listed& listed) {
    if (!listed.onHost) return files.ReadFile(listed.path, MaxRegistryBytes);
    QFile file(listed.path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxRegistryBytes)
        return Status::Fail(listed.path + QStringLiteral(": ") + file.errorString());
    return file.readAll();
}

// A Wine registry file of the prefix against a set's copy: its text, key by key. Its times and
// attributes are the host's, which a set's copy does not keep, so the text alone tells.
void CompareWithHostFile(FileSystem& files, FileComparison& file, const Listed& before,
                         const Listed& after) {
    const Result<QByteArray> older = ReadSide(files, before);
    const Result<QByteArray> newer = ReadSide(files, after);
    file.older = SideOf(files, &before, file);
    file.newer = SideOf(files, &after, file);
    if (!older || !newer) {
        AddTrouble(file, QStringLiteral("keys not compared: ") +
                             (older ? newer.reason() : older.reason()));
        file.change = FileChange::Changed;
        return;
    }
    if (older.value() == newer.value()) return;  // Same
    file.change = FileChange::Changed;
    file.differs =
        Aspect::Contents | (older.value().size() != newer.value().size() ? Aspect::Size : 0);
    file.ini = CompareIni(ParseIni(WineRegistryAsIni(older.value())),
                          ParseIni(WineRegistryAsIni(newer.value())));
}

// Reads the facts of one side's file; a file that cannot be read is a trouble of its own.
std::optional<FileSide> SideOf(FileSystem& files, const Listed* listed, FileComparison& file) {
    if (!listed) return std::nullopt;
    if (listed->onHost) {
        const QFileInfo host(listed->path);
        return FileSide{listed->path, FileFacts{host.size(), host.lastModified().toUTC(), 0}};
    }
    Result<FileFacts> facts = files.ReadFileFacts(listed->path);
    if (!facts) {
        AddTrouble(file, facts.reason());
        return std::nullopt;
    }
    return FileSide{listed->path, facts.value()};
}

Comparison CompareSides(FileSystem& files, Side older, Side newer, const CompareOptions& options,
                        bool onlyNewer) {
    Comparison comparison;
    comparison.troubles = std::move(older.troubles);
    comparison.troubles.insert(comparison.troubles.end(), newer.troubles.begin(),
                               newer.troubles.end());

    std::vector<QString> keys;
    for (auto it = newer.files.cbegin(); it != newer.files.cend(); ++it) keys.push_back(it.key());
    if (!onlyNewer)
        for (auto it = older.files.cbegin(); it != older.files.cend(); ++it)
            if (!newer.files.contains(it.key())) keys.push_back(it.key());

    for (const QString& key : keys) {
        const auto o = older.files.constFind(key);
        const auto n = newer.files.constFind(key);
        const Listed* before = o == older.files.constEnd() ? nullptr : &*o;
        const Listed* after = n == newer.files.constEnd() ? nullptr : &*n;
        FileComparison file;
        const Listed& shown = after ? *after : *before;
        file.name = shown.name;
        // The drive's own place where it has the file; else where a restore would put it.
        auto onDrive = [](const Listed* listed) { return listed && listed->path == listed->place; };
        file.place = onDrive(after) ? after->place : onDrive(before) ? before->place : shown.place;
        if (before && after && (before->onHost || after->onHost)) {
            CompareWithHostFile(files, file, *before, *after);
            if (file.change != FileChange::Same || options.keepSame)
                comparison.files.push_back(std::move(file));
            continue;
        }
        file.older = SideOf(files, before, file);
        file.newer = SideOf(files, after, file);
        if (!file.trouble.isEmpty()) {
            // A side that could not be read is neither gone nor the same.
            file.change = FileChange::Changed;
        } else if (!before) {
            file.change = FileChange::New;
        } else if (!after) {
            file.change = FileChange::Gone;
        } else {
            CompareBoth(files, file, before->registry || after->registry, options);
        }
        if (file.change == FileChange::Same && file.trouble.isEmpty() && !options.keepSame)
            continue;
        comparison.files.push_back(std::move(file));
    }
    std::sort(comparison.files.begin(), comparison.files.end(),
              [](const FileComparison& a, const FileComparison& b) {
                  return a.place.compare(b.place, Qt::CaseInsensitive) < 0;
              });
    return comparison;
}

}  // namespace

bool Comparison::Differs() const {
    return std::any_of(files.begin(), files.end(),
                       [](const FileComparison& file) { return file.change != FileChange::Same; });
}

bool Comparison::HasTrouble() const {
    return !troubles.empty() ||
           std::any_of(files.begin(), files.end(),
                       [](const FileComparison& file) { return !file.trouble.isEmpty(); });
}

Comparison CompareSetWithDrive(FileSystem& files, const ProgramValues& values,
                               const QString& setPath, const CompareOptions& options) {
    const bool keepApart = RecordOf(files, setPath).has_value();
    Comparison comparison =
        CompareSides(files, SetSide(files, setPath, values, !values.WinePrefix.isEmpty()),
                     DriveSide(files, values, keepApart), options, false);
    comparison.olderName = setPath;
    comparison.newerName = DriveSideName;
    return comparison;
}

Comparison CompareSets(FileSystem& files, const ProgramValues& values, const QString& olderSet,
                       const QString& newerSet, const CompareOptions& options) {
    Comparison comparison = CompareSides(files, SetSide(files, olderSet, values, true),
                                         SetSide(files, newerSet, values, true), options, false);
    comparison.olderName = olderSet;
    comparison.newerName = newerSet;
    return comparison;
}

Comparison PreviewRestore(FileSystem& files, const ProgramValues& values, const QString& setPath,
                          const CompareOptions& options) {
    // Both sides keyed by place: every place the restore groups write, and what lies there now.
    Side restored;
    Side drive;
    const QString folder = setPath + u'\\';
    const std::optional<SetRecord> record = RecordOf(files, setPath);
    QSet<QString> listedOnDrive;
    for (const FileOrigin& twin : record ? record->files : std::vector<FileOrigin>{}) {
        if (twin.nameInSet.compare(twin.nameOnDrive, Qt::CaseInsensitive) == 0) continue;
        const QString target = FullPlaceFolder(twin.place, values.WindowsFolder) + twin.nameOnDrive;
        restored.AddFirst(Folded(target),
                          Listed{twin.nameOnDrive, folder + twin.nameInSet, target, false});
        if (Result<int> there = files.ReadAttributes(target); there)
            drive.AddFirst(Folded(target), Listed{twin.nameOnDrive, target, target, false});
    }
    for (const SetGroup& group : RestoreGroups) {
        const QString pattern = QString::fromUtf16(group.pattern);
        const QString target = RestoredFolder(group, values);
        std::vector<QString> names = FileNames(files, folder, pattern, restored);
        std::erase_if(names, [&](const QString& name) { return !GroupTakes(record, group, name); });
        if (names.empty()) continue;
        for (const QString& name : names)
            restored.AddFirst(Folded(target + name),
                              Listed{name, folder + name, target + name, group.registry});
        const QString listing = Folded(target + pattern);
        if (listedOnDrive.contains(listing)) continue;
        listedOnDrive.insert(listing);
        for (const QString& name : FileNames(files, target, pattern, drive)) {
            const QString path = target + name;
            drive.AddFirst(Folded(path), Listed{name, path, path, group.registry});
        }
    }
    CompareOptions changedOnly = options;
    changedOnly.keepSame = false;
    Comparison comparison =
        CompareSides(files, std::move(drive), std::move(restored), changedOnly, true);
    comparison.olderName = DriveSideName;
    comparison.newerName = setPath;
    return comparison;
}

}  // namespace stowix
