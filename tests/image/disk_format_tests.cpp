// A disk's format is told from its own bytes: each container QEMU reads, by its signature and
// with the name qemu-nbd is given; fixed VHDs and everything else as raw disks; archives and CD
// images as what they are.

#include "disk/disk_format.h"

#include <gtest/gtest.h>

#include <QByteArray>

namespace stowix::test {
namespace {

using Kind = fat::DiskFormat::Kind;

void PutBe32(QByteArray& bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * (3 - i)));
}

QByteArray Zeros(int size = 4096) { return QByteArray(size, '\0'); }

QByteArray WithMagic(QByteArray bytes, int at, const QByteArray& magic) {
    bytes.replace(at, magic.size(), magic);
    return bytes;
}

QByteArray VhdFooter(quint32 type) {
    QByteArray footer = WithMagic(Zeros(512), 0, "conectix");
    PutBe32(footer, 60, type);
    return footer;
}

QByteArray Qcow(quint32 version) {
    QByteArray head = WithMagic(Zeros(), 0, QByteArray("QFI\xfb", 4));
    PutBe32(head, 4, version);
    return head;
}

QByteArray Vdi() {
    QByteArray head = WithMagic(Zeros(), 0, "<<< Oracle VM VirtualBox Disk Image >>>\n");
    return WithMagic(head, 0x40, QByteArray("\x7f\x10\xda\xbe", 4));
}

QByteArray MbrDisk() {
    QByteArray head = Zeros();
    head[510] = char(0x55);
    head[511] = char(0xAA);
    return head;
}

struct Case {
    const char* what;
    QByteArray head;
    QByteArray tail;  // empty: no last sector
    Kind kind;
    const char* qemuFormat;
    const char* description;
};

TEST(DiskFormat, each_signature_gives_its_kind_and_format) {
    const Case cases[] = {
        {"qcow2 version 3", Qcow(3), {}, Kind::Container, "qcow2", "qcow2 disk"},
        {"qcow2 version 2", Qcow(2), {}, Kind::Container, "qcow2", "qcow2 disk"},
        {"qcow version 1", Qcow(1), {}, Kind::Container, "qcow", "qcow (version 1) disk"},
        {"QED",
         WithMagic(Zeros(), 0, QByteArray("QED\0", 4)),
         {},
         Kind::Container,
         "qed",
         "QED disk"},
        {"VDI", Vdi(), {}, Kind::Container, "vdi", "VirtualBox VDI disk"},
        {"VMDK sparse", WithMagic(Zeros(), 0, "KDMV"), {}, Kind::Container, "vmdk", "VMDK disk"},
        {"VMDK descriptor",
         "# Disk DescriptorFile\nversion=1\ncreateType=\"monolithicFlat\"\n",
         {},
         Kind::Container,
         "vmdk",
         "VMDK descriptor"},
        {"VMDK descriptor after a blank line",
         "\n# Disk DescriptorFile\nversion=1\n",
         {},
         Kind::Container,
         "vmdk",
         "VMDK descriptor"},
        {"VHDX", WithMagic(Zeros(), 0, "vhdxfile"), {}, Kind::Container, "vhdx", "VHDX disk"},
        {"dynamic VHD", VhdFooter(3), VhdFooter(3), Kind::Container, "vpc", "dynamic VHD"},
        // QEMU would serve a differencing VHD without its parent's data.
        {"differencing VHD", VhdFooter(4), VhdFooter(4), Kind::Unusable, "", "differencing VHD"},
        {"differencing VDI",
         WithMagic(Vdi(), 0x4C, QByteArray("\x04\0\0\0", 4)),
         {},
         Kind::Unusable,
         "",
         "VirtualBox differencing VDI (a snapshot)"},
        {"fixed VHD", MbrDisk(), VhdFooter(2), Kind::FixedVhd, "", "fixed VHD"},
        {"raw MBR disk", MbrDisk(), Zeros(512), Kind::Raw, "", "raw disk image"},
        // A raw disk's first sector is free to hold text; only a descriptor's own line counts.
        {"raw disk naming a descriptor", WithMagic(MbrDisk(), 3, "x # Disk DescriptorFile"),
         Zeros(512), Kind::Raw, "", "raw disk image"},
        {"a tiny file", "abc", {}, Kind::Raw, "", "raw disk image"},
        {"gzip", WithMagic(Zeros(), 0, "\x1f\x8b\x08"), Zeros(512), Kind::Unusable, "",
         "gzip archive"},
        {"xz",
         WithMagic(Zeros(), 0,
                   QByteArray("\xfd"
                              "7zXZ\0",
                              6)),
         Zeros(512), Kind::Unusable, "", "xz archive"},
        {"zip", WithMagic(Zeros(), 0, "PK\x03\x04"), Zeros(512), Kind::Unusable, "", "zip archive"},
        {"ISO 9660", WithMagic(Zeros(0x9000), 0x8001, "CD001"), Zeros(512), Kind::Unusable, "",
         "CD image (ISO 9660)"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        const auto* head = reinterpret_cast<const unsigned char*>(each.head.constData());
        const auto* tail = each.tail.isEmpty()
                               ? nullptr
                               : reinterpret_cast<const unsigned char*>(each.tail.constData());
        const fat::DiskFormat format = fat::DetectDiskFormat(head, size_t(each.head.size()), tail);
        EXPECT_EQ(format.kind, each.kind);
        EXPECT_EQ(format.qemuFormat, QLatin1String(each.qemuFormat));
        EXPECT_EQ(format.description, QLatin1String(each.description));
    }
}

}  // namespace
}  // namespace stowix::test
