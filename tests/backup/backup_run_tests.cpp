#include "backup_fixture.h"

#include <QFile>

namespace stowix::test {
namespace {

class BackupRunTest : public BackupFixture {};

// The file groups in order, with the set flat: a later group's file of the same folder replaces
// an earlier one of the same name, the Windows folder's file of a root file's name is kept apart
// under its twin name, groups that match nothing leave no trace, and the set's record is there.
TEST_F(BackupRunTest, the_set_holds_every_group_with_bytes_attributes_and_times) {
    AddWindows98Files();
    drive.AddFile("C:\\Stowix\\10-1-99 1;00;00 PM\\WIN.INI", "older set", Attribute::Archive);
    Run();

    EXPECT_EQ(drive.HostNames(setPath),
              QStringList({"AUTOEXEC.BAT", "COMMAND.COM", "COMMAND.COM.WIN", "CONFIG.SYS", "IO.SYS",
                           "MSDOS.SYS", "STOWIX.SET", "SYSTEM.DA0", "SYSTEM.DAT", "SYSTEM.INI",
                           "ShellIconCache", "USER.DAT", "WIN.INI"}));
    struct Copied {
        QString name, source;
    };
    const Copied copies[] = {
        {"AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
        {"COMMAND.COM", "C:\\COMMAND.COM"},
        {"COMMAND.COM.WIN", "C:\\WINDOWS\\COMMAND.COM"},  // kept apart from the root's
        {"CONFIG.SYS", "C:\\CONFIG.SYS"},
        {"IO.SYS", "C:\\IO.SYS"},
        {"MSDOS.SYS", "C:\\MSDOS.SYS"},
        {"SYSTEM.DA0", "C:\\WINDOWS\\SYSTEM.DA0"},
        {"SYSTEM.DAT", "C:\\WINDOWS\\SYSTEM.DAT"},
        {"SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI"},
        {"ShellIconCache", "C:\\WINDOWS\\ShellIconCache"},
        {"USER.DAT", "C:\\WINDOWS\\USER.DAT"},
        {"WIN.INI", "C:\\WINDOWS\\WIN.INI"},
    };
    for (const Copied& copy : copies) {
        SCOPED_TRACE(copy.name.toStdString());
        const QString copied = setPath + "\\" + copy.name;
        EXPECT_EQ(drive.HostBytes(copied), drive.HostBytes(copy.source));
        EXPECT_EQ(drive.Attributes(copied), drive.Attributes(copy.source));
        EXPECT_EQ(drive.ModifiedTime(copied), drive.ModifiedTime(copy.source));
    }
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\10-1-99 1;00;00 PM\\WIN.INI"), "older set");
    EXPECT_EQ(drive.HostNames("C:\\Stowix\\10-1-99 1;00;00 PM"), QStringList({"WIN.INI"}));
    EXPECT_EQ(StoredLastBackup(), setPath);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BackupRunTest, takes_its_steps_in_order) {
    drive.AddFile("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\n", Attribute::Archive);
    drive.AddFile("C:\\WINDOWS\\USER.DAT", UserRegistry(), 39);
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n", Attribute::Archive);
    Run();

    // File calls below the group copy (listing, attribute reads and writes, deletes) are that
    // routine's own matter; what counts here is where the copies fall among the window's steps.
    QStringList steps;
    for (const QString& entry : log.entries)
        if (!entry.startsWith("FS.ListFolder") && !entry.startsWith("FS.WriteAttributes") &&
            !entry.startsWith("FS.DeleteFile"))
            steps.append(entry);
    const QStringList expected = {
        "Form1.MousePointer=13",
        "FileMenu.Enabled=0",
        "HelpMenu.Enabled=0",
        "Command1.Enabled=0",
        "Command2.Enabled=0",
        "Check1.Enabled=0",
        "StatusBar1.Text=Now backing up ... Please wait",
        "ProgressBar1.Value=1",
        "Animation1.Play",
        "MMControl1.Command=Close",
        "MMControl1.DeviceType=WaveAudio",
        "MMControl1.FileName=/opt/stowix\\Stowix1.Wav",
        "MMControl1.Command=Open",
        "MMControl1.Wait=0",
        "MMControl1.Command=Play",
        "Form1.Repaint",
        "FS.CreateFolder=C:\\Stowix",
        "FS.RestrictToOwner=C:\\Stowix",
        "FS.CreateFolder=" + setPath,
        // The record first says the set is not complete, then where each file came from.
        "FS.WriteTextFile=" + setPath + "\\STOWIX.SET",
        "ProgressBar1.Value=2",
        "FS.CopyFile=C:\\AUTOEXEC.BAT>" + setPath + "\\AUTOEXEC.BAT",
        "ProgressBar1.Value=3",
        "FS.CopyFile=C:\\WINDOWS\\USER.DAT>" + setPath + "\\USER.DAT",
        "ProgressBar1.Value=4",
        "FS.CopyFile=C:\\WINDOWS\\WIN.INI>" + setPath + "\\WIN.INI",
        "FS.WriteTextFile=" + setPath + "\\STOWIX.SET",
        "FS.OpenForReading=" + setPath + "\\USER.DAT",
        "FS.FlushToDisk=" + setPath,
        // Once every copy is on disk, the record says the set is complete, on disk too.
        "FS.OpenForReading=" + setPath + "\\STOWIX.SET",
        "FS.WriteTextFile=" + setPath + "\\STOWIX.SET",
        "FS.FlushToDisk=" + setPath,
        "MMControl1.Command=Close",
        "MMControl1.DeviceType=WaveAudio",
        "MMControl1.FileName=/opt/stowix\\Stowix2.Wav",
        "MMControl1.Command=Open",
        "MMControl1.Wait=1",
        "MMControl1.Command=Play",
        "MMControl1.Command=Close",
        "Animation1.Stop",
        "Settings.Write=Info/LastBackup=" + setPath,
        "Beep",
        "FileMenu.Enabled=1",
        "HelpMenu.Enabled=1",
        "Command1.Enabled=1",
        "Command2.Enabled=1",
        "Check1.Enabled=1",
        "Beep",  // the bar reaching 100
        "ProgressBar1.Value=100",
        "StatusBar1.Text=Ready [C:\\WINDOWS]",
        "Form1.MousePointer=0",
    };
    EXPECT_EQ(steps, expected);
    EXPECT_FALSE(system.endedWith.has_value());
    EXPECT_FALSE(log.entries.contains("Command3.Enabled=0"));
}

TEST_F(BackupRunTest, ends_the_program_under_u_or_with_the_box_checked) {
    drive.AddFile("C:\\WINDOWS\\USER.DAT", UserRegistry(), 39);
    struct Case {
        QString commandLine;
        int box;
        bool ends;
    };
    const Case cases[] = {
        {"", 0, false}, {"/U", 0, true},  {"/u", 0, true}, {"stowix.exe /I /u", 0, true},
        {"", 1, true},  {"/I", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.commandLine + " box " + QString::number(c.box)).toStdString());
        values.Mode = RunModeOf(c.commandLine.split(u' ', Qt::SkipEmptyParts));
        system.endedWith.reset();
        form.check1.SetValue(c.box);
        log.Clear();
        Run();
        if (c.ends) {
            EXPECT_EQ(log.entries.mid(log.entries.size() - 3),
                      EndSequence + QStringList({"EndNow=0"}));
        } else {
            EXPECT_FALSE(system.endedWith.has_value());
            EXPECT_EQ(log.entries.last(), "Form1.MousePointer=0");
        }
    }
}

TEST_F(BackupRunTest, a_pending_comment_goes_into_one_set_only) {
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
    drive.AddFile("C:\\WINDOWS\\USER.DAT", UserRegistry(), 39);
    window.PendingComment = " before upgrade";
    Run();
    const QString commented = setPath + " before upgrade";
    EXPECT_EQ(StoredLastBackup(), commented);
    EXPECT_EQ(drive.HostNames(commented), QStringList({"STOWIX.SET", "USER.DAT", "WIN.INI"}));
    EXPECT_TRUE(window.PendingComment.isEmpty());

    system.timeText = "3:46:00 PM";
    Run();
    EXPECT_EQ(StoredLastBackup(), "C:\\Stowix\\11-5-99 3;46;00 PM");
}

TEST_F(BackupRunTest, a_run_in_the_same_second_makes_a_set_of_its_own) {
    AddWindows98Files();
    Run();
    // The registry grown with free space since: other bytes, still sound.
    const QByteArray changed =
        tools::WriteRegistryFile(tools::Windows98SystemTree(), 256 * 1024).bytes;
    const QByteArray first = drive.HostBytes(setPath + "\\SYSTEM.DAT");
    drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", changed, 39, Time(30));
    QFile::remove(drive.HostPath("C:\\WINDOWS\\SYSTEM.INI"));
    // The name with the comment is taken too (by a set of the hour that repeats when clocks go
    // back): the number goes between the stamp and the comment.
    drive.AddFolder(setPath + " second");
    window.PendingComment = " second";
    Run();

    const QString second = "C:\\Stowix\\11-5-99 3;45;12 PM(2) second";
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(drive.HostBytes(second + "\\SYSTEM.DAT"), changed);
    EXPECT_EQ(drive.Attributes(second + "\\SYSTEM.DAT"), 39);
    EXPECT_EQ(drive.ModifiedTime(second + "\\SYSTEM.DAT"), Time(30));
    EXPECT_FALSE(drive.HostExists(second + "\\SYSTEM.INI"));
    EXPECT_EQ(drive.HostBytes(setPath + "\\SYSTEM.DAT"), first) << "the first set was changed";
    EXPECT_EQ(drive.HostBytes(setPath + "\\SYSTEM.INI"), "[boot]\r\n");
    EXPECT_EQ(StoredLastBackup(), second);
}

// A Windows folder without a registry gives no set to restore Windows from: the run says so and
// records nothing, and the set's record says it is incomplete.
TEST_F(BackupRunTest, an_empty_windows_folder_makes_an_incomplete_set_that_is_not_recorded) {
    drive.AddFolder("C:\\WINDOWS");
    Run();
    EXPECT_EQ(drive.HostNames(setPath), QStringList({"STOWIX.SET"}));
    EXPECT_TRUE(drive.HostBytes(setPath + "\\STOWIX.SET").contains("Complete=No"));
    EXPECT_EQ(StoredLastBackup(), "<absent>");
    EXPECT_EQ(form.progressBar1.Value(), 100);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages.front().text.contains("the registry was not found"))
        << dialogs.messages.front().text.toStdString();
}

TEST_F(BackupRunTest, the_backup_root_is_kept_to_its_owner) {
    drive.AddFolder("C:\\Stowix");
    QFile::setPermissions(drive.HostPath("C:\\Stowix"), QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ExeOwner | QFile::ReadGroup |
                                                            QFile::ExeGroup | QFile::ReadOther |
                                                            QFile::ExeOther);
    Run();
    EXPECT_EQ(QFile::permissions(drive.HostPath("C:\\Stowix")) &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                   QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
}

TEST_F(BackupRunTest, start_up_with_u_runs_one_backup_without_showing_the_window) {
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n");
    drive.AddFile("C:\\WINDOWS\\USER.DAT", UserRegistry(), 39);
    MainWindow::Commands commands;
    commands.Backup = [this] { BackupRun(window, window.services(), window.values()).Run(); };
    window.BindCommands(commands);
    values.Mode = RunMode::Unattended;
    window.Form_Load();
    EXPECT_EQ(StoredLastBackup(), setPath);
    EXPECT_EQ(system.endedWith, 0);
    EXPECT_TRUE(log.Matching("Form1.Show").isEmpty());
}

}  // namespace
}  // namespace stowix::test
