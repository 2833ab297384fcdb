#include "gui/line_widget.h"

#include <QPainter>

namespace stowix {

LineWidget::LineWidget(QPalette::ColorRole colour, QWidget* parent)
    : QWidget(parent), m_colour(colour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void LineWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(m_colour));
}

}  // namespace stowix
