// After a backup its registry files are read whole: damage is told after the run, never stops
// it, and makes an unattended run end with status 4.

#include "backup_fixture.h"

#include "backup/backup_registry_check.h"

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

namespace stowix::test {
namespace {

using namespace stowix::tools;

class BackupRegistryCheck : public BackupFixture {
protected:
    BackupRegistryCheck() {
        AddWindows98Files();
        damaged =
            DamageRegistryFile(WriteRegistryFile(Windows98UserTree()), RegistryDamage::CutShort);
        drive.AddFile("C:\\WINDOWS\\USER.DAT", damaged, 39, Time(8));
    }
    QByteArray damaged;
};

TEST_F(BackupRegistryCheck, a_damaged_registry_is_told_once_the_window_is_usable_and_the_set_kept) {
    Run();

    EXPECT_EQ(StoredLastBackup(), setPath);
    EXPECT_EQ(drive.HostBytes(setPath + "\\USER.DAT"), damaged);
    EXPECT_EQ(form.statusBar1.Text(), "Ready [C:\\WINDOWS]");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const AskedMessage& message = dialogs.messages.front();
    EXPECT_EQ(message.title, "Damaged Registry");
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_TRUE(message.text.startsWith("The backup set " + setPath +
                                        " holds a damaged registry: USER.DAT: "))
        << message.text.toStdString();
    EXPECT_FALSE(message.text.contains(u'\r')) << "one line for an unattended run";
    EXPECT_LT(log.IndexOf("Form1.MousePointer=0"), log.IndexOf("MessageBox=Damaged Registry"));
    EXPECT_FALSE(system.endedWith.has_value());
}

TEST_F(BackupRegistryCheck, the_unattended_status_says_whether_the_registry_is_sound) {
    values.Mode = RunMode::Unattended;
    Run();
    EXPECT_EQ(system.endedWith, RegistryDamagedStatus);
    EXPECT_EQ(StoredLastBackup(), setPath);

    // The same drive with a sound USER.DAT, in a fresh run: nothing told, status 0.
    drive.AddFile("C:\\WINDOWS\\USER.DAT", WriteRegistryFile(Windows98UserTree()).bytes, 39,
                  Time(8));
    dialogs.messages.clear();
    system.endedWith.reset();
    Run();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(system.endedWith, 0);
}

TEST_F(BackupRegistryCheck, an_incomplete_set_keeps_its_status_and_tells_both) {
    values.Mode = RunMode::Unattended;
    faulty.FailCopyFrom("C:\\WINDOWS\\WIN.INI", "Input/output error");
    Run();
    EXPECT_EQ(system.endedWith, BackupRun::IncompleteStatus);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].title, "Backup incomplete");
    EXPECT_EQ(dialogs.messages[1].title, "Damaged Registry");
}

}  // namespace
}  // namespace stowix::test
