#pragma once
// The dialogs of a run without a window: each message box goes to standard error as one entry,
// its title, a colon and its text, every line escaped (files/escaped_text.h) since the text names
// files and sets of the drive. A question is answered No, the safe answer where nobody can be
// asked; the input box answers with an empty text.

#include "view/dialogs.h"

namespace stowix {

class TerminalDialogs : public Dialogs {
public:
    MessageAnswer MessageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                             const QString& title, const QString& details = QString()) override;
    QString InputBox(const QString& prompt, const QString& title) override;

    // The text with the program's carriage returns as line breaks.
    static QString DisplayText(const QString& text);
};

}  // namespace stowix
