#pragma once
// The classic desktop look of the program's windows: the Windows style of Qt Widgets with the
// grey 3-D palette, and the fonts the windows were designed with. Where a designed font is not
// installed, a metric-compatible one stands in (Liberation), so captions keep their widths.

#include <QFont>
#include <QPalette>
#include <QString>

class QApplication;

namespace stowix {

enum class FontWeight { Normal, Bold };
enum class FontSlant { Upright, Italic };

// A font of the given design family at a fractional point size: the design family where it is
// installed, else the first installed of its stand-ins ("Times New Roman", "Arial" and
// "MS Sans Serif" have them); where none is, the font carries them all for Qt to choose.
QFont DesignFont(const QString& family, qreal pointSize, FontWeight weight = FontWeight::Normal,
                 FontSlant slant = FontSlant::Upright);

// The dialog font of the classic desktop: MS Sans Serif at 8.25 points.
QFont DialogFont();

// The grey 3-D colour scheme: button face, shadow, highlight, navy selection, pale tool tips.
QPalette ClassicPalette();

// Gives the whole application the classic style, palette and dialog font. The program calls it
// once, before it creates its windows.
void ApplyClassicLook(QApplication& application);

}  // namespace stowix
