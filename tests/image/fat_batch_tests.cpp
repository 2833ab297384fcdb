// A group of copies written as one batch: what mtools reads back and fsck.fat says after it,
// after a kill before any one of its writes, the barriers it puts in for a power cut, and the
// search for free clusters once files are deleted. A kill is a child process that the engine's
// own write kills before the write with a given number: this test program stands in for the C
// library's pwrite and copy_file_range (below) and, only in such a child, counts the writes. It
// counts the fdatasync calls (the barriers) the same way, and can refuse copy_file_range as an
// old kernel or another file system would.

#include "disk/raw_file_device.h"
#include "fat/fat_volume.h"
#include "image/image_fixture.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>

namespace {

long g_barriers = 0;
long g_writesLeft = -1;  // in a child: the writes it may make before it is killed; -1: no limit
long g_writesMade = 0;
bool g_refuseCopyRange = false;

using PwriteFn = ssize_t (*)(int, const void*, size_t, off_t);

void CountWrite() {
    ++g_writesMade;
    if (g_writesLeft >= 0 && g_writesLeft-- == 0) ::raise(SIGKILL);
}

ssize_t CountedPwrite(const char* name, int fd, const void* buffer, size_t size, off_t offset) {
    static PwriteFn real = reinterpret_cast<PwriteFn>(::dlsym(RTLD_NEXT, name));
    CountWrite();
    return real(fd, buffer, size, offset);
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
    return CountedPwrite("pwrite", fd, buffer, size, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset) {
    return CountedPwrite("pwrite64", fd, buffer, size, offset);
}

extern "C" ssize_t copy_file_range(int input, loff_t* inputOffset, int output, loff_t* outputOffset,
                                   size_t size, unsigned int flags) {
    using CopyRangeFn = ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int);
    static CopyRangeFn real = reinterpret_cast<CopyRangeFn>(::dlsym(RTLD_NEXT, "copy_file_range"));
    if (g_refuseCopyRange) {
        errno = ENOSYS;
        return -1;
    }
    CountWrite();
    return real(input, inputOffset, output, outputOffset, size, flags);
}

extern "C" int fdatasync(int fd) {
    using FdatasyncFn = int (*)(int);
    static FdatasyncFn real = reinterpret_cast<FdatasyncFn>(::dlsym(RTLD_NEXT, "fdatasync"));
    ++g_barriers;
    return real(fd);
}

namespace stowix::test {
namespace {

class FatBatch : public testing::TestWithParam<ImageSpec> {
protected:
    void SetUp() override {
        image = std::make_unique<MtoolsImage>(GetParam());
        image->AddFolder(QStringLiteral("WINDOWS"));
        image->AddFolder(QStringLiteral("SET"));
        image->AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"), systemDat, 0x06);
        image->AddFile(QStringLiteral("WINDOWS\\SYSTEM.DA0"), largeFile, 0x06);
        image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), winIni, 0x20);
        image->AddFile(QStringLiteral("SET\\WIN.INI"), oldWinIni, 0x21);
        for (int i = 0; i < IniFiles; ++i)
            image->AddFile(QStringLiteral("WINDOWS\\Profile Number %1.ini").arg(i), Ini(i));
    }

    static QByteArray Ini(int i) { return Pattern(300 + 37 * i, 100 + i); }

    // Into SET: the registry, a file that replaces one there (read-only, so its attributes are
    // cleared first), and enough long names that the folder must grow.
    std::vector<FileCopy> Copies() const {
        std::vector<FileCopy> copies{
            {QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"), QStringLiteral("C:\\SET\\SYSTEM.DAT")},
            {QStringLiteral("C:\\WINDOWS\\SYSTEM.DA0"), QStringLiteral("C:\\SET\\SYSTEM.DA0")},
            {QStringLiteral("C:\\WINDOWS\\WIN.INI"), QStringLiteral("C:\\SET\\WIN.INI")}};
        for (int i = 0; i < IniFiles; ++i)
            copies.push_back({QStringLiteral("C:\\WINDOWS\\Profile Number %1.ini").arg(i),
                              QStringLiteral("C:\\SET\\Profile Number %1.ini").arg(i)});
        return copies;
    }

    // The image's state is whole: sources as they were, each copy absent or whole, the replaced
    // file old or new, and nothing worse than lost clusters.
    void ExpectWholeOrAbsent(const QString& trace) {
        SCOPED_TRACE(trace.toStdString());
        const QString damage = image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\SYSTEM.DAT")), systemDat);
        const std::optional<QByteArray> registry = image->Bytes(QStringLiteral("SET\\SYSTEM.DAT"));
        EXPECT_TRUE(!registry || *registry == systemDat);
        const std::optional<QByteArray> large = image->Bytes(QStringLiteral("SET\\SYSTEM.DA0"));
        EXPECT_TRUE(!large || *large == largeFile);
        const std::optional<QByteArray> replaced = image->Bytes(QStringLiteral("SET\\WIN.INI"));
        EXPECT_TRUE(replaced == winIni || replaced == oldWinIni)
            << (replaced ? replaced->toStdString() : std::string("<missing>"));
        const QStringList names = image->Names(QStringLiteral("SET"));
        for (int i = 0; i < IniFiles; ++i) {
            const QString name = QStringLiteral("Profile Number %1.ini").arg(i);
            if (names.contains(name)) {
                EXPECT_EQ(image->Bytes(QStringLiteral("SET\\") + name), Ini(i))
                    << name.toStdString();
            }
        }
    }

    // Runs the group copy in a child killed before its write number killAt (never, when -1);
    // gives the number of writes it made, or -1 when it did not end as it should.
    long CopyInChild(long killAt) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            g_writesMade = 0;
            g_writesLeft = killAt < 0 ? -1 : killAt - 1;
            Result<std::unique_ptr<FileSystem>> opened =
                OpenFatImageFile(u'C', image->Path().toStdString());
            if (!opened) ::_exit(3);
            std::unique_ptr<FileSystem> files = std::move(opened).value();
            const std::vector<Result<bool>> results =
                files->CopyFilesKeepingAttributes(Copies(), {});
            for (const Result<bool>& result : results) {
                if (!result || !result.value()) ::_exit(4);
            }
            if (!files->FlushToDisk(QStringLiteral("C:\\"))) ::_exit(5);
            files.reset();
            // The status carries the count of writes; it fits in the exit status' byte.
            ::_exit(int(std::min<long>(g_writesMade, 200)));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (killAt >= 0) return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? killAt : -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static constexpr int IniFiles = 40;
    const QByteArray systemDat = Pattern(70000, 1);
    // Large enough to be copied inside the image by the kernel.
    const QByteArray largeFile = Pattern(300000, 2);
    const QByteArray winIni = QByteArray("[windows]\r\nload=\r\n");
    const QByteArray oldWinIni = QByteArray("[windows]\r\nrun=old\r\n");
    std::unique_ptr<MtoolsImage> image;
};

TEST_P(FatBatch, a_group_copy_writes_every_file_and_replaces_the_old_one) {
    const long writes = CopyInChild(-1);
    ASSERT_GT(writes, 5);
    ASSERT_LT(writes, 200);
    // A batch writes each kind of block a few times, not once per file.
    EXPECT_LT(writes, 40);
    EXPECT_TRUE(image->FsckProblems().isEmpty()) << image->FsckProblems().toStdString();
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\SYSTEM.DAT")), systemDat);
    EXPECT_EQ(image->Attributes(QStringLiteral("SET\\SYSTEM.DAT")), 0x06);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\WIN.INI")), winIni);
    EXPECT_EQ(image->Attributes(QStringLiteral("SET\\WIN.INI")), 0x20);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\SYSTEM.DA0")), largeFile);
    EXPECT_EQ(image->Attributes(QStringLiteral("SET\\SYSTEM.DA0")), 0x06);
    EXPECT_EQ(image->Names(QStringLiteral("SET")).size(), IniFiles + 3);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\Profile Number 39.ini")), Ini(39));
}

TEST_P(FatBatch, a_copy_the_kernel_refuses_to_make_goes_through_the_program) {
    g_refuseCopyRange = true;
    std::unique_ptr<FileSystem> files = OpenImage(*image);
    ASSERT_TRUE(files);
    const std::vector<Result<bool>> results = files->CopyFilesKeepingAttributes(Copies(), {});
    g_refuseCopyRange = false;
    for (const Result<bool>& result : results)
        EXPECT_TRUE(result && result.value()) << result.reason().toStdString();
    files.reset();
    EXPECT_TRUE(image->FsckProblems().isEmpty()) << image->FsckProblems().toStdString();
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\SYSTEM.DA0")), largeFile);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\SYSTEM.DAT")), systemDat);
}

TEST_P(FatBatch, a_group_copy_killed_before_any_write_leaves_at_worst_lost_clusters) {
    const QString pristine = image->Folder() + QStringLiteral("/pristine.img");
    ASSERT_TRUE(QFile::copy(image->Path(), pristine));
    const long writes = CopyInChild(-1);
    ASSERT_GT(writes, 5);
    for (long killAt = 1; killAt <= writes; ++killAt) {
        ASSERT_TRUE(QFile::remove(image->Path()));
        ASSERT_TRUE(QFile::copy(pristine, image->Path()));
        ASSERT_EQ(CopyInChild(killAt), killAt);
        ExpectWholeOrAbsent(QStringLiteral("killed before write %1 of %2").arg(killAt).arg(writes));
    }
}

TEST_P(FatBatch, copies_see_the_batchs_earlier_copies_and_folders_read_again) {
    std::unique_ptr<FileSystem> opened = OpenImage(*image);
    ASSERT_TRUE(opened);
    FileSystem& files = *opened;
    // More folders than the engine keeps in memory, so that some are read again mid-batch.
    std::vector<FileCopy> copies;
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(files.CreateFolder(QStringLiteral("C:\\SET\\F%1").arg(i)));
        copies.push_back({QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"),
                          QStringLiteral("C:\\SET\\F%1\\REG.DAT").arg(i)});
    }
    for (int i = 0; i < 12; ++i) {
        // A copy of a copy made in this batch, then the first copy replaced.
        copies.push_back({QStringLiteral("C:\\SET\\F%1\\REG.DAT").arg(i),
                          QStringLiteral("C:\\SET\\F%1\\AGAIN.DAT").arg(i)});
        copies.push_back({QStringLiteral("C:\\WINDOWS\\WIN.INI"),
                          QStringLiteral("C:\\SET\\F%1\\REG.DAT").arg(i)});
    }
    // A large file copied by the kernel, and its copy copied again: behind both lie held data.
    copies.push_back(
        {QStringLiteral("C:\\WINDOWS\\SYSTEM.DA0"), QStringLiteral("C:\\SET\\BIG.DAT")});
    copies.push_back({QStringLiteral("C:\\SET\\BIG.DAT"), QStringLiteral("C:\\SET\\BIG2.DAT")});
    copies.push_back(
        {QStringLiteral("C:\\WINDOWS\\GONE.INI"), QStringLiteral("C:\\SET\\GONE.INI")});
    const std::vector<Result<bool>> results = files.CopyFilesKeepingAttributes(copies, {});
    ASSERT_EQ(results.size(), copies.size());
    for (size_t i = 0; i + 1 < results.size(); ++i)
        EXPECT_TRUE(results[i] && results[i].value()) << copies[i].destination.toStdString();
    EXPECT_TRUE(results.back() && !results.back().value());
    opened.reset();

    EXPECT_TRUE(image->FsckProblems().isEmpty()) << image->FsckProblems().toStdString();
    for (int i = 0; i < 12; ++i) {
        const QString folder = QStringLiteral("SET\\F%1").arg(i);
        EXPECT_EQ(image->Names(folder), (QStringList{"AGAIN.DAT", "REG.DAT"}));
        EXPECT_EQ(image->Bytes(folder + QStringLiteral("\\AGAIN.DAT")), systemDat);
        EXPECT_EQ(image->Bytes(folder + QStringLiteral("\\REG.DAT")), winIni);
    }
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\BIG.DAT")), largeFile);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\BIG2.DAT")), largeFile);
}

TEST_P(FatBatch, freed_clusters_are_found_again_once_the_rest_is_full) {
    // Files that fill the volume, then one early file deleted: the search for free clusters has
    // passed it and must come round to it.
    std::unique_ptr<FileSystem> opened = OpenImage(*image);
    ASSERT_TRUE(opened);
    FileSystem& files = *opened;
    const qint64 piece = image->VolumeBytes() / 16;
    struct Filler final : FileReader {
        qint64 size;
        explicit Filler(qint64 bytes) : size(bytes) {}
        qint64 Size() const override { return size; }
        Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 count) override {
            for (qint64 i = 0; i < count; ++i) buffer[i] = char((offset + i) % 251);
            return count;
        }
    } filler(piece);
    int made = 0;
    while (files
               .WriteFileFrom(filler, std::nullopt, QDateTime::currentDateTime(),
                              QStringLiteral("C:\\FILL%1.BIN").arg(made), {})
               .ok())
        ++made;
    ASSERT_GT(made, 4);
    ASSERT_TRUE(files.DeleteFile(QStringLiteral("C:\\FILL1.BIN")));
    ASSERT_TRUE(files.WriteFileFrom(filler, std::nullopt, QDateTime::currentDateTime(),
                                    QStringLiteral("C:\\AGAIN.BIN"), {}));
    // And after a flush, whose free-cluster count fsck.fat checks.
    ASSERT_TRUE(files.FlushToDisk(QStringLiteral("C:\\")));
    ASSERT_TRUE(files.DeleteFile(QStringLiteral("C:\\FILL2.BIN")));
    ASSERT_TRUE(files.WriteFileFrom(filler, std::nullopt, QDateTime::currentDateTime(),
                                    QStringLiteral("C:\\THIRD.BIN"), {}));
    opened.reset();

    EXPECT_TRUE(image->FsckProblems().isEmpty()) << image->FsckProblems().toStdString();
    QByteArray expected(piece, Qt::Uninitialized);
    ASSERT_TRUE(filler.ReadAt(0, expected.data(), piece).ok());
    EXPECT_EQ(image->Bytes(QStringLiteral("AGAIN.BIN")), expected);
    EXPECT_EQ(image->Bytes(QStringLiteral("THIRD.BIN")), expected);
    EXPECT_EQ(image->Bytes(QStringLiteral("FILL0.BIN")), expected);
}

TEST_P(FatBatch, barriers_put_each_kind_of_block_on_the_disk_before_the_next_names_it) {
    std::unique_ptr<FileSystem> files = OpenImage(*image);
    ASSERT_TRUE(files);
    const auto barriersOf = [&](const std::vector<FileCopy>& copies) {
        const long before = g_barriers;
        for (const Result<bool>& result : files->CopyFilesKeepingAttributes(copies, {}))
            EXPECT_TRUE(result && result.value()) << result.reason().toStdString();
        return g_barriers - before;
    };
    const QString winIniPath = QStringLiteral("C:\\WINDOWS\\WIN.INI");
    const QString registryPath = QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT");
    // A group writes data, the table, the entries, then frees the clusters it replaced: one
    // barrier between each two, whether the files are new, made in this run, or durable.
    EXPECT_EQ(barriersOf({{registryPath, QStringLiteral("C:\\SET\\NEW.DAT")},
                          {winIniPath, QStringLiteral("C:\\SET\\NEW.DAT")}}),
              3);
    EXPECT_EQ(barriersOf({{winIniPath, QStringLiteral("C:\\SET\\WIN.INI")}}), 3);
    ASSERT_TRUE(files->FlushToDisk(QStringLiteral("C:\\")));
    EXPECT_EQ(barriersOf({{registryPath, QStringLiteral("C:\\SET\\NEW.DAT")}}), 3);
    // New files alone: no frees, so a barrier after the data and one after the table.
    EXPECT_EQ(barriersOf({{winIniPath, QStringLiteral("C:\\SET\\OTHER.INI")}}), 2);
    files.reset();
    EXPECT_TRUE(image->FsckProblems().isEmpty()) << image->FsckProblems().toStdString();
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\NEW.DAT")), systemDat);
    EXPECT_EQ(image->Bytes(QStringLiteral("SET\\WIN.INI")), winIni);
}

// A copy made by the kernel inside a batch reads the image file itself, and writes it at once:
// data the batch holds for its source must reach the image first, and data it holds for its
// destination (clusters taken and given up again in this batch) must not be written over it.
TEST(FatBatchCopy, a_copy_in_the_kernel_sees_held_data_and_is_not_overwritten_by_it) {
    MtoolsImage image({16, 8, ImageSpec::Layout::Bare});
    const int fd = ::open(image.Path().toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fat::RawFileDevice device(fd, QFileInfo(image.Path()).size());
    Result<fat::FatVolume> opened =
        fat::FatVolume::Open(device, true, image.VolumeOffset(), image.VolumeBytes(), "test");
    ASSERT_TRUE(opened) << opened.reason().toStdString();
    fat::FatVolume volume = std::move(opened).value();
    const Result<std::vector<uint32_t>> free = volume.FindFree(3);
    ASSERT_TRUE(free);
    const qint64 bytes = volume.ClusterBytes();
    const qint64 source = volume.ClusterOffset(free.value()[0]);
    const qint64 destination = volume.ClusterOffset(free.value()[2]);
    const QByteArray data = Pattern(bytes, 7);
    const QByteArray stale = Pattern(bytes, 8);

    volume.BeginBatch();
    ASSERT_TRUE(volume.WriteData(source, data.constData(), bytes));
    ASSERT_TRUE(volume.WriteData(destination, stale.constData(), bytes));
    ASSERT_TRUE(volume.CopyData(source, destination, bytes));
    ASSERT_TRUE(volume.EndBatch());

    QByteArray written(bytes, Qt::Uninitialized);
    ASSERT_EQ(::pread(fd, written.data(), size_t(bytes), off_t(image.VolumeOffset() + destination)),
              ssize_t(bytes));
    EXPECT_EQ(written, data);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FatBatch,
                         testing::Values(ImageSpec{12, 4, ImageSpec::Layout::Bare},
                                         ImageSpec{32, 64, ImageSpec::Layout::Mbr}),
                         [](const testing::TestParamInfo<ImageSpec>& info) {
                             return "fat" + std::to_string(info.param.fatBits);
                         });

}  // namespace
}  // namespace stowix::test
