#include "info/add_comment.h"

#include "files/text_routines.h"
#include "info/pending_comment.h"
#include "shell/main_window.h"

namespace stowix {

namespace {

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

}  // namespace

void AddComment(MainWindow& window) {
    Services& services = window.services();
    window.SetStatusText(QStringLiteral("Adding comment ..."));
    bool rejected = false;
    do {
        const Result<QString> comment =
            PendingCommentFrom(services.files, services.dialogs.InputBox(Prompt, InputTitle));
        window.PendingComment = comment ? comment.value() : QString();
        rejected = !comment;
        if (rejected)
            services.dialogs.MessageBox(RejectionText, MessageButtons::Ok, MessageIcon::None,
                                        RejectionTitle);
    } while (rejected);

    if (window.PendingComment.isEmpty())
        window.SetStatusText(QStringLiteral("No comment added"));
    else
        window.SetStatusText(QStringLiteral("Comment [") + TrimText(window.PendingComment) +
                             QStringLiteral("] added"));
}

}  // namespace stowix
