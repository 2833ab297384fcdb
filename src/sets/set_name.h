#pragma once
// A backup set as a command line names it: a DOS path ("C:\Stowix\11-5-99 3;45;12 PM") or the
// set's folder name alone ("11-5-99 3;45;12 PM"), which lies in the backup root. One rule for
// every command that takes a set.

#include <QString>

namespace stowix {

// A DOS path has a backslash or a colon; a set's folder name can hold neither, as Windows
// refuses both in a name.
bool IsDosPath(const QString& argument);

// The argument as given when it is a DOS path, else the folder of that name in the backup root.
QString NamedSetPath(const QString& argument);

// True when path names a folder directly inside the backup root ("C:\Stowix\" and one folder
// name), compared without regard to case as the file system finds folders. The root itself, a
// deeper folder, a path elsewhere and names that Windows would refuse or resolve elsewhere ("..",
// "a\..\b", "x:y", wildcards) are not sets.
bool IsBackupSetPath(const QString& path);

}  // namespace stowix
