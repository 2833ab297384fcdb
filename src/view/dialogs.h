#pragma once
// Modal message boxes and the input box. Texts keep the program's carriage returns; showing
// them as line breaks is the toolkit's matter.

#include <QString>

namespace stowix {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Information, Question };
enum class MessageAnswer { Ok, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Waits for the user's answer. With YesNo, Yes is the default button; closing the box
    // without a choice answers No. details, when not empty, is a longer text that the box keeps
    // behind a "Show Details..." button (line breaks as in text).
    virtual MessageAnswer MessageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                                     const QString& title, const QString& details = QString()) = 0;
    // The typed text, or an empty text when the user cancels. The entry field starts empty.
    virtual QString InputBox(const QString& prompt, const QString& title) = 0;
};

}  // namespace stowix
