// A backup, changes to the drive, a restore, and the next start of Windows: the drive's
// configuration is back as it was at the backup. The backup and the start of Windows are the
// built stowix /U and stowix-boot; the restore is the folder chooser's own logic, run here over
// the same drive, because the chooser needs a user at a display to double-click a set.

#include "program/program_fixture.h"

#include "restore/folder_chooser.h"
#include "support/fake_forms.h"
#include "support/fake_services.h"

#include <QFile>

namespace stowix::test {
namespace {

constexpr int ArchiveHiddenSystemReadOnly = 39;

class RestoreRoundTripTest : public ProgramTest {
protected:
    // Restores the set as a user does: Restore, a double-click on the set, Yes to the
    // confirmation, No to the restart.
    void RestoreInChooser(const QString& setPath) {
        EventLog log;
        FakeForm2 form2{log};
        FakeWindow mainForm{log, "Form1"};
        FakeSettingsStore settings;
        FakeSystem system{log};
        FakeDialogs dialogs{log};
        FakeWindowsApi windows{log};
        ProgramValues values{"C:\\WINDOWS", "\\WINDOWS"};
        FolderChooser chooser{form2, mainForm, Services{*files, settings, system, dialogs, windows},
                              values};
        form2.form.onShow = chooser.Events().Form_Activate;
        dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No};

        chooser.Open(RestoreMode);
        form2.dir1.DoubleClick(setPath);

        QStringList asked;
        for (const AskedMessage& message : dialogs.messages)
            asked << message.title + ": " + message.text;
        EXPECT_TRUE(dialogs.answers.empty() && asked.size() == 2) << "the restore asked:\n"
                                                                  << asked.join('\n').toStdString();
        EXPECT_EQ(settings.values.value("Stowix/Info/LastRestore"), setPath);
    }
};

TEST_F(RestoreRoundTripTest, the_configuration_is_back_after_the_next_start_of_windows) {
    const QStringList sources = GroupSources();
    FileStates atBackup;
    for (const QString& source : sources) atBackup[source] = StateOf(source);
    const Outcome backup = Run("stowix", {"/U"});
    ASSERT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
    const QString setPath = Setting("Info", "LastBackup");
    ASSERT_FALSE(setPath.isEmpty());

    // The experiment that went wrong.
    {
        QFile winIni(HostPath("WINDOWS\\WIN.INI"));
        ASSERT_TRUE(winIni.open(QIODevice::Append));
        winIni.write("[Broken]\r\nDriver=yes\r\n");
    }
    ASSERT_TRUE(files->DeleteFile("C:\\CONFIG.SYS").ok());
    ASSERT_TRUE(files->WriteAttributes("C:\\WINDOWS\\SYSTEM.DAT", 32).ok());
    {
        QFile systemDat(HostPath("WINDOWS\\SYSTEM.DAT"));
        ASSERT_TRUE(systemDat.open(QIODevice::ReadWrite));
        systemDat.seek(4096);
        systemDat.write("changed by a driver's installer");
    }
    const QString added = "WINDOWS\\NEWDRV.INI";
    {
        QFile file(HostPath(added));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[NewDriver]\r\n");
    }
    const FileState addedState = StateOf(added);

    RestoreInChooser(setPath);
    ASSERT_TRUE(FilesIn("Stowix").count("SYSTEM.DAT")) << "nothing was staged for the boot";

    const Outcome boot = Run("stowix-boot");

    EXPECT_EQ(boot.exitCode, 0);
    EXPECT_EQ(boot.output.toStdString(), "");
    EXPECT_EQ(boot.errors.toStdString(), "");
    // The registry files come back with the attributes the boot script gives them.
    FileStates expected = atBackup;
    for (auto& [path, state] : expected) {
        const bool registry = path.startsWith("WINDOWS\\") &&
                              path.section('.', -1).startsWith("DA", Qt::CaseInsensitive);
        if (registry) state.attributes = ArchiveHiddenSystemReadOnly;
    }
    FileStates now;
    for (const QString& source : sources) now[source] = StateOf(source);
    const QStringList differences = Differences(expected, now);
    EXPECT_TRUE(differences.isEmpty()) << "not as at the backup:\n"
                                       << differences.join('\n').toStdString();
    const QStringList staged = Names(FilesIn("Stowix"));
    EXPECT_TRUE(staged.isEmpty()) << "left in the backup root: " << staged.join(", ").toStdString();
    // A restore puts files back; it removes nothing that the backup did not hold.
    EXPECT_TRUE(Differences({{added, addedState}}, {{added, StateOf(added)}}).isEmpty());

    // Every later start finds nothing staged and changes nothing.
    const FileStates beforeSecondStart = WholeDrive();
    const Outcome again = Run("stowix-boot");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.output.toStdString(), "");
    EXPECT_EQ(again.errors.toStdString(), "");
    const QStringList changed = Differences(beforeSecondStart, WholeDrive());
    EXPECT_TRUE(changed.isEmpty()) << "the second start changed:\n"
                                   << changed.join('\n').toStdString();
}

}  // namespace
}  // namespace stowix::test
