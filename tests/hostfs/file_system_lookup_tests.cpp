// How DOS paths find host entries: case, exact matches, links and "..".

#include "drive_fixture.h"

#include <unistd.h>

namespace stowix::test {
namespace {

using LookupTest = DriveTest;

TEST_F(LookupTest, any_case_finds_the_stored_name) {
    drive.MakeFolder("WINDOWS");
    drive.MakeFile("WINDOWS/SYSTEM.DAT", "registry");
    for (const char* path : {"C:\\Windows\\System.Dat", "c:\\windows\\system.dat",
                             "C:\\WINDOWS\\SYSTEM.DAT", "\\wInDoWs\\sYsTeM.dAt"}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(Succeeded(files->ReadAttributes(QString::fromUtf8(path))));
    }
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\windows\\system.dat"),
                                          QStringLiteral("C:\\copy.dat"))));
    EXPECT_EQ(drive.Contents("copy.dat"), "registry");
}

TEST_F(LookupTest, an_exact_match_wins_over_one_in_another_case) {
    drive.MakeFile("readme.txt", "lower");
    drive.MakeFile("README.TXT", "upper");
    drive.MakeFolder("Data");
    drive.MakeFolder("DATA");
    drive.MakeFile("Data/f", "mixed folder");
    drive.MakeFile("DATA/f", "upper folder");
    const struct {
        const char* source;
        std::string contents;
    } cases[] = {
        {"C:\\README.TXT", "upper"},
        {"C:\\readme.txt", "lower"},
        {"C:\\Data\\f", "mixed folder"},
        {"C:\\DATA\\f", "upper folder"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.source);
        ASSERT_TRUE(
            Succeeded(files->CopyFile(QString::fromUtf8(entry.source), QStringLiteral("C:\\out"))));
        EXPECT_EQ(drive.Contents("out"), entry.contents);
    }
}

TEST_F(LookupTest, a_new_name_keeps_the_case_given_under_a_folder_found_in_another_case) {
    drive.MakeFolder("WINDOWS");
    drive.MakeFile("source", "s");
    ASSERT_TRUE(Succeeded(
        files->CopyFile(QStringLiteral("C:\\source"), QStringLiteral("C:\\windows\\New.Ini"))));
    EXPECT_EQ(drive.Names("WINDOWS"), std::vector<std::string>{"New.Ini"});
    ASSERT_TRUE(Succeeded(files->CreateFolder(QStringLiteral("C:\\windows\\MixedCase"))));
    EXPECT_TRUE(drive.Exists("WINDOWS/MixedCase"));
}

TEST_F(LookupTest, replacing_a_file_named_in_another_case_keeps_its_stored_name) {
    drive.MakeFile("SYSTEM.DAT", "old");
    drive.MakeFile("new", "new");
    ASSERT_TRUE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\new"), QStringLiteral("C:\\System.Dat"))));
    EXPECT_EQ(drive.Contents("SYSTEM.DAT"), "new");
    EXPECT_FALSE(drive.Exists("System.Dat"));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\system.dat"))));
}

class LinkTest : public DriveTest {
protected:
    LinkTest() {
        outside.MakeFile("secret.txt", "outside");
        drive.MakeFolder("WINDOWS");
        drive.MakeFile("WINDOWS/WIN.INI", "inside");
        drive.MakeFile("local.txt", "local");
        drive.MakeLink("OUT", outside.Path());  // absolute, out
        drive.MakeLink("UP", "../" + outside.Path().substr(outside.Path().rfind('/') + 1));
        drive.MakeLink("SECRET.LNK", outside.Join("secret.txt"));  // a file, out
        drive.MakeLink("INNER", "WINDOWS");                        // relative, in
        drive.MakeLink("WINDOWS/INI.LNK", "../WINDOWS/WIN.INI");   // file, in
        drive.MakeLink("DANGLING", "nowhere");
    }
    HostFolder outside;
};

TEST_F(LinkTest, a_link_out_of_the_drive_is_never_followed) {
    for (const char* path : {"C:\\OUT\\secret.txt", "C:\\UP\\secret.txt", "C:\\SECRET.LNK",
                             "C:\\out\\SECRET.TXT", "C:\\OUT"}) {
        SCOPED_TRACE(path);
        const QString text = QString::fromUtf8(path);
        EXPECT_FALSE(Succeeded(files->ReadAttributes(text)));
        EXPECT_FALSE(Succeeded(files->CopyFile(text, QStringLiteral("C:\\copy"))));
        EXPECT_FALSE(Succeeded(files->WriteAttributes(text, Attribute::Hidden)));
    }
    EXPECT_FALSE(drive.Exists("copy"));
    EXPECT_FALSE(Succeeded(
        files->CopyFile(QStringLiteral("C:\\local.txt"), QStringLiteral("C:\\OUT\\planted.txt"))));
    EXPECT_FALSE(Succeeded(files->WriteTextFile(QStringLiteral("C:\\UP\\planted.txt"), {})));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\OUT\\planted"))));
    EXPECT_FALSE(Succeeded(files->DeleteFile(QStringLiteral("C:\\OUT\\secret.txt"))));
    EXPECT_TRUE(Succeeded(files->DeleteMatching(QStringLiteral("C:\\OUT\\*.*"))));
    EXPECT_EQ(outside.Names(), std::vector<std::string>{"secret.txt"});
    EXPECT_FALSE(outside.DosAttribute("secret.txt").has_value());
    EXPECT_TRUE(ListedNames(QStringLiteral("C:\\OUT\\*.*"), 23).isEmpty());
}

// Followed by nothing, yet listed as plain files: whoever takes a folder's files learns that
// these cannot be read instead of missing them without a word.
TEST_F(LinkTest, links_out_of_the_drive_or_to_nothing_are_listed_as_files_never_read) {
    EXPECT_EQ(
        ListedNames(QStringLiteral("C:\\*.*"), 23),
        (QStringList{"DANGLING", "INNER", "OUT", "SECRET.LNK", "UP", "WINDOWS", "local.txt"}));
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\*.*"), 7),
              (QStringList{"DANGLING", "OUT", "SECRET.LNK", "UP", "local.txt"}));
    const Result<bool> copied = files->CopyFileKeepingAttributes(QStringLiteral("C:\\SECRET.LNK"),
                                                                 QStringLiteral("C:\\copy"));
    EXPECT_FALSE(copied.ok()) << "a link out of the drive is a failure, not a missing file";
    EXPECT_FALSE(drive.Exists("copy"));
}

TEST_F(LinkTest, a_link_inside_the_drive_is_followed) {
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\inner\\win.ini"))));
    ASSERT_TRUE(Succeeded(
        files->CopyFile(QStringLiteral("C:\\WINDOWS\\INI.LNK"), QStringLiteral("C:\\copy"))));
    EXPECT_EQ(drive.Contents("copy"), "inside");
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\INNER\\*.*"), 7),
              (QStringList{QStringLiteral("INI.LNK"), QStringLiteral("WIN.INI")}));
}

// A change follows no link, not even one inside the drive: software inside it could put one in
// a path while the program runs and so steer the change to another file. Each change through
// the folder link INNER (to WINDOWS) or onto the file link INI.LNK (to WIN.INI) is refused,
// named, and leaves WIN.INI as it was.
TEST_F(LinkTest, a_change_never_goes_through_a_link_inside_the_drive) {
    const struct stat before = drive.Stat("WINDOWS/WIN.INI");
    const QString local = QStringLiteral("C:\\local.txt");
    const QString throughFolder = QStringLiteral("C:\\INNER\\WIN.INI");
    const QString onFileLink = QStringLiteral("C:\\WINDOWS\\INI.LNK");
    const std::vector<std::pair<const char*, Status>> changes = {
        {"copy into", files->CopyFile(local, throughFolder)},
        {"copy keeping attributes into",
         files->CopyFileKeepingAttributes(local, QStringLiteral("C:\\INNER\\NEW.INI")).status()},
        {"group copy into",
         files->CopyFilesKeepingAttributes({{local, throughFolder}}, {}).front().status()},
        {"text into", files->WriteTextFile(throughFolder, {QStringLiteral("planted")})},
        {"folder in", files->CreateFolder(QStringLiteral("C:\\INNER\\NEW"))},
        {"delete in", files->DeleteFile(throughFolder)},
        {"attributes through", files->WriteAttributes(throughFolder, Attribute::ReadOnly)},
        {"attributes of a link", files->WriteAttributes(onFileLink, Attribute::ReadOnly)},
        {"single-file attributes of a link",
         files->WriteAttributesOfSingleFile(onFileLink, Attribute::Hidden)},
        {"owner-only through", files->RestrictToOwner(QStringLiteral("C:\\INNER"))},
    };
    for (const auto& [what, status] : changes) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(status.reason().contains(QLatin1String("symbolic link")))
            << status.reason().toStdString();
    }
    EXPECT_EQ(drive.Names("WINDOWS"), (std::vector<std::string>{"INI.LNK", "WIN.INI"}));
    EXPECT_EQ(drive.Contents("WINDOWS/WIN.INI"), "inside");
    EXPECT_EQ(drive.Permissions("WINDOWS/WIN.INI"), before.st_mode & 07777);
    EXPECT_FALSE(drive.DosAttribute("WINDOWS/WIN.INI").has_value());
    EXPECT_EQ(drive.Permissions("WINDOWS"), drive.Stat("WINDOWS").st_mode & 07777);
    // A link itself may still go, and be replaced by a copy, without its target changing.
    ASSERT_TRUE(Succeeded(files->CopyFile(local, onFileLink)));
    EXPECT_EQ(drive.Contents("WINDOWS/INI.LNK"), "local");
    EXPECT_EQ(drive.Contents("WINDOWS/WIN.INI"), "inside");
}

// A link to nothing is no missing file: whoever reads it learns that it cannot be read.
TEST_F(LinkTest, a_link_to_nothing_is_a_failure_not_a_missing_file) {
    const QString dangling = QStringLiteral("C:\\DANGLING");
    const Result<bool> copied =
        files->CopyFileKeepingAttributes(dangling, QStringLiteral("C:\\copy"));
    const Result<int> attributes = files->ReadAttributes(dangling);
    const Result<std::unique_ptr<FileReader>> opened = files->OpenForReading(dangling);
    for (const Status& status : {copied.status(), attributes.status(), opened.status()}) {
        EXPECT_FALSE(status.ok());
        EXPECT_FALSE(status.notFound()) << status.reason().toStdString();
        EXPECT_TRUE(status.reason().contains(QLatin1String("C:\\DANGLING")))
            << status.reason().toStdString();
    }
    EXPECT_FALSE(drive.Exists("copy"));
}

TEST_F(LinkTest, dot_dot_stops_at_the_drive_root) {
    const QString outsideName =
        QString::fromStdString(outside.Path().substr(outside.Path().rfind('/') + 1));
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\..\\") + outsideName +
                                                 QStringLiteral("\\secret.txt"))));
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("..\\..\\..\\..\\") + outsideName +
                                                 QStringLiteral("\\secret.txt"))));
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\..\\..\\local.txt"))));
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\WINDOWS\\..\\local.txt"))));
}

TEST_F(LookupTest, a_missing_parent_folder_fails_and_creates_nothing) {
    drive.MakeFile("a.txt");
    EXPECT_FALSE(Succeeded(
        files->CopyFile(QStringLiteral("C:\\a.txt"), QStringLiteral("C:\\NOFOLDER\\a.txt"))));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\NOFOLDER\\SUB"))));
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral(" a\\b"))));
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\a.txt\\x"))));
    EXPECT_EQ(drive.Names(), std::vector<std::string>{"a.txt"});
}

TEST_F(LookupTest, a_drive_that_is_not_configured_fails) {
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("D:\\X"))));
    EXPECT_FALSE(Succeeded(files->ChangeDrive(u'D')));
    EXPECT_EQ(files->CurrentDrive(), QStringLiteral("C:"));
    EXPECT_EQ(files->CurrentFolder(), QStringLiteral("C:\\"));
}

TEST_F(LookupTest, a_non_utf8_name_is_listed_and_copied_back_to_the_same_bytes) {
    const std::string name = "caf\xE9 \xFF.ini";
    drive.MakeFile(name, "latin-1 name");
    drive.MakeFolder("BACKUP");
    Result<std::vector<FolderEntry>> listed = files->ListFolder(QStringLiteral("C:\\*.Ini"), 7);
    ASSERT_TRUE(Succeeded(listed));
    ASSERT_EQ(listed.value().size(), 1u);
    const QString listedName = listed.value().front().name;
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\") + listedName)));
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\") + listedName,
                                          QStringLiteral("C:\\BACKUP\\") + listedName)));
    EXPECT_EQ(drive.Names("BACKUP"), std::vector<std::string>{name});
    EXPECT_EQ(drive.Contents("BACKUP/" + name), "latin-1 name");
}

TEST_F(LookupTest, lookups_stay_right_as_the_program_and_others_change_a_folder) {
    // A lookup in another case reads the folder once and remembers its names; every later
    // answer must still follow what is on disk.
    drive.MakeFolder("SET");
    drive.MakeFile("SOURCE", "s");
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\set\\a.ini"))));
    for (const char* name : {"C:\\SET\\A.INI", "C:\\SET\\B.INI"})
        ASSERT_TRUE(
            Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE"), QString::fromUtf8(name))));
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\set\\a.ini"))));
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\set\\b.ini"))));

    drive.MakeFile("SET/Outside.Ini", "made by another program");
    EXPECT_TRUE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\set\\OUTSIDE.INI"))));
    ::unlink(drive.Join("SET/B.INI").c_str());
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\set\\b.ini"))));

    // Two names that differ only in case: removing one leaves the other to be found.
    drive.MakeFile("SET/twin.txt", "lower");
    drive.MakeFile("SET/TWIN.TXT", "upper");
    EXPECT_FALSE(Succeeded(files->CreateFolder(QStringLiteral("C:\\SET\\Twin.Txt"))));
    ASSERT_TRUE(Succeeded(files->DeleteFile(QStringLiteral("C:\\SET\\TWIN.TXT"))));
    ASSERT_TRUE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\SET\\Twin.Txt"), QStringLiteral("C:\\OUT"))));
    EXPECT_EQ(drive.Contents("OUT"), "lower");
    ASSERT_TRUE(Succeeded(files->DeleteFile(QStringLiteral("C:\\SET\\twin.txt"))));
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\SET\\Twin.Txt"))));
    ASSERT_TRUE(Succeeded(files->CreateFolder(QStringLiteral("C:\\SET\\Twin.Txt"))));
    EXPECT_TRUE(drive.Exists("SET/Twin.Txt"));
}

}  // namespace
}  // namespace stowix::test
