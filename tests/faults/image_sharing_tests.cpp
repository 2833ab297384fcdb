// Drive C:'s image shared: with another copy of Stowix (status 5, "another copy of Stowix"), with
// programs that hold it (named in full; a program that only locks the file, or a QEMU that only
// reads it, called what it is), and with drive D: as a second partition of the same image, which
// is opened and locked once for both. And a FAT32 volume of fewer than 65,525 clusters, as
// mkfs.fat -F 32 makes small ones, read and written as FAT32.

#include "image_program_fixture.h"

#include "image/fat_patch.h"

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace stowix::test {
namespace {

constexpr int AnotherCopy = 5;

// An open description of the image that the test holds locks with, as another program would.
class Holder {
public:
    explicit Holder(const QString& path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC)) {}
    ~Holder() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Flock() { return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }
    bool ShareByte(off_t at) {
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = at;
        lock.l_len = 1;
        return ::fcntl(m_fd, F_OFD_SETLK, &lock) == 0;
    }
    // Whether another description holds a lock that excludes this one's shared flock.
    bool Excluded() {
        const int fd = ::open(("/proc/self/fd/" + std::to_string(m_fd)).c_str(), O_RDONLY);
        const bool excluded = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
        ::close(fd);
        return excluded;
    }

private:
    int m_fd;
};

TEST_F(ImageProgram, a_second_stowix_on_the_image_ends_5_as_another_copy) {
    ProcessOptions first;
    QProcessEnvironment environment = world->Environment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    first.environment = environment;
    const std::unique_ptr<QProcess> window = world->Start(QStringLiteral("stowix"), first);
    Holder probe(imagePath);
    for (int tries = 0; tries < 300 && !probe.Excluded(); ++tries) ::usleep(20000);
    ASSERT_TRUE(probe.Excluded()) << "the first stowix never locked the image";
    const QByteArray before = FileDigest(imagePath);
    for (const QString& program : {QStringLiteral("stowix-check"), QStringLiteral("stowix-boot"),
                                   QStringLiteral("stowix-dir")}) {
        SCOPED_TRACE(program.toStdString());
        RunOptions options;
        if (program == u"stowix-dir") options.arguments = {QStringLiteral("C:\\WINDOWS")};
        const RunResult second = world->Tool(program, options);
        EXPECT_TRUE(second.Ended(AnotherCopy)) << second.Describe();
        EXPECT_TRUE(second.errors.contains(QLatin1String("another copy of Stowix")))
            << second.Describe();
        EXPECT_FALSE(second.errors.contains(QLatin1String("emulator"))) << second.Describe();
    }
    window->kill();
    window->waitForFinished();
    EXPECT_EQ(FileDigest(imagePath), before);
}

TEST_F(ImageProgram, programs_that_hold_the_image_are_called_what_they_are) {
    const QByteArray before = FileDigest(imagePath);
    {
        // A program that only locks the file is no copy of Stowix.
        Holder locker(imagePath);
        ASSERT_TRUE(locker.Flock());
        const RunResult result = Backup();
        EXPECT_FALSE(result.Ended(0)) << result.Describe();
        EXPECT_FALSE(result.errors.contains(QLatin1String("another copy"))) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("locked by"))) << result.Describe();
    }
    {
        // A QEMU with the disk read-only: consistent reads (byte 100), writes not shared (201).
        Holder qemu(imagePath);
        ASSERT_TRUE(qemu.ShareByte(100) && qemu.ShareByte(201));
        const RunResult result = Backup();
        EXPECT_FALSE(result.Ended(0)) << result.Describe();
        EXPECT_FALSE(result.errors.contains(QLatin1String("open for writing")))
            << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String("does not let others write")))
            << result.Describe();
    }
    {
        // A writer whose program name is longer than the kernel's 15 characters.
        const QString longName = world->Root() + QStringLiteral("/qemu-system-i386-sleeping");
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), longName));
        ASSERT_TRUE(
            QFile::setPermissions(longName, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QProcess holder;
        holder.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("exec 3<>\"$0\"; echo ready; exec \"$1\" 60"),
             imagePath, longName});
        ASSERT_TRUE(holder.waitForReadyRead(10000));
        RunResult result;
        for (int tries = 0; tries < 50; ++tries) {
            result = Backup();
            if (result.errors.contains(QLatin1String("sleeping"))) break;
            ::usleep(20000);
        }
        EXPECT_TRUE(result.errors.contains(QLatin1String("qemu-system-i386-sleeping (process")))
            << result.Describe();
        holder.kill();
        holder.waitForFinished();
    }
    EXPECT_EQ(FileDigest(imagePath), before);
}

// D: as the second partition of C:'s image (a FAT16 volume made by mformat after the first):
// the boot script copies from one to the other, both judged by mtools and fsck.fat.
TEST_F(ImageProgram, c_and_d_as_two_partitions_of_one_image_work_together) {
    const qint64 mib = 1024 * 1024;
    const qint64 start = (QFileInfo(imagePath).size() + mib - 1) / mib * mib;
    const qint64 size = 16 * mib;
    {
        QFile disk(imagePath);
        ASSERT_TRUE(disk.open(QIODevice::ReadWrite));
        ASSERT_TRUE(disk.resize(start + size));
        QByteArray entry(16, '\0');
        entry[4] = char(0x06);
        for (int i = 0; i < 4; ++i) {
            entry[8 + i] = char(quint32(start / 512) >> (8 * i));
            entry[12 + i] = char(quint32(size / 512) >> (8 * i));
        }
        ASSERT_TRUE(disk.seek(446 + 16));
        ASSERT_EQ(disk.write(entry), 16);
    }
    const auto [status, output] = RunProgram(
        QStringLiteral("mformat"),
        {QStringLiteral("-i"), imagePath + QStringLiteral("@@") + QString::number(start),
         QStringLiteral("-T"), QString::number(size / 512), QStringLiteral("-h"),
         QStringLiteral("16"), QStringLiteral("-s"), QStringLiteral("63"), QStringLiteral("::")});
    ASSERT_EQ(status, 0) << output.toStdString();
    MtoolsImage driveD(imagePath, start, size);
    const QByteArray ini = "[boot]\r\nshell=Explorer.exe\r\n";
    driveD.AddFolder(QStringLiteral("FROM"));
    driveD.AddFile(QStringLiteral("FROM\\SYSTEM.INI"), ini);
    image->AddFile(QStringLiteral("WINDOWS\\WinStart.Bat"),
                   "Copy D:\\FROM\\SYSTEM.INI C:\\SYSTEM.NEW\r\n"
                   "Copy C:\\WINDOWS\\WIN.INI D:\\WIN.NEW\r\n");
    RunOptions options;
    options.environment.insert(QStringLiteral("STOWIX_DRIVE_D"), imagePath);
    options.environment.insert(QStringLiteral("STOWIX_DRIVE_D_PARTITION"), QStringLiteral("2"));
    const RunResult booted = world->Tool(QStringLiteral("stowix-boot"), options);
    ASSERT_TRUE(booted.Ended(0)) << booted.Describe();
    EXPECT_EQ(image->Bytes(QStringLiteral("SYSTEM.NEW")), ini);
    EXPECT_EQ(driveD.Bytes(QStringLiteral("WIN.NEW")), Bytes(QStringLiteral("WINDOWS\\WIN.INI")));
    ExpectClean();
    const QString problems = driveD.FsckProblems();
    EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
}

// mtools fills a FAT32 volume of more clusters; the test then shortens it below 65,525 (the
// table stays FAT32: its size only in the 32-bit field), which fsck.fat takes as sound FAT32.
TEST_F(ImageProgram, a_fat32_volume_of_fewer_than_65525_clusters_is_read_and_written) {
    const QByteArray boot = image->PeekVolume(0, 512);
    const auto le = [&](int at, int size) {
        quint32 value = 0;
        for (int i = size - 1; i >= 0; --i) value = (value << 8) | quint8(boot[at + i]);
        return value;
    };
    ASSERT_EQ(le(22, 2), 0u) << "not FAT32";
    const quint32 perCluster = quint8(boot[13]);
    const quint32 total = le(14, 2) + quint32(quint8(boot[16])) * le(36, 4) + 65000 * perCluster;
    QByteArray field(4, '\0');
    for (int i = 0; i < 4; ++i) field[i] = char(total >> (8 * i));
    image->PokeVolume(32, field);
    // The free-cluster count and hint of the larger volume: unknown.
    image->PokeVolume(qint64(le(48, 2)) * le(11, 2) + 488, QByteArray(8, '\xFF'));
    const QString before = image->FsckProblems();
    ASSERT_TRUE(before.isEmpty()) << before.toStdString();

    // The volume is smaller than the free space a backup leaves by default.
    world->SetEnvironment(QStringLiteral("STOWIX_MIN_FREE_MB"), QStringLiteral("0"));
    const RunResult result = Backup();
    ASSERT_TRUE(result.Ended(0)) << result.Describe();
    const QString set = world->Setting(QStringLiteral("Info"), QStringLiteral("LastBackup"));
    ASSERT_TRUE(set.startsWith(QLatin1String("C:\\Stowix\\"))) << set.toStdString();
    const QStringList files = world->ListedNames(set);
    EXPECT_TRUE(files.contains(QStringLiteral("SYSTEM.DAT"))) << files.join(u',').toStdString();
    ExpectClean();
}

}  // namespace
}  // namespace stowix::test
