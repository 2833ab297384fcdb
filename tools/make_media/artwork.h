#pragma once
// The program's pictures, drawn pixel by pixel: the animation clip of pages flying from a
// stack into a folder, and the icon (a folder taking in a page) at 32 and 16 pixels in the
// sixteen standard colours.

#include "canvas.h"

#include <vector>

namespace stowix::media {

constexpr int ClipWidth = 320;  // fits the animation strip of 377 x 41 pixels
constexpr int ClipHeight = 40;
constexpr int ClipFrames = 20;
constexpr int ClipFramesPerSecond = 10;

// Index 0 is the clip's background; the animation strip draws it transparent.
std::vector<Colour> ClipPalette();
std::vector<Canvas> ClipFrameImages();

constexpr std::uint8_t Transparent = 255;  // an icon pixel that shows what lies beneath
std::vector<Colour> IconPalette();         // the sixteen standard colours
Canvas IconImage(int size);                // size 32 or 16

}  // namespace stowix::media
