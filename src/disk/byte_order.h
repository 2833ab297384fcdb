#pragma once
// Little- and big-endian whole numbers read from and written to raw bytes, as on-disk formats
// store them. No alignment is assumed.
//
// Le16Field and Le32Field are such numbers as members of an on-disk record: kept as bytes, they
// give the record no padding and no alignment of its own, so a record declared with them has
// the size and layout of the disk's on every compiler and may lie anywhere in a buffer.

#include <cstdint>

namespace stowix::fat {

inline uint16_t Le16(const unsigned char* at) { return uint16_t(at[0] | (at[1] << 8)); }
inline uint32_t Le32(const unsigned char* at) {
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) |
           (uint32_t(at[3]) << 24);
}
inline uint32_t Be32(const unsigned char* at) {
    return (uint32_t(at[0]) << 24) | (uint32_t(at[1]) << 16) | (uint32_t(at[2]) << 8) |
           uint32_t(at[3]);
}
inline uint64_t Be64(const unsigned char* at) { return (uint64_t(Be32(at)) << 32) | Be32(at + 4); }
inline void PutLe16(unsigned char* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}
inline void PutLe32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

struct Le16Field {
    unsigned char bytes[2];
    uint16_t Get() const { return Le16(bytes); }
    void Set(uint16_t value) { PutLe16(bytes, value); }
};

struct Le32Field {
    unsigned char bytes[4];
    uint32_t Get() const { return Le32(bytes); }
    void Set(uint32_t value) { PutLe32(bytes, value); }
};

}  // namespace stowix::fat
