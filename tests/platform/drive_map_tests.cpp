// Which host folder is which drive, from the environment.

#include "platform/posix/drive_map.h"

#include "host_folder.h"

#include <gtest/gtest.h>

#include <map>

namespace stowix {
namespace {

DriveMap FromVariables(const std::map<std::string, std::string>& variables)
{
    return DriveMap::FromEnvironment(
        [&](const std::string& name) -> std::optional<std::string> {
            const auto found = variables.find(name);
            if (found == variables.end())
                return std::nullopt;
            return found->second;
        });
}

TEST(DriveMap, first_source_that_is_set_gives_drive_c)
{
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
        {"the default Wine prefix when it exists", {{"HOME", home.Path()}},
         home.Path() + "/.wine/drive_c"},
        {"nothing", {{"HOME", "/nonexistent-home"}}, std::nullopt},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.label);
        EXPECT_EQ(FromVariables(entry.variables).Folder(u'C'), entry.driveC);
    }
}

TEST(DriveMap, other_letters_come_from_their_own_variables)
{
    const DriveMap drives = FromVariables(
        {{"STOWIX_DRIVE_C", "/c"}, {"STOWIX_DRIVE_D", "/d"}, {"STOWIX_DRIVE_Z", "/z"}});
    EXPECT_EQ(drives.Folder(u'd'), std::optional<std::string>("/d"));
    EXPECT_EQ(drives.Folder(u'Z'), std::optional<std::string>("/z"));
    EXPECT_FALSE(drives.Has(u'E'));
    EXPECT_FALSE(drives.Has(u'1'));
}

TEST(DriveMap, a_wine_prefix_gives_no_other_letter)
{
    const DriveMap drives = FromVariables({{"WINEPREFIX", "/w"}});
    EXPECT_TRUE(drives.Has(u'C'));
    EXPECT_EQ(drives.Folders().size(), 1u);
}

}  // namespace
}  // namespace stowix
