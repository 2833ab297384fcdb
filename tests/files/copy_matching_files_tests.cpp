// The group copy: listing, progress steps and one copy per file, and its failures.

#include "files/listing.h"
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

// Records, at each step, how many copies the file system had been asked for by then.
class CopyCountingStepper : public ProgressStepper {
public:
    explicit CopyCountingStepper(FaultyFileSystem& files) : m_files(files) {}
    void StepProgress(bool restartUpward, bool fill) override {
        EXPECT_FALSE(restartUpward);
        EXPECT_FALSE(fill);
        copiesBeforeStep.push_back(int(m_files.CallsStartingWith("CopyFile").size()));
    }
    std::vector<int> copiesBeforeStep;

private:
    FaultyFileSystem& m_files;
};

class CopyMatchingFilesTest : public ::testing::Test {
protected:
    TempDrive drive;
    FaultyFileSystem files{drive.Files()};
    CopyCountingStepper progress{files};
};

TEST_F(CopyMatchingFilesTest, one_file_from_the_root_under_its_stored_name) {
    drive.AddFile("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\n", R | H | S | A);
    drive.AddFolder("C:\\Stowix\\SET");
    QString source = "\\";
    QString pattern = "Autoexec.Bat";
    const auto failures = CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(source, "C:\\");
    EXPECT_EQ(drive.HostNames("C:\\Stowix\\SET"), QStringList{"AUTOEXEC.BAT"});
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SET\\AUTOEXEC.BAT"), "@ECHO OFF\r\n");
    EXPECT_EQ(drive.Attributes("C:\\Stowix\\SET\\AUTOEXEC.BAT"), 39);
    EXPECT_EQ(progress.copiesBeforeStep, std::vector<int>{0});
}

TEST_F(CopyMatchingFilesTest, each_step_comes_before_its_copy) {
    for (const char* name : {"A.INI", "B.INI", "C.INI"})
        drive.AddFile(QStringLiteral("C:\\WINDOWS\\") + name, name, A);
    drive.AddFile("C:\\WINDOWS\\NOTEPAD.EXE", "MZ", A);
    drive.AddFolder("C:\\Stowix\\SET");
    QString source = "C:\\WINDOWS";
    QString pattern = "*.Ini";
    EXPECT_TRUE(CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET").empty());
    EXPECT_EQ(progress.copiesBeforeStep, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(drive.HostNames("C:\\Stowix\\SET"), (QStringList{"A.INI", "B.INI", "C.INI"}));
}

TEST_F(CopyMatchingFilesTest, nothing_matching_neither_steps_nor_copies) {
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "", A);
    QString source = "\\WINDOWS\\";
    QString pattern = "*.Pwl";
    EXPECT_TRUE(CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET").empty());
    EXPECT_TRUE(progress.copiesBeforeStep.empty());
    EXPECT_TRUE(files.CallsStartingWith("CopyFile").isEmpty());
}

TEST_F(CopyMatchingFilesTest, empty_destination_means_the_root_of_the_current_drive) {
    drive.AddFile("C:\\Stowix\\SET\\SYSTEM.DA0", "staged", H | A);
    QString source = "C:\\Stowix\\SET";
    QString pattern = "*.Da?";
    EXPECT_TRUE(CopyMatchingFiles(files, progress, source, pattern, "").empty());
    EXPECT_EQ(drive.HostBytes("C:\\SYSTEM.DA0"), "staged");
    EXPECT_EQ(drive.Attributes("C:\\SYSTEM.DA0"), H | A);
}

TEST_F(CopyMatchingFilesTest, a_source_without_its_drive_is_listed_on_drive_c) {
    drive.AddFile("C:\\WINDOWS\\CONTROL.INI", "[current]", A);
    drive.AddFolder("C:\\Stowix\\SET");
    QString source = "\\WINDOWS";
    QString pattern = "*.Ini";
    EXPECT_TRUE(CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET").empty());
    EXPECT_EQ(source, "C:\\WINDOWS\\");
    EXPECT_EQ(drive.HostNames("C:\\Stowix\\SET"), QStringList{"CONTROL.INI"});
}

TEST_F(CopyMatchingFilesTest, every_file_is_tried_past_a_failure_and_each_failure_reported) {
    for (const char* name : {"A.INI", "B.INI", "C.INI", "D.INI"})
        drive.AddFile(QStringLiteral("C:\\WINDOWS\\") + name, name, A);
    drive.AddFolder("C:\\Stowix\\SET");
    files.FailCopyFrom("*\\B.INI", "Input/output error");
    files.FailCopyTo("*\\SET\\D.INI", "No space left on device");
    QString source = "C:\\WINDOWS";
    QString pattern = "*.INI";
    const auto failures = CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET");

    EXPECT_EQ(progress.copiesBeforeStep.size(), 4u);
    EXPECT_EQ(drive.HostNames("C:\\Stowix\\SET"), (QStringList{"A.INI", "C.INI"}));
    ASSERT_EQ(failures.size(), 2u) << files.Describe().toStdString();
    QStringList reported;
    for (const CopyFailure& failure : failures)
        reported.push_back(failure.path + " " + failure.reason);
    reported.sort();
    EXPECT_EQ(reported, (QStringList{"C:\\WINDOWS\\B.INI Input/output error",
                                     "C:\\WINDOWS\\D.INI No space left on device"}));
}

TEST_F(CopyMatchingFilesTest, a_listing_that_fails_is_reported) {
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "", A);
    files.Fail(test::FsOperation::ListFolder, "*", "Permission denied");
    QString source = "C:\\WINDOWS";
    QString pattern = "*.Ini";
    const auto failures = CopyMatchingFiles(files, progress, source, pattern, "C:\\Stowix\\SET");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, "C:\\WINDOWS\\*.Ini");
    EXPECT_EQ(failures[0].reason, "Permission denied");
    EXPECT_TRUE(progress.copiesBeforeStep.empty());
}

}  // namespace
}  // namespace stowix
