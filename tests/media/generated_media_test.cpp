// The icon files the build draws: both sizes in sixteen colours, with a transparent surround.

#include "media/media_test_support.h"

#include <QImage>
#include <QImageReader>

namespace stowix::test {
namespace {

TEST(GeneratedIcon, the_icon_file_holds_32_and_16_pixel_images_with_transparency) {
    EnsureApplication();
    QImageReader reader(MediaFolder() + "/stowix.ico");
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    QList<QSize> sizes;
    do {
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        sizes.append(image.size());
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0);
    } while (reader.jumpToNextImage());
    EXPECT_EQ(sizes, (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
}

TEST(GeneratedIcon, each_png_has_its_size_and_at_most_sixteen_opaque_colours) {
    for (int size : {32, 16}) {
        SCOPED_TRACE(size);
        const QImage image(MediaFolder() + QString("/stowix-%1.png").arg(size));
        ASSERT_EQ(image.size(), QSize(size, size));
        QSet<QRgb> colours;
        int transparent = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) == 0)
                    ++transparent;
                else
                    colours.insert(pixel);
            }
        EXPECT_LE(colours.size(), 16);
        EXPECT_GT(transparent, 0);
    }
}

}  // namespace
}  // namespace stowix::test
