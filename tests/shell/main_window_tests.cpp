#include "shell_fixture.h"

namespace stowix::test {
namespace {

class MainWindowTest : public ShellFixture {};

const QStringList EndSequence = {"Animation1.Close", "MMControl1.Command=Close", "EndNow=0"};

// Each event as the Qt layer raises it reaches its handler, and the handler its command. A menu
// item that duplicates a button behaves as the button.
TEST_F(MainWindowTest, every_event_reaches_its_command) {
    struct Case {
        const char* name;
        std::function<void()> Form1Events::*event;
        QStringList expected;
    };
    const Case cases[] = {
        {"Command1_Click", &Form1Events::Command1_Click, {"Backup"}},
        {"BackupMenu_Click", &Form1Events::BackupMenu_Click, {"Backup"}},
        {"Command2_Click", &Form1Events::Command2_Click, {"Form1.Hide", "OpenChooser=Restore"}},
        {"RestoreMenu_Click",
         &Form1Events::RestoreMenu_Click,
         {"Form1.Hide", "OpenChooser=Restore"}},
        {"DeleteMenu_Click", &Form1Events::DeleteMenu_Click, {"Form1.Hide", "OpenChooser=Delete"}},
        {"AddCommentMenu_Click", &Form1Events::AddCommentMenu_Click, {"AddComment"}},
        {"InfoMenu_Click", &Form1Events::InfoMenu_Click, {"ShowInfo"}},
        {"AboutMenu_Click", &Form1Events::AboutMenu_Click, {"ShowAbout"}},
        {"TipsMenu_Click", &Form1Events::TipsMenu_Click, {"ShowTips"}},
        {"Command3_Click", &Form1Events::Command3_Click, EndSequence},
        {"ExitMenu_Click", &Form1Events::ExitMenu_Click, EndSequence},
        {"Form_Close", &Form1Events::Form_Close, EndSequence},
    };
    BindRecordingCommands();
    Form1Events events = window->Events();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.Clear();
        ASSERT_TRUE(events.*c.event);
        (events.*c.event)();
        EXPECT_EQ(log.entries, c.expected);
    }
}

TEST_F(MainWindowTest, an_unbound_command_does_nothing_and_keeps_the_window) {
    form.form.Show();
    log.Clear();
    window->Command1_Click();
    window->BackupMenu_Click();
    window->Command2_Click();
    window->RestoreMenu_Click();
    window->DeleteMenu_Click();
    window->AddCommentMenu_Click();
    window->InfoMenu_Click();
    window->AboutMenu_Click();
    window->TipsMenu_Click();
    EXPECT_TRUE(log.entries.isEmpty()) << ::testing::PrintToString(log.entries);
    EXPECT_TRUE(form.form.IsVisible());
}

TEST_F(MainWindowTest, the_check_box_stores_its_value_on_every_change) {
    form.check1.SetValue(1);
    EXPECT_EQ(StoredAutoExit(), "1");
    form.check1.SetValue(0);
    EXPECT_EQ(StoredAutoExit(), "0");
}

TEST_F(MainWindowTest, a_check_box_that_cannot_be_stored_still_works) {
    settings.failWrites = true;
    form.check1.SetValue(1);
    EXPECT_EQ(form.check1.Value(), 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainWindowTest, play_sound_closes_the_previous_sound_first) {
    window->PlaySound("/opt/stowix\\Stowix2.Wav", true);
    window->PlaySound("/opt/stowix\\Stowix1.Wav", false);
    EXPECT_EQ(log.entries, QStringList({
                               "MMControl1.Command=Close",
                               "MMControl1.DeviceType=WaveAudio",
                               "MMControl1.FileName=/opt/stowix\\Stowix2.Wav",
                               "MMControl1.Command=Open",
                               "MMControl1.Wait=1",
                               "MMControl1.Command=Play",
                               "MMControl1.Command=Close",
                               "MMControl1.DeviceType=WaveAudio",
                               "MMControl1.FileName=/opt/stowix\\Stowix1.Wav",
                               "MMControl1.Command=Open",
                               "MMControl1.Wait=0",
                               "MMControl1.Command=Play",
                           }));
}

TEST_F(MainWindowTest, end_program_closes_clip_and_sound_before_ending_with_the_status) {
    window->EndProgram(3);
    EXPECT_EQ(log.entries,
              QStringList({"Animation1.Close", "MMControl1.Command=Close", "EndNow=3"}));
    EXPECT_EQ(system.endedWith, 3);
}

TEST_F(MainWindowTest, window_operations_reach_their_controls) {
    window->SetStatusText("Now backing up ... Please wait");
    window->SetBusyPointer(13);
    window->Repaint();
    window->Beep();
    EXPECT_EQ(log.entries, QStringList({"StatusBar1.Text=Now backing up ... Please wait",
                                        "Form1.MousePointer=13", "Form1.Repaint", "Beep"}));
}

}  // namespace
}  // namespace stowix::test
