// Which host folder or image is which drive, from the environment.

#include "fs/drive_map.h"

#include "host_folder.h"

#include <gtest/gtest.h>

#include <map>

namespace stowix {
namespace {

DriveMap FromVariables(const std::map<std::string, std::string>& variables) {
    return DriveMap::FromEnvironment([&](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    });
}

TEST(DriveMap, first_source_that_is_set_gives_drive_c) {
    test::HostFolder home;
    home.MakeFolder(".wine");
    home.MakeFolder(".wine/drive_c");
    const struct {
        const char* label;
        std::map<std::string, std::string> variables;
        std::optional<std::string> driveC;
    } cases[] = {
        {"own variable first",
         {{"STOWIX_DRIVE_C", "/mnt/win98"}, {"WINEPREFIX", "/w"}, {"HOME", home.Path()}},
         "/mnt/win98"},
        {"Wine prefix next", {{"WINEPREFIX", "/w"}, {"HOME", home.Path()}}, "/w/drive_c"},
        {"an empty variable counts as unset",
         {{"STOWIX_DRIVE_C", ""}, {"WINEPREFIX", "/w"}},
         "/w/drive_c"},
        {"the default Wine prefix when it exists",
         {{"HOME", home.Path()}},
         home.Path() + "/.wine/drive_c"},
        {"nothing", {{"HOME", "/nonexistent-home"}}, std::nullopt},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.label);
        EXPECT_EQ(FromVariables(entry.variables).Folder(u'C'), entry.driveC);
    }
}

// The drive last chosen in the window comes after the environment's and before ~/.wine; a
// Wine prefix named itself stands for its drive_c, and knows its prefix.
TEST(DriveMap, the_chosen_drive_and_a_named_wine_prefix) {
    test::HostFolder home;
    home.MakeFolder(".wine");
    home.MakeFolder(".wine/drive_c");
    test::HostFolder prefix;
    prefix.MakeFolder("drive_c");
    prefix.MakeFile("system.reg", "WINE REGISTRY Version 2\n");
    const auto lookup = [&](std::map<std::string, std::string> variables) {
        return [variables](const std::string& name) -> std::optional<std::string> {
            const auto found = variables.find(name);
            if (found == variables.end()) return std::nullopt;
            return found->second;
        };
    };
    const struct {
        const char* label;
        std::map<std::string, std::string> variables;
        std::optional<std::string> chosen;
        std::optional<std::string> driveC;
    } cases[] = {
        {"the environment before the choice",
         {{"STOWIX_DRIVE_C", "/mnt/win98"}},
         "/x",
         "/mnt/win98"},
        {"WINEPREFIX before the choice", {{"WINEPREFIX", "/w"}}, "/x", "/w/drive_c"},
        {"the choice before ~/.wine", {{"HOME", home.Path()}}, "/x", "/x"},
        {"a prefix named itself",
         {{"STOWIX_DRIVE_C", prefix.Path()}},
         {},
         prefix.Path() + "/drive_c"},
        {"a prefix chosen", {{"HOME", home.Path()}}, prefix.Path(), prefix.Path() + "/drive_c"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.label);
        const DriveMap drives = DriveMap::FromEnvironment(lookup(entry.variables), entry.chosen);
        EXPECT_EQ(drives.Folder(u'C'), entry.driveC);
    }
    const DriveMap named = DriveMap::FromEnvironment(lookup({{"STOWIX_DRIVE_C", prefix.Path()}}));
    EXPECT_EQ(WinePrefixOfDriveC(named).toStdString(), prefix.Path());
    // ~/.wine without its registry file is a drive_c like any folder, not a known prefix.
    EXPECT_TRUE(
        WinePrefixOfDriveC(DriveMap::FromEnvironment(lookup({{"HOME", home.Path()}}))).isEmpty());
}

TEST(DriveMap, other_letters_come_from_their_own_variables) {
    const DriveMap drives = FromVariables(
        {{"STOWIX_DRIVE_C", "/c"}, {"STOWIX_DRIVE_D", "/d"}, {"STOWIX_DRIVE_Z", "/z"}});
    EXPECT_EQ(drives.Folder(u'd'), std::optional<std::string>("/d"));
    EXPECT_EQ(drives.Folder(u'Z'), std::optional<std::string>("/z"));
    EXPECT_FALSE(drives.Has(u'E'));
    EXPECT_FALSE(drives.Has(u'1'));
}

TEST(DriveMap, a_wine_prefix_gives_no_other_letter) {
    const DriveMap drives = FromVariables({{"WINEPREFIX", "/w"}});
    EXPECT_TRUE(drives.Has(u'C'));
    EXPECT_EQ(drives.Drives().size(), 1u);
}

TEST(DriveMap, a_file_names_an_image_with_its_partition) {
    test::HostFolder host;
    host.MakeFolder("drive");
    host.MakeFile("disk.img", "sectors");
    const DriveMap drives = FromVariables({
        {"STOWIX_DRIVE_C", host.Join("disk.img")},
        {"STOWIX_DRIVE_C_PARTITION", "2"},
        {"STOWIX_DRIVE_D", host.Join("drive")},
        {"STOWIX_DRIVE_E", host.Join("not yet mounted")},
        {"STOWIX_DRIVE_F", host.Join("disk.img")},
        {"STOWIX_DRIVE_F_PARTITION", "first"},
        {"STOWIX_DRIVE_G", host.Join("disk.img")},
        {"STOWIX_DRIVE_G_PARTITION", "0"},
    });
    const struct {
        char letter;
        DriveKind kind;
        std::optional<int> partition;
    } cases[] = {
        {'C', DriveKind::Image, 2},
        {'D', DriveKind::Folder, std::nullopt},
        {'E', DriveKind::Folder, std::nullopt},
        // A partition that names no number is kept as 0, for opening to refuse.
        {'F', DriveKind::Image, 0},
        {'G', DriveKind::Image, 0},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.letter);
        const std::optional<DriveSource> source = drives.Source(QChar(entry.letter));
        ASSERT_TRUE(source.has_value());
        EXPECT_EQ(source->kind, entry.kind);
        EXPECT_EQ(source->partition, entry.partition);
        EXPECT_EQ(drives.Folder(QChar(entry.letter)).has_value(), entry.kind == DriveKind::Folder);
    }
    EXPECT_EQ(drives.Source(u'C')->hostPath, host.Join("disk.img"));
}

}  // namespace
}  // namespace stowix
