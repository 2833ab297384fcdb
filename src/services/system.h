#pragma once
// What the program asks of the system apart from files: its own instance and folder, the date and
// time texts, the beep, and ending at once.

#include <QString>

namespace stowix {

class System {
public:
    virtual ~System() = default;
    // True when another copy of the program already runs for this user.
    virtual bool PreviousInstance() = 0;
    // The folder of the running program, a host path without a trailing separator. The media
    // services take it followed by a backslash and a file name, as the program builds it.
    virtual QString ProgramFolder() = 0;
    // The current date in the user's short date form, and the current time with seconds.
    virtual QString DateText() = 0;
    virtual QString TimeText() = 0;
    virtual void Beep() = 0;
    // Ends the program at once with this exit status: no further handler runs. A fake records
    // the call and returns, so callers return straight after it.
    virtual void EndNow(int exitStatus) = 0;
};

}  // namespace stowix
