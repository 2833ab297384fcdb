#pragma once
// The animation strip Animation1: plays an AVI clip (see avi_reader.h) over and over, one frame
// at a time at the clip's own rate, centred in the strip. The colour of each frame's top-left
// pixel is drawn transparent, so the clip sits on the window's own background. A clip that
// cannot be read leaves the strip blank.
//
// The frame shown follows the time since Play, not the number of timer ticks: while a long
// command keeps the event loop busy, each repaint it asks for still shows the right frame.
//
// A clip opened while the strip is hidden (its window not shown yet, or never, as in an
// unattended run) is only looked up: Open reports whether the file is there, and the clip is
// read when the strip is shown or asked about its frames. Play and Stop work on it meanwhile by
// the clock alone; a file that then turns out unreadable leaves the strip blank.

#include "view/controls.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

namespace stowix {

class AnimationWidget : public QWidget, public Animation {
    Q_OBJECT

public:
    explicit AnimationWidget(QWidget* parent = nullptr);

    // path: the program's form, a host folder, a backslash and the file name.
    bool Open(const QString& path) override;
    void Play() override;
    void Stop() override;
    void Close() override;

    bool IsOpen() const;
    bool IsPlaying() const { return m_timer.isActive(); }
    int FrameCount() const;
    int CurrentFrame() const;  // -1 when no clip is open
    QSize ClipSize() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool Load(const QString& hostPath);
    // Reads a clip that was opened while hidden; nothing when there is none.
    void ReadPendingClip() const;

    mutable QString m_pendingPath;      // host path of a clip opened while hidden, not read yet
    mutable qint64 m_stoppedAtMs = -1;  // for a clip not read yet: when Stop came, since Play
    mutable QList<QImage> m_frames;     // with the key colour made transparent
    mutable int m_intervalMs = 100;
    mutable QTimer m_timer;          // asks for a repaint once a frame
    QElapsedTimer m_clock;           // since Play
    mutable int m_stoppedFrame = 0;  // the frame shown while not playing
};

}  // namespace stowix
