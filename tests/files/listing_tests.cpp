// Path joining and the folder listing against the real posix file system.

#include "files/listing.h"
#include "support/attribute_letters.h"
#include "support/faulty_file_system.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

#include <QSet>

namespace stowix {
namespace {

using test::TempDrive;

using test::A;
using test::H;
using test::R;
using test::S;

class ListingTest : public ::testing::Test {
protected:
    TempDrive drive;
    FileSystem& files = drive.Files();
};

TEST_F(ListingTest, normalize_folder_and_drive_prefix) {
    struct Case {
        const char* folder;
        const char* expected;
    } folders[] = {
        {"C:\\WINDOWS", "\\WINDOWS\\"},
        {"WINDOWS", "\\WINDOWS\\"},
        {"\\WINDOWS\\", "\\WINDOWS\\"},
        {"C:", "\\"},
        {"\\", "\\"},
        {"C:\\", "\\"},
        {"D:\\A\\B", "\\A\\B\\"},
        {"", "\\"},  // the current folder, the root of C:
        {" my comment", "\\ my comment\\"},
    };
    for (const Case& c : folders) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(NormalizeFolder(files, QString::fromUtf8(c.folder)),
                  QString::fromUtf8(c.expected));
    }

    struct DriveCase {
        const char* drive;
        const char* expected;
    } drives[] = {{"C:", "C:"}, {"C", "C:"}, {"D:\\X", "D:"}, {"", "C:"}};
    for (const DriveCase& c : drives) {
        SCOPED_TRACE(c.drive);
        EXPECT_EQ(DrivePrefix(files, QString::fromUtf8(c.drive)), QString::fromUtf8(c.expected));
    }
}

TEST_F(ListingTest, empty_pattern_lists_every_file_and_becomes_star_dot_star) {
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "", A);
    drive.AddFile("C:\\WINDOWS\\ShellIconCache", "", A);
    drive.AddFile("C:\\WINDOWS\\README", "", A);
    QString folder = "\\WINDOWS";
    QString pattern;
    std::vector<QString> list;
    int count = 0;
    ASSERT_TRUE(FindFiles(files, "C:", folder, pattern, list, count, false).ok());
    EXPECT_EQ(pattern, "*.*");
    EXPECT_EQ(count, 3);
    QStringList names(list.begin(), list.end());
    names.sort();
    EXPECT_EQ(names, (QStringList{"README", "SYSTEM.INI", "ShellIconCache"}));
}

TEST_F(ListingTest, hidden_system_and_read_only_files_are_listed_but_never_folders) {
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "", A);
    drive.AddFile("C:\\WINDOWS\\HIDDEN.INI", "", H);
    drive.AddFile("C:\\WINDOWS\\SYSTEM2.INI", "", S);
    drive.AddFile("C:\\WINDOWS\\READONLY.INI", "", R);
    drive.AddFile("C:\\WINDOWS\\ALL.INI", "", R | H | S | A);
    drive.AddFolder("C:\\WINDOWS\\FOLDER.INI");
    drive.AddFile("C:\\WINDOWS\\OTHER.TXT", "", A);
    QString folder = "C:\\WINDOWS";
    QString pattern = "*.Ini";
    std::vector<QString> list;
    int count = 0;
    ASSERT_TRUE(FindFiles(files, "C:", folder, pattern, list, count, false).ok());
    QStringList names(list.begin(), list.end());
    names.sort();
    EXPECT_EQ(names,
              (QStringList{"ALL.INI", "HIDDEN.INI", "READONLY.INI", "SYSTEM.INI", "SYSTEM2.INI"}));
    EXPECT_EQ(count, 5);
}

TEST_F(ListingTest, the_callers_folder_becomes_the_full_listed_folder) {
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "", A);
    for (bool withPath : {true, false}) {
        SCOPED_TRACE(withPath);
        QString folder = "\\WINDOWS";
        QString pattern = "System.Ini";
        std::vector<QString> list;
        int count = 0;
        ASSERT_TRUE(FindFiles(files, "C:", folder, pattern, list, count, withPath).ok());
        EXPECT_EQ(folder, "C:\\WINDOWS\\");
        EXPECT_EQ(pattern, "System.Ini");
        ASSERT_EQ(count, 1);
        EXPECT_EQ(list.at(0), withPath ? "C:\\WINDOWS\\SYSTEM.INI" : "SYSTEM.INI")
            << "the name as stored, not as the pattern spells it";
    }
}

TEST_F(ListingTest, a_missing_folder_lists_nothing) {
    QString folder = "C:\\NOWHERE";
    QString pattern = "*.*";
    std::vector<QString> list{"stale"};
    int count = 5;
    ASSERT_TRUE(FindFiles(files, "C:", folder, pattern, list, count, true).ok());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(folder, "C:\\NOWHERE\\");
}

TEST_F(ListingTest, more_names_than_one_step_of_room_are_each_listed_once_in_listing_order) {
    constexpr int total = 2500;
    for (int i = 0; i < total; ++i)
        drive.AddFile(QStringLiteral("C:\\MANY\\F%1.INI").arg(i, 4, 10, QLatin1Char('0')), "");
    QString folder = "\\MANY";
    QString pattern = "*.INI";
    std::vector<QString> list;
    int count = 0;
    ASSERT_TRUE(FindFiles(files, "C:", folder, pattern, list, count, false).ok());
    ASSERT_EQ(count, total);
    ASSERT_EQ(list.size(), size_t(total));
    EXPECT_EQ(QSet<QString>(list.begin(), list.end()).size(), total);
    EXPECT_EQ(list.capacity() % 1024, 0u) << "room grows 1024 entries at a time";
    EXPECT_LT(list.capacity(), size_t(total + 1024));

    const auto listed = files.ListFolder("C:\\MANY\\*.INI", 7);
    ASSERT_TRUE(listed.ok());
    std::vector<QString> hostOrder;
    for (const FolderEntry& entry : listed.value()) hostOrder.push_back(entry.name);
    EXPECT_EQ(list, hostOrder);
}

}  // namespace
}  // namespace stowix
