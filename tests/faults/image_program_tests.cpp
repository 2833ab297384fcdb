// The whole program with drive C: a disk image (an MBR disk with one FAT32 partition made by
// mtools): the unattended backup, restore and delete through the real windows, stowix-boot and
// stowix-dir, each read back by mtools and checked by fsck.fat; the boot script's copies between
// the image and a folder drive; kills at the image writes of a backup, a restore and the boot
// script, after which fsck.fat finds at worst lost clusters (and copies of the table that differ
// while the first is intact) and no file of the user is lost; and an image another program
// writes, refused and left as it was.

#include "image_program_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <sys/xattr.h>

#include <random>

namespace stowix::test {
namespace {

TEST_F(ImageProgram, an_unattended_backup_and_stowix_dir_work_inside_the_image) {
    const RunResult result = Backup();
    ASSERT_TRUE(result.Ended(0)) << result.Describe();
    const QStringList sets = Sets();
    ASSERT_EQ(sets.size(), 1) << sets.join(u',').toStdString();
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + sets[0]);
    const QStringList problems = SetProblems(sets[0], true);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    // The hidden system registry keeps its attributes in the set, as the program gives them.
    EXPECT_EQ(
        image->Attributes(QStringLiteral("Stowix\\") + sets[0] + QStringLiteral("\\IO.SYS")) & 0x07,
        image->Attributes(QStringLiteral("IO.SYS")) & 0x07);
    EXPECT_TRUE(UserFileProblems().isEmpty());
    ExpectClean();
    const QStringList listed = world->ListedNames(QStringLiteral("C:\\Stowix\\") + sets[0]);
    EXPECT_TRUE(listed.contains(QStringLiteral("SYSTEM.DAT"))) << listed.join(u',').toStdString();
}

TEST_F(ImageProgram, a_restore_and_the_boot_script_work_inside_the_image) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    const QByteArray winIni = Bytes(QStringLiteral("WINDOWS\\WIN.INI"));
    image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), "changed by the user", 0x20);

    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(set);
    const RunResult restored = world->Stowix(options);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    EXPECT_EQ(Bytes(QStringLiteral("WINDOWS\\WIN.INI")), winIni);
    EXPECT_TRUE(image->Names(QStringLiteral("WINDOWS"))
                    .contains(QStringLiteral("WinStart.Bat"), Qt::CaseInsensitive));
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + set);
    ExpectClean();

    const RunResult booted = world->Boot();
    EXPECT_TRUE(booted.Ended(0)) << booted.Describe();
    EXPECT_EQ(Bytes(QStringLiteral("WINDOWS\\SYSTEM.DAT")),
              originals.value(QStringLiteral("WINDOWS\\SYSTEM.DAT")));
    EXPECT_TRUE(UserFileProblems().isEmpty()) << UserFileProblems().join(u'\n').toStdString();
    ExpectClean();
}

TEST_F(ImageProgram, a_set_inside_the_image_is_deleted_through_the_window) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    RunOptions options;
    options.robot = FaultWorld::DeleteSteps(set);
    const RunResult deleted = world->Stowix(options);
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_TRUE(Sets().isEmpty()) << Sets().join(u',').toStdString();
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")),
              QStringLiteral("C:\\Stowix\\") + set);
    EXPECT_TRUE(UserFileProblems().isEmpty());
    ExpectClean();
}

// Kills at the writes of a run to the image: the fault shim counts each write to the image file
// (pwrite and copy_file_range, at most 64 KiB a step) and each flush of it, and the program dies
// before the chosen one. Every one of a run's writes is tried, each from the same image. After
// it, fsck.fat -n may find lost clusters and, for a kill between the writes of the table's two
// copies, copies that differ while the first is intact (which the engine then refuses to write
// to until the user has checked the volume); nothing worse. No file that was there is lost or
// cut: each is as it was or wholly new. The drive has small registries, so that a run makes some
// 150 writes rather than thousands, and the kill points fall among its folders and entries.
class ImageKills : public ImageProgram {
protected:
    ImageKills() { driveOptions.systemDatMegabytes = 0; }
};

TEST_F(ImageKills, a_backup_killed_at_its_writes_leaves_whole_files_and_a_sound_volume) {
    // An older set that every kill must leave whole.
    ASSERT_TRUE(Backup().Ended(0));
    const QString older = Sets().value(0);
    ASSERT_FALSE(older.isEmpty());
    const QString recorded = world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
    const QString pristine = Save(QStringLiteral("pristine.img"));
    const long long changes = CountChanges([this](const Faults& f) { return Backup(f); });
    ASSERT_GT(changes, 20);
    for (long long point = 1; point <= changes; ++point) {
        SCOPED_TRACE(
            QStringLiteral("killed before write %1 of %2").arg(point).arg(changes).toStdString());
        PutBack(pristine);
        world->WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"), recorded);
        Faults faults;
        faults.killAt = point;
        const RunResult result = Backup(faults);
        if (!result.killed) {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
            continue;
        }
        // A kill after the set was recorded falls while the volume is marked clean again: the
        // set is then whole.
        const QString now = world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
        if (now != recorded) {
            EXPECT_TRUE(SetProblems(now.mid(10), true).isEmpty()) << now.toStdString();
        }
        const QString damage = image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        QStringList problems = UserFileProblems();
        for (const QString& set : Sets()) problems += SetProblems(set, set == older);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        if (HasFailure()) break;  // one point's report is enough to go on
    }
    // After the last kill, checked as a user would check it, the next backup works.
    if (!image->FsckProblems().isEmpty()) image->FsckRepair();
    const RunResult later = Backup();
    EXPECT_TRUE(later.Ended(0)) << later.Describe();
    const QString made = world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
    EXPECT_NE(made, recorded);
    EXPECT_TRUE(SetProblems(made.mid(10), true).isEmpty());
    ExpectClean();
}

TEST_F(ImageKills, a_restore_killed_at_its_writes_leaves_every_file_old_or_restored) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    // The user's changes since, which the restore undoes.
    image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), "changed by the user", 0x20);
    image->AddFile(QStringLiteral("AUTOEXEC.BAT"), "@Echo changed by the user\r\n", 0x20);
    QMap<QString, QByteArray> before;
    for (const auto& source : ImageSetSources)
        before.insert(QLatin1String(source[1]), Bytes(QLatin1String(source[1])));
    const QString pristine = Save(QStringLiteral("pristine.img"));
    const auto restore = [&](const Faults& faults) {
        RunOptions options;
        options.robot = FaultWorld::RestoreSteps(set);
        options.faults = faults;
        return world->Stowix(options);
    };
    // A restore first keeps the drive's configuration in a set of its own, written as a backup
    // writes one: the backup's kill test tries each of those writes, so here they are sampled,
    // and every write of the restore's own work is a kill point.
    const long long undoChanges =
        CountChanges([&](const Faults& faults) { return Backup(faults); });
    const long long changes = CountChanges(restore);
    ASSERT_GT(changes, undoChanges + 5);
    const long long restoreStarts = undoChanges - 5;  // slack for the undo set's flush
    for (long long point = 1; point <= changes; point += point < restoreStarts ? 7 : 1) {
        SCOPED_TRACE(
            QStringLiteral("killed before write %1 of %2").arg(point).arg(changes).toStdString());
        PutBack(pristine);
        world->WriteSetting(QStringLiteral("Info"), QStringLiteral("LastRestore"), QString());
        Faults faults;
        faults.killAt = point;
        const RunResult result = restore(faults);
        if (result.killed) {
            // Recorded only when the kill fell while the volume was marked clean again, after
            // every file was restored.
            if (!world->Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")).isEmpty()) {
                for (const auto& source : ImageSetSources) {
                    const QString path = QLatin1String(source[1]);
                    if (!path.endsWith(QStringLiteral(".DAT"))) {
                        EXPECT_EQ(Bytes(path), originals.value(path)) << path.toStdString();
                    }
                }
            }
        } else {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
        }
        const QString damage = image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        // Each file the restore puts back is the user's or the set's, whole; the registry is only
        // staged (the boot script puts it in place), and the set itself is never written.
        QStringList problems = SetProblems(set, true);
        for (const auto& source : ImageSetSources) {
            const QString path = QLatin1String(source[1]);
            const QByteArray now = Bytes(path);
            const bool registry = path.endsWith(QStringLiteral(".DAT"));
            if (now != before.value(path) && (registry || now != originals.value(path)))
                problems.append(path + QStringLiteral(" is neither the user's nor the set's"));
        }
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        if (HasFailure()) break;
    }
}

TEST_F(ImageKills, the_boot_script_killed_at_its_writes_leaves_whole_registry_files) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set = Sets().value(0);
    ASSERT_FALSE(set.isEmpty());
    // A registry changed since, so that the boot script's copies change something.
    const QByteArray changedUser = originals.value(QStringLiteral("WINDOWS\\USER.DAT")) + "more";
    image->AddFile(QStringLiteral("WINDOWS\\USER.DAT"), changedUser, 0x23);
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(set);
    const RunResult restored = world->Stowix(options);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    const QString staged = Save(QStringLiteral("staged.img"));
    const long long changes = CountChanges([this](const Faults& f) { return world->Boot(f); });
    ASSERT_GT(changes, 4);
    const QMap<QString, QList<QByteArray>> allowed = {
        {QStringLiteral("WINDOWS\\USER.DAT"),
         {changedUser, originals.value(QStringLiteral("WINDOWS\\USER.DAT"))}},
        {QStringLiteral("WINDOWS\\SYSTEM.DAT"),
         {originals.value(QStringLiteral("WINDOWS\\SYSTEM.DAT"))}},
    };
    const auto registryProblems = [&] {
        QStringList problems;
        for (auto it = allowed.begin(); it != allowed.end(); ++it) {
            if (!it.value().contains(Bytes(it.key())))
                problems.append(it.key() + QStringLiteral(" is not a whole registry file"));
        }
        return problems;
    };
    for (long long point = 1; point <= changes; ++point) {
        SCOPED_TRACE(
            QStringLiteral("killed before write %1 of %2").arg(point).arg(changes).toStdString());
        PutBack(staged);
        Faults faults;
        faults.killAt = point;
        const RunResult boot = world->Boot(faults);
        if (!boot.killed) {
            EXPECT_TRUE(boot.Ended(0)) << boot.Describe();
        }
        const QString damage = image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        const QStringList problems = registryProblems();
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        if (HasFailure()) break;
    }
    // Windows starts again once the user has checked the volume: what is still staged goes in.
    if (!image->FsckProblems().isEmpty()) image->FsckRepair();
    const RunResult later = world->Boot();
    EXPECT_TRUE(later.Ended(0)) << later.Describe();
    EXPECT_EQ(Bytes(QStringLiteral("WINDOWS\\USER.DAT")),
              originals.value(QStringLiteral("WINDOWS\\USER.DAT")));
    ExpectClean();
}

// The boot script's Copy between drive C: and a drive D: kept the other way (a folder when C: is
// an image, an image when C: is a folder), in both directions, then Attrib on the copy: bytes,
// attributes and last-write times read back by mtools and on the host, the image judged by
// fsck.fat.
struct CrossDriveSides {
    QString folder;      // the folder drive's host folder
    MtoolsImage* image;  // the image drive
    QChar folderLetter;
    QChar imageLetter;
};

const QByteArray CrossRegistry = QByteArray(150 * 1024, 'r') + "registry end";
const QByteArray CrossIni = "[boot]\r\nshell=Explorer.exe\r\n";
const QDateTime CrossRegistryTime(QDate(2000, 2, 29), QTime(12, 34, 56), Qt::UTC);
const QDateTime CrossIniTime(QDate(1998, 12, 24), QTime(18, 0, 0), Qt::UTC);

// The files the script copies: FROM\SYSTEM.DAT on the folder drive, FROM\SYSTEM.INI on the image.
void PutCrossDriveSources(const CrossDriveSides& sides) {
    QDir().mkpath(sides.folder + QStringLiteral("/FROM"));
    QFile file(sides.folder + QStringLiteral("/FROM/SYSTEM.DAT"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(CrossRegistry);
    ASSERT_TRUE(file.flush());
    ASSERT_TRUE(file.setFileTime(CrossRegistryTime, QFileDevice::FileModificationTime));
    sides.image->AddFolder(QStringLiteral("FROM"));
    sides.image->AddFile(QStringLiteral("FROM\\SYSTEM.INI"), CrossIni, 0x21, CrossIniTime);
}

QByteArray CrossDriveScript(const CrossDriveSides& sides) {
    const QString f = QString(sides.folderLetter);
    const QString i = QString(sides.imageLetter);
    return (QStringLiteral("@Echo Off\r\n") +
            QStringLiteral("Copy %1:\\FROM\\SYSTEM.DAT %2:\\SYSTEM.NEW\r\n").arg(f, i) +
            QStringLiteral("Attrib +R %1:\\SYSTEM.NEW\r\n").arg(i) +
            QStringLiteral("Copy %1:\\FROM\\SYSTEM.INI %2:\\SYSTEM.INI\r\n").arg(i, f))
        .toLatin1();
}

void ExpectCrossDriveCopies(const CrossDriveSides& sides) {
    // Copy gives the copy the archive bit alone and keeps the source's last-write time.
    EXPECT_EQ(sides.image->Bytes(QStringLiteral("SYSTEM.NEW")), CrossRegistry);
    EXPECT_EQ(sides.image->Attributes(QStringLiteral("SYSTEM.NEW")), 0x21);
    EXPECT_EQ(sides.image->Modified(QStringLiteral("SYSTEM.NEW")), CrossRegistryTime);
    QFile copy(sides.folder + QStringLiteral("/SYSTEM.INI"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), CrossIni);
    EXPECT_EQ(QFileInfo(copy).lastModified().toUTC(), CrossIniTime);
    char stored[32] = {};
    const ssize_t length = ::getxattr(copy.fileName().toLocal8Bit().constData(), "user.DOSATTRIB",
                                      stored, sizeof stored - 1);
    EXPECT_EQ(QByteArray(stored, int(std::max<ssize_t>(length, 0))), QByteArray("0x20"));
    // Nothing half-written or temporary beside them.
    EXPECT_EQ(QDir(sides.folder)
                  .entryList({QStringLiteral("*SYSTEM*"), QStringLiteral(".*")},
                             QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("SYSTEM.INI")});
    const QString problems = sides.image->FsckProblems();
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
}

TEST_F(ImageProgram, the_boot_script_copies_between_the_image_and_a_folder_drive) {
    const QString folder = world->Root() + QStringLiteral("/d");
    const CrossDriveSides sides{folder, &*image, u'D', u'C'};
    PutCrossDriveSources(sides);
    image->AddFile(QStringLiteral("WINDOWS\\WinStart.Bat"), CrossDriveScript(sides), 0x20);
    RunOptions options;
    options.environment.insert(QStringLiteral("STOWIX_DRIVE_D"), folder);
    const RunResult booted = world->Tool(QStringLiteral("stowix-boot"), options);
    ASSERT_TRUE(booted.Ended(0)) << booted.Describe();
    ExpectCrossDriveCopies(sides);
    EXPECT_TRUE(UserFileProblems().isEmpty()) << UserFileProblems().join(u'\n').toStdString();
}

TEST(ImageDriveD, the_boot_script_copies_between_a_folder_drive_c_and_an_image) {
    FaultWorld world;
    MtoolsImage driveD({16, 16, ImageSpec::Layout::Bare});
    const CrossDriveSides sides{world.Drive(), &driveD, u'C', u'D'};
    PutCrossDriveSources(sides);
    QFile script(world.Drive() + QStringLiteral("/WINDOWS/WinStart.Bat"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(CrossDriveScript(sides));
    script.close();
    RunOptions options;
    options.environment.insert(QStringLiteral("STOWIX_DRIVE_D"), driveD.Path());
    const RunResult booted = world.Tool(QStringLiteral("stowix-boot"), options);
    ASSERT_TRUE(booted.Ended(0)) << booted.Describe();
    ExpectCrossDriveCopies(sides);
}

TEST_F(ImageProgram, an_image_another_program_writes_is_refused_and_left_alone) {
    const QByteArray before = FileDigest(imagePath);
    QProcess holder;
    holder.start(QStringLiteral("sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3<>\"$0\"; echo ready; exec sleep 60"),
                  imagePath});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ::usleep(200000);
    const RunResult result = Backup();
    EXPECT_FALSE(result.Ended(0)) << result.Describe();
    EXPECT_TRUE(QString(result.errors + result.output).contains(QStringLiteral("sleep (process")))
        << result.Describe();
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(FileDigest(imagePath), before);
}

}  // namespace
}  // namespace stowix::test
