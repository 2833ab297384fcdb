#include "platform/qt/animation_widget.h"

#include "platform/qt/avi_reader.h"
#include "platform/qt/media_path.h"

#include <QPainter>

#include <algorithm>

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
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

bool AnimationWidget::Open(const QString& path) {
    Close();
    Result<AviClip> clip = LoadAviClip(HostMediaPath(path));
    if (!clip) return false;
    for (const QImage& frame : clip.value().frames) m_frames.append(WithTransparentKey(frame));
    const qint64 intervalMs = (clip.value().frameIntervalUs + 500) / 1000;
    m_intervalMs = int(std::clamp<qint64>(intervalMs, MinIntervalMs, MaxIntervalMs));
    update();
    return true;
}

void AnimationWidget::Play() {
    if (m_frames.isEmpty()) return;
    m_clock.start();
    m_timer.start(m_intervalMs);
    update();
}

void AnimationWidget::Stop() {
    if (!m_timer.isActive()) return;
    m_stoppedFrame = CurrentFrame();
    m_timer.stop();
    update();
}

void AnimationWidget::Close() {
    m_timer.stop();
    m_frames.clear();
    m_stoppedFrame = 0;
    update();
}

int AnimationWidget::CurrentFrame() const {
    if (m_frames.isEmpty()) return -1;
    if (!m_timer.isActive()) return m_stoppedFrame;
    return int((m_clock.elapsed() / m_intervalMs) % m_frames.size());
}

QSize AnimationWidget::ClipSize() const {
    return m_frames.isEmpty() ? QSize() : m_frames.first().size();
}

QSize AnimationWidget::sizeHint() const {
    return m_frames.isEmpty() ? QWidget::sizeHint() : ClipSize();
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
