#pragma once
// The comment command: asks the user for a comment that describes the next backup and leaves it
// in the main window's PendingComment, where the next backup run appends it to the new set's
// folder name. Because the comment becomes part of a folder name, it is tried out first as a
// folder in the current folder, created and removed again at once, and the user is asked again
// until the trial succeeds or the answer is empty. It does not deal with the backup itself, and
// it never writes the comment anywhere but PendingComment.

namespace stowix {

class MainWindow;

// The command behind File, Add comment ...
void AddComment(MainWindow& window);

}  // namespace stowix
