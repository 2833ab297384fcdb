// The single-file routines against the real posix file system in a temporary drive.

#include "files/file_routines.h"
#include "support/attribute_letters.h"
#include "support/faulty_file_system.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix {
namespace {

using test::FaultyFileSystem;
using test::TempDrive;

using test::A;
using test::H;
using test::R;
using test::S;

class FileRoutinesTest : public ::testing::Test {
protected:
    TempDrive drive;
    FileSystem& files = drive.Files();
};

TEST_F(FileRoutinesTest, file_exists_for_files_and_folders_only) {
    drive.AddFile("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\n", R | H | S);
    drive.AddFolder("C:\\WINDOWS");
    FaultyFileSystem faulty(files);
    EXPECT_FALSE(FileExists(faulty, ""));
    EXPECT_TRUE(faulty.Calls().isEmpty()) << "an empty path asks nothing";

    EXPECT_TRUE(FileExists(files, "C:\\WINDOWS"));
    EXPECT_TRUE(FileExists(files, "c:\\autoexec.bat"));
    EXPECT_FALSE(FileExists(files, "C:\\MISSING.TXT"));
    EXPECT_TRUE(FileExists(files, "C:\\AUTOEXEC.BAT")) << "a failed look-up leaves nothing behind";
}

TEST_F(FileRoutinesTest, apply_attributes_reads_numbers_and_letters) {
    struct Case {
        const char* text;
        int expected;
        const char* textAfter;
    } cases[] = {
        {"rha", R | H | A, "RHA"},
        {"A-R", R | A, "A-R"},
        {"39", 39, "39"},
        {"7RS", 7, "7RS"},      // the leading number wins
        {"RS7", R | S, "RS7"},  // no leading number: the letters count
        {"  3", 3, "  3"},      // blanks before the number
        {"0RS", R | S, "0RS"},  // a leading 0 gives way to the letters
        {"hsr", R | H | S, "HSR"},
        {"0", 0, "0"},
        {"", 0, ""},
        {"x", 0, "X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\n", R | H | S | A);
        QString text = QString::fromUtf8(c.text);
        ASSERT_TRUE(
            ApplyAttributes(files, "C:\\WINDOWS\\SYSTEM.INI", text, false, false, false).ok());
        EXPECT_EQ(drive.Attributes("C:\\WINDOWS\\SYSTEM.INI"), c.expected);
        EXPECT_EQ(text, QString::fromUtf8(c.textAfter));
    }
}

TEST_F(FileRoutinesTest, apply_attributes_relative_adds_or_removes_bits) {
    struct Case {
        int before;
        const char* text;
        bool remove;
        int expected;
    } cases[] = {
        {R | A, "H", false, R | H | A},  {R | H | A, "A", true, R | H}, {R, "H", true, R},
        {R | H | S | A, "rhs", true, A}, {0, "39", false, 39},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " " + c.text);
        drive.AddFile("C:\\USER.DAT", "regf", c.before);
        QString text = QString::fromUtf8(c.text);
        ASSERT_TRUE(ApplyAttributes(files, "C:\\USER.DAT", text, true, c.remove, false).ok());
        EXPECT_EQ(drive.Attributes("C:\\USER.DAT"), c.expected);
    }
}

TEST_F(FileRoutinesTest, apply_attributes_on_a_missing_path) {
    QString text = "h";
    EXPECT_TRUE(ApplyAttributes(files, "C:\\GONE.TXT", text, false, false, true).ok());
    EXPECT_FALSE(drive.HostExists("C:\\GONE.TXT"));

    const Status status = ApplyAttributes(files, "C:\\GONE.TXT", text, false, false, false);
    EXPECT_FALSE(status.ok()) << "without onlyIfPresent the failed read reaches the caller";
    EXPECT_FALSE(status.reason().isEmpty());
    EXPECT_FALSE(drive.HostExists("C:\\GONE.TXT"));
}

TEST_F(FileRoutinesTest, delete_file_forced_removes_read_only_hidden_system_files) {
    drive.AddFile("C:\\IO.SYS", "io", R | H | S);
    ASSERT_TRUE(DeleteFileForced(files, "C:\\IO.SYS").ok());
    EXPECT_FALSE(drive.HostExists("C:\\IO.SYS"));

    FaultyFileSystem faulty(files);
    EXPECT_TRUE(DeleteFileForced(faulty, "C:\\IO.SYS").ok()) << "a missing file is no failure";
    EXPECT_TRUE(faulty.CallsStartingWith("DeleteFile").isEmpty())
        << faulty.Describe().toStdString();
    EXPECT_TRUE(faulty.CallsStartingWith("WriteAttributes").isEmpty());
}

TEST_F(FileRoutinesTest, delete_file_forced_reports_a_delete_that_fails) {
    drive.AddFile("C:\\MSDOS.SYS", "[Paths]", R | H | S);
    FaultyFileSystem faulty(files);
    faulty.FailDeleteFile("*\\MSDOS.SYS", "Device or resource busy");
    const Status status = DeleteFileForced(faulty, "C:\\MSDOS.SYS");
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.reason(), "Device or resource busy");
    EXPECT_TRUE(drive.HostExists("C:\\MSDOS.SYS"));
}

TEST_F(FileRoutinesTest, copy_keeping_attributes_gives_the_copy_the_sources_exact_value) {
    for (int value : {0, R, H, S, A, R | H | S | A, H | S | A}) {
        SCOPED_TRACE(value);
        drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", "registry " + QByteArray::number(value), value);
        drive.AddFile("C:\\Stowix\\SET\\SYSTEM.DAT", "older copy", R | H | S | A);
        ASSERT_TRUE(
            CopyKeepingAttributes(files, "C:\\WINDOWS\\SYSTEM.DAT", "C:\\Stowix\\SET\\SYSTEM.DAT")
                .ok());
        EXPECT_EQ(drive.Attributes("C:\\Stowix\\SET\\SYSTEM.DAT"), value);
        EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SET\\SYSTEM.DAT"),
                  "registry " + QByteArray::number(value));
        EXPECT_EQ(drive.Attributes("C:\\WINDOWS\\SYSTEM.DAT"), value) << "the source is unchanged";
    }
}

TEST_F(FileRoutinesTest, copy_keeping_attributes_replaces_a_read_only_destination) {
    const QDateTime written(QDate(1999, 11, 5), QTime(15, 45, 12), Qt::UTC);
    drive.AddFile("C:\\WINDOWS\\USER.DAT", "new user registry", R | H | S | A, written);
    drive.AddFile("C:\\Stowix\\USER.DAT", "old", R);
    ASSERT_TRUE(CopyKeepingAttributes(files, "C:\\WINDOWS\\USER.DAT", "C:\\Stowix\\USER.DAT").ok());
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\USER.DAT"), "new user registry");
    EXPECT_EQ(drive.Attributes("C:\\Stowix\\USER.DAT"), 39);
    EXPECT_EQ(drive.ModifiedTime("C:\\Stowix\\USER.DAT"), written);
}

TEST_F(FileRoutinesTest, copy_keeping_attributes_with_a_missing_source_touches_nothing) {
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\n", R | A);
    FaultyFileSystem faulty(files);
    EXPECT_TRUE(
        CopyKeepingAttributes(faulty, "C:\\Stowix\\SET\\SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI")
            .ok());
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(drive.Attributes("C:\\WINDOWS\\SYSTEM.INI"), R | A);
    EXPECT_EQ(faulty.Calls(), QStringList{"ReadAttributes C:\\Stowix\\SET\\SYSTEM.INI"})
        << "only the existence test is made";
}

TEST_F(FileRoutinesTest, copy_that_fails_keeps_the_old_destination) {
    // A restore that cannot copy must not leave Windows without the file it had.
    drive.AddFile("C:\\Stowix\\SET\\SYSTEM.INI", "backed up", A);
    drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "live system.ini", R | H | A);
    FaultyFileSystem faulty(files);
    faulty.FailCopyTo("C:\\WINDOWS\\*", "No space left on device");
    const Status status =
        CopyKeepingAttributes(faulty, "C:\\Stowix\\SET\\SYSTEM.INI", "C:\\WINDOWS\\SYSTEM.INI");
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.reason(), "No space left on device");
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "live system.ini");
    EXPECT_EQ(drive.Attributes("C:\\WINDOWS\\SYSTEM.INI"), R | H | A);
}

TEST_F(FileRoutinesTest, copy_onto_a_folder_fails_and_leaves_the_folder) {
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[windows]", A);
    drive.AddFile("C:\\Stowix\\WIN.INI\\INSIDE.TXT", "kept", A);
    const Status status =
        CopyKeepingAttributes(files, "C:\\WINDOWS\\WIN.INI", "C:\\Stowix\\WIN.INI");
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\WIN.INI\\INSIDE.TXT"), "kept");
}

TEST_F(FileRoutinesTest, make_folder_ignores_every_failure) {
    MakeFolder(files, "C:\\Stowix");
    EXPECT_EQ(drive.Attributes("C:\\Stowix") & Attribute::Folder, Attribute::Folder);
    MakeFolder(files, "C:\\Stowix");          // exists already
    MakeFolder(files, "C:\\MISSING\\CHILD");  // missing parent
    MakeFolder(files, "C:\\Stowix\\a|b");     // a name Windows refuses
    EXPECT_FALSE(drive.HostExists("C:\\MISSING"));
    EXPECT_EQ(drive.HostNames("C:\\Stowix"), QStringList());
}

}  // namespace
}  // namespace stowix
