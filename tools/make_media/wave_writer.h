#pragma once
// Writes 16-bit PCM mono samples as a RIFF WAVE file.

#include <cstdint>
#include <vector>

namespace stowix::media {

std::vector<std::uint8_t> WriteWave(const std::vector<std::int16_t>& samples, int sampleRate);

}  // namespace stowix::media
