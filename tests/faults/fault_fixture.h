#pragma once
// The shared frame of the program-level fault tests: a world with an older backup set already
// made and recorded, the drive as it then was, and the checks that every fault must pass.

#include "drive_checks.h"
#include "fault_world.h"

#include <gtest/gtest.h>

#include <QDir>

#include <optional>

namespace stowix::test {

// The exit status of an unattended run whose set is incomplete or not recorded.
constexpr int IncompleteStatus = 3;

#define STOWIX_NEEDS_DISPLAY()                                                          \
    do {                                                                                \
        if (FaultWorld::Display().isEmpty())                                            \
            GTEST_SKIP() << "Xvfb is not installed: the windows cannot be driven here"; \
    } while (false)

class FaultTest : public ::testing::Test {
protected:
    // Makes the world and the older set, and remembers the drive as it then is.
    void Start(FaultWorld::DriveOptions options = {}) {
        m_world.emplace(options);
        if (!m_world->MountError().isEmpty()) return;
        older = m_world->MakeOlderSet();
        Remember();
        olderSources = sources;
    }
    // Takes the drive as it is now as the one the next run starts from.
    void Remember() {
        original = TakeSnapshot(World().Drive());
        sources = BackupSources(original, QStringLiteral("WINDOWS"));
        setsBefore = World().SetNames();
    }

    // Gives the set that the last run made a name of its own, so that the next run (perhaps in
    // the same second) makes a new one, and takes the drive as it now is. Returns that name.
    QString SetAside() {
        const QString made = World().NewSet(setsBefore);
        QString aside;
        if (!made.isEmpty()) {
            aside = QStringLiteral("set aside %1").arg(++m_setAside);
            EXPECT_TRUE(QDir(World().BackupRoot()).rename(made, aside));
        }
        Remember();
        return aside;
    }

    // Sets aside the set the last run made and records it as the last backup, in the older
    // set's place.
    void KeepAsOlder() {
        const QString aside = SetAside();
        if (aside.isEmpty()) return;
        World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                             QStringLiteral("C:\\Stowix\\") + aside);
        older = aside;
        olderSources = sources;
    }

    FaultWorld& World() { return *m_world; }

    RunResult Backup(const Faults& faults = {}) {
        RunOptions options;
        options.arguments = {QStringLiteral("/U")};
        options.faults = faults;
        return World().Stowix(options);
    }

    RunResult Restore(const QString& setName, const Faults& faults = {}) {
        RunOptions options;
        options.robot = FaultWorld::RestoreSteps(setName);
        options.faults = faults;
        return World().Stowix(options);
    }

    // After a backup that did not finish: the drive's own files and the older sets as they were
    // and no new file beside them, listed or not; in the new set only whole files that the backup
    // copies among those the program lists (a killed run's unlisted leftovers are never seen); the
    // settings readable and the older set still the last backup.
    void ExpectBackupContained() {
        const Snapshot after = TakeSnapshot(World().Drive());
        const QString made = World().NewSet(setsBefore);
        QStringList skip;
        if (!made.isEmpty()) skip.append(QStringLiteral("Stowix/") + made + u'/');
        const QStringList changed = ChangedFiles(original, after, QString(), skip);
        EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
        const Snapshot seen = Seen(after);
        if (!made.isEmpty()) {
            const QStringList broken = SetProblems(seen, made, sources, false);
            EXPECT_TRUE(broken.isEmpty()) << broken.join(u'\n').toStdString();
        }
        ExpectSettingsValid(seen);
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + older);
    }

    // The drive as its user sees it: without the files that appeared since the run began and that
    // the program's own listing does not show. Every file the program lists stays, so the checks
    // given this view find any leftover a user could see, whatever its name.
    Snapshot Seen(const Snapshot& after) {
        return Without(after, UnlistedFiles(World(), original, after));
    }
    Snapshot SeenDrive() { return Seen(TakeSnapshot(World().Drive())); }

    // The sets are checked against the drive they were made from: the older set against the
    // drive of its day, a later one against the drive as it now is.
    void ExpectSettingsValid(const Snapshot& after) {
        const bool recordsOlder =
            World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")) ==
            QStringLiteral("C:\\Stowix\\") + older;
        const QStringList problems =
            SettingsProblems(World(), after, recordsOlder ? olderSources : sources);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    }

    // A clean unattended run now makes a complete set and records it.
    void ExpectLaterBackupWorks() {
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        const QString recorded =
            World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
        ASSERT_TRUE(recorded.startsWith(QLatin1String("C:\\Stowix\\"))) << recorded.toStdString();
        ASSERT_NE(recorded, QStringLiteral("C:\\Stowix\\") + older);
        const Snapshot after = SeenDrive();
        const QStringList problems = SetProblems(
            after, recorded.mid(10), BackupSources(after, QStringLiteral("WINDOWS")), true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        ExpectSettingsValid(after);
    }

    std::optional<FaultWorld> m_world;
    QString older;
    SetSources olderSources;  // the drive's files when the older set was made
    Snapshot original;
    SetSources sources;
    QStringList setsBefore;

private:
    int m_setAside = 0;
};

}  // namespace stowix::test
