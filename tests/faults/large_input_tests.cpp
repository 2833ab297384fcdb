// Input from the drive large enough to show how a command's time grows with it: an INI key with
// hundreds of thousands of values compared by stowix-diff and by the restore's question, and a
// boot script with more than a hundred thousand labels and a loop. Each run must end within the
// program world's bound, which a time growing with the square of the input does not.

#include "fault_fixture.h"

#include <QFile>

namespace stowix::test {
namespace {

constexpr int Different = 1;
constexpr int ValueCount = 200'000;

// "[386Enh]" with one key written ValueCount times, values in the order given.
QByteArray IniWithValues(const QList<int>& order, const QByteArray& extra) {
    QByteArray text = "[386Enh]\r\n";
    text.reserve(order.size() * 12);
    for (int value : order) text += "device=" + QByteArray::number(value, 36) + "\r\n";
    text += "device=" + extra + "\r\n";
    return text;
}

void WriteHostFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class LargeInput : public FaultTest {
protected:
    void SetUp() override { Start(); }

    // The older set's WIN.INI holds the values in one order and "old", the drive's the same
    // values the other way round and "new": one value taken, one added.
    void WriteManyValues() {
        QList<int> order;
        for (int i = 0; i < ValueCount; ++i) order.append(i);
        WriteHostFile(World().BackupRoot() + u'/' + older + QStringLiteral("/WIN.INI"),
                      IniWithValues(order, "old"));
        std::reverse(order.begin(), order.end());
        WriteHostFile(World().Drive() + QStringLiteral("/WINDOWS/WIN.INI"),
                      IniWithValues(order, "new"));
    }
};

TEST_F(LargeInput, stowix_diff_compares_a_key_of_many_values_in_bounded_time) {
    WriteManyValues();
    RunOptions options;
    options.arguments = {older};
    const RunResult result = World().Tool(QStringLiteral("stowix-diff"), options);
    ASSERT_TRUE(result.Ended(Different)) << result.Describe();
    const QStringList keyLines =
        result.output.split(u'\n').filter(QStringLiteral("[386Enh] device:"));
    EXPECT_EQ(keyLines, QStringList({QStringLiteral("    [386Enh] device: - old"),
                                     QStringLiteral("    [386Enh] device: + new")}))
        << result.Describe();
}

TEST_F(LargeInput, the_restore_question_compares_a_key_of_many_values_in_bounded_time) {
    STOWIX_NEEDS_DISPLAY();
    WriteManyValues();
    const RunResult result = Restore(older);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + older);
}

// A hundred thousand and one labels, then a loop back to the last: every jump finds its label
// without reading the script again, and the loop guard ends the run.
TEST_F(LargeInput, stowix_boot_finds_labels_among_many_in_bounded_time) {
    QByteArray script = "@Echo Off\r\n";
    for (int i = 0; i <= 100'000; ++i) script += ":L" + QByteArray::number(i) + "\r\n";
    script += ":Top\r\nGoTo Top\r\n";
    WriteHostFile(World().Drive() + QStringLiteral("/WINDOWS/WinStart.Bat"), script);
    const RunResult result = World().Boot();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("jumps back: it does not end")))
        << result.Describe();
}

// A loop whose body is 10,000 lines, each a lookup on the drive: a few jumps make the work of a
// million lines, so the work is bounded, not only the jumps, and the message says why it stopped.
TEST_F(LargeInput, stowix_boot_stops_a_long_loop_by_the_lines_it_ran) {
    QByteArray script = "@Echo Off\r\n:Top\r\n";
    for (int i = 0; i < 10'000; ++i) script += "If Exist C:\\NOFILE.TXT Echo found\r\n";
    script += "GoTo Top\r\n";
    WriteHostFile(World().Drive() + QStringLiteral("/WINDOWS/WinStart.Bat"), script);
    const RunResult result = World().Boot();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("lines: it is taken not to end")))
        << result.Describe();
}

}  // namespace
}  // namespace stowix::test
