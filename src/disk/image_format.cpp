#include "disk/image_format.h"

#include "disk/byte_order.h"

#include <QStringList>

#include <cstring>
#include <vector>

namespace stowix::fat {

namespace {

constexpr qint64 SectorBytes = 512;  // the MBR's unit, whatever the file system's sector size

struct Partition {
    int number = 0;  // 1-4 primary, 5 on logical
    unsigned char type = 0;
    qint64 offset = 0;  // in bytes
    qint64 length = 0;
};

bool IsFatType(unsigned char type) {
    return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0B || type == 0x0C ||
           type == 0x0E;
}

bool IsExtendedType(unsigned char type) { return type == 0x05 || type == 0x0F || type == 0x85; }

QString TypeName(unsigned char type) {
    switch (type) {
    case 0x01: return QStringLiteral("FAT12");
    case 0x04:
    case 0x06:
    case 0x0E: return QStringLiteral("FAT16");
    case 0x0B:
    case 0x0C: return QStringLiteral("FAT32");
    case 0x05:
    case 0x0F:
    case 0x85: return QStringLiteral("extended");
    case 0x07: return QStringLiteral("NTFS or exFAT");
    case 0x82: return QStringLiteral("Linux swap");
    case 0x83: return QStringLiteral("Linux");
    case 0xEE: return QStringLiteral("GPT protective");
    default: return QStringLiteral("unknown");
    }
}

QString Describe(const Partition& partition) {
    return QStringLiteral("partition %1: type %2 (%3), %4 MiB")
        .arg(partition.number)
        .arg(int(partition.type), 2, 16, QChar(u'0'))
        .arg(TypeName(partition.type))
        .arg(partition.length / (1024 * 1024));
}

bool PowerOfTwo(unsigned value) { return value != 0 && (value & (value - 1)) == 0; }

// The partitions an MBR (and the chain of extended boot records it leads to) holds.
Result<std::vector<Partition>> ReadPartitions(BlockDevice& device, const unsigned char* mbr,
                                              qint64 fileSize) {
    std::vector<Partition> partitions;
    std::optional<Partition> extended;
    for (int i = 0; i < 4; ++i) {
        const unsigned char* entry = mbr + 446 + 16 * i;
        Partition partition;
        partition.number = i + 1;
        partition.type = entry[4];
        partition.offset = qint64(Le32(entry + 8)) * SectorBytes;
        partition.length = qint64(Le32(entry + 12)) * SectorBytes;
        if (partition.type == 0 || partition.length == 0) continue;
        partitions.push_back(partition);
        if (IsExtendedType(partition.type) && !extended) extended = partition;
    }
    if (!extended) return partitions;
    // Each extended boot record gives one logical drive, relative to itself, and the next
    // record, relative to the extended partition's start.
    qint64 record = extended->offset;
    for (int number = 5; number < 5 + 128; ++number) {
        if (record <= 0 || record + SectorBytes > fileSize) break;
        unsigned char sector[SectorBytes];
        if (!device.Read(record, sector, SectorBytes) || sector[510] != 0x55 || sector[511] != 0xAA)
            break;
        Partition logical;
        logical.number = number;
        logical.type = sector[446 + 4];
        logical.offset = record + qint64(Le32(sector + 446 + 8)) * SectorBytes;
        logical.length = qint64(Le32(sector + 446 + 12)) * SectorBytes;
        if (logical.type != 0 && logical.length != 0) partitions.push_back(logical);
        const unsigned char* next = sector + 446 + 16;
        if (next[4] == 0 || Le32(next + 8) == 0) break;
        record = extended->offset + qint64(Le32(next + 8)) * SectorBytes;
    }
    return partitions;
}

// The partition of a partition table that holds the volume: the one numbered partition, or the
// first of a FAT type; failures name what the table holds.
Result<VolumeSpan> ChosenPartition(BlockDevice& device, const std::vector<Partition>& partitions,
                                   std::optional<int> partition, qint64 diskSize,
                                   const QString& imageName) {
    QStringList table;
    for (const Partition& each : partitions) table.append(Describe(each));
    const QString holds =
        table.isEmpty() ? QStringLiteral("no partitions") : table.join(QStringLiteral("; "));

    const Partition* chosen = nullptr;
    for (const Partition& each : partitions) {
        if (partition ? each.number == *partition : IsFatType(each.type)) {
            chosen = &each;
            break;
        }
    }
    if (!chosen) {
        if (partition)
            return Status::Fail(QStringLiteral("%1 has no partition %2; its table holds %3")
                                    .arg(imageName)
                                    .arg(*partition)
                                    .arg(holds));
        return Status::Fail(
            QStringLiteral("%1 holds no FAT partition; its table holds %2").arg(imageName, holds));
    }
    if (chosen->offset + chosen->length > diskSize)
        return Status::Fail(QStringLiteral("%1: partition %2 reaches beyond the end of the image")
                                .arg(imageName)
                                .arg(chosen->number));
    unsigned char boot[SectorBytes];
    if (Status bootRead = device.Read(chosen->offset, boot, SectorBytes);
        !bootRead || !LooksLikeFatBootSector(boot))
        return Status::Fail(QStringLiteral("%1: partition %2 holds no FAT file system (%3)")
                                .arg(imageName)
                                .arg(chosen->number)
                                .arg(Describe(*chosen)));
    return VolumeSpan{chosen->offset, chosen->length};
}

}  // namespace

bool LooksLikeFatBootSector(const unsigned char* sector) {
    if (!(sector[0] == 0xEB || sector[0] == 0xE9)) return false;
    const unsigned bytesPerSector = Le16(sector + 11);
    const unsigned sectorsPerCluster = sector[13];
    const unsigned reserved = Le16(sector + 14);
    const unsigned fats = sector[16];
    const unsigned total = Le16(sector + 19) != 0 ? Le16(sector + 19) : Le32(sector + 32);
    return bytesPerSector >= 512 && bytesPerSector <= 4096 && PowerOfTwo(bytesPerSector) &&
           PowerOfTwo(sectorsPerCluster) && reserved >= 1 && fats >= 1 && fats <= 4 && total != 0;
}

Result<VolumeSpan> FindFatVolume(BlockDevice& device, std::optional<int> partition,
                                 const QString& imageName) {
    const qint64 fileSize = device.Size();
    if (fileSize < SectorBytes)
        return Status::Fail(QStringLiteral("%1 is too small to be a disk image").arg(imageName));
    unsigned char first[SectorBytes];
    unsigned char footer[SectorBytes];
    if (Status read = device.Read(0, first, SectorBytes); !read)
        return Status::Fail(imageName + QStringLiteral(": ") + read.reason());
    if (Status read = device.Read(fileSize - SectorBytes, footer, SectorBytes); !read)
        return Status::Fail(imageName + QStringLiteral(": ") + read.reason());
    // A fixed VHD is the raw disk followed by its footer.
    qint64 diskSize = fileSize;
    if (std::memcmp(footer, "conectix", 8) == 0 && Be32(footer + 60) == 2)
        diskSize = fileSize - SectorBytes;

    if (LooksLikeFatBootSector(first)) {
        if (partition && *partition != 1)
            return Status::Fail(QStringLiteral("%1 is a FAT volume without a partition table, "
                                               "so it has no partition %2")
                                    .arg(imageName)
                                    .arg(*partition));
        return VolumeSpan{0, diskSize};
    }
    if (first[510] != 0x55 || first[511] != 0xAA)
        return Status::Fail(QStringLiteral("%1 is neither a disk with a partition table nor a "
                                           "FAT volume (it takes disks with an MBR and bare FAT "
                                           "volumes)")
                                .arg(imageName));

    const std::vector<Partition> partitions = TRY(ReadPartitions(device, first, diskSize));
    return ChosenPartition(device, partitions, partition, diskSize, imageName);
}

}  // namespace stowix::fat
