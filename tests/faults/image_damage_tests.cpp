// A damaged FAT volume in drive C:'s image (made by mtools, then damaged byte by byte as a crash
// or a faulty tool would, and each damage confirmed by fsck.fat): the real stowix refuses to
// write anything to it, ends with status 3 and names what is damaged with the advice to check
// it; a looping chain on a large volume is found in bounded memory; a host disk that fills up
// under a sparse image leaves the volume as consistent as a kill does; and the lost clusters a
// killed run leaves are reclaimed by the next run, which finds Stowix's own mark.

#include "image_program_fixture.h"

#include "image/fat_patch.h"

#include <QRegularExpression>

#include <functional>

namespace stowix::test {
namespace {

class ImageDamage : public ImageProgram {
protected:
    ImageDamage() { driveOptions.systemDatMegabytes = 0; }
};

struct Damage {
    const char* what;
    std::function<void(FatPatch&)> make;
    const char* says;  // the words of the message that name the damage
};

const QString WinIni = QStringLiteral("WINDOWS\\WIN.INI");

const Damage Damages[] = {
    {"a chain that loops",
     [](FatPatch& fat) {
         const std::vector<uint32_t> chain = fat.Chain(fat.FirstCluster(WinIni));
         fat.SetNext(chain.back(), chain.front());
     },
     "loops"},
    {"a chain past the last cluster",
     [](FatPatch& fat) {
         fat.SetNext(fat.Chain(fat.FirstCluster(WinIni)).back(), fat.LastCluster() + 9);
     },
     "past the volume's last cluster"},
    {"a size larger than the chain",
     [](FatPatch& fat) { fat.SetSize(WinIni, fat.Size(WinIni) + 3 * fat.ClusterBytes()); },
     "larger than its cluster chain"},
    {"a folder inside itself",
     [](FatPatch& fat) {
         fat.SetFirstCluster(QStringLiteral("WINDOWS\\INF"),
                             fat.FirstCluster(QStringLiteral("WINDOWS")));
     },
     "a folder inside itself"},
    {"a bad cluster inside a chain",
     [](FatPatch& fat) { fat.SetNext(fat.FirstCluster(WinIni), fat.BadMark()); }, "bad cluster"},
    {"a live file's cluster marked free",
     [](FatPatch& fat) {
         fat.SetNext(fat.Chain(fat.FirstCluster(QStringLiteral("WINDOWS\\USER.DAT"))).back(), 0);
     },
     "marked free"},
    {"a folder entry that names no cluster",
     [](FatPatch& fat) { fat.SetFirstCluster(QStringLiteral("STOWIX"), 0); }, "names no cluster"},
    {"a folder whose cluster reads as zeros",
     [](FatPatch& fat) { fat.ZeroCluster(fat.FirstCluster(QStringLiteral("STOWIX"))); },
     "its cluster holds no folder"},
    {"cross-linked files",
     [](FatPatch& fat) {
         const QString systemIni = QStringLiteral("WINDOWS\\SYSTEM.INI");
         fat.SetFirstCluster(systemIni, fat.FirstCluster(WinIni));
         fat.SetSize(systemIni, fat.Size(WinIni));
     },
     "cross-linked"},
};

TEST_F(ImageDamage, a_damaged_volume_is_never_written_and_the_damage_is_named) {
    ASSERT_TRUE(Backup().Ended(0));  // C:\STOWIX, for the damage done to its entry
    const QString pristine = Save(QStringLiteral("pristine.img"));
    for (const Damage& damage : Damages) {
        SCOPED_TRACE(damage.what);
        PutBack(pristine);
        FatPatch fat(*image);
        damage.make(fat);
        ASSERT_FALSE(image->FsckProblems().isEmpty()) << "fsck.fat finds no damage";
        const QByteArray before = FileDigest(imagePath);
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(damage.says))) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("fsck.fat"))) << result.Describe();
        EXPECT_EQ(FileDigest(imagePath), before) << "the damaged volume was written to";
    }
}

// The Windows folder's entry naming cluster 0 must not make the root the Windows folder.
TEST_F(ImageDamage, a_windows_folder_entry_without_a_cluster_is_not_taken_for_the_root) {
    FatPatch fat(*image);
    fat.SetFirstCluster(QStringLiteral("WINDOWS"), 0);
    const QByteArray before = FileDigest(imagePath);
    const RunResult result = Backup();
    EXPECT_FALSE(result.Ended(0)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("fsck.fat"))) << result.Describe();
    EXPECT_EQ(FileDigest(imagePath), before);
}

// Killed at its writes, a backup leaves the volume marked as Windows marks a volume in use (the
// dirty bit, for ScanDisk); the next run finds Stowix's own mark, reclaims the lost clusters and
// mends the table's copies before it writes, and leaves a volume fsck.fat finds nothing in.
TEST_F(ImageDamage, the_next_run_reclaims_what_a_killed_run_left) {
    const QString pristine = Save(QStringLiteral("pristine.img"));
    const long long changes = CountChanges([this](const Faults& f) { return Backup(f); });
    ASSERT_GT(changes, 10);
    int leftSomething = 0;
    for (long long point = 2; point <= changes; point += std::max(1LL, changes / 12)) {
        SCOPED_TRACE(
            QStringLiteral("killed before write %1 of %2").arg(point).arg(changes).toStdString());
        PutBack(pristine);
        Faults faults;
        faults.killAt = point;
        if (!Backup(faults).killed) continue;
        if (!image->FsckProblems().isEmpty()) {
            ++leftSomething;
            EXPECT_TRUE(FatPatch(*image).DirtyBitSet()) << "a killed run left no dirty bit";
        }
        const RunResult next = Backup();
        EXPECT_TRUE(next.Ended(0)) << next.Describe();
        ExpectClean();
        EXPECT_TRUE(UserFileProblems().isEmpty()) << UserFileProblems().join(u'\n').toStdString();
        if (HasFailure()) break;
    }
    EXPECT_GT(leftSomething, 0) << "no kill left lost clusters to reclaim";
}

// A dirty bit that Stowix did not set (Windows stopped without shutting down) is ScanDisk's to
// clear: the run refuses and says so.
TEST_F(ImageDamage, a_dirty_bit_stowix_did_not_set_is_left_for_scandisk) {
    FatPatch fat(*image);
    fat.SetNext(1, fat.Next(1) & ~0x08000000u);
    const QByteArray before = FileDigest(imagePath);
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("ScanDisk"))) << result.Describe();
    EXPECT_EQ(FileDigest(imagePath), before);
}

// A host disk that fills up while the boot script copies into the image: at every point it may
// fill, the volume is left with at worst lost clusters, its table's copies alike, and the next
// run (with room again) works without a check. The image is sparse, so that the table's blocks
// and the folders need room too.
TEST_F(ImageDamage, a_full_host_disk_leaves_the_volume_as_consistent_as_a_kill) {
    image->AddFile(QStringLiteral("WINDOWS\\WinStart.Bat"),
                   "Copy C:\\WINDOWS\\WIN.INI C:\\WIN.NEW\r\n"
                   "Copy C:\\WINDOWS\\SYSTEM.INI C:\\WINDOWS\\WIN.INI\r\n");
    const QString pristine = Save(QStringLiteral("pristine.img"));
    const auto [status, output] =
        RunProgram(QStringLiteral("fallocate"), {QStringLiteral("--dig-holes"), pristine});
    ASSERT_EQ(status, 0) << output.toStdString();
    long long written = 0;
    {
        PutBack(pristine);
        Faults counting;
        counting.fullPrefix = imagePath;
        counting.fullAfterBytes = 1LL << 40;
        counting.countFile = world->Root() + QStringLiteral("/changes");
        counting.bytesFile = world->Root() + QStringLiteral("/bytes");
        ASSERT_TRUE(world->Boot(counting).Ended(0));
        QFile file(counting.bytesFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        written = file.readAll().trimmed().toLongLong();
    }
    ASSERT_GT(written, 4096);
    for (long long budget = 0; budget < written; budget += 1024) {
        SCOPED_TRACE(
            QStringLiteral("full after %1 of %2 bytes").arg(budget).arg(written).toStdString());
        PutBack(pristine);
        Faults faults;
        faults.fullPrefix = imagePath;
        faults.fullAfterBytes = budget;
        (void)world->Boot(faults);
        const QString problems = image->FsckProblems();
        EXPECT_FALSE(problems.contains(QLatin1String("FATs differ"))) << problems.toStdString();
        EXPECT_TRUE(image->FsckDamage().isEmpty()) << problems.toStdString();
        const RunResult next = world->Boot();
        EXPECT_TRUE(next.Ended(0)) << next.Describe();
        if (HasFailure()) break;
    }
}

// A folder whose chain loops, on a volume of 16 million 512-byte clusters: found from the
// folder's own bound, not after a walk of the whole volume that holds every cluster in memory.
TEST(ImageLoop, a_looping_folder_chain_on_a_large_volume_costs_bounded_memory) {
    FaultWorld world;
    const QString path = world.Root() + QStringLiteral("/large.img");
    const qint64 bytes = 8LL << 30;
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(bytes));
    }
    const auto [status, output] =
        RunProgram(QStringLiteral("mkfs.fat"),
                   {QStringLiteral("-F"), QStringLiteral("32"), QStringLiteral("-s"),
                    QStringLiteral("1"), QStringLiteral("-S"), QStringLiteral("512"), path});
    ASSERT_EQ(status, 0) << output.toStdString();
    MtoolsImage image(path, 0, bytes);
    image.AddFolder(QStringLiteral("LOOP"));
    image.AddFile(QStringLiteral("LOOP\\A.TXT"), "a");
    FatPatch fat(image);
    ASSERT_GT(fat.LastCluster(), 16000000u);
    const uint32_t folder = fat.FirstCluster(QStringLiteral("LOOP"));
    fat.SetNext(folder, folder);
    world.UseDriveC(path);
    RunOptions options;
    options.arguments = {QStringLiteral("C:\\LOOP")};
    options.wrapper = {QStringLiteral("/usr/bin/time"), QStringLiteral("-f"),
                       QStringLiteral("peak %M KiB")};
    const RunResult listed = world.Tool(QStringLiteral("stowix-dir"), options);
    EXPECT_FALSE(listed.Ended(0)) << listed.Describe();
    EXPECT_TRUE(listed.errors.contains(QLatin1String("fsck.fat"))) << listed.Describe();
    const QRegularExpressionMatch peak =
        QRegularExpression(QStringLiteral("peak (\\d+) KiB")).match(listed.errors);
    ASSERT_TRUE(peak.hasMatch()) << listed.Describe();
    // A program of Qt Core takes some 20 MiB; a walk that held the volume's clusters, 64 more.
    EXPECT_LT(peak.captured(1).toLongLong(), 48 * 1024) << listed.Describe();
}

}  // namespace
}  // namespace stowix::test
