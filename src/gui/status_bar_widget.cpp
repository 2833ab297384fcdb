#include "gui/status_bar_widget.h"

#include "gui/accessible_widgets.h"

#include <QAccessible>
#include <QPainter>

namespace stowix {

namespace {
constexpr int PanelTopMargin = 2;  // in pixels, between the bar's top edge and its panel
constexpr int TextIndent = 3;      // in pixels, inside the panel
}  // namespace

StatusBarWidget::StatusBarWidget(QWidget* parent) : QWidget(parent) {
    InstallAccessibleWidgets();
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusBarWidget::SetText(const QString& text) {
    m_text = text;
    update();
    // A screen reader says the new text as the user would read it.
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void StatusBarWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Window));

    const QRect panel = rect().adjusted(0, PanelTopMargin, -1, -1);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(panel.topLeft(), panel.topRight());
    painter.drawLine(panel.topLeft(), panel.bottomLeft());
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(panel.bottomLeft(), panel.bottomRight());
    painter.drawLine(panel.topRight(), panel.bottomRight());

    // One line only: a text with line breaks shows them as blanks, as the bar's panel would.
    QString shown = m_text;
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QRect textArea = panel.adjusted(TextIndent, 1, -TextIndent, -1);
    painter.setPen(
        colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(shown, Qt::ElideRight, textArea.width()));
}

}  // namespace stowix
