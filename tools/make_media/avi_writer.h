#pragma once
// Writes an animation clip as the desktop's animation control plays it: an AVI file with one
// video stream of RLE8 frames (each a key frame, so any frame can start the loop), no sound,
// and an index.

#include "canvas.h"

#include <cstdint>
#include <vector>

namespace stowix::media {

// One frame as RLE8: rows from the bottom up, each ended by an end-of-line code, the last by
// the end-of-bitmap code.
std::vector<std::uint8_t> EncodeRle8(const Canvas& frame);

std::vector<std::uint8_t> WriteRle8Avi(const std::vector<Canvas>& frames,
                                       const std::vector<Colour>& palette, int framesPerSecond);

}  // namespace stowix::media
