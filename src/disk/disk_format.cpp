#include "disk/disk_format.h"

#include "disk/byte_order.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

namespace stowix::fat {

namespace {

using Kind = DiskFormat::Kind;

constexpr std::size_t VhdFooterBytes = 512;
constexpr uint32_t VhdFixed = 2;
constexpr uint32_t VhdDynamic = 3;
constexpr uint32_t VhdDifferencing = 4;
constexpr uint32_t VdiDifferencing =
    4;  // the image type, after the signature, version, header size

bool StartsWith(const unsigned char* head, std::size_t size, std::string_view magic,
                std::size_t at = 0) {
    return size >= at + magic.size() && std::memcmp(head + at, magic.data(), magic.size()) == 0;
}

DiskFormat Container(const char* format, const char* description) {
    return {Kind::Container, QString::fromLatin1(format), QString::fromLatin1(description), {}};
}

DiskFormat Unusable(const char* description, const char* advice) {
    return {Kind::Unusable, QString(), QString::fromLatin1(description),
            QString::fromLatin1(advice)};
}

DiskFormat Archive(const char* description) {
    return Unusable(description, "unpack the disk from the archive first");
}

// QEMU serves the disk, but not the chain a snapshot needs.
DiskFormat Snapshot(const char* description) {
    return Unusable(
        description,
        "QEMU's block layer, through which Stowix reads such disks, does not follow it "
        "to its parent disk. Merge the snapshot into its parent first (in the emulator, "
        "or with VBoxManage mergemedium for VirtualBox), or convert the chain to one "
        "disk with qemu-img convert");
}

// A VMDK descriptor is a short text file; its first line says what it is, though a comment or a
// blank line may come before it.
bool IsVmdkDescriptor(const unsigned char* head, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(head),
                                std::min<std::size_t>(size, 1024));
    const std::size_t at = text.find("# Disk DescriptorFile");
    if (at == std::string_view::npos) return false;
    for (char c : text.substr(0, at)) {
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t' && c != '#' && (c < 0x20 || c > 0x7e))
            return false;
    }
    return true;
}

DiskFormat VhdOfType(uint32_t type) {
    if (type == VhdDynamic) return Container("vpc", "dynamic VHD");
    if (type == VhdDifferencing) return Snapshot("differencing VHD");
    return Unusable("VHD of an unknown disk type", "check it in the program that made it");
}

std::optional<DiskFormat> ContainerFormat(const unsigned char* head, std::size_t size) {
    if (StartsWith(head, size, "QFI\xfb")) {
        if (size >= 8 && Be32(head + 4) == 1) return Container("qcow", "qcow (version 1) disk");
        return Container("qcow2", "qcow2 disk");
    }
    if (StartsWith(head, size, std::string_view("QED\0", 4))) return Container("qed", "QED disk");
    if (size >= 0x44 && Le32(head + 0x40) == 0xBEDA107F) {
        if (size >= 0x50 && Le32(head + 0x4C) == VdiDifferencing)
            return Snapshot("VirtualBox differencing VDI (a snapshot)");
        return Container("vdi", "VirtualBox VDI disk");
    }
    if (StartsWith(head, size, "KDMV")) return Container("vmdk", "VMDK disk");
    if (StartsWith(head, size, "COWD")) return Container("vmdk", "VMDK (ESX) disk");
    if (IsVmdkDescriptor(head, size)) return Container("vmdk", "VMDK descriptor");
    if (StartsWith(head, size, "vhdxfile")) return Container("vhdx", "VHDX disk");
    // A dynamic or differencing VHD keeps a copy of its footer at its start.
    if (StartsWith(head, size, "conectix") && size >= VhdFooterBytes)
        return VhdOfType(Be32(head + 60));
    return std::nullopt;
}

std::optional<DiskFormat> NoDisk(const unsigned char* head, std::size_t size) {
    if (StartsWith(head, size, "\x1f\x8b")) return Archive("gzip archive");
    if (StartsWith(head, size,
                   std::string_view("\xfd"
                                    "7zXZ\0",
                                    6)))
        return Archive("xz archive");
    if (StartsWith(head, size, "BZh")) return Archive("bzip2 archive");
    if (StartsWith(head, size, "\x28\xb5\x2f\xfd")) return Archive("zstd archive");
    if (StartsWith(head, size, "PK\x03\x04")) return Archive("zip archive");
    if (StartsWith(head, size, "7z\xbc\xaf\x27\x1c")) return Archive("7-Zip archive");
    if (StartsWith(head, size, "CD001", 0x8001))
        return Unusable("CD image (ISO 9660)", "a CD is no hard disk");
    return std::nullopt;
}

}  // namespace

DiskFormat DetectDiskFormat(const unsigned char* head, std::size_t headSize,
                            const unsigned char* tail) {
    if (std::optional<DiskFormat> container = ContainerFormat(head, headSize)) return *container;
    if (tail != nullptr && std::memcmp(tail, "conectix", 8) == 0) {
        const uint32_t type = Be32(tail + 60);
        if (type == VhdFixed) return {Kind::FixedVhd, QString(), QStringLiteral("fixed VHD"), {}};
        return VhdOfType(type);
    }
    if (std::optional<DiskFormat> other = NoDisk(head, headSize)) return *other;
    return {Kind::Raw, QString(), QStringLiteral("raw disk image"), {}};
}

}  // namespace stowix::fat
