#pragma once
// The fakes a main window runs over, each recording into one log, and the program's values. A
// fixture derives from it, adds the file system it wants, and builds the window over Over(files).

#include "shell/main_window.h"
#include "support/event_log.h"
#include "support/fake_forms.h"
#include "support/fake_services.h"

namespace stowix::test {

struct FakeWindowServices {
    Services Over(FileSystem& files) { return Services{files, settings, system, dialogs, windows}; }

    EventLog log;
    FakeForm1 form{log};
    FakeSettingsStore settings;
    FakeSystem system{log};
    FakeDialogs dialogs{log};
    FakeWindowsApi windows{log};
    ProgramValues values;
};

}  // namespace stowix::test
