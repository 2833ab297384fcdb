#include "boot/batch_commands.h"

#include "dos/wildcard.h"

#include <memory>
#include <optional>

namespace stowix {

namespace {

constexpr int SeenByAttrib = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
// Copy and Del search as DOS does with no attribute given: plain and read-only files, never
// hidden or system ones.
constexpr int SeenByCopyAndDel = Attribute::ReadOnly;

// The folder part of a path or pattern, ready for a listed name to be appended: "C:\STOWIX\" of
// "C:\STOWIX\*.DA?", "C:" of "C:*.*", empty for a bare name in the current folder.
QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'\\');
    if (slash >= 0) return path.left(slash + 1);
    if (path.size() >= 2 && path.at(1) == u':') return path.left(2);
    return QString();
}

bool IsDriveOnly(const QString& path) { return path.size() == 2 && path.at(1) == u':'; }

// The full form of a path, so that a file and itself are seen as one: "X" in the current folder
// C:\WINDOWS gives C:\WINDOWS\X.
QString Absolute(FileSystem& files, const QString& path) {
    if (path.size() >= 3 && path.at(1) == u':' && path.at(2) == u'\\') return path;
    if (path.startsWith(u'\\')) return files.CurrentDrive() + path;
    if (path.size() >= 2 && path.at(1) == u':') return path;  // another drive's current folder
    QString folder = files.CurrentFolder();
    if (!folder.endsWith(u'\\')) folder += u'\\';
    return folder + path;
}

// The bit of an attribute change ("+R", "-h"), or 0 for a word that is none.
int ChangedBit(const QString& word) {
    if (word.size() != 2 || (word.at(0) != u'+' && word.at(0) != u'-')) return 0;
    switch (word.at(1).toUpper().unicode()) {
    case u'R': return Attribute::ReadOnly;
    case u'H': return Attribute::Hidden;
    case u'S': return Attribute::System;
    case u'A': return Attribute::Archive;
    default: return 0;
    }
}

// DOS's own display of a file's attributes: A, then S, H and R, then the path.
QString AttributeLine(int attributes, const QString& path) {
    QString line(11, u' ');
    if (attributes & Attribute::Archive) line[0] = u'A';
    if (attributes & Attribute::System) line[3] = u'S';
    if (attributes & Attribute::Hidden) line[4] = u'H';
    if (attributes & Attribute::ReadOnly) line[5] = u'R';
    return line + path;
}

QString CopiedCount(int count) {
    return QStringLiteral("        ") + QString::number(count) + QStringLiteral(" file(s) copied");
}

QString WithReason(const QString& line, const QString& reason) {
    return line + QStringLiteral(" (") + reason + u')';
}

// --- Attrib ---------------------------------------------------------------------------------

struct AttribRequest {
    int set = 0;
    int clear = 0;
    QString pattern;
};

std::optional<AttribRequest> ParseAttrib(BatchConsole& console, const QStringList& words) {
    const Result<CommandWords> sorted = SortWords(
        words, {.switches = {}, .takesChanges = true, .leastOperands = 0, .mostOperands = 1});
    if (!sorted) {
        console.Fail(sorted.reason());
        return std::nullopt;
    }
    AttribRequest request;
    for (const QString& change : sorted.value().changes)
        (change.startsWith(u'+') ? request.set : request.clear) |= ChangedBit(change);
    request.pattern =
        sorted.value().operands.isEmpty() ? QStringLiteral("*.*") : sorted.value().operands.first();
    return request;
}

// --- Copy -----------------------------------------------------------------------------------

struct CopyRequest {
    QString source;
    QString destination;  // empty: the current folder
};

std::optional<CopyRequest> ParseCopy(BatchConsole& console, const QStringList& words) {
    // A folder with blanks, unquoted, reads as more operands here as it does under DOS.
    const Result<CommandWords> sorted = SortWords(
        words, {.switches = {QStringLiteral("/A"), QStringLiteral("/B"), QStringLiteral("/V"),
                             QStringLiteral("/Y"), QStringLiteral("/-Y")},
                .takesChanges = false,
                .leastOperands = 1,
                .mostOperands = 2});
    if (!sorted) {
        console.Fail(sorted.reason());
        return std::nullopt;
    }
    const QStringList& operands = sorted.value().operands;
    CopyRequest request{operands.at(0), operands.size() == 2 ? operands.at(1) : QString()};
    // Combining files ("a+b", or several files onto one) and wildcard destinations are not done.
    if (request.source.contains(u'+')) {
        console.Fail(QStringLiteral("Combining files is not supported - ") + request.source);
        console.Print(CopiedCount(0));
        return std::nullopt;
    }
    if (request.destination.contains(u'*') || request.destination.contains(u'?')) {
        console.Fail(QStringLiteral("Wildcard destinations are not supported - ") +
                     request.destination);
        console.Print(CopiedCount(0));
        return std::nullopt;
    }
    return request;
}

struct CopyPair {
    QString from;
    QString to;
};

// Each file to copy and where it goes: into a folder (the destination ends with "\", names a
// drive, or is an existing folder) or onto one file.
std::optional<std::vector<CopyPair>> ResolveCopy(FileSystem& files, BatchConsole& console,
                                                 const CopyRequest& request) {
    const Result<QStringList> sources = MatchingFiles(files, request.source, SeenByCopyAndDel);
    if (!sources || sources.value().isEmpty()) {
        console.Fail(QStringLiteral("File not found - ") + request.source);
        console.Print(CopiedCount(0));
        return std::nullopt;
    }
    const QString& destination = request.destination;
    bool intoFolder =
        destination.isEmpty() || destination.endsWith(u'\\') || IsDriveOnly(destination);
    if (!intoFolder) {
        const Result<int> attributes = files.ReadAttributes(destination);
        intoFolder = attributes && (attributes.value() & Attribute::Folder);
    }
    if (!intoFolder && sources.value().size() > 1) {
        console.Fail(QStringLiteral("Cannot copy several files onto one file - ") + destination);
        console.Print(CopiedCount(0));
        return std::nullopt;
    }
    QString targetFolder = destination;
    if (intoFolder && !targetFolder.isEmpty() && !targetFolder.endsWith(u'\\') &&
        !IsDriveOnly(targetFolder))
        targetFolder += u'\\';

    const qsizetype nameStart = FolderPart(request.source).size();
    std::vector<CopyPair> pairs;
    for (const QString& from : sources.value())
        pairs.push_back({from, intoFolder ? targetFolder + from.mid(nameStart) : destination});
    return pairs;
}

// --- Del ------------------------------------------------------------------------------------

std::optional<QString> ParseDelete(BatchConsole& console, const QStringList& words) {
    const Result<CommandWords> sorted = SortWords(words, {});
    if (!sorted) {
        console.Fail(sorted.reason());
        return std::nullopt;
    }
    return sorted.value().operands.first();
}

}  // namespace

Result<CommandWords> SortWords(const QStringList& words, const CommandRules& rules) {
    CommandWords sorted;
    for (const QString& word : words) {
        if (word.startsWith(u'/')) {
            if (!rules.switches.contains(word.toUpper()))
                return Status::Fail(QStringLiteral("Invalid switch - ") + word);
            sorted.switches.append(word);
        } else if (rules.takesChanges && (word.startsWith(u'+') || word.startsWith(u'-'))) {
            if (ChangedBit(word) == 0)
                return Status::Fail(QStringLiteral("Invalid switch - ") + word);
            sorted.changes.append(word);
        } else {
            sorted.operands.append(word);
        }
    }
    if (sorted.operands.size() < rules.leastOperands)
        return Status::Fail(QStringLiteral("Required parameter missing"));
    if (sorted.operands.size() > rules.mostOperands)
        return Status::Fail(QStringLiteral("Too many parameters - ") +
                            sorted.operands.at(rules.mostOperands));
    return sorted;
}

Result<QStringList> MatchingFiles(FileSystem& files, const QString& pattern, int mask) {
    const Result<std::vector<FolderEntry>> entries = files.ListFolder(pattern, mask);
    if (!entries) return entries.status();
    const QString folder = FolderPart(pattern);
    QStringList paths;
    for (const FolderEntry& entry : entries.value())
        if (!(entry.attributes & Attribute::Folder)) paths.append(folder + entry.name);
    return paths;
}

// Attrib [+|-][R A S H]... [pattern]: sees hidden and system files too. Without a change it
// shows each file's attributes; with one it shows each file's new attributes.
QStringList Attrib(FileSystem& files, BatchConsole& console, const QStringList& words) {
    const std::optional<AttribRequest> request = ParseAttrib(console, words);
    if (!request) return {};
    const Result<QStringList> paths = MatchingFiles(files, request->pattern, SeenByAttrib);
    if (!paths) {
        console.Fail(
            WithReason(QStringLiteral("File not found - ") + request->pattern, paths.reason()));
        return {};
    }
    if (paths.value().isEmpty()) {
        console.Fail(QStringLiteral("File not found - ") + request->pattern);
        return {};
    }
    QStringList changed;
    for (const QString& path : paths.value()) {
        // Read afresh: a listing need not carry the values of the kinds its mask takes whole.
        const Result<int> current = files.ReadAttributes(path);
        if (!current) {
            console.Fail(WithReason(QStringLiteral("Access denied - ") + path, current.reason()));
            continue;
        }
        const int value = (current.value() & ~request->clear) | request->set;
        if (value != current.value()) {
            // A file that the host knows by another name too (a hard link, which a program in
            // the drive can make to a file outside it) is refused, not changed through that name.
            if (Status written = files.WriteAttributesOfSingleFile(path, value); !written) {
                console.Fail(
                    WithReason(QStringLiteral("Access denied - ") + path, written.reason()));
                continue;
            }
            changed.append(path);
        }
        console.Print(AttributeLine(value, path));
    }
    return changed;
}

// Copy <pattern> [destination]: every plain or read-only file that matches, into a folder or onto
// one file. An existing read-only, hidden or system target is refused, as DOS refuses it.
QStringList Copy(FileSystem& files, BatchConsole& console, const QStringList& words) {
    const std::optional<CopyRequest> request = ParseCopy(console, words);
    if (!request) return {};
    const std::optional<std::vector<CopyPair>> pairs = ResolveCopy(files, console, *request);
    if (!pairs) return {};
    QStringList changed;
    int copied = 0;
    for (const CopyPair& pair : *pairs) {
        if (Absolute(files, pair.from).compare(Absolute(files, pair.to), Qt::CaseInsensitive) ==
            0) {
            console.Fail(QStringLiteral("File cannot be copied onto itself - ") + pair.from);
            continue;
        }
        if (const Result<int> existing = files.ReadAttributes(pair.to);
            existing && (existing.value() & (Attribute::Folder | Attribute::ReadOnly |
                                             Attribute::Hidden | Attribute::System))) {
            console.Fail(QStringLiteral("Access denied - ") + pair.to);
            continue;
        }
        console.Print(pair.from);
        if (Status done = files.CopyFile(pair.from, pair.to); !done) {
            console.Fail(
                WithReason(QStringLiteral("File creation error - ") + pair.to, done.reason()));
            continue;
        }
        changed.append(pair.to);
        if (Status marked = files.WriteAttributes(pair.to, Attribute::Archive); !marked)
            console.Fail(WithReason(
                QStringLiteral("Copied, but its attributes could not be set - ") + pair.to,
                marked.reason()));
        ++copied;
    }
    console.Print(CopiedCount(copied));
    return changed;
}

// The folder of a pattern as a path of its own ("C:\Stowix" for "C:\Stowix\*.Da?") when it is a
// folder below a drive's root; nothing for a root or the current folder.
std::optional<QString> FolderBelowRoot(const QString& pattern) {
    const QString folder = FolderPart(pattern);
    if (folder.size() <= 3 || folder.at(1) != u':' || folder.at(2) != u'\\') return std::nullopt;
    return folder.chopped(1);
}

// Del in a folder held while its files go: the files are found and deleted through the folder
// that was found first, so that a link put in its place meanwhile cannot lead the deletes into
// another folder; a folder reached through a link is refused.
void DeleteInHeldFolder(FileSystem& files, BatchConsole& console, const QString& folder,
                        const QString& pattern) {
    const Result<std::unique_ptr<HeldFolder>> held = files.HoldFolder(folder);
    const Result<std::vector<FolderEntry>> entries =
        held ? held.value()->List() : Result<std::vector<FolderEntry>>(held.status());
    if (!entries) {
        console.Fail(held.notFound() ? QStringLiteral("File not found - ") + pattern
                                     : WithReason(QStringLiteral("Access denied - ") + pattern,
                                                  entries.reason()));
        return;
    }
    const WildcardPattern wildcard(QStringView(pattern).mid(folder.size() + 1));
    constexpr int Unseen = Attribute::Folder | Attribute::Hidden | Attribute::System;
    bool found = false;
    for (const FolderEntry& entry : entries.value()) {
        if ((entry.attributes & Unseen) != 0 || !wildcard.Matches(entry.name)) continue;
        found = true;
        const QString path = folder + u'\\' + entry.name;
        if (entry.attributes & Attribute::ReadOnly) {
            console.Fail(QStringLiteral("Access denied - ") + path);
            continue;
        }
        if (Status deleted = held.value()->DeleteFile(entry.name); !deleted) {
            console.Fail(WithReason(QStringLiteral("Access denied - ") + path, deleted.reason()));
            continue;
        }
        console.Print(path + QStringLiteral(" deleted"));
    }
    if (!found) console.Fail(QStringLiteral("File not found - ") + pattern);
}

// Del <pattern>: deletes the plain files that match; hidden and system files are not seen and a
// read-only one is refused, as under DOS.
void Delete(FileSystem& files, BatchConsole& console, const QStringList& words) {
    const std::optional<QString> pattern = ParseDelete(console, words);
    if (!pattern) return;
    if (const std::optional<QString> folder = FolderBelowRoot(*pattern)) {
        DeleteInHeldFolder(files, console, *folder, *pattern);
        return;
    }
    const Result<QStringList> paths = MatchingFiles(files, *pattern, SeenByCopyAndDel);
    if (!paths || paths.value().isEmpty()) {
        console.Fail(QStringLiteral("File not found - ") + *pattern);
        return;
    }
    for (const QString& path : paths.value()) {
        const Result<int> current = files.ReadAttributes(path);
        if (current && (current.value() & Attribute::ReadOnly)) {
            console.Fail(QStringLiteral("Access denied - ") + path);
            continue;
        }
        if (Status deleted = files.DeleteFile(path); !deleted) {
            console.Fail(WithReason(QStringLiteral("Access denied - ") + path, deleted.reason()));
            continue;
        }
        console.Print(path + QStringLiteral(" deleted"));
    }
}

}  // namespace stowix
