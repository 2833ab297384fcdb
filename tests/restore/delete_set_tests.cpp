// The delete command against a temporary drive.

#include "restore/chooser_fixture.h"

#include <QDir>

namespace stowix::test {
namespace {

class DeleteSetTest : public ChooserTest {
protected:
    DeleteSetTest() {
        set = AddSet("set", {"WIN.INI"});
        drive.AddFile(set + "\\IO.SYS", "io", Attribute::ReadOnly);
        drive.AddFile(set + "\\HIDDEN.GRP", "h", Attribute::Hidden);
        drive.AddFile(set + "\\SYSTEM.COM", "s", Attribute::System);
        drive.AddFile(set + "\\SYSTEM.DAT", "registry", 39);
        other = AddSet("other", {"WIN.INI"});
        Open("Delete");
    }
    QString set;
    QString other;
};

TEST_F(DeleteSetTest, a_set_with_hidden_system_and_read_only_files_is_removed) {
    dialogs.answers.push_back(MessageAnswer::Yes);
    form2.dir1.DoubleClick(set);

    EXPECT_FALSE(drive.HostExists(set));
    EXPECT_TRUE(drive.HostExists(other));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Are you sure you want to delete this folder? ");
    EXPECT_EQ(dialogs.messages[0].title, "Delete Folder");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(LastSetting("LastDelete"), set);
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_EQ(log.Matching("Form2.StatusBar1.Text"),
              QStringList({"Form2.StatusBar1.Text=Deleting ...",
                           "Form2.StatusBar1.Text=Deleted [" + set + "]"}));
    // Deleting shows first and is painted; the record comes after the work, then the beep.
    EXPECT_EQ(log.IndexOf("Form2.Repaint"), log.IndexOf("Form2.StatusBar1.Text=Deleting ...") + 1);
    EXPECT_LT(log.IndexOf("Form2.StatusBar1.Text=Deleted [" + set + "]"),
              log.IndexOf("Settings.Write=Info/LastDelete=" + set));
    EXPECT_LT(log.IndexOf("Settings.Write=Info/LastDelete=" + set), log.IndexOf("Beep"));
    EXPECT_TRUE(log.Matching("Form2.ProgressBar1").isEmpty());
    EXPECT_TRUE(log.Matching("Form2.Command1").isEmpty());
}

TEST_F(DeleteSetTest, an_empty_set_folder_is_removed) {
    const QString empty = AddSet("empty");
    dialogs.answers.push_back(MessageAnswer::Yes);
    form2.dir1.DoubleClick(empty);
    EXPECT_FALSE(drive.HostExists(empty));
    EXPECT_EQ(form2.statusBar1.Text(), "Deleted [" + empty + "]");
}

TEST_F(DeleteSetTest, declining_deletes_nothing) {
    dialogs.answers.push_back(MessageAnswer::No);
    form2.dir1.DoubleClick(set);

    EXPECT_EQ(drive.HostNames(set).size(), 5);
    EXPECT_EQ(form2.statusBar1.Text(), "Nothing deleted");
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
    EXPECT_TRUE(log.Matching("Settings.Write").isEmpty());
}

TEST_F(DeleteSetTest, a_set_that_stays_on_disk_is_not_reported_as_deleted) {
    const struct {
        const char* why;
        std::function<void()> arrange;
        QString remains;  // a name the status must give
    } cases[] = {
        {"a subfolder", [&] { drive.AddFile(set + "\\sub\\KEEP.TXT", "keep"); }, "sub"},
        {"a file that resists",
         [&] {
             files.FailDeleteFile("*\\WIN.INI", "Device or resource busy");
             files.Fail(FsOperation::DeleteMatching, "*", "Device or resource busy");
         },
         "Device or resource busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        c.arrange();
        dialogs.answers.push_back(MessageAnswer::Yes);

        form2.dir1.DoubleClick(set);

        EXPECT_TRUE(drive.HostExists(set));
        const QString status = form2.statusBar1.Text();
        EXPECT_TRUE(status.startsWith("Could not delete [" + set + "] entirely: "))
            << status.toStdString();
        EXPECT_TRUE(status.contains(c.remains)) << status.toStdString();
        EXPECT_TRUE(LastSetting("LastDelete").isEmpty());
        EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
        files.ClearFaults();
        QDir(drive.HostPath(set + "\\sub")).removeRecursively();
        drive.AddFile(set + "\\WIN.INI", "WIN.INI");
        Open("Delete");
    }
}

}  // namespace
}  // namespace stowix::test
