#include "gui/animation_widget.h"

#include "gui/accessible_widgets.h"

#include "gui/avi_reader.h"
#include "gui/media_path.h"

#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace stowix {

namespace {

// Faster than this, a clip would only keep the event loop busy.
constexpr int MinIntervalMs = 10;
constexpr int MaxIntervalMs = 10000;

QImage WithTransparentKey(const QImage& frame) {
    const QRgb key = frame.pixel(0, 0) | 0xff000000u;
    if (frame.format() == QImage::Format_Indexed8) {
        QImage keyed = frame;
        QList<QRgb> colours = keyed.colorTable();
        for (QRgb& colour : colours)
            if ((colour | 0xff000000u) == key) colour = qRgba(0, 0, 0, 0);
        keyed.setColorTable(colours);
        return keyed;
    }
    QImage keyed = frame.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if (row[x] == key) row[x] = qRgba(0, 0, 0, 0);
    }
    return keyed;
}

}  // namespace

AnimationWidget::AnimationWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Animation1"));
    setFocusPolicy(Qt::NoFocus);
    InstallAccessibleWidgets();
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

bool AnimationWidget::Open(const QString& path) {
    Close();
    const QString hostPath = HostMediaPath(path);
    if (!isVisible()) {
        if (!QFileInfo(hostPath).isFile()) return false;
        m_pendingPath = hostPath;
        return true;
    }
    return Load(hostPath);
}

bool AnimationWidget::Load(const QString& hostPath) {
    Result<AviClip> clip = LoadAviClip(hostPath);
    if (!clip) return false;
    for (const QImage& frame : clip.value().frames) m_frames.append(WithTransparentKey(frame));
    const qint64 intervalMs = (clip.value().frameIntervalUs + 500) / 1000;
    m_intervalMs = int(std::clamp<qint64>(intervalMs, MinIntervalMs, MaxIntervalMs));
    update();
    return true;
}

void AnimationWidget::ReadPendingClip() const {
    if (m_pendingPath.isEmpty()) return;
    auto* self = const_cast<AnimationWidget*>(this);
    const QString path = std::exchange(m_pendingPath, QString());
    const bool playing = m_timer.isActive();
    if (!self->Load(path)) {
        m_timer.stop();
        m_stoppedFrame = 0;
    } else if (playing) {
        // The clock started at Play: the frame shown is the one that is due now.
        m_timer.start(m_intervalMs);
    } else if (m_stoppedAtMs >= 0) {
        m_stoppedFrame = int((m_stoppedAtMs / m_intervalMs) % m_frames.size());
    }
    m_stoppedAtMs = -1;
}

void AnimationWidget::Play() {
    if (m_frames.isEmpty() && m_pendingPath.isEmpty()) return;
    m_stoppedAtMs = -1;
    m_clock.start();
    m_timer.start(m_intervalMs);
    update();
}

void AnimationWidget::Stop() {
    if (!m_timer.isActive()) return;
    if (!m_pendingPath.isEmpty()) {
        m_stoppedAtMs = m_clock.elapsed();
        m_timer.stop();
        return;
    }
    m_stoppedFrame = CurrentFrame();
    m_timer.stop();
    update();
}

void AnimationWidget::Close() {
    m_timer.stop();
    m_pendingPath.clear();
    m_stoppedAtMs = -1;
    m_frames.clear();
    m_stoppedFrame = 0;
    update();
}

bool AnimationWidget::IsOpen() const {
    ReadPendingClip();
    return !m_frames.isEmpty();
}

int AnimationWidget::FrameCount() const {
    ReadPendingClip();
    return int(m_frames.size());
}

int AnimationWidget::CurrentFrame() const {
    ReadPendingClip();
    if (m_frames.isEmpty()) return -1;
    if (!m_timer.isActive()) return m_stoppedFrame;
    return int((m_clock.elapsed() / m_intervalMs) % m_frames.size());
}

QSize AnimationWidget::ClipSize() const {
    ReadPendingClip();
    return m_frames.isEmpty() ? QSize() : m_frames.first().size();
}

QSize AnimationWidget::sizeHint() const {
    ReadPendingClip();
    return m_frames.isEmpty() ? QWidget::sizeHint() : ClipSize();
}

void AnimationWidget::showEvent(QShowEvent* event) {
    ReadPendingClip();
    QWidget::showEvent(event);
}

void AnimationWidget::paintEvent(QPaintEvent*) {
    const int frame = CurrentFrame();
    if (frame < 0) return;
    const QImage& image = m_frames.at(frame);
    QPainter painter(this);
    painter.drawImage(QPoint((width() - image.width()) / 2, (height() - image.height()) / 2),
                      image);
}

}  // namespace stowix
