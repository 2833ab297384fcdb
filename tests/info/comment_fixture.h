#pragma once
// A main window over faked controls, dialogs, system and settings, and a temporary drive C:
// whose real file system sits under a fault injector that also records every call, for the
// comment command and the boxes that show what the backup runs recorded.

#include "support/fake_window_services.h"
#include "support/faulty_file_system.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace stowix::test {

class CommentFixture : public ::testing::Test, protected FakeWindowServices {
protected:
    CommentFixture() {
        values.WindowsFolder = "C:\\WINDOWS";
        values.WindowsFolderTail = "\\WINDOWS";
    }

    // The input box's answers, in order; an empty text is the user's cancel.
    void Answer(std::initializer_list<QString> answers) {
        dialogs.inputs.insert(dialogs.inputs.end(), answers.begin(), answers.end());
    }

    QString Status() const { return form.statusBar1.Text(); }
    // The names in the current folder (the root of C:), as stored on the host.
    QStringList RootNames() const { return drive.HostNames("C:\\"); }

    TempDrive drive;
    FaultyFileSystem files{drive.Files()};
    MainWindow window{form, Over(files), values};
};

}  // namespace stowix::test
