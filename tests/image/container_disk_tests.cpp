// Drives in container formats, served by qemu-nbd: every format read and written in place (a
// table, one case a format), a qcow2 overlay written in its top layer, a missing backing file
// named with nothing written, files that are no disk or that QEMU cannot read refused with what
// they are, and qemu-nbd missing. Every disk is made by qemu-img from an mtools image and read
// back through qemu-img, mtools and fsck.fat; qemu-img check judges the container.

#include "image/image_fixture.h"
#include "image/qemu_disk.h"

#include <QFile>

#include <cstdlib>

namespace stowix::test {
namespace {

const QByteArray SystemDat = Pattern(300 * 1024, 1);  // large enough to be copied inside the disk
const QByteArray WinIni = "[windows]\r\nload=\r\n";

// Gives both footers of a dynamic VHD the differencing disk type, with their checksums.
void MakeDifferencing(const QString& vhd) {
    QFile file(vhd);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    for (const qint64 at : {qint64(0), file.size() - 512}) {
        file.seek(at);
        QByteArray footer = file.read(512);
        footer.replace(60, 4, QByteArray("\0\0\0\x04", 4));
        footer.replace(64, 4, QByteArray(4, '\0'));
        quint32 sum = 0;
        for (char byte : footer) sum += quint8(byte);
        sum = ~sum;
        for (int i = 0; i < 4; ++i) footer[64 + i] = char(sum >> (8 * (3 - i)));
        file.seek(at);
        file.write(footer);
    }
}

class ContainerDisk : public testing::Test {
protected:
    void SetUp() override {
        raw.AddFolder(QStringLiteral("WINDOWS"));
        raw.AddFile(QStringLiteral("WINDOWS\\WIN.INI"), WinIni, 0x20);
        raw.AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"), SystemDat, 0x06);
    }

    QString Path(const char* name) const { return raw.Folder() + u'/' + QLatin1String(name); }

    QString OpenFailure(const QString& path) {
        Result<std::unique_ptr<FileSystem>> opened = OpenFatImageFile(u'C', path.toStdString());
        return opened ? QString() : opened.reason();
    }

    std::unique_ptr<FileSystem> Open(const QString& path) {
        Result<std::unique_ptr<FileSystem>> opened = OpenFatImageFile(u'C', path.toStdString());
        EXPECT_TRUE(opened.ok()) << opened.reason().toStdString();
        return opened ? std::move(opened).value() : nullptr;
    }

    // What a backup does: a folder, a large file copied inside the disk, a small one, a flush.
    void Backup(FileSystem& files) {
        const auto expectOk = [](const Status& status) {
            EXPECT_TRUE(status) << status.reason().toStdString();
        };
        expectOk(files.CreateFolder(QStringLiteral("C:\\SET")));
        expectOk(files.CopyFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"),
                                QStringLiteral("C:\\SET\\SYSTEM.DAT")));
        expectOk(files.CopyFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"),
                                QStringLiteral("C:\\SET\\WIN.INI")));
        expectOk(files.FlushToDisk(QStringLiteral("C:\\SET")));
    }

    // The container read back: the set is there, whole, and the volume sound; once the disk is
    // closed, nothing holds the file any longer and the container is sound too. While it is
    // open, the set is in the file all the same: the flush wrote out what qemu-nbd held.
    void ExpectBackedUp(const QString& container, const char* format, bool whileOpen = false) {
        if (!whileOpen) {
            EXPECT_EQ(HeldBy(container), QString());
            const QString checked = ContainerProblems(container, QLatin1String(format));
            EXPECT_TRUE(checked.isEmpty()) << checked.toStdString();
        }
        std::unique_ptr<ReadBackImage> back = ReadBack(
            container, QLatin1String(format), raw.VolumeOffset(), raw.VolumeBytes(), whileOpen);
        ASSERT_TRUE(back->image);
        EXPECT_EQ(back->image->Bytes(QStringLiteral("SET\\SYSTEM.DAT")), SystemDat);
        EXPECT_EQ(back->image->Bytes(QStringLiteral("SET\\WIN.INI")), WinIni);
        EXPECT_EQ(back->image->Bytes(QStringLiteral("WINDOWS\\WIN.INI")), WinIni);
        // While the disk is open the volume is marked in use (its dirty bit), as Windows marks it;
        // what must hold then is that nothing is damaged.
        const QString problems =
            whileOpen ? back->image->FsckDamage() : back->image->FsckProblems();
        EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    }

    MtoolsImage raw{ImageSpec{16, 32, ImageSpec::Layout::Mbr}};
};

TEST_F(ContainerDisk, every_format_is_read_and_written_in_place) {
    for (const ContainerKind& kind : ContainerKinds()) {
        SCOPED_TRACE(kind.name);
        const QString container =
            raw.Folder() + QStringLiteral("/disk.") + QLatin1String(kind.extension);
        QFile::remove(container);
        const QString made = MakeContainer(raw.Path(), kind, container);
        ASSERT_TRUE(made.isEmpty()) << made.toStdString();
        {
            std::unique_ptr<FileSystem> files = Open(container);
            ASSERT_TRUE(files);
            EXPECT_EQ(NamesOf(files->ListFolder(QStringLiteral("C:\\WINDOWS\\*.*"), 0x06)),
                      (QStringList{QStringLiteral("SYSTEM.DAT"), QStringLiteral("WIN.INI")}));
            Backup(*files);
            ExpectBackedUp(container, kind.qemuFormat, true);
        }
        ExpectBackedUp(container, kind.qemuFormat);
    }
}

TEST_F(ContainerDisk, an_overlay_is_written_in_its_top_layer_and_its_backing_file_left_alone) {
    const QString base = Path("base.qcow2");
    const QString top = Path("top.qcow2");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds().front(), base), QString());
    ASSERT_EQ(MakeOverlay(base, QStringLiteral("qcow2"), top), QString());
    const QByteArray baseBefore = FileDigest(base);
    {
        std::unique_ptr<FileSystem> files = Open(top);
        ASSERT_TRUE(files);
        Backup(*files);
    }
    EXPECT_EQ(FileDigest(base), baseBefore);
    ExpectBackedUp(top, "qcow2");
    std::unique_ptr<ReadBackImage> backing =
        ReadBack(base, QStringLiteral("qcow2"), raw.VolumeOffset(), raw.VolumeBytes());
    ASSERT_TRUE(backing->image);
    EXPECT_FALSE(backing->image->Bytes(QStringLiteral("SET\\WIN.INI")));
}

TEST_F(ContainerDisk, a_disk_in_use_keeps_a_second_stowix_and_qemu_out) {
    const QString disk = Path("disk.qcow2");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds().front(), disk), QString());
    std::unique_ptr<FileSystem> first = Open(disk);
    ASSERT_TRUE(first);
    const QString second = OpenFailure(disk);
    EXPECT_TRUE(second.contains(QStringLiteral("another copy of Stowix"))) << second.toStdString();
    // qemu-nbd holds QEMU's own locks: QEMU would not open the disk meanwhile.
    const auto [status, output] =
        RunProgram(QStringLiteral("qemu-img"), {QStringLiteral("info"), disk});
    EXPECT_NE(status, 0);
    EXPECT_TRUE(output.contains("lock")) << output.toStdString();
    first.reset();
    EXPECT_EQ(HeldBy(disk), QString());
    EXPECT_EQ(OpenFailure(disk), QString());
}

TEST_F(ContainerDisk, a_missing_backing_file_is_named_and_nothing_written) {
    const QString base = Path("base.qcow2");
    const QString top = Path("top.qcow2");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds().front(), base), QString());
    ASSERT_EQ(MakeOverlay(base, QStringLiteral("qcow2"), top), QString());
    ASSERT_TRUE(QFile::rename(base, Path("moved.qcow2")));
    const QByteArray before = FileDigest(top);
    const QString failure = OpenFailure(top);
    EXPECT_TRUE(failure.contains(QStringLiteral("backing file ") + base)) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("nothing was written"))) << failure.toStdString();
    EXPECT_EQ(FileDigest(top), before);
    EXPECT_EQ(HeldBy(top), QString());
}

TEST_F(ContainerDisk, what_is_no_disk_or_what_qemu_cannot_read_is_refused_saying_what_it_is) {
    // An image packed by gzip.
    const QString packed = Path("disk.img.gz");
    ASSERT_EQ(RunProgram(QStringLiteral("sh"),
                         {QStringLiteral("-c"), QStringLiteral("gzip -c \"$0\" > \"$1\""),
                          raw.Path(), packed})
                  .first,
              0);
    QString failure = OpenFailure(packed);
    EXPECT_TRUE(failure.contains(QStringLiteral("is a gzip archive"))) << failure.toStdString();

    // A qcow2 disk that asks for a feature no QEMU knows (an incompatible feature bit).
    const QString future = Path("future.qcow2");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds().front(), future), QString());
    {
        QFile file(future);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(72);
        file.write(QByteArray("\x80\0\0\0\0\0\0\0", 8));
    }
    const QByteArray before = FileDigest(future);
    failure = OpenFailure(future);
    EXPECT_TRUE(failure.contains(QStringLiteral("is a qcow2 disk that QEMU cannot open")))
        << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("feature"))) << failure.toStdString();
    EXPECT_EQ(FileDigest(future), before);

    // A differencing VHD (a dynamic one whose footers say so): QEMU would read it without its
    // parent's data.
    const QString child = Path("child.vhd");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds()[4], child), QString());
    MakeDifferencing(child);
    failure = OpenFailure(child);
    EXPECT_TRUE(failure.contains(QStringLiteral("is a differencing VHD"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("parent"))) << failure.toStdString();
}

TEST_F(ContainerDisk, qemu_nbd_missing_names_the_package_to_install) {
    const QString disk = Path("disk.vdi");
    ASSERT_EQ(MakeContainer(raw.Path(), ContainerKinds()[1], disk), QString());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", raw.Folder().toLocal8Bit());
    const QString failure = OpenFailure(disk);
    qputenv("PATH", path);
    EXPECT_TRUE(failure.contains(QStringLiteral("VirtualBox VDI disk"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QStringLiteral("install the qemu-utils package")))
        << failure.toStdString();
}

}  // namespace
}  // namespace stowix::test
