// INI files read as Windows reads them, and the keys that differ between two of them.

#include "compare/ini_diff.h"
#include "compare/ini_file.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace stowix::test {
namespace {

QStringList Changes(const QByteArray& older, const QByteArray& newer) {
    QStringList lines;
    for (const IniChange& change : CompareIni(ParseIni(older), ParseIni(newer)))
        lines << IniChangeText(change);
    return lines;
}

TEST(IniFile, sections_keys_and_values_are_read_as_windows_reads_them) {
    const IniFile file = ParseIni(
        "lost=1\r\n"
        "; a comment\r\n"
        "  [boot]  ; not part of the name\r\n"
        "  shell =  Explorer.exe ; kept: values have no comments  \r\n"
        "\t\r\n"
        "NoEquals\n"
        "[386Enh]\n"
        "device=*vcd\n"
        "[BOOT]\n"
        "drivers=mmsystem.dll\n"
        "[unclosed\n"
        "x=\"quoted\"");
    ASSERT_EQ(file.sections.size(), 4u);
    EXPECT_TRUE(file.sections[0].outside);
    ASSERT_EQ(file.sections[0].entries.size(), 1u);
    EXPECT_EQ(file.sections[0].entries[0].key.toString(), "lost");

    const IniSection& boot = file.sections[1];
    EXPECT_EQ(boot.name, "boot");
    ASSERT_EQ(boot.entries.size(), 3u);
    EXPECT_EQ(boot.entries[0].key.toString(), "shell");
    EXPECT_EQ(boot.entries[0].value.toString(), "Explorer.exe ; kept: values have no comments");
    EXPECT_EQ(boot.entries[1].key.toString(), "NoEquals");
    EXPECT_FALSE(boot.entries[1].hasValue);
    EXPECT_EQ(boot.entries[2].key.toString(), "drivers");  // the second [BOOT] continues the first

    EXPECT_EQ(file.sections[2].name, "386Enh");
    EXPECT_EQ(file.sections[3].name, "unclosed");
    EXPECT_EQ(file.sections[3].entries[0].value.toString(), "\"quoted\"");
}

TEST(IniDiff, only_what_windows_would_read_differently_is_a_change) {
    const struct {
        const char* what;
        QByteArray older;
        QByteArray newer;
        QStringList expected;
    } cases[] = {
        {"CR LF and LF", "[boot]\r\nshell=Explorer.exe\r\n", "[boot]\nshell=Explorer.exe", {}},
        {"blanks around =",
         "[boot]\nshell=Explorer.exe\n",
         "[boot]\n  shell \t=  Explorer.exe  \n",
         {}},
        {"names in another case",
         "[Boot]\nShell=Explorer.exe\n",
         "[BOOT]\nSHELL=Explorer.exe\n",
         {}},
        {"comments and blank lines",
         "; old\n[boot]\nshell=x\n",
         "[boot]\n\n; new\n  ;x=2\nshell=x\n",
         {}},
        {"a section that appears twice is one section",
         "[s]\na=1\n[t]\nb=1\n[S]\nc=1\n",
         "[s]\na=1\nc=1\n[t]\nb=1\n",
         {}},
        {"the quotes that Windows drops", "[s]\na=\"C:\\X\"\nb='y'\n", "[s]\na=C:\\X\nb=y\n", {}},
        {"quotes that Windows keeps", "[s]\na=\"x\n", "[s]\na=x\n", {"[s] a: \"x -> x"}},
        {"value changed",
         "[boot]\nshell=Explorer.exe\n",
         "[boot]\nshell=Progman.exe\n",
         {"[boot] shell: Explorer.exe -> Progman.exe"}},
        {"a value's case counts",
         "[Desktop]\nWallpaper=Clouds.bmp\n",
         "[Desktop]\nWallpaper=CLOUDS.BMP\n",
         {"[Desktop] Wallpaper: Clouds.bmp -> CLOUDS.BMP"}},
        {"text after ; is part of a value",
         "[s]\na=1\n",
         "[s]\na=1 ; why\n",
         {"[s] a: 1 -> 1 ; why"}},
        {"keys added and removed in the file's own order",
         "[s]\na=1\nb=2\nc=3\n",
         "[s]\na=1\nc=3\nd=4\n",
         {"[s] b: - 2", "[s] d: + 4"}},
        {"a value added to a key written several times",
         "[386Enh]\ndevice=*vcd\ndevice=*vpd\nMinSPs=16\n",
         "[386Enh]\ndevice=*vcd\ndevice=*vpd\ndevice=C:\\WINDOWS\\SYSTEM\\NEW.VXD\nMinSPs=16\n",
         {"[386Enh] device: + C:\\WINDOWS\\SYSTEM\\NEW.VXD"}},
        {"a value taken from a key written several times",
         "[386Enh]\ndevice=*vcd\ndevice=*vpd\n",
         "[386Enh]\ndevice=*vpd\n",
         {"[386Enh] device: - *vcd"}},
        {"a second value for a key",
         "[boot]\nshell=a\n",
         "[boot]\nshell=a\nshell=b\n",
         {"[boot] shell: + b"}},
        {"keys before any section",
         "x=1\n[s]\na=1\n",
         "x=2\n[s]\na=1\n",
         {"(before any section) x: 1 -> 2"}},
        {"a section removed with its keys, where it stood",
         "[a]\nx=1\n[b]\ny=2\n[c]\nz=3\n",
         "[a]\nx=1\n[c]\nz=3\n[d]\nw=4\n",
         {"[b] y: - 2", "[d] w: + 4"}},
        {"an empty section added and removed",
         "[old]\n[s]\na=1\n",
         "[s]\na=1\n[new]\n",
         {"[old] (section removed)", "[new] (section added)"}},
        {"a name without = and an empty value differ",
         "[s]\nkey\n",
         "[s]\nkey=\n",
         {"[s] key: (no \"=\") -> "}},
        {"non-ASCII values in Windows-1252",
         "[intl]\nsCurrency=$\nsCountry=France\n",
         "[intl]\nsCurrency=\x80\nsCountry=Fran\xe7"
         "e\n",
         {QString::fromUtf8("[intl] sCurrency: $ -> €"),
          QString::fromUtf8("[intl] sCountry: France -> Françe")}},
        {"non-ASCII names match without regard to case",
         "[\xc9t\xe9]\n\xc9t\xe9=1\n",
         "[\xe9t\xe9]\n\xe9T\xc9=1\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Changes(c.older, c.newer), c.expected);
    }
}

TEST(IniDiff, a_key_moved_among_several_values_shows_as_taken_and_added) {
    // Windows uses the first of several values for a single setting, so their order counts.
    EXPECT_EQ(Changes("[boot]\nshell=a\nshell=b\n", "[boot]\nshell=b\nshell=a\n"),
              (QStringList{"[boot] shell: - a", "[boot] shell: + a"}));
}

}  // namespace
}  // namespace stowix::test
