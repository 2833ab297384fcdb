// The unattended backup when the host fails under it: a disk that fills up, a file that cannot
// be read, a backup root that cannot be written. Each run must keep the drive and the older
// sets as they were, leave only whole files in the new set, not record it, tell the user (on
// standard error, with the exit status), and let the next run work.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>

#include <sys/statfs.h>
#include <unistd.h>

namespace stowix::test {
namespace {

class BackupFaults : public FaultTest {
protected:
    void SetUp() override { Start(); }

    // A run through wrapper, which keeps the backup root from being written, reports the host's
    // reason; afterwards a plain run works.
    void ExpectUnwritableRootReported(const QStringList& wrapper, const char* reason) {
        RunOptions options;
        options.arguments = {QStringLiteral("/U")};
        options.wrapper = wrapper;
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("Backup incomplete")) &&
                    result.errors.contains(QLatin1String(reason)))
            << result.Describe();
        ExpectBackupContained();
        ExpectLaterBackupWorks();
    }
};

// Room enough for the drive and a few sets.
constexpr qint64 SmallDiskRoom = 64 << 20;

class SmallDisk : public FaultTest {
protected:
    void SetUp() override {
        FaultWorld::DriveOptions options;
        options.smallDiskBytes = SmallDiskRoom;
        // No floor of free space, so that the room the sets take is all that counts; the tests
        // of the floor give it per run.
        options.minimumFreeMb = QStringLiteral("0");
        Start(options);
        if (!World().MountError().isEmpty())
            GTEST_SKIP() << "no file system of its own can be mounted here: "
                         << World().MountError().toStdString();
    }

    qint64 UsedBytes() { return UsedBytesOf(World().Drive()); }
};

TEST_F(BackupFaults, a_disk_that_fills_up_leaves_whole_files_and_no_record) {
    const qint64 whole = BytesOfAWholeBackup(sources);
    const struct {
        const char* when;
        qint64 bytes;
    } cases[] = {
        {"before the first byte", 0},
        {"after the first files", 100'000},
        {"inside SYSTEM.DAT", 1'500'000},
        {"just before the end", whole - 5'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        Faults faults;
        faults.fullAfterBytes = c.bytes;
        const RunResult result = Backup(faults);
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("Backup incomplete")) &&
                    result.errors.contains(QLatin1String("No space left on device")))
            << result.Describe();
        ExpectBackupContained();
        SetAside();
    }
    ExpectLaterBackupWorks();
}

// Through the window, the failure is a message box, and the window is usable again after it:
// the commands enabled, the program waiting for the user, checked box or not.
TEST_F(BackupFaults, a_full_disk_under_the_window_is_told_and_leaves_it_usable) {
    STOWIX_NEEDS_DISPLAY();
    World().WriteSetting(QStringLiteral("Preferences"), QStringLiteral("AutoExit"),
                         QStringLiteral("1"));
    RunOptions options;
    options.faults.fullAfterBytes = 100'000;
    options.robot = {QStringLiteral("click Form1.Command1"), QStringLiteral("answer Ok"),
                     QStringLiteral("report Form1.Command1"),
                     QStringLiteral("report Form1.Command2"),
                     QStringLiteral("click Form1.Command3")};
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("box [Backup incomplete]")) &&
                result.errors.contains(QLatin1String("No space left on device")))
        << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("Form1.Command1 checked=0 enabled=1")) &&
                result.errors.contains(QLatin1String("Form1.Command2 checked=0 enabled=1")))
        << result.Describe();
    ExpectBackupContained();
}

// A drive that really is nearly full: drive C: is a tmpfs of its own, shrunk to hold the drive,
// the older set and about half of one more backup. The backup is not begun: no folder, no record,
// and the message says how much is free and how much is needed.
TEST_F(SmallDisk, a_backup_that_would_not_fit_is_not_begun) {
    ASSERT_TRUE(World().ResizeSmallDisk(UsedBytes() + BytesOfAWholeBackup(sources) / 2));
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("Not enough free space")) &&
                result.errors.contains(QLatin1String(" free, and ")) &&
                result.errors.contains(QLatin1String(" are needed")))
        << result.Describe();
    EXPECT_EQ(World().SetNames(), setsBefore);
    ExpectBackupContained();

    ASSERT_TRUE(World().ResizeSmallDisk(SmallDiskRoom));
    ExpectLaterBackupWorks();
}

// The floor of free space that Windows keeps for its swap file: 64 MiB unless
// STOWIX_MIN_FREE_MB says otherwise. The 64 MiB disk holds the drive and a set, so the default
// floor cannot be kept there, and a smaller one can.
TEST_F(SmallDisk, the_floor_of_free_space_is_kept_free) {
    const struct {
        const char* floor;  // nullptr: not set
        int status;
    } cases[] = {{nullptr, IncompleteStatus}, {"1000", IncompleteStatus}, {"8", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.floor ? c.floor : "unset");
        RunOptions options = UnattendedRun();
        if (c.floor)
            options.environment.insert(QStringLiteral("STOWIX_MIN_FREE_MB"),
                                       QLatin1String(c.floor));
        else
            options.unset.append(QStringLiteral("STOWIX_MIN_FREE_MB"));
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(c.status)) << result.Describe();
        if (c.status == 0) continue;
        const QString floor = c.floor ? QStringLiteral("%1.0 MB").arg(QLatin1String(c.floor))
                                      : QStringLiteral("64.0 MB");
        EXPECT_TRUE(result.errors.contains(floor + QStringLiteral(" that stay free")))
            << result.Describe();
        ExpectBackupContained();
    }
}

TEST_F(BackupFaults, a_floor_that_is_no_number_or_too_large_is_refused_before_anything_is_done) {
    const struct {
        const char* floor;
        const char* says;
    } cases[] = {{"64MB", "must be a whole number"},
                 {"4294967296", "is too large"},
                 {"99999999999999999999999", "is too large"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.floor);
        RunOptions options = UnattendedRun();
        options.environment.insert(QStringLiteral("STOWIX_MIN_FREE_MB"), QLatin1String(c.floor));
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(2)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("STOWIX_MIN_FREE_MB ")) &&
                    result.errors.contains(QLatin1String(c.says)))
            << result.Describe();
        ExpectBackupContained();
    }
}

TEST_F(BackupFaults, a_file_that_cannot_be_read_is_reported_and_the_rest_copied) {
    const char* unreadable[] = {"/WINDOWS/SYSTEM.INI", "/WINDOWS/SYSTEM.DAT", "/IO.SYS"};
    for (const char* suffix : unreadable) {
        SCOPED_TRACE(suffix);
        Faults faults;
        faults.unreadableSuffix = QString::fromLatin1(suffix);
        const RunResult result = Backup(faults);
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        const QString name = QString::fromLatin1(suffix).section(u'/', -1);
        EXPECT_TRUE(result.errors.contains(QLatin1String("Backup incomplete")) &&
                    result.errors.contains(name) &&
                    result.errors.contains(QLatin1String("Input/output error")))
            << result.Describe();
        ExpectBackupContained();

        // Every other file made it into the set.
        const Snapshot after = TakeSnapshot(World().Drive());
        const QString made = World().NewSet(setsBefore);
        ASSERT_FALSE(made.isEmpty());
        SetSources others = sources;
        others.remove(name);
        const QStringList problems = SetProblems(after, made, others, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        SetAside();
    }
    ExpectLaterBackupWorks();
}

TEST_F(BackupFaults, a_read_only_backup_root_is_reported) {
    if (!World().CanMountReadOnly()) GTEST_SKIP() << "no mount namespace can be made here";
    ExpectUnwritableRootReported(ReadOnlyMountWrapper(World().BackupRoot()),
                                 "Read-only file system");
}

TEST_F(BackupFaults, another_users_backup_root_is_reported) {
    if (!World().CanRunAsNobody()) GTEST_SKIP() << "the programs cannot be run as nobody here";
    // The world is nobody's now; the backup root and its set stay root's, and private: the
    // backup refuses a root of another user, naming the owner.
    ASSERT_EQ(::chown(QFile::encodeName(World().BackupRoot()).constData(), 0, 0), 0);
    ExpectUnwritableRootReported(NobodyWrapper(), "belongs to root (uid 0)");
}

// A file where the backup root belongs: nothing to make the set in, and nothing to harm.
TEST(BackupRootFault, a_file_in_the_backup_roots_place_is_reported_and_left_alone) {
    FaultWorld world;
    QFile file(world.BackupRoot());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
    file.close();
    const Snapshot before = TakeSnapshot(world.Drive());

    const RunResult result = world.Stowix(UnattendedRun());
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("could not be made"))) << result.Describe();
    const QStringList changed = ChangedFiles(before, TakeSnapshot(world.Drive()), QString());
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
    EXPECT_EQ(world.Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")), QString());

    ASSERT_TRUE(QFile::remove(world.BackupRoot()));
    const RunResult later = world.Stowix(UnattendedRun());
    EXPECT_TRUE(later.Ended(0)) << later.Describe();
    EXPECT_EQ(world.SetNames().size(), 1);
}

}  // namespace
}  // namespace stowix::test
