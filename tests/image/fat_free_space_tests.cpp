// The engine's free space is what mtools counts on the volume, and a file takes whole clusters:
// the room a backup or a restore counts before it writes into an image.

#include "image/image_fixture.h"

namespace stowix::test {
namespace {

class FatFreeSpace : public testing::TestWithParam<ImageSpec> {};

TEST_P(FatFreeSpace, is_what_mtools_counts_and_a_file_takes_whole_clusters) {
    MtoolsImage image(GetParam());
    image.AddFolder(QStringLiteral("WINDOWS"));
    image.AddFile(QStringLiteral("WINDOWS\\WIN.INI"), Pattern(10000, 1));
    std::unique_ptr<FileSystem> files = OpenImage(image);
    ASSERT_TRUE(files);

    const Result<DriveSpace> before = files->FreeSpace(QStringLiteral("C:\\"));
    ASSERT_TRUE(before.ok()) << before.reason().toStdString();
    const qint64 cluster = before.value().unitBytes;
    EXPECT_EQ(before.value().freeBytes, image.FreeBytes());

    // One byte takes a whole cluster; one byte more than a cluster takes two.
    const struct {
        const char* name;
        qint64 size;
        qint64 clusters;
    } cases[] = {{"ONE.BIN", 1, 1}, {"TWO.BIN", cluster + 1, 2}, {"EXACT.BIN", cluster, 1}};
    qint64 expected = before.value().freeBytes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.reset();  // mtools writes while the engine has let go of the image
        image.AddFile(QStringLiteral("WINDOWS\\") + QLatin1String(c.name), Pattern(c.size, 2));
        files = OpenImage(image);
        ASSERT_TRUE(files);
        expected -= c.clusters * cluster;
        const Result<DriveSpace> now = files->FreeSpace(QStringLiteral("C:\\WINDOWS"));
        ASSERT_TRUE(now.ok()) << now.reason().toStdString();
        EXPECT_EQ(now.value().freeBytes, expected);
        EXPECT_EQ(now.value().freeBytes, image.FreeBytes());
    }

    // The engine's own writes are counted as they are made, before any flush.
    ASSERT_TRUE(
        files->CopyFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"), QStringLiteral("C:\\WIN.BAK"))
            .ok());
    const Result<DriveSpace> copied = files->FreeSpace(QStringLiteral("C:\\"));
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(copied.value().freeBytes, expected - (10000 + cluster - 1) / cluster * cluster);
    files.reset();
    EXPECT_EQ(image.FreeBytes(), copied.value().freeBytes);
}

INSTANTIATE_TEST_SUITE_P(Fats, FatFreeSpace,
                         testing::Values(ImageSpec{12, 4}, ImageSpec{16, 32}, ImageSpec{32, 64}));

}  // namespace
}  // namespace stowix::test
