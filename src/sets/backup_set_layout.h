#pragma once
// What a backup set looks like on disk: its folder's name and path, and the one table of its file
// groups that the backup run, the restore run, the boot script and the tests read: where each
// group's files lie on drive C:, the pattern, and which are registry files. A set is one flat
// folder under the backup root (sets/backup_root.h), named by the date and time it was made
// and the pending comment; there is no index or manifest. This does not deal with making,
// reading or removing sets: the runs do that.

#include "services/program_values.h"
#include "sets/backup_root.h"

#include <QString>

#include <array>

namespace stowix {

// Where a group's files lie.
enum class SetPlace {
    DriveRoot,      // the root of drive C:
    WindowsFolder,  // the Windows folder, on whichever drive it is
    BackupRoot,     // the backup root, where a restore stages the registry files
};

// One group of the layout: the files that match pattern, without regard to case. This one record
// serves the backup, the restore, their room estimates and the comparisons; each turns the place
// into a folder with the functions below.
struct SetGroup {
    SetPlace place;  // a backup takes the files from here; a restore puts them here
    const char16_t* pattern;
    bool registry;  // registry files: a restore stages them for the boot script
};

// The groups a backup copies into a set, in order. Because the set is flat, a later group's
// file replaces an earlier one of the same name.
inline constexpr std::array<SetGroup, 15> BackupGroups{{
    {SetPlace::DriveRoot, u"Autoexec.Bat", false},
    {SetPlace::DriveRoot, u"Command.Com", false},
    {SetPlace::DriveRoot, u"*.Sys", false},
    {SetPlace::WindowsFolder, u"System.Dat", true},
    {SetPlace::WindowsFolder, u"System.Da0", true},
    {SetPlace::WindowsFolder, u"User.Dat", true},
    {SetPlace::WindowsFolder, u"User.Da0", true},
    {SetPlace::WindowsFolder, u"*.Bat", false},
    {SetPlace::WindowsFolder, u"*.Com", false},
    {SetPlace::WindowsFolder, u"*.Grp", false},
    {SetPlace::WindowsFolder, u"*.Ini", false},
    {SetPlace::WindowsFolder, u"*.Pif", false},
    {SetPlace::WindowsFolder, u"*.Pwl", false},
    {SetPlace::WindowsFolder, u"ShellIconCache", false},
    {SetPlace::WindowsFolder, u"TTFcache", false},
}};

// The pattern that takes a set's registry files (SYSTEM.DAT, USER.DAT and their .DA0 copies):
// the restore stages them in the backup root with it, and the boot script moves what matches it.
inline constexpr char16_t StagedPattern[] = u"*.Da?";

// The groups a restore copies out of a set, each pattern matched in the set folder, in order.
// Config.Sys is taken by its own group and again by "*.Sys"; the set's Autoexec.Bat and
// Command.Com reach both the root and the Windows folder.
inline constexpr std::array<SetGroup, 13> RestoreGroups{{
    {SetPlace::DriveRoot, u"Autoexec.Bat", false},
    {SetPlace::DriveRoot, u"Command.Com", false},
    {SetPlace::DriveRoot, u"Config.Sys", false},
    {SetPlace::DriveRoot, u"*.Sys", false},
    {SetPlace::WindowsFolder, u"*.Bat", false},
    {SetPlace::WindowsFolder, u"*.Com", false},
    {SetPlace::WindowsFolder, u"*.Ini", false},
    {SetPlace::WindowsFolder, u"*.Grp", false},
    {SetPlace::WindowsFolder, u"*.Pif", false},
    {SetPlace::WindowsFolder, u"*.Pwl", false},
    {SetPlace::WindowsFolder, u"ShellIconCache", false},
    {SetPlace::WindowsFolder, u"TTFcache", false},
    {SetPlace::BackupRoot, StagedPattern, true},
}};

// The comment of the set a restore keeps first (restore/undo_set.h): a blank and its words, as a
// pending comment is.
inline const QString UndoComment = QStringLiteral(" before restore");

// The set stamp: dateText, one blank, timeText, with every "/" written "-" and then every ":"
// written ";". No other character is changed, so a regional form with dots keeps them.
QString SetStamp(const QString& dateText, const QString& timeText);

// The full path of a set, without a trailing backslash: the backup root, a backslash, the stamp
// and pendingComment (empty, or a blank and the comment), which is never rewritten.
QString SetPath(const QString& stamp, const QString& pendingComment);

// The folder of a place, without a trailing backslash: "" for the root of the current drive (C:),
// windowsFolder ("C:\WINDOWS", "D:\WINDOWS") for the Windows folder, BackupRoot ("C:\Stowix").
// A Windows folder on another drive is taken there: a set holds what Windows really uses.
QString PlaceFolder(SetPlace place, const QString& windowsFolder);

// The same with its drive and a trailing backslash: "C:\" for the root of drive C:,
// "D:\WIN98\" for a Windows folder there, "C:\Stowix\" for the backup root. A backup takes a
// group's files from here, and a restore copies them here.
QString FullPlaceFolder(SetPlace place, const QString& windowsFolder);

// The full DOS folder, ending in a backslash, where a restore leaves a group's files: the group's
// place, but for the registry group, whose files the boot script moves from the
// backup root into the Windows folder (values.WindowsFolder) at the next start of Windows.
QString RestoredFolder(const SetGroup& group, const ProgramValues& values);

}  // namespace stowix
