// The stored forms of the DOS attributes: Wine's text, Samba's record, and the write bits.

#include "hostfs/dos_attributes.h"

#include <gtest/gtest.h>

namespace stowix::posix {
namespace {

TEST(DosAttributeValue, wine_and_samba_forms_read_as_their_bits) {
    using namespace std::string_literals;
    const struct {
        std::string stored;
        int bits;
    } cases[] = {
        {"0x26", 0x26},
        {"0x2", 2},
        {"0X24", 0x24},
        {"0x20\0\x04\0\x04\0\0\0\x20\0\0\0"s, 0x20},  // Samba: text, NUL, binary record
        {"0x22\0garbage"s, 0x22},
        {"0x27", 0x26},  // read-only lives in the write bits, not here
        {"0x10", 0},     // so does the folder bit, in the file type
        {"0x80", 0},
        {"", 0},
        {"zz", 0},
        {"26", 0x26},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.stored);
        EXPECT_EQ(ParseDosAttributeValue(entry.stored), entry.bits);
    }
}

TEST(DosAttributeValue, written_as_wine_writes_it) {
    EXPECT_EQ(FormatDosAttributeValue(0x26), "0x26");
    EXPECT_EQ(FormatDosAttributeValue(2), "0x2");
    EXPECT_EQ(FormatDosAttributeValue(0x20), "0x20");
}

}  // namespace
}  // namespace stowix::posix
