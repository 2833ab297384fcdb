// The whole program with drive C: a container disk (qcow2, VDI, VMDK, VHD, VHDX) made by
// qemu-img from the generated drive's raw image: the unattended backup and stowix-dir on every
// format (a table), a restore and the boot script on a qcow2 overlay, a disk that a paused QEMU
// holds refused with status 2 and left as it was, and kills of a backup and a restore on a qcow2
// disk. Every result is read back through qemu-img convert, mtools and fsck.fat, and qemu-img
// check judges the container; after every run no qemu-nbd is left holding the disk.

#include "fault_fixture.h"

#include "image/fat_patch.h"
#include "image/qemu_disk.h"
#include "image_writer.h"
#include "windows98_drive.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace stowix::test {
namespace {

const char* const SetFiles[][2] = {
    {"SYSTEM.DAT", "WINDOWS\\SYSTEM.DAT"},
    {"USER.DAT", "WINDOWS\\USER.DAT"},
    {"WIN.INI", "WINDOWS\\WIN.INI"},
    {"AUTOEXEC.BAT", "AUTOEXEC.BAT"},
};

// Kills the qemu-nbd that serves path with SIGKILL; whether there was one.
bool KillServer(const QString& path) {
    const QByteArray wanted = QFile::encodeName(path);
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!command.open(QIODevice::ReadOnly)) continue;
        const QList<QByteArray> words = command.readAll().split('\0');
        if (words.isEmpty() || !words.first().endsWith("qemu-nbd") || !words.contains(wanted))
            continue;
        return ::kill(pid.toInt(), SIGKILL) == 0;
    }
    return false;
}

class ContainerProgram : public ::testing::Test {
protected:
    void SetUp() override {
        world.emplace();
        rawPath = world->Root() + QStringLiteral("/c.img");
        const QString error =
            tools::WriteDriveImage(tools::Windows98Drive(driveOptions), rawPath, world->Root());
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        volumeBytes = QFileInfo(rawPath).size() - tools::ImagePartitionOffset;
        MtoolsImage raw(rawPath, tools::ImagePartitionOffset, volumeBytes);
        for (const auto& file : SetFiles)
            originals.insert(QLatin1String(file[1]), raw.Bytes(QLatin1String(file[1])).value());
    }

    // Drive C: becomes a container of the raw image, of this kind.
    void UseContainer(const ContainerKind& kind) {
        format = QLatin1String(kind.qemuFormat);
        container = world->Root() + QStringLiteral("/c.") + QLatin1String(kind.extension);
        QFile::remove(container);
        const QString made = MakeContainer(rawPath, kind, container);
        ASSERT_TRUE(made.isEmpty()) << made.toStdString();
        world->UseDriveC(container);
        // Each disk is a drive of its own, whose records start in a fresh settings file.
        QFile::remove(world->SettingsFile());
    }

    RunResult Backup() { return world->Stowix(UnattendedRun()); }

    // The container as it is now, read back; checked on the way: nothing holds the disk any
    // longer, and qemu-img check finds nothing (leaked clusters aside, after a kill).
    std::unique_ptr<ReadBackImage> Read(bool afterKill = false) {
        EXPECT_EQ(HeldBy(container), QString());
        const QString checked = ContainerProblems(container, format, afterKill);
        EXPECT_TRUE(checked.isEmpty()) << checked.toStdString();
        return ReadBack(container, format, tools::ImagePartitionOffset, volumeBytes);
    }

    // The files of set (complete: all of them) are whole copies of their sources, and the
    // user's own files are as they were.
    QStringList Problems(const MtoolsImage& image, const QString& set, bool complete) {
        QStringList problems;
        const QStringList names = image.Names(QStringLiteral("Stowix\\") + set);
        for (const auto& file : SetFiles) {
            const QString name = QLatin1String(file[0]);
            const QByteArray original = originals.value(QLatin1String(file[1]));
            if (!names.contains(name, Qt::CaseInsensitive)) {
                if (complete) problems.append(name + QStringLiteral(" is missing from ") + set);
            } else if (image.Bytes(QStringLiteral("Stowix\\") + set + u'\\' + name) != original) {
                problems.append(name + QStringLiteral(" in ") + set + QStringLiteral(" is cut"));
            }
            if (image.Bytes(QLatin1String(file[1])) != original)
                problems.append(QLatin1String(file[1]) + QStringLiteral(" changed"));
        }
        return problems;
    }

    tools::DriveOptions driveOptions;
    std::optional<FaultWorld> world;
    QString rawPath;
    qint64 volumeBytes = 0;
    QMap<QString, QByteArray> originals;
    QString container;
    QString format;
};

TEST_F(ContainerProgram, every_format_takes_a_backup_that_stowix_dir_lists) {
    for (const ContainerKind& kind : ContainerKinds()) {
        SCOPED_TRACE(kind.name);
        UseContainer(kind);
        const RunResult result = Backup();
        ASSERT_TRUE(result.Ended(0)) << result.Describe();
        const QString recorded =
            world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
        const QString set = recorded.mid(QStringLiteral("C:\\Stowix\\").size());
        std::unique_ptr<ReadBackImage> back = Read();
        ASSERT_TRUE(back->image);
        EXPECT_EQ(back->image->Names(QStringLiteral("Stowix")), QStringList{set});
        const QStringList problems = Problems(*back->image, set, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        const QString fsck = back->image->FsckProblems();
        EXPECT_TRUE(fsck.isEmpty()) << fsck.toStdString();
        const QStringList listed = world->ListedNames(recorded);
        EXPECT_TRUE(listed.contains(QStringLiteral("SYSTEM.DAT")))
            << listed.join(u',').toStdString();
        EXPECT_EQ(HeldBy(container), QString());
    }
}

TEST_F(ContainerProgram, a_restore_and_the_boot_script_write_the_top_of_an_overlay) {
    STOWIX_NEEDS_DISPLAY();
    const QString base = world->Root() + QStringLiteral("/base.qcow2");
    ASSERT_EQ(MakeContainer(rawPath, ContainerKinds().front(), base), QString());
    container = world->Root() + QStringLiteral("/top.qcow2");
    format = QStringLiteral("qcow2");
    ASSERT_EQ(MakeOverlay(base, format, container), QString());
    world->UseDriveC(container);
    const QByteArray baseBefore = FileDigest(base);

    ASSERT_TRUE(Backup().Ended(0));
    const QString set =
        world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")).mid(10);
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(set);
    const RunResult restored = world->Stowix(options);
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    EXPECT_EQ(world->Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
              QStringLiteral("C:\\Stowix\\") + set);
    {
        std::unique_ptr<ReadBackImage> back = Read();
        ASSERT_TRUE(back->image);
        EXPECT_TRUE(back->image->Names(QStringLiteral("WINDOWS"))
                        .contains(QStringLiteral("WinStart.Bat"), Qt::CaseInsensitive));
        EXPECT_EQ(back->image->FsckProblems(), QString());
    }
    const RunResult booted = world->Boot();
    EXPECT_TRUE(booted.Ended(0)) << booted.Describe();
    std::unique_ptr<ReadBackImage> back = Read();
    ASSERT_TRUE(back->image);
    const QStringList problems = Problems(*back->image, set, true);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_EQ(back->image->FsckProblems(), QString());
    EXPECT_EQ(FileDigest(base), baseBefore);
}

TEST_F(ContainerProgram, a_disk_a_running_qemu_holds_is_refused_and_left_alone) {
    UseContainer(ContainerKinds().front());
    const QByteArray before = FileDigest(container);
    QProcess qemu;
    qemu.start(QStringLiteral("qemu-system-i386"),
               {QStringLiteral("-S"), QStringLiteral("-display"), QStringLiteral("none"),
                QStringLiteral("-nodefaults"), QStringLiteral("-drive"),
                QStringLiteral("file=%1,format=qcow2,if=ide").arg(container)});
    ASSERT_TRUE(qemu.waitForStarted(10000));
    // Paused before its first instruction, QEMU has the disk open and locked.
    for (int tries = 0; tries < 100 && HeldBy(container, 0).isEmpty(); ++tries) ::usleep(50000);
    ASSERT_NE(HeldBy(container, 0), QString())
        << "QEMU did not open the disk: " << qemu.readAllStandardError().toStdString();
    const RunResult result = Backup();
    qemu.kill();
    qemu.waitForFinished();
    EXPECT_TRUE(result.Ended(2)) << result.Describe();
    EXPECT_TRUE(QString(result.errors + result.output).contains(QStringLiteral("qemu-system-i386")))
        << result.Describe();
    EXPECT_EQ(FileDigest(container), before);
}

// A container cut short (an interrupted copy, a full host disk) reads as zeros past its end:
// QEMU's own check, or the header's length where that check does not look, finds it before the
// first write, and the run reads but never writes it.
TEST_F(ContainerProgram, a_container_cut_short_is_read_but_never_written) {
    struct Case {
        const char* kind;
        int status;
        const char* says[2];
    };
    // QEMU itself refuses to open a VHDX cut short: the drive is then missing, and says why.
    const Case cases[] = {
        {"qcow2", IncompleteStatus, {"is damaged", "qemu-img check -r all"}},
        {"VDI", IncompleteStatus, {"is damaged", "cut short"}},
        {"VMDK sparse", IncompleteStatus, {"is damaged", "qemu-img check -r all"}},
        {"VHDX", 2, {"cannot open", "truncated"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto& kinds = ContainerKinds();
        const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const ContainerKind& k) {
            return QLatin1String(k.name) == QLatin1String(c.kind);
        });
        ASSERT_NE(kind, kinds.end());
        UseContainer(*kind);
        ASSERT_TRUE(Backup().Ended(0));
        {
            QFile file(container);
            ASSERT_TRUE(file.resize(file.size() * 3 / 4));
        }
        const QByteArray before = FileDigest(container);
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(c.status)) << result.Describe();
        for (const char* words : c.says)
            EXPECT_TRUE(result.errors.contains(QLatin1String(words))) << result.Describe();
        EXPECT_EQ(FileDigest(container), before) << "the damaged container was written to";
        EXPECT_EQ(HeldBy(container), QString());
    }
}

// A run killed with qemu-nbd's socket folder left behind: the next run removes such folders
// that nothing listens on, and leaves one whose socket a live server still listens on.
TEST_F(ContainerProgram, a_killed_run_s_socket_folder_is_removed_by_the_next_run) {
    UseContainer(ContainerKinds().front());
    const auto makeSocket = [](const QByteArray& folder, bool listen) {
        EXPECT_EQ(::mkdir(folder.constData(), 0700), 0);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = folder + "/sock";
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        if (listen) {
            EXPECT_EQ(::listen(fd, 1), 0);
            return fd;
        }
        ::close(fd);
        return -1;
    };
    const QByteArray stale = "/tmp/libnbdSTALE0";
    const QByteArray live = "/tmp/libnbdLIVE00";
    const int listening = makeSocket(live, true);
    makeSocket(stale, false);
    // Both as a killed run of some minutes ago left them.
    const struct timespec old[2] = {{::time(nullptr) - 600, 0}, {::time(nullptr) - 600, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, stale.constData(), old, 0), 0);
    EXPECT_EQ(::utimensat(AT_FDCWD, live.constData(), old, 0), 0);
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    EXPECT_FALSE(QFileInfo::exists(QString::fromLatin1(stale))) << "the stale folder is left";
    EXPECT_TRUE(QFileInfo::exists(QString::fromLatin1(live + "/sock"))) << "a live one went";
    ::close(listening);
    ::unlink(QByteArray(live + "/sock").constData());
    ::rmdir(live.constData());
    ::unlink(QByteArray(stale + "/sock").constData());
    ::rmdir(stale.constData());
}

// Containers QEMU serves but that Stowix must not write, or cannot open: refused with what to do
// about them, and the file left exactly as it was (no note, nothing appended).
TEST_F(ContainerProgram, a_container_qemu_cannot_write_is_refused_with_what_to_do) {
    struct Case {
        const char* what;
        QStringList convertOptions;  // qemu-img convert's, after the raw image
        int status;
        const char* says[2];
    };
    const Case cases[] = {
        {"a streamOptimized VMDK",
         {QStringLiteral("-O"), QStringLiteral("vmdk"), QStringLiteral("-o"),
          QStringLiteral("subformat=streamOptimized")},
         IncompleteStatus,
         {"streamOptimized", "qemu-img convert"}},
        {"an encrypted qcow2",
         {QStringLiteral("--object"), QStringLiteral("secret,id=key,data=secret"),
          QStringLiteral("-O"), QStringLiteral("qcow2"), QStringLiteral("-o"),
          QStringLiteral("encrypt.format=luks,encrypt.key-secret=key")},
         2,
         {"encrypted", "decrypted copy"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        container = world->Root() + QStringLiteral("/c.disk");
        QFile::remove(container);
        const auto [made, output] = RunProgram(
            QStringLiteral("qemu-img"),
            QStringList{QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("raw")} +
                c.convertOptions + QStringList{rawPath, container});
        ASSERT_EQ(made, 0) << output.toStdString();
        world->UseDriveC(container);
        QFile::remove(world->SettingsFile());
        const QByteArray before = FileDigest(container);
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(c.status)) << result.Describe();
        for (const char* words : c.says)
            EXPECT_TRUE(result.errors.contains(QLatin1String(words))) << result.Describe();
        EXPECT_EQ(FileDigest(container), before) << "the container was changed";
        EXPECT_EQ(HeldBy(container), QString());
    }
}

// QEMU and qemu-nbd holding the disk only for reading (and so letting no one write it): the
// refusal says so and names the program, never "open for writing"; a machine writing the base of
// an overlay is named with that base.
TEST_F(ContainerProgram, a_disk_held_for_reading_or_through_its_base_names_the_holder) {
    UseContainer(ContainerKinds().front());
    const QString machine = QStringLiteral("qemu-system-i386");
    const QStringList quiet = {QStringLiteral("-S"), QStringLiteral("-display"),
                               QStringLiteral("none"), QStringLiteral("-nodefaults")};
    const QString base = world->Root() + QStringLiteral("/base.qcow2");
    ASSERT_TRUE(QFile::copy(container, base));
    const QString overlay = world->Root() + QStringLiteral("/top.qcow2");
    ASSERT_EQ(MakeOverlay(base, QStringLiteral("qcow2"), overlay), QString());
    struct Case {
        const char* what;
        QString program;
        QStringList arguments;
        QString drive;
        const char* says;
        const char* holder;
    };
    const QString drive = QStringLiteral("file=%1,format=qcow2");
    const Case cases[] = {
        {"a machine in snapshot mode", machine,
         quiet + QStringList{QStringLiteral("-snapshot"), QStringLiteral("-drive"),
                             drive.arg(container) + QStringLiteral(",if=ide")},
         container, "reads it and does not let others write", "qemu-system-i386"},
        {"a machine with the disk read-only", machine,
         quiet + QStringList{QStringLiteral("-drive"),
                             drive.arg(container) + QStringLiteral(",if=none,id=d0,readonly=on"),
                             QStringLiteral("-device"), QStringLiteral("virtio-blk-pci,drive=d0")},
         container, "reads it and does not let others write", "qemu-system-i386"},
        {"qemu-nbd serving it read-only",
         QStringLiteral("qemu-nbd"),
         {QStringLiteral("-r"), QStringLiteral("-f"), QStringLiteral("qcow2"), QStringLiteral("-k"),
          world->Root() + QStringLiteral("/held.sock"), container},
         container,
         "reads it and does not let others write",
         "qemu-nbd"},
        {"a machine writing the base of the overlay", machine,
         quiet + QStringList{QStringLiteral("-drive"), drive.arg(base) + QStringLiteral(",if=ide")},
         overlay, "backing file of", "qemu-system-i386"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world->UseDriveC(c.drive);
        QFile::remove(world->SettingsFile());
        const QByteArray before = FileDigest(c.drive);
        QProcess holder;
        holder.start(c.program, c.arguments);
        ASSERT_TRUE(holder.waitForStarted(10000));
        const QString held = c.drive == overlay ? base : container;
        for (int tries = 0; tries < 100 && HeldBy(held, 0).isEmpty(); ++tries) ::usleep(50000);
        ASSERT_NE(HeldBy(held, 0), QString()) << holder.readAllStandardError().toStdString();
        ASSERT_TRUE(QemuGuardsWrites(held)) << holder.readAllStandardError().toStdString();
        const RunResult result = Backup();
        holder.kill();
        holder.waitForFinished();
        EXPECT_TRUE(result.Ended(2)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(c.says))) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(c.holder))) << result.Describe();
        if (c.drive == overlay) {
            EXPECT_TRUE(result.errors.contains(base)) << result.Describe();
        } else {
            EXPECT_FALSE(result.errors.contains(QLatin1String("open for writing")))
                << result.Describe();
        }
        EXPECT_EQ(FileDigest(c.drive), before);
    }
}

// Kills from outside at moments spread over a run (the same on every test run), on a qcow2 disk:
// qemu-nbd ends with its client, the container is sound (leaked clusters at most), the FAT
// volume has at worst lost clusters, and no file is cut.
class ContainerKills : public ContainerProgram {
protected:
    static std::vector<int> Moments(qint64 wholeMs, int count) {
        std::mt19937 random(19980625);
        std::vector<int> moments;
        for (int i = 0; i < count; ++i) moments.push_back(int(wholeMs * (5 + random() % 90) / 100));
        return moments;
    }

    void SetUp() override {
        ContainerProgram::SetUp();
        if (HasFatalFailure()) return;
        UseContainer(ContainerKinds().front());
        pristine = world->Root() + QStringLiteral("/pristine.qcow2");
    }

    void SavePristine() {
        QFile::remove(pristine);
        ASSERT_TRUE(QFile::copy(container, pristine));
    }
    void PutBack() {
        ASSERT_TRUE(QFile::remove(container));
        ASSERT_TRUE(QFile::copy(pristine, container));
    }

    void ExpectSoundAfterKill(const std::function<QStringList(const MtoolsImage&)>& problems) {
        std::unique_ptr<ReadBackImage> back = Read(true);
        ASSERT_TRUE(back->image);
        const QString damage = back->image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        const QStringList found = problems(*back->image);
        EXPECT_TRUE(found.isEmpty()) << found.join(u'\n').toStdString();
    }

    QString pristine;
};

TEST_F(ContainerKills, a_backup_killed_at_any_moment_leaves_a_sound_disk_and_whole_files) {
    SavePristine();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Backup().Ended(0));
    const qint64 wholeMs = clock.elapsed();
    for (int moment : Moments(wholeMs, 6)) {
        SCOPED_TRACE(
            QStringLiteral("killed after %1 ms of %2").arg(moment).arg(wholeMs).toStdString());
        PutBack();
        RunOptions options = UnattendedRun();
        options.killAfterMs = moment;
        const RunResult result = world->Stowix(options);
        if (!result.killed) {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
        }
        ExpectSoundAfterKill([&](const MtoolsImage& image) {
            QStringList problems;
            for (const QString& set : image.Names(QStringLiteral("Stowix")))
                problems += Problems(image, set, !result.killed);
            return problems;
        });
        if (HasFailure()) break;
    }
}

// The qemu-nbd that serves the container, killed (as the OOM killer would) at moments spread
// over a backup: what it held in its own caches is lost, but each kind of block was flushed
// before the next named it, so the volume has at worst lost clusters; the next run mends them
// and ends 0 with a sound volume and whole files, or refuses with status 3 (never 0 over damage).
TEST_F(ContainerKills,
       qemu_nbd_killed_at_any_moment_of_a_backup_leaves_nothing_the_next_run_misses) {
    SavePristine();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Backup().Ended(0));
    const qint64 wholeMs = clock.elapsed();
    int hits = 0;
    // The writes fill a short stretch of the run: moments close together, over all of it.
    for (int step = 1; step < 24; ++step) {
        const int moment = int(wholeMs * step / 24);
        SCOPED_TRACE(QStringLiteral("qemu-nbd killed after %1 ms of %2")
                         .arg(moment)
                         .arg(wholeMs)
                         .toStdString());
        PutBack();
        std::atomic<bool> done = false;
        bool hit = false;
        std::thread killer([&] {
            QElapsedTimer since;
            since.start();
            while (!done && since.elapsed() < moment) ::usleep(1000);
            hit = KillServer(container);
        });
        const RunResult first = Backup();
        done = true;
        killer.join();
        if (hit) ++hits;
        // A run that ends 0 left the volume clean: its flush cleared the dirty bit.
        if (first.Ended(0)) {
            std::unique_ptr<ReadBackImage> back = Read(true);
            ASSERT_TRUE(back->image);
            EXPECT_FALSE(FatPatch(*back->image).DirtyBitSet())
                << "the run ended 0 with the volume's dirty bit set";
        }
        const RunResult next = Backup();
        EXPECT_TRUE(next.Ended(0) || next.Ended(IncompleteStatus)) << next.Describe();
        std::unique_ptr<ReadBackImage> back = Read(true);
        ASSERT_TRUE(back->image);
        if (next.Ended(0)) {
            const QString fsck = back->image->FsckDamage();
            EXPECT_TRUE(fsck.isEmpty())
                << "the next run ended 0 over damage: " << fsck.toStdString() << next.Describe();
            const QString recorded =
                world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
            const QStringList problems = Problems(*back->image, recorded.mid(10), true);
            EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        }
        if (HasFailure()) break;
    }
    EXPECT_GT(hits, 0) << "qemu-nbd was never found to kill";
}

TEST_F(ContainerKills, a_restore_killed_at_any_moment_leaves_a_sound_disk_and_whole_files) {
    STOWIX_NEEDS_DISPLAY();
    ASSERT_TRUE(Backup().Ended(0));
    const QString set =
        world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")).mid(10);
    SavePristine();
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(set);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(world->Stowix(options).Ended(0));
    const qint64 wholeMs = clock.elapsed();
    for (int moment : Moments(wholeMs, 4)) {
        SCOPED_TRACE(
            QStringLiteral("killed after %1 ms of %2").arg(moment).arg(wholeMs).toStdString());
        PutBack();
        options.killAfterMs = moment;
        const RunResult result = world->Stowix(options);
        if (!result.killed) {
            EXPECT_TRUE(result.Ended(0)) << result.Describe();
        }
        // The restore stages the registry for the boot script and puts the other files back
        // from the set, which holds what the drive held: every file stays whole.
        ExpectSoundAfterKill([&](const MtoolsImage& image) { return Problems(image, set, true); });
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace stowix::test
