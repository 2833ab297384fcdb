// The restore, chosen in the real folder chooser, and the boot stand-in that finishes it, when
// the host fails under them: a disk that fills up, a file that cannot be read. Every file of the
// drive must be left with its old bytes or its restored ones, whole; the user must be told what
// was not restored; nothing is recorded as restored that was not; and the next restore works.

#include "fault_fixture.h"

#include <QFile>

namespace stowix::test {
namespace {

class RestoreFaults : public FaultTest {
protected:
    void SetUp() override {
        STOWIX_NEEDS_DISPLAY();
        Start();
        // What the user changed since the older set, so that a restore has something to undo.
        for (const char* path : {"WINDOWS/WIN.INI", "WINDOWS/SYSTEM.INI", "AUTOEXEC.BAT",
                                 "WINDOWS/SYSTEM.DAT", "WINDOWS/USER.DAT"})
            Scribble(QString::fromLatin1(path));
        Remember();
        outcomes = RestoreOutcomes(original, older, QStringLiteral("WINDOWS"),
                                   BootScript(QStringLiteral("C:\\WINDOWS")));
    }

    void Scribble(const QString& path) {
        QFile file(World().Drive() + u'/' + path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write("changed by the user");
    }

    // After a restore that could not finish: every file old or restored, the user told, and
    // nothing recorded.
    void ExpectRestoreContained(const RunResult& result, const char* reason) {
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("box [Restore incomplete]")) &&
                    result.errors.contains(QLatin1String(reason)))
            << result.Describe();
        const Snapshot after = SeenDrive();
        const QStringList problems = RestoreProblems(original, after, outcomes, false);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        ExpectSettingsValid(after);
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
                  QString());
    }

    // A restore without faults now puts everything in place, and the next start of Windows (the
    // boot stand-in) moves the registry files into the Windows folder.
    void ExpectLaterRestoreWorks() {
        const RunResult result = Restore(older);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        EXPECT_FALSE(result.errors.contains(QLatin1String("Restore incomplete")))
            << result.Describe();
        const Snapshot after = SeenDrive();
        const QStringList problems = RestoreProblems(original, after, outcomes, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
                  QStringLiteral("C:\\Stowix\\") + older);

        const RunResult boot = World().Boot();
        EXPECT_TRUE(boot.Ended(0)) << boot.Describe();
        const Snapshot booted = TakeSnapshot(World().Drive());
        for (const char* name : {"SYSTEM.DAT", "SYSTEM.DA0", "USER.DAT", "USER.DA0"}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(booted.value(QStringLiteral("WINDOWS/") + name),
                      original.value(QStringLiteral("Stowix/") + older + u'/' + name));
            EXPECT_FALSE(booted.contains(QStringLiteral("Stowix/") + name));
        }
    }

    QMap<QString, Outcome> outcomes;
};

// The bytes that a whole restore of the older set writes.
qint64 BytesOfARestore(const Snapshot& drive, const QString& setName) {
    qint64 total = 0;
    const QString folder = QStringLiteral("Stowix/") + setName + u'/';
    for (auto it = drive.begin(); it != drive.end(); ++it)
        if (it.key().startsWith(folder)) total += it.value().size;
    return total;
}

TEST_F(RestoreFaults, a_disk_that_fills_up_leaves_every_file_old_or_restored) {
    const qint64 whole = BytesOfARestore(original, older);

    const struct {
        const char* when;
        qint64 bytes;
    } cases[] = {
        {"before the first byte", 0},
        {"after the start-up files", 50'000},
        {"while staging the registry", whole - 1'000'000},
        {"just before the end", whole - 1'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        Faults faults;
        // The set that keeps what the restore replaces is written first, whole, from the drive
        // as it is now: the disk fills up inside the restore's own copies.
        const Snapshot now = TakeSnapshot(World().Drive());
        const qint64 undo = BytesOfAWholeBackup(BackupSources(now, QStringLiteral("WINDOWS"))) +
                            BytesOfSetRecords(now, older);
        faults.fullAfterBytes = undo + c.bytes;
        ExpectRestoreContained(Restore(older, faults), "No space left on device");
    }
    ExpectLaterRestoreWorks();
}

TEST_F(RestoreFaults, a_file_of_the_set_that_cannot_be_read_is_reported_and_the_rest_restored) {
    Faults faults;
    faults.unreadableSuffix = older + QStringLiteral("/SYSTEM.INI");
    const RunResult result = Restore(older, faults);
    ExpectRestoreContained(result, "SYSTEM.INI");

    // Everything else is in place; SYSTEM.INI kept the user's bytes.
    QMap<QString, Outcome> others = outcomes;
    others.remove(QStringLiteral("WINDOWS/SYSTEM.INI"));
    const QStringList problems = RestoreProblems(original, SeenDrive(), others, true);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    ExpectLaterRestoreWorks();
}

// The next start of Windows with a failing disk: the registry files in the Windows folder stay
// whole, old or new, and stowix-boot says that commands failed.
TEST_F(RestoreFaults, the_boot_script_on_a_failing_disk_leaves_whole_registry_files) {
    const RunResult restored = Restore(older);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    const Snapshot staged = TakeSnapshot(World().Drive());

    QMap<QString, Outcome> registry;
    for (const char* name : {"SYSTEM.DAT", "SYSTEM.DA0", "USER.DAT", "USER.DA0"}) {
        Outcome& outcome = registry[QStringLiteral("WINDOWS/") + name];
        outcome.final = staged.value(QStringLiteral("Stowix/") + name).digest;
        outcome.allowed = {outcome.final, staged.value(QStringLiteral("WINDOWS/") + name).digest};
    }
    const struct {
        const char* fault;
        Faults faults;
    } cases[] = {
        {"disk full at once",
         [] {
             Faults f;
             f.fullAfterBytes = 0;
             return f;
         }()},
        {"disk full inside SYSTEM.DAT",
         [] {
             Faults f;
             f.fullAfterBytes = 1'000'000;
             return f;
         }()},
        {"staged SYSTEM.DAT unreadable",
         [] {
             Faults f;
             f.unreadableSuffix = QStringLiteral("Stowix/SYSTEM.DAT");
             return f;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const RunResult boot = World().Boot(c.faults);
        EXPECT_TRUE(boot.Ended(IncompleteStatus)) << boot.Describe();
        EXPECT_TRUE(boot.errors.contains(QLatin1String("failed"))) << boot.Describe();
        // The script deletes the staged files whether or not its copy worked, as on Windows.
        const QStringList problems =
            RestoreProblems(staged, SeenDrive(), registry, false, {QStringLiteral("Stowix/")});
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();

        const RunResult later = World().Boot();
        EXPECT_TRUE(later.Ended(0)) << later.Describe();
        // Staged again for the next case, as a second restore would.
        const RunResult again = Restore(older);
        ASSERT_TRUE(again.Ended(0)) << again.Describe();
    }
}

}  // namespace
}  // namespace stowix::test
