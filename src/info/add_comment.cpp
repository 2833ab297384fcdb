#include "info/add_comment.h"

#include "dos/name_rules.h"
#include "files/text_routines.h"
#include "shell/main_window.h"

#include <algorithm>

namespace stowix {

namespace {

// The most UTF-16 units of the user's answer that a comment keeps.
constexpr qsizetype CommentLength = 32;

const QString Prompt = QStringLiteral("Please add a comment that describes this backup.");
const QString InputTitle = QStringLiteral("Add Comment");
const QString RejectionTitle = QStringLiteral("DOS Lives!");
// Line breaks are single carriage returns; the doubled apostrophes and the two blanks after the
// first sentence are part of the text the user sees.
const QString RejectionText = QStringLiteral(
    "Your comment becomes part of the backup's Windows filename and, as such, cannot contain "
    "so-called ''reserved characters.''  Examples of reserved filename characters are slashes, "
    "backslashes, colins, plus signs, and so on.\r\r"
    "Please re-enter your comment without using ''reserved'' characters.");

// True when the trial folder can be created in the current folder and removed again. Only a
// folder that this call created is removed: one that existed before makes the creation fail and
// is left as it was.
bool TrialFolderSucceeds(FileSystem& files, const QString& name) {
    // A separator would make the trial a folder inside another one, which succeeds whenever the
    // current folder happens to hold a folder named like the part before it, while the backup
    // set's name can never hold it. The trial must name exactly one folder.
    if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) return false;
    if (!files.CreateFolder(name)) return false;
    return files.RemoveEmptyFolder(name).ok();
}

// True for a pending comment that would give the set a name Windows cannot hold, though the
// host's trial folder takes it: a name that ends in a dot or a blank (Windows drops them, so the
// set could not be opened under its name; this covers ".", ".." and blanks only), or a comment
// that is a device's name (CON, nul.txt), which Windows takes for the device.
bool WindowsCannotHold(const QString& pendingComment) {
    if (pendingComment.endsWith(QLatin1Char('.')) || pendingComment.endsWith(QLatin1Char(' ')))
        return true;
    qsizetype start = 0;
    while (start < pendingComment.size() && pendingComment.at(start) == QLatin1Char(' ')) ++start;
    return !NameRefusal(QStringView(pendingComment).mid(start)).isEmpty();
}

// The first CommentLength units of answer, one fewer where the last would be the first half of
// a character that takes two units: a halved character is no text a folder name can hold.
QString CommentFromAnswer(const QString& answer) {
    qsizetype length = std::min<qsizetype>(answer.size(), CommentLength);
    if (length == CommentLength && answer.at(length - 1).isHighSurrogate()) --length;
    return answer.left(length);
}

}  // namespace

void AddComment(MainWindow& window) {
    Services& services = window.services();
    window.SetStatusText(QStringLiteral("Adding comment ..."));
    bool rejected = false;
    do {
        window.PendingComment = CommentFromAnswer(services.dialogs.InputBox(Prompt, InputTitle));
        rejected = false;
        if (!window.PendingComment.isEmpty()) {
            window.PendingComment = QLatin1Char(' ') + window.PendingComment;
            rejected = WindowsCannotHold(window.PendingComment) ||
                       !TrialFolderSucceeds(services.files, window.PendingComment);
            if (rejected)
                services.dialogs.MessageBox(RejectionText, MessageButtons::Ok, MessageIcon::None,
                                            RejectionTitle);
        }
    } while (rejected);

    if (window.PendingComment.isEmpty())
        window.SetStatusText(QStringLiteral("No comment added"));
    else
        window.SetStatusText(QStringLiteral("Comment [") + TrimText(window.PendingComment) +
                             QStringLiteral("] added"));
}

}  // namespace stowix
