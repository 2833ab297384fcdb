// The programs killed (SIGKILL) in the middle of their work: the backup at chosen points of a
// whole run, the restore and the boot script at every one of their changes, and both at random
// moments on a large drive. Afterwards no destination may hold a cut-short file, no temporary
// file may show in the program's listings, older sets and the settings must be as they were,
// and the next run must work, stale temporary files or not.

#include "fault_fixture.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <random>

namespace stowix::test {
namespace {

class KillTest : public FaultTest {
protected:
    // How many changes of drive C: a whole run of this kind makes.
    long long CountChanges(const std::function<RunResult(const Faults&)>& run) {
        Faults counting;
        counting.countFile = World().Root() + QStringLiteral("/changes");
        const RunResult result = run(counting);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        QFile file(counting.countFile);
        if (!file.open(QIODevice::ReadOnly)) return 0;
        return file.readAll().trimmed().toLongLong();
    }

    static Faults KillAt(long long change) {
        Faults faults;
        faults.killAt = change;
        return faults;
    }

    // Drive files (paths relative to the drive) and the settings file, kept to be put back.
    struct SavedFiles {
        QMap<QString, std::optional<QByteArray>> files;
        std::optional<QByteArray> settings;
    };

    static std::optional<QByteArray> Read(const QString& host) {
        QFile file(host);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll();
    }

    static void Write(const QString& host, const std::optional<QByteArray>& bytes) {
        QFile::remove(host);
        if (!bytes) return;
        QFile file(host);
        if (!file.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot write " << host.toStdString();
        file.write(*bytes);
    }

    SavedFiles Save(const QStringList& paths) {
        SavedFiles saved;
        for (const QString& path : paths)
            saved.files.insert(path, Read(World().Drive() + u'/' + path));
        saved.settings = Read(World().SettingsFile());
        return saved;
    }

    void PutBack(const SavedFiles& saved) {
        for (auto it = saved.files.begin(); it != saved.files.end(); ++it)
            Write(World().Drive() + u'/' + it.key(), it.value());
        Write(World().SettingsFile(), saved.settings);
    }
};

class BackupKills : public KillTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(BackupKills, a_backup_killed_anywhere_leaves_whole_files_and_the_next_run_works) {
    const long long changes = CountChanges([this](const Faults& f) { return Backup(f); });
    ASSERT_GT(changes, 50);
    // The counting run made a complete set; it is set aside, and the older set is the last
    // backup again.
    SetAside();
    World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                         QStringLiteral("C:\\Stowix\\") + older);

    std::vector<long long> points{1, changes};
    std::mt19937 random(20261210);
    for (int seed = 0; seed < 10; ++seed) points.push_back(1 + (long long)(random() % changes));
    for (long long point : points) {
        SCOPED_TRACE(
            QStringLiteral("killed before change %1 of %2").arg(point).arg(changes).toStdString());
        const RunResult result = Backup(KillAt(point));
        if (!result.killed) {
            // A run that made fewer changes than the counted one finished before its point.
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
            KeepAsOlder();
            continue;
        }
        ExpectBackupContained();
        SetAside();
    }
    ExpectLaterBackupWorks();
}

// Kills among the program's own files: its single-instance lock, and the settings file with the
// lock that guards it. However the program dies there, the settings stay readable, and the next
// run starts at once, makes its backup and records it: an orphaned lock neither keeps it out
// nor holds it up.
TEST_F(BackupKills, a_kill_among_the_programs_own_files_keeps_no_later_run_out) {
    for (const QString& folder : {World().Runtime(), World().Config()}) {
        SCOPED_TRACE(folder.toStdString());
        const long long changes = CountChanges([&](const Faults& f) {
            Faults both = f;
            both.killPrefix = folder;
            return Backup(both);
        });
        ASSERT_GT(changes, 1);
        KeepAsOlder();
        for (long long point = 1; point <= changes; ++point) {
            SCOPED_TRACE(QStringLiteral("killed before change %1 of %2")
                             .arg(point)
                             .arg(changes)
                             .toStdString());
            Faults faults = KillAt(point);
            faults.killPrefix = folder;
            const RunResult killed = Backup(faults);
            EXPECT_TRUE(killed.killed) << killed.Describe();
            ExpectSettingsValid(SeenDrive());
            // The killed run's set is not what this test looks at; it goes, so that the drive
            // stays small.
            if (const QString made = World().NewSet(setsBefore); !made.isEmpty())
                QDir(World().BackupRoot() + u'/' + made).removeRecursively();

            // A hang bound, not a measure: an orphaned settings lock would hold the run for
            // half a minute.
            RunOptions later = UnattendedRun();
            later.timeoutMs = 20000;
            const RunResult result = World().Stowix(later);
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
            const QString made = World().NewSet(setsBefore);
            ASSERT_FALSE(made.isEmpty()) << "the next run made no set: " << result.Describe();
            EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                      QStringLiteral("C:\\Stowix\\") + made);
            const QString previous = older;
            KeepAsOlder();
            QDir(World().BackupRoot() + u'/' + previous).removeRecursively();
            Remember();
        }
    }
}

// A set that a killed run left, temporary files and all, is deleted like any other.
TEST_F(BackupKills, a_set_left_by_a_killed_run_can_be_deleted) {
    STOWIX_NEEDS_DISPLAY();
    // Inside SYSTEM.DAT's copy: the set holds the start-up files.
    const RunResult killed = Backup(KillAt(30));
    ASSERT_TRUE(killed.killed) << killed.Describe();
    const QString left = World().NewSet(setsBefore);
    ASSERT_FALSE(left.isEmpty());
    // A file replaced in place (a second run in the same second) is written under a temporary
    // name; a kill then leaves that name behind, as here: the killed run's process id, whole
    // or cut short. The user cannot see it, so it must not keep the set from going.
    QFile stale(World().BackupRoot() + u'/' + left +
                QStringLiteral("/.~stowix-%1-7.tmp").arg(killed.processId));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(70'000, 'x'));
    stale.close();
    EXPECT_FALSE(World()
                     .ListedNames(QStringLiteral("C:\\Stowix\\") + left)
                     .contains(QFileInfo(stale).fileName()));

    RunOptions options;
    options.robot = FaultWorld::DeleteSteps(left);
    const RunResult deleted = World().Stowix(options);
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + u'/' + left)) << deleted.Describe();
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")),
              QStringLiteral("C:\\Stowix\\") + left);
    ExpectLaterBackupWorks();
}

class RestoreKills : public KillTest {
protected:
    void SetUp() override {
        STOWIX_NEEDS_DISPLAY();
        Start();
        // A small set, so that every change of its restore can be a kill point: a start-up
        // file, a hidden system file, two INI files and the registry pair (a small sound
        // SYSTEM.DAT: the restore reads it whole before it goes on, and a set without both files
        // stages neither).
        const QString from = World().BackupRoot() + u'/' + older + u'/';
        const QString to = World().BackupRoot() + QStringLiteral("/small set/");
        ASSERT_TRUE(QDir().mkpath(to));
        for (const char* name : {"AUTOEXEC.BAT", "IO.SYS", "WIN.INI", "SYSTEM.INI", "USER.DAT"})
            ASSERT_TRUE(QFile::copy(from + name, to + name));
        {
            QFile registry(to + QStringLiteral("SYSTEM.DAT"));
            ASSERT_TRUE(registry.open(QIODevice::WriteOnly));
            registry.write(tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes);
        }
        // The user's changes since, and a boot script of the user's own, which the restore
        // replaces.
        for (const char* path : {"WINDOWS/WIN.INI", "AUTOEXEC.BAT", "WINDOWS/USER.DAT"}) {
            QFile file(World().Drive() + u'/' + QLatin1String(path));
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("changed by the user");
        }
        QFile script(World().Drive() + QStringLiteral("/WINDOWS/WinStart.Bat"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("@Echo The user's own script\r\n");
        script.close();
        Remember();
        outcomes = RestoreOutcomes(original, SmallSet(), QStringLiteral("WINDOWS"),
                                   BootScript(QStringLiteral("C:\\WINDOWS")));
    }

    static QString SmallSet() { return QStringLiteral("small set"); }

    QMap<QString, Outcome> outcomes;
};

TEST_F(RestoreKills, a_restore_killed_at_any_change_leaves_every_file_old_or_restored) {
    const SavedFiles saved = Save(outcomes.keys());
    // A restore first keeps the drive's configuration in a set of its own, made as a backup
    // makes one: the backup's kill tests try each of those changes, so here they are sampled,
    // and every change of the restore's own work is a kill point.
    // (The user's USER.DAT is damaged here, which a backup tells with status 4.)
    RunOptions counting = UnattendedRun();
    counting.faults.countFile = World().Root() + QStringLiteral("/backup changes");
    const RunResult backup = World().Stowix(counting);
    ASSERT_TRUE(backup.Ended(0) || backup.Ended(4)) << backup.Describe();
    QFile countFile(counting.faults.countFile);
    ASSERT_TRUE(countFile.open(QIODevice::ReadOnly));
    const long long undoChanges = countFile.readAll().trimmed().toLongLong();
    const QString counted = World().NewSet(setsBefore);
    ASSERT_FALSE(counted.isEmpty());
    ASSERT_TRUE(QDir(World().BackupRoot() + u'/' + counted).removeRecursively());
    World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                         QStringLiteral("C:\\Stowix\\") + older);
    const long long changes =
        CountChanges([this](const Faults& f) { return Restore(SmallSet(), f); });
    ASSERT_GT(changes, undoChanges + 10);
    // The counting run restored everything: the user's files come back for the kills.
    PutBack(saved);

    // A few changes of slack at the end of the undo set (its flush, the chooser's own).
    const long long restoreStarts = undoChanges - 5;
    for (long long point = 1; point <= changes; point += point < restoreStarts ? 7 : 1) {
        SCOPED_TRACE(
            QStringLiteral("killed before change %1 of %2").arg(point).arg(changes).toStdString());
        // Each kill meets the user's files as they were; stale temporary files stay.
        PutBack(saved);
        const RunResult result = Restore(SmallSet(), KillAt(point));
        const Snapshot after = SeenDrive();
        // The old boot script is taken out before the registry files are staged and the new
        // one written once all are: in between there is none, which is what keeps a killed
        // restore from starting Windows with half a registry.
        const QStringList problems = RestoreProblems(original, after, outcomes, !result.killed,
                                                     {QStringLiteral("WINDOWS/WinStart.Bat")});
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        ExpectSettingsValid(after);
        // A run that made fewer changes than the counted one finished before its kill point.
        if (result.killed) {
            EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
                      QString());
        } else {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
        }
    }

    // Stale temporary files or not, the next restore puts everything in place.
    const RunResult result = Restore(SmallSet());
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    const QStringList problems = RestoreProblems(original, SeenDrive(), outcomes, true);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + SmallSet());
}

TEST_F(RestoreKills, the_boot_script_killed_at_any_change_leaves_whole_registry_files) {
    const RunResult restored = Restore(older);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    const Snapshot staged = TakeSnapshot(World().Drive());
    QStringList stagedFiles;
    QMap<QString, Outcome> registry;
    for (const char* name : {"SYSTEM.DAT", "SYSTEM.DA0", "USER.DAT", "USER.DA0"}) {
        stagedFiles.append(QStringLiteral("Stowix/") + name);
        Outcome& outcome = registry[QStringLiteral("WINDOWS/") + name];
        outcome.final = staged.value(QStringLiteral("Stowix/") + name).digest;
        outcome.allowed = {outcome.final, staged.value(QStringLiteral("WINDOWS/") + name).digest};
    }
    const SavedFiles saved = Save(stagedFiles + registry.keys());
    const long long changes = CountChanges([this](const Faults& f) { return World().Boot(f); });
    ASSERT_GT(changes, 4);
    PutBack(saved);

    // Every change but inside the large copies, where one 64 KiB step is much like the next.
    const long long step = std::max<long long>(1, changes / 24);
    for (long long point = 1; point <= changes; point += step) {
        SCOPED_TRACE(
            QStringLiteral("killed before change %1 of %2").arg(point).arg(changes).toStdString());
        const RunResult boot = World().Boot(KillAt(point));
        // Files put back without their attributes spare the script a change or two, so the
        // last points may find it done.
        if (!boot.killed) {
            EXPECT_TRUE(boot.Ended(0)) << boot.Describe();
        }
        const QStringList problems =
            RestoreProblems(staged, SeenDrive(), registry, false, {QStringLiteral("Stowix/")});
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        // Windows starts again: whatever is still staged is put in place now.
        const RunResult later = World().Boot();
        EXPECT_TRUE(later.Ended(0)) << later.Describe();
        const QStringList afterBoot =
            RestoreProblems(staged, SeenDrive(), registry, false, {QStringLiteral("Stowix/")});
        EXPECT_TRUE(afterBoot.isEmpty()) << afterBoot.join(u'\n').toStdString();
        PutBack(saved);
    }
}

// Kills from outside at random moments, on a drive large enough that they land inside copies.
class TimedKills : public KillTest {
protected:
    void SetUp() override {
        FaultWorld::DriveOptions options;
        options.systemDatMegabytes = 16;
        options.extraIniFiles = 300;
        Start(options);
    }

    // Kill moments spread over a run that takes wholeMs, the same on every test run.
    static std::vector<int> Moments(qint64 wholeMs, int count) {
        std::mt19937 random(19991105);
        std::vector<int> moments;
        for (int i = 0; i < count; ++i)
            moments.push_back(int(wholeMs * (10 + random() % 80) / 100));
        return moments;
    }
};

TEST_F(TimedKills, a_backup_killed_at_random_moments_leaves_whole_files) {
    QElapsedTimer clock;
    clock.start();
    const RunResult whole = Backup();
    const qint64 wholeMs = clock.elapsed();
    ASSERT_TRUE(whole.Ended(0)) << whole.Describe();
    SetAside();
    World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                         QStringLiteral("C:\\Stowix\\") + older);

    for (int moment : Moments(wholeMs, 3)) {
        SCOPED_TRACE(
            QStringLiteral("killed after %1 ms of %2").arg(moment).arg(wholeMs).toStdString());
        RunOptions options = UnattendedRun();
        options.killAfterMs = moment;
        const RunResult result = World().Stowix(options);
        // A run that ended before its moment came must simply have worked.
        if (result.killed) {
            ExpectBackupContained();
        } else {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
        }
        SetAside();
        World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                             QStringLiteral("C:\\Stowix\\") + older);
    }
    ExpectLaterBackupWorks();
}

TEST_F(TimedKills, a_restore_killed_at_random_moments_leaves_every_file_old_or_restored) {
    STOWIX_NEEDS_DISPLAY();
    const QMap<QString, Outcome> outcomes = RestoreOutcomes(
        original, older, QStringLiteral("WINDOWS"), BootScript(QStringLiteral("C:\\WINDOWS")));
    QElapsedTimer clock;
    clock.start();
    const RunResult whole = Restore(older);
    const qint64 wholeMs = clock.elapsed();
    ASSERT_TRUE(whole.Ended(0)) << whole.Describe();

    for (int moment : Moments(wholeMs, 2)) {
        SCOPED_TRACE(
            QStringLiteral("killed after %1 ms of %2").arg(moment).arg(wholeMs).toStdString());
        RunOptions options;
        options.robot = FaultWorld::RestoreSteps(older);
        options.killAfterMs = moment;
        const RunResult result = World().Stowix(options);
        const Snapshot after = SeenDrive();
        const QStringList problems = RestoreProblems(original, after, outcomes, false);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        ExpectSettingsValid(after);
    }
}

}  // namespace
}  // namespace stowix::test
