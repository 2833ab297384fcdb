// Writes held back for the image: merged where they touch or overlap, the later write winning,
// laid over reads, and written out in offset order whatever order they came in.

#include "fat/held_writes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace stowix::test {
namespace {

using fat::HeldWrites;

struct Put {
    qint64 offset;
    std::string bytes;
};

TEST(HeldWrites, writes_merge_with_the_later_winning_and_go_out_in_order) {
    struct Case {
        const char* name;
        std::vector<Put> puts;
        int writes;  // how many writes WriteOut makes
    };
    const Case cases[] = {
        {"apart", {{8, "bb"}, {1, "aa"}}, 2},
        {"appended", {{2, "aa"}, {4, "bbb"}, {7, "c"}}, 1},
        {"overwritten inside", {{2, "aaaaaa"}, {4, "bb"}}, 1},
        {"overwritten past the end", {{2, "aaaa"}, {4, "bbbb"}}, 1},
        {"in front", {{4, "aa"}, {2, "bb"}}, 1},
        {"over three, touching the third", {{1, "a"}, {5, "b"}, {8, "c"}, {0, "dddddddd"}}, 1},
        {"over two of three", {{1, "a"}, {5, "b"}, {10, "c"}, {0, "dddddddd"}}, 2},
        {"joining two", {{1, "aa"}, {5, "bb"}, {3, "cc"}}, 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        HeldWrites held;
        std::string expected(16, '.');
        for (const Put& put : test.puts) {
            held.Hold(put.offset, put.bytes.data(), qint64(put.bytes.size()));
            expected.replace(size_t(put.offset), put.bytes.size(), put.bytes);
        }
        std::string laid(16, '.');
        held.LayOver(0, laid.data(), 16);
        EXPECT_EQ(laid, expected);
        std::string part(4, '.');
        held.LayOver(3, part.data(), 4);
        EXPECT_EQ(part, expected.substr(3, 4));
        for (qint64 offset = 0; offset < 16; ++offset) {
            for (qint64 size = 1; offset + size <= 16; ++size) {
                const bool touched =
                    expected.substr(size_t(offset), size_t(size)).find_first_not_of('.') !=
                    std::string::npos;
                EXPECT_EQ(held.Overlaps(offset, size), touched) << offset << "+" << size;
            }
        }

        std::string image(16, '.');
        int writes = 0;
        qint64 last = -1;
        ASSERT_TRUE(held.WriteOut([&](qint64 offset, const void* bytes, qint64 size) {
            EXPECT_GT(offset, last);
            last = offset;
            ++writes;
            image.replace(size_t(offset), size_t(size), static_cast<const char*>(bytes),
                          size_t(size));
            return Status::Ok();
        }));
        EXPECT_EQ(image, expected);
        EXPECT_EQ(writes, test.writes);
        EXPECT_TRUE(held.Empty());
        EXPECT_EQ(held.Bytes(), 0);
    }
}

}  // namespace
}  // namespace stowix::test
