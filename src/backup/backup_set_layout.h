#pragma once
// What a backup set looks like on disk: its folder's name and path, and the fifteen file groups
// it is made of. A set is one flat folder under the backup root (shell/program_values.h), named
// by the date and time it was made and the pending comment; there is no index or manifest.
// This does not deal with making, reading or removing sets: the runs do that.

#include <QString>

#include <vector>

namespace stowix {

// One group of files that a backup copies: every file in sourceFolder (a folder on drive C:,
// drive-less, ending in a backslash) that matches pattern.
struct FileGroup {
    QString sourceFolder;
    QString pattern;
};

// The set stamp: dateText, one blank, timeText, with every "/" written "-" and then every ":"
// written ";". No other character is changed, so a regional form with dots keeps them.
QString SetStamp(const QString& dateText, const QString& timeText);

// The full path of a set, without a trailing backslash: the backup root, a backslash, the stamp
// and pendingComment (empty, or a blank and the comment), which is never rewritten.
QString SetPath(const QString& stamp, const QString& pendingComment);

// The fifteen groups in the order a backup copies them: the root of drive C: first, then the
// Windows folder found on drive C: by its drive-less path windowsFolderTail ("\WINDOWS"). A set
// is flat, so a later group's file replaces an earlier one of the same name.
std::vector<FileGroup> FileGroups(const QString& windowsFolderTail);

}  // namespace stowix
