// Undoing a restore through the real windows on a folder drive: a restore keeps the drive's
// configuration in a set named " before restore" first, and restoring that set (with the next
// start of Windows, stowix-boot) brings every file back byte for byte, the registry included.
// When that set cannot be made the user is asked, and "No" leaves every file as it was. A drive
// too full for the restore is refused before anything is written.

#include "fault_fixture.h"

#include "registry_file_writer.h"
#include "support/changed_registry.h"

#include <QFile>

namespace stowix::test {
namespace {

// The robot's steps that restore a set, confirm it, and answer the next question as told.
QStringList RestoreAnswering(const QString& setName, const QString& answer) {
    return {QStringLiteral("click Form1.Command2"), QStringLiteral("open C:\\Stowix\\") + setName,
            QStringLiteral("answer Yes"),           QStringLiteral("answer ") + answer,
            QStringLiteral("click Form2.Command1"), QStringLiteral("click Form1.Command3")};
}

class UndoRestore : public FaultTest {
protected:
    virtual FaultWorld::DriveOptions WorldOptions() { return {}; }

    void SetUp() override {
        STOWIX_NEEDS_DISPLAY();
        Start(WorldOptions());
        if (!World().MountError().isEmpty())
            GTEST_SKIP() << "no file system of its own can be mounted here: "
                         << World().MountError().toStdString();
        // What the user changed since the older set: the restore takes it back, the undo
        // brings it again.
        for (const char* path : {"WINDOWS/WIN.INI", "AUTOEXEC.BAT"}) {
            QFile file(World().Drive() + u'/' + QLatin1String(path));
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("changed by the user\r\n");
        }
        // A registry an installer changed, sound, so that restoring the undo set asks nothing
        // more than a restore does.
        QFile systemDat(World().Drive() + QStringLiteral("/WINDOWS/SYSTEM.DAT"));
        ASSERT_TRUE(systemDat.open(QIODevice::WriteOnly | QIODevice::Truncate));
        systemDat.write(tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes);
        systemDat.close();
        Remember();
    }

    // The drive's configuration: every file outside the backup root, but for the boot script
    // that every restore writes anew (it is how the registry comes back).
    static Snapshot Configuration(Snapshot drive) {
        for (const QString& path : drive.keys())
            if (path.startsWith(QLatin1String("Stowix/")) ||
                path.compare(QLatin1String("WINDOWS/WINSTART.BAT"), Qt::CaseInsensitive) == 0)
                drive.remove(path);
        return drive;
    }
};

TEST_F(UndoRestore, restoring_the_before_restore_set_brings_back_every_file) {
    const Snapshot changed = Configuration(original);
    const RunResult restored = Restore(older);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    ASSERT_TRUE(World().Boot().Ended(0));
    ASSERT_NE(Configuration(TakeSnapshot(World().Drive())), changed);

    const QString undo = World().NewSet(setsBefore);
    ASSERT_TRUE(undo.endsWith(QLatin1String(" before restore"))) << undo.toStdString();
    // The set is not the user's backup.
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + older);

    const RunResult undone = Restore(undo);
    ASSERT_TRUE(undone.Ended(0)) << undone.Describe();
    EXPECT_FALSE(undone.errors.contains(QLatin1String("Restore incomplete"))) << undone.Describe();
    ASSERT_TRUE(World().Boot().Ended(0));
    // Every file is back as it was. A restore only ever copies: the set's AUTOEXEC.BAT, which a
    // restore also puts into the Windows folder (it matches "*.Bat"), stays there as the only
    // file the first restore added where there was none.
    ASSERT_FALSE(changed.contains(QStringLiteral("WINDOWS/AUTOEXEC.BAT")));
    const QStringList differ = ChangedFiles(changed, Configuration(TakeSnapshot(World().Drive())),
                                            QString(), {QStringLiteral("WINDOWS/AUTOEXEC.BAT")});
    EXPECT_TRUE(differ.isEmpty()) << differ.join(u'\n').toStdString();
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + undo);
}

TEST_F(UndoRestore, a_full_disk_for_the_undo_set_is_a_question_and_no_leaves_every_file) {
    RunOptions options;
    options.robot = RestoreAnswering(older, QStringLiteral("No"));
    options.faults.fullAfterBytes = 100'000;
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("box [Restore Without Undo]")) &&
                result.errors.contains(QLatin1String("No space left on device")))
        << result.Describe();
    EXPECT_FALSE(result.errors.contains(QLatin1String("box [Restart Windows?]")))
        << result.Describe();
    const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString());
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
    EXPECT_EQ(World().SetNames(), setsBefore);
    EXPECT_TRUE(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")).isEmpty());
}

// Drive C: a tmpfs of its own, shrunk so that it really is nearly full, without a floor of free
// space so that the room of the restore and of the undo set is all that counts.
class UndoOnSmallDisk : public UndoRestore {
protected:
    FaultWorld::DriveOptions WorldOptions() override {
        FaultWorld::DriveOptions options;
        options.smallDiskBytes = 64 << 20;
        options.minimumFreeMb = QStringLiteral("0");
        return options;
    }
    // The bytes of the set's registry files, which the restore stages as new files.
    qint64 StagedBytes() {
        qint64 total = 0;
        const QString folder = QStringLiteral("Stowix/") + older + u'/';
        for (auto it = original.begin(); it != original.end(); ++it)
            if (it.key().startsWith(folder) && it.key().contains(QLatin1String(".DA")))
                total += it.value().size;
        return total;
    }
};

TEST_F(UndoOnSmallDisk, a_drive_too_full_for_the_undo_set_asks_and_too_full_to_restore_refuses) {
    const qint64 used = UsedBytesOf(World().Drive());
    const qint64 undo = BytesOfAWholeBackup(sources);
    const struct {
        const char* room;
        qint64 free;
        const char* box;
        const char* answer;
    } cases[] = {
        {"for the restore but not for the undo set", StagedBytes() + undo / 2,
         "box [Restore Without Undo]", "No"},
        {"not for the restore", StagedBytes() / 2, "box [Not enough free space]", "Ok"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.room);
        ASSERT_TRUE(World().ResizeSmallDisk(used + c.free));
        RunOptions options;
        options.robot = RestoreAnswering(older, QLatin1String(c.answer));
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(c.box)) &&
                    result.errors.contains(QLatin1String(" free, and ")))
            << result.Describe();
        const QStringList changed =
            ChangedFiles(original, TakeSnapshot(World().Drive()), QString());
        EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
        EXPECT_EQ(World().SetNames(), setsBefore);
    }
}

}  // namespace
}  // namespace stowix::test
