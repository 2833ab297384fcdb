// The stowix-boot program as a user or a virtual machine's start script runs it: drives from
// the environment, the Windows folder found as the program finds it, exit statuses.

#include "restore/boot_script.h"
#include "support/program_world.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

using Outcome = RunResult;

class BootProgramTest : public ::testing::Test {
protected:
    // The program world's environment, without a drive C: until a test gives one.
    BootProgramTest() : environment(world.Environment()) { environment.remove("STOWIX_DRIVE_C"); }

    Outcome RunBoot() {
        ProcessOptions options;
        options.environment = environment;
        options.timeoutMs = 60000;
        return world.Run("stowix-boot", options);
    }

    void UseDrive() { environment.insert("STOWIX_DRIVE_C", drive.HostRoot()); }

    ProgramWorld world;
    TempDrive drive;
    QProcessEnvironment environment;
};

TEST_F(BootProgramTest, without_a_drive_c_it_says_how_to_configure_one) {
    const Outcome outcome = RunBoot();
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.errors.contains("No drive C: is configured"))
        << outcome.errors.toStdString();
    EXPECT_TRUE(outcome.errors.contains("STOWIX_DRIVE_C"));
    // Stowix reads an image directly, so the message also says that a drive may be one.
    EXPECT_TRUE(outcome.errors.contains("disk image file")) << outcome.errors.toStdString();
}

TEST_F(BootProgramTest, a_drive_without_a_windows_folder_is_reported) {
    UseDrive();
    const Outcome outcome = RunBoot();
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.errors.contains("holds no folder named WINDOWS"))
        << outcome.errors.toStdString();
}

TEST_F(BootProgramTest, without_a_boot_script_there_is_nothing_to_do) {
    drive.AddFolder("C:\\Windows");
    UseDrive();
    const Outcome outcome = RunBoot();
    EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    EXPECT_TRUE(outcome.output.isEmpty());
    EXPECT_TRUE(outcome.errors.isEmpty());
}

TEST_F(BootProgramTest, the_boot_script_puts_the_staged_files_in_place_silently) {
    drive.AddFile("C:\\windows\\SYSTEM.DAT", "live", 39);
    drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "restored", 39);
    ASSERT_TRUE(WriteBootScript(drive.Files(), "C:\\windows").ok());
    UseDrive();

    const Outcome outcome = RunBoot();

    EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
    EXPECT_TRUE(outcome.output.isEmpty()) << outcome.output.toStdString();
    EXPECT_EQ(drive.HostBytes("C:\\windows\\SYSTEM.DAT"), "restored");
    EXPECT_EQ(drive.Attributes("C:\\windows\\SYSTEM.DAT"), 39);
    EXPECT_FALSE(drive.HostExists("C:\\Stowix\\SYSTEM.DAT"));
}

TEST_F(BootProgramTest, the_windows_folder_can_be_named_and_failures_are_told) {
    drive.AddFile("C:\\WIN98\\WINSTART.BAT",
                  "@Echo Off\r\nEcho hello\r\nCTTY Nul\r\nNoSuchTool\r\n");
    environment.insert("STOWIX_WINDOWS_FOLDER", "C:\\WIN98");
    UseDrive();

    const Outcome outcome = RunBoot();

    EXPECT_EQ(outcome.exitCode, 3);  // incomplete
    EXPECT_EQ(outcome.output, "hello\n");
    EXPECT_TRUE(outcome.errors.contains("Bad command or file name - NoSuchTool"))
        << outcome.errors.toStdString();
}

}  // namespace
}  // namespace stowix::test
