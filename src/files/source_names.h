#pragma once
// The names of a group copy's source folder that must not be copied as they are: a name that
// Windows cannot hold (a backslash, which would make the name a path; the other characters
// Windows refuses are refused where the copy is made), and two names that differ only in case,
// which are one file on Windows and in a backup set, so that either would silently replace the
// other. Each such name becomes a failure that names it (a pair names both), and the listing
// keeps only the names that may be copied. It does not deal with listing or copying.

#include "files/listing.h"

#include <QString>

#include <vector>

namespace stowix {

// folder: the listed folder as FindFiles gives it ("C:\WINDOWS\"); names: bare names, in the
// listing's order, from which the refused ones are taken out.
std::vector<CopyFailure> TakeRefusedNames(const QString& folder, std::vector<QString>& names);

// Every name of folder that is pattern's single name in another case; empty for a pattern with
// wildcards. A plain-name listing stops at the first match, so a pair is found only this way.
std::vector<QString> NamesOfEveryCase(FileSystem& files, const QString& folder,
                                      const QString& pattern);

}  // namespace stowix
