// Host name bytes and the program's texts: every host name survives the round trip.

#include "hostfs/host_names.h"

#include <gtest/gtest.h>

namespace stowix::posix {
namespace {

TEST(HostNames, every_byte_string_comes_back_unchanged) {
    const std::string cases[] = {
        "SYSTEM.DAT",
        "caf\xC3\xA9",  // valid UTF-8
        "caf\xE9",      // Latin-1: not UTF-8
        "\xFF\xFE",
        "a\xC3",                   // a sequence cut short at the end
        "\xC0\xAF",                // an overlong form of "/"
        "\xED\xA0\x80",            // an encoded surrogate
        "\xF4\x90\x80\x80",        // above U+10FFFF
        "\xF0\x9F\x98\x80 smile",  // outside the BMP
        "\xE2\x82",                // three-byte lead, two bytes
        "x\x80y\xBF",
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(NameToHost(NameFromHost(bytes)), bytes);
    }
}

TEST(HostNames, valid_utf8_decodes_as_text_and_bad_bytes_as_lone_surrogates) {
    EXPECT_EQ(NameFromHost("caf\xC3\xA9"), QStringLiteral("caf\u00E9"));
    const QString escaped = NameFromHost("caf\xE9");
    ASSERT_EQ(escaped.size(), 4);
    EXPECT_EQ(escaped[3].unicode(), 0xDCE9);
    EXPECT_EQ(NameFromHost("\xF0\x9F\x98\x80").size(), 2);  // one surrogate pair
}

TEST(HostNames, a_text_encodes_as_utf8) {
    EXPECT_EQ(NameToHost(QStringLiteral("caf\u00E9")), "caf\xC3\xA9");
    EXPECT_EQ(NameToHost(QStringLiteral("\u20AC")), "\xE2\x82\xAC");
    // A lone surrogate that no host name gives becomes the replacement character.
    EXPECT_EQ(NameToHost(QString(QChar(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace stowix::posix
