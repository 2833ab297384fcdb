// The settings store when it fails: a file that is corrupt, a store that cannot be written. The
// backup itself must still be made and reported as it is, the program must end in order, and
// the settings file must afterwards be one the program can read.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>

namespace stowix::test {
namespace {

class SettingsFaults : public FaultTest {
protected:
    void SetUp() override { Start(); }

    // The set the last run made holds every file: the backup was done, whatever the store did.
    void ExpectCompleteSet() {
        const QString made = World().NewSet(setsBefore);
        ASSERT_FALSE(made.isEmpty()) << "no set was made";
        const QStringList problems =
            SetProblems(TakeSnapshot(World().Drive()), made, sources, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }

    void WriteSettingsFile(const QByteArray& bytes) {
        QFile file(World().SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray SettingsBytes() {
        QFile file(World().SettingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A run whose store refuses the record: the set is made and complete, the user is told
    // that it is not recorded, and the store keeps what it held.
    void ExpectBackupNotRecorded(const RunOptions& options) {
        const QByteArray storedBefore = SettingsBytes();
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("could not be recorded")))
            << result.Describe();
        ExpectCompleteSet();
        EXPECT_EQ(SettingsBytes(), storedBefore);
        ExpectSettingsValid(SeenDrive());
        SetAside();
    }
};

// A store that cannot take the record: the set is made and complete, the user is told that it
// is not recorded, and the store keeps what it held.
TEST_F(SettingsFaults, a_store_that_cannot_be_written_costs_only_the_record) {
    const QString notAFolder = World().Root() + QStringLiteral("/config-file");
    {
        QFile file(notAFolder);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const struct {
        const char* how;
        bool diskFull;
    } cases[] = {
        {"the configuration folder is a file", false},
        {"the settings disk is full", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        RunOptions options = UnattendedRun();
        if (c.diskFull) {
            options.faults.fullAfterBytes = 0;
            options.faults.fullPrefix = World().Config();
        } else {
            options.environment.insert("XDG_CONFIG_HOME", notAFolder);
        }
        ExpectBackupNotRecorded(options);
    }
    ExpectLaterBackupWorks();
}

TEST_F(SettingsFaults, a_read_only_settings_folder_costs_only_the_record) {
    if (!World().CanMountReadOnly()) GTEST_SKIP() << "no mount namespace can be made here";
    RunOptions options = UnattendedRun();
    options.wrapper = ReadOnlyMountWrapper(World().Config() + QStringLiteral("/Stowix"));
    ExpectBackupNotRecorded(options);
    ExpectLaterBackupWorks();
}

TEST_F(SettingsFaults, a_settings_file_that_is_a_folder_costs_only_the_record) {
    ASSERT_TRUE(QFile::remove(World().SettingsFile()));
    ASSERT_TRUE(QDir().mkpath(World().SettingsFile()));
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("could not be recorded")))
        << result.Describe();
    ExpectCompleteSet();

    ASSERT_TRUE(QDir(World().SettingsFile()).removeRecursively());
    SetAside();
    const RunResult later = Backup();
    EXPECT_TRUE(later.Ended(0)) << later.Describe();
}

// A corrupt file is not trusted, not mixed with new values, and not lost: the program moves it
// aside and starts a fresh one that records the backup.
TEST_F(SettingsFaults, a_corrupt_settings_file_is_set_aside_and_the_backup_recorded) {
    const struct {
        const char* what;
        QByteArray bytes;
        bool corrupt;
    } cases[] = {
        {"binary bytes", QByteArray("\0\x01\x02\xff\xfe[Info]", 10), true},
        {"not UTF-8", "[Info]\nLastBackup=C:\\Stowix\\\xff\xfe\n", true},
        {"no settings at all", "this is not a settings file\n", true},
        {"a section without its end", "[Info\nLastBackup=C:\\Stowix\\x\n", true},
        {"an empty file", "", false},
        {"only blanks and comments", "\n; a comment\n\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(World().SettingsFile() + QStringLiteral(".corrupt"));
        WriteSettingsFile(c.bytes);

        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        ExpectCompleteSet();
        const QString made = World().NewSet(setsBefore);
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + made);
        ExpectSettingsValid(SeenDrive());
        QFile aside(World().SettingsFile() + QStringLiteral(".corrupt"));
        EXPECT_EQ(aside.exists(), c.corrupt);
        if (c.corrupt && aside.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(aside.readAll(), c.bytes);
        }
        // The recorded set keeps being the last backup under the name it is set aside as.
        older = SetAside();
        olderSources = sources;
        World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                             QStringLiteral("C:\\Stowix\\") + older);
    }
    ExpectLaterBackupWorks();
}

// A settings file that cannot be read (a failing disk) is not taken for an empty one: written
// over, it would lose every value but the new one. It is set aside whole, and the backup is
// recorded in a fresh file.
TEST_F(SettingsFaults, an_unreadable_settings_file_is_set_aside_not_written_over) {
    const QByteArray stored = "[Preferences]\nAutoExit=0\n\n[Info]\nLastBackup=\"C:\\\\Stowix\\\\" +
                              older.toUtf8() + "\"\nLastRestore=\"C:\\\\Stowix\\\\restored\"\n";
    WriteSettingsFile(stored);
    Faults faults;
    faults.unreadableSuffix = QStringLiteral("/Stowix/Stowix.ini");
    const RunResult result = Backup(faults);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    ExpectCompleteSet();

    QFile aside(World().SettingsFile() + QStringLiteral(".corrupt"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly)) << "the unreadable file was not kept";
    EXPECT_EQ(aside.readAll(), stored);
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + World().NewSet(setsBefore));
    ExpectSettingsValid(SeenDrive());
}

}  // namespace
}  // namespace stowix::test
