// The animation strip on the offscreen platform: opening the clip the program names, playing it
// frame after frame, stopping, closing, and what a bad clip leaves.

#include "gui/animation_widget.h"

#include "media/media_test_support.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <set>

namespace stowix::test {
namespace {

class AnimationStrip : public testing::Test {
protected:
    void SetUp() override {
        strip.resize(377, 41);
        strip.show();
    }

    // As the program names the clip: its folder, a backslash and the file name.
    QString ProgramPath(const QString& name) const { return MediaFolder() + "\\" + name; }

    // The strip drawn over a background of one colour.
    QImage Rendered(QRgb background) {
        QImage image(strip.size(), QImage::Format_ARGB32);
        image.fill(background);
        strip.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    QApplication& application = EnsureApplication();  // before any widget
    AnimationWidget strip;
};

TEST_F(AnimationStrip, opens_the_clip_named_with_a_backslash_before_the_file_name) {
    EXPECT_EQ(strip.objectName(), "Animation1");
    ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
    EXPECT_TRUE(strip.IsOpen());
    EXPECT_EQ(strip.FrameCount(), 20);
    EXPECT_EQ(strip.CurrentFrame(), 0);
    EXPECT_FALSE(strip.IsPlaying());
}

// Counts the repaints that reach a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(AnimationStrip, play_repaints_frame_after_frame_and_goes_round) {
    ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
    PaintCounter counter;
    strip.installEventFilter(&counter);
    strip.Play();
    EXPECT_TRUE(strip.IsPlaying());
    std::set<int> seen;
    int previous = 0;
    bool wentRound = false;
    (void)QTest::qWaitFor(
        [&] {
            const int frame = strip.CurrentFrame();
            wentRound = wentRound || frame < previous;
            previous = frame;
            seen.insert(frame);
            return wentRound && seen.size() >= 5;
        },
        60000);
    EXPECT_TRUE(wentRound);
    EXPECT_GE(seen.size(), 5u);
    EXPECT_GE(counter.paints, 5);
}

TEST_F(AnimationStrip, stop_holds_the_frame_and_play_starts_again_from_the_first) {
    ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
    strip.Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.CurrentFrame() > 0; }, 30000));
    strip.Stop();
    EXPECT_FALSE(strip.IsPlaying());
    const int held = strip.CurrentFrame();
    QTest::qWait(300);
    EXPECT_EQ(strip.CurrentFrame(), held);

    strip.Play();
    EXPECT_EQ(strip.CurrentFrame(), 0);
}

// A hidden strip (an unattended run never shows its window) only looks the clip up; it is read
// when the strip is shown, and a Play and Stop meanwhile hold the frame that was due.
TEST_F(AnimationStrip, a_hidden_strip_reads_its_clip_when_shown) {
    QWidget window;
    auto* hidden = new AnimationWidget(&window);
    EXPECT_FALSE(hidden->Open(MediaFolder() + "\\NoSuch.Avi"));
    ASSERT_TRUE(hidden->Open(ProgramPath("Stowix1.Avi")));
    hidden->Play();
    EXPECT_TRUE(hidden->IsPlaying());
    QTest::qWait(250);
    hidden->Stop();
    EXPECT_FALSE(hidden->IsPlaying());
    window.show();
    EXPECT_TRUE(hidden->IsOpen());
    EXPECT_EQ(hidden->FrameCount(), 20);
    EXPECT_GT(hidden->CurrentFrame(), 0) << "the frame due at Stop, not the first";

    QWidget other;
    auto* broken = new AnimationWidget(&other);
    QTemporaryDir folder;
    QFile text(folder.filePath("Broken.Avi"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF, but not a clip");
    text.close();
    EXPECT_TRUE(broken->Open(folder.path() + "\\Broken.Avi")) << "only looked up while hidden";
    broken->Play();
    other.show();
    EXPECT_FALSE(broken->IsOpen());
    EXPECT_FALSE(broken->IsPlaying());
    EXPECT_EQ(broken->CurrentFrame(), -1);
}

TEST_F(AnimationStrip, the_clip_background_lets_the_window_show_through) {
    ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
    const QRgb window = qRgb(10, 200, 30);
    const QImage image = Rendered(window);
    // The clip is centred: its top-left pixel, the key colour, shows the window.
    const QPoint clipOrigin((377 - 320) / 2, (41 - 40) / 2);
    EXPECT_EQ(image.pixel(clipOrigin), window);
    // Somewhere the folder and the pages are drawn.
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) drawn += image.pixel(x, y) != window;
    EXPECT_GT(drawn, 500);
}

TEST_F(AnimationStrip, close_unloads_and_leaves_the_strip_blank) {
    ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
    strip.Play();
    strip.Close();
    EXPECT_FALSE(strip.IsOpen());
    EXPECT_FALSE(strip.IsPlaying());
    EXPECT_EQ(strip.CurrentFrame(), -1);
    const QRgb window = qRgb(10, 200, 30);
    const QImage image = Rendered(window);
    QImage blank(image.size(), image.format());
    blank.fill(window);
    EXPECT_EQ(image, blank);
    strip.Play();  // nothing to play
    EXPECT_FALSE(strip.IsPlaying());
}

TEST_F(AnimationStrip, a_missing_or_unreadable_clip_opens_nothing) {
    QTemporaryDir folder;
    QFile text(folder.filePath("Broken.Avi"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF, but not a clip");
    text.close();
    const QString cases[] = {
        folder.path() + "\\NoSuch.Avi", folder.path() + "\\Broken.Avi",
        folder.path(),  // a folder, not a clip
    };
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(strip.Open(ProgramPath("Stowix1.Avi")));
        strip.Play();
        EXPECT_FALSE(strip.Open(path));
        EXPECT_FALSE(strip.IsOpen());
        EXPECT_FALSE(strip.IsPlaying());
        EXPECT_EQ(strip.CurrentFrame(), -1);
    }
}

}  // namespace
}  // namespace stowix::test
