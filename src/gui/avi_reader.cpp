#include "gui/avi_reader.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace stowix {

namespace {

constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
constexpr qint64 MaxDecodedBytes = 256 * 1024 * 1024;  // all frames together, 4 bytes a pixel
constexpr int MaxSide = 4096;                          // pixels
constexpr quint32 BiRgb = 0;
constexpr quint32 BiRle8 = 1;

// A bounds-checked window onto part of the file. Every read past its end yields nothing.
class Bytes {
public:
    Bytes() = default;
    Bytes(const uchar* data, qint64 size) : m_data(data), m_size(size) {}

    qint64 Size() const { return m_size; }
    bool Has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= m_size && count <= m_size - offset;
    }
    std::optional<quint8> U8(qint64 offset) const {
        if (!Has(offset, 1)) return std::nullopt;
        return m_data[offset];
    }
    std::optional<quint16> U16(qint64 offset) const {
        if (!Has(offset, 2)) return std::nullopt;
        return quint16(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::optional<quint32> U32(qint64 offset) const {
        if (!Has(offset, 4)) return std::nullopt;
        return quint32(m_data[offset]) | (quint32(m_data[offset + 1]) << 8) |
               (quint32(m_data[offset + 2]) << 16) | (quint32(m_data[offset + 3]) << 24);
    }
    bool FourCcAt(qint64 offset, const char* fourCc) const {
        return Has(offset, 4) && std::equal(fourCc, fourCc + 4, m_data + offset);
    }
    Bytes Slice(qint64 offset, qint64 count) const {
        return Has(offset, count) ? Bytes(m_data + offset, count) : Bytes();
    }
    const uchar* Data() const { return m_data; }

private:
    const uchar* m_data = nullptr;
    qint64 m_size = 0;
};

// One chunk of a RIFF list: its four-character code and its body.
struct Chunk {
    QByteArray id;
    Bytes body;
};

// Splits a list body into its chunks. A chunk that claims more bytes than its list holds means
// the file is damaged; only the pad byte after an odd-sized last chunk may be missing.
std::optional<std::vector<Chunk>> SplitChunks(Bytes list) {
    std::vector<Chunk> chunks;
    qint64 offset = 0;
    while (offset < list.Size()) {
        std::optional<quint32> size = list.U32(offset + 4);
        if (!size || !list.Has(offset + 8, *size)) return std::nullopt;
        chunks.push_back({QByteArray(reinterpret_cast<const char*>(list.Data() + offset), 4),
                          list.Slice(offset + 8, *size)});
        offset += 8 + qint64(*size) + (*size & 1);
    }
    return chunks;
}

bool IsList(const Chunk& chunk, const char* listType) {
    return chunk.id == "LIST" && chunk.body.FourCcAt(0, listType);
}

Bytes ListBody(const Chunk& list) { return list.body.Slice(4, list.body.Size() - 4); }

struct VideoFormat {
    int width = 0;
    int height = 0;  // rows
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    QList<QRgb> palette;  // always 256 entries for 8-bit frames, so no index is out of range
};

struct Header {
    qint64 frameIntervalUs = 0;
    QByteArray streamTag;  // "00" for stream 0: frame chunks are "00db" or "00dc"
    VideoFormat format;
};

Result<VideoFormat> ReadBitmapInfo(Bytes strf) {
    std::optional<quint32> headerSize = strf.U32(0);
    if (!headerSize || *headerSize < 40 || !strf.Has(0, *headerSize))
        return Result<VideoFormat>::Fail("the video format is cut short");
    VideoFormat format;
    const qint32 width = qint32(*strf.U32(4));
    const qint32 height = qint32(*strf.U32(8));
    format.bitCount = *strf.U16(14);
    format.compression = *strf.U32(16);
    const quint32 coloursUsed = *strf.U32(32);

    if (format.compression == BiRle8 && format.bitCount == 8) {
        if (height < 0) return Result<VideoFormat>::Fail("an RLE8 clip cannot be top-down");
    } else if (format.compression != BiRgb || (format.bitCount != 8 && format.bitCount != 24)) {
        return Result<VideoFormat>::Fail(
            "only uncompressed 8-bit or 24-bit and RLE8 frames "
            "are supported");
    }
    if (width <= 0 || width > MaxSide || height == 0 || height < -MaxSide || height > MaxSide)
        return Result<VideoFormat>::Fail("the frame size is out of range");
    format.width = width;
    format.height = height < 0 ? -height : height;
    format.topDown = height < 0;

    if (format.bitCount == 8) {
        const quint32 entries = coloursUsed == 0 ? 256 : coloursUsed;
        if (entries > 256) return Result<VideoFormat>::Fail("the palette is too large");
        if (!strf.Has(*headerSize, qint64(entries) * 4))
            return Result<VideoFormat>::Fail("the palette is cut short");
        format.palette.fill(qRgb(0, 0, 0), 256);
        for (quint32 i = 0; i < entries; ++i) {
            const qint64 at = *headerSize + qint64(i) * 4;  // blue, green, red, unused
            format.palette[i] = qRgb(*strf.U8(at + 2), *strf.U8(at + 1), *strf.U8(at));
        }
    }
    return format;
}

// The main header gives the frame interval; the first video stream gives the format. Sound and
// other streams are passed over.
Result<Header> ReadHeader(Bytes hdrl) {
    std::optional<std::vector<Chunk>> chunks = SplitChunks(hdrl);
    if (!chunks) return Result<Header>::Fail("the header list is damaged");
    Header header;
    std::optional<VideoFormat> format;
    qint64 streamRateIntervalUs = 0;
    bool mainHeaderSeen = false;
    int streamIndex = 0;
    for (const Chunk& chunk : *chunks) {
        if (chunk.id == "avih") {
            if (chunk.body.Size() < 56) return Result<Header>::Fail("the main header is cut short");
            header.frameIntervalUs = *chunk.body.U32(0);
            mainHeaderSeen = true;
            continue;
        }
        if (!IsList(chunk, "strl")) continue;
        const int index = streamIndex++;
        if (format) continue;
        std::optional<std::vector<Chunk>> parts = SplitChunks(ListBody(chunk));
        if (!parts) return Result<Header>::Fail("a stream header list is damaged");
        auto strh = std::find_if(parts->begin(), parts->end(),
                                 [](const Chunk& c) { return c.id == "strh"; });
        auto strf = std::find_if(parts->begin(), parts->end(),
                                 [](const Chunk& c) { return c.id == "strf"; });
        if (strh == parts->end() || strh->body.Size() < 36)
            return Result<Header>::Fail("a stream header is missing or cut short");
        if (!strh->body.FourCcAt(0, "vids")) continue;
        if (strf == parts->end()) return Result<Header>::Fail("the video format is missing");
        format = TRY(ReadBitmapInfo(strf->body));
        header.streamTag = QByteArray::number(index).rightJustified(2, '0');
        const quint32 scale = *strh->body.U32(20);
        const quint32 rate = *strh->body.U32(24);
        if (scale > 0 && rate > 0) streamRateIntervalUs = qint64(scale) * 1000000 / rate;
    }
    if (!mainHeaderSeen) return Result<Header>::Fail("the main header is missing");
    if (!format) return Result<Header>::Fail("the clip has no video stream");
    if (header.streamTag.size() != 2) return Result<Header>::Fail("too many streams");
    header.format = std::move(*format);
    if (header.frameIntervalUs <= 0) header.frameIntervalUs = streamRateIntervalUs;
    if (header.frameIntervalUs <= 0) return Result<Header>::Fail("the clip has no frame rate");
    return header;
}

// Collects the frame chunks of the video stream from 'movi', descending into 'rec ' lists.
bool CollectFrames(Bytes list, const QByteArray& streamTag, std::vector<Bytes>& frames) {
    std::optional<std::vector<Chunk>> chunks = SplitChunks(list);
    if (!chunks) return false;
    for (const Chunk& chunk : *chunks) {
        if (IsList(chunk, "rec ")) {
            if (!CollectFrames(ListBody(chunk), streamTag, frames)) return false;
        } else if (chunk.id.startsWith(streamTag) &&
                   (chunk.id.endsWith("db") || chunk.id.endsWith("dc"))) {
            frames.push_back(chunk.body);
        }
    }
    return true;
}

// The pixels of one frame as the file stores them: one byte (a palette index) or three (blue,
// green, red) a pixel, rows from the bottom up unless the format is top-down.
class Canvas {
public:
    explicit Canvas(const VideoFormat& format)
        : m_format(format),
          m_bytesPerPixel(format.bitCount / 8),
          m_pixels(std::size_t(format.width) * format.height * m_bytesPerPixel, 0) {}

    bool DecodeUncompressed(Bytes frame) {
        const qint64 rowBytes = qint64(m_format.width) * m_bytesPerPixel;
        const qint64 stride = (rowBytes + 3) & ~qint64(3);
        if (!frame.Has(0, stride * m_format.height)) return false;
        for (int row = 0; row < m_format.height; ++row) {
            const uchar* source = frame.Data() + row * stride;
            std::copy(source, source + rowBytes, m_pixels.begin() + row * rowBytes);
        }
        return true;
    }

    // RLE8 draws onto the previous frame: a delta frame changes only the pixels it names.
    // Pixels outside the frame are dropped; running out of bytes mid-code means damage.
    bool DecodeRle8(Bytes frame) {
        const int width = m_format.width;
        const int height = m_format.height;
        int x = 0;
        int y = 0;  // counted from the bottom row
        qint64 at = 0;
        auto put = [&](quint8 value) {
            if (x < width && y < height) m_pixels[std::size_t(y) * width + x] = value;
            x = std::min(x + 1, width);
        };
        while (at < frame.Size()) {
            std::optional<quint8> count = frame.U8(at);
            std::optional<quint8> value = frame.U8(at + 1);
            if (!count || !value) return false;
            at += 2;
            if (*count > 0) {
                for (int i = 0; i < *count; ++i) put(*value);
                continue;
            }
            switch (*value) {
            case 0:  // end of line
                x = 0;
                y = std::min(y + 1, height);
                break;
            case 1:  // end of bitmap
                return true;
            case 2: {  // move right and up
                std::optional<quint8> dx = frame.U8(at);
                std::optional<quint8> dy = frame.U8(at + 1);
                if (!dx || !dy) return false;
                at += 2;
                x = std::min(x + *dx, width);
                y = std::min(y + *dy, height);
                break;
            }
            default: {  // a literal run, padded to an even length
                const int literal = *value;
                if (!frame.Has(at, literal)) return false;
                for (int i = 0; i < literal; ++i) put(frame.Data()[at + i]);
                at += literal + (literal & 1);
                break;
            }
            }
        }
        return true;
    }

    QImage ToImage() const {
        const int width = m_format.width;
        const int height = m_format.height;
        const bool indexed = m_bytesPerPixel == 1;
        QImage image(width, height, indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
        if (image.isNull()) return image;
        if (indexed) image.setColorTable(m_format.palette);
        const std::size_t rowBytes = std::size_t(width) * m_bytesPerPixel;
        for (int row = 0; row < height; ++row) {
            const int imageRow = m_format.topDown ? row : height - 1 - row;
            const uchar* source = m_pixels.data() + row * rowBytes;
            uchar* target = image.scanLine(imageRow);
            if (indexed) {
                std::copy(source, source + rowBytes, target);
                continue;
            }
            auto* rgb = reinterpret_cast<QRgb*>(target);
            for (int column = 0; column < width; ++column, source += 3)
                rgb[column] = qRgb(source[2], source[1], source[0]);
        }
        return image;
    }

private:
    const VideoFormat& m_format;
    int m_bytesPerPixel;
    std::vector<uchar> m_pixels;
};

}  // namespace

Result<AviClip> ReadAviClip(const QByteArray& data) {
    const Bytes file(reinterpret_cast<const uchar*>(data.constData()), data.size());
    if (!file.FourCcAt(0, "RIFF") || !file.FourCcAt(8, "AVI "))
        return Result<AviClip>::Fail("not an AVI file");
    const quint32 riffSize = *file.U32(4);
    if (riffSize < 4 || !file.Has(8, riffSize))
        return Result<AviClip>::Fail("the file is cut short");
    std::optional<std::vector<Chunk>> top = SplitChunks(file.Slice(12, qint64(riffSize) - 4));
    if (!top) return Result<AviClip>::Fail("the file is damaged");

    auto hdrl =
        std::find_if(top->begin(), top->end(), [](const Chunk& c) { return IsList(c, "hdrl"); });
    auto movi =
        std::find_if(top->begin(), top->end(), [](const Chunk& c) { return IsList(c, "movi"); });
    if (hdrl == top->end() || movi == top->end())
        return Result<AviClip>::Fail("the header or the frame list is missing");
    const Header header = TRY(ReadHeader(ListBody(*hdrl)));
    const VideoFormat& format = header.format;

    std::vector<Bytes> frameData;
    if (!CollectFrames(ListBody(*movi), header.streamTag, frameData))
        return Result<AviClip>::Fail("the frame list is damaged");
    if (frameData.empty()) return Result<AviClip>::Fail("the clip has no frames");
    if (qint64(frameData.size()) * format.width * format.height * 4 > MaxDecodedBytes)
        return Result<AviClip>::Fail("the clip is too large");

    AviClip clip;
    clip.frameSize = QSize(format.width, format.height);
    clip.frameIntervalUs = header.frameIntervalUs;
    Canvas canvas(format);
    for (const Bytes& frame : frameData) {
        // An empty chunk repeats the previous frame.
        if (frame.Size() > 0) {
            const bool decoded = format.compression == BiRle8 ? canvas.DecodeRle8(frame)
                                                              : canvas.DecodeUncompressed(frame);
            if (!decoded) return Result<AviClip>::Fail("a frame is damaged");
        }
        QImage image = canvas.ToImage();
        if (image.isNull()) return Result<AviClip>::Fail("out of memory for the frames");
        clip.frames.append(std::move(image));
    }
    return clip;
}

Result<AviClip> LoadAviClip(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) return Result<AviClip>::Fail(file.errorString());
    if (file.size() > MaxFileBytes) return Result<AviClip>::Fail("the clip is too large");
    return ReadAviClip(file.read(std::min(file.size(), MaxFileBytes)));
}

}  // namespace stowix
