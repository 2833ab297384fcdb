#pragma once
// A one-pixel line control drawn in one colour of the window's palette. Two of them, one in the
// shadow colour and one in the highlight colour offset by a pixel, make an etched rule.

#include <QPalette>
#include <QWidget>

namespace stowix {

class LineWidget : public QWidget {
    Q_OBJECT
public:
    // colour: the palette role to draw in (QPalette::Dark is the button shadow, QPalette::Light
    // the 3-D highlight).
    LineWidget(QPalette::ColorRole colour, QWidget* parent = nullptr);
    QPalette::ColorRole ColourRole() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPalette::ColorRole m_colour;
};

}  // namespace stowix
