#include "sets/backup_set_layout.h"
#include "sets/set_name.h"

#include "support/event_log.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix {
namespace {

TEST(SetStamp, writes_slashes_as_dashes_and_colons_as_semicolons_only) {
    struct Case {
        QString date, time, expected;
    };
    const Case cases[] = {
        {"11/5/99", "3:45:12 PM", "11-5-99 3;45;12 PM"},
        {"11/5/1999", "3:45:12 PM", "11-5-1999 3;45;12 PM"},
        {"05.11.1999", "15:45:12", "05.11.1999 15;45;12"},  // dots stay
        {"2026-12-10", "11:35:12", "2026-12-10 11;35;12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.date + " " + c.time).toStdString());
        EXPECT_EQ(SetStamp(c.date, c.time), c.expected);
    }
}

TEST(SetPath, appends_the_comment_after_the_stamp_unchanged) {
    EXPECT_EQ(SetPath("11-5-99 3;45;12 PM", ""), "C:\\Stowix\\11-5-99 3;45;12 PM");
    EXPECT_EQ(SetPath("11-5-99 3;45;12 PM", " before upgrade"),
              "C:\\Stowix\\11-5-99 3;45;12 PM before upgrade");
    EXPECT_EQ(SetPath("05.11.1999 15;45;12", " v1.2"), "C:\\Stowix\\05.11.1999 15;45;12 v1.2");
}

TEST(NamedSetPath, takes_a_path_as_given_and_finds_a_bare_name_in_the_backup_root) {
    const struct {
        QString argument, expected;
    } cases[] = {
        {"11-5-99 3;45;12 PM", "C:\\Stowix\\11-5-99 3;45;12 PM"},
        {"C:\\Stowix\\11-5-99 3;45;12 PM", "C:\\Stowix\\11-5-99 3;45;12 PM"},
        {"\\Stowix\\set", "\\Stowix\\set"},  // from the root of the current drive
        {"Stowix\\set", "Stowix\\set"},      // below the current folder
        {"D:set", "D:set"},                  // a drive's current folder
    };
    for (const auto& c : cases)
        EXPECT_EQ(NamedSetPath(c.argument), c.expected) << c.argument.toStdString();
}

TEST(BackupGroups, are_the_root_then_the_windows_folder_in_fixed_order) {
    QStringList groups;
    for (const SetGroup& group : BackupGroups)
        groups.append(PlaceFolder(group.place, "\\WINDOWS") + "\\" +
                      QString::fromUtf16(group.pattern));
    EXPECT_EQ(groups, QStringList({
                          "\\Autoexec.Bat",
                          "\\Command.Com",
                          "\\*.Sys",
                          "\\WINDOWS\\System.Dat",
                          "\\WINDOWS\\System.Da0",
                          "\\WINDOWS\\User.Dat",
                          "\\WINDOWS\\User.Da0",
                          "\\WINDOWS\\*.Bat",
                          "\\WINDOWS\\*.Com",
                          "\\WINDOWS\\*.Grp",
                          "\\WINDOWS\\*.Ini",
                          "\\WINDOWS\\*.Pif",
                          "\\WINDOWS\\*.Pwl",
                          "\\WINDOWS\\ShellIconCache",
                          "\\WINDOWS\\TTFcache",
                      }));
}

TEST(RestoredFolder, is_the_groups_place_on_its_own_drive_and_the_windows_folder_for_the_registry) {
    // The registry files end where the boot script moves them: the Windows folder as start-up
    // found it, on whatever drive that is, not the backup root where the restore staged them.
    const ProgramValues values{"D:\\WIN98", "\\WIN98"};
    QStringList folders;
    for (const SetGroup& group : RestoreGroups) folders.append(RestoredFolder(group, values));
    EXPECT_EQ(folders.front(), "C:\\");
    EXPECT_EQ(folders.at(4), "D:\\WIN98\\");
    EXPECT_EQ(folders.back(), "D:\\WIN98\\");
}

TEST(FullPlaceFolder, names_the_drive_of_every_place) {
    EXPECT_EQ(FullPlaceFolder(SetPlace::DriveRoot, "D:\\WIN98"), "C:\\");
    EXPECT_EQ(FullPlaceFolder(SetPlace::WindowsFolder, "D:\\WIN98"), "D:\\WIN98\\");
    EXPECT_EQ(FullPlaceFolder(SetPlace::BackupRoot, "D:\\WIN98"), "C:\\Stowix\\");
}

TEST(SetLayout, the_staged_pattern_takes_the_registry_files_and_nothing_else) {
    // The boot script moves what the staged pattern matches; a registry group it missed would
    // never reach the Windows folder, another file it took would be put there at start.
    test::TempDrive drive;
    QStringList named;
    for (const SetGroup& group : BackupGroups) {
        const QString pattern = QString::fromUtf16(group.pattern);
        if (pattern.contains(u'*') || pattern.contains(u'?')) continue;
        drive.AddFile("C:\\X\\" + pattern, "x");
        named.append(pattern);
    }
    const Result<std::vector<FolderEntry>> staged =
        drive.Files().ListFolder("C:\\X\\" + QString::fromUtf16(StagedPattern), 0);
    ASSERT_TRUE(staged.ok()) << staged.reason().toStdString();
    QStringList stagedNames;
    for (const FolderEntry& entry : staged.value()) stagedNames.append(entry.name);
    for (const SetGroup& group : BackupGroups) {
        const QString pattern = QString::fromUtf16(group.pattern);
        if (!named.contains(pattern)) continue;
        SCOPED_TRACE(pattern.toStdString());
        EXPECT_EQ(stagedNames.contains(pattern), group.registry);
    }
    EXPECT_TRUE(RestoreGroups.back().registry);
    EXPECT_EQ(QString::fromUtf16(RestoreGroups.back().pattern), QString::fromUtf16(StagedPattern));
}

}  // namespace
}  // namespace stowix
