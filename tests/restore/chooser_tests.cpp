// The folder chooser: opening, activation, dispatch, the chosen-folder rule, Done, and its own
// progress bar.

#include "restore/chooser_fixture.h"

namespace stowix::test {
namespace {

TEST_F(ChooserTest, opening_in_restore_mode_shows_the_restore_texts_and_asks_nothing) {
    AddSet("set");
    mainForm.Hide();
    log.Clear();
    chooser.Open("Restore");

    EXPECT_EQ(log.entries, QStringList({
                               "Form2.Show",
                               "Form2.WindowState=0",
                               "Form2.Caption=Select Folder to Restore",
                               "Dir1.Path=C:\\",
                               "Dir1_Change{",
                               "Dir1.Path=C:\\Stowix",
                               "Dir1_Change{",
                               "}Dir1_Change",
                               "}Dir1_Change",
                               "Dir1.Path=C:\\Stowix",
                               "Dir1.ToolTip=Double-click the folder you want to RESTORE",
                               "Form2.ProgressBar1.Visible=0",
                               "Form2.StatusBar1.Text=Double-click a folder to restore it, or "
                               "select it and press Enter",
                           }));
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_TRUE(form2.form.IsVisible());
    EXPECT_FALSE(mainForm.IsVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ChooserTest, opening_in_delete_mode_after_a_restore_shows_the_delete_texts) {
    AddSet("set");
    Open("Restore");
    form2.progressBar1.SetVisible(true);
    chooser.Command1_Click();
    log.Clear();

    chooser.Open("Delete");

    EXPECT_EQ(chooser.ChooserMode(), "Delete");
    EXPECT_EQ(log.Matching("Form2.Caption"),
              QStringList({"Form2.Caption=Select Folder to Delete"}));
    EXPECT_EQ(log.Matching("Dir1.ToolTip"),
              QStringList({"Dir1.ToolTip=Double-click the folder you want to DELETE"}));
    EXPECT_EQ(form2.statusBar1.Text(),
              "Double-click a folder to delete it, or select it and press Enter");
    EXPECT_FALSE(form2.progressBar1.IsVisible());
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ChooserTest, opening_before_any_backup_tells_the_user_and_brings_the_main_window_back) {
    for (const QString mode : {"Restore", "Delete"}) {
        SCOPED_TRACE(mode.toStdString());
        dialogs.messages.clear();
        Open(mode);

        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "There are no backup sets yet. Make a backup first.");
        EXPECT_EQ(dialogs.messages[0].title, "Stowix");
        EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Information);
        EXPECT_TRUE(mainForm.IsVisible());
        EXPECT_FALSE(form2.form.IsVisible());
        EXPECT_FALSE(drive.HostExists("C:\\Stowix")) << "opening must not create the root";
    }
}

TEST_F(ChooserTest, a_file_named_like_the_backup_root_is_no_backup_root) {
    drive.AddFile("C:\\Stowix", "not a folder");
    Open("Restore");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Stowix");
    EXPECT_TRUE(mainForm.IsVisible());
    EXPECT_FALSE(form2.form.IsVisible());
}

TEST_F(ChooserTest, a_double_click_is_dispatched_by_the_exact_mode) {
    const QString set = AddSet("set");
    struct Case {
        QString mode;
        QString question;  // empty: nothing is asked
    };
    const Case cases[] = {
        {"Restore", "MessageBox=Restore Folder"},
        {"Delete", "MessageBox=Delete Folder"},
        {"restore", ""},
        {"DELETE", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.toStdString());
        Open(c.mode);
        if (!c.question.isEmpty()) dialogs.answers.push_back(MessageAnswer::No);
        form2.dir1.DoubleClick(set);
        EXPECT_EQ(log.Matching("MessageBox"),
                  c.question.isEmpty() ? QStringList() : QStringList({c.question}));
        EXPECT_TRUE(drive.HostExists(set));
    }
}

TEST_F(ChooserTest, a_declined_command_returns_to_the_root_through_one_nested_change) {
    const QString set = AddSet("set");
    Open("Delete");
    dialogs.answers.push_back(MessageAnswer::No);

    form2.dir1.DoubleClick(set);

    EXPECT_EQ(log.entries, QStringList({
                               "Dir1.Path=" + set,
                               "Dir1_Change{",
                               "MessageBox=Delete Folder",
                               "Form2.StatusBar1.Text=Nothing deleted",
                               "Dir1.Path=C:\\Stowix",
                               "Dir1_Change{",
                               "}Dir1_Change",
                               "}Dir1_Change",
                           }));
}

TEST_F(ChooserTest, the_chosen_folder_rule_acts_only_on_a_set_directly_inside_the_root) {
    const QString set = AddSet("11-5-99 3;45;12 PM before upgrade");
    const QString name = set.mid(QString("C:\\Stowix\\").size());
    drive.AddFolder(set + "\\deeper");
    drive.AddFolder("C:\\Other");
    struct Case {
        QString path;
        bool asks;        // the command goes on to its question (answered No)
        QString status;   // the status text afterwards
        QString endPath;  // where the list is left
    };
    const QString idle = "Double-click a folder to delete it, or select it and press Enter";
    const QString root = "C:\\Stowix";
    auto refused = [](const QString& path) -> QString { return "Not a backup set [" + path + "]"; };
    const Case cases[] = {
        {"C:\\", false, idle, root},
        {"c:\\", false, idle, root},
        {"C:\\STOWIX", false, idle, "C:\\STOWIX"},
        {"C:\\Stowix\\", false, idle, "C:\\Stowix\\"},
        {set, true, "Nothing deleted", root},
        {set.toUpper(), true, "Nothing deleted", root},
        {set + "\\deeper", false, refused(set + "\\deeper"), root},
        {"C:\\Other", false, refused("C:\\Other"), root},
        {"C:\\WINDOWS", false, refused("C:\\WINDOWS"), root},
        {"C:\\Stowix\\..", false, refused("C:\\Stowix\\.."), root},
        {"C:\\Stowix\\..\\Other", false, refused("C:\\Stowix\\..\\Other"), root},
        {"C:\\Stowix\\.\\" + name, false, refused("C:\\Stowix\\.\\" + name), root},
        {"C:\\Stowix\\missing", false, refused("C:\\Stowix\\missing"), root},
        {"D:\\Stowix\\set", false, refused("D:\\Stowix\\set"), root},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        Open("Delete");
        if (c.asks) dialogs.answers.push_back(MessageAnswer::No);

        form2.dir1.DoubleClick(c.path);

        EXPECT_EQ(log.Matching("MessageBox").size(), c.asks ? 1 : 0);
        EXPECT_EQ(form2.statusBar1.Text(), c.status);
        EXPECT_EQ(form2.dir1.Path(), c.endPath);
        EXPECT_TRUE(drive.HostExists(set + "\\deeper"));
        EXPECT_TRUE(drive.HostExists("C:\\Other"));
    }
}

TEST_F(ChooserTest, double_clicking_the_root_that_is_already_current_changes_nothing) {
    AddSet("set");
    Open("Restore");
    form2.dir1.DoubleClick("C:\\Stowix");
    EXPECT_EQ(log.entries, QStringList({"Dir1.Path=C:\\Stowix"}));
}

TEST_F(ChooserTest, set_paths_are_recognised_by_shape) {
    const struct {
        QString path;
        bool isSet;
    } cases[] = {
        {"C:\\Stowix\\11-5-99 3;45;12 PM", true},
        {"c:\\stowix\\Set", true},
        {"C:\\Stowix\\ trailing blank ", true},
        {"C:\\Stowix\\a.b", true},
        {"C:\\Stowix", false},
        {"C:\\Stowix\\", false},
        {"C:\\Stowixx\\a", false},
        {"C:\\Stowix\\a\\b", false},
        {"C:\\Stowix\\a/b", false},
        {"C:\\Stowix\\..", false},
        {"C:\\Stowix\\.", false},
        {"C:\\Stowix\\ .. ", false},
        {"C:\\Stowix\\...", false},
        {"C:\\Stowix\\   ", false},
        {"C:\\Stowix\\x:y", false},
        {"C:\\Stowix\\*", false},
        {"C:\\Stowix\\a?", false},
        {"C:\\Stowix\\a\tb", false},
        {"D:\\Stowix\\a", false},
        {"\\Stowix\\a", false},
        {"Stowix\\a", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(IsBackupSetPath(c.path), c.isSet);
    }
}

TEST_F(ChooserTest, done_and_closing_the_frame_hide_the_chooser_and_show_the_main_window) {
    AddSet("set");
    for (const bool throughFrame : {false, true}) {
        SCOPED_TRACE(throughFrame ? "frame" : "Done");
        Open("Delete");
        chooser.StepProgress(false, false);
        const ProgressState before = chooser.Progress();
        const Form2Events events = chooser.Events();
        log.Clear();

        throughFrame ? events.Form_Close() : events.Command1_Click();

        EXPECT_EQ(log.entries, QStringList({"Form2.Hide", "Form1.Show"}));
        EXPECT_FALSE(form2.form.IsVisible());
        EXPECT_TRUE(mainForm.IsVisible());
        EXPECT_EQ(chooser.ChooserMode(), "Delete");
        EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
        EXPECT_EQ(chooser.Progress().ProgressPosition, before.ProgressPosition);
    }
}

TEST_F(ChooserTest, progress_is_kept_across_openings) {
    AddSet("set");
    Open("Restore");
    for (int i = 0; i < 7; ++i) chooser.StepProgress(false, false);
    chooser.Command1_Click();

    Open("Delete");
    EXPECT_EQ(chooser.Progress().ProgressPosition, 7);
    chooser.StepProgress(false, false);
    EXPECT_EQ(form2.progressBar1.Value(), 8);
}

TEST_F(ChooserTest, step_progress_sweeps_up_and_down_with_a_beep_at_each_end) {
    for (int expected = 1; expected <= 100; ++expected) {
        chooser.StepProgress(false, false);
        ASSERT_EQ(form2.progressBar1.Value(), expected);
    }
    EXPECT_EQ(log.Matching("Beep").size(), 1);
    for (int expected = 99; expected >= 0; --expected) {
        chooser.StepProgress(false, false);
        ASSERT_EQ(form2.progressBar1.Value(), expected);
    }
    EXPECT_EQ(log.Matching("Beep").size(), 2);

    log.Clear();
    chooser.StepProgress(false, true);
    EXPECT_EQ(form2.progressBar1.Value(), 100);
    chooser.StepProgress(true, false);
    EXPECT_EQ(form2.progressBar1.Value(), 0) << "101 lies outside the bar";
    EXPECT_EQ(log.Matching("Beep").size(), 2);
    EXPECT_EQ(chooser.Progress().ProgressDirection, 0);
}

}  // namespace
}  // namespace stowix::test
