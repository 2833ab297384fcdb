#include "icon_writer.h"

#include "artwork.h"
#include "byte_writer.h"

#include <QImage>
#include <QString>

namespace stowix::media {

namespace {

int RowBytes(int bits) { return (bits + 31) / 32 * 4; }  // rows are padded to 4 bytes

// One image as the icon format stores it: a bitmap header of twice the height (colours, then
// the mask), the palette, the 4-bit colours and the 1-bit mask, rows from the bottom up.
std::vector<std::uint8_t> IconBitmap(const Canvas& image, const std::vector<Colour>& palette) {
    const int size = image.width;
    ByteWriter bitmap;
    bitmap.U32(40);
    bitmap.U32(std::uint32_t(size));
    bitmap.U32(std::uint32_t(size * 2));
    bitmap.U16(1);  // planes
    bitmap.U16(4);  // bits a pixel
    bitmap.U32(0);  // uncompressed
    bitmap.U32(std::uint32_t((RowBytes(size * 4) + RowBytes(size)) * size));
    bitmap.U32(0);
    bitmap.U32(0);
    bitmap.U32(16);
    bitmap.U32(0);
    for (const Colour& colour : palette) {
        bitmap.U8(colour.blue);
        bitmap.U8(colour.green);
        bitmap.U8(colour.red);
        bitmap.U8(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(std::size_t(RowBytes(size * 4)), 0);
        for (int x = 0; x < size; ++x) {
            const std::uint8_t pixel = image.At(x, y);
            const std::uint8_t colour = pixel == Transparent ? 0 : pixel;
            row[std::size_t(x / 2)] |= std::uint8_t(x % 2 == 0 ? colour << 4 : colour);
        }
        bitmap.Bytes(row);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(std::size_t(RowBytes(size)), 0);
        for (int x = 0; x < size; ++x)
            if (image.At(x, y) == Transparent)
                row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        bitmap.Bytes(row);
    }
    return bitmap.Data();
}

}  // namespace

std::vector<std::uint8_t> WriteIco(const std::vector<Canvas>& images,
                                   const std::vector<Colour>& palette) {
    std::vector<std::vector<std::uint8_t>> bitmaps;
    for (const Canvas& image : images) bitmaps.push_back(IconBitmap(image, palette));

    ByteWriter ico;
    ico.U16(0);  // reserved
    ico.U16(1);  // an icon, not a cursor
    ico.U16(std::uint16_t(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        ico.U8(std::uint8_t(images[i].width));
        ico.U8(std::uint8_t(images[i].height));
        ico.U8(16);  // colours
        ico.U8(0);
        ico.U16(1);  // planes
        ico.U16(4);  // bits a pixel
        ico.U32(std::uint32_t(bitmaps[i].size()));
        ico.U32(offset);
        offset += std::uint32_t(bitmaps[i].size());
    }
    for (const std::vector<std::uint8_t>& bitmap : bitmaps) ico.Bytes(bitmap);
    return ico.Data();
}

bool WritePng(const Canvas& image, const std::vector<Colour>& palette, const std::string& path) {
    QImage png(image.width, image.height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const Colour& colour : palette)
        colours.append(qRgb(colour.red, colour.green, colour.blue));
    const int transparentIndex = int(colours.size());
    colours.append(qRgba(0, 0, 0, 0));
    png.setColorTable(colours);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t pixel = image.At(x, y);
            png.setPixel(x, y, pixel == Transparent ? uint(transparentIndex) : pixel);
        }
    return png.save(QString::fromStdString(path), "PNG");
}

}  // namespace stowix::media
