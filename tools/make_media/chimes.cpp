#include "chimes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace stowix::media {

namespace {

constexpr double C5 = 523.25;  // Hz
constexpr double E5 = 659.26;
constexpr double G5 = 783.99;
constexpr double C6 = 1046.50;

struct Note {
    double frequency;  // Hz
    double start;      // seconds
};

// Bell-like notes: a quick attack, an exponential decay, a quieter octave above for shine,
// and a fade over the last few milliseconds so the sound ends without a click.
std::vector<std::int16_t> Chime(const std::vector<Note>& notes, double length) {
    constexpr double Attack = 0.005;  // seconds
    constexpr double Decay = 0.18;    // seconds to fall to 1/e
    constexpr double Fade = 0.04;     // seconds
    constexpr double Level = 0.28;    // of full scale, a note

    const int count = int(length * SampleRate);
    std::vector<std::int16_t> samples(std::size_t(count), 0);
    for (int i = 0; i < count; ++i) {
        const double time = double(i) / SampleRate;
        double value = 0;
        for (const Note& note : notes) {
            const double t = time - note.start;
            if (t < 0) continue;
            const double envelope = std::min(1.0, t / Attack) * std::exp(-t / Decay);
            const double phase = 2 * std::numbers::pi * note.frequency * t;
            value += Level * envelope * (std::sin(phase) + 0.3 * std::sin(2 * phase));
        }
        value *= std::min(1.0, (length - time) / Fade);
        value = std::clamp(value, -1.0, 1.0);
        samples[std::size_t(i)] = std::int16_t(std::lround(value * 32767));
    }
    return samples;
}

}  // namespace

std::vector<std::int16_t> OpeningChime() {
    return Chime({{C5, 0.0}, {E5, 0.11}, {G5, 0.22}, {C6, 0.33}}, 0.8);
}

std::vector<std::int16_t> ClosingChime() {
    return Chime({{C6, 0.0}, {G5, 0.11}, {E5, 0.22}, {C5, 0.33}}, 0.8);
}

}  // namespace stowix::media
