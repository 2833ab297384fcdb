// Removing a backup set's folder with its files.

#include "files/remove_folder.h"
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

const QString Set = QStringLiteral("C:\\Stowix\\11-5-99 3;45;12 PM");

class RemoveFolderTest : public ::testing::Test {
protected:
    TempDrive drive;
    FileSystem& files = drive.Files();
};

TEST_F(RemoveFolderTest, files_of_every_attribute_go_and_then_the_folder) {
    drive.AddFile(Set + "\\SYSTEM.DAT", "regf", R | H | S | A);
    drive.AddFile(Set + "\\USER.DAT", "regf", R | H | A);
    drive.AddFile(Set + "\\IO.SYS", "io", R | H | S);
    drive.AddFile(Set + "\\WIN.INI", "[windows]", A);
    drive.AddFile(Set + "\\ShellIconCache", "cache", 0);
    QString folder = Set;
    ASSERT_TRUE(RemoveFolder(files, folder).ok());
    EXPECT_EQ(folder, Set + "\\");
    EXPECT_FALSE(drive.HostExists(Set));
    EXPECT_TRUE(drive.HostExists("C:\\Stowix"));
}

TEST_F(RemoveFolderTest, an_empty_folder_is_removed) {
    drive.AddFolder(Set);
    QString folder = Set;
    EXPECT_TRUE(RemoveFolder(files, folder).ok());
    EXPECT_FALSE(drive.HostExists(Set));
}

TEST_F(RemoveFolderTest, a_subfolder_keeps_the_folder_and_is_named) {
    drive.AddFile(Set + "\\SYSTEM.INI", "[boot]", R | A);
    drive.AddFile(Set + "\\EXTRA\\KEEP.TXT", "kept", A);
    QString folder = Set;
    const Status status = RemoveFolder(files, folder);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.reason().contains("EXTRA")) << status.reason().toStdString();
    EXPECT_FALSE(drive.HostExists(Set + "\\SYSTEM.INI"));
    EXPECT_EQ(drive.HostBytes(Set + "\\EXTRA\\KEEP.TXT"), "kept");
}

TEST_F(RemoveFolderTest, a_file_that_resists_keeps_the_folder_and_is_named_with_its_reason) {
    drive.AddFile(Set + "\\SYSTEM.DAT", "regf", H | S | A);
    drive.AddFile(Set + "\\WIN.INI", "[windows]", A);
    FaultyFileSystem faulty(files);
    faulty.FailDeleteFile("*\\SYSTEM.DAT", "Device or resource busy");
    faulty.Fail(test::FsOperation::DeleteMatching, "*", "Device or resource busy");
    QString folder = Set;
    const Status status = RemoveFolder(faulty, folder);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.reason().contains("SYSTEM.DAT (Device or resource busy)"))
        << status.reason().toStdString();
    EXPECT_TRUE(drive.HostExists(Set + "\\SYSTEM.DAT"));
    EXPECT_FALSE(drive.HostExists(Set + "\\WIN.INI")) << "the other files still go";
}

TEST_F(RemoveFolderTest, the_sweep_takes_a_file_the_first_pass_missed) {
    drive.AddFile(Set + "\\WIN.INI", "[windows]", A);
    FaultyFileSystem faulty(files);
    faulty.FailDeleteFile("*", "Interrupted system call", 1);
    QString folder = Set;
    EXPECT_TRUE(RemoveFolder(faulty, folder).ok()) << faulty.Describe().toStdString();
    EXPECT_FALSE(drive.HostExists(Set));
}

}  // namespace
}  // namespace stowix
