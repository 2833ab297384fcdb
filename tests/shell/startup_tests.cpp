#include "shell_fixture.h"

namespace stowix::test {
namespace {

class StartUp : public ShellFixture {};

TEST_F(StartUp, a_second_copy_ends_at_once_and_touches_nothing) {
    system.previousInstance = true;
    window->Form_Load();
    EXPECT_EQ(log.entries, QStringList({"EndNow=0"}));
    EXPECT_TRUE(settings.values.isEmpty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(form.form.IsVisible());
}

TEST_F(StartUp, prepares_the_window_in_order_and_shows_it) {
    BindRecordingCommands();
    window->Form_Load();
    const QStringList expected = {
        "Form1.WindowState=0",
        "Form1.Move=4327,2460",
        "Label1.Caption=Stowix",
        "Label2.Caption=Automatic Win95/98/NT config Backup/Restore",
        "Label3.Caption=Copyright (c) 1999-2026 the Stowix developers\r",
        "Label3.Caption=Copyright (c) 1999-2026 the Stowix developers\rAll rights reserved.\r",
        "Label3.Caption=Copyright (c) 1999-2026 the Stowix developers\rAll rights reserved.\r"
        "For technical support, write to support@stowix.org",
        "Label4.Caption=103",
        "Animation1.Open=/opt/stowix\\Stowix1.Avi",
        "Check1.Value=0",
        "FS.ChangeDrive=C",
        "StatusBar1.Text=Ready [C:\\WINDOWS]",
        "Form1.Show",
        "Form1.Repaint",
    };
    EXPECT_EQ(log.entries, expected);
    EXPECT_FALSE(system.endedWith.has_value());
}

TEST_F(StartUp, learns_the_windows_folder_as_the_system_reports_it) {
    struct Case {
        QString reported, folder, tail;
    };
    const Case cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS", "\\WINDOWS"},
        {"C:\\windows", "C:\\windows", "\\windows"},  // a Wine prefix keeps its case
        {"D:\\WIN98", "D:\\WIN98", "\\WIN98"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reported.toStdString());
        windows.windowsFolder = c.reported;
        values = ProgramValues();
        Rebuild();
        window->Form_Load();
        EXPECT_EQ(values.WindowsFolder, c.folder);
        EXPECT_EQ(values.WindowsFolderTail, c.tail);
        EXPECT_EQ(form.statusBar1.Text(), "Ready [" + c.folder + "]");
    }
}

// "/U" and "/I" count only as whole arguments, in either case; every other argument names the
// drive, however much of a switch it holds.
TEST(RunModeOf, reads_only_whole_arguments_as_switches) {
    const struct {
        QStringList arguments;
        RunMode mode;
        QStringList drives;
    } cases[] = {
        {{}, RunMode::Window, {}},
        {{"/i"}, RunMode::Hidden, {}},
        {{"/I", "/u"}, RunMode::Unattended, {}},
        {{"/u", "/I"}, RunMode::Unattended, {}},
        {{"/media/usb/win98.img"}, RunMode::Window, {"/media/usb/win98.img"}},
        {{"/home/user/vms/w98.qcow2", "/I"}, RunMode::Hidden, {"/home/user/vms/w98.qcow2"}},
        {{"/UNATTENDED"}, RunMode::Window, {"/UNATTENDED"}},
        {{"C:\\X/USR"}, RunMode::Window, {"C:\\X/USR"}},
        {{"a comment /u"}, RunMode::Window, {"a comment /u"}},
        {{"/u "}, RunMode::Window, {"/u "}},
        {{"", "/U"}, RunMode::Unattended, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join('|').toStdString());
        EXPECT_EQ(RunModeOf(c.arguments), c.mode);
        EXPECT_EQ(DriveArgumentsOf(c.arguments), c.drives);
    }
}

// Each switch is a whole argument; "/I" only keeps start-up from
// showing the window itself.
TEST_F(StartUp, switches_decide_showing_and_the_unattended_backup) {
    struct Case {
        QString commandLine;
        bool shownBeforeRepaint;
        bool backupRuns;
        bool visibleAtEnd;
    };
    const Case cases[] = {
        {"", true, false, true},       {"/u", false, true, false},    {"/I", false, false, true},
        {"/I /U", false, true, false}, {"/U /I", false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        log.Clear();
        form.form.Hide();
        system.endedWith.reset();
        values.Mode = RunModeOf(c.commandLine.split(u' ', Qt::SkipEmptyParts));
        Rebuild();
        BindRecordingCommands();
        log.Clear();

        window->Form_Load();

        const int repaint = log.IndexOf("Form1.Repaint");
        const int firstShow = log.IndexOf("Form1.Show");
        EXPECT_EQ(firstShow != -1 && firstShow < repaint, c.shownBeforeRepaint)
            << ::testing::PrintToString(log.entries);
        EXPECT_EQ(log.Matching("Backup").size(), c.backupRuns ? 1 : 0);
        if (c.backupRuns) {
            EXPECT_GT(log.IndexOf("Backup"), repaint);
        }
        EXPECT_EQ(form.form.IsVisible(), c.visibleAtEnd);
        EXPECT_EQ(log.Matching("Form1.Show").size(), c.visibleAtEnd ? 1 : 0);
        EXPECT_EQ(system.endedWith.has_value(), c.backupRuns);
    }
}

TEST_F(StartUp, reads_the_automatic_exit_box_from_the_store) {
    struct Case {
        std::optional<QString> stored;
        int boxValue;
        QString storedAfter;  // Check1_Click stores the box only when start-up changes it
    };
    const Case cases[] = {
        {std::nullopt, 0, "<absent>"},  // the default True reads as 0
        {"1", 1, "1"},
        {"0", 0, "0"},
        {"True", 0, "True"},
        {"", 0, ""},
        {"2", 0, "2"},   // no valid state: unchecked, and left alone
        {" 1", 1, "1"},  // leading blanks are skipped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.value_or("<absent>").toStdString());
        form.check1.SetValue(0);
        settings.values.clear();
        if (c.stored)
            settings.values.insert(FakeSettingsStore::Key("Stowix", "Preferences", "AutoExit"),
                                   *c.stored);
        Rebuild();
        window->Form_Load();
        EXPECT_EQ(form.check1.Value(), c.boxValue);
        EXPECT_EQ(StoredAutoExit(), c.storedAfter);
    }
}

TEST_F(StartUp, without_a_windows_folder_says_how_to_configure_one_and_ends_with_status_2) {
    windows.windowsFolder.clear();
    values.Mode = RunMode::Unattended;
    BindRecordingCommands();
    window->Form_Load();

    ASSERT_EQ(dialogs.messages.size(), 1u);
    const AskedMessage& message = dialogs.messages[0];
    EXPECT_EQ(message.title, "Stowix");
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_EQ(message.icon, MessageIcon::Information);
    EXPECT_TRUE(message.text.contains("No Windows folder was found on drive C:"))
        << ::testing::PrintToString(message.text);
    EXPECT_TRUE(message.text.contains("STOWIX_DRIVE_C"));
    EXPECT_TRUE(message.text.contains("STOWIX_WINDOWS_FOLDER"));

    EXPECT_EQ(system.endedWith, 2);
    const int asked = log.IndexOf("MessageBox=Stowix");
    EXPECT_LT(asked, log.IndexOf("Animation1.Close"));
    EXPECT_EQ(log.entries.mid(log.IndexOf("Animation1.Close")),
              QStringList({"Animation1.Close", "MMControl1.Command=Close", "EndNow=2"}));
    EXPECT_TRUE(log.Matching("StatusBar1").isEmpty());
    EXPECT_TRUE(log.Matching("Form1.Show").isEmpty());
    EXPECT_TRUE(log.Matching("Backup").isEmpty());
}

TEST_F(StartUp, without_drive_c_ends_the_same_way_and_gives_the_reason) {
    files.changeDriveFailure = "drive C: is not configured";
    window->Form_Load();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(
        dialogs.messages[0].text.contains("drive C: is not configured", Qt::CaseInsensitive));
    EXPECT_TRUE(dialogs.messages[0].text.contains("STOWIX_DRIVE_C"));
    EXPECT_EQ(system.endedWith, 2);
    EXPECT_TRUE(values.WindowsFolder.isEmpty());
    EXPECT_TRUE(log.Matching("Form1.Show").isEmpty());
}

}  // namespace
}  // namespace stowix::test
