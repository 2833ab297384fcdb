// The current drive and each drive's current folder, as relative paths use them.

#include "hostfs/path_resolver.h"

#include "host_folder.h"
#include "hostfs/host_calls.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>

namespace stowix::posix {
namespace {

class PathResolverTest : public ::testing::Test {
protected:
    PathResolverTest() {
        driveC.MakeFolder("WINDOWS");
        driveC.MakeFolder("WINDOWS/SYSTEM");
        driveC.MakeFile("WINDOWS/SYSTEM.DAT");
        driveD.MakeFolder("GAMES");
        driveD.MakeFile("GAMES/DOOM.EXE");
    }
    test::HostFolder driveC;
    test::HostFolder driveD;
    PathResolver resolver{DriveMap({{QChar(u'C'), driveC.Path()}, {QChar(u'D'), driveD.Path()}})};

    // The stored relative host path of an existing entry, or "" when it cannot be found.
    std::string Found(const QString& path) {
        Result<Location> location = resolver.Locate(path);
        if (!location || !location.value().exists) return "";
        return location.value().RelativePath();
    }
};

TEST_F(PathResolverTest, starts_on_drive_c_at_its_root) {
    EXPECT_EQ(resolver.CurrentDrive(), u'C');
    EXPECT_EQ(resolver.CurrentFolder(), QStringLiteral("C:\\"));
    EXPECT_EQ(Found(QStringLiteral("windows")), "WINDOWS");
}

TEST_F(PathResolverTest, relative_paths_start_at_the_current_folder_of_their_drive) {
    ASSERT_TRUE(test::Succeeded(resolver.ChangeFolder(QStringLiteral("C:\\windows"))));
    EXPECT_EQ(resolver.CurrentFolder(), QStringLiteral("C:\\WINDOWS"));  // as stored
    ASSERT_TRUE(test::Succeeded(resolver.ChangeFolder(QStringLiteral("D:\\games"))));
    EXPECT_EQ(resolver.CurrentFolder(), QStringLiteral("C:\\WINDOWS"));  // D: is not current

    const struct {
        const char* path;
        std::string found;
    } cases[] = {
        {"system.dat", "WINDOWS/SYSTEM.DAT"},
        {"C:system.dat", "WINDOWS/SYSTEM.DAT"},
        {"System\\..\\System.Dat", "WINDOWS/SYSTEM.DAT"},
        {"\\Windows", "WINDOWS"},
        {"..", "."},
        {"D:doom.exe", "GAMES/DOOM.EXE"},
        {"D:\\GAMES\\DOOM.EXE", "GAMES/DOOM.EXE"},
        {"doom.exe", ""},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path);
        EXPECT_EQ(Found(QString::fromUtf8(entry.path)), entry.found);
    }

    ASSERT_TRUE(test::Succeeded(resolver.ChangeDrive(u'd')));
    EXPECT_EQ(resolver.CurrentFolder(), QStringLiteral("D:\\GAMES"));
    EXPECT_EQ(Found(QStringLiteral("doom.exe")), "GAMES/DOOM.EXE");
    EXPECT_EQ(Found(QStringLiteral("\\games")), "GAMES");
}

TEST_F(PathResolverTest, only_existing_folders_on_configured_drives_become_current) {
    EXPECT_FALSE(test::Succeeded(resolver.ChangeFolder(QStringLiteral("C:\\MISSING"))));
    EXPECT_FALSE(test::Succeeded(resolver.ChangeFolder(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"))));
    EXPECT_FALSE(test::Succeeded(resolver.ChangeDrive(u'E')));
    EXPECT_EQ(resolver.CurrentDrive(), u'C');
    EXPECT_EQ(resolver.CurrentFolder(), QStringLiteral("C:\\"));
}

TEST_F(PathResolverTest, a_missing_last_component_keeps_the_case_given) {
    Result<Location> location = resolver.Locate(QStringLiteral("C:\\windows\\New.Ini"));
    ASSERT_TRUE(test::Succeeded(location));
    EXPECT_FALSE(location.value().exists);
    EXPECT_EQ(location.value().RelativePath(), "WINDOWS/New.Ini");
}

// Where the kernel has no openat2, paths are walked one component at a time: the walk stays
// beneath its folder and follows no link, wherever it leads.
TEST_F(PathResolverTest, the_walk_without_openat2_stays_beneath_and_follows_no_link) {
    driveC.MakeLink("INNER", "WINDOWS");
    driveC.MakeLink("WINDOWS/SYSTEM.LNK", "SYSTEM.DAT");
    driveC.MakeLink("OUT", "/");
    const UniqueFd root(::open(driveC.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(root.Valid());
    const struct {
        const char* path;
        int flags;
        bool followLast;
        int error;  // 0: opens
    } cases[] = {
        {"WINDOWS/SYSTEM.DAT", O_RDONLY, true, 0},
        {"./WINDOWS//SYSTEM", O_PATH | O_DIRECTORY, true, 0},
        {"", O_RDONLY | O_DIRECTORY, true, 0},
        {"WINDOWS/SYSTEM.LNK", O_PATH, false, 0},  // the link itself
        {"WINDOWS/SYSTEM.LNK", O_RDONLY, true, ELOOP},
        {"WINDOWS/SYSTEM.LNK", O_PATH, true, ELOOP},
        {"INNER", O_PATH | O_DIRECTORY, true, ELOOP},
        {"INNER/SYSTEM.DAT", O_RDONLY, true, ELOOP},
        {"OUT/etc", O_PATH | O_DIRECTORY, true, ELOOP},
        {"WINDOWS/../../etc", O_PATH, true, EXDEV},
        {"WINDOWS/SYSTEM.DAT/x", O_RDONLY, true, ENOTDIR},
        {"MISSING/x", O_RDONLY, true, ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        errno = 0;
        const UniqueFd opened = OpenBeneathByWalk(root.Get(), c.path, c.flags, c.followLast);
        EXPECT_EQ(opened.Valid() ? 0 : errno, c.error);
    }
}

}  // namespace
}  // namespace stowix::posix
