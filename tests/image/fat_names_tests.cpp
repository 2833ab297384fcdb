// The short names and long-name slots of the FAT engine, as Windows 98 makes them.

#include "fat/fat_names.h"

#include <gtest/gtest.h>

#include <set>

namespace stowix::fat {
namespace {

ShortName Raw(const char* elevenBytes) {
    ShortName name;
    for (size_t i = 0; i < name.size(); ++i) name[i] = (unsigned char)(elevenBytes[i]);
    return name;
}

std::string Text(const ShortName& name) { return std::string(name.begin(), name.end()); }

TEST(FatNames, aliases_follow_windows_98) {
    const struct {
        const char16_t* longName;
        const char* alias;
    } cases[] = {
        {u"Long Name File.txt", "LONGNA~1TXT"},
        {u"readme.txt", "README  TXT"},
        {u"Setup.Exe", "SETUP   EXE"},
        {u"a.b.c", "AB~1    C  "},
        {u"+plus.txt", "_PLUS~1 TXT"},
        {u".profile", "PROFIL~1   "},
        {u"page.html", "PAGE~1  HTM"},
        {u"\u00fcber.txt",
         "\x9a"
         "BER    TXT"},
        {u"caf\u0153.txt", "CAF_~1  TXT"},
        {u" my comment", "MYCOMM~1   "},
    };
    const OemCodePage codePage = OemCodePage::Us437();
    for (const auto& each : cases) {
        SCOPED_TRACE(QString::fromUtf16(each.longName).toStdString());
        Result<ShortName> alias = MakeAlias(QString::fromUtf16(each.longName), codePage,
                                            [](const ShortName&) { return false; });
        ASSERT_TRUE(alias.ok());
        EXPECT_EQ(Text(alias.value()), std::string(each.alias, 11));
    }
}

TEST(FatNames, a_taken_alias_takes_the_next_tail) {
    const std::set<std::string> taken{"LONGNA~1TXT", "LONGNA~2TXT", "README  TXT"};
    const auto inUse = [&](const ShortName& name) { return taken.count(Text(name)) > 0; };
    const OemCodePage codePage = OemCodePage::Us437();
    EXPECT_EQ(Text(MakeAlias(u"Long Name File.txt", codePage, inUse).value()), "LONGNA~3TXT");
    EXPECT_EQ(Text(MakeAlias(u"readme.txt", codePage, inUse).value()), "README~1TXT");
    // Beyond ~9 the base gives up another character.
    std::set<std::string> many;
    for (int i = 1; i <= 9; ++i) many.insert("LONGNA~" + std::to_string(i) + "TXT");
    EXPECT_EQ(Text(MakeAlias(u"Long Name File.txt", codePage,
                             [&](const ShortName& name) { return many.count(Text(name)) > 0; })
                       .value()),
              "LONGN~10TXT");
}

TEST(FatNames, only_upper_case_short_names_need_no_long_name) {
    const OemCodePage codePage = OemCodePage::Us437();
    EXPECT_TRUE(ExactShortName(u"WIN.INI", codePage).has_value());
    EXPECT_TRUE(ExactShortName(u"SYSTEM.DA0", codePage).has_value());
    EXPECT_TRUE(ExactShortName(u"COMMAND", codePage).has_value());
    for (const char16_t* name :
         {u"win.ini", u"A.B.C", u"ABCDEFGHI", u"A.INFO", u"MY FILE", u"A+B.TXT", u".X"})
        EXPECT_FALSE(ExactShortName(QStringView(name), codePage).has_value())
            << QString::fromUtf16(name).toStdString();
}

TEST(FatNames, checksum_and_slots_carry_the_whole_name) {
    const ShortName alias = Raw("LONGNA~1TXT");
    // The rotate-and-add sum over the eleven bytes.
    uint8_t expected = 0;
    for (unsigned char byte : alias)
        expected = uint8_t(((expected & 1) << 7) + (expected >> 1) + byte);
    EXPECT_EQ(ShortNameChecksum(alias), expected);

    const auto slots = LongNameSlots(u"Long Name File.txt", ShortNameChecksum(alias));
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0][0], 0x42);  // the last part, marked so, comes first on disk
    EXPECT_EQ(slots[1][0], 0x01);
    for (const auto& slot : slots) {
        EXPECT_EQ(slot[11], 0x0F);
        EXPECT_EQ(slot[13], ShortNameChecksum(alias));
    }
    // "Long Name Fil" in the first part; "e.txt", the end mark and padding in the second.
    EXPECT_EQ(slots[1][1], 'L');
    EXPECT_EQ(slots[0][1], 'e');
    EXPECT_EQ(slots[0][14], 0x00);  // the unit after "e.txt" ends the name
    EXPECT_EQ(slots[0][15], 0x00);
    EXPECT_EQ(slots[0][16], 0xFF);  // and padding fills the rest
    EXPECT_EQ(slots[0][30], 0xFF);
}

TEST(FatNames, names_fat_cannot_hold_are_refused) {
    EXPECT_FALSE(FatNameRefusal(u"ends in a dot.").isEmpty());
    EXPECT_FALSE(FatNameRefusal(u"ends in a blank ").isEmpty());
    EXPECT_FALSE(FatNameRefusal(QString(256, u'x')).isEmpty());
    EXPECT_TRUE(FatNameRefusal(QString(255, u'x')).isEmpty());
    EXPECT_TRUE(FatNameRefusal(u" starts with a blank").isEmpty());
}

}  // namespace
}  // namespace stowix::fat
