// One file system over several drives: each path reaches its own drive's implementation, and the
// program's factory opens what the drive map names.

#include "drives/drive_dispatch.h"
#include "drives/open_drives.h"
#include "fs/drive_map.h"
#include "host_folder.h"
#include "hostfs/posix_file_system.h"
#include "support/faulty_file_system.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

QString Text(const char* text) { return QString::fromUtf8(text); }

// Drives C: and D: as two separate implementations, as a folder and an image would be.
class DispatchTest : public ::testing::Test {
protected:
    DispatchTest() {
        std::vector<DrivePart> parts;
        parts.push_back({"C", MakePosixFileSystem(DriveMap({{QChar(u'C'), driveC.Path()}}))});
        parts.push_back({"D", MakePosixFileSystem(DriveMap({{QChar(u'D'), driveD.Path()}}))});
        files = MakeDriveDispatch(std::move(parts), u'C');
        driveC.MakeFile("ON_C", "c");
        driveD.MakeFolder("SUB");
        driveD.MakeFile("SUB/ON_D", "d");
    }

    HostFolder driveC;
    HostFolder driveD;
    std::unique_ptr<FileSystem> files;
};

TEST_F(DispatchTest, each_path_reaches_its_own_drive) {
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("C:\\ON_C"), 10)));
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("d:\\sub\\on_d"), 10)));
    EXPECT_FALSE(files->ReadFile(Text("D:\\ON_C"), 10).ok());
    ASSERT_TRUE(Succeeded(files->CopyFile(Text("D:\\SUB\\ON_D"), Text("D:\\COPY"))));
    EXPECT_EQ(driveD.Contents("COPY"), "d");
    ASSERT_TRUE(Succeeded(files->CreateFolder(Text("C:\\NEW"))));
    EXPECT_TRUE(driveC.Exists("NEW"));
    EXPECT_FALSE(driveD.Exists("NEW"));
    const Result<std::vector<FolderEntry>> listed = files->ListFolder(Text("D:\\SUB\\*.*"), 0);
    ASSERT_TRUE(Succeeded(listed));
    ASSERT_EQ(listed.value().size(), 1u);
    EXPECT_EQ(listed.value().front().name, Text("ON_D"));
}

TEST_F(DispatchTest, a_path_without_a_drive_goes_to_the_current_one) {
    EXPECT_EQ(files->CurrentDrive(), Text("C:"));
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("\\ON_C"), 10)));
    ASSERT_TRUE(Succeeded(files->ChangeDrive(u'd')));
    EXPECT_EQ(files->CurrentDrive(), Text("D:"));
    EXPECT_EQ(files->CurrentFolder(), Text("D:\\"));
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("SUB\\ON_D"), 10)));
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("\\SUB\\ON_D"), 10)));
    EXPECT_FALSE(files->ReadFile(Text("\\ON_C"), 10).ok());
    EXPECT_TRUE(Succeeded(files->ReadFile(Text("C:ON_C"), 10)));
}

TEST_F(DispatchTest, a_drive_nobody_serves_is_refused) {
    const Status changed = files->ChangeDrive(u'E');
    ASSERT_FALSE(changed.ok());
    EXPECT_TRUE(changed.reason().contains(Text("E:"))) << changed.reason().toStdString();
    EXPECT_EQ(files->CurrentDrive(), Text("C:"));
    const Status deleted = files->DeleteFile(Text("E:\\X"));
    ASSERT_FALSE(deleted.ok());
    EXPECT_TRUE(deleted.reason().contains(Text("not configured")))
        << deleted.reason().toStdString();
}

TEST_F(DispatchTest, a_copy_between_implementations_goes_through_the_destinations_own) {
    ASSERT_TRUE(Succeeded(files->WriteAttributes(Text("C:\\ON_C"), Attribute::Hidden)));
    ASSERT_TRUE(Succeeded(files->CopyFile(Text("C:\\ON_C"), Text("D:\\ON_C"))));
    EXPECT_EQ(driveD.Contents("ON_C"), "c");
    EXPECT_EQ(files->ReadAttributes(Text("D:\\ON_C")).value(), 0);
    EXPECT_EQ(driveD.Stat("ON_C").st_mtim.tv_sec, driveC.Stat("ON_C").st_mtim.tv_sec);
    // Keeping attributes, over a read-only file.
    ASSERT_TRUE(Succeeded(files->WriteAttributes(Text("D:\\ON_C"), Attribute::ReadOnly)));
    const Result<bool> kept = files->CopyFileKeepingAttributes(Text("C:\\ON_C"), Text("D:\\ON_C"));
    ASSERT_TRUE(Succeeded(kept));
    EXPECT_TRUE(kept.value());
    EXPECT_EQ(files->ReadAttributes(Text("D:\\ON_C")).value(), Attribute::Hidden);
    const Result<bool> missing =
        files->CopyFileKeepingAttributes(Text("D:\\NONE"), Text("C:\\NONE"));
    ASSERT_TRUE(Succeeded(missing));
    EXPECT_FALSE(missing.value());
    EXPECT_FALSE(driveC.Exists("NONE"));
    // A folder in the way is refused and left as it was.
    EXPECT_FALSE(files->CopyFile(Text("C:\\ON_C"), Text("D:\\SUB")).ok());
    EXPECT_FALSE(files->CopyFileKeepingAttributes(Text("C:\\ON_C"), Text("D:\\SUB")).ok());
    EXPECT_EQ(driveD.Contents("SUB/ON_D"), "d");
}

// Counts the group copies that reach an implementation, then copies the plain way.
class GroupCounter : public FaultyFileSystem {
public:
    using FaultyFileSystem::FaultyFileSystem;
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override {
        ++groups;
        return FaultyFileSystem::CopyFilesKeepingAttributes(copies, beforeEach);
    }
    int groups = 0;
};

TEST(DispatchGroupCopy, a_group_on_one_drive_reaches_its_implementation_whole) {
    HostFolder driveC;
    HostFolder driveD;
    std::unique_ptr<FileSystem> posixC =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), driveC.Path()}}));
    std::unique_ptr<FileSystem> posixD =
        MakePosixFileSystem(DriveMap({{QChar(u'D'), driveD.Path()}}));
    auto countC = std::make_unique<GroupCounter>(*posixC);
    GroupCounter& seenC = *countC;
    std::vector<DrivePart> parts;
    parts.push_back({"C", std::move(countC)});
    parts.push_back({"D", std::make_unique<GroupCounter>(*posixD)});
    const std::unique_ptr<FileSystem> files = MakeDriveDispatch(std::move(parts), u'C');
    driveC.MakeFile("A", "a");
    driveC.MakeFile("B", "b");

    int steps = 0;
    const auto whole = files->CopyFilesKeepingAttributes(
        {{Text("C:\\A"), Text("C:\\A2")}, {Text("B"), Text("C:\\B2")}}, [&](size_t) { ++steps; });
    EXPECT_EQ(seenC.groups, 1);
    EXPECT_EQ(steps, 2);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_TRUE(whole[0].ok() && whole[1].ok());
    EXPECT_EQ(driveC.Contents("B2"), "b");

    // A group that reaches another implementation goes copy by copy.
    const auto mixed = files->CopyFilesKeepingAttributes(
        {{Text("C:\\A"), Text("C:\\A3")}, {Text("C:\\B"), Text("D:\\B")}}, {});
    EXPECT_EQ(seenC.groups, 1);
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_TRUE(mixed[0].ok() && mixed[0].value());
    EXPECT_TRUE(mixed[1].ok() && mixed[1].value());
    EXPECT_EQ(driveC.Contents("A3"), "a");
    EXPECT_EQ(driveD.Contents("B"), "b");
}

TEST(OpenDrives, folder_drives_share_one_implementation) {
    HostFolder driveC;
    HostFolder driveD;
    driveC.MakeFile("A", "a");
    Result<std::unique_ptr<FileSystem>> opened =
        OpenDrives(DriveMap({{QChar(u'C'), driveC.Path()}, {QChar(u'D'), driveD.Path()}}));
    ASSERT_TRUE(Succeeded(opened));
    FileSystem& files = *opened.value();
    EXPECT_EQ(files.CurrentDrive(), Text("C:"));
    ASSERT_TRUE(Succeeded(files.CopyFile(Text("C:\\A"), Text("D:\\A"))));
    EXPECT_EQ(driveD.Contents("A"), "a");
}

TEST(OpenDrives, what_cannot_be_opened_is_told) {
    HostFolder host;
    host.MakeFolder("drive");
    host.MakeFile("disk.img", std::string(4096, '\0'));
    const auto lookup = [&](std::map<std::string, std::string> variables) {
        return DriveMap::FromEnvironment([variables](const std::string& name) {
            const auto found = variables.find(name);
            return found == variables.end() ? std::nullopt
                                            : std::optional<std::string>(found->second);
        });
    };
    const struct {
        const char* label;
        DriveMap drives;
        const char* told;
    } cases[] = {
        {"no drive", DriveMap(), "STOWIX_DRIVE_C"},
        {"an image", lookup({{"STOWIX_DRIVE_C", host.Join("disk.img")}}), "disk.img"},
        {"a partition of a folder",
         lookup({{"STOWIX_DRIVE_C", host.Join("drive")}, {"STOWIX_DRIVE_C_PARTITION", "1"}}),
         "STOWIX_DRIVE_C_PARTITION"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.label);
        const Result<std::unique_ptr<FileSystem>> opened = OpenDrives(entry.drives);
        ASSERT_FALSE(opened.ok());
        EXPECT_TRUE(opened.reason().contains(Text(entry.told))) << opened.reason().toStdString();
    }
}

}  // namespace
}  // namespace stowix::test
