#include "wave_writer.h"

#include "byte_writer.h"

namespace stowix::media {

std::vector<std::uint8_t> WriteWave(const std::vector<std::int16_t>& samples, int sampleRate) {
    constexpr std::uint16_t FormatPcm = 1;
    constexpr std::uint16_t Channels = 1;
    constexpr std::uint16_t Bits = 16;
    constexpr std::uint16_t BlockAlign = Channels * Bits / 8;

    ByteWriter wave;
    const std::size_t riff = wave.BeginChunk("RIFF", "WAVE");
    const std::size_t format = wave.BeginChunk("fmt ");
    wave.U16(FormatPcm);
    wave.U16(Channels);
    wave.U32(std::uint32_t(sampleRate));
    wave.U32(std::uint32_t(sampleRate) * BlockAlign);  // bytes a second
    wave.U16(BlockAlign);
    wave.U16(Bits);
    wave.EndChunk(format);
    const std::size_t data = wave.BeginChunk("data");
    for (std::int16_t sample : samples) wave.U16(std::uint16_t(sample));
    wave.EndChunk(data);
    wave.EndChunk(riff);
    return wave.Data();
}

}  // namespace stowix::media
