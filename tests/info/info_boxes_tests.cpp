#include "info/info_boxes.h"

#include "support/event_log.h"
#include "support/fake_services.h"
#include "support/recording_file_system.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

// The boxes over faked services and a temporary drive, where the information box reads the
// records of the sets it names.
class InfoBoxesTest : public ::testing::Test {
protected:
    void Store(const QString& key, const QString& value) {
        settings.values.insert(FakeSettingsStore::Key("Stowix", "Info", key), value);
    }
    // The one box shown, checked for the OK button and the information icon.
    AskedMessage OnlyBox() {
        EXPECT_EQ(dialogs.messages.size(), 1u);
        if (dialogs.messages.empty()) return {};
        const AskedMessage box = dialogs.messages.back();
        EXPECT_EQ(box.buttons, MessageButtons::Ok);
        EXPECT_EQ(box.icon, MessageIcon::Information);
        dialogs.messages.clear();
        return box;
    }

    EventLog log;
    TempDrive drive;
    RecordingFileSystem files{log, &drive.Files()};
    FakeSettingsStore settings;
    FakeSystem system{log};
    FakeDialogs dialogs{log};
    FakeWindowsApi windows{log};
    Services services{files, settings, system, dialogs, windows};
};

TEST_F(InfoBoxesTest, info_box_on_a_first_run_shows_none_three_times) {
    ShowInfo(services);

    const AskedMessage box = OnlyBox();
    EXPECT_EQ(box.title, "Info");
    EXPECT_EQ(box.text,
              "Last Backup:\tNone\rLast Restore:\tNone\rLast Delete:\tNone\r\r"
              "Current date/time:\t11/5/99 3:45:12 PM");
}

TEST_F(InfoBoxesTest, info_box_shows_the_stored_paths_as_they_are_each_time_it_opens) {
    Store("LastBackup", "C:\\Stowix\\11-5-99 3;45;12 PM before upgrade");
    Store("LastRestore", "C:\\Stowix\\11-4-99 9;01;00 AM");
    Store("LastDelete", "C:\\Stowix\\11-5-99 3;45;12 PM before upgrade");
    system.dateText = "05.11.1999";
    system.timeText = "15:45:12";

    ShowInfo(services);
    EXPECT_EQ(OnlyBox().text,
              "Last Backup:\tC:\\Stowix\\11-5-99 3;45;12 PM before upgrade\r"
              "Last Restore:\tC:\\Stowix\\11-4-99 9;01;00 AM\r"
              "Last Delete:\tC:\\Stowix\\11-5-99 3;45;12 PM before upgrade\r\r"
              "Current date/time:\t05.11.1999 15:45:12");

    Store("LastRestore", "C:\\Stowix\\11-5-99 4;00;00 PM");
    ShowInfo(services);
    EXPECT_TRUE(OnlyBox().text.contains("Last Restore:\tC:\\Stowix\\11-5-99 4;00;00 PM\r"));
}

TEST_F(InfoBoxesTest, tips_box) {
    ShowTips(services);

    const AskedMessage box = OnlyBox();
    EXPECT_EQ(box.title, "Tips");
    EXPECT_EQ(box.text,
              "For unattended backups, add a /U switch to Stowix's command-line.\r\r"
              "For invisible operation, add a /I switch to Stowix's command-line.\r\r"
              "Click File+Add Comment to add a comment to this backup.\r\r"
              "For free technical support, send e-mail to support@stowix.org.");
}

TEST_F(InfoBoxesTest, about_box) {
    ShowAbout(services);

    const AskedMessage box = OnlyBox();
    EXPECT_EQ(box.title, "About Stowix");
    EXPECT_EQ(box.text,
              "STOWIX\r\r"
              "Build 103 - GA - 11/99\r\r"
              "For updates, visit https://stowix.org/updates.");
}

// A set whose record says its run broke off is marked so; one without a record (made before
// records) and a complete one are named as they are.
TEST_F(InfoBoxesTest, info_box_marks_a_set_whose_record_says_it_is_incomplete) {
    const QString half = "C:\\Stowix\\11-5-99 4;00;00 PM before restore";
    drive.AddFile(half + "\\STOWIX.SET", "[Set]\r\nFormat=1\r\nComplete=No\r\n");
    const QString whole = "C:\\Stowix\\11-5-99 3;45;12 PM";
    drive.AddFile(whole + "\\STOWIX.SET", "[Set]\r\nFormat=1\r\nComplete=Yes\r\n");
    Store("LastBackup", whole);
    Store("LastRestore", half);
    ShowInfo(services);
    const QStringList lines = OnlyBox().text.split('\r');
    EXPECT_EQ(lines.value(0), "Last Backup:\t" + whole);
    EXPECT_EQ(lines.value(1),
              "Last Restore:\t" + half + " (incomplete: the run that made it did not finish)");
}

}  // namespace
}  // namespace stowix::test
