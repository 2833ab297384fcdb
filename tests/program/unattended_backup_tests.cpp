// stowix /U as cron or a systemd timer runs it: no display, one backup set, nothing printed
// unless something went wrong.

#include "program/program_fixture.h"

#include <QFile>

#include <sys/stat.h>

namespace stowix::test {
namespace {

class UnattendedBackupTest : public ProgramTest {
protected:
    // What a complete set holds, keyed by name: every file of the fifteen groups under its own
    // name, a later group's file of the same folder replacing an earlier one; a Windows-folder
    // file whose name a root file has is kept apart under its twin name.
    FileStates ExpectedSet() {
        FileStates expected;
        std::map<QString, bool> fromRoot;  // by upper-cased name: taken from the root first
        for (const QString& source : GroupSources()) {
            const bool root = !source.contains('\\');
            QString name = source.section('\\', -1);
            const auto [taken, first] = fromRoot.emplace(name.toUpper(), root);
            if (taken->second != root) name += ".WIN";
            expected[name] = StateOf(source);
        }
        return expected;
    }

    // The set's files but its record, which the drive does not hold.
    FileStates SetFiles(const QString& set) {
        FileStates files = FilesIn(set);
        EXPECT_EQ(files.erase("STOWIX.SET"), 1u) << "the set has no record";
        return files;
    }

    // The drive-relative path of the backup root's only folder; empty, with a failure, when
    // the root does not hold exactly one.
    QString OnlySet() {
        const QStringList sets = FoldersIn("Stowix");
        if (sets.size() != 1) {
            ADD_FAILURE() << "expected one backup set, found: " << sets.join(", ").toStdString();
            return QString();
        }
        return "Stowix\\" + sets.first();
    }
};

class UnattendedSwitchTest : public UnattendedBackupTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(UnattendedSwitchTest, makes_one_complete_set_quietly_and_records_it) {
    const FileStates expected = ExpectedSet();
    // Guards this test's own reading of the groups: names of other case than the patterns.
    ASSERT_TRUE(expected.count("SYSTEM.DAT") && expected.count("TTFCACHE") &&
                expected.count("ShellIconCache"))
        << "the generated drive lacks the files this test relies on";

    const Outcome outcome = Run("stowix", {GetParam()});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output.toStdString(), "");
    EXPECT_EQ(outcome.errors.toStdString(), "");
    EXPECT_TRUE(FilesIn("Stowix").empty()) << "files beside the sets in the backup root";
    const QString set = OnlySet();
    ASSERT_FALSE(set.isEmpty());
    EXPECT_EQ(Setting("Info", "LastBackup"), "C:\\" + set);
    const QStringList differences = Differences(expected, SetFiles(set));
    EXPECT_TRUE(differences.isEmpty()) << "the set differs from its sources:\n"
                                       << differences.join('\n').toStdString();
    // The sets hold password lists and registries.
    struct stat root {};
    ASSERT_EQ(::stat(QFile::encodeName(HostPath("Stowix")).constData(), &root), 0);
    EXPECT_EQ(root.st_mode & 07777, 0700u);
}

INSTANTIATE_TEST_SUITE_P(EitherCase, UnattendedSwitchTest, ::testing::Values("/U", "/u"));

TEST_F(UnattendedBackupTest, a_file_that_cannot_be_read_fails_the_run_and_is_named) {
    const QString unreadable = "WINDOWS\\WIN.INI";
    FileStates expected = ExpectedSet();
    ASSERT_EQ(expected.erase("WIN.INI"), 1u);
    ASSERT_TRUE(QFile::setPermissions(HostPath(unreadable), {}));
    // The tests may run as root, who reads any file: the precondition is checked on a tool.
    QProcess probe;
    probe.setChildProcessModifier(DropFileAccessOverride);
    probe.start("cat", {HostPath(unreadable)});
    probe.waitForFinished();
    if (probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
        GTEST_SKIP() << "a file without read permission can still be read here";

    const Outcome outcome = Run("stowix", {"/U"}, DropFileAccessOverride);

    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(outcome.output.toStdString(), "");
    EXPECT_TRUE(outcome.errors.contains("C:\\WINDOWS\\WIN.INI")) << outcome.errors.toStdString();
    EXPECT_EQ(Setting("Info", "LastBackup"), "");
    const QString set = OnlySet();
    ASSERT_FALSE(set.isEmpty());
    const QStringList differences = Differences(expected, SetFiles(set));
    EXPECT_TRUE(differences.isEmpty()) << "the other files were not all copied:\n"
                                       << differences.join('\n').toStdString();
}

}  // namespace
}  // namespace stowix::test
