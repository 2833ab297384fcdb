// The restore's files reach the disk before the run records them as restored and before the
// restart that relies on them is offered; a disk that cannot take them makes the restore an
// incomplete one. Reached through the logic, where the order of the calls shows.

#include "restore/folder_chooser.h"
#include "support/event_log.h"
#include "support/fake_forms.h"
#include "support/fake_services.h"
#include "support/faulty_file_system.h"
#include "support/temp_drive.h"

#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

// Writes each flush into the shared log, so that it is ordered among the settings writes and the
// restart.
class LoggedFlushes : public FaultyFileSystem {
public:
    LoggedFlushes(FileSystem& inner, EventLog& log) : FaultyFileSystem(inner), m_log(log) {}
    Status FlushToDisk(const QString& path) override {
        const Status flushed = FaultyFileSystem::FlushToDisk(path);
        m_log.Add(QStringLiteral("FlushToDisk ") + (flushed ? "done" : "failed"));
        return flushed;
    }

private:
    EventLog& m_log;
};

class RestoreFlushTest : public ::testing::Test {
protected:
    RestoreFlushTest() {
        form2.form.onShow = chooser.Events().Form_Activate;
        settings.log = &log;
        drive.AddFolder("C:\\WINDOWS");
        drive.AddFile("C:\\WINDOWS\\WIN.INI", "[user's]");
        drive.AddFile("C:\\Stowix\\set\\WIN.INI", "[set's]");
        // A sound registry pair: the restore reads it whole before it asks to go on.
        drive.AddFile("C:\\Stowix\\set\\SYSTEM.DAT",
                      tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes);
        drive.AddFile("C:\\Stowix\\set\\USER.DAT",
                      tools::WriteRegistryFile(tools::Windows98UserTree()).bytes);
    }

    // Restore, a double-click on the set, and these answers to the boxes that follow.
    void RestoreTheSet(std::deque<MessageAnswer> answers) {
        chooser.Open(RestoreMode);
        log.Clear();
        dialogs.answers = std::move(answers);
        form2.dir1.DoubleClick("C:\\Stowix\\set");
    }

    int At(const QString& prefix) const {
        for (int i = 0; i < log.entries.size(); ++i)
            if (log.entries.at(i).startsWith(prefix)) return i;
        return -1;
    }
    int LastAt(const QString& prefix) const {
        for (int i = int(log.entries.size()) - 1; i >= 0; --i)
            if (log.entries.at(i).startsWith(prefix)) return i;
        return -1;
    }

    EventLog log;
    TempDrive drive;
    LoggedFlushes files{drive.Files(), log};
    FakeSettingsStore settings;
    FakeSystem system{log};
    FakeDialogs dialogs{log};
    FakeWindowsApi windows{log};
    FakeForm2 form2{log};
    FakeWindow mainForm{log, "Form1"};
    ProgramValues values{"C:\\WINDOWS", "\\WINDOWS"};
    FolderChooser chooser{form2, mainForm, Services{files, settings, system, dialogs, windows},
                          values};
};

TEST_F(RestoreFlushTest, the_restore_is_on_disk_before_it_is_recorded_and_a_restart_offered) {
    RestoreTheSet({MessageAnswer::Yes, MessageAnswer::Yes});  // and restart
    // The last flush: the restore's own (the set that keeps what it replaces is flushed first).
    const int flushed = LastAt("FlushToDisk done");
    ASSERT_GE(flushed, 0) << log.entries.join('\n').toStdString();
    EXPECT_LT(flushed, At("Settings.Write=Info/LastRestore"))
        << log.entries.join('\n').toStdString();
    EXPECT_LT(flushed, At("ExitWindowsEx")) << log.entries.join('\n').toStdString();
    // After the last copy and the boot script.
    const QStringList calls = files.Calls();
    EXPECT_TRUE(calls.last().startsWith("FlushToDisk")) << calls.join('\n').toStdString();
}

TEST_F(RestoreFlushTest, a_disk_that_cannot_take_the_restore_makes_it_incomplete) {
    files.FailFlushToDisk("Input/output error");
    // The set that would keep what the restore replaces cannot be flushed either: the user
    // restores without it.
    RestoreTheSet({MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::No});
    EXPECT_GE(At("MessageBox=Restore Without Undo"), 0) << log.entries.join('\n').toStdString();
    EXPECT_EQ(At("Settings.Write=Info/LastRestore"), -1) << log.entries.join('\n').toStdString();
    bool told = false;
    for (const AskedMessage& message : dialogs.messages)
        told = told || (message.title == "Restore incomplete" &&
                        message.text.contains("Input/output error"));
    EXPECT_TRUE(told) << log.entries.join('\n').toStdString();
}

}  // namespace
}  // namespace stowix::test
