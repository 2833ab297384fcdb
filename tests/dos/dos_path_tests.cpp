// DOS path texts taken apart against the current drive and each drive's current folder.

#include "dos/dos_path.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace stowix::posix {
namespace {

// Current drive C:, whose current folder is \WINDOWS; D:'s is \GAMES\DOOM; others the root.
std::optional<DosPath> Parse(const QString& text) {
    return ParseDosPath(text, u'C', [](char16_t drive) {
        if (drive == u'C') return QStringList{QStringLiteral("WINDOWS")};
        if (drive == u'D') return QStringList{QStringLiteral("GAMES"), QStringLiteral("DOOM")};
        return QStringList();
    });
}

TEST(DosPath, absolute_relative_and_drive_relative_forms) {
    const struct {
        QString text;
        QString full;
    } cases[] = {
        {QStringLiteral("C:\\X\\Y"), QStringLiteral("C:\\X\\Y")},
        {QStringLiteral("c:\\x"), QStringLiteral("C:\\x")},
        {QStringLiteral("\\X"), QStringLiteral("C:\\X")},
        {QStringLiteral("X"), QStringLiteral("C:\\WINDOWS\\X")},
        {QStringLiteral("C:X"), QStringLiteral("C:\\WINDOWS\\X")},
        {QStringLiteral("D:X"), QStringLiteral("D:\\GAMES\\DOOM\\X")},
        {QStringLiteral("D:"), QStringLiteral("D:\\GAMES\\DOOM")},
        {QStringLiteral("E:X"), QStringLiteral("E:\\X")},
        {QStringLiteral("C:\\"), QStringLiteral("C:\\")},
        {QStringLiteral("C:/A/B"), QStringLiteral("C:\\A\\B")},
        {QStringLiteral("C:\\A\\\\B\\"), QStringLiteral("C:\\A\\B")},
        {QStringLiteral(" my comment"), QStringLiteral("C:\\WINDOWS\\ my comment")},
        {QStringLiteral("C:\\dots. \\x"), QStringLiteral("C:\\dots. \\x")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.text.toStdString());
        const std::optional<DosPath> path = Parse(entry.text);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(path->Text(), entry.full);
    }
}

TEST(DosPath, dot_dot_stops_at_the_drive_root) {
    const struct {
        QString text;
        QString full;
    } cases[] = {
        {QStringLiteral("C:\\A\\..\\B"), QStringLiteral("C:\\B")},
        {QStringLiteral("C:\\..\\..\\B"), QStringLiteral("C:\\B")},
        {QStringLiteral(".."), QStringLiteral("C:\\")},
        {QStringLiteral("..\\..\\..\\etc"), QStringLiteral("C:\\etc")},
        {QStringLiteral("D:..\\X"), QStringLiteral("D:\\GAMES\\X")},
        {QStringLiteral("C:\\A\\.\\B"), QStringLiteral("C:\\A\\B")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.text.toStdString());
        const std::optional<DosPath> path = Parse(entry.text);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(path->Text(), entry.full);
    }
}

TEST(DosPath, texts_that_name_no_drive_path_are_refused) {
    EXPECT_FALSE(Parse(QString()).has_value());
    EXPECT_FALSE(Parse(QStringLiteral("\\\\server\\share")).has_value());
    EXPECT_FALSE(Parse(QString(QChar(u'\0')) + QStringLiteral("C:\\X")).has_value());
}

TEST(DosPath, a_nul_ends_the_path_as_it_does_for_windows) {
    const std::optional<DosPath> path =
        Parse(QStringLiteral("C:\\WINDOWS") + QChar(u'\0') + QStringLiteral("junk"));
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->Text(), QStringLiteral("C:\\WINDOWS"));
}

}  // namespace
}  // namespace stowix::posix
