// Text that comes from the drive (file and set names, INI keys and values, a boot script's lines,
// recorded paths) never reaches a terminal or a box raw: control characters, which could retitle
// or clear the terminal, and direction marks, which turn text around, are shown escaped.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace stowix::test {
namespace {

// An escape sequence that sets a terminal's title, one that clears it, and a right-to-left mark.
const QByteArray TitleSequence = "\x1B]0;owned\x07";
const QByteArray ClearSequence = "\x1B[2J";
const QByteArray RightToLeft = "\xE2\x80\xAE";

void WriteHostFile(const QByteArray& path, const QByteArray& bytes) {
    QFile file(QFile::decodeName(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Nothing that a terminal would act on, nor a direction mark.
void ExpectNoRawControls(const RunResult& result) {
    for (const QString& text : {result.output, result.errors}) {
        for (QChar c : text) {
            const char16_t unit = c.unicode();
            const bool control = (unit < 0x20 && unit != u'\n') || (unit >= 0x7F && unit <= 0x9F);
            EXPECT_FALSE(control || unit == 0x202E)
                << "raw U+" << QString::number(unit, 16).toStdString() << " in "
                << result.Describe();
        }
    }
}

class DriveText : public FaultTest {
protected:
    void SetUp() override { Start(); }

    RunResult Tool(const QString& name, const QStringList& arguments = {}) {
        RunOptions options;
        options.arguments = arguments;
        return World().Tool(name, options);
    }

    QByteArray Host(const QString& relative) {
        return QFile::encodeName(World().Drive()) + '/' + relative.toUtf8();
    }
};

TEST_F(DriveText, stowix_check_and_stowix_diff_show_the_drives_text_escaped) {
    const QByteArray hostile = "SET" + TitleSequence + RightToLeft;
    ASSERT_TRUE(QDir().mkdir(QFile::decodeName(Host(QStringLiteral("Stowix/")) + hostile)));
    WriteHostFile(Host(QStringLiteral("WINDOWS/WIN.INI")),
                  "[windows]\r\nload=" + ClearSequence + "\r\n" + TitleSequence + "=1\r\n");
    WriteHostFile(Host(QStringLiteral("WINDOWS/EVIL")) + RightToLeft + "INI.INI", "[x]\r\n");

    const RunResult check = Tool(QStringLiteral("stowix-check"));
    EXPECT_TRUE(check.output.contains(QLatin1String("SET\\x1B]0;owned\\x07\\u202E")))
        << check.Describe();
    ExpectNoRawControls(check);

    const RunResult diff = Tool(QStringLiteral("stowix-diff"), {older});
    EXPECT_TRUE(diff.Ended(1)) << diff.Describe();
    for (const char* shown :
         {"\\x1B[2J", "[windows] \\x1B]0;owned\\x07: + 1", "EVIL\\u202EINI.INI"})
        EXPECT_TRUE(diff.output.contains(QLatin1String(shown))) << shown << diff.Describe();
    ExpectNoRawControls(diff);
}

// An unattended backup names on its standard error the files it could not copy.
TEST_F(DriveText, an_unattended_backup_names_the_drives_files_escaped) {
    WriteHostFile(Host(QStringLiteral("WINDOWS/EVIL")) + TitleSequence + RightToLeft + ".INI",
                  "[x]\r\n");
    const RunResult backup = Backup();
    EXPECT_TRUE(backup.Ended(IncompleteStatus)) << backup.Describe();
    EXPECT_TRUE(backup.errors.contains(QLatin1String("EVIL\\x1B]0;owned\\x07\\u202E.INI")))
        << backup.Describe();
    ExpectNoRawControls(backup);
}

TEST_F(DriveText, stowix_boot_shows_the_scripts_text_escaped) {
    WriteHostFile(Host(QStringLiteral("WINDOWS/WinStart.Bat")),
                  "@Echo " + ClearSequence + "\r\nDel C:\\NO" + TitleSequence + ".TXT\r\n");
    const RunResult boot = World().Boot();
    EXPECT_TRUE(boot.Ended(IncompleteStatus)) << boot.Describe();
    EXPECT_TRUE(boot.output.contains(QLatin1String("\\x1B[2J"))) << boot.Describe();
    EXPECT_TRUE(boot.errors.contains(QLatin1String("C:\\NO\\x1B]0"))) << boot.Describe();
    ExpectNoRawControls(boot);
}

// The information box shows recorded paths with their controls escaped, and stays within the
// screen however long a path is.
TEST_F(DriveText, the_information_box_shows_recorded_paths_escaped_and_within_the_screen) {
    STOWIX_NEEDS_DISPLAY();
    const QString recorded = QStringLiteral("C:\\Stowix\\") + QString(3000, u'x') +
                             QString::fromUtf8(TitleSequence + RightToLeft) +
                             QStringLiteral("\r\nLast Delete:\tforged");
    World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"), recorded);
    RunOptions options;
    options.robot = {QStringLiteral("trigger InfoMenu"), QStringLiteral("answer Ok"),
                     QStringLiteral("click Form1.Command3")};
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    const QString box = result.errors.split(u'\n').filter(QStringLiteral("box [Info]")).value(0);
    EXPECT_TRUE(
        box.contains(QLatin1String("xx\\x1B]0;owned\\x07\\u202E\\x0D\\x0ALast Delete:\\x09forged")))
        << box.toStdString();
    EXPECT_FALSE(box.contains(QChar(0x202E))) << box.toStdString();
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("box size=(\\d+),(\\d+) screen=(\\d+),(\\d+)"))
            .match(result.errors);
    ASSERT_TRUE(size.hasMatch()) << result.Describe();
    EXPECT_LE(size.captured(1).toInt(), size.captured(3).toInt()) << result.Describe();
}

}  // namespace
}  // namespace stowix::test
