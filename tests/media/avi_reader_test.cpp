// The AVI reader: the clip the build draws, hand-made clips of each frame layout, and damaged
// files, which it must refuse without reading outside the bytes it is given.

#include "gui/avi_reader.h"

#include "artwork.h"
#include "byte_writer.h"
#include "media/media_test_support.h"

#include <QtEndian>

#include <functional>
#include <random>

namespace stowix::test {
namespace {

using media::ByteWriter;

// A clip made by hand: one video stream (optionally after a sound stream) with frames stored as
// given.
struct HandMadeClip {
    int width = 3;
    int height = 2;  // negative: rows top first
    int bitCount = 8;
    quint32 compression = 0;
    std::vector<media::Colour> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    std::vector<std::vector<std::uint8_t>> frames;
    bool soundStreamFirst = false;
};

void WriteStreamList(ByteWriter& avi, const char* type, const std::function<void()>& format) {
    const std::size_t strl = avi.BeginChunk("LIST", "strl");
    const std::size_t strh = avi.BeginChunk("strh");
    avi.FourCc(type);
    for (int i = 0; i < 4; ++i) avi.U32(0);
    avi.U32(1);   // scale
    avi.U32(10);  // rate
    for (int i = 0; i < 7; ++i) avi.U32(0);
    avi.EndChunk(strh);
    const std::size_t strf = avi.BeginChunk("strf");
    format();
    avi.EndChunk(strf);
    avi.EndChunk(strl);
}

QByteArray Build(const HandMadeClip& clip) {
    ByteWriter avi;
    const std::size_t riff = avi.BeginChunk("RIFF", "AVI ");
    const std::size_t hdrl = avi.BeginChunk("LIST", "hdrl");
    const std::size_t avih = avi.BeginChunk("avih");
    avi.U32(100000);
    for (int i = 0; i < 13; ++i) avi.U32(0);
    avi.EndChunk(avih);
    if (clip.soundStreamFirst)
        WriteStreamList(avi, "auds", [&] {
            for (std::uint16_t value : {1, 1}) avi.U16(value);
            for (std::uint32_t value : {22050, 44100}) avi.U32(value);
            for (std::uint16_t value : {2, 16}) avi.U16(value);
        });
    WriteStreamList(avi, "vids", [&] {
        avi.U32(40);
        avi.U32(std::uint32_t(clip.width));
        avi.U32(std::uint32_t(clip.height));
        avi.U16(1);
        avi.U16(std::uint16_t(clip.bitCount));
        avi.U32(clip.compression);
        for (int i = 0; i < 3; ++i) avi.U32(0);
        avi.U32(clip.bitCount == 8 ? std::uint32_t(clip.palette.size()) : 0);
        avi.U32(0);
        if (clip.bitCount == 8)
            for (const media::Colour& colour : clip.palette)
                for (std::uint8_t value : {colour.blue, colour.green, colour.red, std::uint8_t(0)})
                    avi.U8(value);
    });
    avi.EndChunk(hdrl);
    const std::size_t movi = avi.BeginChunk("LIST", "movi");
    const char* frameId = clip.soundStreamFirst ? "01dc" : "00dc";
    for (const std::vector<std::uint8_t>& frame : clip.frames) {
        if (clip.soundStreamFirst) {
            const std::size_t sound = avi.BeginChunk("00wb");
            avi.Bytes({1, 2, 3, 4});
            avi.EndChunk(sound);
        }
        const std::size_t chunk = avi.BeginChunk(frameId);
        avi.Bytes(frame);
        avi.EndChunk(chunk);
    }
    avi.EndChunk(movi);
    avi.EndChunk(riff);
    return QByteArray(reinterpret_cast<const char*>(avi.Data().data()), qsizetype(avi.Size()));
}

// The body of the first chunk with this code.
qsizetype BodyOf(const QByteArray& avi, const char* id) {
    const qsizetype at = avi.indexOf(id);
    EXPECT_GE(at, 0) << id;
    return at + 8;
}

void PutU32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

void PutU16(QByteArray& bytes, qsizetype at, quint16 value) {
    qToLittleEndian(value, bytes.data() + at);
}

TEST(AviReader, the_generated_clip_decodes_to_the_frames_drawn) {
    Result<AviClip> clip = ReadAviClip(ReadMedia("Stowix1.Avi"));
    ASSERT_TRUE(clip) << clip.reason().toStdString();
    EXPECT_EQ(clip.value().frameSize, QSize(media::ClipWidth, media::ClipHeight));
    EXPECT_LE(media::ClipWidth, 377);
    EXPECT_LE(media::ClipHeight, 41);
    EXPECT_EQ(clip.value().frameIntervalUs, 1000000 / media::ClipFramesPerSecond);

    const std::vector<media::Canvas> drawn = media::ClipFrameImages();
    const std::vector<media::Colour> palette = media::ClipPalette();
    ASSERT_EQ(clip.value().frames.size(), qsizetype(drawn.size()));
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        SCOPED_TRACE(i);
        const QImage& frame = clip.value().frames.at(qsizetype(i));
        int mismatches = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                const media::Colour colour = palette[drawn[i].At(x, y)];
                mismatches += frame.pixel(x, y) != qRgb(colour.red, colour.green, colour.blue);
            }
        EXPECT_EQ(mismatches, 0);
    }
    EXPECT_NE(clip.value().frames.at(0), clip.value().frames.at(1)) << "the pages do not move";
}

TEST(AviReader, uncompressed_frames_of_each_layout_come_top_row_first) {
    // A 3 x 2 picture: top row red, green, blue; bottom row blue, black, red. Rows are padded
    // to four bytes.
    struct Case {
        const char* name;
        int height;
        int bitCount;
        std::vector<std::uint8_t> frame;
    };
    const Case cases[] = {
        {"8-bit, bottom row first", 2, 8, {3, 0, 1, 0, 1, 2, 3, 0}},
        {"8-bit, top row first", -2, 8, {1, 2, 3, 0, 3, 0, 1, 0}},
        {"24-bit, bottom row first", 2, 24, {255, 0, 0,   0, 0,   0, 0,   0, 255, 0, 0, 0,
                                             0,   0, 255, 0, 255, 0, 255, 0, 0,   0, 0, 0}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        HandMadeClip made;
        made.height = test.height;
        made.bitCount = test.bitCount;
        made.frames = {test.frame};
        Result<AviClip> clip = ReadAviClip(Build(made));
        ASSERT_TRUE(clip) << clip.reason().toStdString();
        const QImage& image = clip.value().frames.at(0);
        ASSERT_EQ(image.size(), QSize(3, 2));
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(1, 0), qRgb(0, 255, 0));
        EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 255));
        EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 255));
        EXPECT_EQ(image.pixel(1, 1), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(2, 1), qRgb(255, 0, 0));
    }
}

TEST(AviReader, rle8_delta_frames_change_only_the_pixels_they_name) {
    HandMadeClip made;
    made.width = 4;
    made.compression = 1;
    made.frames = {
        {4, 1, 0, 0, 4, 1, 0, 1},  // every pixel red
        {0, 2, 2, 1, 1, 2, 0, 1},  // move to the top row's third pixel, paint it green
        {},                        // an empty frame repeats the last one
    };
    Result<AviClip> clip = ReadAviClip(Build(made));
    ASSERT_TRUE(clip) << clip.reason().toStdString();
    ASSERT_EQ(clip.value().frames.size(), 3);
    const QImage& delta = clip.value().frames.at(1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(delta.pixel(x, y), x == 2 && y == 0 ? qRgb(0, 255, 0) : qRgb(255, 0, 0));
        }
    EXPECT_EQ(clip.value().frames.at(2), delta);
}

TEST(AviReader, rle8_codes_that_run_out_of_bytes_are_refused_and_overlong_runs_are_clipped) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> frame;
        bool readable;
    };
    const Case cases[] = {
        {"a count without its colour", {4, 1, 3}, false},
        {"a literal longer than the frame", {0, 5, 1, 2}, false},
        {"a move without its distances", {0, 2, 1}, false},
        {"a run past the right edge", {200, 1, 0, 1}, true},
        {"a move past the top", {0, 2, 0, 250, 3, 1, 0, 1}, true},
        {"a literal past the right edge", {0, 6, 1, 2, 3, 1, 2, 3, 0, 1}, true},
        {"no end-of-bitmap code", {4, 1}, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        HandMadeClip made;
        made.width = 4;
        made.compression = 1;
        made.frames = {test.frame};
        EXPECT_EQ(bool(ReadAviClip(Build(made))), test.readable);
    }
}

TEST(AviReader, a_sound_stream_before_the_video_is_passed_over) {
    HandMadeClip made;
    made.soundStreamFirst = true;
    made.frames = {{3, 0, 1, 0, 1, 2, 3, 0}, {1, 1, 1, 0, 2, 2, 2, 0}};
    Result<AviClip> clip = ReadAviClip(Build(made));
    ASSERT_TRUE(clip) << clip.reason().toStdString();
    EXPECT_EQ(clip.value().frames.size(), 2);
}

TEST(AviReader, damaged_headers_and_lists_are_refused) {
    struct Case {
        const char* name;
        std::function<void(QByteArray&)> damage;
        bool readable;
    };
    const Case cases[] = {
        {"not a RIFF file", [](QByteArray& b) { b.replace(0, 4, "RIFX"); }, false},
        {"a RIFF file of another form", [](QByteArray& b) { b.replace(8, 4, "WAVE"); }, false},
        {"the main header missing", [](QByteArray& b) { b.replace(b.indexOf("avih"), 4, "junk"); },
         false},
        {"no video stream", [](QByteArray& b) { b.replace(b.indexOf("vids"), 4, "txts"); }, false},
        {"frame width 0", [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 4, 0); }, false},
        {"frame width beyond reason",
         [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 4, 0x7fffffff); }, false},
        {"frame height 0", [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 8, 0); }, false},
        {"a top-down RLE8 clip",
         [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 8, quint32(-40)); }, false},
        {"4 bits a pixel", [](QByteArray& b) { PutU16(b, BodyOf(b, "strf") + 14, 4); }, false},
        {"RLE4 frames", [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 16, 2); }, false},
        {"format header size beyond the format",
         [](QByteArray& b) { PutU32(b, BodyOf(b, "strf"), 0xffffffff); }, false},
        {"a palette of 300 colours", [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 32, 300); },
         false},
        {"a palette longer than the format",
         [](QByteArray& b) { PutU32(b, BodyOf(b, "strf") + 32, 200); }, false},
        {"no frame rate anywhere",
         [](QByteArray& b) {
             PutU32(b, BodyOf(b, "avih"), 0);
             PutU32(b, BodyOf(b, "strh") + 24, 0);
         },
         false},
        {"the frame rate only in the stream header",
         [](QByteArray& b) { PutU32(b, BodyOf(b, "avih"), 0); }, true},
        {"the frame list longer than the file",
         [](QByteArray& b) { PutU32(b, b.indexOf("movi") - 4, 0x7ffffff0); }, false},
        {"a frame longer than its list",
         [](QByteArray& b) { PutU32(b, b.indexOf("00dc") + 4, 0xfffffff0); }, false},
        {"the RIFF size beyond the file", [](QByteArray& b) { PutU32(b, 4, quint32(b.size())); },
         false},
        {"trailing bytes after the RIFF chunk", [](QByteArray& b) { b.append("garbage"); }, true},
        {"the frame list's frames of another stream",
         [](QByteArray& b) {
             const qsizetype movi = b.indexOf("movi");
             for (qsizetype at = b.indexOf("00dc", movi); at >= 0; at = b.indexOf("00dc", at + 4))
                 b.replace(at, 2, "01");
         },
         false},
    };
    const QByteArray original = ReadMedia("Stowix1.Avi");
    ASSERT_TRUE(ReadAviClip(original));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QByteArray damaged = original;
        test.damage(damaged);
        Result<AviClip> clip = ReadAviClip(damaged);
        EXPECT_EQ(bool(clip), test.readable) << clip.reason().toStdString();
    }
}

TEST(AviReader, a_clip_cut_short_anywhere_is_refused) {
    const QByteArray original = ReadMedia("Stowix1.Avi");
    for (qsizetype length = 0; length < original.size(); length += 3) {
        SCOPED_TRACE(length);
        QByteArray cut = original.left(length);
        EXPECT_FALSE(ReadAviClip(cut));
        // Also with a RIFF size that agrees with the cut, so the inner lists must catch it.
        if (length >= 8) {
            PutU32(cut, 4, quint32(length - 8));
            EXPECT_FALSE(ReadAviClip(cut));
        }
    }
}

TEST(AviReader, random_corruption_gives_a_failure_or_frames_of_the_stated_size) {
    const QByteArray original = ReadMedia("Stowix1.Avi");
    std::mt19937 random(1999);
    // Half the changes land in the headers, which are small beside the frames.
    std::uniform_int_distribution<qsizetype> header(0, original.indexOf("movi"));
    std::uniform_int_distribution<qsizetype> anywhere(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> changes(1, 8);
    for (int round = 0; round < 1000; ++round) {
        QByteArray damaged = original;
        for (int change = changes(random); change > 0; --change)
            damaged[change % 2 ? header(random) : anywhere(random)] = char(byte(random));
        Result<AviClip> clip = ReadAviClip(damaged);
        if (!clip) continue;
        SCOPED_TRACE(round);
        ASSERT_FALSE(clip.value().frames.isEmpty());
        EXPECT_GT(clip.value().frameIntervalUs, 0);
        for (const QImage& frame : clip.value().frames)
            ASSERT_EQ(frame.size(), clip.value().frameSize);
    }
}

TEST(AviReader, a_missing_file_is_a_failure_with_a_reason) {
    Result<AviClip> clip = LoadAviClip(MediaFolder() + "/NoSuch.Avi");
    EXPECT_FALSE(clip);
    EXPECT_FALSE(clip.reason().isEmpty());
}

}  // namespace
}  // namespace stowix::test
