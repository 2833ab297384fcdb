// The generated Windows 98 drive that other tests and the benchmarks rely on: attributes stored
// as the program reads them, the names the backup groups look for, and the same bytes each time.

#include "drive_writer.h"
#include "files/listing.h"
#include "support/attribute_letters.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"
#include "windows98_drive.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace stowix {
namespace {

using test::TempDrive;

using test::A;
using test::H;
using test::R;
using test::S;

QStringList Matching(FileSystem& files, const QString& folder, const QString& pattern) {
    QString listed = folder;
    QString used = pattern;
    std::vector<QString> names;
    int count = 0;
    EXPECT_TRUE(FindFiles(files, "C:", listed, used, names, count, false).ok());
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return sorted;
}

TEST(GeneratedDrive, attributes_and_names_are_as_windows_98_keeps_them) {
    TempDrive drive;
    tools::DriveOptions options;
    options.systemDatMegabytes = 0;
    options.extraIniFiles = 2;
    ASSERT_EQ(tools::WriteDrive(tools::Windows98Drive(options), drive.HostRoot()), QString());
    FileSystem& files = drive.Files();

    struct AttributeCase {
        const char* path;
        int expected;
    } attributes[] = {
        {"C:\\IO.SYS", R | H | S},
        {"C:\\MSDOS.SYS", R | H | S},
        {"C:\\AUTOEXEC.BAT", A},
        {"C:\\WINDOWS\\SYSTEM.DAT", R | H | S | A},
        {"C:\\WINDOWS\\USER.DAT", R | H | A},
        {"C:\\WINDOWS\\ShellIconCache", H | A},
        {"C:\\WINDOWS\\WIN.INI", A},
        {"C:\\WINDOWS\\FONTS", Attribute::Folder},
    };
    for (const AttributeCase& c : attributes) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(drive.Attributes(QString::fromUtf8(c.path)), c.expected);
    }

    EXPECT_EQ(Matching(files, "\\", "*.Sys"), (QStringList{"CONFIG.SYS", "IO.SYS", "MSDOS.SYS"}));
    EXPECT_EQ(Matching(files, "\\WINDOWS", "System.Da0"), QStringList{"SYSTEM.DA0"});
    EXPECT_EQ(Matching(files, "\\WINDOWS", "*.Com"), (QStringList{"COMMAND.COM", "WIN.COM"}));
    EXPECT_EQ(Matching(files, "\\WINDOWS", "TTFcache"), QStringList{"TTFCACHE"});
    EXPECT_EQ(Matching(files, "\\WINDOWS", "*.Ini").size(), 11);
    EXPECT_EQ(Matching(files, "\\WINDOWS", "*.Pif"),
              (QStringList{"DOSPRMPT.PIF", "EXIT TO DOS.PIF", "_DEFAULT.PIF"}));
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.DAT").left(4), "CREG");
    EXPECT_TRUE(drive.HostBytes("C:\\WINDOWS\\WIN.INI").startsWith("[windows]\r\n"));
    EXPECT_EQ(drive.ModifiedTime("C:\\IO.SYS"),
              QDateTime(QDate(1999, 4, 23), QTime(22, 22), Qt::UTC));
}

TEST(GeneratedDrive, the_same_options_give_the_same_bytes) {
    tools::DriveOptions options;
    options.systemDatMegabytes = 0;
    const tools::DriveContents first = tools::Windows98Drive(options);
    options.extraIniFiles = 5;
    const tools::DriveContents second = tools::Windows98Drive(options);
    ASSERT_EQ(second.files.size(), first.files.size() + 5);
    for (const tools::DriveFile& file : first.files) {
        SCOPED_TRACE(file.path.toStdString());
        auto same =
            std::find_if(second.files.begin(), second.files.end(),
                         [&](const tools::DriveFile& other) { return other.path == file.path; });
        ASSERT_NE(same, second.files.end());
        EXPECT_EQ(same->contents, file.contents);
        EXPECT_EQ(same->attributes, file.attributes);
        EXPECT_EQ(same->modified, file.modified);
    }
}

}  // namespace
}  // namespace stowix
