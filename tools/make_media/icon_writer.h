#pragma once
// Writes the program's icon: an .ico file holding each image as a 16-colour bitmap with its
// transparency mask, and each image as a PNG file of its own.

#include "canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace stowix::media {

// images: square, each pixel an index into the sixteen-colour palette or Transparent.
std::vector<std::uint8_t> WriteIco(const std::vector<Canvas>& images,
                                   const std::vector<Colour>& palette);

// Returns false when the file cannot be written.
bool WritePng(const Canvas& image, const std::vector<Colour>& palette, const std::string& path);

}  // namespace stowix::media
