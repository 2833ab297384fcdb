// The restore run against a temporary drive: which file of a set goes where, in which order the
// chooser's controls and bar move, and what is recorded.

#include "restore/chooser_fixture.h"
#include "restore/restore_run.h"

namespace stowix::test {
namespace {

class RestoreRunTest : public ChooserTest {
protected:
    // Puts the list at the set as a double-click would, without running a command.
    RestoreOutcome RestoreFrom(const QString& set) {
        form2.dir1.SetPath(set);
        log.Clear();
        return RestoreBackupSet(chooser);
    }
    QStringList BarValues() const { return log.Matching("Form2.ProgressBar1.Value="); }
};

TEST_F(RestoreRunTest, each_file_of_a_set_reaches_its_place) {
    const QString set =
        AddSet("set", {"AUTOEXEC.BAT", "COMMAND.COM", "CONFIG.SYS", "SYSTEM.INI", "WIN.INI",
                       "MAIN.GRP", "DOS.PIF", "USER.PWL", "ShellIconCache", "TTFCACHE",
                       "SYSTEM.DAT", "USER.DAT", "SYSTEM.DA0", "USER.DA0", "NOTES.TXT"});
    drive.AddFile(set + "\\IO.SYS", "IO.SYS",
                  Attribute::ReadOnly | Attribute::Hidden | Attribute::System);
    drive.AddFile(set + "\\WinStart.Bat", "the set's own script");
    drive.AddFile(set + "\\sub\\IN.INI", "not in the set");
    drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", "live registry", 39);
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "old", Attribute::ReadOnly | Attribute::Hidden);

    const RestoreOutcome outcome = RestoreFrom(set);

    EXPECT_TRUE(outcome.Complete()) << files.Describe().toStdString();
    const struct {
        QString path;
        QByteArray contents;  // empty: must not exist
    } expected[] = {
        {"C:\\AUTOEXEC.BAT", "AUTOEXEC.BAT"},
        {"C:\\COMMAND.COM", "COMMAND.COM"},
        {"C:\\CONFIG.SYS", "CONFIG.SYS"},
        {"C:\\IO.SYS", "IO.SYS"},
        {"C:\\WINDOWS\\AUTOEXEC.BAT", "AUTOEXEC.BAT"},
        {"C:\\WINDOWS\\COMMAND.COM", "COMMAND.COM"},
        {"C:\\WINDOWS\\SYSTEM.INI", "SYSTEM.INI"},
        {"C:\\WINDOWS\\WIN.INI", "WIN.INI"},
        {"C:\\WINDOWS\\MAIN.GRP", "MAIN.GRP"},
        {"C:\\WINDOWS\\DOS.PIF", "DOS.PIF"},
        {"C:\\WINDOWS\\USER.PWL", "USER.PWL"},
        {"C:\\WINDOWS\\ShellIconCache", "ShellIconCache"},
        {"C:\\WINDOWS\\TTFCACHE", "TTFCACHE"},
        {"C:\\WINDOWS\\SYSTEM.DAT", "live registry"},
        {"C:\\Stowix\\SYSTEM.DAT", "SYSTEM.DAT"},
        {"C:\\Stowix\\USER.DAT", "USER.DAT"},
        {"C:\\Stowix\\SYSTEM.DA0", "SYSTEM.DA0"},
        {"C:\\Stowix\\USER.DA0", "USER.DA0"},
        {"C:\\WINDOWS\\CONFIG.SYS", ""},
        {"C:\\WINDOWS\\IO.SYS", ""},
        {"C:\\WINDOWS\\USER.DAT", ""},
        {"C:\\WINDOWS\\NOTES.TXT", ""},
        {"C:\\NOTES.TXT", ""},
        {"C:\\WINDOWS\\IN.INI", ""},
        {"C:\\SYSTEM.DAT", ""},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.path.toStdString());
        if (e.contents.isEmpty())
            EXPECT_FALSE(drive.HostExists(e.path));
        else
            EXPECT_EQ(drive.HostBytes(e.path), e.contents);
    }
    EXPECT_EQ(drive.Attributes("C:\\IO.SYS"), drive.Attributes(set + "\\IO.SYS"));
    EXPECT_EQ(drive.Attributes("C:\\WINDOWS\\SYSTEM.INI"), drive.Attributes(set + "\\SYSTEM.INI"));
    EXPECT_TRUE(drive.HostBytes("C:\\WINDOWS\\WinStart.Bat").startsWith("@Echo Off\r\n"))
        << "the boot script replaces the set's own WinStart.Bat";
    EXPECT_EQ(drive.HostNames(set).size(), 18) << "the set is left as it was";
}

TEST_F(RestoreRunTest, config_sys_is_copied_twice_and_the_bar_steps_for_each_copy) {
    const QString set = AddSet("set", {"Config.Sys"});

    (void)RestoreFrom(set);

    EXPECT_EQ(files.CallsStartingWith("CopyFile"),
              QStringList({"CopyFile " + set + "\\Config.Sys -> \\Config.Sys",
                           "CopyFile " + set + "\\Config.Sys -> \\Config.Sys"}));
    // The first step restarts upward, one step per copy, and the last fills the bar.
    EXPECT_EQ(BarValues(),
              QStringList({"Form2.ProgressBar1.Value=1", "Form2.ProgressBar1.Value=2",
                           "Form2.ProgressBar1.Value=3", "Form2.ProgressBar1.Value=100"}));
}

TEST_F(RestoreRunTest, the_groups_run_in_order_and_the_controls_are_greyed_around_them) {
    const QString set = AddSet("set", {"SYSTEM.DAT", "USER.DAT", "WIN.INI", "AUTOEXEC.BAT"});

    (void)RestoreFrom(set);

    QStringList copies = files.CallsStartingWith("CopyFile");
    // The registry files come last, in the host's listing order.
    ASSERT_EQ(copies.size(), 5);
    QStringList staged = copies.mid(3);
    staged.sort();
    EXPECT_EQ(copies.mid(0, 3),
              QStringList({"CopyFile " + set + "\\AUTOEXEC.BAT -> \\AUTOEXEC.BAT",
                           "CopyFile " + set + "\\AUTOEXEC.BAT -> C:\\WINDOWS\\AUTOEXEC.BAT",
                           "CopyFile " + set + "\\WIN.INI -> C:\\WINDOWS\\WIN.INI"}));
    EXPECT_EQ(staged, QStringList({"CopyFile " + set + "\\SYSTEM.DAT -> C:\\Stowix\\SYSTEM.DAT",
                                   "CopyFile " + set + "\\USER.DAT -> C:\\Stowix\\USER.DAT"}));
    const QStringList steps = {
        "Form2.Command1.Enabled=0",
        "Dir1.Enabled=0",
        "Form2.ProgressBar1.Visible=1",
        "Form2.ProgressBar1.Value=1",
        "Form2.StatusBar1.Text=Restoring ...",
        "Form2.Repaint",
        "Form2.Command1.Enabled=1",
        "Dir1.Enabled=1",
        "Beep",
        "Form2.ProgressBar1.Value=100",
        "Form2.StatusBar1.Text=Restored [" + set + "]",
        "Settings.Write=Info/LastRestore=" + set,
        "Beep",
    };
    QStringList seen;
    for (const QString& entry : log.entries)
        if (steps.contains(entry)) seen.append(entry);
    EXPECT_EQ(seen, steps);
    EXPECT_EQ(log.entries.last(), "Beep");
    EXPECT_EQ(LastSetting("LastRestore"), set);
    EXPECT_TRUE(form2.progressBar1.IsVisible()) << "the next activation hides the bar";
    EXPECT_TRUE(form2.command1.IsEnabled());
    EXPECT_TRUE(form2.dir1.IsEnabled());
}

TEST_F(RestoreRunTest, the_boot_script_is_written_after_every_copy) {
    const QString set = AddSet("set", {"SYSTEM.DAT", "USER.DAT", "WinStart.Bat"});

    (void)RestoreFrom(set);

    const QStringList calls = files.Calls();
    const qsizetype script = calls.indexOf("WriteTextFile C:\\WINDOWS\\WinStart.Bat");
    ASSERT_GE(script, 0) << files.Describe().toStdString();
    for (qsizetype at = script; at < calls.size(); ++at)
        EXPECT_FALSE(calls[at].startsWith("CopyFile")) << calls[at].toStdString();
}

TEST_F(RestoreRunTest, a_file_that_fails_does_not_stop_the_rest) {
    const QString set = AddSet("set", {"SYSTEM.INI", "WIN.INI", "SYSTEM.DAT", "USER.DAT"});
    files.FailCopyTo("C:\\WINDOWS\\SYSTEM.INI", "Permission denied");

    const RestoreOutcome outcome = RestoreFrom(set);

    ASSERT_EQ(outcome.failedCopies.size(), 1u);
    EXPECT_EQ(outcome.failedCopies[0].path, set + "\\SYSTEM.INI");
    EXPECT_TRUE(outcome.failedCopies[0].reason.contains("Permission denied"));
    EXPECT_TRUE(outcome.bootScript.ok());
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WIN.INI"), "WIN.INI");
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SYSTEM.DAT"), "SYSTEM.DAT");
    EXPECT_TRUE(drive.HostExists("C:\\WINDOWS\\WinStart.Bat"));
    EXPECT_EQ(form2.statusBar1.Text(), "Restore incomplete [" + set + "]");
    EXPECT_TRUE(LastSetting("LastRestore").isEmpty()) << "an incomplete restore is not recorded";
    EXPECT_TRUE(form2.command1.IsEnabled());
    EXPECT_TRUE(form2.dir1.IsEnabled());
}

}  // namespace
}  // namespace stowix::test
