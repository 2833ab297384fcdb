#pragma once
// What a fault may and may not leave behind, checked on the host: every file of the drive whole
// (its old bytes, or the bytes it was meant to get; never cut short), older backup sets as they
// were, no file in the program's own listings but those a run was to make, a settings file that
// the program can read, and a last backup that names a complete set. Each check returns the
// problems it found, one line each, so that a failing test prints them all. The expected contents
// of sets and restores are worked out here from the drive's files, the program's file groups and
// its wildcard rules (tested on their own in tests/dos), not from the copying code. Leftover
// files are found by comparing whole listings, never by the look of a temporary name.

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace stowix::test {

class ProgramWorld;

// One host file: its size and a digest of its bytes; a link holds its target instead.
struct FileState {
    qint64 size = 0;
    QByteArray digest;
    QByteArray record;  // the bytes of a set's record (STOWIX.SET); empty for any other file
    bool operator==(const FileState&) const = default;
};

// Every file below a host folder, by its path relative to that folder ("WINDOWS/WIN.INI").
using Snapshot = QMap<QString, FileState>;

Snapshot TakeSnapshot(const QString& hostFolder);
FileState StateOf(const QByteArray& bytes);

// Files under prefix ("" for all; "Stowix/1-1-99 1;00;00 AM/") that differ from before or are
// gone, and files that appeared there; paths in skip (prefixes too) are left out.
QStringList ChangedFiles(const Snapshot& before, const Snapshot& after, const QString& prefix,
                         const QStringList& skip = {});

// The files that a backup of this drive copies, by upper-cased name in the set, each name's files
// in the order of the file groups: the last one is what a complete set holds. A file of the
// Windows folder whose name a file of the root has (COMMAND.COM) is kept apart under its twin
// name ("COMMAND.COM.WIN"). windowsFolder: its host name.
using SetSources = QMap<QString, QList<FileState>>;
SetSources BackupSources(const Snapshot& drive, const QString& windowsFolder);
// The bytes in use on the file system that holds hostFolder.
qint64 UsedBytesOf(const QString& hostFolder);
// Every byte of the drive's files that a whole backup writes (a restore's undo set too).
qint64 BytesOfAWholeBackup(const SetSources& sources);
// The bytes a backup writes into its record (begun, its files listed, complete), as a set made
// of the same drive shows them.
qint64 BytesOfSetRecords(const Snapshot& drive, const QString& setName);
// Every file of the set is whole: one of the drive's files of its name. With complete, the set
// holds exactly the last file of every name. The set's record is no file of the drive.
QStringList SetProblems(const Snapshot& after, const QString& setName, const SetSources& sources,
                        bool complete);

// What a restore may leave at one destination: its old bytes or the new ones (digests), and
// what a finished restore leaves there.
struct Outcome {
    QSet<QByteArray> allowed;
    QByteArray final;
};
// Where a restore of this set puts each of its files, as host paths relative to the drive: for a
// set with a record, only back where each came from; for one without, wherever a restore group
// takes it. The boot script WinStart.Bat gets the script's own bytes.
QMap<QString, Outcome> RestoreOutcomes(const Snapshot& before, const QString& setName,
                                       const QString& windowsFolder, const QByteArray& bootScript);
// Every file outside the backup sets is unchanged or holds one of its outcomes (with complete,
// the final one); none has vanished unless its path starts with one of mayVanish, and an
// outcome's file that existed before still exists.
QStringList RestoreProblems(const Snapshot& before, const Snapshot& after,
                            const QMap<QString, Outcome>& outcomes, bool complete,
                            const QStringList& mayVanish = {});

// The boot script a restore writes for the Windows folder windowsDosFolder ("C:\WINDOWS").
QByteArray BootScript(const QString& windowsDosFolder);

// The files of after that are not in before and that the program's own listing (stowix-dir) does
// not show: what a killed run leaves behind unseen (its temporary files, whatever their names).
// Each folder that holds a new file is listed by the program and compared with the host's.
QStringList UnlistedFiles(ProgramWorld& world, const Snapshot& before, const Snapshot& after);
// The snapshot without these paths.
Snapshot Without(Snapshot snapshot, const QStringList& paths);
// The settings file: readable as the program writes it, only the program's keys, paths where
// paths belong, and LastBackup naming a complete set of these sources.
QStringList SettingsProblems(ProgramWorld& world, const Snapshot& drive, const SetSources& sources);

}  // namespace stowix::test
