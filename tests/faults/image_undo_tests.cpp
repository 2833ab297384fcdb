// Inside a disk image: a restore is undone by restoring its " before restore" set, through the
// real windows, and the next start of Windows (stowix-boot) puts the registry back; and a nearly
// full image is never filled: a backup that would not leave the floor of free space is not
// begun, and a restore with room for itself but not for its undo set asks first. Every image is
// read back by mtools and checked by fsck.fat.

#include "image_program_fixture.h"

#include "registry_file_writer.h"
#include "support/changed_registry.h"

namespace stowix::test {
namespace {

class ImageUndo : public ImageProgram {
protected:
    // The user's files as they are now.
    QMap<QString, QByteArray> UserFiles() {
        QMap<QString, QByteArray> files;
        for (const auto& source : ImageSetSources)
            files.insert(QLatin1String(source[1]), Bytes(QLatin1String(source[1])));
        return files;
    }
    RunResult Restore(const QString& set, const QString& answer = QStringLiteral("No")) {
        RunOptions options;
        options.robot = {
            QStringLiteral("click Form1.Command2"), QStringLiteral("open C:\\Stowix\\") + set,
            QStringLiteral("answer Yes"),           QStringLiteral("answer ") + answer,
            QStringLiteral("click Form2.Command1"), QStringLiteral("click Form1.Command3")};
        return world->Stowix(options);
    }
    // The bytes of the set's files whose names match suffix ("" for all of them).
    qint64 SetBytes(const QString& set, const QString& suffix = QString()) {
        qint64 total = 0;
        const QString folder = QStringLiteral("Stowix\\") + set;
        for (const QString& name : image->Names(folder))
            if (name.toUpper().contains(suffix)) total += Bytes(folder + u'\\' + name).size();
        return total;
    }
    // A file that leaves the volume with about this many bytes free.
    void FillUpTo(qint64 free, const QString& name) {
        const qint64 filler = image->FreeBytes() - free;
        ASSERT_GT(filler, 0);
        image->AddFile(name, QByteArray(filler, '\0'));
    }
};

TEST_F(ImageUndo, restoring_the_before_restore_set_brings_back_every_file) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), "changed by the user", 0x20);
    image->AddFile(QStringLiteral("AUTOEXEC.BAT"), "@Echo changed by the user\r\n", 0x20);
    // A registry changed by an installer, sound, so that restoring the undo set asks nothing more.
    image->AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"),
                   tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes, 0x27);
    const QMap<QString, QByteArray> changed = UserFiles();

    const RunResult restored = Restore(set);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    ASSERT_TRUE(world->Boot().Ended(0));
    EXPECT_EQ(Bytes(QStringLiteral("WINDOWS\\SYSTEM.DAT")),
              originals.value(QStringLiteral("WINDOWS\\SYSTEM.DAT")));
    QStringList undoSets = Sets();
    undoSets.removeAll(set);
    ASSERT_EQ(undoSets.size(), 1) << Sets().join(u',').toStdString();
    const QString undo = undoSets.first();
    EXPECT_TRUE(undo.endsWith(QLatin1String(" before restore"))) << undo.toStdString();

    const RunResult undone = Restore(undo);
    ASSERT_TRUE(undone.Ended(0)) << undone.Describe();
    ASSERT_TRUE(world->Boot().Ended(0));
    EXPECT_EQ(UserFiles(), changed);
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + undo);
    ExpectClean();
}

TEST_F(ImageUndo, a_nearly_full_image_is_not_filled_by_a_restore_or_a_backup) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    const QMap<QString, QByteArray> before = UserFiles();
    constexpr qint64 Floor = qint64(64) << 20;  // the default
    // Room for the floor, the registry the restore stages and half of the set that would keep
    // what it replaces: the restore asks, and "No" leaves every file as it was.
    const qint64 staged = SetBytes(set, QStringLiteral(".DA"));
    const qint64 whole = SetBytes(set);
    FillUpTo(Floor + staged + whole / 2, QStringLiteral("FILLER1.BIN"));
    const RunResult restore = Restore(set);
    EXPECT_TRUE(restore.Ended(0)) << restore.Describe();
    EXPECT_TRUE(restore.errors.contains(QLatin1String("box [Restore Without Undo]")) &&
                restore.errors.contains(QLatin1String(" free, and ")))
        << restore.Describe();
    EXPECT_EQ(UserFiles(), before);
    EXPECT_EQ(Sets(), QStringList{set});
    ExpectClean();

    // Room for the floor and half a set: a backup is not begun.
    FillUpTo(Floor + whole / 2, QStringLiteral("FILLER2.BIN"));
    const RunResult backup = Backup();
    EXPECT_TRUE(backup.Ended(3)) << backup.Describe();
    EXPECT_TRUE(backup.errors.contains(QLatin1String("Not enough free space")) &&
                backup.errors.contains(QLatin1String("64.0 MB that stay free")))
        << backup.Describe();
    EXPECT_EQ(Sets(), QStringList{set});
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + set);
    ExpectClean();
}

}  // namespace
}  // namespace stowix::test
