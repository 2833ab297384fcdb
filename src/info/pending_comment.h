#pragma once
// The comment for the next backup set, under the rules of the Add comment command: the first 32
// characters of what the user gave, after one blank. Because the comment becomes part of a folder
// name, it is tried out first as a folder in the current folder, created and removed again at
// once. The window's command asks again after a refusal; stowix-backup refuses its --comment.

#include "fs/file_system.h"

#include <QString>

namespace stowix {

// The pending comment for answer: empty for an empty answer, else a blank and the comment.
// Fails when the comment could not be part of a set's folder name.
Result<QString> PendingCommentFrom(FileSystem& files, const QString& answer);

}  // namespace stowix
