#pragma once
// The message boxes and the input box as Qt dialogs. The program's texts break lines with
// single carriage returns; they are shown as line breaks and as plain text (a path with '<'
// is not markup). A Yes/No box has Yes as its default button, and closing it through its frame
// or with Escape answers No.
//
// Unattended (the "/U" run, or no display at all), nobody is there to answer: a message box
// prints "<title>: <text>" on standard error and answers Ok, or No to a question, so that an
// unattended run never does what needs a yes; the input box answers an empty text. A box's
// details are shown only in the window, behind its "Show Details..." button.

#include "view/dialogs.h"

namespace stowix {

enum class DialogMode { Interactive, Unattended };

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(DialogMode mode);

    MessageAnswer MessageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                             const QString& title, const QString& details = QString()) override;
    QString InputBox(const QString& prompt, const QString& title) override;

    // True on the platforms that show nothing (offscreen, minimal): there, a dialog would wait
    // for an answer that cannot come.
    static bool DisplayIsAbsent();
    // The program's carriage returns as line breaks; a CR LF pair is one break.
    static QString DisplayText(const QString& text);

private:
    DialogMode m_mode;
};

}  // namespace stowix
