// Whose records the settings' section Info holds, case by case: a fresh user's first drive, the
// settings of a user from before drives were told apart (their sets on this drive, on another,
// or naming none), and a second drive beside the first.

#include "shell/drive_records.h"
#include "shell/settings.h"
#include "support/fake_services.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

const QString App = SettingsKeys::Application;
const QString Here = "/srv/games";
const QString SetHere = "C:\\Stowix\\1-2-25 3;00;00 AM";
const QString SetElsewhere = "C:\\Stowix\\1-3-25 3;00;00 AM";

struct RecordsCase {
    const char* what;
    QMap<QString, QString> info;  // section Info before, key -> value
    QString lastBackupRead;       // what this drive reads as its last backup
    bool writesToInfo;            // whether its first record goes to Info
};

TEST(DriveRecordsStore, reads_and_writes_the_records_that_belong_to_the_drive) {
    const RecordsCase cases[] = {
        {"a fresh user", {}, "None", true},
        {"records from before, naming a set of this drive",
         {{"LastBackup", SetHere}, {"LastDelete", "C:\\Stowix\\old"}},
         SetHere,
         true},
        {"records from before, naming a set of another drive",
         {{"LastBackup", SetElsewhere}},
         "None",
         false},
        {"records from before that name no set", {{"LastDelete", "C:\\Stowix\\old"}}, "None", true},
        {"Info belongs to another drive",
         {{"LastBackup", SetHere}, {"Drive", "/srv/office"}},
         "None",
         false},
        {"Info belongs to this drive",
         {{"LastBackup", SetElsewhere}, {"Drive", Here}},
         SetElsewhere,
         true},
    };
    for (const RecordsCase& test : cases) {
        SCOPED_TRACE(test.what);
        FakeSettingsStore file;
        for (auto value = test.info.begin(); value != test.info.end(); ++value)
            file.values.insert(FakeSettingsStore::Key(App, "Info", value.key()), value.value());
        const QMap<QString, QString> before = file.values;
        DriveRecordsStore records(file, Here, [](const QString& set) { return set == SetHere; });

        EXPECT_EQ(ReadSetting(records, SettingsKeys::Info, SettingsKeys::LastBackup, "None"),
                  test.lastBackupRead);
        EXPECT_EQ(file.values, before) << "a read wrote";
        // Settings that are no records pass through.
        ASSERT_TRUE(WriteSetting(records, SettingsKeys::Preferences, SettingsKeys::AutoExit, "1"));
        EXPECT_EQ(file.values.value(FakeSettingsStore::Key(App, "Preferences", "AutoExit")), "1");

        ASSERT_TRUE(WriteSetting(records, SettingsKeys::Info, SettingsKeys::LastRestore, SetHere));
        EXPECT_EQ(ReadSetting(records, SettingsKeys::Info, SettingsKeys::LastRestore, "None"),
                  SetHere);
        const QString infoRestore =
            file.values.value(FakeSettingsStore::Key(App, "Info", "LastRestore"));
        EXPECT_EQ(infoRestore == SetHere, test.writesToInfo);
        // Nothing that was recorded is lost.
        for (auto value = before.begin(); value != before.end(); ++value)
            EXPECT_EQ(file.values.value(value.key()), value.value()) << value.key().toStdString();
        if (test.writesToInfo)
            EXPECT_EQ(file.values.value(FakeSettingsStore::Key(App, "Info", "Drive")), Here);
    }
}

}  // namespace
}  // namespace stowix::test
