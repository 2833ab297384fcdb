// The engine writes, and mtools reads back what it wrote (names, bytes, attributes); after every
// test fsck.fat -n finds nothing to mend on the volume.

#include "image/image_fixture.h"

#include <cstring>

namespace stowix::test {
namespace {

constexpr int Everything =
    Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Folder;

class FatWrite : public testing::TestWithParam<ImageSpec> {
protected:
    void SetUp() override {
        image = std::make_unique<MtoolsImage>(GetParam());
        image->AddFolder(QStringLiteral("WINDOWS"));
        image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), "[windows]\r\n", 0x20);
        image->AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"), systemDat, 0x07,
                       QDateTime(QDate(1999, 5, 5), QTime(10, 20, 30)));
        image->AddFile(QStringLiteral("WINDOWS\\USER.DAT"), Pattern(40000, 2), 0x06);
        Open();
    }

    void Open() {
        files = OpenImage(*image);
        ASSERT_TRUE(files);
    }

    // The engine lets go of the image first, as the program does when it ends.
    void TearDown() override {
        files.reset();
        const QString problems = image->FsckProblems();
        EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    }

    void ExpectOk(const Status& status) {
        EXPECT_TRUE(status.ok()) << status.reason().toStdString();
    }

    const QByteArray systemDat = Pattern(150000, 1);
    std::unique_ptr<MtoolsImage> image;
    std::unique_ptr<FileSystem> files;
};

TEST_P(FatWrite, copies_keep_bytes_and_time_and_mtools_reads_them) {
    ExpectOk(files->CreateFolder(QStringLiteral("C:\\Stowix")));
    ExpectOk(files->CreateFolder(QStringLiteral("C:\\Stowix\\Backup Set 1")));
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"),
                             QStringLiteral("C:\\Stowix\\Backup Set 1\\System.dat")));
    ExpectOk(files->CopyFile(QStringLiteral("c:\\windows\\win.ini"),
                             QStringLiteral("C:\\Stowix\\Backup Set 1\\WIN.INI")));
    ExpectOk(files->WriteAttributes(QStringLiteral("C:\\Stowix\\Backup Set 1\\System.dat"),
                                    Attribute::Hidden | Attribute::System));
    ExpectOk(files->FlushToDisk(QStringLiteral("C:\\")));
    files.reset();

    EXPECT_EQ(image->Names(QStringLiteral("Stowix")), QStringList{"Backup Set 1"});
    EXPECT_EQ(image->Names(QStringLiteral("Stowix\\Backup Set 1")),
              (QStringList{"System.dat", "WIN.INI"}));
    EXPECT_EQ(image->ShortName(QStringLiteral("Stowix\\Backup Set 1")), QStringLiteral("BACKUP~1"));
    EXPECT_EQ(image->ShortName(QStringLiteral("Stowix\\Backup Set 1\\System.dat")),
              QStringLiteral("SYSTEM.DAT"));
    EXPECT_EQ(image->Bytes(QStringLiteral("Stowix\\Backup Set 1\\System.dat")), systemDat);
    EXPECT_EQ(image->Bytes(QStringLiteral("Stowix\\Backup Set 1\\WIN.INI")),
              QByteArray("[windows]\r\n"));
    EXPECT_EQ(image->Attributes(QStringLiteral("Stowix\\Backup Set 1\\System.dat")), 0x06);
    EXPECT_EQ(image->Attributes(QStringLiteral("Stowix\\Backup Set 1\\WIN.INI")), 0x20);
    // The last-write time travelled with the copy (FAT keeps it to 2 seconds).
    const auto [status, listing] = image->Mtools(
        QStringLiteral("mdir"),
        {QStringLiteral("-a"), image->Target(QStringLiteral("Stowix/Backup Set 1/"))});
    EXPECT_TRUE(listing.contains("1999-05-05  10:20")) << listing.toStdString();
}

TEST_P(FatWrite, replacing_a_file_frees_its_old_clusters) {
    const QString target = QStringLiteral("C:\\WINDOWS\\Copy of System.dat");
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"), target));
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\USER.DAT"), target));
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"), target));
    // A file copied onto itself stays whole.
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\USER.DAT"),
                             QStringLiteral("C:\\WINDOWS\\user.dat")));
    EXPECT_EQ(files->ListFolder(target, Everything).value().size(), 1u);
    files.reset();
    EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\Copy of System.dat")),
              QByteArray("[windows]\r\n"));
    EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\USER.DAT")), Pattern(40000, 2));
}

TEST_P(FatWrite, text_files_are_written_in_the_ansi_code_page_and_keep_attributes_when_replaced) {
    const QString script = QStringLiteral("C:\\WINDOWS\\WinStart.Bat");
    ExpectOk(
        files->WriteTextFile(script, {QStringLiteral("@Echo Off"), QStringLiteral("Caf\u00e9")}));
    ExpectOk(files->WriteAttributes(script, Attribute::Hidden));
    ExpectOk(files->WriteTextFile(script, {QStringLiteral("Rem second")}));
    EXPECT_EQ(files->ReadAttributes(script).value(), Attribute::Hidden);
    files.reset();
    EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\WinStart.Bat")), QByteArray("Rem second\r\n"));
    EXPECT_EQ(image->Attributes(QStringLiteral("WINDOWS\\WinStart.Bat")), 0x02);
    EXPECT_EQ(image->ShortName(QStringLiteral("WINDOWS\\WinStart.Bat")),
              QStringLiteral("WINSTART.BAT"));
}

TEST_P(FatWrite, folders_are_made_and_removed_as_on_windows) {
    ExpectOk(files->CreateFolder(QStringLiteral("C:\\ my comment")));
    EXPECT_FALSE(files->CreateFolder(QStringLiteral("C:\\ MY COMMENT")).ok());
    EXPECT_FALSE(files->CreateFolder(QStringLiteral("C:\\NoParent\\Child")).ok());
    for (const char16_t* refused :
         {u"C:\\CON", u"C:\\a<b", u"C:\\ends in a dot.", u"C:\\nul.txt", u"C:\\ends in a blank "}) {
        const Status status = files->CreateFolder(QString::fromUtf16(refused));
        EXPECT_FALSE(status.ok()) << QString::fromUtf16(refused).toStdString();
        EXPECT_TRUE(status.reason().startsWith(QString::fromUtf16(refused)))
            << status.reason().toStdString();
    }
    ExpectOk(files->CreateFolder(QStringLiteral("C:\\ my comment\\inner")));
    const Status full = files->RemoveEmptyFolder(QStringLiteral("C:\\ my comment"));
    EXPECT_FALSE(full.ok());
    ExpectOk(files->RestrictToOwner(QStringLiteral("C:\\ my comment")));
    ExpectOk(files->RemoveEmptyFolder(QStringLiteral("C:\\ my comment\\INNER")));
    files.reset();
    EXPECT_EQ(image->Names(QStringLiteral("")), (QStringList{" my comment", "WINDOWS"}));
    EXPECT_TRUE(image->Names(QStringLiteral(" my comment")).isEmpty());
    Open();
    ExpectOk(files->RemoveEmptyFolder(QStringLiteral("C:\\ MY COMMENT")));
    files.reset();
    EXPECT_EQ(image->Names(QStringLiteral("")), QStringList{"WINDOWS"});
}

TEST_P(FatWrite, deletes_refuse_read_only_files_and_try_every_match) {
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"),
                             QStringLiteral("C:\\WINDOWS\\USER.DA0")));
    ExpectOk(files->CopyFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"),
                             QStringLiteral("C:\\WINDOWS\\x.data")));
    const Status matched = files->DeleteMatching(QStringLiteral("C:\\WINDOWS\\*.Da?"));
    EXPECT_FALSE(matched.ok());  // SYSTEM.DAT is read-only
    EXPECT_TRUE(matched.reason().contains(QStringLiteral("read-only")))
        << matched.reason().toStdString();
    EXPECT_FALSE(files->DeleteFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT")).ok());
    EXPECT_FALSE(files->DeleteFile(QStringLiteral("C:\\WINDOWS")).ok());
    EXPECT_FALSE(files->DeleteFile(QStringLiteral("C:\\WINDOWS\\GONE.TXT")).ok());
    ExpectOk(files->WriteAttributes(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"), 0));
    ExpectOk(files->DeleteFile(QStringLiteral("C:\\windows\\system.dat")));
    ExpectOk(files->DeleteMatching(QStringLiteral("C:\\NOWHERE\\*.*")));
    files.reset();
    EXPECT_EQ(image->Names(QStringLiteral("WINDOWS")), (QStringList{"WIN.INI", "x.data"}));
}

TEST_P(FatWrite, attributes_are_the_entrys_byte) {
    const QString path = QStringLiteral("C:\\WINDOWS\\WIN.INI");
    ExpectOk(files->WriteAttributes(
        path, Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Archive));
    EXPECT_FALSE(files->WriteAttributes(path, 0x40).ok());
    EXPECT_FALSE(files->CopyFile(QStringLiteral("C:\\WINDOWS\\USER.DAT"), path).ok());
    ExpectOk(files->WriteAttributes(QStringLiteral("C:\\WINDOWS"),
                                    Attribute::Folder | Attribute::Hidden));
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\WINDOWS")).value(),
              Attribute::Folder | Attribute::Hidden);
    files.reset();
    EXPECT_EQ(image->Attributes(QStringLiteral("WINDOWS\\WIN.INI")), 0x27);
    EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\WIN.INI")), QByteArray("[windows]\r\n"));
}

TEST_P(FatWrite, aliases_are_numbered_and_folders_grow) {
    // Enough long names to fill the first cluster of a folder many times over.
    ExpectOk(files->CreateFolder(QStringLiteral("C:\\Many")));
    for (int i = 0; i < 120; ++i)
        ExpectOk(files->WriteTextFile(QStringLiteral("C:\\Many\\Long Name Number %1.txt").arg(i),
                                      {QString::number(i)}));
    ExpectOk(files->WriteTextFile(QStringLiteral("C:\\Many\\readme.txt"), {QStringLiteral("r")}));
    ExpectOk(files->WriteTextFile(QStringLiteral("C:\\Many\\README.TXT"), {QStringLiteral("s")}));
    EXPECT_EQ(files->ListFolder(QStringLiteral("C:\\Many\\*.*"), 0).value().size(), 121u);
    // Deleting every other one and writing again reuses the freed entries.
    for (int i = 0; i < 120; i += 2)
        ExpectOk(files->DeleteFile(QStringLiteral("C:\\Many\\Long Name Number %1.txt").arg(i)));
    ExpectOk(files->WriteTextFile(
        QStringLiteral("C:\\Many\\A rather longer name that takes many slots.text"),
        {QStringLiteral("x")}));
    files.reset();
    const QStringList names = image->Names(QStringLiteral("Many"));
    EXPECT_EQ(names.size(), 62);
    EXPECT_TRUE(names.contains(QStringLiteral("Long Name Number 119.txt")));
    EXPECT_TRUE(names.contains(QStringLiteral("A rather longer name that takes many slots.text")));
    EXPECT_EQ(image->ShortName(QStringLiteral("Many\\Long Name Number 1.txt")),
              QStringLiteral("LONGNA~2.TXT"));
    EXPECT_EQ(image->ShortName(QStringLiteral("Many\\Long Name Number 9.txt")),
              QStringLiteral("LONGN~10.TXT"));
    EXPECT_EQ(image->ShortName(QStringLiteral("Many\\Long Name Number 119.txt")),
              QStringLiteral("LONG~120.TXT"));
    EXPECT_EQ(image->ShortName(QStringLiteral("Many\\readme.txt")), QStringLiteral("README.TXT"));
    EXPECT_EQ(image->Bytes(QStringLiteral("Many\\readme.txt")), QByteArray("s\r\n"));
}

TEST_P(FatWrite, a_full_image_is_reported_like_a_full_disk_and_keeps_the_old_file) {
    const qint64 large = image->VolumeBytes();  // more than the volume holds
    const Result<std::unique_ptr<FileReader>> source =
        files->OpenForReading(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"));
    ASSERT_TRUE(source.ok());
    struct Endless final : FileReader {
        qint64 size;
        explicit Endless(qint64 bytes) : size(bytes) {}
        qint64 Size() const override { return size; }
        Result<qint64> ReadAt(qint64, char* buffer, qint64 count) override {
            std::memset(buffer, 'z', size_t(count));
            return count;
        }
    } endless(large);
    const Status full = files->WriteFileFrom(endless, std::nullopt, QDateTime::currentDateTime(),
                                             QStringLiteral("C:\\WINDOWS\\WIN.INI"), {});
    EXPECT_FALSE(full.ok());
    EXPECT_TRUE(full.reason().contains(QStringLiteral("No space left on device")))
        << full.reason().toStdString();
    // A file from another drive, through its reader.
    ExpectOk(files->WriteFileFrom(*source.value(), std::nullopt,
                                  QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)),
                                  QStringLiteral("C:\\From Elsewhere.dat"), {}));
    files.reset();
    EXPECT_EQ(image->Bytes(QStringLiteral("WINDOWS\\WIN.INI")), QByteArray("[windows]\r\n"));
    EXPECT_EQ(image->Bytes(QStringLiteral("From Elsewhere.dat")), systemDat);
}

TEST_P(FatWrite, a_dirty_or_disagreeing_volume_is_read_but_not_written) {
    files.reset();
    const QByteArray boot = image->PeekVolume(0, 512);
    const bool fat32 = GetParam().fatBits == 32;
    const int flagAt = fat32 ? 65 : 37;
    image->PokeVolume(flagAt, QByteArray(1, char(boot[flagAt] | 1)));
    Open();
    EXPECT_TRUE(files->ReadFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"), 100).ok());
    Status refused = files->CreateFolder(QStringLiteral("C:\\NEW"));
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.reason().contains(QStringLiteral("fsck.fat")))
        << refused.reason().toStdString();
    files.reset();
    image->PokeVolume(flagAt, QByteArray(1, boot[flagAt]));

    // The second copy of the table differs in the entry of cluster 2's neighbour.
    const int reserved = quint8(boot[14]) | (quint8(boot[15]) << 8);
    const int sectorBytes = quint8(boot[11]) | (quint8(boot[12]) << 8);
    const qint64 fatSectors =
        fat32 ? (quint8(boot[36]) | (quint8(boot[37]) << 8) | (quint8(boot[38]) << 16))
              : (quint8(boot[22]) | (quint8(boot[23]) << 8));
    const qint64 second = qint64(reserved) * sectorBytes + fatSectors * sectorBytes;
    const QByteArray before = image->PeekVolume(second + 40, 1);
    image->PokeVolume(second + 40, QByteArray(1, char(before[0] ^ 0x5A)));
    Open();
    refused = files->WriteTextFile(QStringLiteral("C:\\NEW.TXT"), {});
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.reason().contains(QStringLiteral("disagree")))
        << refused.reason().toStdString();
    files.reset();
    image->PokeVolume(second + 40, before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FatWrite,
                         testing::Values(ImageSpec{12, 4, ImageSpec::Layout::Bare},
                                         ImageSpec{16, 40, ImageSpec::Layout::Mbr},
                                         ImageSpec{32, 64, ImageSpec::Layout::Mbr}),
                         [](const testing::TestParamInfo<ImageSpec>& info) {
                             return "fat" + std::to_string(info.param.fatBits);
                         });

}  // namespace
}  // namespace stowix::test
