#include "info/info_boxes.h"

#include "support/event_log.h"
#include "support/fake_services.h"
#include "support/recording_file_system.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

// The boxes over faked services; the file system fails the test on any call, since the boxes
// only read settings and the clock.
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
    RecordingFileSystem files{log};
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

}  // namespace
}  // namespace stowix::test
