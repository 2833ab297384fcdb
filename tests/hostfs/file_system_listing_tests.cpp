// Folder listings: the mask's rules for kinds of entries, and Windows' wildcards.

#include "drive_fixture.h"

#include <dirent.h>

namespace stowix::test {
namespace {

class ListingTest : public DriveTest {
protected:
    ListingTest() {
        drive.MakeFolder("DIR");
        for (const char* name : {"PLAIN.TXT", "RO.TXT", "HID.TXT", "SYS.TXT", "ARC.TXT"})
            drive.MakeFile(std::string("DIR/") + name);
        drive.MakeFolder("DIR/SUB");
        drive.MakeFolder("DIR/HIDSUB");
        Set("C:\\DIR\\RO.TXT", Attribute::ReadOnly);
        Set("C:\\DIR\\HID.TXT", Attribute::Hidden);
        Set("C:\\DIR\\SYS.TXT", Attribute::System);
        Set("C:\\DIR\\ARC.TXT", Attribute::Archive);
        Set("C:\\DIR\\HIDSUB", Attribute::Hidden);
    }
    void Set(const char* path, int value) {
        ASSERT_TRUE(Succeeded(files->WriteAttributes(QString::fromUtf8(path), value)));
    }
};

TEST_F(ListingTest, the_mask_decides_which_kinds_of_entries_are_listed) {
    const QString plain = QStringLiteral("PLAIN.TXT"), ro = QStringLiteral("RO.TXT"),
                  hid = QStringLiteral("HID.TXT"), sys = QStringLiteral("SYS.TXT"),
                  arc = QStringLiteral("ARC.TXT"), sub = QStringLiteral("SUB"),
                  hidsub = QStringLiteral("HIDSUB"), dot = QStringLiteral("."),
                  dotdot = QStringLiteral("..");
    const struct {
        int mask;
        QStringList names;
    } cases[] = {
        {0, {arc, plain}},
        {Attribute::ReadOnly, {arc, plain, ro}},
        {Attribute::Hidden, {arc, hid, plain}},
        {Attribute::System, {arc, plain, sys}},
        {7, {arc, hid, plain, ro, sys}},
        {Attribute::Folder, {dot, dotdot, arc, plain, sub}},
        {Attribute::Folder | Attribute::Hidden, {dot, dotdot, arc, hid, hidsub, plain, sub}},
        {7 | Attribute::Folder, {dot, dotdot, arc, hid, hidsub, plain, ro, sub, sys}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.mask);
        QStringList expected = entry.names;
        expected.sort();
        EXPECT_EQ(ListedNames(QStringLiteral("C:\\DIR\\*.*"), entry.mask), expected);
    }
}

TEST_F(ListingTest, entries_carry_their_attributes_when_the_mask_filters_on_them) {
    Result<std::vector<FolderEntry>> listed =
        files->ListFolder(QStringLiteral("C:\\DIR\\*.*"), Attribute::Hidden | Attribute::Folder);
    ASSERT_TRUE(Succeeded(listed));
    for (const FolderEntry& entry : listed.value()) {
        SCOPED_TRACE(entry.name.toStdString());
        const int expected = entry.name == u"HID.TXT"     ? Attribute::Hidden
                             : entry.name == u"ARC.TXT"   ? Attribute::Archive
                             : entry.name == u"HIDSUB"    ? Attribute::Folder | Attribute::Hidden
                             : entry.name == u"PLAIN.TXT" ? 0
                                                          : Attribute::Folder;
        EXPECT_EQ(entry.attributes, expected);
    }
}

TEST_F(ListingTest, a_mask_that_takes_every_kind_reports_only_the_folder_bit) {
    Result<std::vector<FolderEntry>> listed =
        files->ListFolder(QStringLiteral("C:\\DIR\\*.*"), 7 | Attribute::Folder);
    ASSERT_TRUE(Succeeded(listed));
    for (const FolderEntry& entry : listed.value()) {
        SCOPED_TRACE(entry.name.toStdString());
        const bool folder = entry.name == u"SUB" || entry.name == u"HIDSUB" || entry.name == u"." ||
                            entry.name == u"..";
        EXPECT_EQ(entry.attributes, folder ? Attribute::Folder : 0);
    }
}

TEST_F(ListingTest, the_drive_root_has_no_dot_entries) {
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\*.*"), Attribute::Folder),
              QStringList{QStringLiteral("DIR")});
    EXPECT_TRUE(ListedNames(QStringLiteral("C:\\*.*"), 7).isEmpty());
}

TEST_F(DriveTest, listing_patterns_match_as_windows_file_search_does) {
    drive.MakeFolder("WINDOWS");
    for (const char* name :
         {"SYSTEM.DAT", "USER.DA0", "X.DA", "X.DATA", "io.sys", "README", "win.ini", "SYSTEM.INI"})
        drive.MakeFile(std::string("WINDOWS/") + name);
    drive.MakeFolder("WINDOWS/FOLDER.DAT");
    const struct {
        const char* pattern;
        QStringList names;
    } cases[] = {
        {"C:\\Windows\\*.Da?",
         {QStringLiteral("SYSTEM.DAT"), QStringLiteral("USER.DA0"), QStringLiteral("X.DA")}},
        {"C:\\WINDOWS\\*.Sys", {QStringLiteral("io.sys")}},
        {"C:\\WINDOWS\\*.Ini", {QStringLiteral("SYSTEM.INI"), QStringLiteral("win.ini")}},
        {"C:\\WINDOWS\\*.", {QStringLiteral("README")}},
        {"C:\\WINDOWS\\System.Dat", {QStringLiteral("SYSTEM.DAT")}},  // as stored
        {"C:\\WINDOWS\\Missing.Dat", {}},
        {"C:\\WINDOWS\\FOLDER.DAT", {}},  // a folder, and the mask has no folder bit
        {"C:\\NOFOLDER\\*.*", {}},
        {"C:\\WINDOWS\\README\\*.*", {}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.pattern);
        QStringList expected = entry.names;
        expected.sort();
        EXPECT_EQ(ListedNames(QString::fromUtf8(entry.pattern), 7), expected);
    }
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\WINDOWS\\*.*"), 7).size(), 8);
    EXPECT_EQ(ListedNames(QStringLiteral("\\WINDOWS\\folder.dat"), 23),
              QStringList{QStringLiteral("FOLDER.DAT")});
}

TEST_F(DriveTest, a_listing_keeps_the_hosts_own_order) {
    drive.MakeFolder("MANY");
    for (int i = 0; i < 200; ++i)
        drive.MakeFile("MANY/F" + std::to_string(i * 7919 % 1000) + ".TXT");
    std::vector<QString> hostOrder;
    DIR* folder = ::opendir(drive.Join("MANY").c_str());
    ASSERT_NE(folder, nullptr);
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') hostOrder.push_back(QString::fromUtf8(entry->d_name));
    }
    ::closedir(folder);
    Result<std::vector<FolderEntry>> listed = files->ListFolder(QStringLiteral("C:\\MANY\\*.*"), 7);
    ASSERT_TRUE(Succeeded(listed));
    std::vector<QString> listedOrder;
    for (const FolderEntry& entry : listed.value()) listedOrder.push_back(entry.name);
    EXPECT_EQ(listedOrder, hostOrder);
}

}  // namespace
}  // namespace stowix::test
