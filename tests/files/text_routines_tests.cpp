// The small text and number routines.

#include "files/text_routines.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <limits>

namespace stowix {
namespace {

TEST(TrimText, numbers_flags_and_texts_come_back_without_outer_blanks) {
    EXPECT_EQ(TrimText(39), "39");
    EXPECT_EQ(TrimText(0), "0");
    EXPECT_EQ(TrimText(-7), "-7");
    EXPECT_EQ(TrimText(true), "True");
    EXPECT_EQ(TrimText(false), "False");
    EXPECT_EQ(TrimText(QStringLiteral("  before  upgrade  ")), "before  upgrade");
    EXPECT_EQ(TrimText(QStringLiteral("   ")), "");
}

TEST(Contains, case_counts) {
    struct Case {
        const char* text;
        const char* part;
        bool expected;
    } cases[] = {
        {"STOWIX.EXE /U", "/U", true},
        {"stowix.exe /u", "/U", false},
        {"/I/U", "/U", true},
        {"", "/U", false},
        {"/", "/U", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Contains(QString::fromUtf8(c.text), QString::fromUtf8(c.part)), c.expected);
    }
}

TEST(KeepInRange, bounds_are_inside_and_everything_else_gives_the_fallback) {
    struct Case {
        int value, fallback, expected;
    } cases[] = {{0, 7, 0}, {100, 7, 100}, {50, 7, 50}, {101, 0, 0}, {-1, 100, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(KeepInRange(c.value, 0, 100, c.fallback), c.expected);
    }
}

TEST(ReplaceInPlace, changes_the_callers_text_and_returns_it) {
    QString date = QStringLiteral("11/5/99");
    EXPECT_EQ(ReplaceInPlace(date, "/", "-"), "11-5-99");
    EXPECT_EQ(date, "11-5-99");

    QString time = QStringLiteral("3:45:12 PM");
    ReplaceInPlace(time, ":", ";");
    EXPECT_EQ(time, "3;45;12 PM");

    QString untouched = QStringLiteral("05.11.1999");
    ReplaceInPlace(untouched, "/", "-");
    EXPECT_EQ(untouched, "05.11.1999");
}

TEST(ReplaceInPlace, keeps_the_length_and_ends_on_input_outside_its_contract) {
    struct Case {
        const char* text;
        const char* search;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"a/b/c", "/", "--", "a-b-c"},  // only as many characters as the shorter text
        {"a//b", "//", "-", "a-/b"},   {"abc", "", "x", "abc"},  // empty search: would never end
        {"a/b", "/", "/", "a/b"},  // overwrite that removes nothing: would never end
        {"a/b", "/", "", "a/b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + std::string(" ") + c.search + " " + c.replacement);
        QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(
            ReplaceInPlace(text, QString::fromUtf8(c.search), QString::fromUtf8(c.replacement)),
            QString::fromUtf8(c.expected));
    }
}

TEST(LeadingNumber, reads_the_number_a_text_begins_with) {
    constexpr int max = std::numeric_limits<int>::max();
    constexpr int min = std::numeric_limits<int>::min();
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"1", 1},
        {"0", 0},
        {"True", 0},
        {"", 0},
        {"  1", 1},
        {"\t1", 1},
        {"x1", 0},
        {"1x", 1},
        {"+3", 3},
        {"-1", -1},
        {"1.5", 2},
        {"2.5", 2},
        {"0.5", 0},
        {"-2.5", -2},
        {"3.7abc", 4},
        {".5", 0},
        {".6", 1},
        {"1.", 1},
        {"-", 0},
        {".", 0},
        {"- 1", 0},
        {"99999999999", max},
        {"-99999999999", min},
        {"1 2", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LeadingNumber(QString::fromUtf8(c.text)), c.expected);
    }
}

}  // namespace
}  // namespace stowix
