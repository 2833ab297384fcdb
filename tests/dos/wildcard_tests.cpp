// Windows' file-name matching, table by table.

#include "dos/wildcard.h"

#include <gtest/gtest.h>

namespace stowix::posix {
namespace {

struct MatchCase {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
};

void ExpectTable(std::initializer_list<MatchCase> cases) {
    for (const MatchCase& entry : cases) {
        const QString pattern = QString::fromUtf16(entry.pattern);
        const QString name = QString::fromUtf16(entry.name);
        SCOPED_TRACE(pattern.toStdString() + " against " + name.toStdString());
        EXPECT_EQ(WildcardPattern(pattern).Matches(name), entry.matches);
        // Patterns of 64 tokens and more take another way through the matcher: same rules.
        const QString prefix(70, QChar(u'x'));
        EXPECT_EQ(WildcardPattern(QString(prefix + pattern)).Matches(QString(prefix + name)),
                  entry.matches)
            << "with a long pattern";
    }
}

TEST(Wildcard, question_mark_takes_one_character_or_none_at_the_end_of_the_extension) {
    ExpectTable({
        {u"*.Da?", u"SYSTEM.DAT", true},
        {u"*.Da?", u"USER.DA0", true},
        {u"*.Da?", u"X.DA", true},
        {u"*.Da?", u"X.DATA", false},
        {u"*.Da?", u"X.D", false},
        {u"*.Da?", u"SYSTEM.DAT.BAK", false},
        {u"*.Da?", u"A.B.DAT", true},
        {u"*.Da?", u"DAT", false},
    });
}

TEST(Wildcard, question_mark_takes_none_at_the_end_of_the_name_part) {
    ExpectTable({
        {u"A?.TXT", u"A.TXT", true},
        {u"A?.TXT", u"AB.TXT", true},
        {u"A?.TXT", u"ABC.TXT", false},
        {u"??????.DAT", u"USER.DAT", true},
        {u"??????.DAT", u"SYSTEM.DAT", true},
        {u"??????.DAT", u"SYSTEMS.DAT", false},
        {u"A?B", u"AXB", true},
        {u"A?B", u"A.B", false},  // a question mark never stands for the dot
        {u"A.?", u"A", true},
        {u"A??", u"A", true},
    });
}

TEST(Wildcard, star_dot_star_takes_every_name_with_or_without_a_dot) {
    ExpectTable({
        {u"*.*", u"README", true},
        {u"*.*", u"IO.SYS", true},
        {u"*.*", u"A.B.C", true},
        {u"*.*", u".hidden", true},
        {u"*", u"README", true},
        {u"*", u"IO.SYS", true},
        {u"FOO*.*", u"FOOBAR", true},
        {u"FOO*.*", u"FOO.A.B", true},
        {u"FOO*.*", u"BAR.TXT", false},
    });
    EXPECT_TRUE(WildcardPattern(u"*.*").MatchesEverything());
    EXPECT_FALSE(WildcardPattern(u"*.Ini").MatchesEverything());
}

TEST(Wildcard, star_dot_alone_takes_names_without_a_dot) {
    ExpectTable({
        {u"*.", u"README", true},
        {u"*.", u"A.TXT", false},
    });
}

TEST(Wildcard, case_does_not_count) {
    ExpectTable({
        {u"*.Sys", u"IO.SYS", true},
        {u"*.Sys", u"io.sys", true},
        {u"System.Dat", u"SYSTEM.DAT", true},
        {u"Autoexec.Bat", u"AUTOEXEC.BAT", true},
        {u"*.Ini", u"win.ini", true},
        {u"*.Ini", u"win.ini.bak", false},
        {u"Ä*.TXT", u"äpfel.txt", true},
        {u"*.Sys", u"IO.SYSX", false},
    });
}

TEST(Wildcard, star_takes_any_run_inside_a_name) {
    ExpectTable({
        {u"S*M.DAT", u"SYSTEM.DAT", true},
        {u"S*M.DAT", u"SM.DAT", true},
        {u"S*M.DAT", u"SYSTEMX.DAT", false},
        {u"*BAK*", u"OLD.BAK.TXT", true},
        {u"WIN.INI", u"WIN.INI", true},
        {u"WIN.INI", u"WIN.IN", false},
    });
}

TEST(Wildcard, a_plain_name_says_it_has_no_wildcards) {
    EXPECT_FALSE(WildcardPattern(u"System.Dat").HasWildcards());
    EXPECT_TRUE(WildcardPattern(u"*.Dat").HasWildcards());
    EXPECT_TRUE(WildcardPattern(u"User.Da?").HasWildcards());
}

}  // namespace
}  // namespace stowix::posix

namespace stowix::posix {
namespace {

// "*.EXT" with a plain extension, the common group pattern, is tried as a suffix: the table also
// runs each case through the general matcher (ExpectTable's long form), so both must agree.
TEST(Wildcard, star_dot_extension_takes_exactly_the_names_ending_in_it) {
    ExpectTable({
        {u"*.Ini", u"WIN.INI", true},
        {u"*.Ini", u"win.ini", true},
        {u"*.Ini", u"A.B.INI", true},
        {u"*.Ini", u".INI", true},
        {u"*.Ini", u"INI", false},
        {u"*.Ini", u"X.INIX", false},
        {u"*.Ini", u"X.IN", false},
        {u"*.Ini", u"XINI", false},
    });
    EXPECT_TRUE(WildcardPattern(u"*.Ini").MatchesAscii("PROGMAN.INI"));
    EXPECT_FALSE(WildcardPattern(u"*.Ini").MatchesAscii("PROGMAN.IN"));
}

}  // namespace
}  // namespace stowix::posix
