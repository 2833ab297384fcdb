// The restore command: its two questions, the restart request, and what the user is told when a
// restore does not complete.

#include "restore/chooser_fixture.h"

#include "registry_damage.h"
#include "support/changed_registry.h"

#include <QRegularExpression>

namespace stowix::test {
namespace {

const QString RestartText =
    "Restored files will take effect after you restart Windows.\r\rIf Windows does not restart, "
    "Shutdown Windows, and restart manually.\r\rRestart Windows now?";

class RestoreCommandTest : public ChooserTest {
protected:
    RestoreCommandTest() {
        set = AddSet("set", {"SYSTEM.INI"});
        AddSoundRegistry(set);
        drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "old");
        Open("Restore");
    }
    void Answer(std::initializer_list<MessageAnswer> answers) {
        dialogs.answers.insert(dialogs.answers.end(), answers);
    }
    QString set;
};

TEST_F(RestoreCommandTest, the_questions_are_asked_as_the_program_words_them) {
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to restore this folder? ");
    EXPECT_EQ(dialogs.messages[0].title, "Restore Folder");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(dialogs.messages[1].text, RestartText);
    EXPECT_EQ(dialogs.messages[1].title, "Restart Windows?");
    EXPECT_EQ(dialogs.messages[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[1].icon, MessageIcon::Question);
}

TEST_F(RestoreCommandTest, the_confirmation_details_what_the_restore_would_change) {
    drive.AddFile(set + "\\WIN.INI", "[Desktop]\r\nWallpaper=(None)\r\n");
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[Desktop]\r\nWallpaper=Clouds.bmp\r\nTile=1\r\n");
    Answer({MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to restore this folder? ");
    const QStringList details = dialogs.messages[0].details.split('\r');
    EXPECT_EQ(details.value(0), "The restore would change these files on the drive:");
    EXPECT_TRUE(details.contains("C:\\WINDOWS\\SYSTEM.DAT: added"))
        << details.join('\n').toStdString();
    const qsizetype winIni = details.indexOf(
        QRegularExpression(R"(^C:\\WINDOWS\\WIN\.INI: replaced \(size 41 -> 29.*\)$)"));
    ASSERT_GE(winIni, 0) << details.join('\n').toStdString();
    EXPECT_EQ(
        details.mid(winIni + 1, 2),
        (QStringList{"    [Desktop] Wallpaper: Clouds.bmp -> (None)", "    [Desktop] Tile: - 1"}));
}

TEST_F(RestoreCommandTest,
       the_confirmation_details_count_the_registry_keys_and_values_that_differ) {
    // The drive's SYSTEM.DAT was changed after the set was made: the restore would take back the
    // key added since, bring back the key removed since and the value changed since.
    drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT",
                  tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes);
    Answer({MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to restore this folder? ");
    const QStringList details = dialogs.messages[0].details.split('\r');
    const qsizetype systemDat =
        details.indexOf(QRegularExpression(R"(^C:\\WINDOWS\\SYSTEM\.DAT: replaced \(.*\)$)"));
    ASSERT_GE(systemDat, 0) << details.join('\n').toStdString();
    EXPECT_EQ(details.value(systemDat + 1), "    registry: 2 keys and 1 value differ")
        << details.join('\n').toStdString();
}

TEST_F(RestoreCommandTest, declining_restores_nothing) {
    Answer({MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    EXPECT_EQ(form2.statusBar1.Text(), "Nothing restored");
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "old");
    EXPECT_FALSE(drive.HostExists("C:\\Stowix\\SYSTEM.DAT"));
    EXPECT_FALSE(drive.HostExists("C:\\WINDOWS\\WinStart.Bat"));
    EXPECT_TRUE(log.Matching("Settings.Write").isEmpty());
    EXPECT_TRUE(log.Matching("ExitWindowsEx").isEmpty());
}

TEST_F(RestoreCommandTest, yes_then_no_restores_and_shows_the_chooser_afresh) {
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "SYSTEM.INI");
    EXPECT_EQ(LastSetting("LastRestore"), set);
    EXPECT_TRUE(log.Matching("ExitWindowsEx").isEmpty());
    // The chooser is hidden while the restart question stands alone, then shown again, and its
    // activation replaces the run's closing status.
    const QStringList after = LogFrom("Form2.StatusBar1.Text=Restored [" + set + "]");
    ASSERT_FALSE(after.isEmpty());
    EXPECT_LT(after.indexOf("Form2.Hide"), after.indexOf("MessageBox=Restart Windows?"));
    EXPECT_LT(after.indexOf("MessageBox=Restart Windows?"), after.indexOf("Form2.Show"));
    EXPECT_GE(after.indexOf("Form2.Hide"), 0);
    EXPECT_TRUE(form2.form.IsVisible());
    EXPECT_FALSE(mainForm.IsVisible());
    EXPECT_EQ(form2.statusBar1.Text(),
              "Double-click a folder to restore it, or select it and press Enter");
    EXPECT_FALSE(form2.progressBar1.IsVisible());
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
}

TEST_F(RestoreCommandTest, yes_then_yes_requests_the_restart_after_the_run_and_the_script) {
    bool scriptWritten = false;
    windows.atRestart = [&] {
        scriptWritten = drive.HostBytes("C:\\WINDOWS\\WinStart.Bat").endsWith("CTTY Con\r\n");
    };
    Answer({MessageAnswer::Yes, MessageAnswer::Yes});
    form2.dir1.DoubleClick(set);

    EXPECT_EQ(log.Matching("ExitWindowsEx"), QStringList({"ExitWindowsEx=6,0"}));
    EXPECT_TRUE(scriptWritten);
    EXPECT_LT(log.IndexOf("Settings.Write=Info/LastRestore=" + set),
              log.IndexOf("ExitWindowsEx=6,0"));
    // The refused restart is not reported; the chooser comes back at the root.
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(form2.form.IsVisible());
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
}

TEST_F(RestoreCommandTest, failed_files_are_listed_before_the_restart_question) {
    files.FailCopyTo("C:\\WINDOWS\\SYSTEM.INI", "Permission denied");
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 3u);
    const AskedMessage& report = dialogs.messages[1];
    EXPECT_EQ(report.title, "Restore incomplete");
    EXPECT_EQ(report.buttons, MessageButtons::Ok);
    EXPECT_EQ(report.icon, MessageIcon::Information);
    EXPECT_TRUE(
        report.text.startsWith("These files could not be restored:\r" + set + "\\SYSTEM.INI: "))
        << report.text.toStdString();
    EXPECT_TRUE(report.text.contains("Permission denied"));
    EXPECT_EQ(dialogs.messages[2].title, "Restart Windows?");
    // The message comes while the chooser is hidden, so its activation cannot wipe it.
    EXPECT_LT(log.IndexOf("Form2.Hide"), log.IndexOf("MessageBox=Restore incomplete"));
    // The rest of the restore went on.
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SYSTEM.DAT"), drive.HostBytes(set + "\\SYSTEM.DAT"));
    EXPECT_TRUE(drive.HostExists("C:\\WINDOWS\\WinStart.Bat"));
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "old");
    EXPECT_TRUE(LastSetting("LastRestore").isEmpty());
}

TEST_F(RestoreCommandTest, a_long_list_of_failed_files_is_cut_short) {
    QStringList many;
    for (int i = 0; i < 25; ++i) many.append(QString("F%1.INI").arg(i, 2, 10, QChar('0')));
    const QString big = AddSet("big", many);
    AddSoundRegistry(big);  // a sound pair, so that no damaged-registry question comes first
    files.FailCopyTo("C:\\WINDOWS\\F*.INI", "Disk full");
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(big);

    ASSERT_EQ(dialogs.messages.size(), 3u);
    const QStringList lines = dialogs.messages[1].text.split('\r');
    EXPECT_EQ(lines.size(), 22);
    EXPECT_EQ(lines.last(), "... and 5 more");
}

TEST_F(RestoreCommandTest, an_unwritable_boot_script_is_reported_and_no_restart_is_offered) {
    files.FailWriteTextFile("*\\WinStart.Bat", "Read-only file system");
    Answer({MessageAnswer::Yes});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].title, "Restore incomplete");
    EXPECT_EQ(dialogs.messages[1].text,
              "The boot script C:\\WINDOWS\\WinStart.Bat could not be written: Read-only file "
              "system\rThe registry files staged in C:\\Stowix will not be put in place when "
              "Windows restarts.");
    EXPECT_TRUE(log.Matching("ExitWindowsEx").isEmpty());
    EXPECT_TRUE(LastSetting("LastRestore").isEmpty());
    EXPECT_TRUE(form2.form.IsVisible());
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
}

TEST_F(RestoreCommandTest, a_script_that_cannot_be_replaced_is_reported_too) {
    drive.AddFile("C:\\WINDOWS\\WinStart.Bat", "old script");
    files.FailWriteTextFile("C:\\WINDOWS\\WinStart.Bat", "Device or resource busy");
    Answer({MessageAnswer::Yes});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[1].text.contains("Device or resource busy"));
    EXPECT_TRUE(log.Matching("ExitWindowsEx").isEmpty());
    // The old script was taken out before the registry files were staged, so that it could not
    // put a half-staged pair in place; the report says that the staged files stay where they are.
    EXPECT_FALSE(drive.HostExists("C:\\WINDOWS\\WinStart.Bat"));
    EXPECT_TRUE(dialogs.messages[1].text.contains("will not be put in place"));
}

}  // namespace
}  // namespace stowix::test

namespace stowix::test {
namespace {

// SYSTEM.DAT and USER.DAT belong together: when one cannot be staged, none is left staged, so
// the boot script never puts a mismatched pair in place.
TEST_F(ChooserTest, a_registry_file_that_cannot_be_staged_withdraws_the_others) {
    const QString set = AddSet("pair", {"WIN.INI"});
    AddSoundRegistry(set);
    drive.AddFile("C:\\Stowix\\SYSTEM.DA0", "staged by an earlier restore");
    files.FailCopyTo("C:\\Stowix\\USER.DAT", "No space left on device");
    Open("Restore");
    dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No};
    form2.dir1.DoubleClick(set);

    EXPECT_TRUE(drive.HostNames("C:\\Stowix").filter(".DA", Qt::CaseInsensitive).isEmpty())
        << drive.HostNames("C:\\Stowix").join(", ").toStdString();
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WIN.INI"), "WIN.INI");
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_TRUE(dialogs.messages[1].text.contains("the registry stays as it is"))
        << dialogs.messages[1].text.toStdString();
}

}  // namespace
}  // namespace stowix::test

namespace stowix::test {
namespace {

// A damaged registry is named in a question of its own, before the restore's confirmation.
class DamagedRegistryRestore : public ChooserTest {
protected:
    DamagedRegistryRestore() {
        set = AddSet("set", {"WIN.INI"});
        AddSoundRegistry(set);
        damaged = tools::DamageRegistryFile(tools::WriteRegistryFile(tools::Windows98SystemTree()),
                                            tools::RegistryDamage::OwnAncestor);
        drive.AddFile(set + "\\SYSTEM.DAT", damaged);
        drive.AddFile("C:\\WINDOWS\\WIN.INI", "old");
        Open("Restore");
    }
    QString set;
    QByteArray damaged;
};

TEST_F(DamagedRegistryRestore, declining_the_damaged_registry_restores_nothing_and_asks_no_more) {
    dialogs.answers = {MessageAnswer::No};
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Damaged Registry");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Question);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        "The registry in this backup set is damaged: SYSTEM.DAT: "))
        << dialogs.messages[0].text.toStdString();
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("Restore this set anyway?"));
    EXPECT_EQ(form2.statusBar1.Text(), "Nothing restored");
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WIN.INI"), "old");
    EXPECT_FALSE(drive.HostExists("C:\\Stowix\\SYSTEM.DAT"));
}

TEST_F(DamagedRegistryRestore, restoring_anyway_goes_on_to_the_confirmation_and_stages_it) {
    dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No};
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[0].title, "Damaged Registry");
    EXPECT_EQ(dialogs.messages[1].title, "Restore Folder");
    EXPECT_EQ(dialogs.messages[2].title, "Restart Windows?");
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SYSTEM.DAT"), damaged);
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WIN.INI"), "WIN.INI");
}

}  // namespace
}  // namespace stowix::test
