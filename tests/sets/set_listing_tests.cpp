// The sets of the backup root as stowix-list shows them: a set's comment read from its folder
// name, and the list itself, newest first, with files and bytes.

#include "sets/set_listing.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

TEST(SetComment, is_what_follows_the_stamp_and_a_same_second_number) {
    const struct {
        const char* name;
        const char* comment;
    } cases[] = {
        {"11-5-99 3;45;12 PM", ""},
        {"11-5-99 3;45;12 PM before restore", "before restore"},
        {"11-5-99 3;45;12 PM(2) before restore", "before restore"},
        {"11-5-99 3;45;12 PM(12)", ""},
        {"11.05.1999 15;45;12 new driver; 1;30;00 take", "new driver; 1;30;00 take"},
        {"11.05.1999 15;45;12 new driver", "new driver"},
        {"my own folder", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetComment(QString::fromUtf8(c.name)), QString::fromUtf8(c.comment)) << c.name;
}

TEST(ListBackupSets, gives_the_sets_newest_first_with_their_files_and_bytes) {
    TempDrive drive;
    EXPECT_TRUE(ListBackupSets(drive.Files(), {}).value().empty()) << "no backup root, no sets";

    drive.AddFile("C:\\Stowix\\older\\WIN.INI", "1234");
    drive.AddFile("C:\\Stowix\\older\\SYSTEM.INI", "12");
    drive.AddFolder("C:\\Stowix\\newer");
    drive.AddFolder("C:\\Stowix\\unknown");
    drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "a staged file is no set");
    const SetTimeReader times = [](const QString& name) -> std::optional<QDateTime> {
        if (name == u"older") return QDateTime(QDate(1999, 5, 11), QTime(15, 0));
        if (name == u"newer") return QDateTime(QDate(2026, 12, 11), QTime(9, 0));
        return std::nullopt;
    };
    const Result<std::vector<ListedSet>> sets = ListBackupSets(drive.Files(), times);
    ASSERT_TRUE(sets) << sets.reason().toStdString();
    ASSERT_EQ(sets.value().size(), 3u);
    EXPECT_EQ(sets.value()[0].name, "newer");
    EXPECT_EQ(sets.value()[1].name, "older");
    EXPECT_EQ(sets.value()[1].path, "C:\\Stowix\\older");
    EXPECT_EQ(sets.value()[1].size.files, 2);
    EXPECT_EQ(sets.value()[1].size.bytes, 6);
    EXPECT_EQ(sets.value()[2].name, "unknown");  // no known time: last
    EXPECT_FALSE(sets.value()[2].record.made.isValid());
    EXPECT_FALSE(sets.value()[2].record.complete.has_value());
}

}  // namespace
}  // namespace stowix::test
