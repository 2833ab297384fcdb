#pragma once
// The program's two sounds, synthesised: a short rising chime that opens a backup and the same
// chime falling that closes it. Mono 16-bit samples at SampleRate.

#include <cstdint>
#include <vector>

namespace stowix::media {

constexpr int SampleRate = 22050;

std::vector<std::int16_t> OpeningChime();
std::vector<std::int16_t> ClosingChime();

}  // namespace stowix::media
