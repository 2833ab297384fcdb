#include "avi_writer.h"

#include "byte_writer.h"

#include <algorithm>

namespace stowix::media {

namespace {

constexpr std::uint32_t AvifHasIndex = 0x10;
constexpr std::uint32_t AviifKeyFrame = 0x10;
constexpr std::uint32_t BiRle8 = 1;

// How many pixels from start repeat the first one, at most 255.
int RunLength(const std::uint8_t* row, int start, int width) {
    int end = start + 1;
    while (end < width && end - start < 255 && row[end] == row[start]) ++end;
    return end - start;
}

void EncodeRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out) {
    int x = 0;
    while (x < width) {
        const int run = RunLength(row, x, width);
        if (run >= 3) {
            out.push_back(std::uint8_t(run));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        // Gather pixels that do not start a run of three into one literal.
        int end = x;
        while (end < width && end - x < 255 && RunLength(row, end, width) < 3) ++end;
        const int literal = end - x;
        if (literal < 3) {  // a literal needs three pixels; shorter ones go as runs of one
            for (int i = x; i < end; ++i) {
                out.push_back(1);
                out.push_back(row[i]);
            }
        } else {
            out.push_back(0);
            out.push_back(std::uint8_t(literal));
            out.insert(out.end(), row + x, row + end);
            if (literal & 1) out.push_back(0);
        }
        x = end;
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeRle8(const Canvas& frame) {
    std::vector<std::uint8_t> out;
    for (int y = frame.height - 1; y >= 0; --y) {
        EncodeRow(frame.pixels.data() + std::size_t(y) * frame.width, frame.width, out);
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);
    }
    return out;
}

std::vector<std::uint8_t> WriteRle8Avi(const std::vector<Canvas>& frames,
                                       const std::vector<Colour>& palette, int framesPerSecond) {
    std::vector<std::vector<std::uint8_t>> encoded;
    std::size_t largest = 0;
    for (const Canvas& frame : frames) {
        encoded.push_back(EncodeRle8(frame));
        largest = std::max(largest, encoded.back().size());
    }
    const auto width = std::uint32_t(frames.front().width);
    const auto height = std::uint32_t(frames.front().height);
    const auto count = std::uint32_t(frames.size());

    ByteWriter avi;
    const std::size_t riff = avi.BeginChunk("RIFF", "AVI ");
    const std::size_t hdrl = avi.BeginChunk("LIST", "hdrl");

    const std::size_t avih = avi.BeginChunk("avih");
    avi.U32(1000000 / framesPerSecond);  // microseconds a frame
    avi.U32(std::uint32_t(largest * framesPerSecond));
    avi.U32(0);  // padding granularity
    avi.U32(AvifHasIndex);
    avi.U32(count);
    avi.U32(0);  // initial frames
    avi.U32(1);  // streams
    avi.U32(std::uint32_t(largest));
    avi.U32(width);
    avi.U32(height);
    for (int i = 0; i < 4; ++i) avi.U32(0);
    avi.EndChunk(avih);

    const std::size_t strl = avi.BeginChunk("LIST", "strl");
    const std::size_t strh = avi.BeginChunk("strh");
    avi.FourCc("vids");
    avi.FourCc("mrle");
    avi.U32(0);                               // flags
    avi.U16(0);                               // priority
    avi.U16(0);                               // language
    avi.U32(0);                               // initial frames
    avi.U32(1);                               // scale
    avi.U32(std::uint32_t(framesPerSecond));  // rate: frames a second = rate / scale
    avi.U32(0);                               // start
    avi.U32(count);
    avi.U32(std::uint32_t(largest));
    avi.U32(0xFFFFFFFF);  // default quality
    avi.U32(0);           // sample size: varies
    avi.U16(0);           // frame rectangle
    avi.U16(0);
    avi.U16(std::uint16_t(width));
    avi.U16(std::uint16_t(height));
    avi.EndChunk(strh);

    const std::size_t strf = avi.BeginChunk("strf");
    avi.U32(40);
    avi.U32(width);
    avi.U32(height);  // positive: rows from the bottom up
    avi.U16(1);       // planes
    avi.U16(8);       // bits a pixel
    avi.U32(BiRle8);
    avi.U32(width * height);
    avi.U32(0);
    avi.U32(0);
    avi.U32(std::uint32_t(palette.size()));
    avi.U32(0);
    for (const Colour& colour : palette) {
        avi.U8(colour.blue);
        avi.U8(colour.green);
        avi.U8(colour.red);
        avi.U8(0);
    }
    avi.EndChunk(strf);
    avi.EndChunk(strl);
    avi.EndChunk(hdrl);

    const std::size_t movi = avi.BeginChunk("LIST", "movi");
    std::vector<std::uint32_t> offsets;  // from the 'movi' code, as the index counts them
    for (const std::vector<std::uint8_t>& frame : encoded) {
        offsets.push_back(std::uint32_t(avi.Size() - (movi + 8)));
        const std::size_t chunk = avi.BeginChunk("00dc");
        avi.Bytes(frame);
        avi.EndChunk(chunk);
    }
    avi.EndChunk(movi);

    const std::size_t idx1 = avi.BeginChunk("idx1");
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        avi.FourCc("00dc");
        avi.U32(AviifKeyFrame);
        avi.U32(offsets[i]);
        avi.U32(std::uint32_t(encoded[i].size()));
    }
    avi.EndChunk(idx1);
    avi.EndChunk(riff);
    return avi.Data();
}

}  // namespace stowix::media
