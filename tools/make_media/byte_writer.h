#pragma once
// Little-endian output for the RIFF, wave and icon files, with RIFF chunks whose sizes are
// filled in when they end.

#include <cstdint>
#include <cstring>
#include <vector>

namespace stowix::media {

class ByteWriter {
public:
    void U8(std::uint8_t value) { m_bytes.push_back(value); }
    void U16(std::uint16_t value) {
        U8(std::uint8_t(value));
        U8(std::uint8_t(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(std::uint16_t(value));
        U16(std::uint16_t(value >> 16));
    }
    void FourCc(const char* code) { m_bytes.insert(m_bytes.end(), code, code + 4); }
    void Bytes(const std::vector<std::uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }

    // Starts a chunk (or, with a list type, a LIST or RIFF chunk); returns where it starts.
    std::size_t BeginChunk(const char* id, const char* listType = nullptr) {
        const std::size_t start = m_bytes.size();
        FourCc(id);
        U32(0);
        if (listType) FourCc(listType);
        return start;
    }
    // Fills in the chunk's size and pads it to an even length.
    void EndChunk(std::size_t start) {
        const auto size = std::uint32_t(m_bytes.size() - start - 8);
        PatchU32(start + 4, size);
        if (size & 1) U8(0);
    }
    void PatchU32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) m_bytes[at + i] = std::uint8_t(value >> (8 * i));
    }

    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& Data() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace stowix::media
