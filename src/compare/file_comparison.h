#pragma once
// What differs between a backup set and the drive, between two sets, or between the drive and
// what a restore of a set would make of it, file by file, down to the keys of INI files and the
// keys and values of registry files. Sets and the drive are read only through FileSystem.
//
// A set is flat: its files are compared by name with the files of the other side. The drive's
// side is what a backup made now would take (the backup groups, a later group's file replacing
// an earlier one of the same name), so a set compared with the drive it was made of shows no
// difference. Each file is shown at its place on the drive: where the drive has it, else where a
// restore would put it. A file whose size, last-write time and attribute value agree on both
// sides is the same, and is not read.
//
// It does not deal with naming sets on a command line or showing the result (comparison_text.h).

#include "compare/ini_diff.h"
#include "compare/registry_diff.h"
#include "fs/file_system.h"
#include "services/program_values.h"
#include "services/result.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace stowix {

// How a file of the newer side stands to the older side's.
enum class FileChange {
    Gone,     // only the older side has it
    New,      // only the newer side has it
    Changed,  // both have it, and its facts differ
    Same,     // both have it with the same size, last-write time and attribute value
};

// What differs about a changed file, as bits.
namespace Aspect {
constexpr int Size = 1;
constexpr int LastWrite = 2;
constexpr int Attributes = 4;
constexpr int Contents = 8;  // read only when the sizes agree
}  // namespace Aspect

// One side's file: where its bytes lie and what the file system tells of it.
struct FileSide {
    QString path;  // "C:\Stowix\<set>\WIN.INI", "C:\WINDOWS\WIN.INI"
    FileFacts facts;
};

struct FileComparison {
    QString name;   // the file's name as one side stores it ("WIN.INI")
    QString place;  // its place on the drive ("C:\WINDOWS\WIN.INI")
    FileChange change = FileChange::Same;
    std::optional<FileSide> older;
    std::optional<FileSide> newer;
    int differs = 0;             // Aspect bits, for a changed file
    std::vector<IniChange> ini;  // a changed INI file's keys
    // A changed registry file's keys and values, when a registry reader was given and read both.
    std::optional<RegistryDifference> registry;
    // Why part of the comparison of this file could not be made; empty when all of it was.
    QString trouble;
};

// Reads every key and value of a registry file of the drive.
using RegistryReader = std::function<Result<RegistryKeys>(FileSystem&, const QString& path)>;

struct CompareOptions {
    RegistryReader readRegistry;  // empty: registry files are compared as files only
    bool keepSame = false;        // keep the files that are the same in the result
};

struct Comparison {
    QString olderName;  // "C:\Stowix\<set>", or "drive C:"
    QString newerName;
    std::vector<FileComparison> files;  // by place, without regard to case
    // Folders or files that could not be read at all; each file's own trouble is on the file.
    std::vector<QString> troubles;

    bool Differs() const;
    bool HasTrouble() const;
};

// The name the comparisons give the live drive's side.
inline const QString DriveSideName = QStringLiteral("drive C:");

// The set as it was made (older) against the drive as it is now (newer).
Comparison CompareSetWithDrive(FileSystem& files, const ProgramValues& values,
                               const QString& setPath, const CompareOptions& options);

// Two sets: the first one named is the older side.
Comparison CompareSets(FileSystem& files, const ProgramValues& values, const QString& olderSet,
                       const QString& newerSet, const CompareOptions& options);

// What a restore of the set would change on the drive: each file that the restore groups would
// write, at every place they write it (registry files at their place in the Windows folder,
// where the next start of Windows puts them), that is missing there (New) or differs (Changed).
// The drive is the older side. Files the restore would leave alone are not listed.
Comparison PreviewRestore(FileSystem& files, const ProgramValues& values, const QString& setPath,
                          const CompareOptions& options);

}  // namespace stowix
