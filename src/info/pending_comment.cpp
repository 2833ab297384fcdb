#include "info/pending_comment.h"

#include "dos/name_rules.h"

#include <algorithm>

namespace stowix {

namespace {

// The most UTF-16 units of the user's answer that a comment keeps.
constexpr qsizetype CommentLength = 32;

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

Result<QString> PendingCommentFrom(FileSystem& files, const QString& answer) {
    const QString kept = CommentFromAnswer(answer);
    if (kept.isEmpty()) return QString();
    const QString comment = QLatin1Char(' ') + kept;
    if (WindowsCannotHold(comment))
        return Status::Fail(QStringLiteral("Windows cannot hold it in a folder name"));
    if (!TrialFolderSucceeds(files, comment))
        return Status::Fail(QStringLiteral("a folder cannot be named by it"));
    return comment;
}

}  // namespace stowix
