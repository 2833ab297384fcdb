#include "backup_fixture.h"
#include "files/copy_failure_list.h"

namespace stowix::test {
namespace {

// A run that could not copy everything goes on with every remaining group, then leaves the
// previous LastBackup and the comment as they were, gives the window back usable, and says
// which files are missing and why.
class BackupFailure : public BackupFixture {
protected:
    BackupFailure() {
        AddWindows98Files();
        settings.values.insert(FakeSettingsStore::Key("Stowix", "Info", "LastBackup"),
                               "C:\\Stowix\\older");
        window.PendingComment = " before upgrade";
    }

    const QString commentedSetPath = setPath + " before upgrade";

    void ExpectUsableWindow(const QString& status) {
        for (Control* control :
             {static_cast<Control*>(&form.fileMenu), static_cast<Control*>(&form.helpMenu),
              static_cast<Control*>(&form.command1), static_cast<Control*>(&form.command2),
              static_cast<Control*>(&form.check1)})
            EXPECT_TRUE(control->IsEnabled());
        EXPECT_EQ(log.Matching("Form1.MousePointer").last(), "Form1.MousePointer=0");
        EXPECT_EQ(form.progressBar1.Value(), 100);
        EXPECT_EQ(form.statusBar1.Text(), status);
    }

    const AskedMessage& OnlyMessage() {
        EXPECT_EQ(dialogs.messages.size(), 1u);
        static const AskedMessage none{};
        if (dialogs.messages.empty()) return none;
        return dialogs.messages.front();
    }
};

TEST_F(BackupFailure, a_file_that_fails_is_reported_and_the_rest_still_copied) {
    faulty.FailCopyFrom("C:\\WINDOWS\\USER.DAT", "Input/output error");
    Run();

    EXPECT_EQ(StoredLastBackup(), "C:\\Stowix\\older");
    EXPECT_TRUE(log.Matching("Settings.Write").isEmpty());
    EXPECT_EQ(window.PendingComment, " before upgrade");
    ExpectUsableWindow("Backup incomplete [" + commentedSetPath + "]");
    // Groups after the failing one were still copied.
    EXPECT_EQ(drive.HostBytes(commentedSetPath + "\\WIN.INI"), "[windows]\r\n");
    EXPECT_EQ(drive.HostBytes(commentedSetPath + "\\ShellIconCache"), "icons");
    EXPECT_FALSE(drive.HostExists(commentedSetPath + "\\USER.DAT"));

    const AskedMessage& message = OnlyMessage();
    EXPECT_EQ(message.title, "Backup incomplete");
    EXPECT_EQ(message.buttons, MessageButtons::Ok);
    EXPECT_NE(message.icon, MessageIcon::Question);
    EXPECT_TRUE(message.text.contains(commentedSetPath)) << message.text.toStdString();
    EXPECT_TRUE(message.text.contains("C:\\WINDOWS\\USER.DAT: Input/output error\r"))
        << message.text.toStdString();
    // The report comes once the window is usable again.
    EXPECT_GT(log.IndexOf("MessageBox=Backup incomplete"), log.IndexOf("Form1.MousePointer=0"));
    EXPECT_FALSE(system.endedWith.has_value());
}

TEST_F(BackupFailure, ends_with_status_3_only_under_u) {
    struct Case {
        QString commandLine;
        int box;
        std::optional<int> ended;
    };
    const Case cases[] = {
        {"/U", 0, 3},
        {"/u", 1, 3},
        {"", 1, std::nullopt},  // interactively the window stays so the user sees the report
        {"", 0, std::nullopt},
    };
    faulty.FailCopyTo("*\\SYSTEM.DAT", "Permission denied");
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.commandLine + " box " + QString::number(c.box)).toStdString());
        values.Mode = RunModeOf(c.commandLine.split(u' ', Qt::SkipEmptyParts));
        system.endedWith.reset();
        form.check1.SetValue(c.box);
        dialogs.messages.clear();
        log.Clear();
        Run();
        EXPECT_EQ(system.endedWith, c.ended);
        EXPECT_EQ(dialogs.messages.size(), 1u);
        if (c.ended) {
            EXPECT_LT(log.IndexOf("MessageBox=Backup incomplete"), log.IndexOf("Animation1.Close"));
            EXPECT_EQ(log.entries.mid(log.entries.size() - 3),
                      EndSequence + QStringList({"EndNow=3"}));
        }
    }
}

TEST_F(BackupFailure, a_long_list_of_failures_is_cut_short) {
    for (int i = 1; i <= 30; ++i)
        drive.AddFile(QString("C:\\WINDOWS\\APP%1.INI").arg(i), "[app]\r\n");
    faulty.FailCopyTo(commentedSetPath + "\\*", "No space left on device");
    Run();

    // Every copy of the Windows 98 drive (COMMAND.COM twice) and the thirty, and the registry
    // that none of those copies brought into the set.
    const int failed = 12 + 30 + 1;
    const QString text = OnlyMessage().text;
    EXPECT_EQ(text.count(": No space left on device\r"), ListedCopyFailures);
    EXPECT_TRUE(text.contains(QString("... and %1 more").arg(failed - ListedCopyFailures)))
        << text.toStdString();
}

TEST_F(BackupFailure, a_set_folder_that_cannot_be_made_is_reported_with_its_reason) {
    faulty.FailCreateFolder(commentedSetPath, "Invalid argument");
    Run();
    EXPECT_EQ(StoredLastBackup(), "C:\\Stowix\\older");
    EXPECT_FALSE(drive.HostExists(commentedSetPath));
    ExpectUsableWindow("Backup incomplete [" + commentedSetPath + "]");
    EXPECT_TRUE(OnlyMessage().text.contains("Invalid argument"))
        << OnlyMessage().text.toStdString();
}

TEST_F(BackupFailure, copies_that_cannot_be_flushed_are_not_recorded) {
    faulty.FailFlushToDisk("Input/output error");
    Run();
    EXPECT_EQ(StoredLastBackup(), "C:\\Stowix\\older");
    EXPECT_EQ(window.PendingComment, " before upgrade");
    ExpectUsableWindow("Backup incomplete [" + commentedSetPath + "]");
    EXPECT_TRUE(OnlyMessage().text.contains("Input/output error"));
}

TEST_F(BackupFailure, a_refused_owner_restriction_does_not_fail_the_run) {
    faulty.Fail(FsOperation::RestrictToOwner, "*", "Operation not permitted");
    Run();
    EXPECT_EQ(StoredLastBackup(), commentedSetPath);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BackupFailure, a_set_that_cannot_be_recorded_is_reported) {
    settings.failWrites = true;
    values.Mode = RunMode::Unattended;
    Run();

    EXPECT_EQ(StoredLastBackup(), "C:\\Stowix\\older");
    // Every file is in the set, comment and all, so the comment is used up.
    EXPECT_TRUE(window.PendingComment.isEmpty());
    EXPECT_EQ(drive.HostBytes(commentedSetPath + "\\WIN.INI"), "[windows]\r\n");
    ExpectUsableWindow("Backup not recorded [" + commentedSetPath + "]");
    const AskedMessage& message = OnlyMessage();
    EXPECT_EQ(message.title, "Backup incomplete");
    EXPECT_TRUE(message.text.contains("the settings file cannot be written"));
    EXPECT_EQ(system.endedWith, 3);
}

}  // namespace
}  // namespace stowix::test
