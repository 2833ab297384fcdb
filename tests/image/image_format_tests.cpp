// Which disks the engine takes: MBR disks (primary and logical FAT partitions, or the one named),
// bare volumes and fixed VHDs; anything else is refused.

#include "disk/image_format.h"
#include "image/image_fixture.h"

#include <QFile>

namespace stowix::test {
namespace {

void PutLe32(QByteArray& bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

void SetPartition(QByteArray& sector, int index, int type, quint32 start, quint32 count) {
    const int at = 446 + 16 * index;
    sector[at + 4] = char(type);
    PutLe32(sector, at + 8, start);
    PutLe32(sector, at + 12, count);
    sector[510] = char(0x55);
    sector[511] = char(0xAA);
}

QString OpenFailure(const QString& path, std::optional<int> partition = std::nullopt) {
    FatImageOptions options;
    options.partition = partition;
    Result<std::unique_ptr<FileSystem>> opened =
        OpenFatImageFile(u'C', path.toStdString(), options);
    return opened ? QString() : opened.reason();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(ImageFormat, a_file_that_is_no_disk_is_refused) {
    QTemporaryDir folder;
    const QString noise = folder.filePath(QStringLiteral("noise"));
    WriteFile(noise, Pattern(8192, 3));
    EXPECT_TRUE(
        OpenFailure(noise).contains(QStringLiteral("neither a disk with a partition table")));
}

// An MBR disk whose first partition is Linux, the second primary FAT16, and an extended one with
// a logical FAT32 drive, each volume made by mformat where the table says.
class PartitionedDisk : public testing::Test {
protected:
    void SetUp() override {
        path = folder.filePath(QStringLiteral("disk.img"));
        constexpr quint32 MiB = 2048;  // sectors
        QByteArray mbr(512, '\0');
        SetPartition(mbr, 0, 0x83, 1 * MiB, 4 * MiB);
        SetPartition(mbr, 1, 0x06, 5 * MiB, 20 * MiB);
        SetPartition(mbr, 2, 0x0F, 25 * MiB, 40 * MiB);
        QByteArray ebr(512, '\0');
        SetPartition(ebr, 0, 0x0C, 1 * MiB, 36 * MiB);  // relative to the record itself
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(qint64(65 * MiB) * 512);
        file.seek(0);
        file.write(mbr);
        file.seek(qint64(25 * MiB) * 512);
        file.write(ebr);
        file.close();
        Format(5 * MiB, 20 * MiB, {}, "PRIMARY");
        Format(26 * MiB, 36 * MiB, {QStringLiteral("-F")}, "LOGICAL");
    }

    void Format(quint32 start, quint32 count, QStringList extra, const char* marker) {
        const QString target = path + QStringLiteral("@@") + QString::number(qint64(start) * 512);
        QStringList arguments{QStringLiteral("-i"), target,
                              QStringLiteral("-T"), QString::number(count),
                              QStringLiteral("-H"), QString::number(start),
                              QStringLiteral("-h"), QStringLiteral("16"),
                              QStringLiteral("-s"), QStringLiteral("63")};
        arguments << extra << QStringLiteral("::");
        auto [status, output] = RunProgram(QStringLiteral("mformat"), arguments);
        ASSERT_EQ(status, 0) << output.toStdString();
        const QString host = folder.filePath(QString::fromLatin1(marker));
        WriteFile(host, marker);
        std::tie(status, output) = RunProgram(
            QStringLiteral("mcopy"), {QStringLiteral("-i"), target, host, QStringLiteral("::/")});
        ASSERT_EQ(status, 0) << output.toStdString();
    }

    QString Marker(std::optional<int> partition) {
        FatImageOptions options;
        options.partition = partition;
        Result<std::unique_ptr<FileSystem>> opened =
            OpenFatImageFile(u'C', path.toStdString(), options);
        if (!opened) return opened.reason();
        return NamesOf(opened.value()->ListFolder(QStringLiteral("C:\\*.*"), 0)).join(u',');
    }

    QTemporaryDir folder;
    QString path;
};

TEST_F(PartitionedDisk, takes_the_first_fat_partition_or_the_one_named) {
    EXPECT_EQ(Marker(std::nullopt), QStringLiteral("PRIMARY"));
    EXPECT_EQ(Marker(2), QStringLiteral("PRIMARY"));
    EXPECT_EQ(Marker(5), QStringLiteral("LOGICAL"));
    const QString linux = Marker(1);
    EXPECT_TRUE(linux.contains(QStringLiteral("partition 1 holds no FAT file system")))
        << linux.toStdString();
    const QString missing = Marker(4);
    EXPECT_TRUE(missing.contains(QStringLiteral("no partition 4"))) << missing.toStdString();
    // The message lists what the table holds.
    EXPECT_TRUE(missing.contains(QStringLiteral("type 83 (Linux)"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("partition 5: type 0c (FAT32)")))
        << missing.toStdString();
}

TEST(ImageFormat, a_disk_without_a_fat_partition_lists_its_table) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("linux.img"));
    QByteArray disk(4 * 1024 * 1024, '\0');
    QByteArray mbr(512, '\0');
    SetPartition(mbr, 0, 0x83, 2048, 4096);
    disk.replace(0, 512, mbr);
    WriteFile(path, disk);
    const QString failure = OpenFailure(path);
    EXPECT_TRUE(failure.contains(QStringLiteral("holds no FAT partition")))
        << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("partition 1: type 83 (Linux), 2 MiB")))
        << failure.toStdString();
}

}  // namespace
}  // namespace stowix::test
