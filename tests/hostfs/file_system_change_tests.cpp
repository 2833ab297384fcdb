// Deleting, creating and removing, text files, flushing and folder permissions.

#include "drive_fixture.h"

#include <unistd.h>

namespace stowix::test {
namespace {

using ChangeTest = DriveTest;

TEST_F(ChangeTest, delete_refuses_a_read_only_file_as_windows_does) {
    drive.MakeFile("RO.TXT");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\RO.TXT"), 0x27)));
    EXPECT_FALSE(Succeeded(files->DeleteFile(QStringLiteral("C:\\ro.txt"))));
    EXPECT_TRUE(drive.Exists("RO.TXT"));
    // Hidden and system alone do not stop a delete.
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\RO.TXT"), 0x26)));
    EXPECT_TRUE(Succeeded(files->DeleteFile(QStringLiteral("C:\\ro.txt"))));
    EXPECT_FALSE(drive.Exists("RO.TXT"));
}

TEST_F(ChangeTest, delete_takes_only_an_existing_file) {
    drive.MakeFolder("SUB");
    EXPECT_FALSE(Succeeded(files->DeleteFile(QStringLiteral("C:\\SUB"))));
    EXPECT_FALSE(Succeeded(files->DeleteFile(QStringLiteral("C:\\MISSING"))));
    EXPECT_FALSE(Succeeded(files->DeleteFile(QStringLiteral("C:\\"))));
    EXPECT_TRUE(drive.Exists("SUB"));
}

TEST_F(ChangeTest, delete_matching_deletes_every_matching_file_and_reports_the_ones_it_cannot) {
    drive.MakeFolder("STOWIX");
    for (const char* name : {"SYSTEM.DAT", "USER.DA0", "X.DA", "X.DATA", "LOCKED.DAT"})
        drive.MakeFile(std::string("STOWIX/") + name);
    drive.MakeFolder("STOWIX/SET.DAT");
    ASSERT_TRUE(Succeeded(
        files->WriteAttributes(QStringLiteral("C:\\STOWIX\\LOCKED.DAT"), Attribute::ReadOnly)));
    const Status deleted = files->DeleteMatching(QStringLiteral("C:\\Stowix\\*.Da?"));
    EXPECT_FALSE(deleted.ok());
    EXPECT_TRUE(deleted.reason().contains(QStringLiteral("LOCKED.DAT")))
        << deleted.reason().toStdString();
    EXPECT_EQ(drive.Names("STOWIX"), (std::vector<std::string>{"LOCKED.DAT", "SET.DAT", "X.DATA"}));

    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\STOWIX\\LOCKED.DAT"), 0)));
    EXPECT_TRUE(Succeeded(files->DeleteMatching(QStringLiteral("C:\\STOWIX\\*.Da?"))));
    EXPECT_EQ(drive.Names("STOWIX"), (std::vector<std::string>{"SET.DAT", "X.DATA"}));
    EXPECT_TRUE(Succeeded(files->DeleteMatching(QStringLiteral("C:\\STOWIX\\*.Da?"))));
    EXPECT_TRUE(Succeeded(files->DeleteMatching(QStringLiteral("C:\\NOFOLDER\\*.*"))));
}

TEST_F(ChangeTest, create_folder_refuses_names_windows_refuses) {
    for (const char* name : {"a?b", "a*b", "a:b", "a<b", "a>b", "a|b", "a\"b", "CON", "nul.txt",
                             "Com1", "LPT9.log", "aux", "tab\tname"}) {
        SCOPED_TRACE(name);
        const QString path = QStringLiteral("C:\\") + QString::fromUtf8(name);
        EXPECT_FALSE(Succeeded(files->CreateFolder(path)));
        EXPECT_FALSE(Succeeded(files->WriteTextFile(path, {})));
    }
    drive.MakeFile("SOURCE");
    EXPECT_FALSE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\PRN.DAT"))));
    EXPECT_EQ(drive.Names(), std::vector<std::string>{"SOURCE"});
}

TEST_F(ChangeTest, create_folder_keeps_blanks_and_dots_at_either_end) {
    for (const char* name : {" my comment", "trailing. ", "..."}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Succeeded(files->CreateFolder(QString::fromUtf8(name))));
        EXPECT_TRUE(drive.Exists(name));
        EXPECT_TRUE(Succeeded(files->RemoveEmptyFolder(QString::fromUtf8(name))));
        EXPECT_FALSE(drive.Exists(name));
    }
}

TEST_F(ChangeTest, create_folder_fails_for_an_existing_name_in_any_case) {
    drive.MakeFolder("STOWIX");
    drive.MakeFile("FILE");
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\STOWIX"))));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\Stowix"))));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\file"))));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\"))));
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"FILE", "STOWIX"}));
}

TEST_F(ChangeTest, remove_empty_folder_takes_only_an_empty_folder) {
    drive.MakeFolder("FULL");
    drive.MakeFile("FULL/f");
    drive.MakeFile("FILE");
    EXPECT_FALSE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\FULL"))));
    EXPECT_FALSE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\FILE"))));
    EXPECT_FALSE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\MISSING"))));
    EXPECT_FALSE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\"))));
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"FILE", "FULL"}));
    ASSERT_TRUE(Succeeded(files->DeleteFile(QStringLiteral("C:\\full\\F"))));
    EXPECT_TRUE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\full"))));
    EXPECT_FALSE(drive.Exists("FULL"));
}

TEST_F(ChangeTest, text_files_hold_windows_1252_lines_each_ended_by_cr_lf) {
    drive.MakeFolder("WINDOWS");
    ASSERT_TRUE(Succeeded(files->WriteTextFile(
        QStringLiteral("C:\\Windows\\WinStart.Bat"),
        {QStringLiteral("@ECHO OFF"), QStringLiteral("REM caf\u00E9 \u20AC \u4E2D"), QString()})));
    EXPECT_EQ(drive.Names("WINDOWS"), std::vector<std::string>{"WinStart.Bat"});
    EXPECT_EQ(drive.Contents("WINDOWS/WinStart.Bat"), "@ECHO OFF\r\nREM caf\xE9 \x80 ?\r\n\r\n");
    ASSERT_TRUE(Succeeded(files->WriteTextFile(QStringLiteral("C:\\EMPTY.TXT"), {})));
    EXPECT_EQ(drive.Contents("EMPTY.TXT"), "");
}

TEST_F(ChangeTest, replacing_a_text_file_keeps_its_attributes_and_leaves_nothing_behind) {
    drive.MakeFile("BOOT.BAT", "old");
    ::chmod(drive.Join("BOOT.BAT").c_str(), 0640);
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\BOOT.BAT"), 0x26)));
    ASSERT_TRUE(
        Succeeded(files->WriteTextFile(QStringLiteral("C:\\boot.bat"), {QStringLiteral("new")})));
    EXPECT_EQ(drive.Contents("BOOT.BAT"), "new\r\n");
    EXPECT_EQ(drive.Permissions("BOOT.BAT"), mode_t(0640));
    EXPECT_EQ(drive.DosAttribute("BOOT.BAT"), std::optional<std::string>("0x26"));
    EXPECT_EQ(drive.Names(), std::vector<std::string>{"BOOT.BAT"});

    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\BOOT.BAT"), 1)));
    EXPECT_FALSE(Succeeded(files->WriteTextFile(QStringLiteral("C:\\BOOT.BAT"), {})));
    EXPECT_EQ(drive.Contents("BOOT.BAT"), "new\r\n");
    drive.MakeFolder("DIR");
    EXPECT_FALSE(Succeeded(files->WriteTextFile(QStringLiteral("C:\\DIR"), {})));
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"BOOT.BAT", "DIR"}));
}

TEST_F(ChangeTest, flush_reaches_a_configured_drive_only) {
    EXPECT_TRUE(Succeeded(files->FlushToDisk(QStringLiteral("C:\\ANYTHING"))));
    EXPECT_TRUE(Succeeded(files->FlushToDisk(QStringLiteral("\\"))));
    EXPECT_FALSE(Succeeded(files->FlushToDisk(QStringLiteral("Q:\\"))));
}

TEST_F(ChangeTest, restrict_to_owner_keeps_the_read_only_attribute) {
    drive.MakeFolder("OPEN");
    ::chmod(drive.Join("OPEN").c_str(), 0775);
    ASSERT_TRUE(Succeeded(files->RestrictToOwner(QStringLiteral("C:\\open"))));
    EXPECT_EQ(drive.Permissions("OPEN"), mode_t(0700));
    drive.MakeFolder("LOCKED");
    ::chmod(drive.Join("LOCKED").c_str(), 0555);
    ASSERT_TRUE(Succeeded(files->RestrictToOwner(QStringLiteral("C:\\LOCKED"))));
    EXPECT_EQ(drive.Permissions("LOCKED"), mode_t(0500));
    drive.MakeFile("FILE");
    EXPECT_FALSE(Succeeded(files->RestrictToOwner(QStringLiteral("C:\\FILE"))));
}

TEST_F(ChangeTest, files_left_half_written_are_hidden_and_go_with_their_folder) {
    // The hidden name a copy writes under; a process id that no process has.
    const std::string left = ".~stowix-4194303-7.tmp";
    const std::string running = ".~stowix-" + std::to_string(::getpid()) + "-7.tmp";
    drive.MakeFolder("SET");
    drive.MakeFile("SET/" + left, "half");
    drive.MakeFile("SET/.profile", "a user's own hidden file");
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\SET\\*.*"), 7 | Attribute::Folder),
              (QStringList{QStringLiteral("."), QStringLiteral(".."), QStringLiteral(".profile")}));
    ASSERT_TRUE(Succeeded(files->DeleteFile(QStringLiteral("C:\\SET\\.profile"))));
    ASSERT_TRUE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\SET"))));
    EXPECT_FALSE(drive.Exists("SET"));

    // One of a copy still running is not touched.
    drive.MakeFolder("BUSY");
    drive.MakeFile("BUSY/" + running, "being written");
    EXPECT_FALSE(Succeeded(files->RemoveEmptyFolder(QStringLiteral("C:\\BUSY"))));
    EXPECT_TRUE(drive.Exists("BUSY/" + running));
}

}  // namespace
}  // namespace stowix::test
