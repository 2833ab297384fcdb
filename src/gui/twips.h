#pragma once
// Window geometry is given in twips (1/1440 inch). The windows are laid out at 96 dots per inch,
// where a pixel is exactly 15 twips, so every design value maps onto whole pixels.

#include <QRect>

namespace stowix {

constexpr int TwipsPerPixel = 15;

constexpr int PixelsFromTwips(int twips) { return twips / TwipsPerPixel; }
constexpr int TwipsFromPixels(int pixels) { return pixels * TwipsPerPixel; }

inline QRect RectFromTwips(int left, int top, int width, int height) {
    return QRect(PixelsFromTwips(left), PixelsFromTwips(top), PixelsFromTwips(width),
                 PixelsFromTwips(height));
}

}  // namespace stowix
