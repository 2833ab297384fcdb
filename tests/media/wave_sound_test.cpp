// The wave files and the sound control MMControl1: what "Open", "Play" and "Close" do, that a
// waiting "Play" always comes back (a device that never reports the end, no device at all, a
// missing file), and that a sound played without waiting is left to play.

#include "gui/wave_sound.h"

#include "media/media_test_support.h"

#include <QEventLoop>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

namespace stowix::test {
namespace {

TEST(WaveFile, the_generated_sounds_are_short_mono_pcm) {
    for (const char* name : {"Stowix1.Wav", "Stowix2.Wav"}) {
        SCOPED_TRACE(name);
        Result<WaveClip> clip = ReadWaveClip(ReadMedia(name));
        ASSERT_TRUE(clip) << clip.reason().toStdString();
        EXPECT_EQ(clip.value().channels, 1);
        EXPECT_EQ(clip.value().sampleRate, 22050);
        EXPECT_EQ(clip.value().bitsPerSample, 16);
        EXPECT_GE(clip.value().DurationMs(), 500);
        EXPECT_LE(clip.value().DurationMs(), 1000);
    }
}

TEST(WaveFile, damaged_files_are_refused_and_cut_sample_data_keeps_whole_frames) {
    const QByteArray original = ReadMedia("Stowix1.Wav");
    const qsizetype data = original.indexOf("data") + 8;
    struct Case {
        const char* name;
        QByteArray bytes;
        bool readable;
        qsizetype sampleBytes;
    };
    QByteArray compressed = original;
    qToLittleEndian<quint16>(2, compressed.data() + original.indexOf("fmt ") + 8);
    QByteArray eightBitStereo = original;
    qToLittleEndian<quint16>(2, eightBitStereo.data() + original.indexOf("fmt ") + 10);
    qToLittleEndian<quint16>(8, eightBitStereo.data() + original.indexOf("fmt ") + 22);
    QByteArray noFormat = original;
    noFormat.replace(original.indexOf("fmt "), 4, "junk");
    const Case cases[] = {
        {"empty", QByteArray(), false, 0},
        {"header only", original.left(12), false, 0},
        {"format cut short", original.left(original.indexOf("fmt ") + 12), false, 0},
        {"compressed samples", compressed, false, 0},
        {"no format before the data", noFormat, false, 0},
        {"sample data cut in mid-frame", original.left(data + 1001), true, 1000},
        {"8-bit stereo", eightBitStereo, true, original.size() - data},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Result<WaveClip> clip = ReadWaveClip(test.bytes);
        ASSERT_EQ(bool(clip), test.readable) << clip.reason().toStdString();
        if (clip) {
            EXPECT_EQ(clip.value().samples.size(), test.sampleBytes);
        }
    }
}

// An output that never reports the end, like a device that has gone silent.
class SilentOutput : public SoundOutput {
public:
    void Start(const WaveClip&, std::function<void()>) override { ++starts; }
    void Stop() override { ++stops; }
    int starts = 0;
    int stops = 0;
};

class SoundControl : public testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }

    // The program's way to play a sound, through the control's commands.
    static void PlaySound(MultimediaControl& control, const QString& path, bool wait) {
        control.Command("Close");
        control.SetDeviceType("WaveAudio");
        control.SetFileName(path);
        control.Command("Open");
        control.SetWait(wait);
        control.Command("Play");
    }

    static QString ProgramPath(const QString& name) { return MediaFolder() + "\\" + name; }
};

TEST_F(SoundControl, a_waiting_play_comes_back_when_the_device_never_reports_the_end) {
    auto output = std::make_unique<SilentOutput>();
    SilentOutput& silent = *output;
    WaveSound sound(nullptr, std::move(output));
    EXPECT_EQ(sound.objectName(), "MMControl1");
    sound.SetDeviceType("WaveAudio");
    sound.SetFileName(ProgramPath("Stowix2.Wav"));
    sound.Command("Open");
    sound.SetWait(true);
    const int stops = silent.stops;
    bool timersRan = false;  // the window keeps repainting and animating while it waits
    QTimer::singleShot(0, [&] { timersRan = true; });
    sound.Command("Play");
    EXPECT_EQ(silent.starts, 1);
    EXPECT_TRUE(timersRan);
    EXPECT_EQ(silent.stops, stops) << "the wait's bound must not cut the sound";
}

TEST_F(SoundControl, a_play_without_waiting_returns_at_once_and_plays_on_until_close) {
    auto output = std::make_unique<SilentOutput>();
    SilentOutput& silent = *output;
    WaveSound sound(nullptr, std::move(output));
    bool timersRan = false;
    QTimer::singleShot(0, [&] { timersRan = true; });
    PlaySound(sound, ProgramPath("Stowix1.Wav"), false);
    EXPECT_FALSE(timersRan);
    EXPECT_EQ(silent.starts, 1);
    const int stops = silent.stops;
    sound.Command("Close");
    EXPECT_EQ(silent.stops, stops + 1);
    EXPECT_FALSE(sound.IsOpen());
    sound.Command("Play");  // nothing is open
    EXPECT_EQ(silent.starts, 1);
    QCoreApplication::processEvents();
}

TEST_F(SoundControl, a_file_that_cannot_be_read_opens_nothing_and_plays_nothing) {
    QTemporaryDir folder;
    QFile text(folder.filePath("Broken.Wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF, but no sound");
    text.close();
    struct Case {
        const char* name;
        QString deviceType;
        QString path;
    };
    const Case cases[] = {
        {"missing file", "WaveAudio", folder.path() + "\\NoSuch.Wav"},
        {"not a wave file", "WaveAudio", folder.path() + "\\Broken.Wav"},
        {"a folder", "WaveAudio", folder.path()},
        {"another device type", "Sequencer", ProgramPath("Stowix1.Wav")},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        auto output = std::make_unique<SilentOutput>();
        SilentOutput& silent = *output;
        WaveSound sound(nullptr, std::move(output));
        sound.SetDeviceType(test.deviceType);
        sound.SetFileName(test.path);
        sound.Command("Open");
        EXPECT_FALSE(sound.IsOpen());
        sound.SetWait(true);
        sound.Command("Play");
        EXPECT_EQ(silent.starts, 0);
    }
}

TEST_F(SoundControl, the_desktop_device_plays_and_comes_back_whatever_the_device) {
    // Here there is usually no audio device at all; where there is one, the sound plays.
    WaveSound sound;
    PlaySound(sound, ProgramPath("Stowix1.Wav"), true);
    EXPECT_TRUE(sound.IsOpen());
    PlaySound(sound, ProgramPath("Stowix2.Wav"), false);
    PlaySound(sound, MediaFolder() + "\\NoSuch.Wav", true);
    EXPECT_FALSE(sound.IsOpen());
    sound.Command("Close");
}

}  // namespace
}  // namespace stowix::test

namespace stowix::test {
namespace {

// The audio device's output lives in a module that the program loads beside itself; here it is
// loaded from the build's program folder and played against a server that is not there, which
// must end the sound at once rather than stall.
TEST(AudioModule, loads_and_comes_back_when_the_server_is_unreachable) {
    EnsureApplication();
    qputenv("PULSE_SERVER", "unix:/nonexistent/stowix-test-socket");
    QLibrary module(QStringLiteral(STOWIX_MEDIA_DIR) + QStringLiteral("/stowix-audio"));
    using CreateOutput = SoundOutput* (*)();
    const auto create =
        reinterpret_cast<CreateOutput>(module.resolve("StowixCreateAudioDeviceOutput"));
    ASSERT_NE(create, nullptr) << module.errorString().toStdString();
    std::unique_ptr<SoundOutput> output(create());

    Result<WaveClip> clip = ReadWaveClip(ReadMedia("Stowix1.Wav"));
    ASSERT_TRUE(clip);
    bool finished = false;
    QEventLoop loop;
    output->Start(clip.value(), [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(clip.value().DurationMs() + 2000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(finished);
    output.reset();
    qunsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace stowix::test
