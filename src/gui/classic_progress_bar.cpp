#include "gui/classic_progress_bar.h"

#include <QPainter>

#include <algorithm>

namespace stowix {

namespace {
constexpr int Inset = 2;     // in pixels: the frame and one pixel of space inside it
constexpr int BlockGap = 2;  // in pixels between blocks
}  // namespace

ClassicProgressBar::ClassicProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setFocusPolicy(Qt::NoFocus);
    // Its value is read out by screen readers; the name says what the value is.
    setAccessibleName(QStringLiteral("Progress"));
}

void ClassicProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), colours.color(QPalette::Window));
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(frame.topLeft(), frame.topRight());
    painter.drawLine(frame.topLeft(), frame.bottomLeft());
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(frame.bottomLeft(), frame.bottomRight());
    painter.drawLine(frame.topRight(), frame.bottomRight());

    const QRect inner = rect().adjusted(Inset, Inset, -Inset, -Inset);
    const qint64 span = qint64(maximum()) - minimum();
    if (span <= 0 || inner.isEmpty()) return;
    const qint64 done = std::clamp<qint64>(qint64(value()) - minimum(), 0, span);
    const int filled = int(inner.width() * done / span);
    const int block = std::max(1, inner.height() * 2 / 3);
    const QColor colour =
        colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
    painter.setClipRect(inner);
    for (int x = inner.left(); x < inner.left() + filled; x += block + BlockGap)
        painter.fillRect(QRect(x, inner.top(), block, inner.height()), colour);
}

}  // namespace stowix
